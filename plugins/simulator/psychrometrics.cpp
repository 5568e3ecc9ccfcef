#include "psychrometrics.h"

#include <algorithm>
#include <cmath>

namespace Psychrometrics {

namespace {
constexpr double magnusA = 17.625;
constexpr double magnusB = 243.04;
} // namespace

double dewPoint(double temperature, double humidity)
{
    const double rh = std::clamp(humidity, 0.1, 100.0);
    const double gamma = std::log(rh / 100.0) + magnusA * temperature / (magnusB + temperature);
    return magnusB * gamma / (magnusA - gamma);
}

double wetBulb(double temperature, double humidity)
{
    const double rh = std::clamp(humidity, 0.1, 100.0);
    const double t = temperature;
    const double fit = t * std::atan(0.151977 * std::sqrt(rh + 8.313659)) + std::atan(t + rh)
        - std::atan(rh - 1.676331) + 0.00391838 * std::pow(rh, 1.5) * std::atan(0.023101 * rh)
        - 4.686035;
    return std::clamp(fit, std::min(dewPoint(t, rh), t), t);
}

double toTenths(double value)
{
    // Adding 0.0 turns a negative zero into a positive one, so "-0.0" is never shown.
    return std::round(value * 10.0) / 10.0 + 0.0;
}

} // namespace Psychrometrics
