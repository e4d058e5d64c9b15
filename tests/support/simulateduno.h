#pragma once

#include <QProcess>
#include <QStringList>
#include <QTest>

#include <tuple>

// The simulated Uno (quorin-uno) as a process that the test starts, and the pseudo-terminal
// that it prints first, once it has started.
class SimulatedUno
{
public:
    SimulatedUno(const QString &program, const QStringList &arguments)
    {
        m_process.start(program, arguments);
    }
    ~SimulatedUno()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }
    SimulatedUno(const SimulatedUno &) = delete;
    SimulatedUno &operator=(const SimulatedUno &) = delete;

    // The pseudo-terminal's path, or nothing if the program ended without one.
    [[nodiscard]] QString waitForPort(int patience)
    {
        std::ignore = QTest::qWaitFor(
            [&] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
            patience);
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    // What it said on standard error once it ended by itself, or nothing if it did not.
    [[nodiscard]] QString waitForReport(int patience)
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(patience))
            return {};
        return QString::fromLocal8Bit(m_process.readAllStandardError());
    }

private:
    QProcess m_process;
};
