#pragma once

#include "pacedbox.h"

namespace Quorin {

// "Dati ricevuti": every received byte as a character, the newest first, which the user may edit.
// Assistive technologies read the codes of its newest bytes, "255 128 255 130", rather than
// thousands of control pictures and accented letters.
class EchoBox : public PacedBox
{
    Q_OBJECT

public:
    // How many of the newest bytes assistive technologies read.
    static constexpr int SpokenBytes = 8;
    // The characters the box keeps after each read, the newest, so that a pass costs the same
    // after hours as after a minute. Not a limit on the user, who may type and paste as in any
    // text box: the next read cuts what lies past it.
    static constexpr int Capacity = 2048;

    explicit EchoBox(QWidget *parent = nullptr);

    // Puts received text in front of what the box holds, the caret at its start. A single read
    // longer than the box keeps its oldest characters.
    void prepend(const QString &received);

    [[nodiscard]] QString spokenText() const override;
    // Each of the first characters is the start of its code in the spoken text.
    [[nodiscard]] int spokenOffset(int position) const override;
    [[nodiscard]] int boxPosition(int spokenOffset) const override;
};

} // namespace Quorin
