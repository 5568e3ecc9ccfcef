#ifndef FIGURETEXT_H
#define FIGURETEXT_H

#include <QString>

// Texts for the figures the window computes itself (the statistics grid).
class FigureText
{
public:
    // One decimal, as the meter shows its readings. A figure too large for that (seven digits
    // before the point and more) is written in scientific notation, "1.0e+308", so that no
    // value runs to hundreds of digits; a figure that is not a number at all shows as "--".
    static QString tenths(double value);
};

#endif // FIGURETEXT_H
