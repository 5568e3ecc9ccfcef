#include "valuepyramid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double Inf = std::numeric_limits<double>::infinity();
}

void ValuePyramid::append(double value)
{
    m_values.push_back(value);
    const bool finite = std::isfinite(value);
    long long index = static_cast<long long>(m_values.size()) - 1;
    std::size_t lowerSize = m_values.size();
    for (std::size_t l = 0; lowerSize > 1; ++l) {
        index /= Fanout;
        if (l == m_levels.size()) {
            // The level below just got its second entry: summarise it in a new top level.
            Level top;
            top.low.assign(1, Inf);
            top.high.assign(1, -Inf);
            for (std::size_t i = 0; i < lowerSize; ++i) {
                const double lo = l == 0 ? m_values[i] : m_levels[l - 1].low[i];
                const double hi = l == 0 ? m_values[i] : m_levels[l - 1].high[i];
                if (l == 0 && !std::isfinite(lo))
                    continue;
                top.low[0] = std::min(top.low[0], lo);
                top.high[0] = std::max(top.high[0], hi);
            }
            m_levels.push_back(std::move(top));
            break;
        }
        Level &level = m_levels[l];
        if (std::size_t(index) == level.low.size()) {
            level.low.push_back(Inf);
            level.high.push_back(-Inf);
        }
        if (finite) {
            level.low[std::size_t(index)] = std::min(level.low[std::size_t(index)], value);
            level.high[std::size_t(index)] = std::max(level.high[std::size_t(index)], value);
        }
        lowerSize = level.low.size();
    }
}

void ValuePyramid::append(const double *values, int count)
{
    // Few values are cheaper one by one than a pass over the blocks they touch.
    if (count < Fanout) {
        for (int i = 0; i < count; ++i)
            append(values[i]);
        return;
    }
    const std::size_t changed = m_values.size();
    m_values.insert(m_values.end(), values, values + count);
    summariseFrom(changed);
}

void ValuePyramid::summariseFrom(std::size_t changed)
{
    constexpr std::size_t fanout = std::size_t(Fanout);
    std::size_t lowerSize = m_values.size();
    for (std::size_t l = 0; lowerSize > 1; ++l) {
        const std::size_t size = (lowerSize + fanout - 1) / fanout;
        if (l == m_levels.size())
            m_levels.emplace_back();
        Level &level = m_levels[l];
        const std::size_t from = changed / fanout;
        level.low.resize(size);
        level.high.resize(size);
        for (std::size_t i = from; i < size; ++i) {
            double lo = Inf;
            double hi = -Inf;
            const std::size_t end = std::min((i + 1) * fanout, lowerSize);
            if (l == 0) {
                for (std::size_t j = i * fanout; j < end; ++j) {
                    const double v = m_values[j];
                    if (std::isfinite(v)) {
                        lo = std::min(lo, v);
                        hi = std::max(hi, v);
                    }
                }
            } else {
                const Level &lower = m_levels[l - 1];
                for (std::size_t j = i * fanout; j < end; ++j) {
                    lo = std::min(lo, lower.low[j]);
                    hi = std::max(hi, lower.high[j]);
                }
            }
            level.low[i] = lo;
            level.high[i] = hi;
        }
        changed = from;
        lowerSize = size;
    }
}

void ValuePyramid::clear()
{
    m_values.clear();
    m_values.shrink_to_fit();
    m_levels.clear();
    m_levels.shrink_to_fit();
    m_scale = 1.0;
    m_offset = 0.0;
}

void ValuePyramid::swap(ValuePyramid &other) noexcept
{
    m_values.swap(other.m_values);
    m_levels.swap(other.m_levels);
    std::swap(m_scale, other.m_scale);
    std::swap(m_offset, other.m_offset);
}

void ValuePyramid::setDisplay(double scale, double offset)
{
    if (!(scale > 0.0) || !std::isfinite(scale) || !std::isfinite(offset))
        return;
    m_scale = scale;
    m_offset = offset;
}

void ValuePyramid::reserve(int count)
{
    if (count > 0)
        m_values.reserve(std::size_t(count));
}

bool ValuePyramid::range(int from, int to, double *low, double *high) const
{
    from = std::max(from, 0);
    to = std::min(to, size() - 1);
    double lo = Inf;
    double hi = -Inf;
    long long a = from;
    long long b = to;
    for (long long l = -1; a <= b; ++l) {
        auto take = [&](long long i) {
            if (l < 0) {
                const double v = m_values[std::size_t(i)];
                if (std::isfinite(v)) {
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            } else {
                lo = std::min(lo, m_levels[std::size_t(l)].low[std::size_t(i)]);
                hi = std::max(hi, m_levels[std::size_t(l)].high[std::size_t(i)]);
            }
        };
        if (std::size_t(l + 1) == m_levels.size()) {
            for (long long i = a; i <= b; ++i)
                take(i);
            break;
        }
        while (a <= b && a % Fanout != 0)
            take(a++);
        while (a <= b && (b + 1) % Fanout != 0)
            take(b--);
        if (a > b)
            break;
        a /= Fanout;
        b = (b + 1) / Fanout - 1;
    }
    if (lo > hi)
        return false;
    *low = shown(lo);
    *high = shown(hi);
    return true;
}

bool ValuePyramid::blockHasFinite(std::size_t level, long long block) const
{
    return m_levels[level].low[std::size_t(block)] <= m_levels[level].high[std::size_t(block)];
}

int ValuePyramid::firstFinite(int from, int to) const
{
    from = std::max(from, 0);
    to = std::min(to, size() - 1);
    long long i = from;
    while (i <= to) {
        if (std::isfinite(m_values[std::size_t(i)]))
            return int(i);
        // Skip the largest aligned block starting here that holds no finite value.
        long long step = 1;
        long long span = Fanout;
        for (std::size_t l = 0; l < m_levels.size(); ++l, span *= Fanout) {
            if (i % span != 0 || i + span - 1 > to || blockHasFinite(l, i / span))
                break;
            step = span;
        }
        i += step;
    }
    return -1;
}

int ValuePyramid::lastFinite(int from, int to) const
{
    from = std::max(from, 0);
    to = std::min(to, size() - 1);
    long long i = to;
    while (i >= from) {
        if (std::isfinite(m_values[std::size_t(i)]))
            return int(i);
        long long step = 1;
        long long span = Fanout;
        for (std::size_t l = 0; l < m_levels.size(); ++l, span *= Fanout) {
            if ((i + 1) % span != 0 || i - span + 1 < from || blockHasFinite(l, i / span))
                break;
            step = span;
        }
        i -= step;
    }
    return -1;
}
