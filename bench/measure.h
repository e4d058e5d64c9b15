#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

#include <time.h>

// What the bench programs measure and how they print it, shared by them.
namespace QuorinBench {

// One row of a scenario's figures, for the parent process to put in its table.
inline void printRow(const QString &label, const QString &figure)
{
    std::printf("%s\t%s\n", qUtf8Printable(label), qUtf8Printable(figure));
    std::fflush(stdout);
}

// The CPU time the calling thread has used.
[[nodiscard]] inline double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A field of /proc/self/status in kB, such as VmRSS.
[[nodiscard]] inline qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace QuorinBench
