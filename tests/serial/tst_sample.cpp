#include "sample.h"

#include <QTest>

using Quorin::decodeSample;

namespace {

QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray text;
    for (const int code : codes)
        text += static_cast<char>(code);
    return text;
}

QString shown(const std::optional<QString> &value)
{
    return value.value_or(QString()); // null: no value to show
}

} // namespace

// Checks how a received text becomes the value in the box. What of it the reader keeps between
// reads is fuzzed against the whole text in tests/fuzz.
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
        const QByteArray plain(40000, '\x07');
        // v = (code - 1) * 100 / 253, one decimal.
        QTest::newRow("code 0, below zero") << bytes({255, 0}) << c << QStringLiteral("-0.4");
        QTest::newRow("code 1 is zero, unsigned") << bytes({255, 1}) << c << QStringLiteral("0.0");
        // 126 * 100 / 253 = 49.80...
        QTest::newRow("code 127") << bytes({255, 127}) << c << QStringLiteral("49.8");
        // 254 * 100 / 253 = 100.39...
        QTest::newRow("code 255 as sample") << bytes({255, 255}) << c << QStringLiteral("100.4");
        QTest::newRow("Italian") << bytes({255, 127}) << italian << QStringLiteral("49,8");
        QTest::newRow("Italian, negative") << bytes({255, 0}) << italian << QStringLiteral("-0,4");
        QTest::newRow("Arabic separator, ASCII digits")
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
            << plain.first(32767) + bytes({255, 127}) << c << QStringLiteral("49.8");
        QTest::newRow("first sync at 40000")
            << plain + bytes({255, 254}) << c << QStringLiteral("100.0");
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
};

QTEST_APPLESS_MAIN(TestSample)
#include "tst_sample.moc"
