#include "chartcurve.h"
#include "chartscale.h"
#include "dmmchart.h"
#include "valuepyramid.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>
#include <vector>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

constexpr int Left = 60;
constexpr int Top = 40;
constexpr int Height = 200;

// The curve by definition: one segment per pair of consecutive finite samples, each with
// both end points; a lone finite sample is its vertex. The scale's origin is the zero line,
// or the top of a fitted range.
void drawReference(QPainter &painter, const std::vector<double> &values, int first, int count,
                   int left, const ChartScale &scale, int top, int bottom)
{
    const double originY = scale.originY(top, bottom);
    const double originValue = scale.originValue();
    const double xScale = scale.xScale;
    const double yScale = scale.yScale;
    bool havePrevious = false;
    QPoint previous;
    int vertices = 0;
    for (int k = 0; k < count; ++k) {
        const double v = values[size_t(first + k)];
        if (!std::isfinite(v))
            continue;
        const QPoint p(int(k * xScale + left), int(originY - yScale * (v - originValue)));
        if (havePrevious)
            painter.drawLine(previous, p);
        previous = p;
        havePrevious = true;
        ++vertices;
    }
    if (vertices == 1)
        painter.drawPoint(previous);
}

int differingPixels(const QImage &a, const QImage &b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            count += ra[x] != rb[x];
    }
    return count;
}

// Number of inked pixels, and the first and last row that has one.
int inkedPixels(const QImage &image, int *firstRow = nullptr, int *lastRow = nullptr)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == qRgb(255, 255, 255))
                continue;
            if (count == 0 && firstRow)
                *firstRow = y;
            if (lastRow)
                *lastRow = y;
            ++count;
        }
    }
    return count;
}

std::vector<double> makeData(const QString &shape, int count)
{
    QRandomGenerator rng(uint(qHash(shape)) ^ uint(count));
    std::vector<double> v(static_cast<size_t>(count));
    double walk = 25;
    for (int i = 0; i < count; ++i) {
        double x = 0;
        if (shape == "noise") {
            x = 20 + rng.bounded(10.0);
        } else if (shape == "walk") {
            walk += rng.bounded(2.0) - 1.0;
            x = walk;
        } else if (shape == "steps") {
            x = 10.0 * ((i / 337) % 5) - 12.0;
        } else if (shape == "spikes") {
            x = 25.0;
            if (i % 1013 == 500)
                x = 80.0;
            if (i % 977 == 3)
                x = -40.0;
        } else if (shape == "variation") {
            x = 22.8 + 0.5 * (0.5 + 0.5 * std::sin(i / 300.0));
        } else if (shape == "flat") {
            x = 25.0;
        } else if (shape == "zero") {
            x = 0.0;
        } else if (shape == "thousands") {
            x = 1000.0 + rng.bounded(4000.0);
        } else if (shape == "millions") {
            x = 1e6 * (1 + std::sin(i / 50.0)) + rng.bounded(1e5);
        } else if (shape == "negative") {
            x = -30.0 + rng.bounded(8.0);
        } else if (shape == "gaps") {
            // Isolated bad values, and runs of them wide enough to empty whole columns.
            x = 20 + rng.bounded(10.0);
            const int r = int(rng.bounded(100));
            if (r < 3)
                x = NaN;
            else if (r < 4)
                x = Inf;
            else if (r < 5)
                x = -Inf;
            if ((i / 4000) % 3 == 1)
                x = NaN;
        } else if (shape == "one finite") {
            x = i == count / 2 ? 12.0 : NaN;
        } else if (shape == "none finite") {
            x = NaN;
        }
        v[size_t(i)] = x;
    }
    return v;
}

} // namespace

// The reduced curve must give exactly the pixels of one segment per pair of samples.
class TestChartCurve : public QObject
{
    Q_OBJECT

private slots:
    void samePixels_data();
    void samePixels();
    void chartMatchesDefinition_data();
    void chartMatchesDefinition();
};

void TestChartCurve::samePixels_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("visible");
    QTest::addColumn<bool>("fitted");

    // Every case on the axis that includes zero and on the one fitted to the data.
    auto row
        = [](const char *name, const char *shape, int count, int width, int first, int visible) {
              QTest::newRow(name) << QString(shape) << count << width << first << visible << false;
              QTest::newRow(qPrintable(QStringLiteral("%1, fitted").arg(name)))
                  << QString(shape) << count << width << first << visible << true;
          };
    auto all = [&row](const char *name, const char *shape, int count, int width) {
        row(name, shape, count, width, 0, count);
    };
    all("noise, denser than pixels", "noise", 50000, 600);
    all("noise, sparser than pixels", "noise", 37, 600);
    all("noise, one per pixel", "noise", 600, 600);
    all("noise, just over one per pixel", "noise", 601, 600);
    all("noise, odd ratio", "noise", 1777, 601);
    all("random walk, a million", "walk", 1000000, 1000);
    all("steps", "steps", 20000, 600);
    all("spikes", "spikes", 100000, 600);
    all("flat", "flat", 3000, 600);
    all("flat on the zero line", "zero", 3000, 600);
    all("single sample", "noise", 1, 600);
    all("two samples", "noise", 2, 600);
    all("thousands", "thousands", 20000, 600);
    all("millions", "millions", 20000, 600);
    all("negative", "negative", 9000, 600);
    all("not finite values", "gaps", 30000, 600);
    all("sparse not finite values", "gaps", 400, 600);
    all("one finite sample", "one finite", 5000, 600);
    all("no finite sample", "none finite", 5000, 600);
    all("narrow plot", "noise", 10000, 3);
    all("small variation far from zero", "variation", 5000, 600);
    row("zoomed, dense", "walk", 200000, 600, 12345, 30000);
    row("zoomed, sparse", "noise", 50000, 600, 20000, 77);
    row("zoomed, not finite", "gaps", 50000, 600, 3999, 9000);
}

void TestChartCurve::samePixels()
{
    QFETCH(QString, shape);
    QFETCH(int, count);
    QFETCH(int, width);
    QFETCH(int, first);
    QFETCH(int, visible);
    QFETCH(bool, fitted);

    const std::vector<double> values = makeData(shape, count);
    ValuePyramid pyramid;
    for (double v : values)
        pyramid.append(v);

    double low = Inf;
    double high = -Inf;
    for (int i = first; i < first + visible; ++i) {
        if (std::isfinite(values[size_t(i)])) {
            low = std::min(low, values[size_t(i)]);
            high = std::max(high, values[size_t(i)]);
        }
    }
    const bool finite = low <= high;
    ChartScale scale;
    if (fitted && finite)
        scale.computeFittedScale(width, Height, visible, low, high);
    else
        scale.computeScale(width, Height, visible, finite ? std::min(low, 0.0) : 0.0,
                           finite ? std::max(high, 0.0) : 0.0);
    const int bottom = Top + Height - 1;
    const ChartCurve curve(Left, scale.originY(Top, bottom), scale.xScale, scale.yScale,
                           scale.originValue());

    QImage reduced(Left + width + 20, Top + Height + 40, QImage::Format_ARGB32_Premultiplied);
    reduced.fill(Qt::white);
    QImage reference = reduced;
    {
        QPainter painter(&reduced);
        painter.setPen(QPen(QColor(250, 150, 0), 1));
        curve.draw(painter, pyramid, first, visible);
    }
    {
        QPainter painter(&reference);
        painter.setPen(QPen(QColor(250, 150, 0), 1));
        drawReference(painter, values, first, visible, Left, scale, Top, bottom);
    }

    QCOMPARE(differingPixels(reduced, reference), 0);
    int topRow = 0;
    int bottomRow = 0;
    QCOMPARE(inkedPixels(reduced, &topRow, &bottomRow) > 0, finite);
    if (fitted && finite && high > low) {
        // The data fill the plot but for a twelfth of its height above and below.
        QVERIFY2(std::abs(topRow - (Top + Height / 12)) <= 2, qPrintable(QString::number(topRow)));
        QVERIFY2(std::abs(bottomRow - (bottom - Height / 12)) <= 2,
                 qPrintable(QString::number(bottomRow)));
    }
    // At most three segments per pixel column: in, across, and (as the next one's in) out.
    QVERIFY(curve.segments(pyramid, first, visible).size() <= 2 * (width + 1));
}

namespace {

// A chart that draws its curve by definition, walking every point.
class ReferenceChart : public DMMChart
{
public:
    using DMMChart::DMMChart;

protected:
    void drawCurve(QPainter &painter, const ChartLine &line, int from, int count,
                   const ChartCurve &curve) override
    {
        std::vector<double> values;
        values.reserve(size_t(line.points.size()));
        for (const ChartPoint *p : line.points)
            values.push_back(p->value);
        QCOMPARE(curve.vertexX(0), plotArea().left());
        drawReference(painter, values, from, count, plotArea().left(), chartScale(),
                      plotArea().top(), plotArea().bottom());
    }
};

QList<ChartPoint *> toPoints(const std::vector<double> &values)
{
    QList<ChartPoint *> points;
    const QDateTime start(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC);
    for (size_t i = 0; i < values.size(); ++i) {
        auto *p = new ChartPoint;
        p->time = start.addMSecs(qint64(i) * 500);
        p->value = values[i];
        points.append(p);
    }
    return points;
}

} // namespace

void TestChartCurve::chartMatchesDefinition_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("fitted");
    QTest::newRow("noise") << "noise" << 200000 << false;
    QTest::newRow("not finite values") << "gaps" << 30000 << false;
    QTest::newRow("sparse") << "walk" << 150 << false;
    QTest::newRow("thousands") << "thousands" << 5000 << false;
    QTest::newRow("noise, fitted") << "noise" << 200000 << true;
    QTest::newRow("small variation, fitted") << "variation" << 3000 << true;
    QTest::newRow("negative, fitted") << "negative" << 3000 << true;
    QTest::newRow("thousands, fitted") << "thousands" << 5000 << true;
}

void TestChartCurve::chartMatchesDefinition()
{
    // The whole widget, axes included, is the same picture as the one drawn by definition.
    QFETCH(QString, shape);
    QFETCH(int, count);
    QFETCH(bool, fitted);
    const std::vector<double> values = makeData(shape, count);
    DMMChart chart;
    ReferenceChart reference;
    for (DMMChart *c : {static_cast<DMMChart *>(&chart), static_cast<DMMChart *>(&reference)}) {
        c->setFitToData(fitted);
        c->setMarginLeft(70);
        c->setXTitle("Date Time");
        c->resize(1000, 500);
        c->addPoints(toPoints(values), 0);
    }
    const QImage a = chart.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage b = reference.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(a.size(), QSize(1000, 500));
    QCOMPARE(chart.chartScale().fitted, fitted);
    QCOMPARE(differingPixels(a, b), 0);
}

QTEST_MAIN(TestChartCurve)
#include "tst_chartcurve.moc"
