#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

namespace Quorin {

class CommPort;
class Form1;

// What "Ricevi i dati" runs: a loop that waits for the port, reads and shows what it read, for
// as long as the program runs. A click while a run waits replaces that run with a new one.
class ReceiveLoop
{
public:
    explicit ReceiveLoop(Form1 &form);
    virtual ~ReceiveLoop() = default;
    ReceiveLoop(const ReceiveLoop &) = delete;
    ReceiveLoop &operator=(const ReceiveLoop &) = delete;

    // The click handler of "Ricevi i dati". A port that fails ends the program with its
    // report.
    void onReceiveClicked();

    // How a wait lets the window handle its events; by default it sleeps until the next event
    // and handles every pending one.
    void setYield(std::function<void()> yield);

protected:
    // One run of the loop. Returns only when readAtLeast() says the run is over.
    virtual void run() = 0;

    // One read: read length 0, a wait until at least `threshold` characters wait, then all
    // of them. Nothing when this run is over: the program is ending, or a newer run has been
    // asked for.
    [[nodiscard]] std::optional<QByteArray> readAtLeast(qsizetype threshold);

    [[nodiscard]] Form1 &form() const { return m_form; }

private:
    // Lets the window handle its events, then counts the waiting characters, until at least
    // `threshold` wait. False when this run is over.
    [[nodiscard]] bool waitForBytes(qsizetype threshold);
    void startRuns();
    [[nodiscard]] CommPort &port() const;

    Form1 &m_form;
    std::function<void()> m_yield;
    bool m_running = false;
    bool m_newRunAsked = false;
};

} // namespace Quorin
