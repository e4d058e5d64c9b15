// The real programs, started as processes under Xvfb, each in a sandbox where a pseudo-terminal
// is serial port 3, and driven through their windows as a user would.

#include "echotext.h"
#include "formlayout.h"
#include "signalgenerator.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int WindowTimeout = 10000;
constexpr int Dpi = 96; // the test's Xvfb runs at 96 dpi
const auto Title = QStringLiteral("Lettura sensore");

struct Program
{
    QString path;
    const Quorin::FormLayout *layout;

    [[nodiscard]] QSize size() const
    {
        return {Quorin::twipsToPixels(layout->width, Dpi),
                Quorin::twipsToPixels(layout->height, Dpi)};
    }
    [[nodiscard]] QPoint centreOf(const char *control) const
    {
        return layout->find(QLatin1String(control))->pixelRect(Dpi).center();
    }
};

struct TopLevel
{
    QString id;
    QSize size;
    QString title;
};

// Both ends of a pseudo-terminal; holding the slave keeps the line's settings readable.
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

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(WindowTimeout);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<TopLevel> topLevels()
{
    QList<TopLevel> windows;
    const QString listing = run(QStringLiteral(QUORIN_XDRIVE), {QStringLiteral("list")});
    for (const QString &line : listing.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u' ');
        if (fields.size() >= 3)
            windows.append(
                {fields[0], QSize(fields[1].toInt(), fields[2].toInt()), fields.mid(3).join(u' ')});
    }
    return windows;
}

// The shown window of this title and size, or, with no size, of any other size (a dialog).
std::optional<TopLevel> findWindow(const QSize &size, bool exactSize = true)
{
    for (const TopLevel &window : topLevels()) {
        if (window.title == Title && (window.size == size) == exactSize)
            return window;
    }
    return std::nullopt;
}

void click(const TopLevel &window, QPoint at, int times = 1)
{
    run(QStringLiteral(QUORIN_XDRIVE),
        {QStringLiteral("click"), window.id, QString::number(at.x()), QString::number(at.y()),
         QString::number(times)});
}

void closeWindow(const TopLevel &window)
{
    run(QStringLiteral(QUORIN_XDRIVE), {QStringLiteral("close"), window.id});
}

// What a box shows, as a user finds out: select all of it with a triple click and read the
// selection.
QString textOf(const TopLevel &window, QPoint box)
{
    click(window, box, 3);
    return run(QStringLiteral(QUORIN_XDRIVE), {QStringLiteral("selection")});
}

// The /proc folder of the reader under the sandbox's shell: the shell's only child.
QString procOfReader(const QProcess &sandbox)
{
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(sandbox.processId()));
    if (!children.open(QIODevice::ReadOnly))
        return {};
    const QByteArray reader = children.readAll().trimmed();
    if (reader.isEmpty() || reader.contains(' '))
        return {};
    return QStringLiteral("/proc/") + QString::fromLatin1(reader);
}

// The CPU seconds the reader has used, or -1.
double cpuSecondsOfReader(const QProcess &sandbox)
{
    QFile stat(procOfReader(sandbox) + QStringLiteral("/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // Fields 14 and 15 are user and system time; the name in field 2 ends with ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble())
        / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The reader's resident memory in KiB, or -1.
qint64 residentKiBOfReader(const QProcess &sandbox)
{
    QFile status(procOfReader(sandbox) + QStringLiteral("/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Writes all of data as the line takes it; false when the line takes nothing for ten seconds
// or stop is set.
bool writeAll(int fd, QByteArrayView data, const std::atomic<bool> *stop = nullptr)
{
    QDeadlineTimer stalled(WindowTimeout);
    while (!data.isEmpty()) {
        if ((stop && *stop) || stalled.hasExpired())
            return false;
        pollfd out{fd, POLLOUT, 0};
        if (::poll(&out, 1, 100) <= 0)
            continue;
        const ssize_t n = ::write(fd, data.data(), static_cast<size_t>(data.size()));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (n > 0) {
            data = data.sliced(n);
            stalled.setRemainingTime(WindowTimeout);
        }
    }
    return true;
}

// Writes the noise signal to a pty's master, from a thread of its own, as fast as the line
// takes it, until stopped.
class Flood
{
public:
    explicit Flood(int master)
        : m_master(master)
        , m_thread([this] { run(); })
    {
    }
    ~Flood() { stop(); }
    Flood(const Flood &) = delete;
    Flood &operator=(const Flood &) = delete;

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    [[nodiscard]] qint64 written() const { return m_written; }

private:
    void run()
    {
        Quorin::SignalSettings noise;
        noise.shape = Quorin::SignalShape::Noise;
        Quorin::SignalGenerator generator(noise);
        while (!m_stop) {
            const QByteArray chunk = generator.next(4096);
            if (!writeAll(m_master, chunk, &m_stop))
                return;
            m_written += chunk.size();
        }
    }

    int m_master;
    std::atomic<bool> m_stop = false;
    std::atomic<qint64> m_written = 0;
    std::thread m_thread;
};

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void missingPortIsReportedWithoutWindow_data() { programRows(); }
    void missingPortIsReportedWithoutWindow();
    void secondInstanceIsToldThePortIsBusy_data() { programRows(); }
    void secondInstanceIsToldThePortIsBusy();
    void vanishedDeviceEndsTheProgramWithItsReport_data() { programRows(); }
    void vanishedDeviceEndsTheProgramWithItsReport();
    void unreadablePortIsReportedWithItsGroup();
    void fastStreamForAMinuteLeavesTheWindowAnswering_data() { programRows(); }
    void fastStreamForAMinuteLeavesTheWindowAnswering();
    void closingTheWindowEndsTheProgram_data();
    void closingTheWindowEndsTheProgram(); // and the port is 9600 8N1 until then
    void showsTheValueSent_data();
    void showsTheValueSent();

private:
    void programRows();
    QProcess *start(const QString &program, const QString &port,
                    const QString &locale = QStringLiteral("C"), const QStringList &asUser = {});
    QProcess *startSensor(int code);
    void expectNothingLeftBehind(const Program &program, const QString &port);

    QTemporaryDir m_scratch;
    QString m_lockDir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

void TestPrograms::initTestCase()
{
    QVERIFY(m_scratch.isValid());
    QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "runs under Xvfb, see tests/CMakeLists.txt");
}

void TestPrograms::cleanup()
{
    // Each program runs in a process group of its own, the sandbox's shells included.
    for (const auto &process : m_processes) {
        if (process->state() != QProcess::NotRunning) {
            ::kill(-static_cast<pid_t>(process->processId()), SIGKILL);
            process->waitForFinished();
        }
    }
    m_processes.clear();
}

void TestPrograms::programRows()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("didactic");
    QTest::newRow("Quorin") << QStringLiteral(QUORIN_PATH) << false;
    QTest::newRow("Quorind") << QStringLiteral(QUORIND_PATH) << true;
}

static Program programOf(const QString &path, bool didactic)
{
    return {path, didactic ? &Quorin::didacticLayout() : &Quorin::standardLayout()};
}

QProcess *TestPrograms::start(const QString &program, const QString &port, const QString &locale,
                              const QStringList &asUser)
{
    m_lockDir = m_scratch.filePath(QStringLiteral("lock"));
    QDir().mkpath(m_lockDir);
    QFile::setPermissions(m_lockDir,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                              | QFile::WriteOther | QFile::ExeOther);
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("LC_ALL"), locale);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_scratch.path());
    process->setProcessEnvironment(environment);
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    process->start(QStringLiteral(QUORIN_SANDBOX),
                   QStringList{QStringLiteral("--lock-dir"), m_lockDir, port} + asUser
                       + QStringList{program});
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

QProcess *TestPrograms::startSensor(int code)
{
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::setpgid(0, 0); });
    process->start(QStringLiteral(QUORIN_SENSOR),
                   {QStringLiteral("--pty"), QStringLiteral("--signal"), QStringLiteral("constant"),
                    QStringLiteral("--code"), QString::number(code)});
    m_processes.push_back(std::move(process));
    return m_processes.back().get();
}

void TestPrograms::missingPortIsReportedWithoutWindow()
{
    QFETCH(QString, path);
    QFETCH(bool, didactic);
    const Program program = programOf(path, didactic);

    QProcess *reader = start(program.path, QStringLiteral("--no-port"));
    std::optional<TopLevel> dialog;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = findWindow(program.size(), false)), WindowTimeout);
    QVERIFY(!findWindow(program.size()));
    closeWindow(*dialog);

    QVERIFY(reader->waitForFinished(WindowTimeout));
    QCOMPARE(reader->exitStatus(), QProcess::NormalExit);
    QCOMPARE(reader->exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(reader->readAllStandardError()).trimmed(),
             QStringLiteral("Cannot open serial port 3 (/dev/ttyS2): no such device."));
}

void TestPrograms::secondInstanceIsToldThePortIsBusy()
{
    QFETCH(QString, path);
    QFETCH(bool, didactic);
    const Program program = programOf(path, didactic);
    Pty pty;

    QProcess *first = start(program.path, pty.path);
    std::optional<TopLevel> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = findWindow(program.size())), WindowTimeout);

    QProcess *second = start(program.path, pty.path);
    std::optional<TopLevel> dialog;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = findWindow(program.size(), false)), WindowTimeout);
    closeWindow(*dialog);
    QVERIFY(second->waitForFinished(WindowTimeout));
    QCOMPARE(second->exitCode(), 1);
    const QString report = QString::fromLocal8Bit(second->readAllStandardError());
    QVERIFY2(report.contains(QLatin1String("Cannot open serial port 3 (/dev/ttyS2)"))
                 && report.contains(QLatin1String("busy")),
             qPrintable(report));

    QCOMPARE(first->state(), QProcess::Running);
    closeWindow(*window);
    QVERIFY(first->waitForFinished(WindowTimeout));
    QCOMPARE(first->exitCode(), 0);
    expectNothingLeftBehind(program, pty.path);
}

// No lock file is left, and the program starts on the port again and closes cleanly.
void TestPrograms::expectNothingLeftBehind(const Program &program, const QString &port)
{
    QCOMPARE(QDir(m_lockDir).entryList(QDir::Files | QDir::Hidden), QStringList());
    QProcess *reader = start(program.path, port);
    std::optional<TopLevel> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = findWindow(program.size())), WindowTimeout);
    closeWindow(*window);
    QVERIFY(reader->waitForFinished(WindowTimeout));
    QCOMPARE(reader->exitCode(), 0);
}

void TestPrograms::vanishedDeviceEndsTheProgramWithItsReport()
{
    QFETCH(QString, path);
    QFETCH(bool, didactic);
    const Program program = programOf(path, didactic);
    auto pty = std::make_unique<Pty>();

    QProcess *reader = start(program.path, pty->path);
    std::optional<TopLevel> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = findWindow(program.size())), WindowTimeout);
    click(*window, program.centreOf("Command2"));
    pty.reset(); // as when a USB adapter is pulled while a run waits

    std::optional<TopLevel> dialog;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = findWindow(program.size(), false)), WindowTimeout);
    // The report waits for the user without a core spinning under it.
    const double cpuBefore = cpuSecondsOfReader(*reader);
    QTest::qWait(1000);
    const double cpuUsed = cpuSecondsOfReader(*reader) - cpuBefore;
    QVERIFY2(cpuBefore >= 0 && cpuUsed < 0.5, qPrintable(QString::number(cpuUsed)));
    closeWindow(*dialog);

    QVERIFY(reader->waitForFinished(WindowTimeout));
    QCOMPARE(reader->exitCode(), 1);
    const QString report = QString::fromLocal8Bit(reader->readAllStandardError());
    QVERIFY2(report.startsWith(QLatin1String("Serial port 3 (/dev/ttyS2) stopped working: "))
                 && report.endsWith(QLatin1String(". The device may have been disconnected.\n")),
             qPrintable(report));
    Pty next;
    expectNothingLeftBehind(program, next.path);
}

void TestPrograms::unreadablePortIsReportedWithItsGroup()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run the reader as another user");
    Pty pty; // root's and mode 620: nobody may not open it
    // The display's cookie, where the other user can read it.
    QTemporaryDir shared;
    QFile::setPermissions(shared.path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                              | QFile::ExeOther);
    const QString cookie = shared.filePath(QStringLiteral("Xauthority"));
    QFile::copy(qEnvironmentVariable("XAUTHORITY"), cookie);
    QFile::setPermissions(cookie, QFile::ReadOwner | QFile::ReadOther);

    QProcess *reader = start(QStringLiteral(QUORIN_PATH), pty.path, QStringLiteral("C"),
                             {QStringLiteral("setpriv"), QStringLiteral("--reuid=nobody"),
                              QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"),
                              QStringLiteral("env"), QStringLiteral("XAUTHORITY=") + cookie,
                              QStringLiteral("XDG_RUNTIME_DIR=") + shared.path()});
    std::optional<TopLevel> dialog;
    QTRY_VERIFY_WITH_TIMEOUT((dialog = findWindow(programOf(QString(), false).size(), false)),
                             WindowTimeout);
    closeWindow(*dialog);
    QVERIFY(reader->waitForFinished(WindowTimeout));
    QCOMPARE(reader->exitCode(), 1);
    const QString report = QString::fromLocal8Bit(reader->readAllStandardError());
    QVERIFY2(report.contains(QLatin1String("Cannot open serial port 3 (/dev/ttyS2): permission "
                                           "denied; the user must belong to the group that "
                                           "owns /dev/ttyS2 (%1)")
                                 .arg(QFileInfo(pty.path).group())),
             qPrintable(report));
    expectNothingLeftBehind(programOf(QStringLiteral(QUORIN_PATH), false), pty.path);
}

void TestPrograms::fastStreamForAMinuteLeavesTheWindowAnswering()
{
    QFETCH(QString, path);
    QFETCH(bool, didactic);
#ifdef QUORIN_SANITIZED
    QSKIP("AddressSanitizer holds on to freed memory, so memory cannot stay flat under it");
#endif
    const Program program = programOf(path, didactic);
    const int seconds = qEnvironmentVariableIntValue("QUORIN_FLOOD_SECONDS") > 0
        ? qEnvironmentVariableIntValue("QUORIN_FLOOD_SECONDS")
        : 60;
    Pty pty;
    QProcess *reader = start(program.path, pty.path);
    std::optional<TopLevel> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = findWindow(program.size())), WindowTimeout);
    click(*window, program.centreOf("Command2"));

    Flood flood(pty.master);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> residentKiB;
    qint64 slowestAnswerMs = 0;
    while (clock.elapsed() < qint64(seconds) * 1000) {
        QTest::qWait(2000);
        // A user selecting the value gets it: the window answers under the stream.
        QElapsedTimer answer;
        answer.start();
        QVERIFY(!textOf(*window, program.centreOf("Text1")).isEmpty());
        slowestAnswerMs = std::max(slowestAnswerMs, answer.elapsed());
        residentKiB.append(residentKiBOfReader(*reader));
    }
    flood.stop();
    QVERIFY2(flood.written() > qint64(10) * 1024 * 1024,
             qPrintable(QString::number(flood.written())));
    // Past start-up, the reader's memory does not grow with what it has received.
    const qint64 settled = residentKiB.value(1);
    const qint64 highest = *std::max_element(residentKiB.cbegin(), residentKiB.cend());
    qInfo("%lld MiB in %d s; resident %lld KiB after 4 s, at most %lld KiB; slowest answer %lld ms",
          flood.written() >> 20, seconds, settled, highest, slowestAnswerMs);
    QVERIFY2(settled > 0 && highest - settled < qint64(8) * 1024,
             qPrintable(QString::number(highest)));

    // The stream ends in a run of codes without a sync, longer than a read waits for, then in
    // frames of one code: the newest read starts in that run and is the one deciding the value.
    // Two such endings, so that the value seen must come from the second.
    const qsizetype threshold = didactic ? 100 : 10;
    for (const auto &[code, shown] : {std::pair{200, "78.7"}, std::pair{60, "23.3"}}) {
        QVERIFY(writeAll(pty.master, QByteArray(2 * threshold, char(7))));
        QTest::qWait(500);
        QByteArray frames;
        for (qsizetype i = 0; i < threshold; ++i)
            frames.append(char(Quorin::SyncByte)).append(char(code));
        QVERIFY(writeAll(pty.master, frames));
        QTRY_COMPARE_WITH_TIMEOUT(textOf(*window, program.centreOf("Text1")),
                                  QString::fromLatin1(shown), WindowTimeout);
    }

    closeWindow(*window);
    QVERIFY(reader->waitForFinished(WindowTimeout));
    QCOMPARE(reader->exitCode(), 0);
}

void TestPrograms::closingTheWindowEndsTheProgram_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("didactic");
    QTest::addColumn<bool>("receiving");
    QTest::newRow("Quorin") << QStringLiteral(QUORIN_PATH) << false << false;
    QTest::newRow("Quorin receiving") << QStringLiteral(QUORIN_PATH) << false << true;
    QTest::newRow("Quorind") << QStringLiteral(QUORIND_PATH) << true << false;
    QTest::newRow("Quorind receiving") << QStringLiteral(QUORIND_PATH) << true << true;
}

void TestPrograms::closingTheWindowEndsTheProgram()
{
    QFETCH(QString, path);
    QFETCH(bool, didactic);
    QFETCH(bool, receiving);
    const Program program = programOf(path, didactic);
    Pty pty;

    QProcess *reader = start(program.path, pty.path);
    std::optional<TopLevel> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = findWindow(program.size())), WindowTimeout);
    const QDir locks(m_lockDir);
    QCOMPARE(locks.entryList(QDir::Files).size(), 1); // the open port's lock

    // The line as the program set it up; a fresh pseudo-terminal runs at 38400 baud.
    termios line = {};
    QCOMPARE(tcgetattr(pty.slave, &line), 0);
    QCOMPARE(cfgetispeed(&line), speed_t(B9600));
    QCOMPARE(cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(line.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(line.c_cflag & CSTOPB, tcflag_t(0));
    if (receiving)
        click(*window, program.centreOf("Command2"));

    closeWindow(*window);
    QVERIFY(reader->waitForFinished(WindowTimeout));
    QCOMPARE(reader->exitStatus(), QProcess::NormalExit);
    QCOMPARE(reader->exitCode(), 0);
    QVERIFY(!findWindow(program.size()));
    QCOMPARE(locks.entryList(QDir::Files), QStringList());
}

void TestPrograms::showsTheValueSent_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("didactic");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    // (127 - 1) * 100 / 253 = 49.80..., (1 - 1) * 100 / 253 = 0, (254 - 1) * 100 / 253 = 100
    QTest::newRow("Quorin, C locale") << QStringLiteral(QUORIN_PATH) << false << QStringLiteral("C")
                                      << 127 << QStringLiteral("49.8");
    QTest::newRow("Quorin, Italian")
        << QStringLiteral(QUORIN_PATH) << false << QStringLiteral("it_IT.UTF-8") << 254
        << QStringLiteral("100,0");
    QTest::newRow("Quorind, C locale") << QStringLiteral(QUORIND_PATH) << true
                                       << QStringLiteral("C") << 127 << QStringLiteral("49.8");
    QTest::newRow("Quorind, Italian")
        << QStringLiteral(QUORIND_PATH) << true << QStringLiteral("it_IT.UTF-8") << 1
        << QStringLiteral("0,0");
}

void TestPrograms::showsTheValueSent()
{
    QFETCH(QString, path);
    QFETCH(bool, didactic);
    QFETCH(QString, locale);
    QFETCH(int, code);
    QFETCH(QString, shown);
    const Program program = programOf(path, didactic);

    QProcess *sensor = startSensor(code);
    QVERIFY(sensor->waitForReadyRead(WindowTimeout));
    const QString pty = QString::fromLocal8Bit(sensor->readLine()).trimmed();
    start(program.path, pty, locale);
    std::optional<TopLevel> window;
    QTRY_VERIFY_WITH_TIMEOUT((window = findWindow(program.size())), WindowTimeout);

    click(*window, program.centreOf("Command2"));
    QTRY_VERIFY_WITH_TIMEOUT(!textOf(*window, program.centreOf("Text1")).isEmpty(), WindowTimeout);
    // Stopped, the boxes keep what they show and no longer change under the mouse's selection.
    click(*window, program.centreOf("Command1"));
    QTRY_COMPARE_WITH_TIMEOUT(textOf(*window, program.centreOf("Text1")), shown, WindowTimeout);
    if (didactic) {
        // Nothing but the stream's two bytes, the code shown as its echo character (127 as ␡);
        // the reads stand newest first, so the pairs break where two reads meet.
        const QString echo = textOf(*window, program.centreOf("Text9"));
        const QRegularExpression frames(
            QStringLiteral("^[\u00ff%1]+$").arg(Quorin::echoText(QByteArray(1, char(code)))));
        QVERIFY2(echo.size() >= 64 && frames.match(echo).hasMatch(), qPrintable(echo));
    }
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
