#pragma once

#include "receiveloop.h"

namespace Quorin {

// The standard reader's loop: blocks of at least ten characters, each put in front of the
// run's own received text, which is decoded into the value box after every read.
class SampleReceiveLoop final : public ReceiveLoop
{
public:
    using ReceiveLoop::ReceiveLoop;

    static constexpr qsizetype Threshold = 10;

protected:
    void run() override;
};

} // namespace Quorin
