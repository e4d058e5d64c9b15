// The real programs, started as processes under Xvfb, each in a sandbox where a pseudo-terminal
// is serial port 3, and driven through their windows as a user would.

#include "formlayout.h"
#include "protocol.h"
#include "signalgenerator.h"
#include "stream.h"
#include "testpty.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <tuple>

#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Bounds a hang, nothing more: a loaded machine may take long to start a program.
constexpr int Patience = 60000;
// How long one look at a box waits for its selection; a check that retries looks again.
constexpr int SelectionPatience = 5000;
constexpr int Dpi = 96; // the test's Xvfb runs at 96 dpi
const auto Title = u"Lettura sensore"_s;

// What a program run to its end printed.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(Patience);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString xdotool(const QStringList &arguments)
{
    return run(u"xdotool"_s, arguments);
}

// The shown windows titled "Lettura sensore", by id, and their sizes.
QList<std::pair<QString, QSize>> shownWindows()
{
    QList<std::pair<QString, QSize>> windows;
    const QString ids
        = xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^%1$"_s.arg(Title)});
    for (const QString &id : ids.split(u'\n', Qt::SkipEmptyParts)) {
        static const QRegularExpression geometry(u"Geometry: (\\d+)x(\\d+)"_s);
        const auto size = geometry.match(xdotool({u"getwindowgeometry"_s, id}));
        if (size.hasMatch()) // a window that has just gone has none
            windows.append({id, QSize(size.captured(1).toInt(), size.captured(2).toInt())});
    }
    return windows;
}

// One of the two programs, started in its sandbox, and its windows as the X server shows them.
class Reader
{
public:
    enum Kind { Standard, Didactic };

    // With a modem log, the pty gets modem lines from ptymodem.c, which records there the lines
    // that the reader sets.
    Reader(Kind kind, const QString &port, const QString &lockDir, const QString &locale = u"C"_s,
           const QString &modemLog = {})
        : m_layout(kind == Didactic ? Quorin::didacticLayout() : Quorin::standardLayout())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.insert(u"LC_ALL"_s, locale);
        if (!modemLog.isEmpty()) {
            environment.insert(u"LD_PRELOAD"_s, QStringLiteral(QUORIN_PTYMODEM));
            environment.insert(u"QUORIN_MODEM_LOG"_s, modemLog);
        }
        m_process.setProcessEnvironment(environment);
        // A process group of its own, the sandbox's shells included, to end it whole.
        m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
        const QString program = QString::fromUtf8(kind == Didactic ? QUORIND_PATH : QUORIN_PATH);
        m_process.start(QStringLiteral(QUORIN_SANDBOX), {u"--lock-dir"_s, lockDir, port, program});
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
                const auto windows = shownWindows();
                return std::none_of(windows.cbegin(), windows.cend(), [&](const auto &window) {
                    return m_seen.contains(window.first);
                });
            },
            Patience);
    }
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // Waits until the main window, or with main false a window of any other size (a dialog),
    // is shown.
    [[nodiscard]] bool waitForWindow(bool main = true)
    {
        return QTest::qWaitFor([&] { return find(main); }, Patience);
    }
    [[nodiscard]] bool hasWindow() { return find(true); }

    void click(const char *control)
    {
        const QPoint at = m_layout.find(QLatin1String(control))->pixelRect(Dpi).center();
        xdotool({u"mousemove"_s, u"--window"_s, m_shown, QString::number(at.x()),
                 QString::number(at.y()), u"click"_s, u"1"_s});
        m_focus = QLatin1String(control);
    }
    // What a box shows, as a user finds out: select all of it (Ctrl+A) and read the selection.
    // The box is clicked only when it does not have the keyboard yet: a second click on it soon
    // after the first would be a double click, which selects a word. Empty until the program
    // has taken the keys and made the selection its own.
    [[nodiscard]] QString textOf(const char *box)
    {
        if (m_focus != QLatin1String(box))
            click(box);
        run(u"xsel"_s, {u"--primary"_s, u"--clear"_s});
        xdotool({u"key"_s, u"ctrl+a"_s});
        QString selected;
        std::ignore = QTest::qWaitFor(
            [&] {
                return !(selected = run(u"xsel"_s, {u"--primary"_s, u"--output"_s})).isEmpty();
            },
            SelectionPatience);
        return selected;
    }
    // Closes the window last found, as a window manager does.
    void close() const { run(QStringLiteral(QUORIN_WM_CLOSE), {m_shown}); }

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
        return u"running %1, said: %2"_s.arg(isRunning()).arg(report()).toLocal8Bit();
    }

private:
    // Finds a window of the title with the main window's size (or, with main false, of any
    // other size) and keeps its id for the calls that follow.
    bool find(bool main)
    {
        const QSize size(Quorin::twipsToPixels(m_layout.width, Dpi),
                         Quorin::twipsToPixels(m_layout.height, Dpi));
        for (const auto &[id, shown] : shownWindows()) {
            if ((shown == size) == main) {
                m_shown = id;
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
    // Lock files that every reader of one test function sees, as on one machine.
    m_lockDir = m_scratch.filePath(QString::fromLatin1(QTest::currentTestFunction())
                                   + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(m_lockDir));
}

void TestPrograms::readsTheStreamUntilTheWindowCloses_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");
    // (254 - 1) * 100 / 253 = 100, (127 - 1) * 100 / 253 = 49.80...
    QTest::newRow("Quorin, Italian")
        << int(Reader::Standard) << u"it_IT.UTF-8"_s << 254 << u"100,0"_s;
    // (128 - 1) * 100 / 253 = 50.19...; the echo box shows 128 as the euro sign.
    QTest::newRow("Quorind, C locale") << int(Reader::Didactic) << u"C"_s << 128 << u"50.2"_s;
}

void TestPrograms::readsTheStreamUntilTheWindowCloses()
{
    QFETCH(int, kind);
    QFETCH(QString, locale);
    QFETCH(int, code);
    QFETCH(QString, shown);
    Pty pty;
    QFile modemLog(m_scratch.filePath(u"modem-"_s + QString::number(kind)));
    Reader reader(Reader::Kind(kind), pty.path, m_lockDir, locale, modemLog.fileName());
    QVERIFY(reader.waitForWindow());
    QCOMPARE(locks().size(), 1); // the open port's
    // The line as the reader set it up, without flow control; a fresh pty runs at 38400 baud.
    termios line = {};
    QCOMPARE(tcgetattr(pty.slave(), &line), 0);
    QCOMPARE(std::tuple(cfgetispeed(&line), cfgetospeed(&line),
                        line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)),
             std::tuple(speed_t(B9600), speed_t(B9600), tcflag_t(CS8)));
    // The window shows once the port is open, which raised DTR and RTS: the reader lowered both.
    QVERIFY(modemLog.open(QIODevice::ReadOnly));
    QCOMPARE(modemLog.readAll().trimmed().split('\n').constLast(), "DTR 0 RTS 0");

    // Under a stream of noise as fast as the line takes it, the window answers with a value.
    reader.click("Command2");
    Quorin::SignalSettings noise;
    noise.shape = Quorin::SignalShape::Noise;
    {
        const Stream flood(pty.master(), Quorin::SignalGenerator(noise).next(1 << 16));
        QTRY_VERIFY_WITH_TIMEOUT(flood.written() > (1 << 20), Patience);
        QTRY_VERIFY2_WITH_TIMEOUT(!reader.textOf("Text1").isEmpty(), reader.diagnosis().constData(),
                                  Patience);
    }

    // Stopped, the port is released and what the line still held is dropped; a new run then
    // reads nothing but frames of one code, which its newest read shows.
    reader.click("Command1");
    QTRY_VERIFY_WITH_TIMEOUT(locks().isEmpty(), Patience);
    QCOMPARE(tcflush(pty.slave(), TCIFLUSH), 0);
    reader.click("Command2");
    {
        const Stream sensor(pty.master(),
                            (QByteArray(1, char(Quorin::SyncByte)) + char(code)).repeated(50));
        QTRY_VERIFY2_WITH_TIMEOUT(reader.textOf("Text1") == shown, reader.diagnosis().constData(),
                                  Patience);
    }
    if (kind == Reader::Didactic) {
        // The newest read in front, byte for byte: the sync and the code, as their characters.
        const QString echo = reader.textOf("Text9");
        const QRegularExpression newest(u"^€?(ÿ€){49}"_s);
        QVERIFY2(newest.match(echo).hasMatch(), qPrintable(echo));
    }

    // Closing the window while a run waits ends the program and frees the port.
    reader.close();
    QVERIFY2(reader.exitCode() == 0, reader.diagnosis().constData());
    QVERIFY(!reader.hasWindow());
    QCOMPARE(locks(), QStringList());
}

enum Failure { NoPort, Busy, Pulled };

void TestPrograms::failureIsReportedOnceAndLeavesNothingBehind_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("report"); // a pattern
    // The two programs open the port alike; each fails in its own receive loop.
    const QString cannotOpen = u"^Impossibile aprire la porta seriale 3 \\(/dev/ttyS2\\): "_s;
    const QString pulled = u"^La porta seriale 3 \\(/dev/ttyS2\\) ha smesso di funzionare: "
                           ".+\\. Il dispositivo potrebbe essere stato scollegato: ricollegarlo "
                           "e avviare di nuovo il programma\\.$"_s;
    QTest::newRow("Quorin, no serial port at all") << int(Reader::Standard) << int(NoPort)
                                                   << cannotOpen
            + u"la porta non esiste\\. Al PC non è collegata alcuna porta seriale: collegare il "
              "sensore e avviare di nuovo il programma\\.$"_s;
    QTest::newRow("Quorind, port held by another") << int(Reader::Didactic) << int(Busy)
                                                   << cannotOpen
            + u"la porta è già in uso da un altro programma: chiudere l'altro programma e "
              "riprovare\\.$"_s;
    QTest::newRow("Quorin, device pulled while receiving")
        << int(Reader::Standard) << int(Pulled) << pulled;
    QTest::newRow("Quorind, device pulled while receiving")
        << int(Reader::Didactic) << int(Pulled) << pulled;
}

void TestPrograms::failureIsReportedOnceAndLeavesNothingBehind()
{
    QFETCH(int, kind);
    QFETCH(int, failure);
    QFETCH(QString, report);
    auto pty = std::make_unique<Pty>();
    std::unique_ptr<Reader> first; // the reader already holding the port
    if (failure == Busy) {
        first = std::make_unique<Reader>(Reader::Kind(kind), pty->path, m_lockDir);
        QVERIFY(first->waitForWindow());
    }
    Reader reader(Reader::Kind(kind), failure == NoPort ? u"--no-port"_s : pty->path, m_lockDir);
    if (failure == Pulled) {
        QVERIFY(reader.waitForWindow());
        reader.click("Command2");
        pty.reset(); // as when a USB adapter is pulled while a run waits
    }

    QVERIFY(reader.waitForWindow(false)); // the report
    if (failure == NoPort)
        QVERIFY(!reader.hasWindow()); // a reader that cannot start shows only its report
    // The port is closed before the report waits for the user: only the first reader's lock.
    QCOMPARE(locks().size(), first ? 1 : 0);
    reader.close();
    QVERIFY2(reader.exitCode() == 1, reader.diagnosis().constData());
    // Reported once, on a line of its own.
    const QString said = reader.report();
    const QRegularExpression reported(report, QRegularExpression::MultilineOption);
    QVERIFY2(said.count(reported) == 1, qPrintable(said));
    if (first) {
        QVERIFY(first->isRunning());
        first->close();
        QCOMPARE(first->exitCode(), 0);
        QCOMPARE(locks(), QStringList());
    }
}

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
