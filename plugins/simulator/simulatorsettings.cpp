#include "simulatorsettings.h"

#include <QtGlobal>

namespace {

int intValue(const char *name, int fallback, int minimum, int maximum)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? qBound(minimum, value, maximum) : fallback;
}

bool flagValue(const char *name)
{
    const QString value = qEnvironmentVariable(name).trimmed().toLower();
    return value == QLatin1String("1") || value == QLatin1String("true")
        || value == QLatin1String("yes") || value == QLatin1String("on");
}

} // namespace

SimulatorSettings SimulatorSettings::fromEnvironment()
{
    SimulatorSettings s;
    s.intervalMs = intValue("METER_SIM_INTERVAL_MS", s.intervalMs, 1, 3600000);
    s.storeCount = intValue("METER_SIM_STORE_COUNT", s.storeCount, 0, 10000000);
    s.refuseOpen = flagValue("METER_SIM_REFUSE_OPEN");
    s.dropAfter = intValue("METER_SIM_DROP_AFTER", s.dropAfter, 0, 1 << 30);
    s.answerParam = !flagValue("METER_SIM_NO_PARAM");
    s.confirmWrite = !flagValue("METER_SIM_NO_WRITE_ACK");
    s.threaded = flagValue("METER_SIM_THREAD");
    s.pollMs = intValue("METER_SIM_POLL_MS", s.pollMs, 10, 3600000);
    return s;
}

QString SimulatorSettings::portOverride()
{
    return qEnvironmentVariable("METER_SIM_PORT").trimmed();
}
