#pragma once

#include "commport.h"
#include "portreport.h"

#include <QSerialPort>

#include <functional>

namespace Quorin {

// Port n is COMn on Windows. On Linux it is /dev/comN where the system has that name, the name
// quorin-port3 gives a USB adapter, else the n-th on-board line, /dev/ttyS(n-1).
[[nodiscard]] QString deviceForPort(int number);

// The serial port over QSerialPort.
class SerialCommPort final : public CommPort
{
    Q_OBJECT

public:
    using DeviceNamer = std::function<QString(int)>;
    using PortLister = std::function<QList<SystemPort>()>;

    // The device of each port number, and the system's list of serial ports that a report of a
    // missing port names.
    explicit SerialCommPort(QObject *parent = nullptr, DeviceNamer deviceNamer = &deviceForPort,
                            PortLister portLister = &systemPorts);

    [[nodiscard]] bool isOpen() const override;
    void setOpen(bool open) override;
    void setPortNumber(int number) override;
    void setSettings(const QString &settings) override;
    void setReadLength(int length) override;
    [[nodiscard]] qsizetype bytesWaiting() const override;
    [[nodiscard]] QByteArray readAll() override;

    // Why a user may not open a device owned by group with the given st_mode: names the group
    // only where joining it gives read and write and hands out nothing more than the device.
    [[nodiscard]] static QString permissionDeniedReason(const QString &device, const QString &group,
                                                        unsigned mode);

private:
    void open();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    [[nodiscard]] QString device() const;
    [[nodiscard]] QString portLabel() const;
    [[nodiscard]] QString openFailure() const;
    [[nodiscard]] QString runtimeFailureReason(QSerialPort::SerialPortError error) const;

    QSerialPort m_port;
    DeviceNamer m_deviceNamer;
    PortLister m_portLister;
    int m_portNumber = 1;
    // The device the last open tried: /dev/com3 goes away with its adapter, and a report
    // must still name it.
    QString m_device;
    // QSerialPort reports the failures of our own calls through errorOccurred too; those
    // become exceptions of the call, not failures of the open port.
    bool m_inCall = false;
};

} // namespace Quorin
