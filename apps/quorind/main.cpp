// Quorind, the didactic reader: the value, and every received byte in "Dati ricevuti".

#include "echoreceiveloop.h"
#include "form1.h"
#include "program.h"
#include "serialcommport.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    const Quorin::RunningMark running;
    QApplication app(argc, argv);
    Quorin::prepareApplication(app, u"Quorind"_s);
    Quorin::Form1 form(Quorin::didacticLayout(), new Quorin::SerialCommPort);
    Quorin::EchoReceiveLoop loop(form);
    return Quorin::runReader(form);
}
