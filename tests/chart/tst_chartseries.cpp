#include "chartseries.h"
#include "valuepyramid.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

std::vector<double> noisyValues(int count, bool gaps)
{
    QRandomGenerator rng(uint(count) * 7u + (gaps ? 1u : 0u));
    std::vector<double> values(static_cast<size_t>(count));
    for (double &v : values) {
        v = -20.0 + rng.bounded(60.0);
        if (gaps && rng.bounded(10) == 0)
            v = NaN;
    }
    // A stretch without a finite value, wide enough to empty whole blocks.
    if (gaps && count > 3000)
        std::fill(values.begin() + 1000, values.begin() + 2600, NaN);
    return values;
}

QDateTime at(int i)
{
    return QDateTime(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC).addSecs(i);
}

} // namespace

// The series a chart shows and a view keeps: its values, points, display map and read-outs.
class TestChartSeries : public QObject
{
    Q_OBJECT

private slots:
    void bulkAppendAnswersAsOneByOne_data();
    void bulkAppendAnswersAsOneByOne();
    void displayMap();
    void swapExchangesWholeSeries();
    void readoutTexts();
};

void TestChartSeries::bulkAppendAnswersAsOneByOne_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("split"); // values before it go one by one, the rest at once
    QTest::addColumn<bool>("gaps");

    QTest::newRow("fewer than a block") << 10 << 0 << false;
    QTest::newRow("one block exactly") << 16 << 0 << false;
    QTest::newRow("into a partly filled block") << 1000 << 37 << false;
    QTest::newRow("after whole blocks") << 5000 << 256 << false;
    QTest::newRow("several levels") << 70000 << 4097 << false;
    QTest::newRow("values that are not finite") << 70000 << 3 << true;
    QTest::newRow("small tail after many") << 5000 << 4990 << true;
}

void TestChartSeries::bulkAppendAnswersAsOneByOne()
{
    QFETCH(int, count);
    QFETCH(int, split);
    QFETCH(bool, gaps);
    const std::vector<double> values = noisyValues(count, gaps);

    ValuePyramid single;
    for (double v : values)
        single.append(v);
    ValuePyramid bulk;
    for (int i = 0; i < split; ++i)
        bulk.append(values[size_t(i)]);
    bulk.append(values.data() + split, count - split);
    QCOMPARE(bulk.size(), count);

    QRandomGenerator rng(static_cast<quint32>(count));
    for (int q = 0; q < 400; ++q) {
        int from = int(rng.bounded(count));
        int to = int(rng.bounded(count));
        if (q % 5 == 0)
            to = count - 1; // the newest blocks, where the bulk pass ends
        if (from > to)
            std::swap(from, to);
        double lowA = 0, highA = 0, lowB = 0, highB = 0;
        const bool a = single.range(from, to, &lowA, &highA);
        QCOMPARE(bulk.range(from, to, &lowB, &highB), a);
        if (a) {
            QCOMPARE(lowB, lowA);
            QCOMPARE(highB, highA);
        }
        QCOMPARE(bulk.firstFinite(from, to), single.firstFinite(from, to));
        QCOMPARE(bulk.lastFinite(from, to), single.lastFinite(from, to));
    }
}

// The map shows values in another unit exactly as the conversion would, and goes back
// without drift however often it changes.
void TestChartSeries::displayMap()
{
    const double celsius[] = {21.5, -40.0, 0.0, 36.6, -17.8, 99.9, NaN};
    ChartSeries series;
    for (int i = 0; i < 7; ++i)
        series.append(at(i), celsius[i]);

    for (int round = 0; round < 5; ++round) {
        series.setDisplay(1.8, 32.0);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(series.points[i]->value, celsius[i] * 1.8 + 32.0);
            QCOMPARE(series.values().value(i), celsius[i] * 1.8 + 32.0);
        }
        QVERIFY(std::isnan(series.points[6]->value));
        double low = 0, high = 0;
        QVERIFY(series.values().range(0, 6, &low, &high));
        QCOMPARE(low, -40.0);
        QCOMPARE(high, 99.9 * 1.8 + 32.0);

        series.setDisplay(1.0, 0.0);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(series.points[i]->value, celsius[i]);
    }

    // A map that would turn the order round or lose it is refused.
    series.setDisplay(-1.8, 32.0);
    series.setDisplay(0.0, 32.0);
    QCOMPARE(series.displayScale(), 1.0);
    QCOMPARE(series.points[0]->value, 21.5);

    // Points added later are shown in the map of the moment; cleared, the map is forgotten.
    series.setDisplay(1.8, 32.0);
    series.append(at(7), 25.0);
    QCOMPARE(series.points.last()->value, 77.0);
    series.clear();
    QVERIFY(series.isEmpty());
    QCOMPARE(series.displayScale(), 1.0);
    QCOMPARE(series.values().size(), 0);
}

void TestChartSeries::swapExchangesWholeSeries()
{
    ChartSeries kept;
    kept.setKey(&kept);
    kept.setTagSource([](int index) { return QStringLiteral("kept %1").arg(index); });
    for (int i = 0; i < 3000; ++i)
        kept.append(at(i), 20.0 + i % 7);
    kept.setDisplay(1.8, 32.0);
    const ChartPoint *firstKept = kept.points.first();

    ChartSeries shown;
    auto *adopted = new ChartPoint {at(0), 5.0, QStringLiteral("5 x")}; // owned by `shown`
    shown.append(adopted);

    shown.swap(kept);
    QCOMPARE(shown.size(), 3000);
    QCOMPARE(shown.points.first(), firstKept); // the same points, not copies
    QCOMPARE(shown.key(), static_cast<const void *>(&kept));
    QCOMPARE(shown.displayScale(), 1.8);
    QCOMPARE(shown.tagAt(2), QStringLiteral("kept 2"));
    double low = 0, high = 0;
    QVERIFY(shown.values().range(0, 2999, &low, &high));
    QCOMPARE(high, 26.0 * 1.8 + 32.0);

    QCOMPARE(kept.size(), 1);
    QCOMPARE(kept.points.first(), adopted);
    QVERIFY(!kept.key());
    QCOMPARE(kept.tagAt(0), QStringLiteral("5 x"));

    // Going on after the exchange: each keeps appending to its own.
    shown.append(at(3000), 30.0);
    QCOMPARE(shown.points.last()->value, 30.0 * 1.8 + 32.0);
    QCOMPARE(kept.size(), 1);
}

void TestChartSeries::readoutTexts()
{
    int asked = 0;
    QList<int> askedFor;
    ChartSeries series;
    series.setTagSource([&](int index) {
        ++asked;
        askedFor << index;
        return QStringLiteral("%1 made").arg(index);
    });
    for (int i = 0; i < 100000; ++i)
        series.append(at(i), 21.0);
    // Nothing is made until a sample is read out, and then only that one.
    QCOMPARE(asked, 0);
    QCOMPARE(series.tagAt(54321), QStringLiteral("54321 made"));
    QCOMPARE(askedFor, QList<int>({54321}));

    // A point that brought its own tag keeps it.
    series.append(new ChartPoint {at(0), 1.0, QStringLiteral("given")});
    QCOMPARE(series.tagAt(100000), QStringLiteral("given"));
    QCOMPARE(asked, 1);

    QCOMPARE(series.tagAt(-1), QString());
    QCOMPARE(series.tagAt(100001), QString());
    QCOMPARE(asked, 1);
}

QTEST_GUILESS_MAIN(TestChartSeries)
#include "tst_chartseries.moc"
