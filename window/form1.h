#pragma once

#include "formlayout.h"
#include "statuslamp.h"

#include <QWidget>

#include <functional>

class QPushButton;
class QRadioButton;

namespace Quorin {

class CommPort;
class EchoBox;
class ValueBox;

// The reader's one window: its controls laid out from a layout table, the serial port it owns,
// and the load, stop and exit handlers. What "Ricevi i dati" does is the program's choice: the
// window only says that it was clicked.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // Takes ownership of the port.
    Form1(const FormLayout &layout, CommPort *port, QWidget *parent = nullptr);

    [[nodiscard]] CommPort &port() const { return *m_port; }
    [[nodiscard]] StatusLamp *lamp() const { return m_lamp; }
    // "Valore sensore"; and "Dati ricevuti", in the didactic window only (else null).
    [[nodiscard]] ValueBox *valueBox() const { return m_text1; }
    [[nodiscard]] EchoBox *echoBox() const { return m_text9; }

    // Configures port 3 and opens it. Throws SerialError.
    void load();

    // Closes the port and ends the program with the failure's report: a dialog, the same text
    // on standard error, exit status 1.
    void fail(const QString &message);

    // True once the program is ending: every receive loop gives up where it stands.
    [[nodiscard]] bool isEnding() const { return m_ending; }

Q_SIGNALS:
    // "Ricevi i dati" was clicked.
    void receiveClicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls(bool withEcho);
    void applyLayout(const FormLayout &layout);
    void onStopClicked();
    void onExitClicked();
    void endProgram(int exitCode);
    void guarded(const std::function<void()> &handler);

    CommPort *m_port;
    StatusLamp *m_lamp = nullptr;
    ValueBox *m_text1 = nullptr;
    EchoBox *m_text9 = nullptr;
    QRadioButton *m_option1 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    bool m_ending = false;
};

} // namespace Quorin
