#ifndef PARAMUNITS_H
#define PARAMUNITS_H

#include <QtGlobal>

// Conversions between the parameter record's tenths of a degree Celsius and the value the
// settings dialog shows in the selected unit (0 Celsius, 1 Fahrenheit; any other index is
// Celsius). Humidity is never converted.
namespace ParamUnits {

// The unit index a record's unit code is shown with: only 1 is Fahrenheit.
int unitIndex(int unitCode);

// A Celsius value (a limit or a range bound) in the given unit.
double fromCelsius(double celsius, int unit);

// Stored tenths of a degree Celsius as shown in the given unit.
double tenthsToShown(int tenths, int unit);

// A shown value back to tenths of a degree Celsius, cut toward zero. A value that is a whole
// number of tenths (98.6 °F is 37.0 °C) gives exactly that number, whatever the rounding of
// the double arithmetic on the way.
int shownToTenths(double shown, int unit);

// The same for an offset, which is a difference of temperatures (0.0 °C shows as 0.0 °F).
double offsetFromCelsius(double celsius, int unit);
double offsetTenthsToShown(int tenths, int unit);
int shownOffsetToTenths(double shown, int unit);

// Tenths of %RH as shown, and back (cut toward zero).
double humidityTenthsToShown(int tenths);
int humidityShownToTenths(double shown);

// Last guards before a value goes into a record field: never let it wrap.
qint8 clampToInt8(int tenths);
qint16 clampToInt16(int tenths);

} // namespace ParamUnits

#endif // PARAMUNITS_H
