#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace Quorin {

// One point of a recording: the samples received over one interval, their mean, their number,
// their lowest and highest code.
struct Point
{
    qint64 timeMs;  // on the session's time axis, where the span of its samples starts
    qint64 codeSum; // the samples' codes added up
    int count;      // samples
    quint8 minCode;
    quint8 maxCode;
    bool startsLine; // nothing was recorded just before it: the graph's line breaks here

    [[nodiscard]] double value() const; // the mean, on the readers' scale
    [[nodiscard]] double minimum() const;
    [[nodiscard]] double maximum() const;
};

// What the session's figures say of its points' values.
struct Figures
{
    qsizetype points = 0;
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
};

// A recording: points on one time axis, which starts when the first run starts and keeps
// running between runs, so that a pause shows as a gap; its title and unit; and whether its
// points have been saved. The caller gives every time, in milliseconds of the session's axis.
// Samples gather in the open interval, which becomes a point when the time passes its end;
// intervals lie on a grid of their length from the axis' start.
class Session : public QObject
{
    Q_OBJECT

public:
    // A run starts on a tenth of a second, so that a point's time always has one decimal.
    static constexpr qint64 TimeStepMs = 100;

    using QObject::QObject;

    // The wall-clock time of the axis' start; invalid before the first run.
    [[nodiscard]] QDateTime origin() const { return m_origin; }
    void setOrigin(const QDateTime &origin) { m_origin = origin; }

    [[nodiscard]] QString title() const { return m_title; }
    [[nodiscard]] QString unit() const { return m_unit; }
    void setTitle(const QString &title);
    void setUnit(const QString &unit);

    [[nodiscard]] const std::vector<Point> &points() const { return m_points; }
    [[nodiscard]] bool isEmpty() const { return m_points.empty(); }
    [[nodiscard]] const Figures &figures() const { return m_figures; }
    // Where the recorded axis ends: the end of the last interval that was closed.
    [[nodiscard]] qint64 endMs() const { return m_endMs; }

    // A run of the recording, from `atMs` (at the end of the last point at the earliest) with
    // points every `intervalMs`.
    void beginRun(qint64 atMs, qint64 intervalMs);
    [[nodiscard]] bool isRecording() const { return m_recording; }
    [[nodiscard]] qint64 intervalMs() const { return m_intervalMs; }
    // Where the run started.
    [[nodiscard]] qint64 runStartMs() const { return m_runStartMs; }
    // Closes every interval that ends by `atMs`, then adds the samples to the open one.
    void addSamples(qint64 atMs, const std::vector<int> &codes);
    // Closes every interval that ends by `atMs`: a silent one gives no point and breaks the line.
    void advanceTo(qint64 atMs);
    // When the open interval ends.
    [[nodiscard]] qint64 openIntervalEndMs() const { return m_open.endMs; }
    // The samples of the open interval so far, as a point; nothing when it has none.
    [[nodiscard]] std::optional<Point> openPoint() const;
    // Ends the run at `atMs`: the samples of the open interval become a last, shorter point.
    void endRun(qint64 atMs);

    // Puts back the points of an interrupted session as they were recorded, all at once.
    void restore(std::vector<Point> points);

    // The points saved so far, and whether any has not been.
    void markSaved();
    [[nodiscard]] qsizetype savedPoints() const { return m_saved; }
    void setSavedPoints(qsizetype saved);
    [[nodiscard]] bool hasUnsavedPoints() const { return qsizetype(m_points.size()) > m_saved; }

    // A new session: no points, no origin; the title and unit stay.
    void clear();

Q_SIGNALS:
    void pointAdded(qsizetype index);
    // Points came back at once: after restore().
    void restored();
    void labelsChanged();
    void runChanged(bool recording);
    void saved(qsizetype points);
    void cleared();

private:
    struct Interval
    {
        qint64 startMs = 0;
        qint64 endMs = 0;
        qint64 codeSum = 0;
        int count = 0;
        int minCode = 0;
        int maxCode = 0;
    };

    void closeOpenInterval(qint64 endMs);
    // Adds a point to the session and its figures, and tells of it.
    void append(const Point &point);
    // Counts a point in the figures.
    void account(const Point &point);

    QDateTime m_origin;
    QString m_title;
    QString m_unit;
    std::vector<Point> m_points;
    Figures m_figures;
    double m_valueSum = 0;
    qint64 m_endMs = 0;
    qint64 m_intervalMs = 1000;
    qint64 m_runStartMs = 0;
    Interval m_open;
    bool m_recording = false;
    bool m_lineBroken = true; // the next point starts a line
    qsizetype m_saved = 0;
};

} // namespace Quorin
