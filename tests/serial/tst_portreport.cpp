// What a report says when port 3 does not exist: the serial ports the system has, and the one
// step that gives the sensor's port number 3.

#include "portreport.h"

#include <QTest>

using Quorin::SystemPort;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<SystemPort>)

namespace {

#ifdef Q_OS_WIN
const auto Adapter = u"COM4"_s;
const auto OnBoard = u"COM1"_s;
const auto Step = u"in Gestione dispositivi aprire Porte (COM e LPT), poi le Proprietà del "
                  "dispositivo, Impostazioni della porta, Avanzate, e scegliere COM3 come Numero "
                  "porta COM."_s;
QString stepForOne(const QString &)
{
    return Step;
}
#else
const auto Adapter = u"/dev/ttyUSB0"_s;
const auto OnBoard = u"/dev/ttyS0"_s;
const auto Step = u"eseguire \"sudo quorin-port3\" seguito dal suo dispositivo, per esempio "
                  "\"sudo quorin-port3 /dev/ttyUSB0\"."_s;
QString stepForOne(const QString &port)
{
    return u"eseguire \"sudo quorin-port3 %1\"."_s.arg(port);
}
#endif

} // namespace

class TestPortReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesThePortsThereAndTheStepToPortThree_data()
    {
        QTest::addColumn<QList<SystemPort>>("ports");
        QTest::addColumn<QString>("advice");
        QTest::newRow("none") << QList<SystemPort>()
                              << u"Al PC non è collegata alcuna porta seriale: collegare il "
                                 "sensore e avviare di nuovo il programma."_s;
        QTest::newRow("one adapter")
            << QList<SystemPort>{{Adapter, u"FT232R USB UART"_s}}
            << u"Il PC ha la porta seriale %1 (FT232R USB UART): per darle il numero 3, "_s.arg(
                   Adapter)
                + stepForOne(Adapter);
        QTest::newRow("an on-board port without a description")
            << QList<SystemPort>{{OnBoard, QString()}}
            << u"Il PC ha la porta seriale %1: per darle il numero 3, "_s.arg(OnBoard)
                + stepForOne(OnBoard);
        // The adapter, which describes itself, comes first; a description keeps to one plain line.
        QTest::newRow("several")
            << QList<SystemPort>{{OnBoard, QString()}, {Adapter, u"USB-SERIAL\n\aCH340"_s}}
            << u"Il PC ha le porte seriali %1 (USB-SERIAL CH340), %2: per dare il numero 3 a "
               "quella del sensore, "_s.arg(Adapter, OnBoard)
                + Step;
        QList<SystemPort> many{{Adapter, u"FT232R USB UART"_s}};
        for (int n = 5; n <= 9; ++n)
            many.append({OnBoard.chopped(1) + QString::number(n), QString()});
        QTest::newRow("more than a few")
            << many
            << u"Il PC ha le porte seriali %1 (FT232R USB UART), %2, %3, %4 e altre 2: per dare il "
               "numero 3 a quella del sensore, "_s.arg(Adapter, many[1].name, many[2].name,
                                                       many[3].name)
                + Step;
    }

    void namesThePortsThereAndTheStepToPortThree()
    {
        QFETCH(QList<SystemPort>, ports);
        QFETCH(QString, advice);
        QCOMPARE(Quorin::missingPortAdvice(3, ports), advice);
    }

    void systemWordsComeQuotedWithoutTheirFullStop()
    {
        QCOMPARE(Quorin::quotedSystemWords(u"Accesso negato.\r\n"_s), u"\"Accesso negato\""_s);
        QCOMPARE(Quorin::quotedSystemWords(u"Input/output error"_s), u"\"Input/output error\""_s);
    }
};

QTEST_APPLESS_MAIN(TestPortReport)
#include "tst_portreport.moc"
