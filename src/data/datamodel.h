#ifndef DATAMODEL_H
#define DATAMODEL_H

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QVector>

class DmmData;
class IMyDmm;
class Widget;

// The table of the active item's readings, one row per reading. It keeps no text of its own:
// every cell is converted through the plug-in at the moment it is asked for, so a change of
// the temperature unit shows at the next repaint. The readings belong to the item; the model
// only points at them and never deletes one. The window hands it the plug-in's converter and
// the unit whenever they change; the model never asks the window.
class DataModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        NumberColumn,
        TimeColumn,
        TemperatureColumn,
        HumidityColumn,
        DewPointColumn,
        WetBulbColumn,
        ColumnCount
    };

    // The window is the one that shows the table; the model keeps nothing of it.
    DataModel(Widget *window, QObject *parent);

    // The plug-in that converts values for display (none: values are shown as read).
    void setConverter(IMyDmm *converter) { dmm = converter; }
    // The unit code the values are shown in and its text ("℃", "℉").
    void setUnit(int unit, const QString &unitText);
    IMyDmm *converter() const { return dmm; }
    int unit() const { return unitCode; }
    QString unitText() const { return unitName; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Alarm limits of one channel, in the base unit (degrees Celsius, %RH).
    struct Limits
    {
        double low = 0.0;
        double high = 0.0;
        bool operator==(const Limits &other) const
        {
            return low == other.low && high == other.high;
        }
    };
    // Values below their channel's low or above its high limit are shown in red. One entry
    // per channel, in channel order; an empty list (the default) marks nothing.
    void setLimits(const QVector<Limits> &limits);
    QVector<Limits> limits() const { return channelLimits; }
    // Whether the value of `channel` lies outside that channel's limits.
    bool isOutsideLimits(const DmmData *reading, int channel) const;

    // Forgets every row; the readings themselves are left alone.
    void clearData();
    void appendData(DmmData *data);
    // Appends the readings in one insertion; returns the new row count.
    int setDataList(const QList<DmmData *> &list);

    // The display text of one cell: an int for the number column, a string for the others.
    // The value columns are converted through `dmm` (shown unconverted when there is none)
    // for the unit code `unit` and followed by a blank and `unitText` ("%RH" for humidity).
    static QVariant cellText(const DmmData *reading, int row, int column, IMyDmm *dmm, int unit,
                             const QString &unitText);

private:
    IMyDmm *dmm = nullptr;
    int unitCode = 0;
    QString unitName;
    QList<DmmData *> dataList;
    QVector<Limits> channelLimits;
};

#endif // DATAMODEL_H
