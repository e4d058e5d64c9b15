#include "pty.h"

#include "protocol.h"

#include <cerrno>
#include <cstdlib>
#include <initializer_list>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

int quorinPtyOpen(struct QuorinPty *pty)
{
    pty->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    pty->slave = -1;
    pty->slaveName[0] = '\0';
    if (pty->master >= 0 && grantpt(pty->master) == 0 && unlockpt(pty->master) == 0) {
        const int named = ptsname_r(pty->master, pty->slaveName, sizeof pty->slaveName);
        if (named == 0)
            pty->slave = open(pty->slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
        else
            errno = named;
        if (pty->slave >= 0)
            return 0;
    }
    quorinPtyClose(pty);
    return -1;
}

int quorinLineMakeRaw(int fd)
{
    static_assert(Quorin::LineBaudRate == 9600, "the sensor's line is B9600 below");
    termios line{};
    if (tcgetattr(fd, &line) != 0)
        return -1;
    cfmakeraw(&line);
    line.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    const bool made = cfsetispeed(&line, B9600) == 0 && cfsetospeed(&line, B9600) == 0
        && tcsetattr(fd, TCSANOW, &line) == 0;
    return made ? 0 : -1;
}

void quorinPtyClose(struct QuorinPty *pty)
{
    const int saved = errno;
    for (int *fd : {&pty->slave, &pty->master}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    errno = saved;
}
