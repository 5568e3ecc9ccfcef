#ifndef METERLOG_H
#define METERLOG_H

#include <QLoggingCategory>

// Diagnostics of the application. Switch them on with QT_LOGGING_RULES, for example
// "meter.*=true"; per-reading lines ("meter.reading") are off by default.
Q_DECLARE_LOGGING_CATEGORY(lcMeter)
Q_DECLARE_LOGGING_CATEGORY(lcReading)

#endif // METERLOG_H
