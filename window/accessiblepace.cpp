#include "accessiblepace.h"

#include "statuslamp.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QScopedValueRollback>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Quorin {

namespace {

// The paced boxes, and whether AccessiblePace itself tells of a change now.
struct Paced
{
    std::vector<const QObject *> boxes;
    bool telling = false;
};

Paced &paced()
{
    static Paced instance;
    return instance;
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

// Every accessibility event of the application passes here on its way to the platform. The
// text events of a paced box stay here: they are about the box's own text, not the one
// assistive technologies read, and come on every write.
void filterUpdate(QAccessibleEvent *event)
{
    const Paced &state = paced();
    if (!state.telling && isTextEvent(event->type())
        && std::find(state.boxes.begin(), state.boxes.end(), event->object()) != state.boxes.end())
        return;
    // Qt hands an event to the platform only while no handler is installed.
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(filterUpdate);
}

// A box that shows assistive technologies a text of its own choosing, read-only, with the
// caret at its start.
class ShownTextAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    ShownTextAccessible(QLineEdit *box, std::function<QString()> shownText)
        : QAccessibleWidget(box, QAccessible::EditableText)
        , m_shownText(std::move(shownText))
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
        state.readOnly = true;
        return state;
    }
    [[nodiscard]] QString text(QAccessible::Text type) const override
    {
        return type == QAccessible::Value ? m_shownText() : QAccessibleWidget::text(type);
    }

    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    [[nodiscard]] int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    [[nodiscard]] int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    [[nodiscard]] QString text(int start, int end) const override
    {
        return m_shownText().mid(start, end - start);
    }
    [[nodiscard]] int characterCount() const override { return int(m_shownText().size()); }
    [[nodiscard]] QRect characterRect(int) const override { return {}; }
    [[nodiscard]] int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    // One run without attributes over the whole text: Orca splits a text at the runs' ends,
    // and a run of no characters at each offset cut "49,8" to "49,".
    [[nodiscard]] QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    std::function<QString()> m_shownText;
};

struct ShownText
{
    const QObject *box;
    std::function<QString()> text;
};

std::vector<ShownText> &shownTexts()
{
    static std::vector<ShownText> instance;
    return instance;
}

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    // The lamp is a notification: Orca speaks one when it shows, which is how a change of the
    // port's state is heard wherever the focus is.
    if (className == u"Quorin::StatusLamp"_s)
        return new QAccessibleWidget(qobject_cast<QWidget *>(object), QAccessible::Notification);
    if (className == u"QLineEdit"_s) {
        for (const ShownText &shown : shownTexts()) {
            if (shown.box == object)
                return new ShownTextAccessible(static_cast<QLineEdit *>(object), shown.text);
        }
    }
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFor);
        QAccessible::installUpdateHandler(filterUpdate);
        return true;
    }();
    Q_UNUSED(installed);
}

AccessiblePace::AccessiblePace(QObject *parent)
    : QObject(parent)
{
    installAccessibility();
    m_timer.setSingleShot(true);
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &AccessiblePace::tell);
}

AccessiblePace::~AccessiblePace()
{
    auto &boxes = paced().boxes;
    auto &shown = shownTexts();
    for (const Box &box : m_boxes) {
        boxes.erase(std::remove(boxes.begin(), boxes.end(), box.box), boxes.end());
        shown.erase(std::remove_if(shown.begin(), shown.end(),
                                   [&](const ShownText &s) { return s.box == box.box; }),
                    shown.end());
    }
}

void AccessiblePace::pace(QLineEdit *box, const std::function<QString()> &shownText)
{
    shownTexts().push_back({box, shownText});
    // Qt may have made the box's interface already, as the box was made: it goes, so that the
    // next question about the box gets the shown text's.
    if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(box);
        made && !dynamic_cast<ShownTextAccessible *>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    paced().boxes.push_back(box);
    m_boxes.push_back({box, shownText, shownText()});
    connect(box, &QLineEdit::textChanged, this, [this, box] { changed(box); });
}

void AccessiblePace::changed(QLineEdit *box)
{
    // Nothing to keep up with while no assistive technology listens.
    if (!QAccessible::isActive())
        return;
    for (Box &paced : m_boxes) {
        if (paced.box == box)
            paced.changed = true;
    }
    if (!m_timer.isActive())
        m_timer.start();
}

void AccessiblePace::tell()
{
    const QScopedValueRollback telling(paced().telling, true);
    for (Box &box : m_boxes) {
        if (!box.changed)
            continue;
        box.changed = false;
        const QString now = box.shownText();
        if (now == box.told)
            continue;
        if (box.told.isEmpty()) {
            QAccessibleTextInsertEvent event(box.box, 0, now);
            QAccessible::updateAccessibility(&event);
        } else if (now.isEmpty()) {
            QAccessibleTextRemoveEvent event(box.box, 0, box.told);
            QAccessible::updateAccessibility(&event);
        } else {
            QAccessibleTextUpdateEvent event(box.box, 0, box.told, now);
            QAccessible::updateAccessibility(&event);
        }
        box.told = now;
    }
}

} // namespace Quorin
