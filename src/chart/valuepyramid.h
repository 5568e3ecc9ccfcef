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
class ValuePyramid
{
public:
    void append(double value);
    void clear();
    void reserve(int count);

    int size() const { return int(m_values.size()); }
    double value(int index) const { return m_values[std::size_t(index)]; }

    // Smallest and largest finite value among the indices from..to (inclusive); false if
    // that range holds no finite value.
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

    std::vector<double> m_values;
    // m_levels[l] summarises blocks of Fanout^(l+1) values; the last level has one entry.
    std::vector<Level> m_levels;
};

#endif // VALUEPYRAMID_H
