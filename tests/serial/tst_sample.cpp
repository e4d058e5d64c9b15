#include "sample.h"
#include "testbytes.h"

#include <QTest>

#include <algorithm>
#include <memory>

using Quorin::decodeSample;

namespace {

QString shown(const std::optional<QString> &value)
{
    return value.value_or(QString()); // null: no value to show
}

} // namespace

// Checks how a received text becomes the value in the box, and that the few bytes the reader
// keeps between reads show what the whole text would.
class TestSample : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodesTheCodeAfterTheFirstSync_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected"); // null: nothing to show

        const QLocale c = QLocale::c();
        const QLocale italian(QLocale::Italian, QLocale::Italy);
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        const QByteArray plain(32767, '\x07');
        // v = (code - 1) * 100 / 253, one decimal.
        QTest::newRow("code 0, below zero") << bytes({255, 0}) << c << QStringLiteral("-0.4");
        QTest::newRow("code 1 is zero, unsigned") << bytes({255, 1}) << c << QStringLiteral("0.0");
        // 126 * 100 / 253 = 49.80...
        QTest::newRow("Italian") << bytes({255, 127}) << italian << QStringLiteral("49,8");
        // 254 * 100 / 253 = 100.39...
        QTest::newRow("code 255 as sample, Arabic separator, ASCII digits")
            << bytes({255, 255}) << arabic << QStringLiteral("100") + arabic.decimalPoint() + u'4';
        QTest::newRow("first sync wins over later ones")
            << bytes({10, 255, 127, 255, 254}) << c << QStringLiteral("49.8");
        QTest::newRow("no sync: first byte is the code")
            << bytes({127, 254, 3}) << c << QStringLiteral("49.8");
        QTest::newRow("empty text") << QByteArray() << c << QString();
        // The old program ended itself here; now the box keeps what it showed.
        QTest::newRow("only sync is the last byte") << bytes({1, 2, 254, 255}) << c << QString();
        // The old program kept the position in 16 bits and overflowed from 32767 on.
        QTest::newRow("first sync at 32767")
            << plain + bytes({255, 127}) << c << QStringLiteral("49.8");
    }

    void decodesTheCodeAfterTheFirstSync()
    {
        QFETCH(QByteArray, received);
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);

        const auto value = decodeSample(received, locale);
        QCOMPARE(value.has_value(), !expected.isNull());
        QCOMPARE(shown(value), expected);
        for (const QChar c : shown(value)) // digits and sign stay ASCII in every locale
            QVERIFY2(c.unicode() < 128 || locale.decimalPoint().contains(c), qPrintable(*value));
    }

    // Every text of up to seven bytes drawn from a sync byte and two codes, cut into reads in
    // every way, each read put in front of what came before: after every read, the bytes kept,
    // three at most, show what the whole text shows. Each read sits in a buffer of exactly its
    // size, so that AddressSanitizer sees a byte read past its end.
    void keptBytesShowWhatTheWholeTextShows()
    {
        const QLocale c = QLocale::c();
        const char codes[] = {char(255), char(1), char(128)};
        constexpr int Longest = 7;
        int texts = 1;
        for (int length = 1; length <= Longest; ++length) {
            texts *= 3;
            for (int text = 0; text < texts; ++text) {
                QByteArray stream; // in arrival order
                for (int i = 0, digits = text; i < length; ++i, digits /= 3)
                    stream += codes[digits % 3];
                // A read ends after byte i where bit i of `cuts` is set, and at the end.
                for (unsigned cuts = 0; cuts < 1U << (length - 1); ++cuts) {
                    QByteArray whole;
                    QByteArray kept;
                    for (qsizetype from = 0, to = 0; to < length; from = to) {
                        while (++to < length && !(cuts >> (to - 1) & 1U)) { }
                        const auto read = std::make_unique<char[]>(size_t(to - from));
                        std::copy(stream.begin() + from, stream.begin() + to, read.get());
                        const QByteArrayView view(read.get(), to - from);
                        whole.prepend(view);
                        kept = Quorin::keepDecodable(kept.prepend(view));
                        const bool same = decodeSample(kept, c) == decodeSample(whole, c)
                            && decodeSample(Quorin::keepDecodable(view), c)
                                == decodeSample(view, c);
                        QVERIFY2(same && kept.size() <= 3, whole.toHex(' ').constData());
                    }
                }
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestSample)
#include "tst_sample.moc"
