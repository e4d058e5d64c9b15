// quorin-bench: what the two readers cost on a serial line. Every scenario runs the real window,
// receive loop and SerialCommPort, started by a click on "Ricevi i dati", against a
// pseudo-terminal the bench writes the sensor's stream into, in a child process of its own;
// the parent runs them in turn and prints one table. It measures, for Quorin, the CPU of the
// GUI thread on a silent port and at line pace, with the program's sleeping wait and with a
// spinning one for comparison; the latency from the write of the byte that completes a read
// to the new value in Text1; resident memory before and after a fast stream of 100 MB. For
// Quorind, the CPU at line pace with the echo box filling from empty and with it full.
// Figures only, nothing asserted. Usage: quorin-bench [--quick] [--scenario NAME]

#include "echobox.h"
#include "echoreceiveloop.h"
#include "echotext.h"
#include "form1.h"
#include "measure.h"
#include "program.h"
#include "protocol.h"
#include "pty.h"
#include "samplereceiveloop.h"
#include "sensorport.h"
#include "serialcommport.h"
#include "signalgenerator.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace {

using QuorinBench::printRow;
using QuorinBench::statusKb;
using QuorinBench::threadCpuSeconds;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto PaceTick = 10ms;
constexpr auto LatencySettle = 5ms; // lets the loop take the first bytes and wait again
constexpr auto LatencyGap = 2ms;
constexpr auto LatencyTimeout = 1s;
constexpr int LatencyWarmUpSamples = 5;
constexpr qsizetype FloodChunk = 4096;
constexpr int FullLinePollMs = 100;
constexpr auto ChildTimeout = 120s;
constexpr double KiB = 1024.0;
constexpr double MiB = 1024.0 * 1024.0;

enum class Stream { Silent, LinePace, Latency, Flood };

struct Scenario
{
    const char *name;
    bool didactic; // Quorind, else Quorin
    bool spinning; // processEvents without waiting, else the program's own wait
    Stream stream;
    bool fullEchoBox;

    [[nodiscard]] QString program() const
    {
        return didactic ? QStringLiteral("Quorind") : QStringLiteral("Quorin");
    }
    [[nodiscard]] QString wait() const
    {
        return spinning ? QStringLiteral("spinning wait") : QStringLiteral("real wait");
    }
};

const Scenario Scenarios[] = {
    {"idle-wait", false, false, Stream::Silent, false},
    {"idle-spin", false, true, Stream::Silent, false},
    {"pace-wait", false, false, Stream::LinePace, false},
    {"pace-spin", false, true, Stream::LinePace, false},
    {"latency-wait", false, false, Stream::Latency, false},
    {"latency-spin", false, true, Stream::Latency, false},
    {"flood-memory", false, false, Stream::Flood, false},
    {"echo-empty", true, false, Stream::LinePace, false},
    {"echo-full", true, false, Stream::LinePace, true},
};

// How long the scenarios run.
struct Durations
{
    std::chrono::milliseconds warmUp;
    std::chrono::milliseconds window;
    std::chrono::milliseconds echoWarmUp; // past the echo loop's priming reads
    std::chrono::milliseconds echoWindow; // over before a box filling from empty is full
    int latencySamples;
    qint64 floodBytes;
    std::chrono::milliseconds busyLoop;
};
constexpr Durations Normal{500ms, 5000ms, 700ms, 1200ms, 500, qint64(100 * MiB), 2000ms};
constexpr Durations Quick{300ms, 1500ms, 700ms, 1200ms, 100, qint64(20 * MiB), 1000ms};

[[nodiscard]] double elapsedSeconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// What the machine gives a thread that never sleeps: the ceiling of the spinning figures.
[[nodiscard]] double busyLoopShare(std::chrono::milliseconds window)
{
    const auto start = Clock::now();
    const double cpu = threadCpuSeconds();
    while (Clock::now() - start < window) { }
    return (threadCpuSeconds() - cpu) / elapsedSeconds(start);
}

// The sensor's line: a pseudo-terminal pair whose slave, raw 9600 8N1, the program opens as
// its serial port while the bench writes the stream into the master.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        if (!m_pair.isOpen() || quorinLineMakeRaw(m_pair.slave()) != 0
            || fcntl(m_pair.master(), F_SETFL, O_NONBLOCK) != 0)
            fail("open");
    }

    [[nodiscard]] QString slavePath() const { return QString::fromLocal8Bit(m_pair.slaveName()); }

    // Writes every byte, waiting while the line is full; false when `stop` cut it short.
    bool write(QByteArrayView bytes, const std::atomic<bool> &stop) const
    {
        for (qsizetype done = 0; done < bytes.size();) {
            if (stop)
                return false;
            const ssize_t n
                = ::write(m_pair.master(), bytes.data() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (errno == EAGAIN) {
                pollfd out{m_pair.master(), POLLOUT, 0};
                poll(&out, 1, FullLinePollMs);
            } else if (errno != EINTR) {
                fail("write");
            }
        }
        return true;
    }

private:
    [[noreturn]] static void fail(const char *what)
    {
        std::fprintf(stderr, "quorin-bench: pseudo-terminal, %s: %s\n", what, std::strerror(errno));
        std::exit(EXIT_FAILURE);
    }

    Quorin::PtyPair m_pair;
};

// What the GUI thread tells the writer thread: how often, and when last, Text1 changed.
class ValueWatch
{
public:
    void changed()
    {
        const auto now = Clock::now();
        const std::lock_guard lock(m_mutex);
        ++m_changes;
        m_last = now;
        m_changedCondition.notify_all();
    }
    [[nodiscard]] int changes()
    {
        const std::lock_guard lock(m_mutex);
        return m_changes;
    }
    // The time of the first change after `seen` changes, unless none comes in time.
    [[nodiscard]] std::optional<Clock::time_point> waitPast(int seen)
    {
        std::unique_lock lock(m_mutex);
        if (!m_changedCondition.wait_for(lock, LatencyTimeout, [&] { return m_changes > seen; }))
            return std::nullopt;
        return m_last;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changedCondition;
    int m_changes = 0;
    Clock::time_point m_last;
};

// One scenario's run: the window, its loop and the line, with a writer thread playing the
// sensor. Lives in a child process, as each scenario wants a fresh QApplication.
class Run
{
public:
    Run(const Scenario &scenario, const Durations &durations)
        : m_scenario(scenario)
        , m_durations(durations)
        , m_form(scenario.didactic ? Quorin::didacticLayout() : Quorin::standardLayout(),
                 new Quorin::SerialCommPort(nullptr, [path = m_line.slavePath()](int number) {
                     return number == Quorin::SensorPort ? path : Quorin::deviceForPort(number);
                 }))
    {
        if (scenario.didactic)
            m_loop = std::make_unique<Quorin::EchoReceiveLoop>(m_form);
        else
            m_loop = std::make_unique<Quorin::SampleReceiveLoop>(m_form);
        if (scenario.spinning)
            m_loop->setYield([] { QCoreApplication::processEvents(); });
        if (scenario.fullEchoBox) {
            Quorin::SignalGenerator sensor({});
            m_form.echoBox()->prepend(Quorin::echoText(sensor.next(Quorin::EchoBox::Capacity)));
        }
        QObject::connect(box("Text1"), &QLineEdit::textChanged, [this] { m_watch.changed(); });
    }

    int exec()
    {
        QTimer::singleShot(0, &m_form, [this] {
            m_started = Clock::now();
            if (m_scenario.stream == Stream::Silent || m_scenario.stream == Stream::LinePace)
                scheduleCpuWindow();
            m_writer = std::thread([this] { writeStream(); });
            // Never returns while the loop runs: everything else happens inside its waits.
            button("Command2")->click();
        });
        const int status = Quorin::runReader(m_form);
        m_stop = true;
        if (m_writer.joinable())
            m_writer.join();
        return status;
    }

private:
    [[nodiscard]] QLineEdit *box(const char *name) const
    {
        return m_form.findChild<QLineEdit *>(QLatin1String(name));
    }

    [[nodiscard]] QPushButton *button(const char *name) const
    {
        return m_form.findChild<QPushButton *>(QLatin1String(name));
    }

    // Ends the scenario with "Esci", from whichever thread.
    void clickExit() const
    {
        QMetaObject::invokeMethod(button("Command3"), &QPushButton::click, Qt::QueuedConnection);
    }

    [[nodiscard]] qsizetype echoLength() const
    {
        return m_scenario.didactic ? m_form.echoBox()->text().size() : 0;
    }

    void scheduleCpuWindow()
    {
        const bool echo = m_scenario.didactic;
        // A box filling from empty is full within seconds: its window is short.
        const bool filling = echo && !m_scenario.fullEchoBox;
        const auto warmUp = filling ? m_durations.echoWarmUp : m_durations.warmUp;
        const auto window = filling ? m_durations.echoWindow : m_durations.window;
        QTimer::singleShot(warmUp, &m_form, [this, echo, window] {
            const auto wall = Clock::now();
            const double cpu = threadCpuSeconds();
            const int changes = m_watch.changes();
            const qsizetype boxBefore = echoLength();
            QTimer::singleShot(window, &m_form, [=] {
                const double seconds = elapsedSeconds(wall);
                const double share = (threadCpuSeconds() - cpu) / seconds;
                QString label = m_scenario.stream == Stream::Silent
                    ? QStringLiteral("CPU, silent port")
                    : QStringLiteral("CPU, %1 B/s").arg(Quorin::LineBytesPerSecond);
                if (echo)
                    label += QStringLiteral(", echo box %1→%2 chars")
                                 .arg(boxBefore)
                                 .arg(echoLength());
                printRow(label + QStringLiteral(", ") + m_scenario.wait(),
                         QStringLiteral("%1 % of a core (%2 s, %3 new values/s)")
                             .arg(share * 100, 0, 'f', 1)
                             .arg(seconds, 0, 'f', 1)
                             .arg((m_watch.changes() - changes) / seconds, 0, 'f', 0));
                button("Command3")->click();
            });
        });
    }

    void writeStream()
    {
        switch (m_scenario.stream) {
        case Stream::Silent:
            return;
        case Stream::LinePace:
            return writeAtLinePace();
        case Stream::Latency:
            return measureLatency();
        case Stream::Flood:
            return measureFlood();
        }
    }

    // Sync and code pairs at the line's byte rate, in small pieces every tick.
    void writeAtLinePace()
    {
        Quorin::SignalGenerator sensor({});
        qint64 written = 0;
        for (auto tick = m_started; !m_stop; tick += PaceTick) {
            const auto due = qint64(elapsedSeconds(m_started) * Quorin::LineBytesPerSecond);
            if (!m_line.write(sensor.next(due - written), m_stop))
                return;
            written = due;
            std::this_thread::sleep_until(tick + PaceTick);
        }
    }

    // Each sample: one read's worth of sync and code pairs, held back by its last byte until
    // the loop waits again; then that byte, timed to the change of Text1. The code alternates
    // so that every read changes the value.
    void measureLatency()
    {
        std::this_thread::sleep_for(m_durations.warmUp);
        std::vector<double> micros;
        int missed = 0;
        for (int i = 0; i < LatencyWarmUpSamples + m_durations.latencySamples; ++i) {
            const auto code = char(i % 2 ? Quorin::SyncByte - 1 : Quorin::LowestCode);
            QByteArray read;
            while (read.size() < Quorin::SampleReceiveLoop::Threshold)
                read.append(char(Quorin::SyncByte)).append(code);
            if (!m_line.write(read.first(read.size() - 1), m_stop))
                return;
            std::this_thread::sleep_for(LatencySettle);
            const int seen = m_watch.changes();
            const auto sent = Clock::now();
            if (!m_line.write(read.last(1), m_stop))
                return;
            const auto shown = m_watch.waitPast(seen);
            if (!shown)
                ++missed;
            else if (i >= LatencyWarmUpSamples)
                micros.push_back(std::chrono::duration<double, std::micro>(*shown - sent).count());
            std::this_thread::sleep_for(LatencyGap);
        }
        std::sort(micros.begin(), micros.end());
        const auto percentile = [&](double p) {
            return micros.empty() ? 0.0 : micros[std::size_t(p * double(micros.size() - 1))];
        };
        printRow(QStringLiteral("Latency, completing byte → Text1, ") + m_scenario.wait(),
                 QStringLiteral("median %1 µs, p99 %2 µs, max %3 µs (%4 samples, %5 missed)")
                     .arg(percentile(0.5), 0, 'f', 0)
                     .arg(percentile(0.99), 0, 'f', 0)
                     .arg(percentile(1.0), 0, 'f', 0)
                     .arg(micros.size())
                     .arg(missed));
        clickExit();
    }

    // The stream as fast as the pseudo-terminal takes it, resident memory before and after.
    void measureFlood()
    {
        std::this_thread::sleep_for(m_durations.warmUp);
        const qint64 before = statusKb("VmRSS");
        Quorin::SignalGenerator sensor({});
        const int changes = m_watch.changes();
        const auto start = Clock::now();
        qint64 written = 0;
        while (written < m_durations.floodBytes) {
            if (!m_line.write(sensor.next(FloodChunk), m_stop))
                return;
            written += FloodChunk;
        }
        const double seconds = elapsedSeconds(start);
        const QString wait = m_scenario.wait();
        printRow(QStringLiteral("Resident memory before streaming, ") + wait,
                 QStringLiteral("%1 MiB").arg(double(before) / KiB, 0, 'f', 1));
        printRow(QStringLiteral("Resident memory after %1 MiB, ").arg(double(written) / MiB) + wait,
                 QStringLiteral("%1 MiB (peak %2 MiB)")
                     .arg(double(statusKb("VmRSS")) / KiB, 0, 'f', 1)
                     .arg(double(statusKb("VmHWM")) / KiB, 0, 'f', 1));
        printRow(QStringLiteral("Fast stream taken, ") + wait,
                 QStringLiteral("%1 MiB/s (%2 s, %3 values shown)")
                     .arg(double(written) / MiB / seconds, 0, 'f', 1)
                     .arg(seconds, 0, 'f', 1)
                     .arg(m_watch.changes() - changes));
        clickExit();
    }

    const Scenario &m_scenario;
    const Durations &m_durations;
    PseudoTerminal m_line;
    Quorin::Form1 m_form;
    std::unique_ptr<Quorin::ReceiveLoop> m_loop;
    ValueWatch m_watch;
    Clock::time_point m_started;
    std::atomic<bool> m_stop = false;
    std::thread m_writer;
};

int runScenario(const Scenario &scenario, const Durations &durations, int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Quorin::prepareApplication(app, scenario.program());
    Run run(scenario, durations);
    return run.exec();
}

// Runs every scenario in a fresh child process and prints what each reports as a table.
int runAll(bool quick, const Durations &durations, int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const auto line = [](const QString &program, const QString &label, const QString &figure) {
        std::printf("%s %s %s\n", qUtf8Printable(program.leftJustified(8)),
                    qUtf8Printable(label.leftJustified(58)), qUtf8Printable(figure));
        std::fflush(stdout);
    };
    line(QStringLiteral("Program"), QStringLiteral("Scenario"), QStringLiteral("Figure"));
    line(QStringLiteral("(none)"), QStringLiteral("CPU, a bare busy loop on this machine"),
         QStringLiteral("%1 % of a core").arg(busyLoopShare(durations.busyLoop) * 100, 0, 'f', 1));
    for (const Scenario &scenario : Scenarios) {
        const QString program = scenario.program();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{QStringLiteral("--scenario"), QLatin1String(scenario.name)};
        if (quick)
            arguments << QStringLiteral("--quick");
        child.start(QCoreApplication::applicationFilePath(), arguments);
        if (!child.waitForFinished(int(std::chrono::milliseconds(ChildTimeout).count()))) {
            child.kill();
            child.waitForFinished();
        }
        const QStringList rows = QString::fromUtf8(child.readAllStandardOutput())
                                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &row : rows)
            line(program, row.section(QLatin1Char('\t'), 0, 0), row.section(QLatin1Char('\t'), 1));
        if (rows.isEmpty() || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            line(program, QLatin1String(scenario.name),
                 QStringLiteral("failed (exit status %1)").arg(child.exitCode()));
    }
    return 0;
}

[[nodiscard]] const Scenario *findScenario(std::string_view name)
{
    const auto found = std::find_if(std::begin(Scenarios), std::end(Scenarios),
                                    [&](const Scenario &s) { return name == s.name; });
    return found == std::end(Scenarios) ? nullptr : found;
}

} // namespace

int main(int argc, char *argv[])
{
    bool quick = false;
    const Scenario *only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc
                   && (only = findScenario(argv[i + 1]))) {
            ++i;
        } else {
            std::fprintf(stderr, "usage: quorin-bench [--quick] [--scenario NAME]\nscenarios:");
            for (const Scenario &s : Scenarios)
                std::fprintf(stderr, " %s", s.name);
            std::fprintf(stderr, "\n");
            return 2;
        }
    }
    const Durations &durations = quick ? Quick : Normal;
    return only ? runScenario(*only, durations, argc, argv) : runAll(quick, durations, argc, argv);
}
