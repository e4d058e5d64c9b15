#include "decimator.h"

#include "session.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Quorin {

namespace {

constexpr double MsPerSecond = 1000.0;

} // namespace

Decimator::Decimator(const std::vector<Point> &points)
    : m_points(points)
{
    update();
}

void Decimator::update()
{
    const auto size = qsizetype(m_points.size());
    for (; m_seen < size; ++m_seen) {
        if (m_points[std::size_t(m_seen)].startsLine && m_seen > 0)
            m_lineStarts.push_back(m_seen);
        if ((m_seen + 1) % BlockSize == 0) {
            const qsizetype first = m_seen + 1 - BlockSize;
            std::pair<qsizetype, qsizetype> block{first, first};
            for (qsizetype i = first + 1; i <= m_seen; ++i) {
                if (valueAt(i) < valueAt(block.first))
                    block.first = i;
                if (valueAt(i) > valueAt(block.second))
                    block.second = i;
            }
            m_blocks.push_back(block);
        }
    }
}

void Decimator::reset()
{
    m_blocks.clear();
    m_lineStarts.clear();
    m_seen = 0;
    update();
}

double Decimator::valueAt(qsizetype index) const
{
    return m_points[std::size_t(index)].value();
}

std::pair<qsizetype, qsizetype> Decimator::extremes(qsizetype first, qsizetype last) const
{
    std::pair<qsizetype, qsizetype> found{first, first};
    const auto consider = [&](qsizetype low, qsizetype high) {
        if (valueAt(low) < valueAt(found.first))
            found.first = low;
        if (valueAt(high) > valueAt(found.second))
            found.second = high;
    };
    qsizetype i = first;
    for (; i < last && (i % BlockSize != 0 || i + BlockSize > last); ++i)
        consider(i, i);
    for (; i + BlockSize <= last && i / BlockSize < qsizetype(m_blocks.size()); i += BlockSize) {
        const auto &block = m_blocks[std::size_t(i / BlockSize)];
        consider(block.first, block.second);
    }
    for (; i < last; ++i)
        consider(i, i);
    return found;
}

Decimator::Line Decimator::decimate(double fromMs, double toMs, int columns) const
{
    Line line;
    const qsizetype size = std::min(m_seen, qsizetype(m_points.size()));
    if (size == 0 || columns < 1 || !(toMs > fromMs))
        return line;
    const auto begin = m_points.begin();
    const auto end = begin + size;
    const auto timeBefore = [](const Point &point, double ms) { return double(point.timeMs) < ms; };
    const auto timeAfter = [](double ms, const Point &point) { return ms < double(point.timeMs); };
    const double width = (toMs - fromMs) / columns;
    qsizetype last = -1; // the last point drawn
    const auto draw = [&](qsizetype index) {
        if (index == last)
            return;
        const auto gap = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), last);
        if (last >= 0 && gap != m_lineStarts.end() && *gap <= index) {
            // Between the two sides of the gap, where no point is.
            line.keys.append(
                double(m_points[std::size_t(last)].timeMs + m_points[std::size_t(*gap)].timeMs)
                / (2 * MsPerSecond));
            line.values.append(std::numeric_limits<double>::quiet_NaN());
        }
        line.keys.append(double(m_points[std::size_t(index)].timeMs) / MsPerSecond);
        line.values.append(valueAt(index));
        last = index;
    };

    qsizetype first = std::lower_bound(begin, end, fromMs, timeBefore) - begin;
    for (int column = 0; column < columns && first < size; ++column) {
        const qsizetype past = column + 1 == columns
            ? std::upper_bound(begin + first, end, toMs, timeAfter) - begin
            : std::lower_bound(begin + first, end, fromMs + width * (column + 1), timeBefore)
                - begin;
        // The column's points, split where a gap falls among them.
        for (qsizetype from = first; from < past;) {
            const auto gap = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), from);
            const qsizetype to = gap == m_lineStarts.end() ? past : std::min(*gap, past);
            const auto [low, high] = extremes(from, to);
            draw(std::min(low, high));
            draw(std::max(low, high));
            from = to;
        }
        first = past;
    }
    return line;
}

} // namespace Quorin
