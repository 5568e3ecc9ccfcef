#ifndef VALUEPYRAMID_H
#define VALUEPYRAMID_H

#include <cstddef>
#include <vector>

// The values of a series in one contiguous array, with a pyramid of block minima and maxima
// above it, kept up to date as values are appended. Range queries touch a few entries per
// level instead of every sample, so the scale and the curve of a chart with millions of
// samples cost about as much as those of a chart with a thousand.
//
// Values that are not finite (NaN, infinities) are stored but ignored by every query.
//
// The values are kept as appended; every query answers them through an increasing affine map
// (scale > 0), which shows them in another unit without touching the stored values: since
// the map keeps the order, the extremes of the shown values are the shown extremes.
class ValuePyramid
{
public:
    void append(double value);
    // Appends count values at once: the levels above are brought up to date in one pass.
    void append(const double *values, int count);
    void clear();
    void reserve(int count);
    void swap(ValuePyramid &other) noexcept;

    int size() const { return int(m_values.size()); }
    // The shown value and the value as appended.
    double value(int index) const { return shown(m_values[std::size_t(index)]); }
    double stored(int index) const { return m_values[std::size_t(index)]; }

    // Queries answer scale * stored + offset; scale must be positive and finite. Unlike a
    // rebuild, this costs nothing at any size.
    void setDisplay(double scale, double offset);
    double displayScale() const { return m_scale; }
    double displayOffset() const { return m_offset; }
    double shown(double stored) const { return stored * m_scale + m_offset; }

    // Smallest and largest finite shown value among the indices from..to (inclusive); false
    // if that range holds no finite value.
    bool range(int from, int to, double *low, double *high) const;
    // First (last) index in from..to whose value is finite, or -1.
    int firstFinite(int from, int to) const;
    int lastFinite(int from, int to) const;

private:
    static constexpr long long Fanout = 16;

    struct Level
    {
        std::vector<double> low;
        std::vector<double> high;
    };

    bool blockHasFinite(std::size_t level, long long block) const;
    // Recomputes every level entry above the values from index `changed` on.
    void summariseFrom(std::size_t changed);

    std::vector<double> m_values;
    // m_levels[l] summarises blocks of Fanout^(l+1) values; the last level has one entry.
    std::vector<Level> m_levels;
    double m_scale = 1.0;
    double m_offset = 0.0;
};

#endif // VALUEPYRAMID_H
