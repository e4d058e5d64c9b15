// quorin-antivirus FOLDER take|deny NAME: does to the file NAME under FOLDER, a mount point, what
// an on-access virus scanner may do to a new program, through the kernel's fanotify, as Linux
// scanners do: "take" deletes it as soon as a program has written and closed it (a quarantine),
// "deny" refuses every opening of it. Every other opening under FOLDER waits until the events
// before it are dealt with, so that a program that writes NAME and then opens anything else
// there finds NAME gone. Prints "watching" once in place, then a line for each file taken or
// refused, until standard input ends. Needs root.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/fanotify.h>
#include <unistd.h>

static int fail(const char *what)
{
    fprintf(stderr, "quorin-antivirus: %s: %s\n", what, strerror(errno));
    return 1;
}

int main(int argc, char **argv)
{
    if (argc != 4 || (strcmp(argv[2], "take") != 0 && strcmp(argv[2], "deny") != 0)) {
        fputs("usage: quorin-antivirus FOLDER take|deny NAME\n", stderr);
        return 2;
    }
    const int take = strcmp(argv[2], "take") == 0;
    char folder[PATH_MAX];
    if (!realpath(argv[1], folder))
        return fail(argv[1]);
    char target[PATH_MAX];
    if (snprintf(target, sizeof target, "%s/%s", folder, argv[3]) >= (int)sizeof target)
        return fail("the name is too long");

    const int group = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
    if (group < 0)
        return fail("fanotify_init");
    if (fanotify_mark(group, FAN_MARK_ADD | FAN_MARK_MOUNT, FAN_OPEN_PERM | FAN_CLOSE_WRITE,
                      AT_FDCWD, folder)
        != 0)
        return fail(folder);
    puts("watching");
    fflush(stdout);

    struct pollfd waits[2] = {{group, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    char buffer[8192] __attribute__((aligned(__alignof__(struct fanotify_event_metadata))));
    for (;;) {
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return fail("poll");
        }
        if (waits[1].revents) {
            char ignored[64];
            if (read(STDIN_FILENO, ignored, sizeof ignored) <= 0)
                return 0; // closing the group lets every waiting opening through
        }
        if (!waits[0].revents)
            continue;
        ssize_t length = read(group, buffer, sizeof buffer);
        if (length < 0)
            return fail("read");
        // One event after the other, in the order they happened: a later opening is answered
        // only once the file taken before it is gone.
        for (struct fanotify_event_metadata *event = (void *)buffer; FAN_EVENT_OK(event, length);
             event = FAN_EVENT_NEXT(event, length)) {
            char link[64], path[PATH_MAX];
            snprintf(link, sizeof link, "/proc/self/fd/%d", event->fd);
            const ssize_t size = readlink(link, path, sizeof path - 1);
            path[size < 0 ? 0 : size] = '\0';
            const int isTarget = strcmp(path, target) == 0;
            if (event->mask & FAN_OPEN_PERM) {
                struct fanotify_response response = {event->fd, FAN_ALLOW};
                if (isTarget && !take) {
                    response.response = FAN_DENY;
                    printf("denied %s\n", argv[3]);
                }
                if (write(group, &response, sizeof response) != sizeof response)
                    return fail("answering");
            }
            if ((event->mask & FAN_CLOSE_WRITE) && isTarget && take) {
                if (unlink(path) != 0)
                    return fail(path);
                printf("took %s\n", argv[3]);
            }
            fflush(stdout);
            close(event->fd);
        }
    }
}
