#include "echotext.h"

namespace Quorin {

namespace {

constexpr char16_t ControlPictures = 0x2400; // ␀, the picture of code 0
constexpr char16_t DeletePicture = 0x2421;   // ␡
constexpr unsigned char DeleteCode = 127;
constexpr unsigned char FirstPrintable = 32;
constexpr char16_t LastLatin1 = 255;

} // namespace

QString echoText(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (code < FirstPrintable)
            *out++ = QChar(char16_t(ControlPictures + code));
        else if (code == DeleteCode)
            *out++ = QChar(DeletePicture);
        else
            *out++ = QChar(char16_t(code));
    }
    return text;
}

QByteArray echoBytes(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= ControlPictures && code < ControlPictures + FirstPrintable)
            *out++ = char(code - ControlPictures);
        else if (code == DeletePicture)
            *out++ = char(DeleteCode);
        else if (code <= LastLatin1 && code >= FirstPrintable && code != DeleteCode)
            *out++ = char(code);
        else
            *out++ = UnmappedCode;
    }
    return bytes;
}

} // namespace Quorin
