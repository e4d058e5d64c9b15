#include "samplereceiveloop.h"

#include "commport.h"
#include "form1.h"
#include "sample.h"

namespace Quorin {

void SampleReceiveLoop::run()
{
    QByteArray received;
    for (;;) {
        port().setReadLength(0);
        if (!waitForBytes(Threshold))
            return;
        received.prepend(port().readAll());
        if (const auto shown = decodeSample(received))
            showValue(*shown);
        // The text would grow by every byte for as long as the run lasts; what is dropped
        // here can never change what a later pass shows.
        received = keepDecodable(received);
    }
}

} // namespace Quorin
