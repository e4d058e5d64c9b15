#include "samplereceiveloop.h"

#include "form1.h"
#include "sample.h"
#include "valuebox.h"

namespace Quorin {

void SampleReceiveLoop::run()
{
    QByteArray received;
    for (;;) {
        const auto read = readAtLeast(Threshold);
        if (!read)
            return;
        received.prepend(*read);
        if (const auto shown = decodeSample(received))
            form().valueBox()->showValue(*shown);
        // The text would grow by every byte for as long as the run lasts; what is dropped
        // here can never change what a later pass shows.
        received = keepDecodable(received);
    }
}

} // namespace Quorin
