#pragma once

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>

#include <poll.h>
#include <unistd.h>

// Writes a pattern into a pty's master, again and again as fast as the line takes it, from a
// thread of its own until stopped. On a non-blocking master it never waits for the reader.
class Stream
{
public:
    Stream(int master, QByteArray pattern)
        : m_thread([this, master, pattern = std::move(pattern)] {
            for (qsizetype at = 0; !m_stop;) {
                pollfd out{master, POLLOUT, 0};
                if (::poll(&out, 1, 100) <= 0)
                    continue;
                const ssize_t n = ::write(master, pattern.data() + at, size_t(pattern.size() - at));
                if (n < 0 && errno != EAGAIN && errno != EINTR)
                    return;
                at = (at + std::max<ssize_t>(n, 0)) % pattern.size();
                m_written += std::max<ssize_t>(n, 0);
            }
        })
    {
    }
    ~Stream()
    {
        m_stop = true;
        m_thread.join();
    }
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    [[nodiscard]] qint64 written() const { return m_written; }

private:
    std::atomic<bool> m_stop = false;
    std::atomic<qint64> m_written = 0;
    std::thread m_thread;
};
