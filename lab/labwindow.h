#pragma once

#include "session.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;

namespace Quorin {

class CommPort;
class Journal;
class PointTableModel;
class Recorder;
class SessionGraph;
class StatusLamp;
class ValueBox;

// Quorinlab's window: the value now and the port's lamp, the graph and the table of the
// session's points, the recording's settings and figures, and the buttons that start and stop
// it, save it and copy it. The session, its journal and the recorder that feeds it live apart
// from the window, which shows them and answers the user.
class LabWindow : public QWidget
{
    Q_OBJECT

public:
    // The choices of "Intervallo fra i punti", in milliseconds, and the one chosen at first.
    static constexpr qint64 Intervals[] = {100, 500, 1000, 2000, 5000, 10000, 30000, 60000};
    static constexpr qint64 DefaultIntervalMs = 1000;
    // A report of a saved graph: 16 cm by 10 cm at 300 dpi, the width of an A4 page's text.
    static constexpr int PictureWidth = 1890;
    static constexpr int PictureHeight = 1181;
    static constexpr int PictureDpi = 300;

    // Takes ownership of the port. The journal goes in `journalFolder`.
    LabWindow(CommPort *port, const QString &journalFolder, QWidget *parent = nullptr);
    ~LabWindow() override;

    // Once the window shows: offers back a session that was interrupted, then opens the port.
    void start();

    [[nodiscard]] Session &session() { return m_session; }
    [[nodiscard]] const Session &session() const { return m_session; }
    [[nodiscard]] StatusLamp *lamp() const { return m_lamp; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void offerInterrupted();
    void openPort();
    void onStartClicked();
    void onStopClicked();
    void onSaveDataClicked();
    void onSaveGraphClicked();
    void onCopyDataClicked();
    void onNewSessionClicked();
    void onSampled(int code);
    void onPortFailed(const QString &message);
    void showValue();
    void updateState();
    void updateFigures();
    // Asks what to do with unsaved points before they would go: save them, go on without, or
    // stay; true when the points are saved or the user goes on.
    [[nodiscard]] bool settleUnsaved(const QString &question, const QString &goOn);
    // "Salva i dati…": true once the points are in a file.
    bool saveData();
    void report(const QString &message);
    void say(const QString &status);
    [[nodiscard]] QString suggestedFileName(const QString &suffix) const;
    [[nodiscard]] qint64 chosenIntervalMs() const;

    CommPort *m_port;
    // A child of the window, not a member: the window's destructor hides the views that show
    // the session, which then ask it for their headings, before the window's children go.
    Session &m_session;
    Recorder *m_recorder;
    Journal *m_journal;
    SessionGraph *m_graph = nullptr;
    PointTableModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    StatusLamp *m_lamp = nullptr;
    ValueBox *m_value = nullptr;
    QLabel *m_valueUnit = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_saveData = nullptr;
    QPushButton *m_saveGraph = nullptr;
    QPushButton *m_copyData = nullptr;
    QPushButton *m_newSession = nullptr;
    QComboBox *m_interval = nullptr;
    QSpinBox *m_duration = nullptr;
    QLineEdit *m_title = nullptr;
    QComboBox *m_unit = nullptr;
    QCheckBox *m_autoScale = nullptr;
    QLabel *m_pointCount = nullptr;
    QLabel *m_elapsed = nullptr;
    QLabel *m_minimum = nullptr;
    QLabel *m_maximum = nullptr;
    QLabel *m_mean = nullptr;
    QLabel *m_status = nullptr;
    QString m_journalFolder;
    QTimer m_showValue;
    QTimer m_figures;
    int m_newestCode = -1;
    bool m_closing = false;
};

} // namespace Quorin
