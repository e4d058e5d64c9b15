#include "serialcommport.h"

#include "protocol.h"

#include <QFile>
#include <QFileInfo>
#include <QScopedValueRollback>

#ifdef Q_OS_UNIX
#include <cerrno>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace Quorin {

using namespace Qt::StringLiterals;

namespace {

// A port that nobody reads must not grow the program's memory; past this QSerialPort stops
// taking bytes from the driver, as a serial control's fixed input buffer would.
constexpr qint64 ReadBufferSize = qint64(64) * 1024;

// The one line the sensor talks on, "9600,N,8,1": its baud rate, no parity, 8 data bits, 1 stop
// bit. Fields may carry spaces, and the parity either case.
bool isSensorLine(const QString &settings)
{
    const QStringList fields = settings.split(u',');
    return fields.size() == 4 && fields[0].trimmed() == QString::number(LineBaudRate)
        && fields[1].trimmed().compare(u"N", Qt::CaseInsensitive) == 0
        && fields[2].trimmed() == u"8" && fields[3].trimmed() == u"1";
}

// st_mode's S_IRGRP | S_IWGRP, spelt out so that Windows builds it too.
constexpr unsigned GroupReadWrite = 0060;

// Groups whose members get far more than a serial line (cmake/facts.cmake says why): nobody is
// told to join one for a device.
bool hasWidePowers(const QString &group)
{
    static const QStringList wide = QStringLiteral(QUORIN_WIDE_GROUPS).split(u' ');
    return wide.contains(group);
}

#ifdef Q_OS_UNIX
QString groupName(gid_t id)
{
    const struct group *group = ::getgrgid(id);
    return group ? QString::fromLocal8Bit(group->gr_name) : QString();
}
#endif

#ifdef Q_OS_LINUX
// A serial line with no UART behind it (on most PCs /dev/ttyS2) refuses to open with ENXIO or
// EIO, or opens and then fails every request with EIO. QSerialPort reports the two as different
// kinds of error and keeps no errno, so the device is asked again.
bool hasNoHardware(const QString &device)
{
    const int fd
        = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EIO || errno == ENXIO;
    termios settings = {};
    const bool noHardware = ::tcgetattr(fd, &settings) != 0 && errno == EIO;
    ::close(fd);
    return noHardware;
}
#endif

} // namespace

QString deviceForPort(int number)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    QString stable = QStringLiteral("/dev/com%1").arg(number);
    if (QFileInfo::exists(stable))
        return stable;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

SerialCommPort::SerialCommPort(QObject *parent, DeviceNamer deviceNamer, PortLister portLister)
    : CommPort(parent)
    , m_deviceNamer(std::move(deviceNamer))
    , m_portLister(std::move(portLister))
{
    setObjectName(QStringLiteral("MSComm1"));
    m_port.setReadBufferSize(ReadBufferSize);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialCommPort::onErrorOccurred);
    connect(&m_port, &QSerialPort::readyRead, this, &CommPort::readyRead);
}

bool SerialCommPort::isOpen() const
{
    return m_port.isOpen();
}

void SerialCommPort::setOpen(bool open)
{
    const QScopedValueRollback inCall(m_inCall, true);
    if (!open)
        m_port.close();
    else if (!m_port.isOpen())
        this->open();
}

void SerialCommPort::open()
{
    m_device = m_deviceNamer(m_portNumber);
    m_port.setPortName(m_device);
    // A closed QSerialPort only keeps these; open() applies them, and its failure says why.
    m_port.setBaudRate(LineBaudRate);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite))
        throw SerialError(openFailure());
    // DTR and RTS off, as the old comm control left them, on every system: opening a line
    // raises both on Linux, and Windows keeps DTR as it finds it. A device without modem lines,
    // such as a pseudo-terminal, refuses the request; it has nothing to lower, and still reads.
    const bool dtrOff = m_port.setDataTerminalReady(false);
    const bool rtsOff = m_port.setRequestToSend(false);
    if (!dtrOff || !rtsOff)
        m_port.clearError();
}

void SerialCommPort::setPortNumber(int number)
{
    if (m_port.isOpen())
        throw SerialError(
            u"Impossibile scegliere la porta %1 mentre la porta seriale %2 è aperta."_s.arg(number)
                .arg(portLabel()));
    if (number < 1)
        throw SerialError(u"Non esiste una porta seriale numero %1."_s.arg(number));
    m_portNumber = number;
    m_device.clear();
}

void SerialCommPort::setSettings(const QString &settings)
{
    if (!isSensorLine(settings))
        throw SerialError(u"Impostazioni di linea \"%1\" non valide per la porta seriale %2: "
                          "servono velocità, parità, bit di dati e bit di stop, come "
                          "\"9600,N,8,1\"."_s.arg(settings, portLabel()));
}

void SerialCommPort::setReadLength(int length)
{
    if (length != 0)
        throw SerialError(
            u"Lunghezza di lettura %1 non valida per la porta seriale %2."_s.arg(length).arg(
                portLabel()));
}

qsizetype SerialCommPort::bytesWaiting() const
{
    return m_port.isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray SerialCommPort::readAll()
{
    if (!m_port.isOpen())
        return {};
    return m_port.readAll();
}

void SerialCommPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || m_inCall || !m_port.isOpen())
        return;
    // When the device goes away the driver keeps reporting read errors, of more than one
    // kind, for as long as the port stays open: close it at the first one.
    const QString reason = runtimeFailureReason(error);
    m_port.close();
    Q_EMIT failed(u"La porta seriale %1 ha smesso di funzionare: %2. Il dispositivo potrebbe "
                  "essere stato scollegato: ricollegarlo e avviare di nuovo il programma."_s.arg(
                      portLabel(), reason));
}

QString SerialCommPort::runtimeFailureReason(QSerialPort::SerialPortError error) const
{
    // A vanished device leaves errno of some unrelated call in errorString(), such as "No such
    // file or directory"; the kind of failure is what can be said for certain.
    switch (error) {
    case QSerialPort::ResourceError:
        return u"il dispositivo non risponde più"_s;
    case QSerialPort::ReadError:
        return u"la lettura dal dispositivo non è riuscita"_s;
    case QSerialPort::WriteError:
        return u"la scrittura sul dispositivo non è riuscita"_s;
    default:
        return u"il sistema risponde %1"_s.arg(quotedSystemWords(m_port.errorString()));
    }
}

QString SerialCommPort::device() const
{
    return m_device.isEmpty() ? m_deviceNamer(m_portNumber) : m_device;
}

QString SerialCommPort::portLabel() const
{
    return u"%1 (%2)"_s.arg(m_portNumber).arg(device());
}

QString SerialCommPort::openFailure() const
{
    const QString cannotOpen = u"Impossibile aprire la porta seriale %1: %2"_s;
    const auto because = [&](const QString &reason) { return cannotOpen.arg(portLabel(), reason); };
    const QString systemSays
        = u"il sistema risponde %1."_s.arg(quotedSystemWords(m_port.errorString()));
    const QString busy = u"la porta è già in uso da un altro programma: chiudere l'altro "
                         "programma e riprovare."_s;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return because(u"la porta non esiste. "_s)
            + missingPortAdvice(m_portNumber, m_portLister());
    case QSerialPort::PermissionError: {
#ifdef Q_OS_UNIX
        // Qt gives the same error for a port held by another program (its lock file, or the
        // driver's exclusive mode) and for a device the user may not open.
        const QByteArray path = QFile::encodeName(device());
        if (::access(path.constData(), R_OK | W_OK) == 0)
            return because(busy);
        struct stat info = {};
        const bool known = ::stat(path.constData(), &info) == 0;
        return because(permissionDeniedReason(device(), known ? groupName(info.st_gid) : QString(),
                                              known ? info.st_mode : 0)
                       + u'.');
#else
        // Windows lets one program at a time open a COM port, and answers any other with
        // "access denied".
        return because(u"accesso negato, "_s + busy);
#endif
    }
#ifdef Q_OS_LINUX
    case QSerialPort::ResourceError:
    case QSerialPort::UnknownError:
        if (hasNoHardware(device()))
            return because(u"su questo dispositivo non risponde alcuna porta seriale. "_s)
                + missingPortAdvice(m_portNumber, m_portLister());
        return because(systemSays);
#endif
    default:
        return because(systemSays);
    }
}

QString SerialCommPort::permissionDeniedReason(const QString &device, const QString &group,
                                               unsigned mode)
{
    if (!group.isEmpty() && (mode & GroupReadWrite) == GroupReadWrite && !hasWidePowers(group))
        return u"permesso negato; l'utente deve far parte del gruppo proprietario di %1 (%2), "
               "per esempio con \"sudo usermod -aG %2 $USER\", e poi uscire dalla sessione e "
               "rientrare"_s.arg(device, group);
    return u"permesso negato; chiedere all'amministratore l'accesso a %1"_s.arg(device);
}

} // namespace Quorin
