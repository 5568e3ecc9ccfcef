#include "dmmchart.h"

DMMChart::DMMChart(QWidget *parent)
    : QFrame(parent)
{
}

DMMChart::~DMMChart()
{
    qDeleteAll(m_points);
}

void DMMChart::addPoint(ChartPoint *point, int)
{
    m_points.append(point);
}

void DMMChart::addPoints(const QList<ChartPoint *> &points, int)
{
    m_points.append(points);
}

void DMMChart::clearPoints()
{
    qDeleteAll(m_points);
    m_points.clear();
}

bool DMMChart::savePicture(const QString &fileName)
{
    return grab().save(fileName);
}

void DMMChart::setXTitle(const QString &) {}
void DMMChart::setMarginLeft(int) {}
void DMMChart::setMarginBottom(int) {}
void DMMChart::setDecimals(int) {}
