#include "receiveloop.h"

#include "commport.h"
#include "form1.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

namespace Quorin {

ReceiveLoop::ReceiveLoop(Form1 &form)
    : m_form(form)
    // Received bytes only become countable when the event loop hands them to the port, so
    // a wait that did not sleep here until the next event would spin a core for nothing.
    , m_yield([] { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); })
{
    QObject::connect(&form, &Form1::receiveClicked, &form, [this] { onReceiveClicked(); });
}

void ReceiveLoop::setYield(std::function<void()> yield)
{
    m_yield = std::move(yield);
}

CommPort &ReceiveLoop::port() const
{
    return m_form.port();
}

void ReceiveLoop::onReceiveClicked()
{
    // Caught here: an exception must not cross Qt's signal delivery.
    try {
        startRuns();
    } catch (const SerialError &error) {
        m_form.fail(error.message());
    }
}

void ReceiveLoop::startRuns()
{
    if (!port().isOpen()) {
        m_form.lamp()->setState(LampState::Lit);
        port().setOpen(true);
    }
    // A click during a wait comes from inside that wait. Rather than nest a new run there,
    // for ever, one level deeper each click, the waiting run gives way as soon as the click
    // returns to it and the new run starts in its place: the old one never resumes.
    if (m_running) {
        m_newRunAsked = true;
        return;
    }
    const QScopedValueRollback running(m_running, true);
    do {
        m_newRunAsked = false;
        run();
    } while (m_newRunAsked && !m_form.isEnding());
}

std::optional<QByteArray> ReceiveLoop::readAtLeast(qsizetype threshold)
{
    port().setReadLength(0);
    if (!waitForBytes(threshold))
        return std::nullopt;
    return port().readAll();
}

bool ReceiveLoop::waitForBytes(qsizetype threshold)
{
    for (;;) {
        m_yield();
        if (m_form.isEnding() || m_newRunAsked)
            return false;
        if (port().bytesWaiting() >= threshold)
            return true;
    }
}

} // namespace Quorin
