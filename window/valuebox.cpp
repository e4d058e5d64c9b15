#include "valuebox.h"

using namespace Qt::StringLiterals;

namespace Quorin {

ValueBox::ValueBox(QWidget *parent)
    : PacedBox(parent)
{
    describe();
    connect(this, &QLineEdit::textChanged, this, &ValueBox::describe);
}

void ValueBox::showValue(const QString &value)
{
    if (text() != value)
        writeText(value);
}

QString ValueBox::spokenText() const
{
    // A screen reader speaks "49.8" as two numbers.
    return text().replace(u'.', u',');
}

void ValueBox::describe()
{
    // The range that "[0 - 100]" shows beside the box, and what an empty box would not say.
    const QString description
        = text().isEmpty() ? u"vuoto, scala da 0 a 100"_s : u"scala da 0 a 100"_s;
    if (accessibleDescription() != description)
        setAccessibleDescription(description);
}

} // namespace Quorin
