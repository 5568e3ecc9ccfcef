#ifndef CHARTSCALE_H
#define CHARTSCALE_H

#include <QString>

// The chart's scale and grid: the value range (always containing -1, 0 and 1, with 10 %
// headroom), the pixels per sample and per value unit, and round-number divisions of both
// axes taken from fixed candidate tables. Plain computations, usable without a widget.
class ChartScale
{
public:
    // Value range and factors; set by computeScale.
    double yMin = 0.0;
    double yMax = 0.0;
    double xScale = 0.0; // pixels per sample
    double yScale = 0.0; // pixels per value unit

    // Divisions; set by computeGrid. The step sizes keep their previous values when there
    // is nothing to divide.
    double xDivPixels = 0.0;
    double yDivPixels = 0.0;
    int xDivs = 0;
    int yDivsAbove = 0;
    int yDivsBelow = 0;
    int samplesPerXDiv = 0;
    double yStep = 0.0;

    // count: number of visible samples; minValue/maxValue: smallest and largest visible
    // value, each already compared with 0.
    void computeScale(int width, int height, int count, double minValue, double maxValue);
    void computeGrid(int width, bool hasSamples);

    // Pixel row of the value 0 in a plot area whose top and bottom rows are given.
    int zeroY(int top, int bottom) const;

    // A value-axis label: v >= 1e6 is shown in "M", v >= 1000 in "k"; negative prints the
    // number negated (the suffix is chosen on v itself).
    static QString valueLabel(double v, int decimals, bool negative = false);

    // The first candidate c with c * scale >= target, else the first multiple of 50 that
    // reaches it. scale must be positive and finite.
    static double pickStep(const double *candidates, int count, double scale, double target);
};

#endif // CHARTSCALE_H
