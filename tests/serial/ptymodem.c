/* Test support, preloaded into a program (LD_PRELOAD): gives a pseudo-terminal the modem lines
 * of a real serial line. A pty has none, and answers every modem-line request with ENOTTY;
 * Wine then cancels each wait for received bytes, and nobody can see what a program sets.
 *
 * On a pty slave that refuses them as a pty does, TIOCMGET reports DSR, CTS and CD up, with DTR
 * and RTS as last set; TIOCMSET, TIOCMBIS and TIOCMBIC set DTR and RTS. Both start up, as on a
 * Linux serial line just opened. Once the far end has closed, the system's own error (EIO) is
 * given, as a serial line whose device went away gives one. Every other request, and every
 * other device, goes to the system unchanged.
 *
 * With QUORIN_MODEM_LOG=FILE set, each request that sets them appends the lines it leaves to
 * FILE, as "DTR d RTS r" (0 or 1), so that a test can read them as the program leaves them. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

/* Unix98 pty slaves: majors 136 to 143. */
enum { PtySlaveFirstMajor = 136, PtySlaveLastMajor = 143 };

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static int lines = TIOCM_DTR | TIOCM_RTS;

static int isPtySlave(int fd)
{
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode))
        return 0;
    const unsigned int number = major(info.st_rdev);
    return number >= PtySlaveFirstMajor && number <= PtySlaveLastMajor;
}

static void record(int state)
{
    const char *path = getenv("QUORIN_MODEM_LOG");
    if (!path || !*path)
        return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char text[32];
    const int length = snprintf(text, sizeof text, "DTR %d RTS %d\n", !!(state & TIOCM_DTR),
                                !!(state & TIOCM_RTS));
    /* One write of a short line to a file opened for appending: lines never interleave. */
    if (write(fd, text, (size_t)length) != length)
        errno = 0;
    close(fd);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);

    static int (*next)(int, unsigned long, void *);
    if (!next)
        *(void **)&next = dlsym(RTLD_NEXT, "ioctl"); /* POSIX's way to take a function */

    const int settable = TIOCM_DTR | TIOCM_RTS;
    if ((request != TIOCMGET && request != TIOCMSET && request != TIOCMBIS && request != TIOCMBIC)
        || !isPtySlave(fd))
        return next(fd, request, argument);
    const int answer = next(fd, request, argument);
    if (answer == 0 || (errno != ENOTTY && errno != EINVAL))
        return answer;
    if (!argument) {
        errno = EFAULT;
        return -1;
    }
    int *bits = argument;
    pthread_mutex_lock(&lock);
    if (request == TIOCMGET)
        *bits = lines | TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
    else if (request == TIOCMSET)
        lines = *bits & settable;
    else if (request == TIOCMBIS)
        lines |= *bits & settable;
    else
        lines &= ~(*bits & settable);
    const int now = lines;
    pthread_mutex_unlock(&lock);
    if (request != TIOCMGET)
        record(now);
    return 0;
}
