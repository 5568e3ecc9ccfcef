#include "chartscale.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace {

const double SampleSteps[] = {1, 2, 3, 5, 10, 20, 30, 40};
const double ValueSteps[]
    = {0.00001, 0.0001, 0.001, 0.01, 0.1, 0.2, 0.3, 0.5, 0.8, 1, 2, 3, 5, 10, 20, 30, 40};

constexpr double MinXDivPixels = 80.0;
constexpr double MinYDivPixels = 30.0;

bool usable(double scale)
{
    return std::isfinite(scale) && scale > 0.0;
}

} // namespace

void ChartScale::computeScale(int width, int height, int count, double minValue, double maxValue)
{
    fitted = false;
    yMin = -1.0;
    yMax = 1.0;
    if (maxValue > yMax)
        yMax = maxValue;
    if (minValue < yMin)
        yMin = minValue;
    yMax += std::fabs(yMax) / 10.0;
    yMin -= std::fabs(yMin) / 10.0;
    yScale = height / (yMax - yMin);
    xScale = 0.0;
    if (count > 0)
        xScale = double(width) / count;
}

void ChartScale::computeFittedScale(int width, int height, int count, double low, double high)
{
    fitted = true;
    const double spread = high - low;
    if (std::isfinite(spread) && spread > std::fabs(high) * 1e-9) {
        yMax = high + spread / 10.0;
        yMin = low - spread / 10.0;
    } else {
        // A flat curve (or one too flat to divide) sits in the middle of a band of a tenth of
        // its value either side, at least one unit.
        const double pad = std::max(1.0, std::fabs(high) / 10.0);
        yMax = high + pad;
        yMin = low - pad;
    }
    yScale = height / (yMax - yMin);
    xScale = 0.0;
    if (count > 0)
        xScale = double(width) / count;
}

double ChartScale::roundStep(double scale, double target, int *decimals)
{
    const double multiples[] = {1, 2, 5};
    int exponent = int(std::floor(std::log10(target / scale)));
    // 10^exponent <= target / scale, so the next power of ten always reaches the target; the
    // loop allows for the rounding of the logarithm.
    for (int round = 0; round < 4; ++round, ++exponent) {
        for (double m : multiples) {
            const double step
                = exponent < 0 ? m / std::pow(10.0, -exponent) : m * std::pow(10.0, exponent);
            if (step * scale >= target) {
                if (decimals)
                    *decimals = exponent < 0 ? -exponent : 0;
                return step;
            }
        }
    }
    if (decimals)
        *decimals = 0;
    return std::pow(10.0, exponent);
}

double ChartScale::pickStep(const double *candidates, int count, double scale, double target)
{
    for (int i = 0; i < count; ++i) {
        if (candidates[i] * scale >= target)
            return candidates[i];
    }
    // Beyond the table the step grows in multiples of 50. Computed rather than counted up,
    // so that an extremely flat scale cannot stall the paint.
    double m = std::ceil(target / (50.0 * scale));
    if (!(m >= 1.0))
        m = 1.0;
    if (m < 1e15) {
        while (m > 1.0 && (m - 1.0) * 50.0 * scale >= target)
            m -= 1.0;
        while (m * 50.0 * scale < target)
            m += 1.0;
    }
    return m * 50.0;
}

void ChartScale::computeGrid(int width, bool hasSamples)
{
    xDivs = 0;
    yDivsAbove = 0;
    yDivsBelow = 0;
    yFittedLines = 0;
    if (!hasSamples)
        return;

    // A plot area of no width or height has nothing to divide.
    if (usable(xScale)) {
        const double step
            = pickStep(SampleSteps, int(std::size(SampleSteps)), xScale, MinXDivPixels);
        samplesPerXDiv
            = step < std::numeric_limits<int>::max() ? int(step) : std::numeric_limits<int>::max();
        xDivPixels = samplesPerXDiv * xScale;
        const double divs = width / xDivPixels;
        xDivs = divs < std::numeric_limits<int>::max() ? int(divs) : 0;
    }

    if (usable(yScale) && fitted) {
        yStep = roundStep(yScale, MinYDivPixels, &yStepDecimals);
        yDivPixels = yScale * yStep;
        const double lowest = std::ceil(yMin / yStep);
        const double highest = std::floor(yMax / yStep);
        // At least 30 pixels apart, the lines inside a plot area are few; a range beyond
        // what the counters hold gets none.
        if (std::isfinite(lowest) && std::isfinite(highest) && std::fabs(lowest) < 1e15
            && highest >= lowest && highest - lowest < 100000) {
            yFirstDiv = qint64(lowest);
            yFittedLines = int(highest - lowest) + 1;
        }
    } else if (usable(yScale)) {
        yStep = pickStep(ValueSteps, int(std::size(ValueSteps)), yScale, MinYDivPixels);
        yDivPixels = yScale * yStep;
        if (yMin >= 0 && yMax >= 0) {
            yDivsBelow = 0;
            yDivsAbove = int(yMax * yScale / yDivPixels);
        } else if (yMin <= 0) {
            yDivsAbove = yMax >= 0 ? int(yMax * yScale / yDivPixels) : 0;
            yDivsBelow = int(yScale * std::fabs(yMin) / yDivPixels);
        }
    }
}

int ChartScale::zeroY(int top, int bottom) const
{
    if (yMin >= 0 && yMax >= 0)
        return bottom;
    if (yMax >= 0) {
        const double y = top + yScale * yMax;
        return std::isfinite(y) ? int(y) : top;
    }
    return top;
}

double ChartScale::originY(int top, int bottom) const
{
    return fitted ? double(top) : double(zeroY(top, bottom));
}

QString ChartScale::fittedLabel(double v, int decimals) const
{
    int digits = std::max(decimals, yStepDecimals);
    QString suffix;
    double shown = v;
    // Thousands are only abbreviated when the step itself is that coarse: 1000.2 and 1000.4
    // must not both read 1.0k.
    if (yStep >= 1000000.0) {
        shown = v / 1000000.0;
        suffix = QStringLiteral("M");
        digits = std::max(decimals, 0);
    } else if (yStep >= 1000.0) {
        shown = v / 1000.0;
        suffix = QStringLiteral("k");
        digits = std::max(decimals, 0);
    }
    if (shown == 0.0)
        shown = 0.0; // no "-0.0"
    return QString::number(shown, 'f', digits) + suffix;
}

QString ChartScale::valueLabel(double v, int decimals, bool negative)
{
    QString suffix;
    double shown = v;
    if (v >= 1000000.0) {
        shown = v / 1000000.0;
        suffix = QStringLiteral("M");
    } else if (v >= 1000.0) {
        shown = v / 1000.0;
        suffix = QStringLiteral("k");
    }
    // Zero stays unsigned, so the zero line's two labels print the same text.
    if (negative && shown != 0.0)
        shown = -shown;
    return QString::number(shown, 'f', decimals < 0 ? 0 : decimals) + suffix;
}
