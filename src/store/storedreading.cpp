#include "storedreading.h"

StoredReading StoredReading::of(const DmmData &reading)
{
    StoredReading copy;
    copy.time = reading.time();
    copy.storeTime = reading.storeTime();
    for (int channel = 0; channel < Channel::Count; ++channel)
        copy.values[channel] = reading.value(channel);
    copy.isStore = reading.isStore();
    copy.storeIndex = reading.storeIndex();
    return copy;
}

DmmData *StoredReading::toReading() const
{
    auto *reading = new DmmData;
    reading->setTime(time);
    reading->setStoreTime(storeTime);
    reading->setTemperature(values[Channel::Temperature]);
    reading->setHumidity(values[Channel::Humidity]);
    reading->setDewPoint(values[Channel::DewPoint]);
    reading->setWetBulb(values[Channel::WetBulb]);
    reading->setStore(isStore);
    reading->setStoreIndex(storeIndex);
    return reading;
}
