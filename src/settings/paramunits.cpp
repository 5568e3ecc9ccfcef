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
    const double cut = std::trunc(value);
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
