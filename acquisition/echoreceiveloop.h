#pragma once

#include "receiveloop.h"

namespace Quorin {

// The didactic reader's loop: every read goes in front of the echo box "Dati ricevuti", first
// 64 single reads and then blocks of at least a hundred characters, each decoded from what the
// box then holds.
class EchoReceiveLoop final : public ReceiveLoop
{
public:
    using ReceiveLoop::ReceiveLoop;

    static constexpr int PrimingReads = 64;
    static constexpr qsizetype PrimingThreshold = 1;
    static constexpr qsizetype Threshold = 100;

protected:
    void run() override;
};

} // namespace Quorin
