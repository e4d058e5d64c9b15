#include "echoreceiveloop.h"

#include "echobox.h"
#include "echotext.h"
#include "form1.h"
#include "sample.h"
#include "valuebox.h"

namespace Quorin {

void EchoReceiveLoop::run()
{
    for (int priming = 1; priming <= PrimingReads; ++priming) {
        const auto read = readAtLeast(PrimingThreshold);
        if (!read)
            return;
        form().echoBox()->prepend(echoText(*read));
    }
    for (;;) {
        const auto read = readAtLeast(Threshold);
        if (!read)
            return;
        form().echoBox()->prepend(echoText(*read));
        // Decoded from the box itself, so that what the user typed or deleted there counts.
        if (const auto shown = decodeSample(echoBytes(form().echoBox()->text())))
            form().valueBox()->showValue(*shown);
    }
}

} // namespace Quorin
