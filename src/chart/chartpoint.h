#ifndef CHARTPOINT_H
#define CHARTPOINT_H

#include <QDateTime>
#include <QVariant>

// One plotted sample. The caller creates and fills it; the chart owns it once added and
// reads it only, so its fields must not change after it was handed over.
struct ChartPoint
{
    QDateTime time; // labels the sample axis and the cursor read-out
    double value = 0.0; // plotted value, in the unit of the quantity
    QVariant tag; // shown after the time in the cursor read-out
};

#endif // CHARTPOINT_H
