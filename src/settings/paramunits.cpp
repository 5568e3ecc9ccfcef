#include "paramunits.h"

#include "temperatureunit.h"

#include <cmath>
#include <limits>

namespace ParamUnits {

int unitIndex(int unitCode)
{
    return unitCode == 1 ? 1 : 0;
}

double fromCelsius(double celsius, int unit)
{
    return TemperatureUnit::fromCelsius(celsius, unit);
}

double tenthsToShown(int tenths, int unit)
{
    return fromCelsius(tenths / 10.0, unit);
}

namespace {

int truncToInt(double value)
{
    // Saturate instead of overflowing; the callers clamp to their field afterwards.
    if (std::isnan(value))
        return 0;
    // A whole number may come out of the conversion a hair below itself (369.99999999999994
    // for 98.6 °F); cut, it would lose a tenth. The values are one-decimal texts, so a real
    // fraction is never closer than a ninth of a tenth to the next whole number.
    const double nearest = std::round(value);
    const double cut = std::abs(value - nearest) < 1e-6 ? nearest : std::trunc(value);
    if (cut <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (cut >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(cut);
}

} // namespace

int shownToTenths(double shown, int unit)
{
    const double celsius = TemperatureUnit::toCelsius(shown, unit);
    return truncToInt(celsius * 10);
}

double offsetFromCelsius(double celsius, int unit)
{
    return TemperatureUnit::differenceFromCelsius(celsius, unit);
}

double offsetTenthsToShown(int tenths, int unit)
{
    return offsetFromCelsius(tenths / 10.0, unit);
}

int shownOffsetToTenths(double shown, int unit)
{
    return truncToInt(TemperatureUnit::differenceToCelsius(shown, unit) * 10);
}

double humidityTenthsToShown(int tenths)
{
    return tenths / 10.0;
}

int humidityShownToTenths(double shown)
{
    return truncToInt(shown * 10);
}

qint8 clampToInt8(int tenths)
{
    return static_cast<qint8>(
        qBound<int>(std::numeric_limits<qint8>::min(), tenths, std::numeric_limits<qint8>::max()));
}

qint16 clampToInt16(int tenths)
{
    return static_cast<qint16>(qBound<int>(std::numeric_limits<qint16>::min(), tenths,
                                           std::numeric_limits<qint16>::max()));
}

} // namespace ParamUnits
