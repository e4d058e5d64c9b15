#include "sessiongraph.h"

#include "pointtext.h"
#include "protocol.h"
#include "session.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

constexpr double MsPerSecond = 1000.0;
// The autoscale leaves this share of the values' span above and below them, and shows a span of
// one unit at least, so that a steady value is not a line along the edge.
constexpr double ScaleMargin = 0.05;
constexpr double NarrowestScale = 1.0;
constexpr QRgb LineColour = qRgb(0, 90, 170);
const auto LineLayer = u"line"_s;

} // namespace

SessionGraph::SessionGraph(const Session &session, QWidget *parent)
    : QCustomPlot(parent)
    , m_session(session)
    , m_decimator(session.points())
    , m_line(addGraph())
    , m_title(new QCPTextElement(this, QString(), QFont(font().family(), -1, QFont::Bold)))
{
    setObjectName(u"graph"_s);
    setAccessibleName(u"Grafico"_s);
    setAccessibleDescription(u"Il valore nel tempo; i suoi punti sono nella tabella dei punti"_s);
    setMinimumSize(320, 200);
    // The points come decimated; QCustomPlot need not thin them again.
    m_line->setAdaptiveSampling(false);
    // The line on a layer of its own: new points redraw it alone while the axes stay.
    addLayer(LineLayer, layer(u"main"_s), limAbove);
    m_line->setLayer(LineLayer);
    layer(LineLayer)->setMode(QCPLayer::lmBuffered);
    m_line->setPen(QPen(QColor(LineColour), 2));
    xAxis->setLabel(u"Tempo (s)"_s);
    plotLayout()->insertRow(0);
    plotLayout()->addElement(0, 0, m_title);
    m_title->setVisible(false);

    m_redraw.setSingleShot(true);
    m_redraw.setInterval(RedrawIntervalMs);
    connect(&m_redraw, &QTimer::timeout, this, &SessionGraph::redraw);
    connect(&session, &Session::pointAdded, this, &SessionGraph::refresh);
    connect(&session, &Session::restored, this, &SessionGraph::refresh);
    connect(&session, &Session::labelsChanged, this, [this] {
        updateLabels();
        replot(rpQueuedReplot);
    });
    connect(&session, &Session::cleared, this, [this] {
        m_decimator.reset();
        redraw();
    });
    updateLabels();
    redraw();
}

void SessionGraph::setAutoScale(bool autoScale)
{
    m_autoScale = autoScale;
    updateRanges();
    replot(rpQueuedReplot);
}

void SessionGraph::setPlannedEnd(qint64 endMs)
{
    m_plannedEndMs = endMs;
    refresh();
}

void SessionGraph::refresh()
{
    if (!m_redraw.isActive())
        m_redraw.start();
}

void SessionGraph::resizeEvent(QResizeEvent *event)
{
    QCustomPlot::resizeEvent(event);
    refresh();
}

void SessionGraph::redraw()
{
    m_decimator.update();
    const bool axesMoved = updateRanges();
    updateLine(axisRect()->width());
    if (axesMoved)
        replot(rpQueuedReplot);
    else
        layer(LineLayer)->replot();
}

void SessionGraph::updateLabels()
{
    const QString title = m_session.title().simplified();
    m_title->setText(title);
    // A title row without a title would only take room.
    m_title->setVisible(!title.isEmpty());
    plotLayout()->setRowStretchFactor(0, title.isEmpty() ? 0.001 : 1);
    yAxis->setLabel(columnHeader(m_session, Column::Value, Heading::Plain));
}

void SessionGraph::updateLine(int columns)
{
    m_drawn = m_decimator.decimate(xAxis->range().lower * MsPerSecond,
                                   xAxis->range().upper * MsPerSecond, std::max(columns, 1));
    m_line->setData(m_drawn.keys, m_drawn.values, true);
}

bool SessionGraph::updateRanges()
{
    const QCPRange time = xAxis->range();
    const QCPRange value = yAxis->range();
    xAxis->setRange(0,
                    double(std::max(roundSpan(m_session.endMs()), m_plannedEndMs)) / MsPerSecond);
    if (!m_autoScale || m_session.isEmpty()) {
        yAxis->setRange(0, FullScale);
    } else {
        const Figures &figures = m_session.figures();
        const double span = std::max(figures.maximum - figures.minimum, NarrowestScale);
        const double middle = (figures.maximum + figures.minimum) / 2;
        yAxis->setRange(middle - span * (0.5 + ScaleMargin), middle + span * (0.5 + ScaleMargin));
    }
    return xAxis->range() != time || yAxis->range() != value;
}

qint64 SessionGraph::roundSpan(qint64 ms)
{
    // A time axis ends on a round number of minutes, then of hours, which a class reads at a
    // glance, and moves only when the recording passes its end.
    static constexpr qint64 Minutes[] = {1, 2, 5, 10, 15, 20, 30, 45, 60};
    constexpr qint64 Minute = 60'000;
    for (const qint64 minutes : Minutes) {
        if (ms <= minutes * Minute)
            return minutes * Minute;
    }
    constexpr qint64 Hour = 60 * Minute;
    return (ms + Hour - 1) / Hour * Hour;
}

QImage SessionGraph::picture(QSize size, double scale)
{
    m_decimator.update();
    updateRanges();
    updateLine(int(std::lround(size.width())));
    // The scale nearest to the one asked for that makes the width come out exact.
    const int width = std::max(int(std::lround(size.width() / scale)), 1);
    const double exact = double(size.width()) / width;
    QImage image = toPixmap(width, int(std::lround(size.height() / exact)), exact).toImage();
    if (image.size() != size)
        image = image.copy(QRect(QPoint(), size));
    updateLine(axisRect()->width());
    replot(rpQueuedReplot);
    return image;
}

} // namespace Quorin
