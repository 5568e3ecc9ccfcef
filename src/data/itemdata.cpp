#include "itemdata.h"

#include "dmmdata.h"

#include <cmath>

ItemData::ItemData(const QString &name, DataType type, QObject *parent)
    : QObject(parent)
    , name(name)
    , type(type)
{
    statistics.reserve(Channel::Count);
    for (int channel = 0; channel < Channel::Count; ++channel)
        statistics.append(new ItemStatistic);
}

ItemData::~ItemData()
{
    qDeleteAll(dataList);
    qDeleteAll(statistics);
}

void ItemData::appendData(DmmData *data)
{
    if (data) {
        for (int channel = 0; channel < Channel::Count; ++channel) {
            DmmValue value = data->value(channel);
            if (value.text.isEmpty() || !texts.intern(value.text))
                continue;
            switch (channel) {
            case Channel::Temperature:
                data->setTemperature(value);
                break;
            case Channel::Humidity:
                data->setHumidity(value);
                break;
            case Channel::DewPoint:
                data->setDewPoint(value);
                break;
            default:
                data->setWetBulb(value);
                break;
            }
        }
    }
    dataList.append(data);
}

ItemStatistic *ItemData::getStatistic(int channel) const
{
    if (channel < 0 || channel >= statistics.size())
        return nullptr;
    return statistics.at(channel);
}

void ItemData::foldStatistics(const DmmData *reading)
{
    if (!reading)
        return;
    for (int channel = 0; channel < Channel::Count; ++channel) {
        ItemStatistic *s = statistics.at(channel);
        const double v = reading->value(channel).value;
        // A value that is not a number (or infinite) would stick to the figures for good.
        if (!std::isfinite(v))
            continue;
        // Keyed on the statistic rather than on the list size, so that the first fold is
        // recognised even if the caller folds before (or without) appending the reading.
        if (s->count == 0) {
            s->minimum = v;
            s->maximum = v;
        }
        ++s->count;
        if (!(v > s->minimum))
            s->minimum = v;
        if (v > s->maximum)
            s->maximum = v;
        s->total += v;
        // Once huge values overflow the total, the mean is carried on by itself.
        const double n = double(s->count);
        s->average = std::isfinite(s->total) ? s->total / n : s->average + v / n - s->average / n;
    }
}

void ItemData::clearData()
{
    // Swap first so that the item is already empty while the readings are deleted.
    QList<DmmData *> readings;
    readings.swap(dataList);
    ++m_generation;
    qDeleteAll(readings);
    texts.clear();
    for (ItemStatistic *s : qAsConst(statistics))
        *s = ItemStatistic();
}
