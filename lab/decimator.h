#pragma once

#include <QList>

#include <utility>
#include <vector>

namespace Quorin {

struct Point;

// The graph's copy of a session's points, a few for each pixel column of the time the graph
// shows whatever their number: in each column the lowest and the highest point, in their order,
// so that a spike is never hidden, and a break where the recording has a gap. Kept in step with
// the points as they grow, so that drawing a day's points costs what drawing a minute's does.
class Decimator
{
public:
    // Points are summed up in blocks of this many, which a column takes whole.
    static constexpr int BlockSize = 64;

    // The line to draw: times in seconds and values; a NaN value breaks the line.
    struct Line
    {
        QList<double> keys;
        QList<double> values;
    };

    // Follows `points`, which must only grow, or be cleared before reset().
    explicit Decimator(const std::vector<Point> &points);

    // Takes in the points added since the last call.
    void update();
    // Forgets every point, after the session was cleared.
    void reset();

    // The line over [fromMs, toMs] in `columns` pixel columns: at most two points a column, and
    // two more at each gap.
    [[nodiscard]] Line decimate(double fromMs, double toMs, int columns) const;

private:
    // The lowest and the highest point of [first, last), by index.
    [[nodiscard]] std::pair<qsizetype, qsizetype> extremes(qsizetype first, qsizetype last) const;
    [[nodiscard]] double valueAt(qsizetype index) const;

    const std::vector<Point> &m_points;
    std::vector<std::pair<qsizetype, qsizetype>> m_blocks; // each full block's extremes
    std::vector<qsizetype> m_lineStarts;                   // points that follow a gap
    qsizetype m_seen = 0;
};

} // namespace Quorin
