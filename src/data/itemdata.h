#ifndef ITEMDATA_H
#define ITEMDATA_H

#include "textinterner.h"

#include <QList>
#include <QObject>
#include <QString>

class DmmData;

// Running statistics of one quantity of an item, in the base unit.
struct ItemStatistic
{
    int count = 0;
    double average = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    double total = 0.0;
};

// A measurement item: a name, a kind, the readings it owns and four running statistics
// (index = channel: 0 temperature, 1 humidity, 2 dew point, 3 wet bulb).
class ItemData : public QObject
{
    Q_OBJECT
public:
    enum DataType { LiveRoot = 0, Measure = 1, Import = 2, Store = 3 };

    ItemData(const QString &name, DataType type, QObject *parent = nullptr);
    ~ItemData() override;

    QString getName() const { return name; }
    void setName(const QString &newName) { name = newName; }
    DataType getType() const { return type; }

    // The item owns the reading from now on; the statistics are not touched. The reading's
    // value texts are made to share the equal texts of the item's earlier readings, which
    // keeps a long item's memory down; what the reading holds stays equal.
    void appendData(DmmData *data);
    // A shared copy; the caller must not delete the readings.
    QList<DmmData *> getDataList() const { return dataList; }
    int count() const { return dataList.size(); }
    // The reading at `index`, null outside the list.
    DmmData *readingAt(int index) const { return dataList.value(index); }
    // Counts the clearings: a view that keeps something built from the readings knows by it
    // whether its first readings are still the ones it was built from.
    quint64 generation() const { return m_generation; }
    // The statistics of channel 0..3, which the caller may update; null for any other channel.
    ItemStatistic *getStatistic(int channel) const;

    // Folds one reading into the four statistics: the first reading folded sets minimum and
    // maximum, every reading then counts, widens minimum / maximum and adds to the total.
    // Values are taken unconverted, in the base unit.
    void foldStatistics(const DmmData *reading);

    // Deletes every reading and resets the four statistics.
    void clearData();

private:
    Q_DISABLE_COPY(ItemData)

    QString name;
    QList<DmmData *> dataList;
    QList<ItemStatistic *> statistics;
    DataType type;
    TextInterner texts;
    quint64 m_generation = 0;
};

Q_DECLARE_METATYPE(ItemData *)

#endif // ITEMDATA_H
