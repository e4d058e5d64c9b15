#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

namespace Quorin {

// The line settings of a settings string such as "9600,N,8,1".
struct LineSettings
{
    qint32 baudRate = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    friend bool operator==(const LineSettings &a, const LineSettings &b)
    {
        return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits
            && a.stopBits == b.stopBits;
    }
};

// Parses "baud,parity,data,stop" (parity one of N, E, O, M, S; data 5 to 8; stop 1, 1.5 or
// 2); nothing for anything else.
[[nodiscard]] std::optional<LineSettings> parseLineSettings(const QString &text);

} // namespace Quorin
