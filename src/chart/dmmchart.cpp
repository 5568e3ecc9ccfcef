#include "dmmchart.h"

#include "chartcurve.h"
#include "meterlog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QPolygon>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int IndicatorMs = 3000;
constexpr int TickLength = 5;
constexpr int LabelGap = 7;

} // namespace

DMMChart::DMMChart(QWidget *parent)
    : QFrame(parent)
    , indicatorTimer(new QTimer(this))
{
    indicatorTimer->setSingleShot(true);
    connect(indicatorTimer, &QTimer::timeout, this, &DMMChart::slotTmrIndicatorTimeout);
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
    if (!selecting && !zoomed) {
        axesDirty = true;
        update();
    }
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
    if (!selecting && !zoomed) {
        axesDirty = true;
        update();
    }
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
    for (ChartLine *line : qAsConst(lines)) {
        measureLine(line, first, std::min(last, line->points.size() - 1));
        minValue = std::min(minValue, line->min);
        maxValue = std::max(maxValue, line->max);
    }
    scale.computeScale(plotRect.width(), plotRect.height(), last - first + 1, minValue, maxValue);
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
    if (hasSamples()) {
        const QList<ChartPoint *> &points = lines[0]->points;
        const int end = std::min(last, points.size() - 1);
        for (int i = 0; i < xs.size(); ++i) {
            const qint64 index = first + qint64(i) * scale.samplesPerXDiv;
            if (index > end)
                break;
            const QString text
                = points[int(index)]->time.toString(QStringLiteral("yyyy-MM-dd\nhh:mm:ss"));
            const int w = metrics.size(0, text).width();
            painter.drawText(QRect(xs[i] - w / 2, bottom + LabelGap, w, 2 * fh), Qt::AlignCenter,
                             text);
        }
    }

    // Value axis, upwards and downwards from the zero line; both passes draw the zero line.
    painter.drawLine(marginLeft - 1, marginTop - 1, marginLeft - 1, bottom + 1);
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
    valuePass(scale.yDivsAbove, -1);
    valuePass(scale.yDivsBelow, 1);

    // The title starts at the middle of the plot area.
    const int w = metrics.horizontalAdvance(xTitle);
    painter.drawText(QRect(left + width / 2, bottom + fh + (marginBottom - fh) / 2, w, fh),
                     Qt::AlignCenter, xTitle);
}

void DMMChart::drawCurves(QPainter &painter)
{
    const int left = plotRect.left();
    const int top = plotRect.top();
    const int bottom = top + plotRect.height() - 1;
    const ChartCurve curve(left, scale.zeroY(top, bottom), scale.xScale, scale.yScale);
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
            p->time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), p->tag.toString());
        const int w = metrics.horizontalAdvance(text);
        // Near the right edge the text goes left of the line.
        const int tx = x + 2 + w >= right ? x - 2 - w : x + 2;
        painter.drawText(QRect(tx, ty - fh, w, fh), Qt::AlignCenter, text);
        ty = ty - fh + 1;
    }
}
