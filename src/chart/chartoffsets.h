#ifndef CHARTOFFSETS_H
#define CHARTOFFSETS_H

// Horizontal pixel offsets of the visible samples from the plot area's left edge: the k-th
// visible sample sits at the integer part of k * xScale + 0.5. The offsets are computed on
// demand rather than stored, so a rescale costs the same for a thousand samples as for
// millions; they never decrease with k, which lets the look-ups below bisect.
class ChartOffsets
{
public:
    ChartOffsets() = default;
    ChartOffsets(int count, double xScale);

    int size() const { return m_count; }
    bool isEmpty() const { return m_count <= 0; }
    int at(int k) const { return int(k * m_xScale + 0.5); }
    int operator[](int k) const { return at(k); }

    // Index of the first offset >= x, or size() when there is none.
    int firstAtLeast(int x) const;
    // The sample nearest to x (x already relative to the plot area and clamped to it): an
    // offset equal to x wins; otherwise of the offsets either side of x the left one wins
    // ties. -1 when there are no offsets.
    int nearest(int x) const;
    // Visible-index range i1..i2 covered by a zoom rectangle spanning selX1..selX2 (selX1 <
    // selX2); false when it covers fewer than two samples.
    bool zoomRange(int selX1, int selX2, int *i1, int *i2) const;

private:
    int m_count = 0;
    double m_xScale = 0.0;
};

#endif // CHARTOFFSETS_H
