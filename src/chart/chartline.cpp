#include "chartline.h"

#include "dmmchart.h"

ChartLine::ChartLine(DMMChart *chart)
    : QObject(chart)
    , color(250, 150, 0, 255)
    , chart(chart)
{
}

ChartLine::~ChartLine() = default;

void ChartLine::clear()
{
    ChartSeries::clear();
    offsets = ChartOffsets();
}
