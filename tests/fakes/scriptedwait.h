#pragma once

#include <QtGlobal>

#include <functional>
#include <vector>

namespace Quorin {
class Form1;
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
    // The most polls ever running inside one another: 1 while runs never nest.
    [[nodiscard]] int deepestNesting() const { return m_deepest; }

private:
    void poll();

    Quorin::Form1 &m_form;
    std::vector<std::function<void()>> m_steps;
    std::size_t m_next = 0;
    int m_depth = 0;
    int m_deepest = 0;
};
