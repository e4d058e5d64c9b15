#include "recorder.h"

#include "commport.h"
#include "sensorport.h"
#include "session.h"

#include <QElapsedTimer>

namespace Quorin {

namespace {

qint64 steadyMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

Recorder::Recorder(CommPort &port, Session &session, QObject *parent, Clock clock)
    : QObject(parent)
    , m_port(port)
    , m_session(session)
    , m_clock(clock ? std::move(clock) : Clock(steadyMs))
{
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &Recorder::catchUp);
    connect(&m_port, &CommPort::readyRead, this, &Recorder::onReadyRead);
    connect(&m_port, &CommPort::failed, this, &Recorder::onPortFailed);
}

void Recorder::openPort()
{
    if (m_port.isOpen())
        return;
    configureSensorPort(m_port);
    m_decoder.reset();
    m_port.setOpen(true);
}

void Recorder::closePort()
{
    if (m_port.isOpen())
        m_port.setOpen(false);
}

qint64 Recorder::sessionTimeMs() const
{
    const QDateTime origin = m_session.origin();
    if (!origin.isValid())
        return 0;
    // An axis started elsewhere, such as a session put back from its journal: the wall clock
    // says once where it stands, then the steady clock keeps its pace, so that a change of the
    // system's time cannot move the points to come.
    if (origin != m_axisOrigin) {
        m_axisOrigin = origin;
        m_axisZero = m_clock() - origin.msecsTo(QDateTime::currentDateTime());
    }
    return m_clock() - m_axisZero;
}

void Recorder::start(qint64 intervalMs, qint64 durationMs)
{
    if (m_session.isRecording())
        return;
    openPort();
    if (!m_session.origin().isValid()) {
        m_axisOrigin = QDateTime::currentDateTime();
        m_axisZero = m_clock();
        m_session.setOrigin(m_axisOrigin);
    }
    m_session.beginRun(sessionTimeMs(), intervalMs);
    m_runEndMs = durationMs > 0 ? m_session.runStartMs() + durationMs : 0;
    scheduleTick();
}

void Recorder::stop()
{
    if (!m_session.isRecording())
        return;
    m_tick.stop();
    m_session.endRun(sessionTimeMs());
    Q_EMIT runEnded();
}

bool Recorder::endRunWhenDue(qint64 nowMs)
{
    if (m_runEndMs == 0 || nowMs < m_runEndMs)
        return false;
    m_tick.stop();
    m_session.endRun(m_runEndMs);
    Q_EMIT runEnded();
    return true;
}

void Recorder::onReadyRead()
{
    const QByteArray received = m_port.readAll();
    m_codes.clear();
    m_decoder.decode(received, m_codes);
    if (m_codes.empty())
        return;
    if (m_session.isRecording()) {
        const qint64 now = sessionTimeMs();
        if (!endRunWhenDue(now)) {
            m_session.addSamples(now, m_codes);
            scheduleTick();
        }
    }
    Q_EMIT sampled(m_codes.back());
}

void Recorder::catchUp()
{
    if (!m_session.isRecording())
        return;
    const qint64 now = sessionTimeMs();
    if (endRunWhenDue(now))
        return;
    m_session.advanceTo(now);
    scheduleTick();
}

void Recorder::scheduleTick()
{
    qint64 due = m_session.openIntervalEndMs();
    if (m_runEndMs > 0)
        due = std::min(due, m_runEndMs);
    // Samples come a hundred times a second; the timer moves only when the time it waits for does.
    if (m_tick.isActive() && due == m_tickDueMs)
        return;
    m_tickDueMs = due;
    m_tick.start(int(std::max<qint64>(due - sessionTimeMs(), 0)));
}

void Recorder::onPortFailed(const QString &message)
{
    if (m_session.isRecording()) {
        m_tick.stop();
        m_session.endRun(sessionTimeMs());
        Q_EMIT runEnded();
    }
    Q_EMIT failed(message);
}

} // namespace Quorin
