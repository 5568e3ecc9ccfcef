#ifndef CHARTCURVE_H
#define CHARTCURVE_H

#include <QLine>
#include <QVector>

class QPainter;
class ValuePyramid;

// Draws a series as the union of 1-pixel segments between consecutive finite samples
// (each segment with both end points; a lone finite sample is drawn as its vertex), without
// visiting every sample: within one pixel column all segments are vertical, so the column
// reduces to the segment that enters it, one vertical segment from its largest to its
// smallest value, and the segment that leaves it. The pixels are the same as those of one
// segment per pair of consecutive samples; the cost follows the number of columns.
class ChartCurve
{
public:
    ChartCurve(int left, int zeroY, double xScale, double yScale);

    // False when the scale is degenerate (no width or height), and nothing is drawn.
    bool isDrawable() const;

    // Vertex of the k-th visible sample and of a value: integer parts, as the axes expect.
    int vertexX(int k) const { return int(k * m_xScale + m_left); }
    int vertexY(double value) const { return int(m_zeroY - m_yScale * value); }

    // The segments for the samples first .. first + count - 1 of values.
    QVector<QLine> segments(const ValuePyramid &values, int first, int count) const;
    void draw(QPainter &painter, const ValuePyramid &values, int first, int count) const;

private:
    int lastInColumn(int k, int count, int x) const;

    int m_left;
    int m_zeroY;
    double m_xScale;
    double m_yScale;
};

#endif // CHARTCURVE_H
