#include "devicetool.h"
#include "protocol.h"
#include "pty.h"
#include "signalgenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

using namespace Quorin::DeviceTool;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto PaceTick = 10ms;
constexpr auto FastPollLimit = 100ms;
constexpr qsizetype FastChunk = 4096;

// Everything the command line decides.
struct Options
{
    Quorin::SignalSettings signal;
    bool pty = false;
    QString device;
    bool fast = false;
    std::optional<qint64> byteLimit;
    std::optional<double> secondsLimit;
};

template<typename Number>
Number numberOption(const QCommandLineParser &parser, const QString &name, Number lowest,
                    Number highest)
{
    bool ok = false;
    const QString text = parser.value(name);
    const double value = text.toDouble(&ok);
    const auto number = static_cast<Number>(value);
    if (!ok || !(value >= lowest && value <= highest) || static_cast<double>(number) != value)
        fail(QStringLiteral("--%1 wants a number from %2 to %3, not '%4'")
                 .arg(name)
                 .arg(lowest)
                 .arg(highest)
                 .arg(text));
    return number;
}

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates the measuring device: sync byte 255, then a sample code, over and over."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("pty"), QStringLiteral("Send on a new pseudo-terminal; prints its path.")},
        {QStringLiteral("device"), QStringLiteral("Send on serial device <path>."),
         QStringLiteral("path")},
        {QStringLiteral("signal"), QStringLiteral("constant, ramp (default), sine or noise."),
         QStringLiteral("shape"), QStringLiteral("ramp")},
        {QStringLiteral("code"), QStringLiteral("Code of the constant signal."),
         QStringLiteral("n"), QString::number(Quorin::SignalSettings::DefaultCode)},
        {QStringLiteral("period"), QStringLiteral("Frames per sine cycle."), QStringLiteral("f"),
         QString::number(Quorin::SignalSettings::DefaultPeriod)},
        {QStringLiteral("seed"), QStringLiteral("Seed of the noise."), QStringLiteral("n"),
         QStringLiteral("1")},
        {QStringLiteral("fast"), QStringLiteral("As fast as the line takes, not at line pace.")},
        {QStringLiteral("bytes"), QStringLiteral("Stop after <n> bytes."), QStringLiteral("n")},
        {QStringLiteral("seconds"), QStringLiteral("Stop after <s> seconds."), QStringLiteral("s")},
    });
    if (!parser.parse(app.arguments()))
        fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    Options options;
    options.pty = parser.isSet(QStringLiteral("pty"));
    options.device = parser.value(QStringLiteral("device"));
    if (options.pty == parser.isSet(QStringLiteral("device")))
        fail(QStringLiteral("give exactly one of --pty and --device PATH"));
    if (!options.pty && options.device.isEmpty())
        fail(QStringLiteral("--device wants a path"));

    const auto shape = Quorin::signalShapeFromName(parser.value(QStringLiteral("signal")));
    if (!shape)
        fail(QStringLiteral("--signal must be constant, ramp, sine or noise"));
    options.signal.shape = *shape;
    options.signal.code = numberOption<int>(parser, QStringLiteral("code"), 0, Quorin::SyncByte);
    options.signal.period = numberOption<int>(parser, QStringLiteral("period"), 1, 1 << 30);
    options.signal.seed = numberOption<quint32>(parser, QStringLiteral("seed"), 0, 0xffffffffu);
    options.fast = parser.isSet(QStringLiteral("fast"));
    if (parser.isSet(QStringLiteral("bytes")))
        options.byteLimit = numberOption<qint64>(parser, QStringLiteral("bytes"), 0, 1LL << 52);
    if (parser.isSet(QStringLiteral("seconds")))
        options.secondsLimit = secondsOption(QStringLiteral("seconds"),
                                             parser.value(QStringLiteral("seconds")), 1e9);
    return options;
}

// Returns the master; the pair stays open until the program ends.
int openPseudoTerminal()
{
    static QuorinPty pty;
    if (quorinPtyOpen(&pty) != 0 || quorinLineMakeRaw(pty.slave) != 0)
        fail(systemError(QStringLiteral("cannot create a pseudo-terminal")));
    std::printf("%s\n", pty.slaveName);
    std::fflush(stdout);
    return pty.master;
}

int openDevice(const QString &path)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0 || quorinLineMakeRaw(fd) != 0)
        fail(systemError(path));
    return fd;
}

void sleepUntil(Clock::time_point when)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
    if (left.count() > 0)
        poll(nullptr, 0, static_cast<int>(left.count())); // a signal cuts it short, as wanted
}

// Writes what the other end takes now; the rest is lost, as on a line nobody listens to.
qsizetype writeWhatFits(int fd, const char *data, qsizetype size)
{
    qsizetype done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, static_cast<size_t>(size - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO)
            fail(systemError(QStringLiteral("cannot write")), EXIT_FAILURE);
        else
            break;
    }
    return done;
}

// Runs the stream until a limit or a signal ends it; returns the bytes written.
qint64 stream(int fd, const Options &options, Clock::time_point start)
{
    Quorin::SignalGenerator generator(options.signal);
    auto deadline = Clock::time_point::max();
    if (options.secondsLimit) {
        const std::chrono::duration<double> limit(*options.secondsLimit);
        deadline = start + std::chrono::duration_cast<Clock::duration>(limit);
    }
    const qint64 byteLimit = options.byteLimit.value_or(std::numeric_limits<qint64>::max());
    qint64 offered = 0;
    qint64 written = 0;
    QByteArray pending;
    qsizetype pendingPos = 0;

    while (!stopRequested() && written < byteLimit) {
        const auto now = std::min(Clock::now(), deadline);
        if (!options.fast) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            const qint64 due = static_cast<qint64>(elapsed * Quorin::LineBytesPerSecond);
            const QByteArray bytes = generator.next(std::min(due - offered, byteLimit - written));
            offered = due;
            written += writeWhatFits(fd, bytes.constData(), bytes.size());
            if (now >= deadline)
                break;
            sleepUntil(std::min(start + (now - start) / PaceTick * PaceTick + PaceTick, deadline));
            continue;
        }
        if (now >= deadline)
            break;
        if (pendingPos == pending.size()) {
            pending = generator.next(std::min(FastChunk, byteLimit - written));
            pendingPos = 0;
        }
        pollfd out{fd, POLLOUT, 0};
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
            std::min<Clock::duration>(deadline - now, FastPollLimit));
        if (poll(&out, 1, static_cast<int>(wait.count())) <= 0)
            continue;
        const qsizetype n = (out.revents & POLLOUT)
            ? writeWhatFits(fd, pending.constData() + pendingPos, pending.size() - pendingPos)
            : 0;
        pendingPos += n;
        written += n;
        if (n == 0) // the far end is gone (EIO, hang-up): wait for it rather than spin
            sleepUntil(std::min(Clock::now() + PaceTick, deadline));
    }
    return written;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(app);

    stopOnSignals();

    const int fd = options.pty ? openPseudoTerminal() : openDevice(options.device);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);

    const auto start = Clock::now();
    const qint64 written = stream(fd, options, start);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::fprintf(stderr, "quorin-sensor: wrote %lld bytes in %.3f s\n",
                 static_cast<long long>(written), seconds);

    return 0;
}
