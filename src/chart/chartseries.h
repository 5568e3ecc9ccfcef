#ifndef CHARTSERIES_H
#define CHARTSERIES_H

#include "chartpoint.h"
#include "chartpointpool.h"
#include "valuepyramid.h"

#include <QList>
#include <QString>

#include <functional>
#include <vector>

// The samples of one plotted series, apart from any chart: the points in order, the value
// pyramid the scale and curve are computed from, and where the points' memory comes from.
// A series can be built and kept while no chart shows it and be exchanged with a chart's in
// constant time (DMMChart::swapSeries), so a view can go back to a large data set without
// rebuilding it.
//
// Points come two ways. A point made elsewhere with new is taken over and deleted on its own;
// a point made here from a time and a value lives in the series' pool and goes with it in a
// few steps. Values are stored as given and shown through the pyramid's display map
// (setDisplay); each point's value is kept equal to its shown value.
//
// The read-out text of a sample is the point's tag when it has one; otherwise the tag source
// makes it when it is asked for (only the sample under the cursor is), so that a series of
// millions holds no texts.
class ChartSeries
{
public:
    using TagSource = std::function<QString(int index)>;

    ChartSeries() = default;
    ~ChartSeries();
    ChartSeries(const ChartSeries &) = delete;
    ChartSeries &operator=(const ChartSeries &) = delete;

    void swap(ChartSeries &other) noexcept;

    // Takes ownership of a point made with new (null is ignored).
    void append(ChartPoint *point);
    void append(const QList<ChartPoint *> &newPoints);
    // A point of the pool, at `time`, for a value in the stored unit.
    ChartPoint *append(const QDateTime &time, double value);
    // count points of the pool at once (times[i], stored[i]).
    void append(const QDateTime *times, const double *stored, int count);
    void reserve(int count);
    // Deletes every point and forgets the display map, the tag source and the key.
    void clear();

    int size() const { return points.size(); }
    bool isEmpty() const { return points.isEmpty(); }

    // Shows the stored values as scale * value + offset (scale > 0): the pyramid answers in
    // the new unit at once, and every point's value is rewritten, a pass over the points.
    void setDisplay(double scale, double offset);
    double displayScale() const { return m_values.displayScale(); }
    double displayOffset() const { return m_values.displayOffset(); }

    void setTagSource(TagSource source) { m_tagSource = std::move(source); }
    // The read-out text of sample `index`: its tag, else what the tag source makes of it.
    QString tagAt(int index) const;

    // Whose series this is, for a holder that lends it to a chart and takes it back.
    void setKey(const void *key) { m_key = key; }
    const void *key() const { return m_key; }

    // The values of points, for range queries. Rebuilt here should points have been changed
    // behind append()'s back (the display map is then the identity).
    const ValuePyramid &values() const;

    QList<ChartPoint *> points; // in the order added; owned

private:
    mutable ValuePyramid m_values;
    ChartPointPool m_pool;
    std::vector<ChartPoint *> m_adopted; // the points made elsewhere, deleted one by one
    TagSource m_tagSource;
    const void *m_key = nullptr;
};

#endif // CHARTSERIES_H
