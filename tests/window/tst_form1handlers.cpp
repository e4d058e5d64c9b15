#include "fakecommport.h"
#include "form1.h"
#include "scriptedwait.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

QStringList entries(std::initializer_list<const char *> names)
{
    QStringList list;
    for (const char *name : names)
        list.append(QString::fromLatin1(name));
    return list;
}

// The standard window on a fake port whose log also shows the lamp's changes.
struct Window
{
    Window() { port->logLamp(form.lamp()); }

    FakeCommPort *port = new FakeCommPort;
    Quorin::Form1 form{Quorin::standardLayout(), port};
};

} // namespace

// Checks the window's load, stop and exit handlers against the port, step by step.
class TestForm1Handlers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadConfiguresPortThreeAndOpensIt_data()
    {
        QTest::addColumn<bool>("openBefore");
        QTest::addColumn<QStringList>("expected");

        const QStringList configureAndOpen
            = entries({"InputLen=0", "CommPort=3", "Settings=9600,N,8,1", "Lamp=Unlit",
                       "PortOpen=True", "Lamp=Lit"});
        QTest::newRow("closed port") << false << configureAndOpen;
        QTest::newRow("port already open")
            << true << entries({"PortOpen=False"}) + configureAndOpen;
    }

    void loadConfiguresPortThreeAndOpensIt()
    {
        QFETCH(bool, openBefore);
        QFETCH(QStringList, expected);

        Window window;
        if (openBefore) {
            window.port->setOpen(true);
            window.port->clearLog();
        }
        window.form.load();
        QCOMPARE(window.port->log(), expected);
        QVERIFY(window.port->isOpen());
    }

    void refusedOpenDuringLoadThrows()
    {
        Window window;
        window.port->refuse(QStringLiteral("PortOpen=True"));
        QVERIFY_THROWS_EXCEPTION(Quorin::SerialError, window.form.load());
        // The lamp went out before the attempt and is never lit.
        QCOMPARE(window.port->log(),
                 entries({"InputLen=0", "CommPort=3", "Settings=9600,N,8,1", "Lamp=Unlit",
                          "PortOpen=True refused"}));
        QVERIFY(!window.port->isOpen());
    }

    void stopAndExitTouchOnlyAnOpenPort_data()
    {
        QTest::addColumn<QStringList>("actions"); // buttons clicked, or "close" for the window
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("ending");

        const QStringList stop = entries({"Lamp=Unlit", "PortOpen=False"});
        QTest::newRow("Stop twice") << entries({"Command1", "Command1"}) << stop << false;
        QTest::newRow("Esci") << entries({"Command3"}) << entries({"PortOpen=False"}) << true;
        QTest::newRow("Esci after Stop") << entries({"Command1", "Command3"}) << stop << true;
        QTest::newRow("window closed") << entries({"close"}) << entries({"PortOpen=False"}) << true;
    }

    void stopAndExitTouchOnlyAnOpenPort()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, expected);
        QFETCH(bool, ending);

        Window window;
        window.form.load();
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
        if (!ending)
            QCOMPARE(window.form.lamp()->state(), Quorin::LampState::Unlit);
    }

    // Runs the application's event loop as the program does, since a failure ends it.
    void refusedStopIsReportedAndEndsTheProgram()
    {
        Window window;
        window.form.load();
        window.form.show();
        window.port->refuse(QStringLiteral("PortOpen=False"));
        QString report;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                report = box->text();
                box->accept();
            }
        });
        closer.start(10);
        QTimer::singleShot(10'000, &closer, [] { QCoreApplication::exit(-1); }); // never hang
        QTimer::singleShot(0, &window.form, [&] { clickButton(window.form, "Command1"); });

        QCOMPARE(QApplication::exec(), 1);
        QCOMPARE(report, QStringLiteral("Fake serial port refuses PortOpen=False."));
        QVERIFY(!window.form.isVisible());
    }
};

QTEST_MAIN(TestForm1Handlers)
#include "tst_form1handlers.moc"
