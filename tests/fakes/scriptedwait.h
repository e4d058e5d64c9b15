#pragma once

#include "fakecommport.h"
#include "form1.h"

#include <QLineEdit>

#include <functional>
#include <vector>

namespace Quorin {
class ReceiveLoop;
} // namespace Quorin

// Clicks a button of the window ("Command1", "Command2", "Command3") as a user would.
void clickButton(Quorin::Form1 &form, const char *name);

// Stands in for a receive loop's wait: every poll runs the next step of a script. A poll once
// the script has run out, or from inside another poll (runs that nest), clicks "Esci" instead.
class ScriptedWait
{
public:
    ScriptedWait(Quorin::Form1 &form, Quorin::ReceiveLoop &loop);

    // The next poll still to be scripted runs `step`; an empty step does nothing.
    ScriptedWait &then(std::function<void()> step = {});

    [[nodiscard]] bool ranOut() const { return m_next >= m_steps.size(); }

private:
    void poll();

    Quorin::Form1 &m_form;
    std::vector<std::function<void()>> m_steps;
    std::size_t m_next = 0;
    int m_depth = 0;
};

// A reader's window on a fake port, loaded and shown, with its receive loop scripted. The port's
// log starts after the load and shows the lamp's changes among the port's.
template<typename Loop>
struct ScriptedReader
{
    explicit ScriptedReader(const Quorin::FormLayout &layout)
        : form(layout, port)
    {
        port->logLamp(form.lamp());
        form.load();
        port->clearLog();
        form.show();
    }

    // The value box and the echo box, found as a test finds any control: by name.
    [[nodiscard]] QLineEdit *valueBox() const
    {
        return form.findChild<QLineEdit *>(QStringLiteral("Text1"));
    }
    [[nodiscard]] QLineEdit *echoBox() const
    {
        return form.findChild<QLineEdit *>(QStringLiteral("Text9"));
    }
    [[nodiscard]] QString value() const { return valueBox()->text(); }

    FakeCommPort *port = new FakeCommPort; // owned by the window
    Quorin::Form1 form;
    Loop loop{form};
    ScriptedWait wait{form, loop};
};
