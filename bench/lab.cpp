// quorinlab-bench: what Quorinlab costs, beside what Quorin costs in the same run. Each scenario
// runs in a child process of its own and prints its figures; the parent prints one table.
//  - Quorin at the line's pace: quorin-bench's own scenario, the GUI thread's CPU;
//  - Quorinlab at the line's pace, recording a point every 0,1 s and every 1 s with its graph and
//    table shown: the GUI thread's CPU, measured the same way, the simulated sensor writing at
//    960 bytes a second into a pseudo-terminal;
//  - a day at 0,1 s, 864,000 points, recorded in the window: the resident memory, and the time
//    to draw the graph, to save the CSV and to render the saved graph; then the day's journal
//    taken back into a new window, as after a crash: the time and the memory.
// Figures only, nothing asserted. Usage: quorinlab-bench [--quick] [--scenario NAME]

#include "journal.h"
#include "labwindow.h"
#include "measure.h"
#include "pointtext.h"
#include "program.h"
#include "protocol.h"
#include "savefile.h"
#include "serialcommport.h"
#include "sessiongraph.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using QuorinBench::printRow;
using QuorinBench::statusKb;
using QuorinBench::threadCpuSeconds;

namespace {

constexpr double KiB = 1024.0;
constexpr qint64 DayAtATenth = 864'000;
constexpr int ChildTimeoutMs = 600'000;

struct Durations
{
    int warmUpMs;
    int windowMs;
};
constexpr Durations Normal{2000, 20000};
constexpr Durations Quick{1000, 5000};

// Quorinlab's window on the simulated sensor, at the line's pace, on a pseudo-terminal.
class LabOnSensor
{
public:
    explicit LabOnSensor(const QString &folder)
    {
        m_sensor.start(QStringLiteral(QUORIN_SENSOR), {u"--pty"_s, u"--signal"_s, u"sine"_s});
        if (m_sensor.waitForStarted() && m_sensor.waitForReadyRead())
            m_path = QString::fromLocal8Bit(m_sensor.readLine()).trimmed();
        m_window.emplace(new Quorin::SerialCommPort(nullptr, [this](int) { return m_path; }),
                         folder);
        m_window->show();
        m_window->start();
    }
    ~LabOnSensor()
    {
        m_window->findChild<QPushButton *>(u"stopRecording"_s)->click();
        m_window->session().markSaved();
        m_window->close();
        m_sensor.terminate();
        m_sensor.waitForFinished();
    }
    LabOnSensor(const LabOnSensor &) = delete;
    LabOnSensor &operator=(const LabOnSensor &) = delete;

    Quorin::LabWindow &window() { return *m_window; }

private:
    QProcess m_sensor;
    QString m_path;
    std::optional<Quorin::LabWindow> m_window;
};

// The GUI thread's CPU while Quorinlab records a point every `intervalMs`.
void measureRecording(qint64 intervalMs, const Durations &durations, const QString &folder)
{
    LabOnSensor lab(folder);
    auto *interval = lab.window().findChild<QComboBox *>(u"interval"_s);
    interval->setCurrentIndex(interval->findData(intervalMs));
    lab.window().findChild<QPushButton *>(u"startRecording"_s)->click();
    QTest::qWait(durations.warmUpMs);
    const auto points = qsizetype(lab.window().session().points().size());
    QElapsedTimer wall;
    wall.start();
    const double cpu = threadCpuSeconds();
    QTest::qWait(durations.windowMs);
    const double seconds = double(wall.elapsed()) / 1000;
    printRow(u"CPU, %1 B/s, recording a point every %2, graph and table shown"_s
                 .arg(Quorin::LineBytesPerSecond)
                 .arg(interval->currentText()),
             u"%1 % of a core (%2 s, %3 points)"_s
                 .arg((threadCpuSeconds() - cpu) / seconds * 100, 0, 'f', 1)
                 .arg(seconds, 0, 'f', 1)
                 .arg(qsizetype(lab.window().session().points().size()) - points));
}

// Quorinlab's window at its size, shown, on a port it never opens.
std::unique_ptr<Quorin::LabWindow> shownWindow(const QString &folder)
{
    auto window = std::make_unique<Quorin::LabWindow>(
        new Quorin::SerialCommPort(nullptr, [](int) { return u"/dev/null/none"_s; }), folder);
    window->resize(1100, 720);
    window->show();
    QTest::qWait(200);
    return window;
}

// A day at a tenth of a second recorded in the window, as the recorder records it: each point
// the mean of 48 samples, written to the journal as it closes. What the window then holds, and
// what drawing and saving it costs. The journal stays in `folder` for measureResume().
void measureDay(const QString &folder)
{
    const auto shown = shownWindow(folder);
    Quorin::LabWindow &window = *shown;
    const qint64 before = statusKb("VmRSS");

    Quorin::Session &session = window.session();
    session.setOrigin(QDateTime::currentDateTime());
    session.beginRun(0, 100);
    QElapsedTimer timer;
    timer.start();
    std::vector<int> samples(48);
    for (qint64 i = 0; i < DayAtATenth; ++i) {
        // A cooling curve, with the sensor's noise.
        const int code = 60 + int(std::lround(90 * std::exp(-double(i) / 200'000)));
        for (std::size_t s = 0; s < samples.size(); ++s)
            samples[s] = code + int((i + qint64(s)) % 3) - 1;
        session.addSamples(i * 100, samples);
        if (i % 10'000 == 0)
            QCoreApplication::processEvents();
    }
    session.endRun(DayAtATenth * 100);
    QCoreApplication::processEvents();
    printRow(u"A day at 0,1 s recorded in the window, journal written"_s,
             u"%1 points in %2 s"_s.arg(session.points().size())
                 .arg(double(timer.elapsed()) / 1000, 0, 'f', 1));

    auto *graph = window.findChild<Quorin::SessionGraph *>(u"graph"_s);
    timer.restart();
    graph->redraw();
    graph->replot(QCustomPlot::rpImmediateRefresh);
    const qint64 drawMs = timer.elapsed();
    printRow(u"A day at 0,1 s: drawing the graph (decimated for %1 pixels)"_s.arg(
                 graph->axisRect()->width()),
             u"%1 ms, %2 points drawn"_s.arg(drawMs).arg(graph->drawn().keys.size()));
    QTest::qWait(500);
    printRow(u"A day at 0,1 s: resident memory of the window"_s,
             u"%1 MiB (%2 MiB before the points, peak %3 MiB)"_s
                 .arg(double(statusKb("VmRSS")) / KiB, 0, 'f', 1)
                 .arg(double(before) / KiB, 0, 'f', 1)
                 .arg(double(statusKb("VmHWM")) / KiB, 0, 'f', 1));

    QTemporaryDir saved;
    timer.restart();
    const auto failure = Quorin::saveWhole(saved.filePath(u"giorno.csv"_s), [&](QIODevice &file) {
        return Quorin::writeCsv(session, Quorin::CsvFormat::Semicolon, file);
    });
    printRow(u"A day at 0,1 s: saving the CSV for Excel and Calc"_s,
             failure
                 ? *failure
                 : u"%1 MiB in %2 ms, peak memory %3 MiB"_s
                       .arg(double(QFileInfo(saved.filePath(u"giorno.csv"_s)).size()) / KiB / KiB,
                            0, 'f', 1)
                       .arg(timer.elapsed())
                       .arg(double(statusKb("VmHWM")) / KiB, 0, 'f', 1));
    timer.restart();
    const QImage picture
        = graph->picture(QSize(Quorin::LabWindow::PictureWidth, Quorin::LabWindow::PictureHeight),
                         Quorin::LabWindow::PictureDpi / 96.0);
    printRow(u"A day at 0,1 s: the saved graph, %1 x %2 pixels"_s.arg(picture.width())
                 .arg(picture.height()),
             u"%1 ms"_s.arg(timer.elapsed()));
    // Left for the next scenario, as a killed program leaves it.
    std::exit(0);
}

// The day's journal that measureDay() left, taken back into a window as the next start does.
void measureResume(const QString &folder)
{
    const auto shown = shownWindow(folder);
    Quorin::LabWindow &window = *shown;
    const qint64 before = statusKb("VmRSS");
    const auto found = Quorin::Journal::interrupted(folder);
    if (found.isEmpty())
        return printRow(u"A day's journal taken back"_s, u"no journal in %1"_s.arg(folder));
    QElapsedTimer timer;
    timer.start();
    Quorin::Journal journal(window.session(), folder);
    journal.resume(found.front().path);
    QCoreApplication::processEvents();
    printRow(u"A day's journal (%1 MiB) taken back into the window"_s.arg(
                 double(QFileInfo(found.front().path).size()) / KiB / KiB, 0, 'f', 1),
             u"%1 points in %2 ms; resident memory %3 MiB (%4 MiB before, peak %5 MiB)"_s
                 .arg(window.session().points().size())
                 .arg(timer.elapsed())
                 .arg(double(statusKb("VmRSS")) / KiB, 0, 'f', 1)
                 .arg(double(before) / KiB, 0, 'f', 1)
                 .arg(double(statusKb("VmHWM")) / KiB, 0, 'f', 1));
    journal.discard();
    window.session().markSaved();
}

// `folder` holds the journals; the day's scenarios share one.
int runScenario(const QString &scenario, const QString &folder, const Durations &durations,
                int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Quorin::prepareApplication(app, u"Quorinlab"_s);
    QTemporaryDir own;
    const QString journals = folder.isEmpty() ? own.path() : folder;
    if (scenario == u"lab-pace-100")
        measureRecording(100, durations, journals);
    else if (scenario == u"lab-pace-1000")
        measureRecording(1000, durations, journals);
    else if (scenario == u"lab-day")
        measureDay(journals);
    else if (scenario == u"lab-resume")
        measureResume(journals);
    else
        return 2;
    return 0;
}

// Runs a program and puts each row it prints in the table.
void runChild(const QString &program, const QString &name, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
    if (!child.waitForFinished(ChildTimeoutMs)) {
        child.kill();
        child.waitForFinished();
    }
    const QStringList rows
        = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &row : rows)
        std::printf("%s %s %s\n", qUtf8Printable(name.leftJustified(10)),
                    qUtf8Printable(row.section(u'\t', 0, 0).leftJustified(66)),
                    qUtf8Printable(row.section(u'\t', 1)));
    if (rows.isEmpty() || child.exitCode() != 0)
        std::printf("%s %s failed (exit status %d)\n", qUtf8Printable(name.leftJustified(10)),
                    qUtf8Printable(arguments.join(u' ')), child.exitCode());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    bool quick = false;
    QString only;
    QString folder;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc) {
            only = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--journals") == 0 && i + 1 < argc) {
            folder = QString::fromLocal8Bit(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: quorinlab-bench [--quick] [--scenario "
                         "lab-pace-100|lab-pace-1000|lab-day|lab-resume "
                         "[--journals FOLDER]]\n");
            return 2;
        }
    }
    const Durations &durations = quick ? Quick : Normal;
    if (!only.isEmpty())
        return runScenario(only, folder, durations, argc, argv);

    QCoreApplication app(argc, argv);
    const QStringList speed = quick ? QStringList{u"--quick"_s} : QStringList();
    std::printf("%s %s %s\n", "Program   ", qPrintable(u"Scenario"_s.leftJustified(66)), "Figure");
    runChild(QStringLiteral(QUORIN_BENCH), u"Quorin"_s,
             QStringList{u"--scenario"_s, u"pace-wait"_s} + speed);
    // The day's scenarios share a folder of journals: the second takes back the first's.
    const QTemporaryDir day;
    for (const auto *scenario : {"lab-pace-100", "lab-pace-1000", "lab-day", "lab-resume"})
        runChild(QCoreApplication::applicationFilePath(), u"Quorinlab"_s,
                 QStringList{u"--scenario"_s, QLatin1String(scenario), u"--journals"_s, day.path()}
                     + speed);
    return 0;
}
