// Quorinlab: records the sensor's value over time, graphs it and saves it for a spreadsheet.

#include "labwindow.h"
#include "program.h"
#include "serialcommport.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    const Quorin::RunningMark running;
    QApplication app(argc, argv);
    Quorin::prepareApplication(app, u"Quorinlab"_s);
    Quorin::LabWindow window(
        new Quorin::SerialCommPort,
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    window.show();
    QTimer::singleShot(0, &window, &Quorin::LabWindow::start);
    return QApplication::exec();
}
