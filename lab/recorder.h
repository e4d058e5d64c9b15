#pragma once

#include "framedecoder.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

namespace Quorin {

class CommPort;
class Session;

// Reads the sensor for the recording: every sample of the stream as it arrives, the newest for
// the value on screen and, while a run lasts, all of them into the session at the time they came.
// Closes the session's intervals on time, also while the sensor is silent, and ends a run of a
// set duration by itself.
class Recorder : public QObject
{
    Q_OBJECT

public:
    // Milliseconds from any fixed moment, never going back.
    using Clock = std::function<qint64()>;

    Recorder(CommPort &port, Session &session, QObject *parent = nullptr, Clock clock = {});

    // Opens port 3 on the sensor's line where it is closed. Throws SerialError.
    void openPort();
    void closePort();

    // Starts a run with a point every `intervalMs`, the port opened first where it is closed;
    // with a duration, the run ends by itself that long after it starts. A new session's axis
    // starts here. Throws SerialError, and then starts nothing.
    void start(qint64 intervalMs, qint64 durationMs = 0);
    // Ends the run now; the port stays open.
    void stop();
    // When the running run ends by itself, on the session's axis; 0 for a run without end.
    [[nodiscard]] qint64 runEndMs() const { return m_runEndMs; }

    // Now, on the session's time axis. A session put back from its journal goes on from the
    // time that passed on the wall clock since its start.
    [[nodiscard]] qint64 sessionTimeMs() const;

    // Closes the intervals that the time has passed, and ends a run whose time is up; called on
    // time by the recorder itself.
    void catchUp();

Q_SIGNALS:
    // The newest sample of a read, shown as the value now.
    void sampled(int code);
    // A run ended: by itself at the end of its duration, stopped, or by a failure.
    void runEnded();
    // The port failed and was closed; a run that lasted has ended first.
    void failed(const QString &message);

private:
    void onReadyRead();
    void onPortFailed(const QString &message);
    void scheduleTick();
    // Ends the run at its end when the time has passed it; true when it did.
    bool endRunWhenDue(qint64 nowMs);

    CommPort &m_port;
    Session &m_session;
    Clock m_clock;
    FrameDecoder m_decoder;
    std::vector<int> m_codes;
    QTimer m_tick;
    qint64 m_tickDueMs = 0; // when the timer is due, on the session's axis
    qint64 m_runEndMs = 0;
    // The clock's reading at the start of the session's axis, and the axis it was taken for.
    mutable QDateTime m_axisOrigin;
    mutable qint64 m_axisZero = 0;
};

} // namespace Quorin
