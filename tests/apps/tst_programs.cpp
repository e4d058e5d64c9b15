// The real programs, started as processes under Xvfb, each in a sandbox where a pseudo-terminal
// is serial port 3, and driven through their windows as a user would.

#include "echotext.h"
#include "formlayout.h"
#include "protocol.h"
#include "signalgenerator.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>
#include <tuple>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Bounds a hang, nothing more: a loaded machine may take long to start a program.
constexpr int Patience = 60000;
constexpr int Dpi = 96; // the test's Xvfb runs at 96 dpi
const auto Title = QStringLiteral("Lettura sensore");

// Both ends of a pseudo-terminal; holding the slave keeps the line's settings and input queue
// readable.
struct Pty
{
    int master = -1;
    int slave = -1;
    QString path;

    Pty()
    {
        // Close-on-exec: a reader that inherited the master would keep its own line alive.
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        path = QString::fromLocal8Bit(ptsname(master));
        slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~Pty()
    {
        if (slave >= 0)
            ::close(slave);
        if (master >= 0)
            ::close(master);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;
};

// Writes a pattern into a pty's master, again and again as fast as the line takes it, from a
// thread of its own until stopped.
class Stream
{
public:
    Stream(int master, QByteArray pattern)
        : m_thread([this, master, pattern = std::move(pattern)] {
            for (qsizetype at = 0; !m_stop;) {
                pollfd out{master, POLLOUT, 0};
                if (::poll(&out, 1, 100) <= 0)
                    continue;
                const ssize_t n = ::write(master, pattern.data() + at, size_t(pattern.size() - at));
                if (n < 0 && errno != EAGAIN && errno != EINTR)
                    return;
                at = (at + std::max<ssize_t>(n, 0)) % pattern.size();
                m_written += std::max<ssize_t>(n, 0);
            }
        })
    {
    }
    ~Stream()
    {
        m_stop = true;
        m_thread.join();
    }
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    [[nodiscard]] qint64 written() const { return m_written; }

private:
    std::atomic<bool> m_stop = false;
    std::atomic<qint64> m_written = 0;
    std::thread m_thread;
};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(Patience);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString xdrive(const QStringList &arguments)
{
    return run(QStringLiteral(QUORIN_XDRIVE), arguments);
}

// One of the two programs, started in its sandbox, and its windows as the X server shows them.
class Reader
{
public:
    enum Kind { Standard, Didactic };

    Reader(Kind kind, const QString &port, const QString &lockDir,
           const QString &locale = QStringLiteral("C"), const QStringList &asUser = {})
        : m_layout(kind == Didactic ? Quorin::didacticLayout() : Quorin::standardLayout())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.insert(QStringLiteral("LC_ALL"), locale);
        m_process.setProcessEnvironment(environment);
        // A process group of its own, the sandbox's shells included, to end it whole.
        m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
        const QString program = QString::fromUtf8(kind == Didactic ? QUORIND_PATH : QUORIN_PATH);
        m_process.start(QStringLiteral(QUORIN_SANDBOX),
                        QStringList{QStringLiteral("--lock-dir"), lockDir, port} + asUser
                            + QStringList{program});
    }
    ~Reader()
    {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(-static_cast<pid_t>(m_process.processId()), SIGKILL);
            m_process.waitForFinished();
        }
        // A busy X server may list a killed program's windows a while longer; the next test
        // must not take them for its own.
        std::ignore = QTest::qWaitFor(
            [&] {
                const QString listing = xdrive({QStringLiteral("list")});
                return std::none_of(m_seen.cbegin(), m_seen.cend(), [&](const QString &id) {
                    return listing.startsWith(id + u' ') || listing.contains(u'\n' + id + u' ');
                });
            },
            Patience);
    }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // Waits until the main window, or a window of any other size (a dialog), is shown.
    [[nodiscard]] bool waitForWindow()
    {
        return QTest::qWaitFor([&] { return find(true); }, Patience);
    }
    [[nodiscard]] bool waitForDialog()
    {
        return QTest::qWaitFor([&] { return find(false); }, Patience);
    }
    [[nodiscard]] bool hasWindow() { return find(true); }

    void click(const char *control)
    {
        const QPoint at = m_layout.find(QLatin1String(control))->pixelRect(Dpi).center();
        xdrive(
            {QStringLiteral("click"), m_shown, QString::number(at.x()), QString::number(at.y())});
        m_focus = QLatin1String(control);
    }
    // What a box shows, as a user finds out: select all of it and read the selection. The box
    // is clicked only when it does not have the keyboard yet: a second click on it soon after
    // the first would be a double click, which selects a word.
    [[nodiscard]] QString textOf(const char *box)
    {
        if (m_focus != QLatin1String(box))
            click(box);
        xdrive({QStringLiteral("select-all")});
        return xdrive({QStringLiteral("selection")});
    }
    // Closes the window last found, as a window manager does.
    void close() const { xdrive({QStringLiteral("close"), m_shown}); }

    // The exit status once the program has ended by itself, or -1.
    [[nodiscard]] int exitCode()
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(Patience))
            return -1;
        if (m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    [[nodiscard]] bool isRunning() const { return m_process.state() == QProcess::Running; }
    // What the program wrote on standard error so far.
    [[nodiscard]] QString report()
    {
        m_report += QString::fromLocal8Bit(m_process.readAllStandardError());
        return m_report;
    }
    // What a failed check should say of the program.
    [[nodiscard]] QByteArray diagnosis()
    {
        return QStringLiteral("running %1, said: %2").arg(isRunning()).arg(report()).toLocal8Bit();
    }

private:
    // Finds a window of the title with the main window's size (or, with main false, of any
    // other size) and keeps its id for the calls that follow.
    bool find(bool main)
    {
        const QSize size(Quorin::twipsToPixels(m_layout.width, Dpi),
                         Quorin::twipsToPixels(m_layout.height, Dpi));
        const QString listing = xdrive({QStringLiteral("list")});
        for (const QString &line : listing.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u' '); // id width height title
            if (fields.size() < 4 || fields.mid(3).join(u' ') != Title)
                continue;
            if ((QSize(fields[1].toInt(), fields[2].toInt()) == size) == main) {
                m_shown = fields[0];
                m_seen.insert(m_shown);
                return true;
            }
        }
        return false;
    }

    const Quorin::FormLayout &m_layout;
    QProcess m_process;
    QString m_shown;
    QSet<QString> m_seen;
    QString m_focus; // the control last clicked
    QString m_report;
};

// The line as the reader set it up, seen from the test's end; a fresh pty runs at 38400 baud.
bool isNineSixHundredEightNOne(int fd)
{
    termios line = {};
    return tcgetattr(fd, &line) == 0 && cfgetispeed(&line) == B9600 && cfgetospeed(&line) == B9600
        && (line.c_cflag & CSIZE) == CS8 && (line.c_cflag & (PARENB | CSTOPB)) == 0;
}

QByteArray frames(int code, int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text.append(char(Quorin::SyncByte)).append(char(code));
    return text;
}

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void readsTheStreamUntilTheWindowCloses_data();
    void readsTheStreamUntilTheWindowCloses();
    void failureIsReportedOnceAndLeavesNothingBehind_data();
    void failureIsReportedOnceAndLeavesNothingBehind();

private:
    [[nodiscard]] QStringList locks() const
    {
        return QDir(m_lockDir).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir m_scratch;
    QString m_lockDir;
};

void TestPrograms::initTestCase()
{
    QVERIFY(m_scratch.isValid());
    QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "runs under Xvfb, see tests/CMakeLists.txt");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_scratch.path()));
}

void TestPrograms::init()
{
    // Lock files that every reader of one test function sees, as on one machine; writable by
    // the user a reader may run as.
    m_lockDir = m_scratch.filePath(QString::fromLatin1(QTest::currentTestFunction())
                                   + QString::fromLatin1(QTest::currentDataTag()));
    QDir().mkpath(m_lockDir);
    QFile::setPermissions(m_lockDir,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                              | QFile::WriteOther | QFile::ExeOther);
}

void TestPrograms::readsTheStreamUntilTheWindowCloses_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    // (254 - 1) * 100 / 253 = 100, (127 - 1) * 100 / 253 = 49.80...
    QTest::newRow("Quorin, Italian")
        << int(Reader::Standard) << QStringLiteral("it_IT.UTF-8") << 254 << QStringLiteral("100,0");
    QTest::newRow("Quorind, C locale")
        << int(Reader::Didactic) << QStringLiteral("C") << 127 << QStringLiteral("49.8");
}

void TestPrograms::readsTheStreamUntilTheWindowCloses()
{
    QFETCH(int, kind);
    QFETCH(QString, locale);
    QFETCH(int, code);
    QFETCH(QString, shown);
    Pty pty;
    Reader reader(Reader::Kind(kind), pty.path, m_lockDir, locale);
    QVERIFY(reader.waitForWindow());
    QCOMPARE(locks().size(), 1); // the open port's
    QVERIFY(isNineSixHundredEightNOne(pty.slave));

    // Under a stream of noise as fast as the line takes it, the window answers with a value.
    reader.click("Command2");
    Quorin::SignalSettings noise;
    noise.shape = Quorin::SignalShape::Noise;
    {
        const Stream flood(pty.master, Quorin::SignalGenerator(noise).next(1 << 16));
        QTRY_VERIFY_WITH_TIMEOUT(flood.written() > (1 << 20), Patience);
        QTRY_VERIFY2_WITH_TIMEOUT(!reader.textOf("Text1").isEmpty(), reader.diagnosis().constData(),
                                  Patience);
    }

    // Stopped, the port is released and what the line still held is dropped; a new run then
    // reads nothing but frames of one code, which its newest read shows.
    reader.click("Command1");
    QTRY_VERIFY_WITH_TIMEOUT(locks().isEmpty(), Patience);
    QCOMPARE(tcflush(pty.slave, TCIFLUSH), 0);
    reader.click("Command2");
    {
        const Stream sensor(pty.master, frames(code, 50));
        QTRY_VERIFY2_WITH_TIMEOUT(reader.textOf("Text1") == shown, reader.diagnosis().constData(),
                                  Patience);
    }
    if (kind == Reader::Didactic) {
        // The newest read in front, byte for byte: the sync and the code, as their characters.
        const QString echo = reader.textOf("Text9");
        const QRegularExpression newest(
            QStringLiteral("^[\u00ff%1]{100}").arg(Quorin::echoText(QByteArray(1, char(code)))));
        QVERIFY2(newest.match(echo).hasMatch(), qPrintable(echo));
    }

    // Closing the window while a run waits ends the program and frees the port.
    reader.close();
    QVERIFY2(reader.exitCode() == 0, reader.diagnosis().constData());
    QVERIFY(!reader.hasWindow());
    QCOMPARE(locks(), QStringList());
}

enum Failure { NoPort, Busy, Pulled, Forbidden };

void TestPrograms::failureIsReportedOnceAndLeavesNothingBehind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("report"); // a pattern
    const QString cannotOpen = QStringLiteral("^Cannot open serial port 3 \\(/dev/ttyS2\\): ");
    for (const int kind : {Reader::Standard, Reader::Didactic}) {
        const char *name = kind == Reader::Standard ? "Quorin" : "Quorind";
        QTest::addRow("%s, no port", name) << kind << int(NoPort)
                                           << cannotOpen
                + QStringLiteral("no such device\\. If the sensor is on a USB serial adapter, "
                                 "plug it in; to give an adapter port 3, run \"sudo quorin-port3 "
                                 "/dev/ttyUSB0\" with the adapter's device\\.");
        QTest::addRow("%s, port held by another", name)
            << kind << int(Busy)
            << cannotOpen + QStringLiteral("the port is busy, another program is using it");
        QTest::addRow("%s, device pulled while receiving", name)
            << kind << int(Pulled)
            << QStringLiteral("^Serial port 3 \\(/dev/ttyS2\\) stopped working: .+\\. The device "
                              "may have been disconnected\\.$");
    }
    QTest::newRow("Quorin, port the user may not open") << int(Reader::Standard) << int(Forbidden)
                                                        << cannotOpen
            + QStringLiteral("permission denied; the user must belong to the group that owns "
                             "/dev/ttyS2 \\(dialout\\), for example with \"sudo usermod -aG "
                             "dialout \\$USER\" and a new login\\.$");
}

void TestPrograms::failureIsReportedOnceAndLeavesNothingBehind()
{
    QFETCH(int, kind);
    QFETCH(int, failure);
    QFETCH(QString, report);
    auto pty = std::make_unique<Pty>();
    std::unique_ptr<Reader> first; // the reader already holding the port
    QStringList asUser;
    QTemporaryDir shared;
    if (failure == Busy) {
        first = std::make_unique<Reader>(Reader::Kind(kind), pty->path, m_lockDir);
        QVERIFY(first->waitForWindow());
    } else if (failure == Forbidden) {
        if (::geteuid() != 0)
            QSKIP("needs root to run the reader as another user");
        // The line belongs to a group that nobody is not in, as a serial line's to dialout;
        // the display's cookie goes where nobody can read it.
        QVERIFY(QProcess::execute(QStringLiteral("chgrp"), {QStringLiteral("dialout"), pty->path})
                == 0);
        QVERIFY(QFile::setPermissions(pty->path,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                          | QFile::WriteGroup));
        QFile::setPermissions(shared.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                  | QFile::ReadOther | QFile::ExeOther);
        const QString cookie = shared.filePath(QStringLiteral("Xauthority"));
        QVERIFY(QFile::copy(qEnvironmentVariable("XAUTHORITY"), cookie));
        QFile::setPermissions(cookie, QFile::ReadOwner | QFile::ReadOther);
        asUser = QStringList{QStringLiteral("setpriv"),
                             QStringLiteral("--reuid=nobody"),
                             QStringLiteral("--regid=nogroup"),
                             QStringLiteral("--clear-groups"),
                             QStringLiteral("env"),
                             QStringLiteral("XAUTHORITY=") + cookie,
                             QStringLiteral("XDG_RUNTIME_DIR=") + shared.path()};
    }
    const QString port = failure == NoPort ? QStringLiteral("--no-port") : pty->path;
    Reader reader(Reader::Kind(kind), port, m_lockDir, QStringLiteral("C"), asUser);
    if (failure == Pulled) {
        QVERIFY(reader.waitForWindow());
        reader.click("Command2");
        pty.reset(); // as when a USB adapter is pulled while a run waits
    }

    QVERIFY(reader.waitForDialog());
    if (failure == NoPort || failure == Forbidden)
        QVERIFY(!reader.hasWindow()); // a reader that cannot start shows only its report
    // The port is closed before the report waits for the user.
    QCOMPARE(locks().size(), first ? 1 : 0);
    reader.close();
    QVERIFY2(reader.exitCode() == 1, reader.diagnosis().constData());
    const QString said = reader.report();
    // Reported once, on a line of its own.
    const QRegularExpression reported(report, QRegularExpression::MultilineOption);
    int reports = 0;
    for (auto match = reported.globalMatch(said); match.hasNext(); match.next())
        ++reports;
    QVERIFY2(reports == 1, qPrintable(said));

    if (first) {
        QVERIFY(first->isRunning());
        first->close();
        QCOMPARE(first->exitCode(), 0);
    }
    // Nothing is left behind: the next start opens the port and ends cleanly.
    QCOMPARE(locks(), QStringList());
    Pty next;
    Reader again(Reader::Kind(kind), next.path, m_lockDir);
    QVERIFY(again.waitForWindow());
    again.close();
    QCOMPARE(again.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
