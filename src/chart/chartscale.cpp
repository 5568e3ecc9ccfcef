#include "chartscale.h"

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

    if (usable(yScale)) {
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
