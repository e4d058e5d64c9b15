#pragma once

#include <QString>

class QApplication;

namespace Quorin {

class Form1;

// Names the application and gives it its version, its icon and Qt's own words in Italian.
void prepareApplication(QApplication &app, const QString &name);

// Loads the window, shows it and runs the program until it ends; returns the exit status.
// When loading fails the window is never shown.
[[nodiscard]] int runReader(Form1 &form);

} // namespace Quorin
