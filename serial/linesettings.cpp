#include "linesettings.h"

#include <QStringList>

namespace Quorin {

namespace {

std::optional<QSerialPort::Parity> parityFromLetter(const QString &letter)
{
    if (letter.size() != 1)
        return std::nullopt;
    switch (letter.front().toUpper().unicode()) {
    case 'N':
        return QSerialPort::NoParity;
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

std::optional<QSerialPort::StopBits> stopBitsFromText(const QString &text)
{
    if (text == u"1")
        return QSerialPort::OneStop;
    if (text == u"1.5")
        return QSerialPort::OneAndHalfStop;
    if (text == u"2")
        return QSerialPort::TwoStop;
    return std::nullopt;
}

} // namespace

std::optional<LineSettings> parseLineSettings(const QString &text)
{
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    bool baudOk = false;
    const int baud = fields[0].trimmed().toInt(&baudOk);
    bool dataOk = false;
    const int data = fields[2].trimmed().toInt(&dataOk);
    const auto parity = parityFromLetter(fields[1].trimmed());
    const auto stop = stopBitsFromText(fields[3].trimmed());
    if (!baudOk || baud <= 0 || !dataOk || data < 5 || data > 8 || !parity || !stop)
        return std::nullopt;

    return LineSettings{baud, *parity, static_cast<QSerialPort::DataBits>(data), *stop};
}

} // namespace Quorin
