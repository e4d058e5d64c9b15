#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class QLineEdit;

namespace Quorin {

// What assistive technologies learn of the boxes the program writes on every pass: a text of
// the box's choosing, and its changes at most once an interval, not every write, so that a
// screen reader is never flooded while the screen still changes on every pass. Costs nothing
// while no assistive technology listens.
class AccessiblePace : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 500;

    explicit AccessiblePace(QObject *parent = nullptr);
    ~AccessiblePace() override;

    // Paces `box`: assistive technologies read `shownText` as its text, read-only, and hear of
    // its changes at the end of the interval, never of the box's own.
    void pace(QLineEdit *box, const std::function<QString()> &shownText);

private:
    struct Box
    {
        QLineEdit *box;
        std::function<QString()> shownText;
        QString told; // the text assistive technologies last heard of
        bool changed = false;
    };

    void changed(QLineEdit *box);
    void tell();

    std::vector<Box> m_boxes;
    QTimer m_timer;
};

// Gives the window's controls what Qt's own accessibility cannot: the echo box's short text and
// the lamp's role. Installed once, before any window exists.
void installAccessibility();

} // namespace Quorin
