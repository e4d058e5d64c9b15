#pragma once

#include "pacedbox.h"

namespace Quorin {

// "Valore sensore": the value the program shows on every pass. Assistive technologies read it as
// Italian writes it, "49,8", and hear its range, 0 to 100, in its description.
class ValueBox : public PacedBox
{
    Q_OBJECT

public:
    explicit ValueBox(QWidget *parent = nullptr);

    // Shows a value. A box that shows it already is left alone, so that a steady value stays
    // selected when the user selects it to copy it.
    void showValue(const QString &value);

    [[nodiscard]] QString spokenText() const override;

private:
    void describe();
};

} // namespace Quorin
