#include "chartoffsets.h"

#include <cstdlib>

ChartOffsets::ChartOffsets(int count, double xScale)
    : m_count(count > 0 ? count : 0)
    , m_xScale(xScale)
{
}

int ChartOffsets::firstAtLeast(int x) const
{
    int lo = 0;
    int hi = m_count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (at(mid) >= x)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int ChartOffsets::nearest(int x) const
{
    if (m_count <= 0)
        return -1;
    const int i = firstAtLeast(x);
    if (i == m_count)
        return m_count - 1;
    const int offset = at(i);
    if (offset == x)
        return i;
    const int previous = i > 0 ? i - 1 : 0;
    return std::abs(at(previous) - x) <= offset - x ? previous : i;
}

bool ChartOffsets::zoomRange(int selX1, int selX2, int *i1, int *i2) const
{
    if (m_count <= 0)
        return false;
    const int start = firstAtLeast(selX1);
    // A rectangle right of the last sample covers none.
    if (start == m_count)
        return false;
    const int next = firstAtLeast(selX2);
    int end = next - 1;
    if (end < 1)
        end = 1;
    if (next == m_count || end > m_count - 1)
        end = m_count - 1;
    if (end - start <= 0)
        return false;
    *i1 = start;
    *i2 = end;
    return true;
}
