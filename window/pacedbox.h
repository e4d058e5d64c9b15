#pragma once

#include <QLineEdit>
#include <QTimer>

namespace Quorin {

// A text box that the program writes on every pass, many times a second, and that assistive
// technologies hear of at a human pace: of the program's writes, once at the end of an interval,
// with the text as it then stands; of the user's typing, selection and caret moves, at once, as
// in any text box. To them the box reads as a text of its own choosing, its spoken text, editable
// as on screen. Costs nothing while no assistive technology listens.
class PacedBox : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 500;

    explicit PacedBox(QWidget *parent = nullptr);

    // What assistive technologies read as the box's text.
    [[nodiscard]] virtual QString spokenText() const = 0;
    // Where a position in the box's text falls in the spoken text, and back.
    [[nodiscard]] virtual int spokenOffset(int position) const { return position; }
    [[nodiscard]] virtual int boxPosition(int spokenOffset) const { return spokenOffset; }

    // True while the program writes the box; what Qt tells assistive technologies then waits.
    [[nodiscard]] bool isBeingWritten() const { return m_beingWritten; }

protected:
    // Writes the box as the program does on every pass, the caret at `cursor` (-1: at the end).
    void writeText(const QString &text, int cursor = -1);

private:
    void onTextChanged();
    void tellChange();

    QTimer m_pace;
    QString m_told; // the spoken text that assistive technologies last heard of
    bool m_beingWritten = false;
};

} // namespace Quorin
