#include "protocol.h"
#include "signalgenerator.h"

#include <QTest>

#include <random>

using Quorin::SignalGenerator;
using Quorin::SignalSettings;
using Quorin::SignalShape;

namespace {

constexpr int HighestCode = Quorin::LowestCode + static_cast<int>(Quorin::CodeSpan);
constexpr char Sync = static_cast<char>(Quorin::SyncByte);

SignalSettings settingsFor(SignalShape shape, int code = SignalSettings::DefaultCode,
                           int period = SignalSettings::DefaultPeriod, quint32 seed = 1)
{
    SignalSettings settings;
    settings.shape = shape;
    settings.code = code;
    settings.period = period;
    settings.seed = seed;
    return settings;
}

// The codes of a stream made only of whole frames; fails the test on a frame without sync.
QList<int> frameCodes(const QByteArray &stream)
{
    QList<int> codes;
    for (qsizetype i = 0; i + 1 < stream.size(); i += SignalSettings::BytesPerFrame) {
        if (stream.at(i) != Sync)
            return {};
        codes.append(static_cast<unsigned char>(stream.at(i + 1)));
    }
    return codes;
}

qsizetype longestRunWithoutSync(const QByteArray &stream)
{
    qsizetype longest = 0;
    qsizetype run = 0;
    for (const char byte : stream) {
        run = byte == Sync ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

// Checks the simulated sensor's stream, byte for byte.
class TestSignalGenerator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chunkingKeepsTheStream_data()
    {
        QTest::addColumn<SignalSettings>("settings");
        QTest::newRow("constant") << settingsFor(SignalShape::Constant, 127);
        QTest::newRow("ramp") << settingsFor(SignalShape::Ramp);
        QTest::newRow("sine, odd period") << settingsFor(SignalShape::Sine, 0, 37);
        QTest::newRow("noise, seed 1") << settingsFor(SignalShape::Noise);
        QTest::newRow("noise, seed 99") << settingsFor(SignalShape::Noise, 0, 1, 99);
    }

    void chunkingKeepsTheStream()
    {
        QFETCH(SignalSettings, settings);
        constexpr qsizetype Size = 100'000;
        const QByteArray whole = SignalGenerator(settings).next(Size);
        QCOMPARE(whole.size(), Size);

        SignalGenerator chunked(settings);
        std::mt19937 sizes(7);
        QByteArray joined;
        while (joined.size() < Size) {
            // Mostly small odd sizes, so that frames and garbage runs are cut everywhere.
            const qsizetype want = sizes() % 8 == 0 ? sizes() % 5000 : sizes() % 4;
            joined += chunked.next(std::min(want, Size - joined.size()));
        }
        QCOMPARE(joined, whole);
        QVERIFY(chunked.next(0).isEmpty());
        QVERIFY(chunked.next(-3).isEmpty());
    }

    void constantCarriesItsCode_data()
    {
        QTest::addColumn<int>("code");
        for (const int code : {0, 1, 127, 128, 254})
            QTest::addRow("%d", code) << code;
    }

    void constantCarriesItsCode()
    {
        QFETCH(int, code);
        const QList<int> codes = frameCodes(
            SignalGenerator(settingsFor(SignalShape::Constant, code)).next(10'001));
        QCOMPARE(codes.size(), 5'000);
        QCOMPARE(codes.count(code), codes.size());
    }

    void rampStepsAndWraps()
    {
        const QList<int> codes = frameCodes(SignalGenerator(settingsFor(SignalShape::Ramp))
                                                .next(2 * (3 * HighestCode + 10)));
        QVERIFY(!codes.isEmpty());
        QCOMPARE(codes.first(), Quorin::LowestCode);
        for (qsizetype i = 1; i < codes.size(); ++i) {
            const int expected = codes.at(i - 1) == HighestCode ? Quorin::LowestCode
                                                                : codes.at(i - 1) + 1;
            QCOMPARE(codes.at(i), expected);
        }
    }

    void sineSwingsOverTheRange_data()
    {
        QTest::addColumn<int>("period");
        QTest::newRow("default") << SignalSettings::DefaultPeriod;
        QTest::newRow("short") << 8;
        QTest::newRow("odd") << 101;
    }

    void sineSwingsOverTheRange()
    {
        QFETCH(int, period);
        const QList<int> codes = frameCodes(
            SignalGenerator(settingsFor(SignalShape::Sine, 0, period)).next(2 * 5 * period));
        QCOMPARE(codes.size(), 5 * period);
        QCOMPARE(*std::min_element(codes.begin(), codes.end()), Quorin::LowestCode);
        QCOMPARE(*std::max_element(codes.begin(), codes.end()), HighestCode);
        for (qsizetype i = 0; i + period < codes.size(); ++i)
            QCOMPARE(codes.at(i + period), codes.at(i));
        QCOMPARE(codes.first(), (Quorin::LowestCode + HighestCode + 1) / 2);
        if (period % 4 == 0) {
            QCOMPARE(codes.at(period / 4), HighestCode);
            QCOMPARE(codes.at(3 * period / 4), Quorin::LowestCode);
        }
    }

    void noiseIsReproducible()
    {
        constexpr qsizetype Size = 50'000;
        const auto noise = [](quint32 seed) {
            return SignalGenerator(settingsFor(SignalShape::Noise, 0, 1, seed)).next(Size);
        };
        QCOMPARE(noise(5), noise(5));
        QVERIFY(noise(5) != noise(6));
    }

    void noiseHasEveryAwkwardCase_data()
    {
        QTest::addColumn<quint32>("seed");
        for (const quint32 seed : {1u, 2u, 12345u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void noiseHasEveryAwkwardCase()
    {
        QFETCH(quint32, seed);
        const QByteArray noise =
            SignalGenerator(settingsFor(SignalShape::Noise, 0, 1, seed)).next(200'000);
        const auto isCode = [](char byte) {
            const auto code = static_cast<unsigned char>(byte);
            return code >= Quorin::LowestCode && code <= HighestCode;
        };
        int syncAfterSync = 0; // the reader cannot tell a code 255 from the next sync
        int truncated = 0;     // a sync, then at once a whole frame
        int belowRange = 0;
        int readable = 0;
        int longRuns = 0;
        qsizetype run = 0;
        for (qsizetype i = 0; i + 3 < noise.size(); ++i) {
            const bool sync = noise.at(i) == Sync;
            const bool syncNext = noise.at(i + 1) == Sync;
            syncAfterSync += sync && syncNext && noise.at(i + 2) == Sync;
            truncated += sync && syncNext && isCode(noise.at(i + 2)) && noise.at(i + 3) == Sync;
            belowRange += sync && noise.at(i + 1) == 0;
            readable += sync && isCode(noise.at(i + 1));
            run = sync ? 0 : run + 1;
            longRuns += run == 301;
        }
        QVERIFY2(syncAfterSync >= 200, "a sync carried as a code");
        QVERIFY2(truncated >= 200, "a truncated frame");
        QVERIFY2(belowRange >= 200, "code 0");
        QVERIFY2(longRuns >= 10, "garbage runs over 300 bytes");
        QVERIFY2(longestRunWithoutSync(noise) < 10'000, "garbage runs of a few thousand at most");
        // A reader must still get values out of it, or the awkward cases prove nothing.
        QVERIFY(readable > 10'000);
    }
};

QTEST_APPLESS_MAIN(TestSignalGenerator)
#include "tst_signalgenerator.moc"
