// Quorin, the standard reader: the sensor's value in a big box.

#include "form1.h"
#include "program.h"
#include "samplereceiveloop.h"
#include "serialcommport.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    const Quorin::RunningMark running;
    QApplication app(argc, argv);
    Quorin::prepareApplication(app, u"Quorin"_s);
    Quorin::Form1 form(Quorin::standardLayout(), new Quorin::SerialCommPort);
    Quorin::SampleReceiveLoop loop(form);
    return Quorin::runReader(form);
}
