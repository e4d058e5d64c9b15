// The QSerialPort implementation on a real pseudo-terminal: what it reads, what it answers while
// closed, and what its refusals say.

#include "serialcommport.h"
#include "stream.h"
#include "testpty.h"

#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

using Quorin::SerialCommPort;
using namespace Qt::StringLiterals;

namespace {

// Port 3 on `device`, on a system whose only other serial port is a USB adapter.
std::unique_ptr<SerialCommPort> portOn(const QString &device)
{
    auto port = std::make_unique<SerialCommPort>(
        nullptr, [device](int) { return device; },
        [] {
            return QList<Quorin::SystemPort>{{u"/dev/ttyUSB0"_s, u"FT232R USB UART"_s}};
        });
    port->setPortNumber(3);
    port->setSettings(u"9600,N,8,1"_s);
    return port;
}

QString refusalToOpen(const QString &device)
{
    try {
        portOn(device)->setOpen(true);
    } catch (const Quorin::SerialError &error) {
        return error.message();
    }
    return {};
}

} // namespace

class TestSerialCommPort : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsWhatArrivesOnlyWhileOpen()
    {
        Pty pty;
        auto port = portOn(pty.path);
        QByteArray all;
        for (int code = 0; code < 256; ++code)
            all.append(char(code));
        port->setOpen(true);
        QVERIFY(pty.write(all));
        QTRY_COMPARE(port->bytesWaiting(), all.size());
        // Every read returns all that waits: 0 is the one read length the port takes.
        QVERIFY_THROWS_EXCEPTION(Quorin::SerialError, port->setReadLength(4));
        port->setReadLength(0);
        QCOMPARE(port->readAll(), all);

        QVERIFY(pty.write("12345"));
        QTRY_COMPARE(port->bytesWaiting(), 5);
        port->setOpen(false);
        QCOMPARE(port->bytesWaiting(), 0);
        QCOMPARE(port->readAll(), QByteArray());
    }

    // The sensor's line is the one line the port takes.
    void takesOnlyTheSensorsLine_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("taken");
        QTest::newRow("the sensor's") << u"9600,N,8,1"_s << true;
        QTest::newRow("spaces, lower case") << u" 9600 ,n, 8,1 "_s << true;
        for (const QString &other :
             {u"19200,N,8,1"_s, u"9600,E,8,1"_s, u"9600,O,8,1"_s, u"9600,N,7,1"_s,
              u"9600,N,8,1.5"_s, u"9600,N,8,2"_s, u"9600;N;8;1"_s, u"9600,N,8"_s, QString()})
            QTest::addRow("refused: \"%s\"", qPrintable(other)) << other << false;
    }

    void takesOnlyTheSensorsLine()
    {
        QFETCH(QString, settings);
        QFETCH(bool, taken);
        const auto port = portOn(u"/dev/ttyS2"_s);
        QString refusal;
        try {
            port->setSettings(settings);
        } catch (const Quorin::SerialError &error) {
            refusal = error.message();
        }
        QCOMPARE(refusal,
                 taken ? QString()
                       : u"Impostazioni di linea \"%1\" non valide per la porta seriale 3 "
                         "(/dev/ttyS2): servono velocità, parità, bit di dati e bit di stop, come "
                         "\"9600,N,8,1\"."_s.arg(settings));
    }

    // A line without a UART leads to the ports the system has and the step to port 3; a device
    // that is no serial line at all is reported in the system's own words.
    void refusalLeadsToItsFix()
    {
        // Locked again, the slave refuses to open with EIO, as a line with no UART behind it.
        const Pty locked;
        int lock = 1;
        QCOMPARE(::ioctl(locked.master(), TIOCSPTLCK, &lock), 0);
        QCOMPARE(
            refusalToOpen(locked.path),
            u"Impossibile aprire la porta seriale 3 (%1): su questo dispositivo non risponde "
            "alcuna porta seriale. Il PC ha la porta seriale /dev/ttyUSB0 (FT232R USB UART): per "
            "darle il numero 3, eseguire \"sudo quorin-port3 /dev/ttyUSB0\"."_s.arg(locked.path));
        QCOMPARE(
            refusalToOpen(u"/dev/null"_s),
            u"Impossibile aprire la porta seriale 3 (/dev/null): il sistema risponde \"%1\"."_s.arg(
                QString::fromLocal8Bit(std::strerror(ENOTTY))));
    }

    // A user left out of the line's group is told to join it; root, who may open anything,
    // tries as nobody.
    void deniedLineIsNotReportedAsBusy()
    {
        const Pty pty;
        const QByteArray path = QFile::encodeName(pty.path);
        const struct group *dialout = ::getgrnam("dialout");
        const bool root = ::geteuid() == 0 && dialout;
        QVERIFY(::chmod(path.constData(), root ? 0660 : 0) == 0);
        QString refusal;
        if (root) {
            QVERIFY(::chown(path.constData(), 0, dialout->gr_gid) == 0);
            std::vector<gid_t> groups(size_t(std::max(::getgroups(0, nullptr), 0)));
            QVERIFY(::getgroups(int(groups.size()), groups.data()) == int(groups.size()));
            // Whatever happens as nobody, the test goes on as root with its groups.
            const bool dropped = ::setgroups(0, nullptr) == 0 && ::setresuid(65534, 65534, 0) == 0;
            if (dropped)
                refusal = refusalToOpen(pty.path);
            const bool restored
                = ::setresuid(0, 0, 0) == 0 && ::setgroups(groups.size(), groups.data()) == 0;
            QVERIFY(dropped && restored);
        } else {
            refusal = refusalToOpen(pty.path);
        }
        const QString reason = root
            ? u"l'utente deve far parte del gruppo proprietario di %1 (dialout), per esempio con "
              "\"sudo usermod -aG dialout $USER\", e poi uscire dalla sessione e rientrare"_s
            : u"chiedere all'amministratore l'accesso a %1"_s;
        QCOMPARE(refusal,
                 u"Impossibile aprire la porta seriale 3 (%1): permesso negato; "_s.arg(pty.path)
                     + reason.arg(pty.path) + u'.');
    }

    void permissionAdviceNamesOnlyAGroupThatHelps_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<bool>("joiningHelps");
        QTest::newRow("dialout, read and write") << u"dialout"_s << 0660U << true;
        QTest::newRow("a group of the site's own") << u"sensors"_s << 0664U << true;
        QTest::newRow("group may only read") << u"dialout"_s << 0640U << false;
        QTest::newRow("a group that gives far more") << u"root"_s << 0660U << false;
        QTest::newRow("group unknown") << QString() << 0660U << false;
    }

    void permissionAdviceNamesOnlyAGroupThatHelps()
    {
        QFETCH(QString, group);
        QFETCH(uint, mode);
        QFETCH(bool, joiningHelps);
        const QString device = u"/dev/ttyS2"_s;
        QCOMPARE(SerialCommPort::permissionDeniedReason(device, group, mode | S_IFCHR),
                 joiningHelps ? u"permesso negato; l'utente deve far parte del gruppo proprietario "
                                "di /dev/ttyS2 (%1), per esempio con \"sudo usermod -aG %1 "
                                "$USER\", e poi uscire dalla sessione e rientrare"_s.arg(group)
                              : u"permesso negato; chiedere all'amministratore l'accesso a "
                                "/dev/ttyS2"_s);
    }

    // A device that goes away is closed before its failure is reported, and the report names the
    // device that was open, though port 3 is another device by then: /dev/com3 goes with its
    // adapter.
    void pulledDeviceIsClosedAndReportedByTheNameItHad()
    {
        auto pty = std::make_unique<Pty>();
        const QString opened = pty->path;
        bool pulled = false;
        SerialCommPort port(nullptr, [&](int) { return pulled ? u"/dev/ttyS2"_s : opened; });
        port.setPortNumber(3);
        port.setOpen(true);
        QString report;
        bool openWhenReported = true;
        connect(&port, &Quorin::CommPort::failed, this, [&](const QString &message) {
            report = message;
            openWhenReported = port.isOpen();
        });
        pulled = true;
        pty.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!report.isEmpty(), 60000);
        QVERIFY(!openWhenReported);
        QCOMPARE(report,
                 u"La porta seriale 3 (%1) ha smesso di funzionare: la lettura dal dispositivo "
                 "non è riuscita. Il dispositivo potrebbe essere stato scollegato: ricollegarlo e "
                 "avviare di nuovo il programma."_s.arg(opened));
    }

    // Bytes that nobody reads, as before "Ricevi i dati" is clicked, wait in the port up to
    // 64 KiB and no further, so that a streaming sensor does not grow the program's memory.
    void unreadBytesWaitUpTo64KiB()
    {
        Pty pty;
        auto port = portOn(pty.path);
        port->setOpen(true);
        QCOMPARE(::fcntl(pty.master(), F_SETFL, O_NONBLOCK), 0); // the writer never blocks
        const Stream sensor(pty.master(), QByteArray(4096, '\x07'));
        QTRY_COMPARE_WITH_TIMEOUT(port->bytesWaiting(), qsizetype(64) * 1024, 60000);
    }

    // Run by port3-choice.sh in a sandbox that shows a simulated sensor under the name given.
    void portThreeIsTheDeviceTheSystemNames()
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
};

QTEST_GUILESS_MAIN(TestSerialCommPort)
#include "tst_serialcommport.moc"
