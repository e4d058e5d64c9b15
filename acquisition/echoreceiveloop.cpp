#include "echoreceiveloop.h"

#include "commport.h"
#include "echotext.h"
#include "form1.h"
#include "sample.h"

#include <QLineEdit>

namespace Quorin {

EchoReceiveLoop::EchoReceiveLoop(Form1 &form)
    : ReceiveLoop(form)
{
    form.echoBox()->setMaxLength(EchoBoxLength);
}

void EchoReceiveLoop::run()
{
    for (int read = 1; read <= PrimingReads; ++read) {
        port().setReadLength(0);
        if (!waitForBytes(PrimingThreshold))
            return;
        putInFront(port().readAll());
    }
    for (;;) {
        port().setReadLength(0);
        if (!waitForBytes(Threshold))
            return;
        putInFront(port().readAll());
        // Decoded from the box itself, so that what the user typed or deleted there counts.
        if (const auto shown = decodeSample(echoBytes(form().echoBox()->text())))
            showValue(*shown);
    }
}

void EchoReceiveLoop::putInFront(const QByteArray &read)
{
    QLineEdit *box = form().echoBox();
    // The box's length limit keeps the front: the newest reads, of one read its oldest bytes.
    box->setText(echoText(read) + box->text());
    box->setCursorPosition(0);
}

} // namespace Quorin
