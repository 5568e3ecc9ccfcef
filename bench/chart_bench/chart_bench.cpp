// Times the chart's repaints for growing numbers of samples in a 1000 x 500 chart: a full
// rebuild (scale, axes, curve), a cursor move, and one added sample with the rebuild it
// causes; and, for comparison, the full rebuild of a chart that walks every sample and
// draws one polyline vertex per sample.
#include "chartcurve.h"
#include "dmmchart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QRandomGenerator>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace {

const QSize ChartSize(1000, 500);

// Scans every point for the range and draws every sample as a vertex.
class PlainChart : public DMMChart
{
public:
    using DMMChart::DMMChart;

protected:
    void measureLine(ChartLine *line, int from, int to) override
    {
        line->min = 0.0;
        line->max = 0.0;
        for (int i = from; i <= to; ++i) {
            const double v = line->points[i]->value;
            if (!std::isfinite(v))
                continue;
            line->min = std::min(line->min, v);
            line->max = std::max(line->max, v);
        }
    }

    void drawCurve(QPainter &painter, const ChartLine &line, int from, int count,
                   const ChartCurve &curve) override
    {
        const double xScale = chartScale().xScale;
        offsets.resize(count);
        for (int k = 0; k < count; ++k)
            offsets[k] = int(k * xScale + 0.5);
        QPolygon polygon;
        polygon.reserve(count);
        for (int k = 0; k < count; ++k) {
            const double v = line.points[from + k]->value;
            if (std::isfinite(v))
                polygon << QPoint(curve.vertexX(k), curve.vertexY(v));
        }
        painter.drawPolyline(polygon);
    }

private:
    QVector<int> offsets;
};

QList<ChartPoint *> makePoints(int count)
{
    QRandomGenerator rng(12345);
    const QDateTime start(QDate(2024, 3, 1), QTime(8, 0), Qt::UTC);
    const QString tags[]
        = {QStringLiteral("23.4 ℃"), QStringLiteral("23.5 ℃"), QStringLiteral("23.6 ℃")};
    QList<ChartPoint *> points;
    points.reserve(count);
    double walk = 23.5;
    for (int i = 0; i < count; ++i) {
        walk += rng.bounded(0.2) - 0.1;
        auto *p = new ChartPoint;
        p->time = start.addMSecs(qint64(i) * 500);
        p->value = walk + rng.bounded(0.5);
        p->tag = tags[i % 3];
        points.append(p);
    }
    return points;
}

double medianMs(int runs, const std::function<void()> &step)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void setUp(DMMChart &chart, int count)
{
    chart.setMarginLeft(70);
    chart.setMarginBottom(68);
    chart.setXTitle(QStringLiteral("Date Time"));
    chart.setDecimals(1);
    chart.resize(ChartSize);
    chart.show();
    // Painting starts once the window is exposed.
    QElapsedTimer wait;
    wait.start();
    while (!(chart.windowHandle() && chart.windowHandle()->isExposed()) && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    chart.addPoints(makePoints(count), 0);
    chart.repaint();
}

double fullRebuild(DMMChart &chart, int runs)
{
    return medianMs(runs, [&] {
        chart.setMarginLeft(70); // marks the axes and curve for a rebuild
        chart.repaint();
    });
}

struct Figures
{
    int count = 0;
    double full = 0;
    double cursor = 0;
    double add = 0;
    double plain = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTextStream out(stdout);

    out << "chart_bench: 1000 x 500 chart, medians in ms\n";
    out << qSetFieldWidth(12) << "samples"
        << "full"
        << "cursor"
        << "add+paint"
        << "plain"
        << "plain/full" << qSetFieldWidth(0) << "\n";
    out.flush();

    std::vector<Figures> all;
    for (int count : {1000, 10000, 100000, 1000000, 4000000}) {
        Figures f;
        f.count = count;
        const int runs = count >= 1000000 ? 9 : 31;
        {
            DMMChart chart;
            setUp(chart, count);
            f.full = fullRebuild(chart, runs);

            int move = 0;
            f.cursor = medianMs(runs * 3, [&] {
                const QPoint pos(200 + 300 * (move++ % 2), 200);
                QMouseEvent event(QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton,
                                  Qt::NoModifier);
                QApplication::sendEvent(&chart, &event);
                chart.repaint();
            });

            int added = 0;
            f.add = medianMs(runs, [&] {
                auto *p = new ChartPoint;
                p->time = QDateTime::currentDateTimeUtc();
                p->value = 23.5 + (added++ % 7) * 0.1;
                chart.addPoint(p, 0);
                chart.repaint();
            });
        }
        {
            PlainChart plain;
            setUp(plain, count);
            f.plain = fullRebuild(plain, count >= 1000000 ? 5 : runs);
        }
        out << qSetFieldWidth(12) << count << QString::number(f.full, 'f', 2)
            << QString::number(f.cursor, 'f', 3) << QString::number(f.add, 'f', 2)
            << QString::number(f.plain, 'f', 2) << QString::number(f.plain / f.full, 'f', 1)
            << qSetFieldWidth(0) << "\n";
        out.flush();
        all.push_back(f);
    }

    const Figures &k1 = all[0];
    const Figures &m1 = all[3];
    out << "full rebuild, 1M vs 1k samples:   " << QString::number(m1.full / k1.full, 'f', 2)
        << "x (target <= 4)\n";
    out << "plain vs full rebuild at 1M:      " << QString::number(m1.plain / m1.full, 'f', 1)
        << "x faster (target >= 10)\n";
    out << "cursor move, 1M vs 1k samples:    " << QString::number(m1.cursor / k1.cursor, 'f', 2)
        << "x (target <= 2)\n";
    return 0;
}
