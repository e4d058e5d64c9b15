#include "devicetool.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Quorin::DeviceTool {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void requestStop(int)
{
    g_stopRequested = 1;
}

} // namespace

void fail(const QString &message, int status)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(message));
    std::exit(status);
}

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

void stopOnSignals()
{
    struct sigaction stop = {};
    stop.sa_handler = requestStop; // no SA_RESTART
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
}

bool stopRequested()
{
    return g_stopRequested != 0;
}

double secondsOption(const QString &option, const QString &text, double most)
{
    bool ok = false;
    const double seconds = text.toDouble(&ok);
    if (!ok || !(seconds > 0 && seconds < most))
        fail(QStringLiteral("--%1 wants a duration in seconds").arg(option));
    return seconds;
}

} // namespace Quorin::DeviceTool
