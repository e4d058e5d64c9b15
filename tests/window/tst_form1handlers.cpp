#include "fakecommport.h"
#include "form1.h"
#include "samplereceiveloop.h"
#include "scriptedwait.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// The standard window on a fake port whose log also shows the lamp's changes.
struct Window
{
    Window() { port->logLamp(form.lamp()); }

    FakeCommPort *port = new FakeCommPort;
    Quorin::Form1 form{Quorin::standardLayout(), port};
};

} // namespace

// Checks the window's load, stop and exit handlers against the port, step by step, and the
// report of a failure.
class TestForm1Handlers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void stopAndExitTouchOnlyAnOpenPort_data()
    {
        QTest::addColumn<QStringList>("actions"); // buttons clicked, or "close" for the window
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("ending");
        const QStringList stop = entries("Lamp=Unlit PortOpen=False");
        QTest::newRow("Stop twice") << entries("Command1 Command1") << stop << false;
        QTest::newRow("Esci") << entries("Command3") << entries("PortOpen=False") << true;
        QTest::newRow("Esci after Stop") << entries("Command1 Command3") << stop << true;
        QTest::newRow("window closed") << entries("close") << entries("PortOpen=False") << true;
    }

    void stopAndExitTouchOnlyAnOpenPort()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, expected);
        QFETCH(bool, ending);
        Window window;
        window.form.load();
        // Port 3 set up and opened, the lamp lit once it is.
        QCOMPARE(window.port->log(),
                 entries("InputLen=0 CommPort=3 Settings=9600,N,8,1 "
                         "Lamp=Unlit PortOpen=True Lamp=Lit"));
        window.form.show();
        window.port->clearLog();
        for (const QString &action : actions) {
            if (action == u"close")
                window.form.close();
            else
                clickButton(window.form, qPrintable(action));
        }
        QCOMPARE(window.port->log(), expected);
        QVERIFY(!window.port->isOpen());
        QCOMPARE(window.form.isEnding(), ending);
        QCOMPARE(window.form.isVisible(), !ending);
    }

    // Whatever fails, the port is closed and the lamp unlit before the report waits for the
    // user, and the program then ends with status 1. Runs the application's event loop, as the
    // program does.
    void failureClosesThePortAndUnlightsTheLampBeforeTheReport_data()
    {
        QTest::addColumn<bool>("reopen"); // false: the open port fails during a run
        QTest::newRow("port fails while open") << false;
        QTest::newRow("Ricevi i dati cannot reopen the port") << true;
    }

    void failureClosesThePortAndUnlightsTheLampBeforeTheReport()
    {
        QFETCH(bool, reopen);
        Window window;
        Quorin::SampleReceiveLoop loop(window.form);
        window.form.load();
        window.form.show();
        QString report;
        bool openDuringReport = true;
        bool litDuringReport = true;
        bool plainText = false;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                report = box->text();
                openDuringReport = window.port->isOpen();
                litDuringReport = window.form.lamp()->state() == Quorin::LampState::Lit;
                plainText = box->textFormat() == Qt::PlainText;
                box->accept();
            }
        });
        watcher.start(10);
        QTimer::singleShot(60'000, &watcher, [] { QCoreApplication::exit(-1); }); // never hang
        QTimer::singleShot(0, window.port, [&] {
            if (reopen) {
                clickButton(window.form, "Command1");
                window.port->refuse(u"PortOpen=True"_s);
                clickButton(window.form, "Command2");
            } else {
                Q_EMIT window.port->failed(u"<b>Gone</b>."_s);
            }
        });

        QCOMPARE(QApplication::exec(), 1);
        QCOMPARE(report, reopen ? u"Fake serial port refuses PortOpen=True."_s : u"<b>Gone</b>."_s);
        QVERIFY(plainText); // what a device or the system says is shown as it is
        QVERIFY(!openDuringReport);
        QVERIFY(!litDuringReport);
        QVERIFY(!window.form.isVisible());
    }
};

QTEST_MAIN(TestForm1Handlers)
#include "tst_form1handlers.moc"
