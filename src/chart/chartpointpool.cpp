#include "chartpointpool.h"

#include <algorithm>
#include <new>

namespace {

// From a few kilobytes for a short series up to a megabyte a block for a long one.
constexpr int FirstBlock = 256;
constexpr int LargestBlock = 32768;

} // namespace

ChartPointPool::~ChartPointPool()
{
    clear();
}

void ChartPointPool::swap(ChartPointPool &other) noexcept
{
    m_blocks.swap(other.m_blocks);
    std::swap(m_size, other.m_size);
}

ChartPoint *ChartPointPool::create(const QDateTime &time, double value)
{
    if (m_blocks.empty() || m_blocks.back().used == m_blocks.back().capacity) {
        Block block;
        block.capacity
            = m_blocks.empty() ? FirstBlock : std::min(m_blocks.back().capacity * 2, LargestBlock);
        block.storage.reset(new unsigned char[sizeof(ChartPoint) * std::size_t(block.capacity)]);
        m_blocks.push_back(std::move(block));
    }
    Block &block = m_blocks.back();
    auto *point = new (block.at(block.used)) ChartPoint {time, value, QVariant()};
    ++block.used;
    ++m_size;
    return point;
}

void ChartPointPool::clear()
{
    for (Block &block : m_blocks) {
        for (int i = 0; i < block.used; ++i)
            block.at(i)->~ChartPoint();
    }
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_size = 0;
}
