#include "echoreceiveloop.h"
#include "echotext.h"
#include "scriptedwait.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

using Quorin::EchoReceiveLoop;
using namespace Qt::StringLiterals;

namespace {

struct Reader : ScriptedReader<EchoReceiveLoop>
{
    Reader()
        : ScriptedReader(Quorin::didacticLayout())
    {
    }

    // Scripts the priming reads so that the box then holds `primed`, newest first.
    void prime(const QByteArray &primed)
    {
        for (qsizetype i = primed.size() - 1; i >= 0; --i)
            wait.then([this, byte = primed.mid(i, 1)] { port->arrive(byte); });
    }

    [[nodiscard]] QByteArray box() const { return Quorin::echoBytes(echoBox()->text()); }
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
        const QByteArray primed = bytes({255, 200}).repeated(32);
        const QByteArray primedAgain = bytes({255, 254}, 62);
        const QList<qsizetype> priming(64, 1); // 64 single reads
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
        QCOMPARE(valuesAfterPriming, (QStringList{QString(), u"78.7"_s}));
        QCOMPARE(reader.box(), bytes({}, 100, '\x09') + primedAgain + bytes({}, 100) + primed);
        QCOMPARE(reader.value(), u"100.0"_s);
    }

    // What the user pasted into the echo box is decoded as if received: a character of the code
    // page as its byte, a character without a byte of its own as "?", 63, and a control picture
    // as its control byte. Whatever it is, the run goes on and shows the next value.
    void decodesWhatTheBoxHolds_data()
    {
        QTest::addColumn<QString>("typed"); // pasted over the echo box; null: untouched
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QString>("expected"); // null: the value box keeps what it showed

        const QByteArray plain = bytes({}, 100, '\x09');
        const QByteArray trailingSync = bytes({}, 99, '\x09') + '\xff';
        QTest::newRow("sync inside the read")
            << QString() << bytes({}, 50, '\x09') + bytes({255, 200}, 48) << u"78.7"_s;
        QTest::newRow("read without sync, sync in the box behind it")
            << QString() << plain << u"50.2"_s;
        // The character after a trailing sync is the box's older front: (7 - 1) * 100 / 253.
        QTest::newRow("sync as the read's last character") << QString() << trailingSync << u"2.4"_s;
        // (9 - 1) * 100 / 253 = 3.16...
        QTest::newRow("cleared box, no sync: the read's first byte") << u""_s << plain << u"3.2"_s;
        QTest::newRow("cleared box, the read's only sync is last")
            << u""_s << trailingSync << QString();
        // The euro sign is 128: (128 - 1) * 100 / 253 = 50.19...
        QTest::newRow("euro sign after a trailing sync")
            << u"\u20ac"_s << trailingSync << u"50.2"_s;
        // (200 - 1) * 100 / 253 = 78.65...
        QTest::newRow("a million characters, cut to the box's length")
            << u"\u00ff\u00c8"_s + QString(1'000'000, u'A') << plain << u"78.7"_s;
        // Each stands for no byte: (63 - 1) * 100 / 253 = 24.50...
        QTest::newRow("emoji, a surrogate pair")
            << u"\u00ff\U0001F600\u00c8"_s << plain << u"24.5"_s;
        QTest::newRow("typed control character") << u"\u00ff\u0001"_s << plain << u"24.5"_s;
        QTest::newRow("U+0080, which no byte shows as") << u"\u00ff\u0080"_s << plain << u"24.5"_s;
        QTest::newRow("control picture") << u"\u00ff\u2401"_s << plain << u"0.0"_s;
    }

    void decodesWhatTheBoxHolds()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, read);
        QFETCH(QString, expected);
        Reader reader;
        const QByteArray primed = bytes({7, 255, 128}, 61);
        reader.prime(primed);
        reader.wait.then([&] {
            if (!typed.isNull()) {
                QGuiApplication::clipboard()->setText(typed);
                reader.echoBox()->selectAll();
                reader.echoBox()->paste();
            }
            reader.valueBox()->setText(u"12.3"_s);
            reader.port->arrive(read);
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        if (typed.isNull())
            QCOMPARE(reader.box(), read + primed);
        QCOMPARE(reader.value(), expected.isNull() ? u"12.3"_s : expected);
        QVERIFY(reader.echoBox()->text().size() <= 2048); // the characters the box keeps
    }

    // Every byte has a character of its own, and the box gives back the very bytes it was given.
    void boxShowsEveryByteAndKeepsTheNewest()
    {
        constexpr int Length = 2048; // the characters the box keeps
        // Control pictures, ASCII, the picture of delete, Windows-1252 from 128 to 159, whose five
        // undefined codes keep their C1 control character, then Latin-1.
        QString everyByte;
        for (char16_t code = 0; code < 32; ++code)
            everyByte += QChar(u'\u2400' + code);
        for (char16_t code = 32; code < 127; ++code)
            everyByte += QChar(code);
        everyByte += u"\u2421"
                     "€\u0081‚ƒ„…†‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ"_s;
        for (char16_t code = 160; code < 256; ++code)
            everyByte += QChar(code);

        Reader reader;
        QByteArray large; // every byte value, and more than the box holds
        for (int i = 0; i < Length + 1000; ++i)
            large += static_cast<char>(i % 256);
        const QByteArray small = bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
        QString shownAfterLarge;
        QByteArray afterLarge;
        reader.wait.then([&] { reader.port->arrive(large); }).then([&] {
            shownAfterLarge = reader.echoBox()->text();
            afterLarge = reader.box();
            reader.port->arrive(small);
        });
        clickButton(reader.form, "Command2");

        QVERIFY(reader.wait.ranOut());
        QCOMPARE(shownAfterLarge.first(256), everyByte);
        QCOMPARE(afterLarge, large.first(Length));
        QCOMPARE(reader.box(), small + large.first(Length - small.size()));
    }
};

QTEST_MAIN(TestEchoReceiveLoop)
#include "tst_echoreceiveloop.moc"
