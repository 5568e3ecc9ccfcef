#include "chartline.h"

#include "dmmchart.h"

ChartLine::ChartLine(DMMChart *chart)
    : QObject(chart)
    , color(250, 150, 0, 255)
    , chart(chart)
{
}

ChartLine::~ChartLine()
{
    qDeleteAll(points);
}

void ChartLine::append(ChartPoint *point)
{
    if (!point)
        return;
    points.append(point);
    m_values.append(point->value);
}

void ChartLine::append(const QList<ChartPoint *> &newPoints)
{
    points.reserve(points.size() + newPoints.size());
    m_values.reserve(m_values.size() + newPoints.size());
    for (ChartPoint *point : newPoints)
        append(point);
}

void ChartLine::clear()
{
    qDeleteAll(points);
    points.clear();
    m_values.clear();
    offsets = ChartOffsets();
}

const ValuePyramid &ChartLine::values() const
{
    if (m_values.size() != points.size()) {
        m_values.clear();
        m_values.reserve(points.size());
        for (const ChartPoint *point : points)
            m_values.append(point->value);
    }
    return m_values;
}
