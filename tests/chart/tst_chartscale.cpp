#include "chartoffsets.h"
#include "chartscale.h"
#include "valuepyramid.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

// The chart's computations without a widget: value range, grid steps, labels, the offsets
// the mouse is matched against, and the value pyramid the range and curve come from.
class TestChartScale : public QObject
{
    Q_OBJECT

private slots:
    void workedExample();
    void range_data();
    void range();
    void steps_data();
    void steps();
    void degeneratePlot_data();
    void degeneratePlot();
    void labels_data();
    void labels();
    void fittedRange_data();
    void fittedRange();
    void nearest_data();
    void nearest();
    void zoomRange_data();
    void zoomRange();
    void pyramidMatchesBruteForce_data();
    void pyramidMatchesBruteForce();
};

void TestChartScale::workedExample()
{
    // 600 x 200 plot area, 100 samples between 20 and 30.
    ChartScale s;
    s.computeScale(600, 200, 100, 0.0, 30.0);
    s.computeGrid(600, true);
    QCOMPARE(s.yMin, -1.1);
    QCOMPARE(s.yMax, 33.0);
    QCOMPARE(s.yScale, 200 / 34.1);
    QCOMPARE(s.yStep, 10.0); // 5 would give only 29.3 pixels
    QCOMPARE(s.yDivsAbove, 3);
    QCOMPARE(s.yDivsBelow, 0);
    QCOMPARE(s.xScale, 6.0);
    QCOMPARE(s.samplesPerXDiv, 20);
    QCOMPARE(s.xDivs, 5);
    QStringList labels;
    for (int j = 0; j <= s.yDivsAbove; ++j)
        labels << ChartScale::valueLabel(j * s.yStep, 1);
    QCOMPARE(labels, QStringList({"0.0", "10.0", "20.0", "30.0"}));
    QCOMPARE(s.zeroY(40, 239), int(40 + s.yScale * 33.0));
}

void TestChartScale::range_data()
{
    QTest::addColumn<double>("minValue");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::newRow("no samples") << 0.0 << 0.0 << -1.1 << 1.1;
    QTest::newRow("all positive still reaches below zero") << 0.0 << 50.0 << -1.1 << 55.0;
    QTest::newRow("all negative still reaches above zero") << -20.0 << 0.0 << -22.0 << 1.1;
    QTest::newRow("both sides") << -5.0 << 8.0 << -5.5 << 8.8;
    QTest::newRow("small values keep -1 .. 1") << -0.2 << 0.3 << -1.1 << 1.1;
}

void TestChartScale::range()
{
    QFETCH(double, minValue);
    QFETCH(double, maxValue);
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    ChartScale s;
    s.computeScale(600, 200, 10, minValue, maxValue);
    QCOMPARE(s.yMin, yMin);
    QCOMPARE(s.yMax, yMax);
    QCOMPARE(s.yScale, 200 / (yMax - yMin));
    // The zero line lies inside the plot area.
    const int zero = s.zeroY(40, 239);
    QVERIFY(zero > 40 && zero < 239);
}

void TestChartScale::steps_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("maxValue");
    QTest::addColumn<int>("samplesPerXDiv");
    QTest::addColumn<int>("xDivs");
    QTest::addColumn<double>("yStep");

    // 200 px for 1101.1 units: 0.18 px per unit, 40 gives 7 px, 200 the first 30 px.
    QTest::newRow("value step beyond the table") << 600 << 100 << 1001.0 << 20 << 5 << 200.0;
    // 0.6 px per sample: 40 samples give 24 px, 150 the first 80 px.
    QTest::newRow("sample step beyond the table") << 600 << 1000 << 30.0 << 150 << 6 << 10.0;
    QTest::newRow("one sample") << 600 << 1 << 30.0 << 1 << 1 << 10.0;
    QTest::newRow("sample step from the table") << 600 << 200 << 30.0 << 30 << 6 << 10.0;
    QTest::newRow("fine value step") << 600 << 10 << 0.05 << 2 << 5 << 0.5;
    // 4 million samples in 1000 px: 0.00025 px per sample.
    QTest::newRow("millions of samples") << 1000 << 4000000 << 30.0 << 320000 << 12 << 10.0;
    // -1: only the minimality below is checked.
    QTest::newRow("huge values") << 600 << 10 << 1e12 << 2 << 5 << -1.0;
}

void TestChartScale::steps()
{
    QFETCH(int, width);
    QFETCH(int, count);
    QFETCH(double, maxValue);
    QFETCH(int, samplesPerXDiv);
    QFETCH(int, xDivs);
    QFETCH(double, yStep);
    ChartScale s;
    s.computeScale(width, 200, count, 0.0, maxValue);
    s.computeGrid(width, true);
    QCOMPARE(s.samplesPerXDiv, samplesPerXDiv);
    QCOMPARE(s.xDivs, xDivs);
    if (yStep > 0)
        QCOMPARE(s.yStep, yStep);
    QVERIFY(s.xDivPixels >= 80);
    QVERIFY(s.yDivPixels >= 30);
    // The step is the smallest that reaches the minimum spacing.
    if (s.samplesPerXDiv > 40)
        QVERIFY((s.samplesPerXDiv - 50) * s.xScale < 80);
    if (s.yStep > 40) {
        QCOMPARE(std::fmod(s.yStep, 50.0), 0.0);
        QVERIFY((s.yStep - 50) * s.yScale < 30);
    }
}

void TestChartScale::degeneratePlot_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("maxValue");
    QTest::newRow("no width") << 0 << 200 << 30.0;
    QTest::newRow("negative width") << -50 << 200 << 30.0;
    QTest::newRow("no height") << 600 << 0 << 30.0;
    QTest::newRow("overflowing range") << 600 << 200 << std::numeric_limits<double>::max();
}

void TestChartScale::degeneratePlot()
{
    // A window shrunk to nothing or absurd values must neither stall nor divide.
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, maxValue);
    ChartScale s;
    s.computeScale(width, height, 100, 0.0, maxValue);
    s.computeGrid(width, true);
    if (width <= 0)
        QCOMPARE(s.xDivs, 0);
    if (height <= 0 || !std::isfinite(s.yScale) || s.yScale <= 0) {
        QCOMPARE(s.yDivsAbove, 0);
        QCOMPARE(s.yDivsBelow, 0);
    }
}

void TestChartScale::labels_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << 30.0 << 1 << false << "30.0";
    QTest::newRow("below 1000") << 999.0 << 1 << false << "999.0";
    QTest::newRow("1000 is k") << 1000.0 << 1 << false << "1.0k";
    QTest::newRow("1500 is 1.5k") << 1500.0 << 1 << false << "1.5k";
    QTest::newRow("million is M") << 2500000.0 << 2 << false << "2.50M";
    QTest::newRow("below a million is k") << 999000.0 << 0 << false << "999k";
    QTest::newRow("lower pass") << 1500.0 << 1 << true << "-1.5k";
    QTest::newRow("lower pass plain") << 20.0 << 1 << true << "-20.0";
    QTest::newRow("zero in the lower pass") << 0.0 << 1 << true << "0.0";
    QTest::newRow("no decimals") << 30.0 << 0 << false << "30";
    QTest::newRow("step sums are rounded") << 3 * 0.1 << 1 << false << "0.3";
}

void TestChartScale::labels()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(bool, negative);
    QFETCH(QString, text);
    QCOMPARE(ChartScale::valueLabel(value, decimals, negative), text);
}

void TestChartScale::fittedRange_data()
{
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<QStringList>("labels");
    // A 200 pixel high plot; grid lines at least 30 pixels apart.
    QTest::newRow("a small variation")
        << 22.8 << 23.3 << 22.75 << 23.35
        << QStringList {"22.8", "22.9", "23.0", "23.1", "23.2", "23.3"};
    QTest::newRow("finer step, more digits")
        << 22.81 << 22.87 << 22.804 << 22.876 << QStringList {"22.82", "22.84", "22.86"};
    QTest::newRow("below zero") << -30.0 << -22.0 << -30.8 << -21.2
                                << QStringList {"-30.0", "-28.0", "-26.0", "-24.0", "-22.0"};
    QTest::newRow("across zero") << -2.0 << 3.0 << -2.5 << 3.5
                                 << QStringList {"-2.0", "-1.0", "0.0", "1.0", "2.0", "3.0"};
    QTest::newRow("flat") << 25.0 << 25.0 << 22.5 << 27.5
                          << QStringList {"23.0", "24.0", "25.0", "26.0", "27.0"};
    QTest::newRow("flat on zero") << 0.0 << 0.0 << -1.0 << 1.0
                                  << QStringList {"-1.0", "-0.5", "0.0", "0.5", "1.0"};
    QTest::newRow("near a thousand, not abbreviated")
        << 1000.2 << 1000.8 << 1000.14 << 1000.86
        << QStringList {"1000.2", "1000.4", "1000.6", "1000.8"};
    QTest::newRow("coarse steps abbreviated")
        << 0.0 << 50000.0 << -5000.0 << 55000.0
        << QStringList {"0.0k", "10.0k", "20.0k", "30.0k", "40.0k", "50.0k"};
}

void TestChartScale::fittedRange()
{
    QFETCH(double, low);
    QFETCH(double, high);
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(QStringList, labels);

    ChartScale s;
    s.computeFittedScale(600, 200, 100, low, high);
    s.computeGrid(600, true);
    QVERIFY(s.fitted);
    QCOMPARE(s.yMin, yMin);
    QCOMPARE(s.yMax, yMax);
    QCOMPARE(s.yScale, 200 / (yMax - yMin));
    QCOMPARE(s.originValue(), yMax);
    QCOMPARE(s.originY(40, 239), 40.0);
    // The step is the smallest of 1, 2, 5 times a power of ten that keeps 30 pixels.
    QVERIFY(s.yStep * s.yScale >= 30);
    const double mantissa = s.yStep / std::pow(10.0, std::floor(std::log10(s.yStep) + 1e-9));
    QVERIFY2(qFuzzyCompare(mantissa, 1.0) || qFuzzyCompare(mantissa, 2.0)
                 || qFuzzyCompare(mantissa, 5.0),
             qPrintable(QString::number(s.yStep)));
    const double smaller = qFuzzyCompare(mantissa, 2.0) ? s.yStep / 2 : s.yStep / 2.5;
    QVERIFY(smaller * s.yScale < 30);
    // The zero-line divisions are not used.
    QCOMPARE(s.yDivsAbove, 0);
    QCOMPARE(s.yDivsBelow, 0);

    QStringList texts;
    for (int j = 0; j < s.yFittedLines; ++j) {
        const double v = double(s.yFirstDiv + j) * s.yStep;
        QVERIFY(v >= yMin - 1e-9 && v <= yMax + 1e-9);
        texts << s.fittedLabel(v, 1);
    }
    QCOMPARE(texts, labels);
}

void TestChartScale::nearest_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("xScale");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("index");
    // 100 samples in 600 px: offsets 0, 6, 12, ... 594.
    QTest::newRow("on the first") << 100 << 6.0 << 0 << 0;
    QTest::newRow("tie goes left") << 100 << 6.0 << 9 << 1;
    QTest::newRow("nearer right") << 100 << 6.0 << 10 << 2;
    QTest::newRow("nearer left") << 100 << 6.0 << 8 << 1;
    QTest::newRow("exact") << 100 << 6.0 << 300 << 50;
    QTest::newRow("right of the last") << 100 << 6.0 << 600 << 99;
    // Packed samples share offsets; the first one wins.
    QTest::newRow("shared offset") << 1000 << 0.6 << 4 << 6;
    QTest::newRow("no samples") << 0 << 0.0 << 10 << -1;
    QTest::newRow("one sample") << 1 << 600.0 << 500 << 0;
}

void TestChartScale::nearest()
{
    QFETCH(int, count);
    QFETCH(double, xScale);
    QFETCH(int, x);
    QFETCH(int, index);
    const ChartOffsets offsets(count, xScale);
    QCOMPARE(offsets.nearest(x), index);
}

void TestChartScale::zoomRange_data()
{
    QTest::addColumn<int>("selX1");
    QTest::addColumn<int>("selX2");
    QTest::addColumn<bool>("zooms");
    QTest::addColumn<int>("i1");
    QTest::addColumn<int>("i2");
    // 100 samples at 6 px.
    QTest::newRow("stretch") << 10 << 50 << true << 2 << 8;
    QTest::newRow("to the right end") << 500 << 599 << true << 84 << 99;
    QTest::newRow("covers one sample") << 10 << 14 << false << 0 << 0;
    QTest::newRow("covers none") << 13 << 17 << false << 0 << 0;
    QTest::newRow("at the left edge at least two") << 0 << 3 << true << 0 << 1;
    // Right of the last sample the rectangle holds nothing to zoom into.
    QTest::newRow("right of the last sample") << 596 << 599 << false << 0 << 0;
}

void TestChartScale::zoomRange()
{
    QFETCH(int, selX1);
    QFETCH(int, selX2);
    QFETCH(bool, zooms);
    QFETCH(int, i1);
    QFETCH(int, i2);
    const ChartOffsets offsets(100, 6.0);
    int a = -1;
    int b = -1;
    QCOMPARE(offsets.zoomRange(selX1, selX2, &a, &b), zooms);
    if (zooms) {
        QCOMPARE(a, i1);
        QCOMPARE(b, i2);
    }
}

void TestChartScale::pyramidMatchesBruteForce_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("nanPercent");
    for (int size : {1, 2, 15, 16, 17, 255, 256, 257, 4097, 70000}) {
        QTest::addRow("%d finite", size) << size << 0;
        QTest::addRow("%d some not finite", size) << size << 10;
        QTest::addRow("%d mostly not finite", size) << size << 97;
    }
}

void TestChartScale::pyramidMatchesBruteForce()
{
    QFETCH(int, size);
    QFETCH(int, nanPercent);
    QRandomGenerator rng(size * 131 + nanPercent);
    const double bad[]
        = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
           -std::numeric_limits<double>::infinity()};
    std::vector<double> values;
    ValuePyramid pyramid;
    for (int i = 0; i < size; ++i) {
        const double v = int(rng.bounded(100)) < nanPercent ? bad[rng.bounded(3)]
                                                            : rng.bounded(2000.0) - 1000.0;
        values.push_back(v);
        pyramid.append(v);
    }
    QCOMPARE(pyramid.size(), size);

    for (int q = 0; q < 400; ++q) {
        int from = int(rng.bounded(size));
        int to = int(rng.bounded(size));
        if (q % 4 == 0)
            to = std::min(size - 1, from + int(rng.bounded(40))); // short ranges
        if (from > to)
            std::swap(from, to);
        double lo = std::numeric_limits<double>::infinity();
        double hi = -lo;
        int firstF = -1;
        int lastF = -1;
        for (int i = from; i <= to; ++i) {
            if (!std::isfinite(values[size_t(i)]))
                continue;
            lo = std::min(lo, values[size_t(i)]);
            hi = std::max(hi, values[size_t(i)]);
            if (firstF < 0)
                firstF = i;
            lastF = i;
        }
        double plo = 0;
        double phi = 0;
        const bool any = pyramid.range(from, to, &plo, &phi);
        QCOMPARE(any, firstF >= 0);
        if (any) {
            QCOMPARE(plo, lo);
            QCOMPARE(phi, hi);
        }
        QCOMPARE(pyramid.firstFinite(from, to), firstF);
        QCOMPARE(pyramid.lastFinite(from, to), lastF);
    }
}

QTEST_GUILESS_MAIN(TestChartScale)
#include "tst_chartscale.moc"
