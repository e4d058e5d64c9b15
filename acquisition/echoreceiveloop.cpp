#include "echoreceiveloop.h"

#include "echotext.h"
#include "form1.h"
#include "sample.h"

namespace Quorin {

EchoReceiveLoop::EchoReceiveLoop(Form1 &form)
    : ReceiveLoop(form)
{
    form.setEchoLength(EchoBoxLength);
}

void EchoReceiveLoop::run()
{
    for (int priming = 1; priming <= PrimingReads; ++priming) {
        const auto read = readAtLeast(PrimingThreshold);
        if (!read)
            return;
        form().prependEcho(echoText(*read));
    }
    for (;;) {
        const auto read = readAtLeast(Threshold);
        if (!read)
            return;
        form().prependEcho(echoText(*read));
        // Decoded from the box itself, so that what the user typed or deleted there counts.
        if (const auto shown = decodeSample(echoBytes(form().echo())))
            form().setValue(*shown);
    }
}

} // namespace Quorin
