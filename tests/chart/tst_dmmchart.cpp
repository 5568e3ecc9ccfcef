// Drive the mouse through the window system, as a user's would arrive.
#define QTEST_QPA_MOUSE_HANDLING
#include "dmmchart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLine>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// With the default margins (60, 20, 40, 40) this gives a 600 x 200 plot area at (60, 40).
const QSize ChartSize(680, 280);
constexpr int Left = 60;
constexpr int Top = 40;
constexpr int Bottom = 239;
const QRgb Curve = qRgb(250, 150, 0);
const QRgb Indicator = qRgb(0, 100, 250);

// Counts the rebuilds of the scale and the curve.
class CountingChart : public DMMChart
{
public:
    using DMMChart::DMMChart;
    int measured = 0;
    int drawn = 0;

protected:
    void measureLine(ChartLine *line, int from, int to) override
    {
        ++measured;
        DMMChart::measureLine(line, from, to);
    }
    void drawCurve(QPainter &painter, const ChartLine &line, int from, int count,
                   const ChartCurve &curve) override
    {
        ++drawn;
        DMMChart::drawCurve(painter, line, from, count, curve);
    }
};

QDateTime sampleTime(int i)
{
    return QDateTime(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC).addSecs(i);
}

ChartPoint *point(int i, double value)
{
    auto *p = new ChartPoint;
    p->time = sampleTime(i);
    p->value = value;
    p->tag = QStringLiteral("%1 C").arg(value);
    return p;
}

// count samples between 20 and 30.
QList<ChartPoint *> samples(int count, int start = 0)
{
    QList<ChartPoint *> points;
    for (int i = start; i < start + count; ++i)
        points.append(point(i, 20 + i % 11));
    return points;
}

QImage picture(DMMChart &chart)
{
    chart.repaint();
    return chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool isReddish(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 80 && qBlue(c) < 80;
}

bool isBluish(QRgb c)
{
    return qBlue(c) > qRed(c) + 60;
}

} // namespace

class TestDMMChart : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyChart();
    void workedExample();
    void oneSample();
    void nonFiniteValues();
    void badSeriesIndex();
    void savePicture();
    void readout_data();
    void readout();
    void readoutExpires();
    void zoom_data();
    void zoom();
    void samplesWhileZoomed();
    void clearedWhileZoomed_data();
    void clearedWhileZoomed();
    void mouseOnlyCopiesLayers();
    void fastSamplesRebuildSeldom();
    void cursorRepaintsAtOnce();
    void keptSeriesShowAsAdded();
    void readoutMadeOnDemand();
    void fitToData();
    void limitLines_data();
    void limitLines();
    void timeLabelsApart_data();
    void timeLabelsApart();

private:
    void drag(const QLine &line);
    std::unique_ptr<CountingChart> chart;
};

void TestDMMChart::init()
{
    chart = std::make_unique<CountingChart>();
    chart->resize(ChartSize);
    chart->show();
    QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
    QCOMPARE(chart->plotArea(), QRect(Left, Top, 600, 200));
}

void TestDMMChart::cleanup()
{
    chart.reset();
}

void TestDMMChart::drag(const QLine &line)
{
    QTest::mousePress(chart.get(), Qt::LeftButton, {}, line.p1());
    if (line.p1() != line.p2()) {
        QTest::mouseMove(chart.get(), (line.p1() + line.p2()) / 2);
        QTest::mouseMove(chart.get(), line.p2());
    }
    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, line.p2());
    chart->repaint();
}

void TestDMMChart::emptyChart()
{
    const QImage image = picture(*chart);
    const ChartScale &s = chart->chartScale();
    QCOMPARE(s.yMin, -1.1);
    QCOMPARE(s.yMax, 1.1);
    QCOMPARE(s.xDivs, 0);

    // A dotted zero line at mid-height, and no sample-axis ticks.
    const int zero = Top + 100;
    QCOMPARE(s.zeroY(Top, Bottom), zero);
    int black = 0;
    for (int x = Left; x < Left + 600; ++x)
        black += image.pixel(x, zero) == qRgb(0, 0, 0);
    QVERIFY2(black > 150 && black < 450, qPrintable(QString::number(black)));
    for (int x = Left; x < Left + 600; ++x)
        QCOMPARE(image.pixel(x, Bottom + 4), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(Left + 300, Bottom + 1), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(Left - 1, Top + 100 + 30), qRgb(0, 0, 0));

    // The mouse does nothing.
    drag(QLine(Left + 10, Top + 10, Left + 300, Top + 150));
    QTest::mouseMove(chart.get(), QPoint(Left + 200, Top + 50));
    QVERIFY(!chart->isZoomed());
    QCOMPARE(chart->cursorSample(), -1);
    QVERIFY(!chart->isIndicatorVisible());
}

void TestDMMChart::workedExample()
{
    chart->addPoints(samples(100), 0);
    const QImage image = picture(*chart);
    const ChartScale &s = chart->chartScale();
    QCOMPARE(s.yMin, -1.1);
    QCOMPARE(s.yMax, 33.0);
    QCOMPARE(s.yStep, 10.0);
    QCOMPARE(s.yDivsAbove, 3);
    QCOMPARE(s.yDivsBelow, 0);
    QCOMPARE(s.xScale, 6.0);
    QCOMPARE(s.samplesPerXDiv, 20);
    QCOMPARE(s.xDivs, 5);
    QCOMPARE(chart->visibleFirst(), 0);
    QCOMPARE(chart->visibleLast(), 99);
    QCOMPARE(chart->line(0)->offsets.size(), 100);

    // Sample-axis ticks every 120 px from the left edge, for the samples 0, 20, ... 80.
    for (int i = 0; i < 5; ++i)
        QCOMPARE(image.pixel(Left + 120 * i, Bottom + 5), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(Left + 600, Bottom + 5), qRgb(255, 255, 255));
    // Value-axis ticks at 0, 10, 20, 30.
    const int zero = s.zeroY(Top, Bottom);
    for (int j = 0; j <= 3; ++j)
        QCOMPARE(image.pixel(Left - 5, int(zero - j * s.yDivPixels)), qRgb(0, 0, 0));
    // The curve's first vertex.
    QCOMPARE(image.pixel(Left, int(zero - s.yScale * 20)), Curve);
}

void TestDMMChart::oneSample()
{
    chart->addPoint(point(0, 12.5), 0);
    const QImage image = picture(*chart);
    const ChartScale &s = chart->chartScale();
    QCOMPARE(s.xScale, 600.0);
    QCOMPARE(s.samplesPerXDiv, 1);
    QCOMPARE(s.xDivs, 1);
    const int y = int(s.zeroY(Top, Bottom) - s.yScale * 12.5);
    QCOMPARE(image.pixel(Left, y), Curve);
    int inked = 0;
    for (int yy = Top; yy <= Bottom; ++yy) {
        for (int x = Left; x < Left + 600; ++x)
            inked += image.pixel(x, yy) == Curve;
    }
    QCOMPARE(inked, 1);
}

void TestDMMChart::nonFiniteValues()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    chart->addPoints({point(0, nan), point(1, 5), point(2, inf), point(3, -inf), point(4, 3)}, 0);
    const QImage image = picture(*chart);
    const ChartScale &s = chart->chartScale();
    QCOMPARE(s.yMax, 5.5);
    QCOMPARE(s.yMin, -1.1);
    QCOMPARE(s.xScale, 120.0);
    QVERIFY(std::isfinite(s.yStep) && s.yStep > 0);
    QVERIFY(s.yDivsAbove > 0 && s.yDivsAbove < 20);
    // Sample 1 joins sample 4 across the bad values.
    const int zero = s.zeroY(Top, Bottom);
    QCOMPARE(image.pixel(Left + 120, int(zero - s.yScale * 5)), Curve);
    QCOMPARE(image.pixel(Left + 300, int(zero - s.yScale * 4)), Curve);
    QCOMPARE(image.pixel(Left + 480, int(zero - s.yScale * 3)), Curve);
    QVERIFY(image.pixel(Left + 10, int(zero - s.yScale * 5)) != Curve);
}

void TestDMMChart::badSeriesIndex()
{
    // Only series 0 exists; points for another are dropped, not leaked or plotted.
    chart->addPoint(point(0, 1), 1);
    chart->addPoints(samples(3), -1);
    QCOMPARE(chart->lineCount(), 1);
    QCOMPARE(chart->line(0)->points.size(), 0);
    QCOMPARE(chart->line(0)->color, QColor(250, 150, 0));
}

void TestDMMChart::savePicture()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DMMChart hidden;
    const QString early = dir.filePath("early.png");
    QVERIFY(!hidden.savePicture(early));
    QVERIFY(!QFile::exists(early));

    chart->setFrameShape(QFrame::StyledPanel);
    chart->addPoints(samples(100), 0);
    chart->repaint();
    const QString file = dir.filePath("chart.jpg");
    QVERIFY(chart->savePicture(file));
    QImage saved(file);
    QCOMPARE(saved.size(), ChartSize);
    QVERIFY(!chart->savePicture(dir.filePath("missing/chart.png")));
    QVERIFY(!chart->savePicture(dir.filePath("chart.nosuchformat")));
}

void TestDMMChart::readout_data()
{
    QTest::addColumn<int>("sample");
    QTest::addColumn<bool>("flipped");
    QTest::newRow("left: text right of the line") << 10 << false;
    QTest::newRow("middle") << 50 << false;
    QTest::newRow("right edge: text left of the line") << 99 << true;
}

void TestDMMChart::readout()
{
    QFETCH(int, sample);
    QFETCH(bool, flipped);
    chart->addPoints(samples(100), 0);
    chart->repaint();
    const int x = Left + sample * 6;
    QTest::mouseMove(chart.get(), QPoint(x + 2, Top + 80)); // nearer this sample than the next
    QCOMPARE(chart->cursorSample(), sample);
    QVERIFY(chart->isIndicatorVisible());
    const QImage image = picture(*chart);

    QCOMPARE(image.pixel(x, Top + 50), Indicator);
    int leftInk = 0;
    int rightInk = 0;
    for (int y = 0; y < Top; ++y) {
        for (int xx = 0; xx < image.width(); ++xx) {
            if (isBluish(image.pixel(xx, y)))
                (xx < x ? leftInk : rightInk)++;
        }
    }
    QVERIFY2((flipped ? leftInk : rightInk) > 50, qPrintable(QString::number(leftInk)));
    QCOMPARE(flipped ? rightInk : leftInk, 0);
}

void TestDMMChart::readoutExpires()
{
    chart->addPoints(samples(100), 0);
    chart->repaint();
    QTest::mouseMove(chart.get(), QPoint(Left + 60, Top + 80));
    QVERIFY(chart->isIndicatorVisible());
    auto *timer = chart->findChild<QTimer *>();
    QVERIFY(timer && timer->isActive() && timer->isSingleShot());
    QCOMPARE(timer->interval(), 3000);
    QCOMPARE(picture(*chart).pixel(Left + 60, Top + 50), Indicator);

    // A new sample arriving while the read-out lives keeps it, rescaled.
    chart->addPoint(point(100, 50), 0);
    QCOMPARE(picture(*chart).pixel(Left + chart->line(0)->offsets[10], Top + 50), Indicator);

    // A move that stays on the same sample keeps it through the next samples, and it lives
    // another 3 seconds from there.
    QTest::qWait(1000);
    QTest::mouseMove(chart.get(), QPoint(Left + 61, Top + 80));
    QCOMPARE(chart->cursorSample(), 10);
    QVERIFY(chart->isIndicatorVisible());
    QVERIFY(timer->remainingTime() > 2500);
    chart->addPoint(point(101, 40), 0);
    QCOMPARE(picture(*chart).pixel(Left + chart->line(0)->offsets[10], Top + 50), Indicator);

    QTRY_VERIFY_WITH_TIMEOUT(!chart->isIndicatorVisible(), 4000);
    const QImage image = picture(*chart);
    for (int x = Left; x < Left + 600; ++x)
        QVERIFY(image.pixel(x, Top + 50) != Indicator);
}

void TestDMMChart::zoom_data()
{
    // 100 samples, 6 px apart from the plot area's left edge.
    QTest::addColumn<QVector<QLine>>("drags"); // p1 == p2: a plain click
    QTest::addColumn<bool>("zoomed");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    const QLine zoomIn(Left + 10, Top + 10, Left + 50, Top + 100); // samples 2 .. 8
    QTest::newRow("right and down") << QVector<QLine> {zoomIn} << true << 2 << 8;
    QTest::newRow("dragged past the plot area")
        << QVector<QLine> {QLine(Left + 500, Top + 10, 679, 279)} << true << 84 << 99;
    QTest::newRow("covering one sample")
        << QVector<QLine> {QLine(Left + 10, Top + 10, Left + 14, Top + 100)} << false << 0 << 99;
    QTest::newRow("left cancels") << QVector<QLine> {zoomIn,
                                                     QLine(Left + 300, Top + 50, Left + 200,
                                                           Top + 150)}
                                  << false << 0 << 99;
    QTest::newRow("up cancels") << QVector<QLine> {zoomIn,
                                                   QLine(Left + 100, Top + 150, Left + 300,
                                                         Top + 50)}
                                << false << 0 << 99;
    // 7 samples now 85.7 px apart: 0, 86, 171, 257, ...; 100 .. 300 covers 2 and 3.
    QTest::newRow("inside a zoom")
        << QVector<QLine> {zoomIn, QLine(Left + 100, Top + 10, Left + 300, Top + 100)} << true << 4
        << 5;
    QTest::newRow("inside a zoom, then cancelled")
        << QVector<QLine> {zoomIn, QLine(Left + 100, Top + 10, Left + 300, Top + 100),
                           QLine(Left + 300, Top + 10, Left + 100, Top + 100)}
        << false << 0 << 99;
    QTest::newRow("a click keeps the zoom")
        << QVector<QLine> {zoomIn, QLine(Left + 300, Top + 50, Left + 300, Top + 50)} << true << 2
        << 8;
    QTest::newRow("a click after an earlier drag up-left keeps all")
        << QVector<QLine> {QLine(Left + 300, Top + 150, Left + 100, Top + 50),
                           QLine(Left + 10, Top + 10, Left + 10, Top + 10)}
        << false << 0 << 99;
    QTest::newRow("a jitter keeps the zoom")
        << QVector<QLine> {zoomIn, QLine(Left + 300, Top + 50, Left + 297, Top + 52)} << true << 2
        << 8;
}

void TestDMMChart::zoom()
{
    QFETCH(QVector<QLine>, drags);
    QFETCH(bool, zoomed);
    QFETCH(int, first);
    QFETCH(int, last);
    chart->addPoints(samples(100), 0);
    chart->repaint();
    for (const QLine &line : drags)
        drag(line);
    QCOMPARE(chart->isZoomed(), zoomed);
    QCOMPARE(chart->visibleFirst(), first);
    QCOMPARE(chart->visibleLast(), last);
    QCOMPARE(chart->line(0)->offsets.size(), last - first + 1);
    // The rubber band is gone after the release.
    const QImage image = picture(*chart);
    QVERIFY(!chart->isIndicatorVisible());
    QCOMPARE(image.pixel(Left + 30, Top + 10), qRgb(255, 255, 255));
}

void TestDMMChart::samplesWhileZoomed()
{
    chart->addPoints(samples(100), 0);
    chart->repaint();
    drag(QLine(Left + 10, Top + 10, Left + 50, Top + 100));
    const int drawn = chart->drawn;
    chart->addPoint(point(100, 25), 0);
    chart->addPoints(samples(5, 101), 0);
    QCoreApplication::processEvents();
    QCOMPARE(chart->drawn, drawn);
    QCOMPARE(chart->visibleLast(), 8);
    QCOMPARE(chart->line(0)->points.size(), 106);

    drag(QLine(Left + 300, Top + 150, Left + 100, Top + 50));
    QCOMPARE(chart->visibleFirst(), 0);
    QCOMPARE(chart->visibleLast(), 105);
}

void TestDMMChart::clearedWhileZoomed_data()
{
    QTest::addColumn<int>("count"); // samples of the new data set
    QTest::addColumn<bool>("exchange"); // a kept series lent instead of cleared and added
    QTest::newRow("replaced by fewer samples than the zoom reaches") << 10 << false;
    QTest::newRow("replaced by as many samples") << 100 << false;
    QTest::newRow("a kept series of fewer samples") << 10 << true;
    QTest::newRow("a kept series of as many samples") << 100 << true;
}

// Replacing the points ends the zoom: the new data set is shown whole, and its samples are
// drawn as they come.
void TestDMMChart::clearedWhileZoomed()
{
    QFETCH(int, count);
    QFETCH(bool, exchange);
    chart->addPoints(samples(100), 0);
    chart->repaint();
    drag(QLine(Left + 300, Top + 10, Left + 480, Top + 100)); // samples 50 .. 79
    QCOMPARE(chart->visibleFirst(), 50);
    QTest::mouseMove(chart.get(), QPoint(Left + 590, Top + 50));
    QVERIFY(chart->isIndicatorVisible());

    ChartSeries kept;
    if (exchange) {
        for (int i = 0; i < count; ++i)
            kept.append(sampleTime(i), 20 + i % 11);
        chart->swapSeries(kept, 0);
    } else {
        chart->clearPoints();
        chart->addPoints(samples(count), 0);
    }
    QVERIFY(!chart->isZoomed());
    const QImage image = picture(*chart);
    QCOMPARE(chart->visibleFirst(), 0);
    QCOMPARE(chart->visibleLast(), count - 1);
    QCOMPARE(chart->chartScale().xScale, 600.0 / count);
    // The read-out stays on the cursor's place, or on the last sample still there.
    const int cursor = std::min(29, count - 1);
    QCOMPARE(image.pixel(Left + chart->line(0)->offsets[cursor], Top + 50), Indicator);

    const int drawn = chart->drawn;
    chart->addPoint(point(count, 25), 0);
    chart->repaint();
    QCOMPARE(chart->drawn, drawn + 1);
    QCOMPARE(chart->visibleLast(), count);

    chart->clearPoints();
    picture(*chart);
    QCOMPARE(chart->line(0)->offsets.size(), 0);
    QCOMPARE(chart->chartScale().xDivs, 0);
}

void TestDMMChart::mouseOnlyCopiesLayers()
{
    chart->addPoints(samples(1000), 0);
    chart->repaint();
    const int measured = chart->measured;
    const int drawn = chart->drawn;
    for (int x = Left; x < Left + 600; x += 37) {
        QTest::mouseMove(chart.get(), QPoint(x, Top + 20));
        chart->repaint();
    }
    QTest::mousePress(chart.get(), Qt::LeftButton, {}, QPoint(Left + 100, Top + 20));
    for (int x = Left + 110; x < Left + 400; x += 41) {
        QTest::mouseMove(chart.get(), QPoint(x, Top + 120));
        chart->repaint();
    }
    QCOMPARE(chart->measured, measured);
    QCOMPARE(chart->drawn, drawn);

    QTest::mouseRelease(chart.get(), Qt::LeftButton, {}, QPoint(Left + 400, Top + 120));
    chart->repaint();
    QCOMPARE(chart->drawn, drawn + 1);
    chart->setMarginBottom(10); // stored only
    chart->setDecimals(3);
    chart->repaint();
    QCOMPARE(chart->drawn, drawn + 1);
    chart->setXTitle("Date Time");
    chart->repaint();
    QCOMPARE(chart->drawn, drawn + 2);
}

// Samples that arrive faster than a screen refreshes are drawn in a few rebuilds, never more
// than one per DMMChart::RebuildIntervalMs, and the last of them shows them all.
void TestDMMChart::fastSamplesRebuildSeldom()
{
    chart->addPoints(samples(100), 0);
    chart->repaint();
    const int drawn = chart->drawn;
    QElapsedTimer clock;
    clock.start();
    int added = 0;
    while (clock.elapsed() < 400) {
        chart->addPoint(point(100 + added, 20 + added % 9), 0);
        ++added;
        QCoreApplication::processEvents();
    }
    const qint64 elapsed = clock.elapsed();
    const int rebuilds = chart->drawn - drawn;
    QVERIFY2(rebuilds >= 2, qPrintable(QString::number(rebuilds)));
    QVERIFY2(rebuilds <= elapsed / DMMChart::RebuildIntervalMs + 2,
             qPrintable(QStringLiteral("%1 rebuilds in %2 ms for %3 samples")
                            .arg(rebuilds)
                            .arg(elapsed)
                            .arg(added)));
    QTRY_COMPARE(chart->visibleLast(), 100 + added - 1);
}

namespace {
struct PaintCounter : QObject
{
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

void TestDMMChart::cursorRepaintsAtOnce()
{
    chart->addPoints(samples(100), 0);
    chart->repaint();
    // Samples keep coming: the next rebuild waits for its turn.
    chart->addPoint(point(100, 25), 0);
    QCoreApplication::processEvents();
    chart->addPoint(point(101, 26), 0);
    PaintCounter counter;
    chart->installEventFilter(&counter);
    QCoreApplication::processEvents();
    const int waiting = counter.paints;

    QTest::mouseMove(chart.get(), QPoint(Left + 300, Top + 80));
    QVERIFY(chart->isIndicatorVisible());
    QCoreApplication::processEvents();
    QCOMPARE(counter.paints, waiting + 1);
    chart->removeEventFilter(&counter);
}

// A series kept apart and lent to the chart shows as if its samples had been added; the
// chart's own go back to the one who lends, and return unchanged.
void TestDMMChart::keptSeriesShowAsAdded()
{
    chart->addPoints(samples(100), 0);
    const QImage before = picture(*chart);
    const ChartPoint *firstOwn = chart->line(0)->points.first();

    ChartSeries kept;
    for (int i = 0; i < 250; ++i)
        kept.append(sampleTime(i), std::sin(i / 20.0) * 40);
    CountingChart reference;
    reference.resize(ChartSize);
    QList<ChartPoint *> same;
    for (int i = 0; i < 250; ++i)
        same << point(i, std::sin(i / 20.0) * 40);
    reference.addPoints(same, 0);

    chart->swapSeries(kept, 0);
    QCOMPARE(chart->line(0)->size(), 250);
    QCOMPARE(kept.size(), 100);
    QCOMPARE(kept.points.first(), firstOwn);
    QCOMPARE(picture(*chart), picture(reference));

    chart->swapSeries(kept, 0);
    QCOMPARE(kept.size(), 250);
    QCOMPARE(picture(*chart), before);
}

void TestDMMChart::readoutMadeOnDemand()
{
    ChartSeries lazy;
    lazy.setTagSource([](int index) { return QStringLiteral("%1 C").arg(20 + index % 11); });
    for (int i = 0; i < 100; ++i)
        lazy.append(sampleTime(i), 20 + i % 11);
    chart->swapSeries(lazy, 0);
    CountingChart reference;
    reference.resize(ChartSize);
    reference.show();
    QVERIFY(QTest::qWaitForWindowExposed(&reference));
    reference.addPoints(samples(100), 0); // tags made in advance, "<value> C"

    for (DMMChart *c :
         {static_cast<DMMChart *>(chart.get()), static_cast<DMMChart *>(&reference)}) {
        c->repaint();
        // The two windows lie on top of each other: each gets a move of its own.
        QTest::mouseMove(c, QPoint(Left + 100, Top + 100));
        QTest::mouseMove(c, QPoint(Left + 6 * 40 + 1, Top + 80));
        QCOMPARE(c->cursorSample(), 40);
    }
    QCOMPARE(picture(*chart), picture(reference));
}

void TestDMMChart::fitToData()
{
    // Without samples there is nothing to fit: the empty chart stays as it is.
    const QImage empty = picture(*chart);
    chart->setFitToData(true);
    QCOMPARE(picture(*chart), empty);
    QVERIFY(!chart->chartScale().fitted);

    QList<ChartPoint *> points;
    for (int i = 0; i < 200; ++i)
        points << point(i, 22.8 + 0.5 * (i % 50) / 49.0);
    chart->addPoints(points, 0);
    const QImage fitted = picture(*chart);
    const ChartScale &s = chart->chartScale();
    QVERIFY(s.fitted);
    QCOMPARE(s.yMin, 22.75);
    QCOMPARE(s.yMax, 23.35);

    // Choosing the default again restores the picture, and the fit comes back the same.
    chart->setFitToData(false);
    const QImage standard = picture(*chart);
    QVERIFY(standard != fitted);
    chart->setFitToData(true);
    QCOMPARE(picture(*chart), fitted);
    chart->setFitToData(false);
    QCOMPARE(picture(*chart), standard);
    QCOMPARE(chart->chartScale().yMin, -1.1);
}

void TestDMMChart::limitLines_data()
{
    QTest::addColumn<bool>("fitted");
    QTest::newRow("axis with zero") << false;
    QTest::newRow("fitted axis") << true;
}

void TestDMMChart::limitLines()
{
    QFETCH(bool, fitted);
    chart->setFitToData(fitted);
    chart->addPoints(samples(100), 0); // 20 .. 30
    const QImage without = picture(*chart);
    QVERIFY(chart->limitRows().isEmpty());

    chart->setLimits(22.0, 28.0);
    QImage image = picture(*chart);
    const ChartScale &s = chart->chartScale();
    const double originY = s.originY(Top, Bottom);
    const QVector<int> rows = chart->limitRows();
    QCOMPARE(rows,
             QVector<int>({int(originY - s.yScale * (22.0 - s.originValue())),
                           int(originY - s.yScale * (28.0 - s.originValue()))}));
    for (int y : rows) {
        // Dashed: red over much of the row, but not all of it.
        int red = 0;
        for (int x = Left; x < Left + 600; ++x)
            red += isReddish(image.pixel(x, y));
        QVERIFY2(red > 200 && red < 550, qPrintable(QString::number(red)));
    }

    // An unchanged record repaints nothing; a limit outside the range is left out and never
    // widens the axis.
    const int measured = chart->measured;
    chart->setLimits(22.0, 28.0);
    chart->repaint();
    QCOMPARE(chart->measured, measured);
    const double yMax = s.yMax;
    chart->setLimits(22.0, 900.0);
    image = picture(*chart);
    QCOMPARE(chart->limitRows().size(), 1);
    QCOMPARE(s.yMax, yMax);

    chart->clearLimits();
    QVERIFY(!chart->hasLimits());
    QCOMPARE(picture(*chart), without);
    QVERIFY(chart->limitRows().isEmpty());
}

void TestDMMChart::timeLabelsApart_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("pointSize");
    QTest::newRow("one sample") << 1 << 0;
    QTest::newRow("few samples") << 7 << 0;
    QTest::newRow("hundreds") << 300 << 0;
    QTest::newRow("many") << 100000 << 0;
    QTest::newRow("few samples, large font") << 7 << 18;
    QTest::newRow("many, large font") << 100000 << 18;
}

void TestDMMChart::timeLabelsApart()
{
    QFETCH(int, count);
    QFETCH(int, pointSize);
    const QFont applicationFont = QApplication::font();
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(applicationFont); });
    if (pointSize > 0) {
        QFont large = applicationFont;
        large.setPointSize(pointSize);
        QApplication::setFont(large);
    }
    chart->setMarginLeft(70);
    chart->setMarginBottom(68);
    QList<ChartPoint *> points;
    for (int i = 0; i < count; ++i)
        points << point(i * 37, 20 + i % 11);
    chart->addPoints(points, 0);

    for (int width = 300; width <= 2000; width += 7) {
        chart->resize(width, 300);
        chart->repaint();
        const ChartScale &s = chart->chartScale();
        const QVector<QRect> rects = chart->timeLabelRects();
        QVERIFY(!rects.isEmpty());
        // The first division is labelled, at the left edge of the plot.
        QCOMPARE(rects.first().left(), 70 - rects.first().width() / 2);
        for (int i = 1; i < rects.size(); ++i) {
            const QRect &a = rects[i - 1];
            const QRect &b = rects[i];
            QVERIFY2(a.right() < b.left(),
                     qPrintable(QStringLiteral("width %1: labels at %2 and %3 overlap")
                                    .arg(width)
                                    .arg(a.left())
                                    .arg(b.left())));
            // No more divisions skipped than needed: one fewer would bring them together.
            QVERIFY2(b.left() - a.right() <= s.xDivPixels + 8,
                     qPrintable(QStringLiteral("width %1: gap %2 for divisions of %3")
                                    .arg(width)
                                    .arg(b.left() - a.right())
                                    .arg(s.xDivPixels)));
        }
    }
}

QTEST_MAIN(TestDMMChart)
#include "tst_dmmchart.moc"
