#include "pacedbox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QScopedValueRollback>

// Qt's hook for the accessibility events of the whole application, and the platform's receiver
// of them, are Qt's own: nothing public keeps a QLineEdit from telling every change of its text.
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

namespace Quorin {

namespace {

// The box to assistive technologies: its spoken text, with the caret and the selection where
// they are in the box, editable as on screen.
class PacedBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit PacedBoxAccessible(PacedBox *box)
        : QAccessibleWidget(box, QAccessible::EditableText)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    [[nodiscard]] QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.selectableText = true;
        state.readOnly = box()->isReadOnly();
        return state;
    }
    [[nodiscard]] QString text(QAccessible::Text type) const override
    {
        return type == QAccessible::Value ? box()->spokenText() : QAccessibleWidget::text(type);
    }
    // A new value given by an assistive technology, such as voice control: as if typed.
    void setText(QAccessible::Text type, const QString &text) override
    {
        if (type == QAccessible::Value)
            box()->setText(text);
        else
            QAccessibleWidget::setText(type, text);
    }

    [[nodiscard]] QString text(int start, int end) const override
    {
        return box()->spokenText().mid(start, end - start);
    }
    [[nodiscard]] int characterCount() const override { return int(box()->spokenText().size()); }
    [[nodiscard]] int cursorPosition() const override
    {
        return box()->spokenOffset(box()->cursorPosition());
    }
    void setCursorPosition(int offset) override
    {
        box()->setCursorPosition(box()->boxPosition(offset));
    }
    [[nodiscard]] int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void selection(int, int *start, int *end) const override
    {
        *start = *end = 0;
        if (box()->hasSelectedText()) {
            *start = box()->spokenOffset(box()->selectionStart());
            *end = box()->spokenOffset(box()->selectionEnd());
        }
    }
    void setSelection(int, int start, int end) override
    {
        const int from = box()->boxPosition(start);
        box()->setSelection(from, box()->boxPosition(end) - from);
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { box()->deselect(); }
    void scrollToSubstring(int start, int end) override
    {
        box()->setCursorPosition(box()->boxPosition(end));
        box()->setCursorPosition(box()->boxPosition(start));
    }
    // The character of the box that the spoken offset stands for, on the screen: measured from
    // the caret, which the box places wherever it has scrolled to.
    [[nodiscard]] QRect characterRect(int offset) const override
    {
        const QString text = box()->text();
        const int position = box()->boxPosition(offset);
        if (position < 0 || position >= text.size())
            return {};
        const QFontMetrics metrics(box()->font());
        const int caret = box()->cursorPosition();
        const QRect caretRect = box()->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const int x = caretRect.x()
            + (position >= caret
                   ? metrics.horizontalAdvance(text.mid(caret, position - caret))
                   : -metrics.horizontalAdvance(text.mid(position, caret - position)));
        return {box()->mapToGlobal(QPoint(x, caretRect.y())),
                QSize(metrics.horizontalAdvance(text.at(position)), metrics.height())};
    }
    [[nodiscard]] int offsetAtPoint(const QPoint &point) const override
    {
        return box()->spokenOffset(box()->cursorPositionAt(box()->mapFromGlobal(point)));
    }
    // One run without attributes over the whole text: Orca splits a text at the runs' ends, and
    // a run of no characters at each offset cut "49,8" to "49,".
    [[nodiscard]] QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    [[nodiscard]] PacedBox *box() const { return static_cast<PacedBox *>(widget()); }
};

QAccessibleInterface *accessibleFor(const QString &, QObject *object)
{
    auto *box = qobject_cast<PacedBox *>(object);
    return box ? new PacedBoxAccessible(box) : nullptr;
}

bool isTextEvent(QAccessible::Event type)
{
    switch (type) {
    case QAccessible::TextInserted:
    case QAccessible::TextRemoved:
    case QAccessible::TextUpdated:
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
        return true;
    default:
        return false;
    }
}

QAccessible::UpdateHandler g_handlerBefore = nullptr;

// Every accessibility event of the application passes here while an assistive technology
// listens. The text, caret and selection events that a paced box sends while the program writes
// it stay here: the box tells of that write itself, at its pace. Everything else goes on as
// Qt would send it: to the handler installed before this one, or to the platform.
void holdBackProgramWrites(QAccessibleEvent *event)
{
    const auto *box = qobject_cast<const PacedBox *>(event->object());
    if (box && box->isBeingWritten() && isTextEvent(event->type()))
        return;
    if (g_handlerBefore)
        g_handlerBefore(event);
    else if (QPlatformAccessibility *platform
             = QGuiApplicationPrivate::platformIntegration()->accessibility())
        platform->notifyAccessibilityUpdate(event);
}

} // namespace

PacedBox::PacedBox(QWidget *parent)
    : QLineEdit(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        g_handlerBefore = QAccessible::installUpdateHandler(holdBackProgramWrites);
        return true;
    }();
    Q_UNUSED(installed);
    m_pace.setSingleShot(true);
    m_pace.setInterval(IntervalMs);
    connect(&m_pace, &QTimer::timeout, this, &PacedBox::tellChange);
    connect(this, &QLineEdit::textChanged, this, &PacedBox::onTextChanged);
}

void PacedBox::writeText(const QString &text, int cursor)
{
    const QScopedValueRollback beingWritten(m_beingWritten, true);
    setText(text);
    if (cursor >= 0)
        setCursorPosition(cursor);
}

void PacedBox::onTextChanged()
{
    if (!m_beingWritten) {
        // The user's change, which assistive technologies heard of as it was made.
        m_told = spokenText();
    } else if (QAccessible::isActive() && !m_pace.isActive()) {
        m_pace.start();
    }
}

void PacedBox::tellChange()
{
    const QString now = spokenText();
    if (now == m_told)
        return;
    QAccessibleTextUpdateEvent event(this, 0, m_told, now);
    QAccessible::updateAccessibility(&event);
    m_told = now;
}

} // namespace Quorin
