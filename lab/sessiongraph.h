#pragma once

#include "decimator.h"

#include <QTimer>

#include "plotlibrary.h"

namespace Quorin {

class Session;

// The live graph of a session: its value against the time since the start, on a fixed scale of
// 0 to 100 or one that follows the values, with the session's title and unit. It draws the
// decimated copy of the points for its width, and redraws a few times a second at most, however
// fast points come.
class SessionGraph : public QCustomPlot
{
    Q_OBJECT

public:
    // The longest a new point waits to be drawn.
    static constexpr int RedrawIntervalMs = 500;
    explicit SessionGraph(const Session &session, QWidget *parent = nullptr);

    void setAutoScale(bool autoScale);
    // The time axis spans at least to `endMs`, such as the planned end of a run.
    void setPlannedEnd(qint64 endMs);
    // Redraws soon, when the session changed.
    void refresh();
    // Redraws now: the points decimated for the width, and the graph replotted as soon as the
    // event loop runs.
    void redraw();

    // The line drawn now: the decimated copy of the points.
    [[nodiscard]] const Decimator::Line &drawn() const { return m_drawn; }

    // The graph as a picture of `size` pixels, with its fonts and lines as at 96 dpi times
    // `scale`, and the points decimated for that width.
    [[nodiscard]] QImage picture(QSize size, double scale);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateLabels();
    void updateLine(int columns);
    // Sets the axes' ranges; true when they moved.
    bool updateRanges();
    // Where the time axis ends for a recording that ends at `ms`: a minute at least, so that
    // the first seconds do not fill the width.
    [[nodiscard]] static qint64 roundSpan(qint64 ms);

    const Session &m_session;
    Decimator m_decimator;
    Decimator::Line m_drawn;
    QCPGraph *m_line;
    QCPTextElement *m_title;
    QTimer m_redraw;
    qint64 m_plannedEndMs = 0;
    bool m_autoScale = false;
};

} // namespace Quorin
