#include "readings.h"

#include "dmmdata.h"
#include "imydmm.h"
#include "itemdata.h"
#include "widget.h"

DmmData *makeReading(double temperature, double humidity, double dewPoint, double wetBulb,
                     const QDateTime &time)
{
    auto value = [](double v) { return DmmValue {3, v, QString::number(v, 'f', 1)}; };
    auto *reading = new DmmData; // owned by whoever the caller hands it to
    reading->setTemperature(value(temperature));
    reading->setHumidity(value(humidity));
    reading->setDewPoint(value(dewPoint));
    reading->setWetBulb(value(wetBulb));
    reading->setTime(time);
    return reading;
}

DmmData *makeStoredRecord(int index, const QDateTime &storeTime, double temperature)
{
    DmmData *reading = makeReading(temperature, 50.0, 10.0, 15.0, storeTime.addDays(-1));
    reading->setStore(true);
    reading->setStoreIndex(index);
    reading->setStoreTime(storeTime);
    return reading;
}

DmmData *seriesReading(const Widget *window, int i)
{
    const double values[Channel::Count] = {20.0 + (i % 57) / 10.0, 40.0 + (i % 301) / 10.0,
                                           -5.0 + (i % 23) / 10.0, 15.0 + (i % 31) / 10.0};
    IMyDmm *meter = window->myDmm();
    auto *reading = new DmmData; // owned by whoever the caller hands it to
    reading->setTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).addSecs(i));
    reading->setTemperature(
        meter->makeValue(values[Channel::Temperature], Channel::Temperature, 0));
    reading->setHumidity(meter->makeValue(values[Channel::Humidity], Channel::Humidity, 0));
    reading->setDewPoint(meter->makeValue(values[Channel::DewPoint], Channel::DewPoint, 0));
    reading->setWetBulb(meter->makeValue(values[Channel::WetBulb], Channel::WetBulb, 0));
    return reading;
}

void record(Widget *window, ItemData *item, DmmData *reading)
{
    item->appendData(reading);
    window->updateItemStatistic(item, reading);
}

void fillActiveItem(Widget *window, int count)
{
    ItemData *item = window->activeItem();
    for (int i = 0; i < count; ++i)
        record(window, item, seriesReading(window, i));
    window->refreshItemViews();
}
