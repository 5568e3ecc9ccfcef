#include "chartseries.h"

#include <QtAlgorithms>

ChartSeries::~ChartSeries()
{
    qDeleteAll(m_adopted);
}

void ChartSeries::swap(ChartSeries &other) noexcept
{
    points.swap(other.points);
    m_values.swap(other.m_values);
    m_pool.swap(other.m_pool);
    m_adopted.swap(other.m_adopted);
    m_tagSource.swap(other.m_tagSource);
    std::swap(m_key, other.m_key);
}

void ChartSeries::append(ChartPoint *point)
{
    if (!point)
        return;
    m_adopted.push_back(point);
    points.append(point);
    // A point made elsewhere carries its shown value; stored is what shows as that.
    m_values.append((point->value - m_values.displayOffset()) / m_values.displayScale());
}

void ChartSeries::append(const QList<ChartPoint *> &newPoints)
{
    reserve(points.size() + newPoints.size());
    for (ChartPoint *point : newPoints)
        append(point);
}

ChartPoint *ChartSeries::append(const QDateTime &time, double value)
{
    ChartPoint *point = m_pool.create(time, m_values.shown(value));
    points.append(point);
    m_values.append(value);
    return point;
}

void ChartSeries::append(const QDateTime *times, const double *stored, int count)
{
    if (count <= 0)
        return;
    this->values(); // in step with the points before more go in
    points.reserve(points.size() + count);
    for (int i = 0; i < count; ++i)
        points.append(m_pool.create(times[i], m_values.shown(stored[i])));
    m_values.append(stored, count);
}

void ChartSeries::reserve(int count)
{
    points.reserve(count);
    m_values.reserve(count);
}

void ChartSeries::clear()
{
    qDeleteAll(m_adopted);
    m_adopted.clear();
    m_adopted.shrink_to_fit();
    points = QList<ChartPoint *>();
    m_values.clear();
    m_pool.clear();
    m_tagSource = nullptr;
    m_key = nullptr;
}

void ChartSeries::setDisplay(double scale, double offset)
{
    const ValuePyramid &values = this->values();
    if (scale == values.displayScale() && offset == values.displayOffset())
        return;
    m_values.setDisplay(scale, offset);
    const int count = points.size();
    for (int i = 0; i < count; ++i)
        points.at(i)->value = m_values.value(i);
}

QString ChartSeries::tagAt(int index) const
{
    if (index < 0 || index >= points.size())
        return QString();
    const ChartPoint *point = points.at(index);
    if (point->tag.isValid() || !m_tagSource)
        return point->tag.toString();
    return m_tagSource(index);
}

const ValuePyramid &ChartSeries::values() const
{
    if (m_values.size() != points.size()) {
        m_values.clear();
        m_values.reserve(points.size());
        for (const ChartPoint *point : points)
            m_values.append(point->value);
    }
    return m_values;
}
