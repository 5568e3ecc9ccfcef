#ifndef CHARTSCALE_H
#define CHARTSCALE_H

#include <QString>
#include <QtGlobal>

// The chart's scale and grid: the value range, the pixels per sample and per value unit, and
// round-number divisions of both axes. Plain computations, usable without a widget.
//
// The value range comes in two kinds. By default it always contains -1, 0 and 1, with 10 %
// headroom, and the value steps come from a fixed candidate table counted from the zero line.
// A fitted range (computeFittedScale) spans only the data, with a tenth of their spread as
// headroom either side, so that a small variation fills the plot; its grid lies on the
// multiples of a 1-2-5 step inside the range.
class ChartScale
{
public:
    // Value range and factors; set by computeScale or computeFittedScale.
    double yMin = 0.0;
    double yMax = 0.0;
    double xScale = 0.0; // pixels per sample
    double yScale = 0.0; // pixels per value unit
    bool fitted = false; // the range spans the data rather than zero

    // Divisions; set by computeGrid. The step sizes keep their previous values when there
    // is nothing to divide.
    double xDivPixels = 0.0;
    double yDivPixels = 0.0;
    int xDivs = 0;
    int yDivsAbove = 0;
    int yDivsBelow = 0;
    int samplesPerXDiv = 0;
    double yStep = 0.0;
    // Fitted range only (the zero-line counts above stay 0): yFittedLines grid lines at
    // (yFirstDiv + j) * yStep, and labels need yStepDecimals digits to tell them apart.
    qint64 yFirstDiv = 0;
    int yFittedLines = 0;
    int yStepDecimals = 0;

    // count: number of visible samples; minValue/maxValue: smallest and largest visible
    // value, each already compared with 0.
    void computeScale(int width, int height, int count, double minValue, double maxValue);
    // low/high: smallest and largest finite visible value (low <= high).
    void computeFittedScale(int width, int height, int count, double low, double high);
    void computeGrid(int width, bool hasSamples);

    // Pixel row of the value 0 in a plot area whose top and bottom rows are given.
    int zeroY(int top, int bottom) const;
    // The value and pixel row the vertical mapping is anchored at: the zero line by default,
    // the top of the plot area (yMax) for a fitted range. A value v lies on the row
    // int(originY - yScale * (v - originValue)).
    double originValue() const { return fitted ? yMax : 0.0; }
    double originY(int top, int bottom) const;

    // The label of the fitted grid line at value v, with at least `decimals` digits and as
    // many as the step needs.
    QString fittedLabel(double v, int decimals) const;

    // A value-axis label: v >= 1e6 is shown in "M", v >= 1000 in "k"; negative prints the
    // number negated (the suffix is chosen on v itself).
    static QString valueLabel(double v, int decimals, bool negative = false);

    // The first candidate c with c * scale >= target, else the first multiple of 50 that
    // reaches it. scale must be positive and finite.
    static double pickStep(const double *candidates, int count, double scale, double target);
    // The smallest step of the form 1, 2 or 5 times a power of ten with step * scale >= target;
    // *decimals receives the digits after the point it needs.
    static double roundStep(double scale, double target, int *decimals);
};

#endif // CHARTSCALE_H
