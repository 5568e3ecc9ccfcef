#include "figuretext.h"

#include <cmath>

namespace {
// Everything that rounds to at most seven digits before the point.
constexpr double largestPlain = 9999999.95;
} // namespace

QString FigureText::tenths(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("--");
    if (std::fabs(value) < largestPlain)
        return QString::number(value, 'f', 1);
    return QString::number(value, 'e', 1);
}
