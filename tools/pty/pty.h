#pragma once

// A pseudo-terminal pair standing in for the sensor's serial line: the sensor's side writes into
// the master, a reader opens the slave by its name. Plain C, so that programs in C or C++ share
// it. Errors leave errno as the failing call set it.

#ifdef __cplusplus
extern "C" {
#endif

struct QuorinPty
{
    int master;
    int slave;          // held open, so that the master never sees a hang-up
    char slaveName[64]; // such as "/dev/pts/3"
};

// Opens a pair, both ends close-on-exec: a program started later that kept the master would
// keep the line alive. The slave's line stays as the system makes it (38400 baud, cooked), so
// that what a reader sets there shows. Returns 0, or -1 with nothing left open.
int quorinPtyOpen(struct QuorinPty *pty);

// Makes the line of `fd`, a pseudo-terminal or a serial device, raw 8N1 at 9600 baud without
// flow control, as the sensor talks. Returns 0, or -1.
int quorinLineMakeRaw(int fd);

// Closes the ends still open.
void quorinPtyClose(struct QuorinPty *pty);

#ifdef __cplusplus
}

namespace Quorin {

// The pair for as long as the object lives.
class PtyPair
{
public:
    PtyPair() { quorinPtyOpen(&m_pty); }
    ~PtyPair() { quorinPtyClose(&m_pty); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    [[nodiscard]] bool isOpen() const { return m_pty.master >= 0; }
    [[nodiscard]] int master() const { return m_pty.master; }
    [[nodiscard]] int slave() const { return m_pty.slave; }
    [[nodiscard]] const char *slaveName() const { return m_pty.slaveName; }

private:
    QuorinPty m_pty{};
};

} // namespace Quorin
#endif
