#include "statuslamp.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

constexpr QRgb LampBackground = qRgb(255, 0, 0);
constexpr QRgb LampFill = qRgb(0, 255, 0);

QString describe(LampState state)
{
    return state == LampState::Lit ? u"Porta aperta"_s : u"Porta chiusa"_s;
}

// To assistive technologies the lamp is a notification: Orca speaks one when it shows, which is
// how a change of the port's state is heard wherever the focus is.
QAccessibleInterface *accessibleFor(const QString &, QObject *object)
{
    auto *lamp = qobject_cast<StatusLamp *>(object);
    return lamp ? new QAccessibleWidget(lamp, QAccessible::Notification) : nullptr;
}

} // namespace

StatusLamp::StatusLamp(QWidget *parent)
    : QWidget(parent)
{
    static const bool installed = (QAccessible::installFactory(accessibleFor), true);
    Q_UNUSED(installed);
    setObjectName(u"Shape1"_s);
    setAccessibleName(describe(m_state));
    setAccessibleDescription(u"Stato della porta"_s);
}

void StatusLamp::setState(LampState state)
{
    const bool changed = state != m_state;
    m_state = state;
    update();
    if (!changed)
        return;
    // The state in words, and a notification shown anew: what a screen reader speaks of a
    // change wherever the focus is.
    setAccessibleName(describe(state));
    if (isVisible()) {
        QAccessibleEvent shown(this, QAccessible::ObjectShow);
        QAccessible::updateAccessibility(&shown);
    }
}

void StatusLamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int diameter = std::min(width(), height()) - 1;
    const QRectF disc(QPointF((width() - diameter) / 2.0, (height() - diameter) / 2.0),
                      QSizeF(diameter, diameter));
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(QColor(m_state == LampState::Lit ? LampFill : LampBackground));
    painter.drawEllipse(disc.translated(0.5, 0.5));
}

} // namespace Quorin
