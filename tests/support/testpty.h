#pragma once

#include <QByteArray>
#include <QString>

#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

// A pseudo-terminal pair standing in for a serial line: the test writes into the master, the
// port opens the slave by its path. The test holds the slave too, so that the line's settings
// and input queue stay readable; left locked, the slave refuses to open with EIO, as a serial
// line with no UART behind it does. Both ends are close-on-exec: a program started by the test
// that kept the master would keep the line alive.
struct Pty
{
    explicit Pty(bool unlocked = true)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || (unlocked && unlockpt(master) != 0))
            return;
        path = QString::fromLocal8Bit(ptsname(master));
        if (unlocked)
            slave = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~Pty()
    {
        for (const int fd : {slave, master}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    [[nodiscard]] bool write(const QByteArray &bytes) const
    {
        return ::write(master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    int master = -1;
    int slave = -1;
    QString path;
};
