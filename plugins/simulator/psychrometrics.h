#ifndef PSYCHROMETRICS_H
#define PSYCHROMETRICS_H

// Moist-air relations of the simulated meter. Temperatures in degrees Celsius, relative
// humidity in percent.
namespace Psychrometrics {

// Dew point by the Magnus formula (coefficients of Alduchov and Eskridge, 1996).
double dewPoint(double temperature, double humidity);

// Wet-bulb temperature by Stull's (2011) empirical fit, kept between the dew point and the
// air temperature, where the true wet-bulb temperature always lies: the fit strays outside
// near saturation and at the dry end.
double wetBulb(double temperature, double humidity);

// The value as the meter shows it: rounded to tenths, without a negative zero.
double toTenths(double value);

} // namespace Psychrometrics

#endif // PSYCHROMETRICS_H
