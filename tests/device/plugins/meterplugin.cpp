#include "meterplugin.h"

MeterPlugin::MeterPlugin()
{
    setObjectName(QStringLiteral("meter"));
}
