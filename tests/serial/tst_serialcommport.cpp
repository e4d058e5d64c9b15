// The QSerialPort implementation on a real pseudo-terminal: what it reads, what it answers while
// closed, and what its refusals and failures say.

#include "serialcommport.h"

#include <QTest>

#include <QTemporaryDir>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using Quorin::SerialCommPort;
using Quorin::SerialError;

namespace {

// A pseudo-terminal pair; the test writes into the master, the port reads the slave. A slave
// left locked refuses to open with EIO, as a serial line with no UART behind it does.
class Pty
{
public:
    explicit Pty(bool unlocked = true)
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && (!unlocked || unlockpt(m_master) == 0))
            m_path = QString::fromLocal8Bit(ptsname(m_master));
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    [[nodiscard]] QString path() const { return m_path; }
    bool write(const QByteArray &bytes) const
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};

std::unique_ptr<SerialCommPort> portOn(const QString &device)
{
    auto port = std::make_unique<SerialCommPort>(nullptr, [device](int) { return device; });
    port->setPortNumber(3);
    port->setSettings(QStringLiteral("9600,N,8,1"));
    return port;
}

// A character device node that no driver answers, as the kernel makes for a line it has no UART
// for: opening it fails with ENXIO. Empty where no such node can be made.
QString nodeWithoutDriver(const QTemporaryDir &dir)
{
    // Major 60 is reserved for local use, so no driver claims it.
    const QString node = dir.filePath(QStringLiteral("ttyS2"));
    const QByteArray path = QFile::encodeName(node);
    if (::mknod(path.constData(), S_IFCHR | 0666, makedev(60, 0)) != 0)
        return {};
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const bool noDriver = fd < 0 && errno == ENXIO;
    if (fd >= 0)
        ::close(fd);
    return noDriver ? node : QString();
}

QString refusalOf(const std::function<void()> &operation)
{
    try {
        operation();
    } catch (const SerialError &error) {
        return error.message();
    }
    return {};
}

} // namespace

class TestSerialCommPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsWhatArrivesOnlyWhileOpen();
    void refusalsNameTheDeviceAndTheReason_data();
    void refusalsNameTheDeviceAndTheReason();
    void permissionAdviceNamesOnlyAGroupThatHelps_data();
    void permissionAdviceNamesOnlyAGroupThatHelps();
    void portThreeIsTheDeviceTheSystemNames();
};

void TestSerialCommPort::readsWhatArrivesOnlyWhileOpen()
{
    Pty pty;
    auto port = portOn(pty.path());
    QByteArray all;
    for (int code = 0; code < 256; ++code)
        all.append(char(code));
    QCOMPARE(port->bytesWaiting(), 0);
    QCOMPARE(port->readAll(), QByteArray());

    port->setOpen(true);
    QVERIFY(pty.write(all));
    QTRY_COMPARE(port->bytesWaiting(), all.size());
    port->setReadLength(4);
    QCOMPARE(port->readAll(), all.left(4));
    port->setReadLength(0);
    QCOMPARE(port->readAll(), all.mid(4));

    QVERIFY(pty.write("12345"));
    QTRY_COMPARE(port->bytesWaiting(), 5);
    port->setOpen(false);
    QCOMPARE(port->bytesWaiting(), 0);
    QCOMPARE(port->readAll(), QByteArray());
}

void TestSerialCommPort::refusalsNameTheDeviceAndTheReason_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("reason");
    const QString adapterAdvice = QStringLiteral(
        " If the sensor is on a USB serial adapter, plug it in; to give an adapter port 3, run "
        "\"sudo quorin-port3 /dev/ttyUSB0\" with the adapter's device.");
    QTest::newRow("no hardware behind the device, EIO")
        << QStringLiteral("locked")
        << QStringLiteral("Cannot open serial port 3 (%1): no serial hardware answers on this "
                          "device.")
            + adapterAdvice;
    QTest::newRow("no driver behind the device node, ENXIO")
        << QStringLiteral("unbacked")
        << QStringLiteral("Cannot open serial port 3 (%1): no serial hardware answers on this "
                          "device.")
            + adapterAdvice;
    QTest::newRow("opened twice") << QStringLiteral("twice")
                                  << QStringLiteral("Serial port 3 (%1) is already open.");
    QTest::newRow("unparsable settings")
        << QStringLiteral("settings")
        << QStringLiteral("Invalid line settings \"9600;N;8;1\" for serial port 3 (%1)");
    QTest::newRow("port changed while open")
        << QStringLiteral("renumber")
        << QStringLiteral("Cannot choose port 4 while serial port 3 (%1) is open.");
}

void TestSerialCommPort::refusalsNameTheDeviceAndTheReason()
{
    QFETCH(QString, scenario);
    QFETCH(QString, reason);
    Pty pty;
    Pty locked(false);
    QTemporaryDir dir;
    QString device = pty.path();
    if (scenario == QLatin1String("locked")) {
        device = locked.path();
    } else if (scenario == QLatin1String("unbacked")) {
        device = nodeWithoutDriver(dir);
        if (device.isEmpty())
            QSKIP("needs root and a file system that allows device nodes");
    }
    auto port = portOn(device);
    if (scenario == QLatin1String("twice") || scenario == QLatin1String("renumber"))
        port->setOpen(true);

    const QString message = refusalOf([&] {
        if (scenario == QLatin1String("settings"))
            port->setSettings(QStringLiteral("9600;N;8;1"));
        else if (scenario == QLatin1String("renumber"))
            port->setPortNumber(4);
        else
            port->setOpen(true);
    });
    QVERIFY2(message.startsWith(reason.arg(device)), qPrintable(message));
}

void TestSerialCommPort::permissionAdviceNamesOnlyAGroupThatHelps_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<uint>("mode");
    QTest::addColumn<bool>("joiningHelps");
    QTest::newRow("dialout, read and write") << QStringLiteral("dialout") << 0660U << true;
    QTest::newRow("a group of the site's own") << QStringLiteral("sensors") << 0664U << true;
    QTest::newRow("group may only read") << QStringLiteral("dialout") << 0640U << false;
    QTest::newRow("owner only") << QStringLiteral("dialout") << 0600U << false;
    QTest::newRow("root, owner only") << QStringLiteral("root") << 0600U << false;
    QTest::newRow("root, read and write") << QStringLiteral("root") << 0660U << false;
    QTest::newRow("disk") << QStringLiteral("disk") << 0660U << false;
    QTest::newRow("sudo") << QStringLiteral("sudo") << 0660U << false;
    QTest::newRow("terminals") << QStringLiteral("tty") << 0620U << false;
    QTest::newRow("group unknown") << QString() << 0660U << false;
}

void TestSerialCommPort::permissionAdviceNamesOnlyAGroupThatHelps()
{
    QFETCH(QString, group);
    QFETCH(uint, mode);
    QFETCH(bool, joiningHelps);
    const QString device = QStringLiteral("/dev/ttyS2");
    const QString reason = SerialCommPort::permissionDeniedReason(device, group, mode | S_IFCHR);
    QCOMPARE(reason,
             joiningHelps
                 ? QStringLiteral("permission denied; the user must belong to the group that owns "
                                  "/dev/ttyS2 (%1), for example with \"sudo usermod -aG %1 "
                                  "$USER\" and a new login")
                       .arg(group)
                 : QStringLiteral("permission denied; ask the administrator for access to "
                                  "/dev/ttyS2"));
}

// Run by port3-choice.sh in a sandbox that shows a simulated sensor under the name given.
void TestSerialCommPort::portThreeIsTheDeviceTheSystemNames()
{
    const QString expected = qEnvironmentVariable("QUORIN_PORT3_DEVICE");
    if (expected.isEmpty())
        QSKIP("run by port3-choice.sh in a sandbox");
    QCOMPARE(Quorin::deviceForPort(3), expected);
    SerialCommPort port;
    port.setPortNumber(3);
    port.setOpen(true);
    QTRY_VERIFY(port.bytesWaiting() > 0);
}

QTEST_GUILESS_MAIN(TestSerialCommPort)
#include "tst_serialcommport.moc"
