#ifndef CHARTPOINTPOOL_H
#define CHARTPOINTPOOL_H

#include "chartpoint.h"

#include <memory>
#include <vector>

// Chart points made in blocks rather than one allocation each: a series of millions of points
// costs no allocator overhead per point, lies in memory in the order it is drawn, and is freed
// in a few dozen steps instead of one free per point. Blocks grow with the series, so a short
// one stays small.
class ChartPointPool
{
public:
    ChartPointPool() = default;
    ~ChartPointPool();
    ChartPointPool(const ChartPointPool &) = delete;
    ChartPointPool &operator=(const ChartPointPool &) = delete;

    void swap(ChartPointPool &other) noexcept;

    // A new point, owned by the pool until clear().
    ChartPoint *create(const QDateTime &time, double value);
    // Destroys every point made here.
    void clear();

    int size() const { return m_size; }

private:
    struct Block
    {
        std::unique_ptr<unsigned char[]> storage;
        int capacity = 0;
        int used = 0;
        ChartPoint *at(int i) const { return reinterpret_cast<ChartPoint *>(storage.get()) + i; }
    };

    std::vector<Block> m_blocks;
    int m_size = 0;
};

#endif // CHARTPOINTPOOL_H
