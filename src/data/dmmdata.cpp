#include "dmmdata.h"

DmmData::DmmData(QObject *parent)
    : QObject(parent)
{
}

DmmValue DmmData::value(int channel) const
{
    switch (channel) {
    case 0:
        return m_temperature;
    case 1:
        return m_humidity;
    case 2:
        return m_dewPoint;
    case 3:
        return m_wetBulb;
    default:
        return DmmValue();
    }
}

void registerDmmDataMetaTypes()
{
    // The normalised signatures of the plug-in signals name the type "const DmmData*".
    qRegisterMetaType<const DmmData *>("const DmmData*");
    qRegisterMetaType<DmmValue>("DmmValue");
}
