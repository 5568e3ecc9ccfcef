#ifndef ITEMSERIES_H
#define ITEMSERIES_H

#include "chartseries.h"
#include "dmmdata.h"

#include <QObject>
#include <QPointer>

#include <array>

class DMMChart;
class DataModel;
class ItemData;

// The four chart series of one item (one per channel), kept from one showing to the next:
// showing an item again lends its series to the charts in constant time instead of
// converting and plotting every reading anew. It lives as a child object of its item, so it
// goes with the item.
//
// The series hold the readings' values in the base unit and show them in the window's unit
// through their display map (Fahrenheit = Celsius x 1.8 + 32 for the three temperatures), so
// a change of unit is arithmetic over the points, not a conversion of every reading. The
// read-out text of a sample is made only when the cursor asks for it, through the table
// model's cell text (the same conversion and unit as the table shows).
//
// The series follow the item lazily: sync() appends the readings added since the last call
// and starts over when the item was cleared in between, so an item that receives readings
// while it is not shown needs no attention until it is shown again.
class ItemSeries : public QObject
{
    Q_OBJECT
public:
    // The series of `item`, made (empty) on first use; `model` makes the read-out texts.
    static ItemSeries *of(ItemData *item, DataModel *model);
    // The series of `item` if it has any.
    static ItemSeries *find(const ItemData *item);

    ~ItemSeries() override;

    ItemData *item() const { return m_item; }
    // Readings covered so far (while lent, as of the lending).
    int size() const { return m_series[0].size(); }
    bool isLent() const { return m_lent; }
    // True when every chart of `charts` shows this item's series.
    bool isShownIn(const std::array<DMMChart *, Channel::Count> &charts) const;

    // Brings the kept series up to the item's readings; only while not lent.
    void sync();
    // Shows the temperatures in `unit` (0 Celsius, 1 Fahrenheit); only while not lent.
    void setUnit(int unit);

    // Hands the series to the charts (series 0 of each, in channel order); what a chart showed
    // before is deleted.
    void lendTo(const std::array<DMMChart *, Channel::Count> &charts);
    // Takes the series back. A chart that was cleared since gives back nothing: that channel
    // starts over at the next sync().
    void takeBack();

private:
    ItemSeries(ItemData *item, DataModel *model);
    void startOver();

    ItemData *m_item;
    QPointer<DataModel> m_model;
    std::array<ChartSeries, Channel::Count> m_series;
    std::array<QPointer<DMMChart>, Channel::Count> m_charts;
    bool m_lent = false;
    quint64 m_generation = 0;
    int m_unit = 0;
};

#endif // ITEMSERIES_H
