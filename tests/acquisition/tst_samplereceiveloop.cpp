#include "samplereceiveloop.h"
#include "scriptedwait.h"

#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

using Reader = ScriptedReader<Quorin::SampleReceiveLoop>;

// Checks the standard reader's loop through its window: what it reads, when, and what it shows.
class TestSampleReceiveLoop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsOnceTenBytesWait()
    {
        Reader reader(Quorin::standardLayout());
        QList<qsizetype> readsAtNine;
        reader.wait.then([&] { reader.port->arrive(bytes({255, 128}, 7)); }).then().then();
        reader.wait.then([&] {
            readsAtNine = reader.port->readSizes();
            reader.port->arrive(bytes({9}));
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QCOMPARE(readsAtNine, QList<qsizetype>());
        QCOMPARE(reader.port->readSizes(), QList<qsizetype>{10});
        QCOMPARE(reader.value(), u"50.2"_s); // (128 - 1) * 100 / 253 = 50.19...
    }

    void showsEachReadInFrontOfTheEarlierOnes_data()
    {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QStringList>("shown");
        // The sample after a read's trailing sync is the earlier read's first byte, 255 here.
        QTest::newRow("a trailing sync takes the earlier read's first byte")
            << QList{bytes({255, 254}, 8), bytes({}, 9, '\x09') + '\xff'} << entries("100.0 100.4");
        QTest::newRow("a lone trailing sync shows nothing, later reads neither")
            << QList{bytes({}, 9) + '\xff', bytes({}, 10)} << QStringList{{}, {}};
    }

    void showsEachReadInFrontOfTheEarlierOnes()
    {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QStringList, shown);
        Reader reader(Quorin::standardLayout());
        QStringList seen;
        for (const QByteArray &read : reads) {
            reader.wait.then([&reader, read] { reader.port->arrive(read); }).then([&] {
                seen.append(reader.value());
            });
        }
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QCOMPARE(seen, shown);
    }

    // A value that stays the same leaves the box alone, so that a user can select it and copy it.
    void steadyValueStaysSelected()
    {
        Reader reader(Quorin::standardLayout());
        bool selectedAfterSameValue = false;
        reader.wait.then([&] {
                       reader.port->arrive(bytes({255, 128}, 8));
                   })
            .then([&] {
                reader.valueBox()->selectAll();
                reader.port->arrive(bytes({255, 128}, 8));
            })
            .then([&] {
                selectedAfterSameValue = reader.valueBox()->selectedText() == u"50.2"_s;
                reader.port->arrive(bytes({255, 254}, 8));
            });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QVERIFY(selectedAfterSameValue);
        QCOMPARE(reader.value(), u"100.0"_s);
        QVERIFY(!reader.valueBox()->hasSelectedText());
    }

    void stopClosesThePortReceiveStartsAFreshRunExitEnds()
    {
        Reader reader(Quorin::standardLayout());
        bool lampLitWhileStopped = true;
        reader.wait.then([&] {
                       reader.port->arrive(bytes({255, 254}, 8));
                   })
            .then([&] { clickButton(reader.form, "Command1"); })
            .then([&] {
                reader.port->arrive(bytes({255, 128}, 18)); // lost: the port is closed
                lampLitWhileStopped = reader.form.lamp()->state() == Quorin::LampState::Lit;
            })
            .then()
            .then([&] { clickButton(reader.form, "Command2"); })
            // Without the first run's text behind it, a read without sync shows its first
            // byte: (7 - 1) * 100 / 253 = 2.37...
            .then([&] { reader.port->arrive(bytes({}, 10)); })
            .then([&] {
                // Bytes wait, but Esci comes first: nothing more is read or shown.
                reader.port->arrive(bytes({255, 254}, 8));
                clickButton(reader.form, "Command3");
            });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QVERIFY(reader.form.isEnding());
        QVERIFY(!lampLitWhileStopped);
        QCOMPARE(reader.value(), u"2.4"_s);
        QStringList log = reader.port->log();
        log.removeAll(u"InputLen=0"_s);
        // The first run's read; Stop; the new run, its read; Exit.
        QCOMPARE(log,
                 entries("Input:10 Lamp=Unlit PortOpen=False Lamp=Lit PortOpen=True Input:10 "
                         "PortOpen=False"));
    }
};

QTEST_MAIN(TestSampleReceiveLoop)
#include "tst_samplereceiveloop.moc"
