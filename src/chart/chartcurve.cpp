#include "chartcurve.h"

#include "valuepyramid.h"

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cmath>

ChartCurve::ChartCurve(int left, double originY, double xScale, double yScale, double originValue)
    : m_left(left)
    , m_originY(originY)
    , m_xScale(xScale)
    , m_yScale(yScale)
    , m_originValue(originValue)
{
}

bool ChartCurve::isDrawable() const
{
    return std::isfinite(m_xScale) && m_xScale > 0 && std::isfinite(m_yScale) && m_yScale > 0;
}

int ChartCurve::lastInColumn(int k, int count, int x) const
{
    // Estimate from the scale, then settle the rounding by looking at the neighbours.
    const double estimate = std::ceil((x + 1 - m_left) / m_xScale) - 1;
    long long end = estimate < count ? static_cast<long long>(estimate) : count - 1;
    end = std::max<long long>(end, k);
    while (end + 1 < count && vertexX(int(end + 1)) <= x)
        ++end;
    while (end > k && vertexX(int(end)) > x)
        --end;
    return int(end);
}

QVector<QLine> ChartCurve::segments(const ValuePyramid &values, int first, int count) const
{
    QVector<QLine> lines;
    count = std::min(count, values.size() - first);
    if (!isDrawable() || first < 0 || count <= 0)
        return lines;

    bool havePrevious = false;
    QPoint previous; // last finite vertex of the previous column that had one
    QPoint lone;
    int k = 0;
    while (k < count) {
        const int x = vertexX(k);
        const int end = lastInColumn(k, count, x);
        const int from = first + k;
        const int to = first + end;
        k = end + 1;

        const int firstIndex = values.firstFinite(from, to);
        if (firstIndex < 0)
            continue;
        const int lastIndex = values.lastFinite(firstIndex, to);
        const QPoint entry(x, vertexY(values.value(firstIndex)));
        if (havePrevious)
            lines.append(QLine(previous, entry));
        if (lastIndex > firstIndex) {
            double low = 0;
            double high = 0;
            values.range(firstIndex, lastIndex, &low, &high);
            lines.append(QLine(x, vertexY(high), x, vertexY(low)));
        }
        previous = QPoint(x, vertexY(values.value(lastIndex)));
        lone = entry;
        havePrevious = true;
    }
    if (lines.isEmpty() && havePrevious)
        lines.append(QLine(lone, lone));
    return lines;
}

void ChartCurve::draw(QPainter &painter, const ValuePyramid &values, int first, int count) const
{
    const QVector<QLine> lines = segments(values, first, count);
    if (lines.isEmpty())
        return;
    // A vertical segment is a column of pixels: filled as a one pixel wide rectangle it takes
    // the raster engine's plain fill instead of its line stroker, which blends pixel by
    // pixel; the pixels are the same. The other segments are stroked in one call.
    QVector<QLine> slanted;
    slanted.reserve(lines.size());
    const QColor color = painter.pen().color();
    const bool plain = !painter.testRenderHint(QPainter::Antialiasing)
        && painter.pen().style() == Qt::SolidLine && painter.pen().widthF() <= 1.0
        && painter.transform().isIdentity();
    for (const QLine &line : lines) {
        if (plain && line.x1() == line.x2()) {
            const int y1 = std::min(line.y1(), line.y2());
            const int y2 = std::max(line.y1(), line.y2());
            painter.fillRect(QRect(line.x1(), y1, 1, y2 - y1 + 1), color);
        } else {
            slanted.append(line);
        }
    }
    if (!slanted.isEmpty())
        painter.drawLines(slanted);
}
