#include "meterlog.h"

Q_LOGGING_CATEGORY(lcMeter, "meter", QtInfoMsg)
Q_LOGGING_CATEGORY(lcReading, "meter.reading", QtWarningMsg)
