#include "echoreceiveloop.h"
#include "echotext.h"
#include "fakecommport.h"
#include "form1.h"
#include "scriptedwait.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>

using Quorin::EchoReceiveLoop;

namespace {

// The didactic window, loaded on its fake port, with the didactic loop scripted.
struct Reader
{
    Reader()
    {
        form.load();
        port->clearLog();
        form.show();
    }

    // Scripts the priming reads so that the box then holds `primed`, newest first.
    void prime(const QByteArray &primed)
    {
        for (qsizetype i = primed.size() - 1; i >= 0; --i)
            wait.then([this, byte = primed.mid(i, 1)] { port->arrive(byte); });
    }

    [[nodiscard]] QString value() const { return form.valueBox()->text(); }
    [[nodiscard]] QByteArray box() const { return Quorin::echoBytes(form.echoBox()->text()); }

    FakeCommPort *port = new FakeCommPort;
    Quorin::Form1 form{Quorin::didacticLayout(), port};
    EchoReceiveLoop loop{form};
    ScriptedWait wait{form, loop};
};

} // namespace

// Checks the didactic reader's loop through its window: the echo box and the value decoded
// from it.
class TestEchoReceiveLoop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void primesOnEveryClickThenWaitsForAHundred()
    {
        Reader reader;
        // Sync and code alternate, newest first: decoding during priming would show 78.7.
        const QByteArray primed = bytes({255, 200}).repeated(EchoReceiveLoop::PrimingReads / 2);
        const QByteArray primedAgain = bytes({255, 254}, 62);
        const QList<qsizetype> priming(EchoReceiveLoop::PrimingReads, 1); // single bytes
        QStringList valuesAfterPriming;
        QList<qsizetype> readsAtNinetyNine;
        reader.wait.then().then(); // nothing waiting, nothing read
        reader.prime(primed);
        reader.wait
            .then([&] {
                valuesAfterPriming.append(reader.value());
                reader.port->arrive(bytes({}, 99));
            })
            .then()
            .then()
            .then([&] {
                readsAtNinetyNine = reader.port->readSizes();
                reader.port->arrive(bytes({7}));
            })
            .then([&] { clickButton(reader.form, "Command2"); });
        reader.prime(primedAgain);
        reader.wait.then([&] {
            valuesAfterPriming.append(reader.value());
            reader.port->arrive(bytes({}, 100, '\x09'));
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QCOMPARE(readsAtNinetyNine, priming);
        QCOMPARE(reader.port->readSizes(), (priming + QList<qsizetype>{100}) + priming << 100);
        // The first hundred decode through the primed front: (200 - 1) * 100 / 253 = 78.65...
        QCOMPARE(valuesAfterPriming, (QStringList{QString(), QStringLiteral("78.7")}));
        QCOMPARE(reader.box(), bytes({}, 100, '\x09') + primedAgain + bytes({}, 100) + primed);
        QCOMPARE(reader.value(), QStringLiteral("100.0"));
    }

    void decodesWhatTheBoxHolds_data()
    {
        QTest::addColumn<QString>("typed"); // what the user left in the box; null: untouched
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QString>("expected"); // null: the value box keeps what it showed

        const QByteArray trailingSync = bytes({}, 99, '\x09') + '\xff';
        QTest::newRow("sync inside the read")
            << QString() << bytes({}, 50, '\x09') + bytes({255, 200}, 48) << QStringLiteral("78.7");
        QTest::newRow("read without sync, sync in the box behind it")
            << QString() << bytes({}, 100, '\x09') << QStringLiteral("50.2");
        // The character after a trailing sync is the box's older front: (7 - 1) * 100 / 253.
        QTest::newRow("sync as the read's last character")
            << QString() << trailingSync << QStringLiteral("2.4");
        // (9 - 1) * 100 / 253 = 3.16...
        QTest::newRow("cleared box, no sync: the read's first byte")
            << QStringLiteral("") << bytes({}, 100, '\x09') << QStringLiteral("3.2");
        QTest::newRow("cleared box, the read's only sync is last")
            << QStringLiteral("") << trailingSync << QString();
        // A character without a byte of its own counts as "?", 63: 62 * 100 / 253 = 24.50...
        QTest::newRow("typed euro sign after a trailing sync")
            << QStringLiteral("\u20ac") << trailingSync << QStringLiteral("24.5");
    }

    void decodesWhatTheBoxHolds()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, read);
        QFETCH(QString, expected);

        Reader reader;
        const QByteArray primed = bytes({7, 255, 128}, 61);
        const QString previous = QStringLiteral("12.3");
        reader.prime(primed);
        reader.wait.then([&] {
            if (!typed.isNull())
                reader.form.echoBox()->setText(typed);
            reader.form.valueBox()->setText(previous);
            reader.port->arrive(read);
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        if (typed.isNull())
            QCOMPARE(reader.box(), read + primed);
        QCOMPARE(reader.value(), expected.isNull() ? previous : expected);
    }

    // Whatever a user pastes into either box, the run goes on and decodes what the echo box
    // then holds; the value box simply shows the next value.
    void anyPastedTextIsDecodedWithoutHarm_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("expected");

        // (200 - 1) * 100 / 253 = 78.65...; (63 - 1) * 100 / 253 = 24.50...
        QTest::newRow("a million characters, cut to the box's length")
            << QStringLiteral("\u00ff\u00c8") + QString(1000000, u'A') << QStringLiteral("78.7");
        QTest::newRow("emoji, a surrogate pair")
            << QStringLiteral("\u00ff\U0001F600\u00c8") << QStringLiteral("24.5");
        QTest::newRow("lone surrogate")
            << QStringLiteral("\u00ff") + QChar(0xd800) << QStringLiteral("24.5");
        QTest::newRow("right-to-left and combining marks")
            << QStringLiteral("\u00ff\u202e\u0301") << QStringLiteral("24.5");
        // Typed raw, a control character has no byte of its own; its picture, as the box shows
        // received control bytes, stands for the byte.
        QTest::newRow("control characters")
            << QStringLiteral("\u00ff\u0001\u0000\u001b") << QStringLiteral("24.5");
        QTest::newRow("a control picture")
            << QStringLiteral("\u00ff\u2401") << QStringLiteral("0.0");
    }

    void anyPastedTextIsDecodedWithoutHarm()
    {
        QFETCH(QString, pasted);
        QFETCH(QString, expected);

        Reader reader;
        reader.prime(bytes({}, 64, '\x05'));
        reader.wait.then([&] {
            QGuiApplication::clipboard()->setText(pasted);
            for (QLineEdit *box : {reader.form.echoBox(), reader.form.valueBox()}) {
                box->selectAll();
                box->paste();
            }
            reader.port->arrive(bytes({}, 100, '\x09'));
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QCOMPARE(reader.value(), expected);
        QVERIFY(reader.form.echoBox()->text().size() <= EchoReceiveLoop::EchoBoxLength);
    }

    void boxKeepsTheNewestCharacters()
    {
        constexpr int Length = EchoReceiveLoop::EchoBoxLength;
        Reader reader;
        QByteArray large; // every byte value, and more than the box holds
        for (int i = 0; i < Length + 1000; ++i)
            large += static_cast<char>(i % 256);
        const QByteArray small = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        QByteArray afterLarge;
        reader.wait.then([&] { reader.port->arrive(large); }).then([&] {
            afterLarge = reader.box();
            reader.port->arrive(small);
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QCOMPARE(afterLarge, large.first(Length)); // one character a byte, and back
        QCOMPARE(reader.form.echoBox()->text(),
                 Quorin::echoText(small + large.first(Length - small.size())));
    }
};

QTEST_MAIN(TestEchoReceiveLoop)
#include "tst_echoreceiveloop.moc"
