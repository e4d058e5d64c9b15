// The QSerialPort implementation on a real pseudo-terminal: what it reads, what it answers while
// closed, and what its refusals and failures say.

#include "serialcommport.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

using Quorin::SerialCommPort;
using Quorin::SerialError;

namespace {

// A pseudo-terminal pair; the test writes into the master, the port reads the slave.
class Pty
{
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && grantpt(m_master) == 0 && unlockpt(m_master) == 0)
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
    void vanishedDeviceClosesThePortBeforeItIsReported();
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
    QTest::newRow("no such device")
        << QStringLiteral("missing")
        << QStringLiteral("Cannot open serial port 3 (%1): no such device.");
    QTest::newRow("held by another program")
        << QStringLiteral("busy")
        << QStringLiteral("Cannot open serial port 3 (%1): the port is busy");
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
    const QString device = scenario == QLatin1String("missing")
        ? QStringLiteral("/dev/quorin-no-such-device")
        : pty.path();
    auto port = portOn(device);
    auto other = portOn(device);
    if (scenario != QLatin1String("missing") && scenario != QLatin1String("settings"))
        other->setOpen(true);
    SerialCommPort *tried = scenario == QLatin1String("busy") ? port.get() : other.get();

    const QString message = refusalOf([&] {
        if (scenario == QLatin1String("settings"))
            tried->setSettings(QStringLiteral("9600;N;8;1"));
        else if (scenario == QLatin1String("renumber"))
            tried->setPortNumber(4);
        else
            tried->setOpen(true);
    });
    QVERIFY2(message.startsWith(reason.arg(device)), qPrintable(message));
}

void TestSerialCommPort::vanishedDeviceClosesThePortBeforeItIsReported()
{
    Pty pty;
    auto port = portOn(pty.path());
    port->setOpen(true);
    bool openWhenReported = true;
    QSignalSpy failures(port.get(), &Quorin::CommPort::failed);
    connect(port.get(), &Quorin::CommPort::failed, this,
            [&] { openWhenReported = port->isOpen(); });

    pty.closeMaster(); // as when a USB adapter is pulled
    QTRY_COMPARE(failures.size(), 1);
    QVERIFY(!openWhenReported);
    QVERIFY(failures.first().first().toString().startsWith(
        QStringLiteral("Serial port 3 (%1) stopped working: ").arg(pty.path())));
    QTest::qWait(200); // no second report follows from the errors still queued
    QCOMPARE(failures.size(), 1);
}

QTEST_GUILESS_MAIN(TestSerialCommPort)
#include "tst_serialcommport.moc"
