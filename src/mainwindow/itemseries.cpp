#include "itemseries.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "itemdata.h"
#include "temperatureunit.h"

#include <algorithm>
#include <limits>
#include <vector>

ItemSeries *ItemSeries::of(ItemData *item, DataModel *model)
{
    if (!item)
        return nullptr;
    if (ItemSeries *found = find(item))
        return found;
    return new ItemSeries(item, model); // a child of the item
}

ItemSeries *ItemSeries::find(const ItemData *item)
{
    return item ? item->findChild<ItemSeries *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

ItemSeries::ItemSeries(ItemData *item, DataModel *model)
    : QObject(item)
    , m_item(item)
    , m_model(model)
{
    startOver();
}

ItemSeries::~ItemSeries()
{
    // The charts must not keep samples whose read-outs would ask a deleted item.
    takeBack();
}

bool ItemSeries::isShownIn(const std::array<DMMChart *, Channel::Count> &charts) const
{
    if (!m_lent)
        return false;
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const DMMChart *chart = charts[size_t(channel)];
        if (!chart || chart != m_charts[size_t(channel)] || chart->lineCount() == 0
            || chart->line(0)->key() != this)
            return false;
    }
    return true;
}

void ItemSeries::startOver()
{
    m_generation = m_item->generation();
    m_unit = TemperatureUnit::Celsius;
    const QPointer<ItemData> item(m_item);
    const QPointer<DataModel> model(m_model);
    for (int channel = 0; channel < Channel::Count; ++channel) {
        ChartSeries &series = m_series[size_t(channel)];
        series.clear();
        series.setKey(this);
        series.setTagSource([item, model, channel](int index) {
            const DmmData *reading = item ? item->readingAt(index) : nullptr;
            if (!reading || !model)
                return QString();
            return DataModel::cellText(reading, index, DataModel::TemperatureColumn + channel,
                                       model->converter(), model->unit(), model->unitText())
                .toString();
        });
    }
}

void ItemSeries::sync()
{
    if (m_lent)
        return;
    const int count = m_item->count();
    bool stale = m_generation != m_item->generation();
    for (const ChartSeries &series : m_series)
        stale = stale || series.size() != size() || series.size() > count || series.key() != this;
    if (stale)
        startOver();

    const int from = size();
    if (from >= count)
        return;
    const QList<DmmData *> readings = m_item->getDataList();
    for (ChartSeries &series : m_series)
        series.reserve(count);
    // In slices that stay in the cache: the readings are read once, each series then takes
    // its slice in one go.
    constexpr int slice = 4096;
    std::vector<QDateTime> times(size_t(std::min(slice, count - from)));
    std::array<std::vector<double>, Channel::Count> values;
    for (std::vector<double> &channel : values)
        channel.resize(times.size());
    for (int start = from; start < count; start += slice) {
        const int n = std::min(slice, count - start);
        for (int i = 0; i < n; ++i) {
            const DmmData *reading = readings.at(start + i);
            if (!reading) {
                // Keeps the samples in step with the readings; a value that is not finite is
                // not drawn.
                times[size_t(i)] = QDateTime();
                for (std::vector<double> &channel : values)
                    channel[size_t(i)] = std::numeric_limits<double>::quiet_NaN();
                continue;
            }
            times[size_t(i)] = reading->isStore() ? reading->storeTime() : reading->time();
            values[Channel::Temperature][size_t(i)] = reading->temperature().value;
            values[Channel::Humidity][size_t(i)] = reading->humidity().value;
            values[Channel::DewPoint][size_t(i)] = reading->dewPoint().value;
            values[Channel::WetBulb][size_t(i)] = reading->wetBulb().value;
        }
        for (int channel = 0; channel < Channel::Count; ++channel)
            m_series[size_t(channel)].append(times.data(), values[size_t(channel)].data(), n);
    }
}

void ItemSeries::setUnit(int unit)
{
    if (m_lent)
        return;
    unit = unit == TemperatureUnit::Fahrenheit ? unit : TemperatureUnit::Celsius;
    if (unit == m_unit)
        return;
    m_unit = unit;
    // TemperatureUnit::celsiusToFahrenheit as a display map, the same operations in the same
    // order, so that a point shows exactly what the conversion gives; humidity stays as it is.
    const bool fahrenheit = unit == TemperatureUnit::Fahrenheit;
    const double scale = fahrenheit ? 1.8 : 1.0;
    const double offset = fahrenheit ? 32.0 : 0.0;
    for (int channel : {Channel::Temperature, Channel::DewPoint, Channel::WetBulb})
        m_series[size_t(channel)].setDisplay(scale, offset);
}

void ItemSeries::lendTo(const std::array<DMMChart *, Channel::Count> &charts)
{
    if (m_lent)
        takeBack();
    for (int channel = 0; channel < Channel::Count; ++channel) {
        DMMChart *chart = charts[size_t(channel)];
        m_charts[size_t(channel)] = chart;
        if (!chart)
            continue;
        ChartSeries &series = m_series[size_t(channel)];
        chart->swapSeries(series, 0);
        // What the chart showed before is its own, and goes.
        series.clear();
    }
    m_lent = true;
}

void ItemSeries::takeBack()
{
    if (!m_lent)
        return;
    for (int channel = 0; channel < Channel::Count; ++channel) {
        DMMChart *chart = m_charts[size_t(channel)];
        ChartSeries &series = m_series[size_t(channel)];
        if (chart && chart->lineCount() > 0 && chart->line(0)->key() == this)
            chart->swapSeries(series, 0);
        else
            series.clear();
        m_charts[size_t(channel)] = nullptr;
    }
    m_lent = false;
}
