#pragma once

#include <QString>

class QApplication;
class QWidget;

namespace Quorin {

class Form1;

// Tells other programs on Windows, while it lives, that a reader runs: a named mutex, which
// the installer and the uninstaller look for so that they never replace or remove the files of
// a running reader (packaging/windows/quorin.nsi names it too). Elsewhere it does nothing.
class RunningMark
{
public:
    RunningMark();
#ifdef Q_OS_WIN
    ~RunningMark();
#endif
    RunningMark(const RunningMark &) = delete;
    RunningMark &operator=(const RunningMark &) = delete;

private:
    [[maybe_unused]] void *m_handle = nullptr; // the mutex, on Windows
};

// Names the application and gives it its version, its icon and Qt's own words in Italian.
void prepareApplication(QApplication &app, const QString &name);

// Says a failure as every program of ours does: the text on standard error, and in a dialog
// titled as `window`, which waits for the user.
void showReport(QWidget &window, const QString &message);

// Loads the window, shows it and runs the program until it ends; returns the exit status.
// When loading fails the window is never shown.
[[nodiscard]] int runReader(Form1 &form);

} // namespace Quorin
