#include "decimator.h"
#include "session.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 StepMs = 100;

// One-sample points `from` to `to` every tenth of a second, of noise around the middle of the
// scale, with a spike to the top at `spike`, a dip to the bottom just after it, and a gap
// before each of `gaps`.
void fill(Quorin::Session &session, qsizetype from, qsizetype to, qsizetype spike,
          const QList<qsizetype> &gaps)
{
    QRandomGenerator noise(31);
    std::vector<Quorin::Point> points;
    for (qsizetype i = from; i < to; ++i) {
        const int code = i == spike ? 254 : i == spike + 1 ? 1 : 120 + int(noise.bounded(16));
        const bool gap = gaps.contains(i);
        points.push_back({i * StepMs + (gap ? StepMs / 2 : 0), code, 1, quint8(code), quint8(code),
                          i == 0 || gap});
    }
    session.restore(points);
}

} // namespace

// Checks the graph's copy of the points: a few a pixel column whatever their number, each
// column's lowest and highest kept, and a break at each gap.
class TestDecimator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsEachColumnsExtremesInFewPoints_data()
    {
        QTest::addColumn<qsizetype>("count");
        QTest::addColumn<int>("columns");
        QTest::addColumn<qsizetype>("spike");
        QTest::addColumn<QList<qsizetype>>("gaps");
        QTest::newRow("a day at a tenth of a second")
            << qsizetype(864'000) << 1000 << qsizetype(500'001) << QList<qsizetype>{};
        QTest::newRow("gaps in a long recording")
            << qsizetype(100'000) << 700 << qsizetype(3) << QList<qsizetype>{640, 641, 99'999};
        QTest::newRow("fewer points than columns, all drawn")
            << qsizetype(50) << 1000 << qsizetype(20) << QList<qsizetype>{30};
    }

    void keepsEachColumnsExtremesInFewPoints()
    {
        QFETCH(qsizetype, count);
        QFETCH(int, columns);
        QFETCH(qsizetype, spike);
        QFETCH(QList<qsizetype>, gaps);
        Quorin::Session session;
        fill(session, 0, count / 2, spike, gaps);
        // Points that come after the copy was first made are taken in as they come.
        Quorin::Decimator decimator(session.points());
        fill(session, count / 2, count, spike, gaps);
        decimator.update();
        const double endMs = double(count * StepMs);
        const auto line = decimator.decimate(0, endMs, columns);

        // Each column's points, and the values drawn in it.
        const double width = endMs / columns;
        const auto columnOf = [&](double ms) { return std::min(int(ms / width), columns - 1); };
        QList<QList<double>> drawn(columns);
        int breaks = 0;
        for (qsizetype i = 0; i < line.keys.size(); ++i) {
            if (std::isnan(line.values[i]))
                ++breaks;
            else
                drawn[columnOf(double(std::llround(line.keys[i] * 1000)))].append(line.values[i]);
        }
        QCOMPARE(breaks, gaps.size());
        QList<QList<double>> values(columns);
        QList<int> lines(columns, 1); // the pieces of line in each column
        for (const Quorin::Point &point : session.points()) {
            const int column = columnOf(double(point.timeMs));
            if (point.startsLine && !values[column].isEmpty())
                ++lines[column];
            values[column].append(point.value());
        }
        for (int column = 0; column < columns; ++column) {
            const auto &all = values[column];
            const auto &kept = drawn[column];
            // At most two for each piece of line in a column.
            QVERIFY2(kept.size() <= 2 * qsizetype(lines[column]),
                     qPrintable(u"column %1: %2 points"_s.arg(column).arg(kept.size())));
            if (all.isEmpty())
                continue;
            QVERIFY(kept.contains(*std::min_element(all.begin(), all.end())));
            QVERIFY(kept.contains(*std::max_element(all.begin(), all.end())));
            if (all.size() <= 2 && !gaps.isEmpty())
                QCOMPARE(kept.size(), all.size());
        }
        // The spike and the dip show.
        QVERIFY(line.values.contains(100.0));
        QVERIFY(line.values.contains(0.0));
    }
};

QTEST_GUILESS_MAIN(TestDecimator)
#include "tst_decimator.moc"
