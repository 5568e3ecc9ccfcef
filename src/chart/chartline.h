#ifndef CHARTLINE_H
#define CHARTLINE_H

#include "chartoffsets.h"
#include "chartpoint.h"
#include "valuepyramid.h"

#include <QColor>
#include <QList>
#include <QObject>

class DMMChart;

// One plotted series of a chart. It owns its points; add and remove them through append()
// and clear(), which keep the value pyramid the scale and the curve are computed from in
// step with the list.
class ChartLine : public QObject
{
    Q_OBJECT
public:
    explicit ChartLine(DMMChart *chart);
    ~ChartLine() override;

    void append(ChartPoint *point);
    void append(const QList<ChartPoint *> &newPoints);
    // Deletes every point.
    void clear();

    // The values of points, for range queries. Rebuilt here should points have been changed
    // behind append()'s back.
    const ValuePyramid &values() const;

    QList<ChartPoint *> points; // in the order added; owned
    ChartOffsets offsets; // of the visible samples, as of the last full repaint
    QColor color;
    double min = 0.0; // smallest and largest visible value, both compared with 0
    double max = 0.0;
    double xScale = 0.0;
    double yScale = 0.0;
    DMMChart *chart = nullptr; // not owned

private:
    mutable ValuePyramid m_values;
};

#endif // CHARTLINE_H
