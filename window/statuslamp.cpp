#include "statuslamp.h"

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

} // namespace

StatusLamp::StatusLamp(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"Shape1"_s);
    setAccessibleName(u"Stato della porta"_s);
    setAccessibleDescription(describe(m_state));
}

void StatusLamp::setState(LampState state)
{
    m_state = state;
    setAccessibleDescription(describe(state));
    update();
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
