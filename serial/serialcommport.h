#pragma once

#include "commport.h"
#include "linesettings.h"

#include <QSerialPort>

#include <functional>

namespace Quorin {

// Port n is COMn on Windows and the n-th on-board line, /dev/ttyS(n-1), on Linux.
[[nodiscard]] QString deviceForPort(int number);

// The serial port over QSerialPort.
class SerialCommPort final : public CommPort
{
    Q_OBJECT

public:
    using DeviceNamer = std::function<QString(int)>;

    explicit SerialCommPort(QObject *parent = nullptr, DeviceNamer deviceNamer = &deviceForPort);

    [[nodiscard]] bool isOpen() const override;
    void setOpen(bool open) override;
    void setPortNumber(int number) override;
    void setSettings(const QString &settings) override;
    void setReadLength(int length) override;
    [[nodiscard]] qsizetype bytesWaiting() const override;
    [[nodiscard]] QByteArray readAll() override;

private:
    void open();
    void applySettings();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    [[nodiscard]] QString portLabel() const;
    [[nodiscard]] QString openFailureReason() const;
    [[nodiscard]] QString runtimeFailureReason(QSerialPort::SerialPortError error) const;

    QSerialPort m_port;
    DeviceNamer m_deviceNamer;
    int m_portNumber = 1;
    LineSettings m_settings{9600, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop};
    int m_readLength = 0;
    // QSerialPort reports the failures of our own calls through errorOccurred too; those
    // become exceptions of the call, not failures of the open port.
    bool m_inCall = false;
};

} // namespace Quorin
