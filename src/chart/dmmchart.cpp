#include "dmmchart.h"

#include "chartcurve.h"
#include "meterlog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QPair>
#include <QPolygon>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int IndicatorMs = 3000;
constexpr int TickLength = 5;
constexpr int LabelGap = 7;
// Smallest free space between two time labels.
constexpr int TimeLabelSpacing = 6;
const QColor LimitColor(220, 0, 0);

} // namespace

DMMChart::DMMChart(QWidget *parent)
    : QFrame(parent)
    , indicatorTimer(new QTimer(this))
    , rebuildTimer(new QTimer(this))
{
    indicatorTimer->setSingleShot(true);
    connect(indicatorTimer, &QTimer::timeout, this, &DMMChart::slotTmrIndicatorTimeout);
    rebuildTimer->setSingleShot(true);
    connect(rebuildTimer, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
    setMouseTracking(true);
    lines.append(new ChartLine(this));
}

DMMChart::~DMMChart() = default;

void DMMChart::addPoint(ChartPoint *point, int line)
{
    if (line < 0 || line >= lines.size()) {
        qCWarning(lcMeter) << "chart: no series" << line << "- point dropped";
        delete point;
        return;
    }
    lines[line]->append(point);
    samplesAdded();
}

void DMMChart::addPoints(const QList<ChartPoint *> &points, int line)
{
    if (line < 0 || line >= lines.size()) {
        qCWarning(lcMeter) << "chart: no series" << line << "-" << points.size()
                           << "points dropped";
        qDeleteAll(points);
        return;
    }
    lines[line]->append(points);
    samplesAdded();
}

void DMMChart::addSample(const QDateTime &time, double value, int line)
{
    if (line < 0 || line >= lines.size()) {
        qCWarning(lcMeter) << "chart: no series" << line << "- sample dropped";
        return;
    }
    lines[line]->append(time, value);
    samplesAdded();
}

void DMMChart::swapSeries(ChartSeries &series, int line)
{
    if (line < 0 || line >= lines.size()) {
        qCWarning(lcMeter) << "chart: no series" << line << "to exchange";
        return;
    }
    {
        QMutexLocker locker(&mutex);
        lines[line]->swap(series);
    }
    // Another data set, as after clearPoints().
    zoomed = false;
    axesDirty = true;
    update();
}

void DMMChart::samplesAdded()
{
    // While a zoom is shown or dragged the visible range stays as it is.
    if (selecting || zoomed)
        return;
    axesDirty = true;
    if (rebuildTimer->isActive())
        return;
    const qint64 since = lastRebuild.isValid() ? lastRebuild.elapsed() : RebuildIntervalMs;
    if (since >= RebuildIntervalMs)
        update();
    else
        rebuildTimer->start(int(RebuildIntervalMs - since));
}

void DMMChart::clearPoints()
{
    {
        QMutexLocker locker(&mutex);
        for (ChartLine *line : qAsConst(lines))
            line->clear();
    }
    // The points that follow are another data set: a stretch chosen in the old one means
    // nothing there, so it is shown whole.
    zoomed = false;
    axesDirty = true;
    update();
}

bool DMMChart::savePicture(const QString &fileName)
{
    return outputLayer.save(fileName);
}

void DMMChart::setXTitle(const QString &title)
{
    if (title == xTitle)
        return;
    xTitle = title;
    axesDirty = true;
    update();
}

void DMMChart::setMarginLeft(int px)
{
    marginLeft = px;
    axesDirty = true;
    update();
}

void DMMChart::setMarginBottom(int px)
{
    marginBottom = px;
}

void DMMChart::setDecimals(int digits)
{
    decimals = digits;
}

void DMMChart::setFitToData(bool fit)
{
    if (fit == fitToData)
        return;
    fitToData = fit;
    axesDirty = true;
    update();
}

void DMMChart::setLimits(double low, double high)
{
    // The meter's record comes again every few readings; an unchanged one repaints nothing.
    if (limitsShown && low == limitLow && high == limitHigh)
        return;
    limitsShown = true;
    limitLow = low;
    limitHigh = high;
    axesDirty = true;
    update();
}

void DMMChart::clearLimits()
{
    if (!limitsShown)
        return;
    limitsShown = false;
    axesDirty = true;
    update();
}

const ChartLine *DMMChart::line(int index) const
{
    return index >= 0 && index < lines.size() ? lines[index] : nullptr;
}

void DMMChart::slotTmrIndicatorTimeout()
{
    indicatorVisible = false;
    update();
}

bool DMMChart::hasSamples() const
{
    for (const ChartLine *line : lines) {
        if (!line->points.isEmpty())
            return true;
    }
    return false;
}

int DMMChart::visibleCount(const ChartLine *line) const
{
    const int end = std::min(last, line->points.size() - 1);
    return end >= first ? end - first + 1 : 0;
}

QPoint DMMChart::toPlot(const QPoint &pos) const
{
    return QPoint(std::clamp(pos.x() - plotRect.left(), 0, std::max(plotRect.width(), 0)),
                  std::clamp(pos.y() - plotRect.top(), 0, std::max(plotRect.height(), 0)));
}

// ---- mouse -------------------------------------------------------------------------------

void DMMChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && hasSamples()) {
        cursorIndex = -1;
        indicatorVisible = false;
        update();
        if (!selecting) {
            selecting = true;
            dragged = false;
            const QPoint p = toPlot(event->pos());
            selX1 = selX2 = p.x();
            selY1 = selY2 = p.y();
        }
    }
    QWidget::mousePressEvent(event);
}

void DMMChart::mouseMoveEvent(QMouseEvent *event)
{
    if (selecting) {
        const QPoint p = toPlot(event->pos());
        selX2 = p.x();
        selY2 = p.y();
        if (QPoint(selX2 - selX1, selY2 - selY1).manhattanLength()
            >= QApplication::startDragDistance())
            dragged = true;
        selectionDirty = true;
        update();
    } else {
        const int i = sampleUnderMouse(event->pos().x());
        if (i == -1) {
            indicatorVisible = false;
        } else if (i != cursorIndex || !indicatorVisible) {
            indicatorVisible = true;
            cursorIndex = i;
            indicatorTimer->stop();
            indicatorTimer->start(IndicatorMs);
            indicatorDirty = true;
            update();
        } else {
            // Still on the shown sample: the read-out stays, for another 3 seconds. Nothing
            // needs drawing, but repaints for arriving samples must keep drawing it.
            indicatorTimer->start(IndicatorMs);
        }
    }
    QWidget::mouseMoveEvent(event);
}

void DMMChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (selecting) {
        if (dragged)
            applyZoom();
        selecting = false;
        axesDirty = true;
        update();
    }
    QWidget::mouseReleaseEvent(event);
}

void DMMChart::applyZoom()
{
    if (selX2 > selX1 && selY2 > selY1) {
        int i1 = 0;
        int i2 = 0;
        if (lines[0]->offsets.zoomRange(selX1, selX2, &i1, &i2)) {
            zoomed = true;
            last = first + i2;
            first = first + i1;
        }
    } else {
        zoomed = false;
    }
}

int DMMChart::sampleUnderMouse(int mouseX) const
{
    if (lines.isEmpty())
        return -1;
    const int x = std::clamp(mouseX - plotRect.left(), 0, std::max(plotRect.width(), 0));
    return lines[0]->offsets.nearest(x);
}

// ---- painting ----------------------------------------------------------------------------

void DMMChart::resizeEvent(QResizeEvent *event)
{
    plotRect = QRect(marginLeft, marginTop, width() - marginLeft - marginRight,
                     height() - marginTop - marginBottom);
    backgroundLayer = QPixmap(size());
    axesDirty = true;
    QWidget::resizeEvent(event);
}

void DMMChart::paintEvent(QPaintEvent *event)
{
    {
        QMutexLocker locker(&mutex);
        bool rebuilt = false;
        if (axesDirty) {
            axesDirty = false;
            // Whatever was waiting for its turn is drawn now; the next turn counts from here.
            lastRebuild.start();
            rebuildTimer->stop();
            rebuildScale();
            if (!backgroundLayer.isNull()) {
                backgroundLayer.fill(backgroundColor);
                QPainter painter(&backgroundLayer);
                drawAxes(painter);
            }
            curveLayer = backgroundLayer;
            if (hasSamples() && !curveLayer.isNull()) {
                QPainter painter(&curveLayer);
                drawCurves(painter);
            }
            rebuilt = true;
        }
        if (selectionDirty || rebuilt) {
            selectionDirty = false;
            selectionLayer = curveLayer;
            if (selecting && !selectionLayer.isNull()) {
                QPainter painter(&selectionLayer);
                drawSelection(painter);
            }
            rebuilt = true;
        }
        if (indicatorDirty || rebuilt) {
            // While the read-out lives, every repaint redraws it, so it follows rescaling.
            if (!indicatorTimer->isActive())
                indicatorDirty = false;
            outputLayer = selectionLayer;
            if (hasSamples() && indicatorVisible && !outputLayer.isNull()) {
                QPainter painter(&outputLayer);
                drawIndicator(painter);
            }
        }
    }
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, outputLayer);
    }
    QFrame::paintEvent(event);
}

void DMMChart::rebuildScale()
{
    const int count = lines[0]->points.size();
    if (zoomed && (first < 0 || first > last || last >= count)) {
        qCDebug(lcMeter) << "chart: zoom" << first << last << "past the end of" << count
                         << "samples, cancelled";
        zoomed = false;
    }
    if (!zoomed) {
        first = 0;
        last = count - 1;
    }

    double minValue = 0.0;
    double maxValue = 0.0;
    bool anyFinite = false;
    double low = 0.0;
    double high = 0.0;
    for (ChartLine *line : qAsConst(lines)) {
        const int to = std::min(last, line->points.size() - 1);
        measureLine(line, first, to);
        minValue = std::min(minValue, line->min);
        maxValue = std::max(maxValue, line->max);
        double lineLow = 0.0;
        double lineHigh = 0.0;
        if (fitToData && first <= to && line->values().range(first, to, &lineLow, &lineHigh)) {
            low = anyFinite ? std::min(low, lineLow) : lineLow;
            high = anyFinite ? std::max(high, lineHigh) : lineHigh;
            anyFinite = true;
        }
    }
    // With nothing to fit, the axis is the default one.
    if (anyFinite)
        scale.computeFittedScale(plotRect.width(), plotRect.height(), last - first + 1, low, high);
    else
        scale.computeScale(plotRect.width(), plotRect.height(), last - first + 1, minValue,
                           maxValue);
    for (ChartLine *line : qAsConst(lines)) {
        line->xScale = scale.xScale;
        line->yScale = scale.yScale;
        line->offsets = ChartOffsets(visibleCount(line), scale.xScale);
    }
    scale.computeGrid(plotRect.width(), hasSamples());
}

void DMMChart::measureLine(ChartLine *line, int from, int to)
{
    line->min = 0.0;
    line->max = 0.0;
    double low = 0.0;
    double high = 0.0;
    if (from <= to && line->values().range(from, to, &low, &high)) {
        line->min = std::min(0.0, low);
        line->max = std::max(0.0, high);
    }
}

void DMMChart::drawAxes(QPainter &painter)
{
    const int left = plotRect.left();
    const int top = plotRect.top();
    const int width = plotRect.width();
    const int right = left + width - 1;
    const int bottom = top + plotRect.height() - 1;
    const QFontMetrics metrics = painter.fontMetrics();
    const int fh = metrics.height();
    const QPen solid(Qt::black, 1);
    const QPen dotted(Qt::black, 1, Qt::DotLine);
    const int zeroY = scale.zeroY(top, bottom);

    auto drawPass = [&](const QVector<QLine> &ticks, const QVector<QLine> &grid) {
        painter.setPen(solid);
        painter.drawLines(ticks);
        painter.setPen(dotted);
        painter.drawLines(grid);
        painter.setPen(solid);
    };

    // Sample axis.
    painter.setPen(solid);
    painter.drawLine(left - 1, bottom + 1, right + 1, bottom + 1);
    QVector<QLine> ticks;
    QVector<QLine> grid;
    QVector<int> xs;
    for (int i = 0; i < scale.xDivs; ++i) {
        const int x = int(left + i * scale.xDivPixels + 0.5);
        xs.append(x);
        ticks.append(QLine(x, bottom, x, bottom + TickLength));
        grid.append(QLine(x, top, x, bottom));
    }
    drawPass(ticks, grid);
    drawTimeLabels(painter, xs, bottom);

    painter.drawLine(marginLeft - 1, marginTop - 1, marginLeft - 1, bottom + 1);
    if (scale.fitted) {
        // Grid lines on the multiples of the step inside the fitted range.
        QVector<QLine> ticks;
        QVector<QLine> grid;
        QVector<QPair<int, QString>> labels;
        for (int j = 0; j < scale.yFittedLines; ++j) {
            const double v = double(scale.yFirstDiv + j) * scale.yStep;
            const int y = valueRow(v);
            if (y < top || y > bottom)
                continue;
            ticks.append(QLine(left, y, left - TickLength, y));
            grid.append(QLine(left, y, left + width, y));
            labels.append(qMakePair(y, scale.fittedLabel(v, decimals)));
        }
        drawPass(ticks, grid);
        for (const auto &label : qAsConst(labels)) {
            const int w = metrics.horizontalAdvance(label.second);
            painter.drawText(QRect(left - LabelGap - w, label.first - fh / 2, w, fh),
                             Qt::AlignCenter, label.second);
        }
    }

    // Value axis, upwards and downwards from the zero line; both passes draw the zero line.
    auto valuePass = [&](int divs, int direction) {
        QVector<QLine> ticks;
        QVector<QLine> grid;
        QVector<int> ys;
        for (int j = 0; j <= divs; ++j) {
            const int y = int(zeroY + direction * j * scale.yDivPixels);
            ys.append(y);
            ticks.append(QLine(left, y, left - TickLength, y));
            grid.append(QLine(left, y, left + width, y));
        }
        drawPass(ticks, grid);
        for (int j = 0; j <= divs; ++j) {
            const QString text = ChartScale::valueLabel(j * scale.yStep, decimals, direction > 0);
            const int w = metrics.horizontalAdvance(text);
            painter.drawText(QRect(left - LabelGap - w, ys[j] - fh / 2, w, fh), Qt::AlignCenter,
                             text);
        }
    };
    if (!scale.fitted) {
        valuePass(scale.yDivsAbove, -1);
        valuePass(scale.yDivsBelow, 1);
    }

    // The title starts at the middle of the plot area.
    const int w = metrics.horizontalAdvance(xTitle);
    painter.drawText(QRect(left + width / 2, bottom + fh + (marginBottom - fh) / 2, w, fh),
                     Qt::AlignCenter, xTitle);

    drawLimits(painter);
}

void DMMChart::drawTimeLabels(QPainter &painter, const QVector<int> &xs, int bottom)
{
    xLabelRects.clear();
    if (!hasSamples())
        return;
    const QFontMetrics metrics = painter.fontMetrics();
    const int fh = metrics.height();
    const QList<ChartPoint *> &points = lines[0]->points;
    const int end = std::min(last, points.size() - 1);
    QStringList texts;
    QVector<QRect> rects;
    for (int i = 0; i < xs.size(); ++i) {
        const qint64 index = first + qint64(i) * scale.samplesPerXDiv;
        if (index > end)
            break;
        const QString text
            = points[int(index)]->time.toString(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
        const int w = metrics.size(0, text).width();
        texts.append(text);
        rects.append(QRect(xs[i] - w / 2, bottom + LabelGap, w, 2 * fh));
    }
    // Label every stride-th division, the smallest stride at which neighbours keep apart.
    // The labels are alike in width, so a stride that fits one pair nearly always fits all;
    // checking every pair makes sure.
    int stride = 1;
    for (; stride < rects.size(); ++stride) {
        bool apart = true;
        for (int i = 0; i + stride < rects.size() && apart; i += stride)
            apart = rects[i].right() + TimeLabelSpacing < rects[i + stride].left();
        if (apart)
            break;
    }
    for (int i = 0; i < rects.size(); i += stride) {
        painter.drawText(rects[i], Qt::AlignCenter, texts[i]);
        xLabelRects.append(rects[i]);
    }
}

int DMMChart::valueRow(double v) const
{
    const int top = plotRect.top();
    const int bottom = top + plotRect.height() - 1;
    const ChartCurve curve(plotRect.left(), scale.originY(top, bottom), scale.xScale, scale.yScale,
                           scale.originValue());
    return curve.vertexY(v);
}

void DMMChart::drawLimits(QPainter &painter)
{
    limitLineRows.clear();
    if (!limitsShown || !std::isfinite(scale.yScale) || scale.yScale <= 0)
        return;
    const int left = plotRect.left();
    const int top = plotRect.top();
    const int bottom = top + plotRect.height() - 1;
    const int right = left + plotRect.width() - 1;
    painter.setPen(QPen(LimitColor, 1, Qt::DashLine));
    for (double v : {limitLow, limitHigh}) {
        if (!std::isfinite(v))
            continue;
        // Only inside the value range: a limit never widens the axis.
        const double row = scale.originY(top, bottom) - scale.yScale * (v - scale.originValue());
        if (!(row >= top && row < bottom + 1))
            continue;
        const int y = valueRow(v);
        painter.drawLine(left, y, right, y);
        limitLineRows.append(y);
    }
    painter.setPen(QPen(Qt::black, 1));
}

void DMMChart::drawCurves(QPainter &painter)
{
    const int left = plotRect.left();
    const int top = plotRect.top();
    const int bottom = top + plotRect.height() - 1;
    const ChartCurve curve(left, scale.originY(top, bottom), scale.xScale, scale.yScale,
                           scale.originValue());
    if (!curve.isDrawable())
        return;
    for (const ChartLine *line : qAsConst(lines)) {
        const int count = visibleCount(line);
        if (count <= 0)
            continue;
        painter.setPen(QPen(line->color, 1));
        drawCurve(painter, *line, first, count, curve);
    }
}

void DMMChart::drawCurve(QPainter &painter, const ChartLine &line, int from, int count,
                         const ChartCurve &curve)
{
    curve.draw(painter, line.values(), from, count);
}

void DMMChart::drawSelection(QPainter &painter)
{
    const int left = plotRect.left();
    const int top = plotRect.top();
    QPolygon outline;
    outline << QPoint(left + selX1, top + selY1) << QPoint(left + selX2, top + selY1)
            << QPoint(left + selX2, top + selY2) << QPoint(left + selX1, top + selY2);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(outline);
}

void DMMChart::drawIndicator(QPainter &painter)
{
    if (cursorIndex == -1)
        return;
    const ChartOffsets &offsets = lines[0]->offsets;
    if (offsets.isEmpty())
        return;
    if (cursorIndex >= offsets.size())
        cursorIndex = offsets.size() - 1;

    const int left = plotRect.left();
    const int top = plotRect.top();
    const int right = left + plotRect.width() - 1;
    const int bottom = top + plotRect.height() - 1;
    const QFontMetrics metrics = painter.fontMetrics();
    const int fh = metrics.height();

    painter.setPen(QPen(indicatorColor, 1));
    const int x = left + offsets[cursorIndex];
    painter.drawLine(x, top, x, bottom);

    int ty = top;
    for (const ChartLine *line : qAsConst(lines)) {
        const int index = first + cursorIndex;
        if (index < 0 || index >= line->points.size())
            continue;
        const ChartPoint *p = line->points[index];
        const QString text = QStringLiteral("%1:%2").arg(
            p->time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), line->tagAt(index));
        const int w = metrics.horizontalAdvance(text);
        // Near the right edge the text goes left of the line.
        const int tx = x + 2 + w >= right ? x - 2 - w : x + 2;
        painter.drawText(QRect(tx, ty - fh, w, fh), Qt::AlignCenter, text);
        ty = ty - fh + 1;
    }
}
