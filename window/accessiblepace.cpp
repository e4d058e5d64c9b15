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

// The boxes that tell assistive technologies at a pace, and what the handler below lets through.
struct Paced
{
    std::vector<std::pair<const QObject *, bool>> boxes; // the box, and whether its text is its own
    const QObject *writing = nullptr;                    // the box the program writes now
    bool telling = false;                                // AccessiblePace itself tells of a change
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
// text events a paced box sends when the program writes it stay here, and so do all of a box
// whose accessible text is not its own; the user's own editing of a box passes.
void filterUpdate(QAccessibleEvent *event)
{
    const Paced &state = paced();
    if (!state.telling && isTextEvent(event->type())) {
        const auto box = std::find_if(state.boxes.begin(), state.boxes.end(),
                                      [&](const auto &b) { return b.first == event->object(); });
        if (box != state.boxes.end() && (!box->second || state.writing == box->first))
            return;
    }
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
    [[nodiscard]] QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
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
        boxes.erase(std::remove_if(boxes.begin(), boxes.end(),
                                   [&](const auto &b) { return b.first == box.box; }),
                    boxes.end());
        shown.erase(std::remove_if(shown.begin(), shown.end(),
                                   [&](const ShownText &s) { return s.box == box.box; }),
                    shown.end());
    }
}

void AccessiblePace::pace(QLineEdit *box, std::function<QString()> shownText)
{
    if (shownText) {
        shownTexts().push_back({box, shownText});
        // Qt may have made the box's interface already, as the box was made: it goes, so that
        // the next question about the box gets the shown text's.
        if (QAccessibleInterface *made = QAccessible::queryAccessibleInterface(box);
            made && !dynamic_cast<ShownTextAccessible *>(made))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
    paced().boxes.emplace_back(box, !shownText);
    m_boxes.push_back({box, std::move(shownText), {}});
    m_boxes.back().told = accessibleText(m_boxes.back());
}

void AccessiblePace::programWrite(QLineEdit *box, const std::function<void()> &write)
{
    {
        const QScopedValueRollback<const QObject *> writing(paced().writing, box);
        write();
    }
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

QString AccessiblePace::accessibleText(const Box &box) const
{
    return box.shownText ? box.shownText() : box.box->text();
}

void AccessiblePace::tell()
{
    const QScopedValueRollback telling(paced().telling, true);
    for (Box &box : m_boxes) {
        if (!box.changed)
            continue;
        box.changed = false;
        const QString now = accessibleText(box);
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
