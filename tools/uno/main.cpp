// The simulated Arduino Uno: an ATmega328P at 16 MHz on simavr that runs a sketch, with its
// UART0 on a new pseudo-terminal and a voltage on A0, paced to real time.

#include "devicetool.h"
#include "pty.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <simavr/avr_adc.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_avr.h>
#include <simavr/sim_elf.h>

namespace {

using namespace Quorin::DeviceTool;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint32_t Frequency = 16'000'000;  // the Uno's crystal
constexpr uint32_t SupplyMillivolts = 5000; // from USB
// The simulation runs in slices of 10 ms of the chip's time; between them it trades bytes with
// the pseudo-terminal and sleeps until real time catches up, so that it never spins a core.
constexpr avr_cycle_count_t SliceCycles = Frequency / 100;
// Behind real time (a busy machine), the simulation never runs faster to catch up, as a real
// board never runs faster than its clock: what the chip does between two bytes from the port,
// such as the bootloader's one-second wait for the next command, never takes less real time
// than on the board. The pace allows a slice's worth of lateness.
constexpr auto MostLag = 10ms;
// MCUSR, the register where the chip says why it restarted, and its two flags the bootloader
// looks at: a power-on starts the sketch, an external reset (the port opened) the bootloader.
constexpr int McusrAddress = 0x54;
constexpr uint8_t PowerOnReset = 1U << 0U;
constexpr uint8_t ExternalReset = 1U << 1U;

// The voltage on A0: fixed; swept from one value to another and back in a period; or cooling,
// from one value toward the other as a warm body toward the room's temperature, the gap shrinking
// by e (2.718...) every time constant. It follows the clock on the wall, as a voltage from outside
// the board does, also when a busy machine slows the simulated chip down.
struct Voltage
{
    enum Shape { Fixed, Sweep, Cooling };
    Shape shape = Fixed;
    double from = 0;
    double to = 0;
    double seconds = 0; // the sweep's period, or the cooling's time constant

    [[nodiscard]] uint32_t millivoltsAt(double since) const
    {
        switch (shape) {
        case Fixed:
            break;
        case Sweep: {
            const double phase = std::fmod(since / seconds, 1.0) * 2;
            const double share = phase <= 1 ? phase : 2 - phase;
            return static_cast<uint32_t>(std::lround(from + (to - from) * share));
        }
        case Cooling:
            return static_cast<uint32_t>(
                std::lround(to + (from - to) * std::exp(-since / seconds)));
        }
        return static_cast<uint32_t>(from);
    }
};

struct Options
{
    QString sketch;
    QString bootloader;
    Voltage a0;
    bool resetOnOpen = false;
    std::optional<double> seconds;
};

double millivolts(const QString &text, const QString &option)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0 || value > SupplyMillivolts)
        fail(QStringLiteral("--%1 wants millivolts from 0 to %2, not '%3'")
                 .arg(option)
                 .arg(SupplyMillivolts)
                 .arg(text));
    return value;
}

Options parseOptions(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulates an Arduino Uno running a sketch, its serial port on a new pseudo-terminal "
        "(whose path it prints first), until stopped."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("sketch"),
                                 QStringLiteral("The sketch's .elf (or .hex) to run."),
                                 QStringLiteral("[sketch]"));
    parser.addOptions({
        {QStringLiteral("a0"), QStringLiteral("Millivolts on A0 (default 0)."),
         QStringLiteral("mV"), QStringLiteral("0")},
        {QStringLiteral("a0-sweep"),
         QStringLiteral("A0 goes from one voltage to the other and back in a period."),
         QStringLiteral("from,to,seconds")},
        {QStringLiteral("a0-cooling"),
         QStringLiteral("A0 goes from one voltage toward the other as a warm body cools toward "
                        "the room's temperature, with a time constant: 600,220,300 is an LM35 "
                        "in water at 60 °C in a room at 22 °C."),
         QStringLiteral("from,to,seconds")},
        {QStringLiteral("bootloader"),
         QStringLiteral("The bootloader's .hex, such as optiboot, at the end of the flash."),
         QStringLiteral("hex")},
        {QStringLiteral("reset-on-open"),
         QStringLiteral("Restart each time the port is opened, as the Uno does.")},
        {QStringLiteral("seconds"), QStringLiteral("Stop after <s> seconds of the chip's time."),
         QStringLiteral("s")},
    });
    if (!parser.parse(app.arguments()))
        fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);

    Options options;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        fail(QStringLiteral("one sketch at most"));
    options.sketch = positional.value(0);
    options.bootloader = parser.value(QStringLiteral("bootloader"));
    if (options.sketch.isEmpty() && options.bootloader.isEmpty())
        fail(QStringLiteral("give a sketch, a --bootloader, or both"));
    options.resetOnOpen = parser.isSet(QStringLiteral("reset-on-open"));
    options.a0.from = millivolts(parser.value(QStringLiteral("a0")), QStringLiteral("a0"));
    for (const auto &[name, shape] : {std::pair(QStringLiteral("a0-sweep"), Voltage::Sweep),
                                      std::pair(QStringLiteral("a0-cooling"), Voltage::Cooling)}) {
        if (!parser.isSet(name))
            continue;
        const QStringList parts = parser.value(name).split(u',');
        bool ok = parts.size() == 3;
        const double seconds = ok ? parts[2].toDouble(&ok) : 0;
        if (!ok || !(seconds > 0))
            fail(QStringLiteral("--%1 wants from,to,seconds, such as 0,5000,10").arg(name));
        options.a0 = {shape, millivolts(parts[0], name), millivolts(parts[1], name), seconds};
    }
    if (parser.isSet(QStringLiteral("seconds")))
        options.seconds = secondsOption(QStringLiteral("seconds"),
                                        parser.value(QStringLiteral("seconds")), 1e6);
    return options;
}

// Opens a pseudo-terminal as the sensor's line and prints its path; returns the master. With
// holdSlave the slave stays open in *slave, so that the master never hangs up; without, it is
// opened once and closed, so that the master sees every later open of it as a hang-up's end.
int openPseudoTerminal(bool holdSlave, int *slave)
{
    QuorinPty pty{};
    if (quorinPtyOpen(&pty) != 0)
        fail(systemError(QStringLiteral("cannot create a pseudo-terminal")), EXIT_FAILURE);
    if (quorinLineMakeRaw(pty.slave) != 0)
        fail(systemError(QString::fromLocal8Bit(pty.slaveName)), EXIT_FAILURE);
    if (!holdSlave) {
        close(pty.slave);
        pty.slave = -1;
    }
    *slave = pty.slave;
    fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    std::printf("%s\n", pty.slaveName);
    std::fflush(stdout);
    return pty.master;
}

// The chip, its serial port's bytes both ways, and what the run measures of them.
struct Board
{
    avr_t *avr = nullptr;
    avr_irq_t *uartInput = nullptr;
    avr_irq_t *a0 = nullptr;
    std::string outbox; // sent by the chip, not yet written to the pseudo-terminal
    std::string inbox;  // read from the pseudo-terminal, not yet taken by the chip
    bool acceptsInput = true;
    long long sent = 0;
    avr_cycle_count_t firstByte = 0;
    avr_cycle_count_t lastByte = 0;
    avr_cycle_count_t longestGap = 0;

    void restart(uint8_t cause)
    {
        avr_reset(avr);
        avr->data[McusrAddress] = cause;
        inbox.clear();
        sent = 0;
        longestGap = 0;
    }
    void feedInput()
    {
        while (acceptsInput && !inbox.empty()) {
            const auto byte = static_cast<uint8_t>(inbox.front());
            inbox.erase(0, 1);
            avr_raise_irq(uartInput, byte);
        }
    }
};

void onByteSent(avr_irq_t *, uint32_t value, void *param)
{
    auto *board = static_cast<Board *>(param);
    const avr_cycle_count_t now = board->avr->cycle;
    if (board->sent == 0)
        board->firstByte = now;
    else
        board->longestGap = std::max(board->longestGap, now - board->lastByte);
    board->lastByte = now;
    ++board->sent;
    board->outbox.push_back(static_cast<char>(value));
}

void onInputReady(avr_irq_t *, uint32_t, void *param)
{
    auto *board = static_cast<Board *>(param);
    board->acceptsInput = true;
    board->feedInput();
}

void onInputFull(avr_irq_t *, uint32_t, void *param)
{
    static_cast<Board *>(param)->acceptsInput = false;
}

// simavr's errors go to standard error, prefixed as ours are. Its chatter (what it loaded) is
// dropped, because standard output carries the pty's path and nothing else, and so are its
// warnings, which it repeats on every conversion of a voltage above the ADC's reference.
void logToStandardError(avr_t *, const int level, const char *format, va_list arguments)
{
    if (level > LOG_ERROR)
        return;
    std::fputs("quorin-uno: simavr: ", stderr);
    std::vfprintf(stderr, format, arguments);
}

// The pacing sleeps between slices; the chip's own sleep needs no wall-clock wait of its own.
void sleepNot(avr_t *, avr_cycle_count_t) { }

// Reads an Intel hex file into the flash; returns its lowest address. simavr's own reader
// refuses the start-address record that the bootloaders' files end with.
uint32_t loadHex(avr_t *avr, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read %1").arg(path), EXIT_FAILURE);
    uint32_t base = 0;
    uint32_t lowest = ~uint32_t(0);
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const QByteArray record = QByteArray::fromHex(line.mid(1));
        const auto byteAt = [&](int i) { return static_cast<uint8_t>(record.at(i)); };
        if (!line.startsWith(':') || record.size() < 5 || record.size() != byteAt(0) + 5)
            fail(QStringLiteral("%1 is not Intel hex").arg(path), EXIT_FAILURE);
        const uint32_t address = base + (uint32_t(byteAt(1)) << 8U) + byteAt(2);
        switch (byteAt(3)) {
        case 0: // data
            if (address + byteAt(0) > avr->flashend + 1U)
                fail(QStringLiteral("%1 does not fit the flash").arg(path), EXIT_FAILURE);
            std::memcpy(avr->flash + address, record.constData() + 4, byteAt(0));
            lowest = std::min(lowest, address);
            break;
        case 2: // extended segment address
            base = ((uint32_t(byteAt(4)) << 8U) + byteAt(5)) << 4U;
            break;
        case 4: // extended linear address
            base = ((uint32_t(byteAt(4)) << 8U) + byteAt(5)) << 16U;
            break;
        default: // the end, or a start address, which the chip's reset decides instead
            break;
        }
    }
    return lowest;
}

void makeBoard(Board &board, const Options &options)
{
    avr_global_logger_set(logToStandardError);
    board.avr = avr_make_mcu_by_name("atmega328p");
    if (!board.avr || avr_init(board.avr) != 0)
        fail(QStringLiteral("simavr cannot make an ATmega328P"), EXIT_FAILURE);
    avr_t *avr = board.avr;
    if (options.sketch.endsWith(QStringLiteral(".hex"))) {
        loadHex(avr, options.sketch);
    } else if (!options.sketch.isEmpty()) {
        elf_firmware_t firmware{};
        if (elf_read_firmware(QFile::encodeName(options.sketch).constData(), &firmware) != 0)
            fail(QStringLiteral("cannot read %1 as an AVR program").arg(options.sketch),
                 EXIT_FAILURE);
        avr_load_firmware(avr, &firmware);
    }
    if (!options.bootloader.isEmpty())
        avr->reset_pc = loadHex(avr, options.bootloader); // as the BOOTRST fuse does
    avr->frequency = Frequency;
    avr->vcc = avr->avcc = avr->aref = SupplyMillivolts;
    avr->sleep = sleepNot;

    uint32_t flags = 0; // neither echo lines on stdout nor sleep while the sketch polls
    avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);
    board.uartInput = avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT),
                            onByteSent, &board);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XON),
                            onInputReady, &board);
    avr_irq_register_notify(avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XOFF),
                            onInputFull, &board);
    board.a0 = avr_io_getirq(avr, AVR_IOCTL_ADC_GETIRQ, ADC_IRQ_ADC0);
    board.restart(PowerOnReset);
}

// Writes what the other end takes now; the rest is lost, as on a line nobody listens to.
void writeWhatFits(int fd, std::string &bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n > 0)
            bytes.erase(0, static_cast<size_t>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    bytes.clear();
}

void readAvailable(int fd, std::string &into)
{
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        into.append(buffer, static_cast<size_t>(n));
}

double secondsOf(const avr_t *avr, avr_cycle_count_t cycles)
{
    return static_cast<double>(cycles) / avr->frequency;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(app);

    stopOnSignals();

    Board board;
    makeBoard(board, options);
    avr_t *avr = board.avr;
    int slave = -1;
    const int master = openPseudoTerminal(!options.resetOnOpen, &slave);

    const auto started = Clock::now();
    auto paceStart = started;
    avr_cycle_count_t paceCycle = 0;
    const auto limit = options.seconds
        ? static_cast<avr_cycle_count_t>(*options.seconds * Frequency)
        : ~avr_cycle_count_t(0);
    bool portOpen = !options.resetOnOpen;
    int status = 0;
    while (!stopRequested() && avr->cycle < limit) {
        avr_raise_irq(
            board.a0,
            options.a0.millivoltsAt(std::chrono::duration<double>(Clock::now() - started).count()));
        const avr_cycle_count_t sliceEnd = std::min(avr->cycle + SliceCycles, limit);
        while (avr->cycle < sliceEnd) {
            const int state = avr_run(avr);
            if (state == cpu_Done || state == cpu_Crashed) {
                std::fprintf(stderr, "quorin-uno: the program stopped the chip (%s)\n",
                             state == cpu_Crashed ? "crashed" : "sleeping for good");
                status = EXIT_FAILURE;
                break;
            }
        }
        if (status != 0)
            break;

        pollfd line{master, POLLIN, 0};
        poll(&line, 1, 0);
        const bool openNow = !(line.revents & POLLHUP);
        if (options.resetOnOpen && openNow && !portOpen) {
            // Opening the port pulls the Uno's reset line through DTR: the bootloader runs
            // first, and waits a second for an upload before it starts the sketch.
            board.restart(ExternalReset);
            tcflush(master, TCIOFLUSH);
        }
        portOpen = openNow;
        if (portOpen) {
            writeWhatFits(master, board.outbox);
            readAvailable(master, board.inbox);
            board.feedInput();
        } else {
            board.outbox.clear();
        }

        const auto due = paceStart
            + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double>(secondsOf(avr, avr->cycle - paceCycle)));
        const auto now = Clock::now();
        if (now - due > MostLag) {
            paceStart = now;
            paceCycle = avr->cycle;
        } else if (due > now) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
            poll(nullptr, 0, static_cast<int>(wait.count())); // a signal cuts it short
        }
    }

    const double real = std::chrono::duration<double>(Clock::now() - started).count();
    const double simulated = secondsOf(avr, avr->cycle);
    const double sending = secondsOf(avr, board.lastByte - board.firstByte);
    std::fprintf(stderr,
                 "quorin-uno: %.3f s of the chip's time in %.3f s; sent %lld bytes, %.1f frames "
                 "a second of the chip's time; longest gap between two bytes %.0f us\n",
                 simulated, real, board.sent,
                 board.sent > 1 ? static_cast<double>(board.sent - 1) / 2 / sending : 0.0,
                 secondsOf(avr, board.longestGap) * 1e6);
    close(master);
    if (slave >= 0)
        close(slave);
    avr_terminate(avr);
    return status;
}
