#include "serialcommport.h"

#include <QFile>
#include <QScopedValueRollback>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace Quorin {

namespace {

// A port that nobody reads must not grow the program's memory; past this QSerialPort stops
// taking bytes from the driver, as a serial control's fixed input buffer would.
constexpr qint64 ReadBufferSize = qint64(64) * 1024;

#ifdef Q_OS_UNIX
QString owningGroup(const QString &device)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0)
        return {};
    const struct group *group = ::getgrgid(info.st_gid);
    return group ? QString::fromLocal8Bit(group->gr_name) : QString();
}
#endif

#ifdef Q_OS_WIN
// Windows lets one program at a time open a COM port, and answers any other with "access
// denied"; a port that does not exist is most often a device whose COM number Windows chose.
QString windowsOpenFailureReason(const QSerialPort &port)
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return SerialCommPort::tr(
                   "no such device; connect the device and give it %1 in Device Manager "
                   "(Ports (COM & LPT), the device's Properties, Port Settings, Advanced, COM "
                   "Port Number)")
            .arg(port.portName());
    case QSerialPort::PermissionError:
        return SerialCommPort::tr("access denied; the port is busy, another program is using it");
    default:
        return port.errorString();
    }
}
#endif

} // namespace

QString deviceForPort(int number)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

SerialCommPort::SerialCommPort(QObject *parent, DeviceNamer deviceNamer)
    : CommPort(parent)
    , m_deviceNamer(std::move(deviceNamer))
{
    setObjectName(QStringLiteral("MSComm1"));
    m_port.setReadBufferSize(ReadBufferSize);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialCommPort::onErrorOccurred);
}

bool SerialCommPort::isOpen() const
{
    return m_port.isOpen();
}

void SerialCommPort::setOpen(bool open)
{
    const QScopedValueRollback inCall(m_inCall, true);
    if (!open) {
        m_port.close();
        return;
    }
    if (m_port.isOpen())
        throw SerialError(tr("Serial port %1 is already open.").arg(portLabel()));
    this->open();
}

void SerialCommPort::open()
{
    m_port.setPortName(m_deviceNamer(m_portNumber));
    applySettings();
    if (!m_port.open(QIODevice::ReadWrite))
        throw SerialError(
            tr("Cannot open serial port %1: %2.").arg(portLabel(), openFailureReason()));
}

void SerialCommPort::setPortNumber(int number)
{
    if (m_port.isOpen())
        throw SerialError(
            tr("Cannot choose port %1 while serial port %2 is open.").arg(number).arg(portLabel()));
    if (number < 1)
        throw SerialError(tr("There is no serial port number %1.").arg(number));
    m_portNumber = number;
}

void SerialCommPort::setSettings(const QString &settings)
{
    const auto parsed = parseLineSettings(settings);
    if (!parsed)
        throw SerialError(tr("Invalid line settings \"%1\" for serial port %2: expected "
                             "baud,parity,data bits,stop bits, such as \"9600,N,8,1\".")
                              .arg(settings, portLabel()));
    m_settings = *parsed;
    if (m_port.isOpen()) {
        const QScopedValueRollback inCall(m_inCall, true);
        applySettings();
    }
}

void SerialCommPort::applySettings()
{
    const bool applied = m_port.setBaudRate(m_settings.baudRate)
        && m_port.setParity(m_settings.parity) && m_port.setDataBits(m_settings.dataBits)
        && m_port.setStopBits(m_settings.stopBits)
        && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        throw SerialError(tr("Serial port %1 refuses its line settings: %2.")
                              .arg(portLabel(), m_port.errorString()));
}

void SerialCommPort::setReadLength(int length)
{
    if (length < 0)
        throw SerialError(
            tr("Invalid read length %1 for serial port %2.").arg(length).arg(portLabel()));
    m_readLength = length;
}

qsizetype SerialCommPort::bytesWaiting() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray SerialCommPort::readAll()
{
    if (!m_port.isOpen())
        return {};
    return m_readLength == 0 ? m_port.readAll() : m_port.read(m_readLength);
}

void SerialCommPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || m_inCall || !m_port.isOpen())
        return;
    // When the device goes away the driver keeps reporting read errors, of more than one
    // kind, for as long as the port stays open: close it at the first one.
    const QString reason = runtimeFailureReason(error);
    m_port.close();
    Q_EMIT failed(tr("Serial port %1 stopped working: %2. The device may have been "
                     "disconnected.")
                      .arg(portLabel(), reason));
}

QString SerialCommPort::runtimeFailureReason(QSerialPort::SerialPortError error) const
{
    // A vanished device leaves errno of some unrelated call in errorString(), such as "No such
    // file or directory"; the kind of failure is what can be said for certain.
    switch (error) {
    case QSerialPort::ResourceError:
        return tr("the device went away");
    case QSerialPort::ReadError:
        return tr("reading from the device failed");
    case QSerialPort::WriteError:
        return tr("writing to the device failed");
    default:
        return m_port.errorString();
    }
}

QString SerialCommPort::portLabel() const
{
    return QStringLiteral("%1 (%2)").arg(m_portNumber).arg(m_deviceNamer(m_portNumber));
}

QString SerialCommPort::openFailureReason() const
{
#ifdef Q_OS_WIN
    return windowsOpenFailureReason(m_port);
#endif
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return tr("no such device");
    case QSerialPort::OpenError:
        return tr("the port is already open");
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        // Qt gives the same error for a port held by another program (its lock file, or the
        // driver's exclusive mode) and for a device the user may not open.
        const QString device = m_deviceNamer(m_portNumber);
        const QByteArray path = QFile::encodeName(device);
        if (::access(path.constData(), R_OK | W_OK) == 0)
            return tr("the port is busy, another program is using it");
        const QString group = owningGroup(device);
        return tr("permission denied; the user must belong to the group that owns %1 (%2), "
                  "for example with \"sudo usermod -aG %2 $USER\" and a new login")
            .arg(device, group.isEmpty() ? QStringLiteral("dialout") : group);
#else
        return tr("access denied; another program may be using the port");
#endif
    }
    default:
        return m_port.errorString();
    }
}

} // namespace Quorin
