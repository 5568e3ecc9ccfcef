#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmparam.h"
#include "paramunits.h"

#include <QAction>
#include <QVector>

// The charts' context menu and the alarm limits they draw.

void Widget::setupChartMenu()
{
    // One checkable command for all four charts: choosing it again returns to the axis that
    // includes zero.
    m_fitValueAxis = new QAction(tr("Fit value axis to data"), this);
    m_fitValueAxis->setObjectName(QStringLiteral("actionFitValueAxis"));
    m_fitValueAxis->setCheckable(true);
    connect(m_fitValueAxis, &QAction::toggled, this, [this](bool fit) {
        for (DMMChart *chart : charts())
            chart->setFitToData(fit);
    });
    for (DMMChart *chart : charts()) {
        chart->addAction(m_fitValueAxis);
        chart->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
}

void Widget::showAlarmLimits(const DmmParam &param)
{
    // The record holds tenths of a degree Celsius (tenths of %RH for humidity); the table
    // compares in those base units, the charts draw in the unit shown.
    const int lows[Channel::Count] = {param.lowTemp, param.lowHumi, param.lowDP, param.lowWB};
    const int highs[Channel::Count] = {param.highTemp, param.highHumi, param.highDP, param.highWB};
    QVector<DataModel::Limits> base;
    const auto shownCharts = charts();
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const bool humidity = channel == Channel::Humidity;
        auto shown = [&](int tenths) {
            return humidity ? ParamUnits::humidityTenthsToShown(tenths)
                            : ParamUnits::tenthsToShown(tenths, m_unitIndex);
        };
        auto celsius = [&](int tenths) {
            return humidity ? ParamUnits::humidityTenthsToShown(tenths)
                            : ParamUnits::tenthsToShown(tenths, 0);
        };
        base.append({celsius(lows[channel]), celsius(highs[channel])});
        shownCharts[size_t(channel)]->setLimits(shown(lows[channel]), shown(highs[channel]));
    }
    m_dataModel->setLimits(base);
}

void Widget::clearAlarmLimits()
{
    for (DMMChart *chart : charts())
        chart->clearLimits();
    m_dataModel->setLimits({});
}
