#include "echotext.h"

#include <algorithm>
#include <array>

namespace Quorin {

namespace {

constexpr char16_t ControlPictures = 0x2400; // ␀, the picture of code 0
constexpr char16_t DeletePicture = 0x2421;   // ␡
constexpr unsigned char DeleteCode = 127;
constexpr unsigned char FirstPrintable = 32;
constexpr unsigned char FirstHigh = 128;
constexpr unsigned char FirstLatin1 = 160;

// Windows-1252 from 128 to 159, where it differs from Latin-1. The five codes it leaves
// undefined keep their C1 control character, as Windows' own conversion gives them.
constexpr std::array<char16_t, FirstLatin1 - FirstHigh> HighCharacters = {
    0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021, // € . ‚ ƒ „ … † ‡
    0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f, // ˆ ‰ Š ‹ Œ . Ž .
    0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014, // . ‘ ’ “ ” • – —
    0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178, // ˜ ™ š › œ . ž Ÿ
};

char16_t characterOf(unsigned char code)
{
    if (code < FirstPrintable)
        return char16_t(ControlPictures + code);
    if (code == DeleteCode)
        return DeletePicture;
    if (code >= FirstHigh && code < FirstLatin1)
        return HighCharacters[code - FirstHigh];
    return code;
}

char codeOf(char16_t character)
{
    if (character >= ControlPictures && character < ControlPictures + FirstPrintable)
        return char(character - ControlPictures);
    if (character == DeletePicture)
        return char(DeleteCode);
    if ((character >= FirstPrintable && character < DeleteCode)
        || (character >= FirstLatin1 && character <= 0xff))
        return char(character);
    const auto high = std::find(HighCharacters.begin(), HighCharacters.end(), character);
    if (high != HighCharacters.end())
        return char(FirstHigh + (high - HighCharacters.begin()));
    return UnmappedCode;
}

} // namespace

QString echoText(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char byte) { return QChar(characterOf(static_cast<unsigned char>(byte))); });
    return text;
}

QByteArray echoBytes(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    std::transform(text.begin(), text.end(), bytes.begin(),
                   [](QChar character) { return codeOf(character.unicode()); });
    return bytes;
}

} // namespace Quorin
