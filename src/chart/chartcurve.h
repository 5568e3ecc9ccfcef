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
    // A value v is drawn on the row int(originY - yScale * (v - originValue)): the zero line
    // (originValue 0) by default, the top of a fitted range (its largest value) otherwise.
    ChartCurve(int left, double originY, double xScale, double yScale, double originValue = 0.0);

    // False when the scale is degenerate (no width or height), and nothing is drawn.
    bool isDrawable() const;

    // Vertex of the k-th visible sample and of a value: integer parts, as the axes expect.
    int vertexX(int k) const { return int(k * m_xScale + m_left); }
    int vertexY(double value) const { return int(m_originY - m_yScale * (value - m_originValue)); }

    // The segments for the samples first .. first + count - 1 of values.
    QVector<QLine> segments(const ValuePyramid &values, int first, int count) const;
    void draw(QPainter &painter, const ValuePyramid &values, int first, int count) const;

private:
    int lastInColumn(int k, int count, int x) const;

    int m_left;
    double m_originY;
    double m_xScale;
    double m_yScale;
    double m_originValue;
};

#endif // CHARTCURVE_H
