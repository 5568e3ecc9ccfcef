#ifndef CHARTLINE_H
#define CHARTLINE_H

#include "chartoffsets.h"
#include "chartpoint.h"
#include "chartseries.h"

#include <QColor>
#include <QObject>

class DMMChart;

// One plotted series of a chart: its samples (points, in the order added, owned) and what the
// last full repaint computed for it. Add and remove points through append() and clear(),
// which keep the value pyramid the scale and the curve are computed from in step with the
// list.
class ChartLine : public QObject, public ChartSeries
{
    Q_OBJECT
public:
    explicit ChartLine(DMMChart *chart);
    ~ChartLine() override;

    // Deletes every point.
    void clear();

    ChartOffsets offsets; // of the visible samples, as of the last full repaint
    QColor color;
    double min = 0.0; // smallest and largest visible value, both compared with 0
    double max = 0.0;
    double xScale = 0.0;
    double yScale = 0.0;
    DMMChart *chart = nullptr; // not owned
};

#endif // CHARTLINE_H
