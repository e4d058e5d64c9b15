#include "scriptedwait.h"

#include "form1.h"
#include "receiveloop.h"

#include <QPushButton>
#include <QTest>

void clickButton(Quorin::Form1 &form, const char *name)
{
    auto *button = form.findChild<QPushButton *>(QLatin1String(name));
    Q_ASSERT_X(button, "clickButton", name);
    QTest::mouseClick(button, Qt::LeftButton);
}

ScriptedWait::ScriptedWait(Quorin::Form1 &form, Quorin::ReceiveLoop &loop)
    : m_form(form)
{
    loop.setYield([this] { poll(); });
}

ScriptedWait &ScriptedWait::then(std::function<void()> step)
{
    m_steps.push_back(std::move(step));
    return *this;
}

void ScriptedWait::poll()
{
    if (m_form.isEnding())
        qFatal("The receive loop waits on after the program ended");
    ++m_depth;
    if (m_depth > 1 || ranOut()) {
        clickButton(m_form, "Command3");
    } else {
        const auto step = m_steps[m_next++];
        if (step)
            step();
    }
    --m_depth;
}
