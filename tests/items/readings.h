#ifndef ITEMS_READINGS_H
#define ITEMS_READINGS_H

#include "dmmdata.h"
#include "itemdata.h"
#include "widget.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

// Readings as the meter sends them: base-unit values with one-decimal texts.
inline DmmData *makeReading(double t, double h, double dp, double wb,
                            const QDateTime &time = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)))
{
    auto *r = new DmmData;
    auto value = [](double v) { return DmmValue {3, v, QString::number(v, 'f', 1)}; };
    r->setTemperature(value(t));
    r->setHumidity(value(h));
    r->setDewPoint(value(dp));
    r->setWetBulb(value(wb));
    r->setTime(time);
    return r;
}

inline DmmData *makeStoredRecord(int index, const QDateTime &storeTime, double t)
{
    DmmData *r = makeReading(t, 50.0, 10.0, 15.0, storeTime.addDays(-1));
    r->setStore(true);
    r->setStoreIndex(index);
    r->setStoreTime(storeTime);
    return r;
}

// Hands the reading to the item and folds it into the item's statistics, as recording does.
inline void record(Widget *window, ItemData *item, DmmData *reading)
{
    item->appendData(reading);
    window->updateItemStatistic(item, reading);
}

// Counts the readings of a set that have been deleted.
class DeletionCounter : public QObject
{
public:
    void watch(const QList<DmmData *> &readings)
    {
        for (DmmData *r : readings)
            connect(r, &QObject::destroyed, this, [this] { ++deleted; });
    }
    int deleted = 0;
};

#endif // ITEMS_READINGS_H
