#pragma once

#include "receiveloop.h"

namespace Quorin {

// The didactic reader's loop: every read goes in front of the echo box "Dati ricevuti", first
// 64 single reads and then blocks of at least a hundred characters, each decoded from what the
// box then holds.
class EchoReceiveLoop final : public ReceiveLoop
{
public:
    explicit EchoReceiveLoop(Form1 &form);

    static constexpr int PrimingReads = 64;
    static constexpr qsizetype PrimingThreshold = 1;
    static constexpr qsizetype Threshold = 100;
    // The box holds this many characters at most, so that a pass costs the same after hours as
    // after a minute; a single read longer than that keeps its oldest characters.
    static constexpr int EchoBoxLength = 2048;

protected:
    void run() override;
};

} // namespace Quorin
