#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class QLineEdit;

namespace Quorin {

// What assistive technologies learn of the boxes the program writes on every pass: their new
// text at most once an interval, not every write, so that a screen reader is never flooded while
// the screen still changes on every pass. Costs nothing while no assistive technology listens.
class AccessiblePace : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 500;

    explicit AccessiblePace(QObject *parent = nullptr);
    ~AccessiblePace() override;

    // Paces `box`. With `shownText`, assistive technologies read that text instead of the box's
    // own, and never hear the box's own changes.
    void pace(QLineEdit *box, std::function<QString()> shownText = {});

    // Runs `write`, the program's change of `box`, without telling assistive technologies; they
    // hear of the box's new text at the end of the interval.
    void programWrite(QLineEdit *box, const std::function<void()> &write);

private:
    struct Box
    {
        QLineEdit *box;
        std::function<QString()> shownText;
        QString told; // the text assistive technologies last heard of
        bool changed = false;
    };

    [[nodiscard]] QString accessibleText(const Box &box) const;
    void tell();

    std::vector<Box> m_boxes;
    QTimer m_timer;
};

// Gives the window's controls what Qt's own accessibility cannot: the echo box's short text and
// the lamp's role. Installed once, before any window exists.
void installAccessibility();

} // namespace Quorin
