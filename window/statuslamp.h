#pragma once

#include <QWidget>

namespace Quorin {

enum class LampState {
    Lit,   // solid green fill: the port is open
    Unlit, // transparent fill, the red background shows
};

// The port's status lamp: a disc in the middle of its box, green when lit, red when unlit; to
// assistive technologies, a notification named for the state.
class StatusLamp : public QWidget
{
    Q_OBJECT

public:
    explicit StatusLamp(QWidget *parent = nullptr);

    [[nodiscard]] LampState state() const { return m_state; }
    void setState(LampState state);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    LampState m_state = LampState::Lit;
};

} // namespace Quorin
