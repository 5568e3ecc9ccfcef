#ifndef TEMPERATUREUNIT_H
#define TEMPERATUREUNIT_H

// The one temperature conversion the application does by itself; every other conversion for
// display is the plug-in's. Unit indexes: 0 Celsius, 1 Fahrenheit.
namespace TemperatureUnit {

constexpr int Celsius = 0;
constexpr int Fahrenheit = 1;

constexpr double celsiusToFahrenheit(double celsius)
{
    return celsius * 1.8 + 32.0;
}

constexpr double fahrenheitToCelsius(double fahrenheit)
{
    return (fahrenheit - 32.0) / 1.8;
}

// A Celsius temperature in the given unit (any index but Fahrenheit is Celsius).
constexpr double fromCelsius(double celsius, int unit)
{
    return unit == Fahrenheit ? celsiusToFahrenheit(celsius) : celsius;
}

// A temperature in the given unit back to Celsius.
constexpr double toCelsius(double shown, int unit)
{
    return unit == Fahrenheit ? fahrenheitToCelsius(shown) : shown;
}

// A temperature difference (a calibration offset) in the given unit, and back: a degree
// Fahrenheit is 1/1.8 of a degree Celsius, and a difference has no zero point to shift.
constexpr double differenceFromCelsius(double celsius, int unit)
{
    return unit == Fahrenheit ? celsius * 1.8 : celsius;
}

constexpr double differenceToCelsius(double shown, int unit)
{
    return unit == Fahrenheit ? shown / 1.8 : shown;
}

} // namespace TemperatureUnit

#endif // TEMPERATUREUNIT_H
