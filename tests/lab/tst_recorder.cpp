#include "fakecommport.h"
#include "recorder.h"
#include "session.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// One step of a script, at a time of the test's clock: start a run (interval, duration), frames
// arrive (their codes), the recorder's timer fires, stop, or the device goes away.
struct Step
{
    enum Kind { Start, Frames, Tick, Stop, Pull };
    qint64 atMs;
    Kind kind;
    QList<int> arguments;
};

// A point as a row states it: "time count sum min max", after "|" where the line breaks.
QString described(const Quorin::Point &point)
{
    return u"%1%2 %3 %4 %5 %6"_s.arg(point.startsLine ? u"|"_s : QString())
        .arg(point.timeMs)
        .arg(point.count)
        .arg(point.codeSum)
        .arg(point.minCode)
        .arg(point.maxCode);
}

} // namespace

Q_DECLARE_METATYPE(Step)

// Checks how the samples the recorder receives become the session's points: averaged over each
// interval on the session's time axis, a break in the line after a silent interval or a pause,
// the last samples kept when a run stops, fails or reaches its duration.
class TestRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void samplesBecomePoints_data()
    {
        QTest::addColumn<QList<Step>>("script");
        QTest::addColumn<QStringList>("points");
        QTest::addColumn<bool>("recording");
        using S = Step;
        QTest::newRow("each point the mean of its interval, the last one shorter")
            << QList<S>{{0, S::Start, {1000}},
                        {100, S::Frames, {100, 102}},
                        {900, S::Frames, {104}},
                        {1000, S::Frames, {110}},
                        {1500, S::Stop, {}}}
            << QStringList{u"|0 3 306 100 104"_s, u"1000 1 110 110 110"_s} << false;
        QTest::newRow("a silent interval closes on time and breaks the line")
            << QList<S>{{0, S::Start, {1000}},
                        {500, S::Frames, {50}},
                        {2200, S::Tick, {}},
                        {2500, S::Frames, {60, 62}},
                        {3100, S::Stop, {}}}
            << QStringList{u"|0 1 50 50 50"_s, u"|2000 2 122 60 62"_s} << false;
        QTest::newRow("a pause is a gap on the same axis; a run starts on a tenth of a second")
            << QList<S>{{0, S::Start, {1000}},    {300, S::Frames, {20}},  {600, S::Stop, {}},
                        {5678, S::Start, {1000}}, {5700, S::Frames, {30}}, {6100, S::Frames, {40}},
                        {6200, S::Stop, {}}}
            << QStringList{u"|0 1 20 20 20"_s, u"|5600 1 30 30 30"_s, u"6000 1 40 40 40"_s}
            << false;
        QTest::newRow("a run started soon after a stop starts after it, on a tenth")
            << QList<S>{{0, S::Start, {1000}},   {100, S::Frames, {20}}, {650, S::Stop, {}},
                        {680, S::Start, {1000}}, {800, S::Frames, {30}}, {900, S::Stop, {}}}
            << QStringList{u"|0 1 20 20 20"_s, u"|700 1 30 30 30"_s} << false;
        QTest::newRow("a run of a set duration ends at its end, by itself")
            << QList<S>{{0, S::Start, {500, 1000}},
                        {100, S::Frames, {10}},
                        {600, S::Frames, {12}},
                        {999, S::Frames, {14}},
                        {1300, S::Tick, {}}}
            << QStringList{u"|0 1 10 10 10"_s, u"500 2 26 12 14"_s} << false;
        QTest::newRow("samples after the end of a run's duration are not its")
            << QList<S>{{0, S::Start, {500, 1000}},
                        {400, S::Frames, {10}},
                        {1100, S::Frames, {99}},
                        {1200, S::Frames, {98}}}
            << QStringList{u"|0 1 10 10 10"_s} << false;
        QTest::newRow("a pulled device ends the run, keeping the open interval's samples")
            << QList<S>{{0, S::Start, {500}},
                        {100, S::Frames, {10}},
                        {600, S::Frames, {11, 13}},
                        {700, S::Pull, {}}}
            << QStringList{u"|0 1 10 10 10"_s, u"500 2 24 11 13"_s} << false;
    }

    void samplesBecomePoints()
    {
        QFETCH(QList<Step>, script);
        QFETCH(QStringList, points);
        QFETCH(bool, recording);
        qint64 now = 0;
        FakeCommPort port;
        Quorin::Session session;
        Quorin::Recorder recorder(port, session, nullptr, [&now] { return now; });
        QSignalSpy failures(&recorder, &Quorin::Recorder::failed);
        for (const Step &step : script) {
            now = step.atMs;
            switch (step.kind) {
            case Step::Start:
                recorder.start(step.arguments.at(0), step.arguments.value(1));
                break;
            case Step::Frames: {
                QByteArray frames;
                for (const int code : step.arguments)
                    frames.append(char(255)).append(char(code));
                port.arrive(frames);
                break;
            }
            case Step::Tick:
                recorder.catchUp();
                break;
            case Step::Stop:
                recorder.stop();
                break;
            case Step::Pull:
                port.setOpen(false);
                Q_EMIT port.failed(u"La porta seriale 3 ha smesso di funzionare."_s);
                break;
            }
        }
        QStringList recorded;
        for (const Quorin::Point &point : session.points())
            recorded += described(point);
        QCOMPARE(recorded, points);
        QCOMPARE(session.isRecording(), recording);
        QCOMPARE(failures.size(), script.constLast().kind == Step::Pull ? 1 : 0);
    }

    // The figures are those of the points' values, which the table and the files show.
    void figuresAreThoseOfThePoints()
    {
        qint64 now = 0;
        FakeCommPort port;
        Quorin::Session session;
        Quorin::Recorder recorder(port, session, nullptr, [&now] { return now; });
        recorder.start(100);
        // Codes 1, 254 and 128 are 0, 100 and (128 - 1) * 100 / 253 = 50.197...
        for (const int code : {1, 254, 128}) {
            port.arrive(QByteArray(1, char(255)) + char(code));
            now += 100;
        }
        recorder.stop();
        const Quorin::Figures &figures = session.figures();
        QCOMPARE(figures.points, 3);
        QCOMPARE(figures.minimum, 0.0);
        QCOMPARE(figures.maximum, 100.0);
        QCOMPARE(figures.mean, (100.0 + 127 * 100.0 / 253) / 3);
        QCOMPARE(session.endMs(), 300);
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
