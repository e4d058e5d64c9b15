#include "session.h"

#include "protocol.h"

#include <algorithm>

namespace Quorin {

double Point::value() const
{
    return scaledValue(double(codeSum) / count);
}

double Point::minimum() const
{
    return scaledValue(minCode);
}

double Point::maximum() const
{
    return scaledValue(maxCode);
}

void Session::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT labelsChanged();
}

void Session::setUnit(const QString &unit)
{
    if (unit == m_unit)
        return;
    m_unit = unit;
    Q_EMIT labelsChanged();
}

void Session::beginRun(qint64 atMs, qint64 intervalMs)
{
    if (m_recording)
        return;
    // On a tenth of a second, and not before the last run's end.
    const qint64 lastEnd = (m_endMs + TimeStepMs - 1) / TimeStepMs * TimeStepMs;
    const qint64 start = std::max(atMs / TimeStepMs * TimeStepMs, lastEnd);
    m_intervalMs = intervalMs;
    m_runStartMs = start;
    m_open = {start, (start / intervalMs + 1) * intervalMs};
    m_lineBroken = true;
    m_recording = true;
    Q_EMIT runChanged(true);
}

void Session::addSamples(qint64 atMs, const std::vector<int> &codes)
{
    if (!m_recording || codes.empty())
        return;
    advanceTo(atMs);
    Interval &open = m_open;
    for (const int code : codes) {
        open.minCode = open.count == 0 ? code : std::min(open.minCode, code);
        open.maxCode = open.count == 0 ? code : std::max(open.maxCode, code);
        open.codeSum += code;
        ++open.count;
    }
}

void Session::advanceTo(qint64 atMs)
{
    while (m_recording && atMs >= m_open.endMs) {
        closeOpenInterval(m_open.endMs);
        m_open = {m_open.endMs, m_open.endMs + m_intervalMs};
    }
}

std::optional<Point> Session::openPoint() const
{
    if (!m_recording || m_open.count == 0)
        return std::nullopt;
    return Point{m_open.startMs,         m_open.codeSum,         m_open.count,
                 quint8(m_open.minCode), quint8(m_open.maxCode), m_lineBroken};
}

void Session::endRun(qint64 atMs)
{
    if (!m_recording)
        return;
    advanceTo(atMs);
    closeOpenInterval(std::max(atMs, m_open.startMs));
    m_recording = false;
    Q_EMIT runChanged(false);
}

void Session::closeOpenInterval(qint64 endMs)
{
    m_endMs = endMs;
    if (const auto point = openPoint()) {
        append(*point);
        m_lineBroken = false;
    } else {
        m_lineBroken = true;
    }
    m_open.count = 0;
    m_open.codeSum = 0;
}

void Session::restore(std::vector<Point> points)
{
    if (points.empty())
        return;
    m_endMs = std::max(m_endMs, points.back().timeMs + TimeStepMs);
    // A day's points are taken over, not copied.
    if (m_points.empty())
        m_points = std::move(points);
    else
        m_points.insert(m_points.end(), points.begin(), points.end());
    m_figures = {};
    m_valueSum = 0;
    for (const Point &point : m_points)
        account(point);
    Q_EMIT restored();
}

void Session::append(const Point &point)
{
    m_points.push_back(point);
    account(point);
    Q_EMIT pointAdded(qsizetype(m_points.size()) - 1);
}

void Session::account(const Point &point)
{
    const double value = point.value();
    m_figures.minimum = m_figures.points == 0 ? value : std::min(m_figures.minimum, value);
    m_figures.maximum = m_figures.points == 0 ? value : std::max(m_figures.maximum, value);
    m_valueSum += value;
    ++m_figures.points;
    m_figures.mean = m_valueSum / double(m_figures.points);
}

void Session::markSaved()
{
    setSavedPoints(qsizetype(m_points.size()));
}

void Session::setSavedPoints(qsizetype saved)
{
    m_saved = std::min(saved, qsizetype(m_points.size()));
    Q_EMIT this->saved(m_saved);
}

void Session::clear()
{
    if (m_recording)
        return;
    m_origin = {};
    m_points.clear();
    m_points.shrink_to_fit();
    m_figures = {};
    m_valueSum = 0;
    m_endMs = 0;
    m_saved = 0;
    m_lineBroken = true;
    Q_EMIT cleared();
}

} // namespace Quorin
