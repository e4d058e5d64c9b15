#include "framedecoder.h"
#include "testbytes.h"

#include <QTest>

#include <vector>

using Codes = std::vector<int>;
Q_DECLARE_METATYPE(Codes)

// Checks that the recorder's decoding finds every sample of a stream, however it is cut into reads.
class TestFrameDecoder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findsEverySample_data()
    {
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<Codes>("expected");
        QTest::newRow("frames in one read")
            << QByteArrayList{bytes({255, 1, 255, 128, 255, 254})} << Codes{1, 128, 254};
        QTest::newRow("a frame across two reads")
            << QByteArrayList{bytes({255, 7, 255}), bytes({9, 255, 11})} << Codes{7, 9, 11};
        // The port opened in the middle of a frame: its code has no sync byte before it.
        QTest::newRow("code before the first sync")
            << QByteArrayList{bytes({100, 255, 101})} << Codes{101};
        QTest::newRow("sync without a code, then a frame")
            << QByteArrayList{bytes({255}), bytes({255, 50})} << Codes{50};
        QTest::newRow("noise between frames is no sample")
            << QByteArrayList{bytes({255, 20, 21, 22, 255, 23})} << Codes{20, 23};
        QTest::newRow("code 0, below the scale") << QByteArrayList{bytes({255, 0})} << Codes{0};
        QTest::newRow("empty reads")
            << QByteArrayList{{}, bytes({255}), {}, bytes({3})} << Codes{3};
    }

    void findsEverySample()
    {
        QFETCH(QByteArrayList, reads);
        QFETCH(Codes, expected);
        Quorin::FrameDecoder decoder;
        Codes codes;
        for (const QByteArray &read : reads)
            decoder.decode(read, codes);
        QCOMPARE(codes, expected);
    }

    void aNewStreamCompletesNoFrameOfTheOld()
    {
        Quorin::FrameDecoder decoder;
        Codes codes;
        decoder.decode(bytes({255, 40, 255}), codes);
        decoder.reset();
        decoder.decode(bytes({41, 255, 42}), codes);
        QCOMPARE(codes, (Codes{40, 42}));
    }
};

QTEST_APPLESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
