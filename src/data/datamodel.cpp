#include "datamodel.h"

#include "dmmdata.h"
#include "imydmm.h"

#include <QBrush>
#include <QColor>
#include <QStringBuilder>

#include <cmath>

DataModel::DataModel(Widget *, QObject *parent)
    : QAbstractTableModel(parent)
{
}

void DataModel::setUnit(int unit, const QString &unitText)
{
    unitCode = unit;
    unitName = unitText;
}

void DataModel::setLimits(const QVector<Limits> &limits)
{
    // The meter sends its record every few readings: only a change repaints the table.
    if (limits == channelLimits)
        return;
    channelLimits = limits;
    if (!dataList.isEmpty())
        emit dataChanged(index(0, TemperatureColumn), index(dataList.size() - 1, WetBulbColumn),
                         {Qt::ForegroundRole});
}

bool DataModel::isOutsideLimits(const DmmData *reading, int channel) const
{
    if (!reading || channel < 0 || channel >= channelLimits.size())
        return false;
    const double v = reading->value(channel).value;
    const Limits &limits = channelLimits.at(channel);
    return std::isfinite(v) && (v < limits.low || v > limits.high);
}

int DataModel::rowCount(const QModelIndex &) const
{
    return dataList.size();
}

int DataModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

QVariant DataModel::cellText(const DmmData *reading, int row, int column, IMyDmm *dmm, int unit,
                             const QString &unitText)
{
    if (!reading)
        return QVariant();
    switch (column) {
    case NumberColumn:
        return reading->isStore() ? reading->storeIndex() : row + 1;
    case TimeColumn:
        // Records from the meter's memory carry their time to the minute only.
        return reading->isStore()
            ? reading->storeTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"))
            : reading->time().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case TemperatureColumn:
    case HumidityColumn:
    case DewPointColumn:
    case WetBulbColumn: {
        const int channel = column - TemperatureColumn;
        const DmmValue raw = reading->value(channel);
        const QString text = dmm ? dmm->convertValue(raw, channel, unit).text : raw.text;
        if (column == HumidityColumn)
            return QString(text % QLatin1String(" %RH"));
        return QString(text % QLatin1Char(' ') % unitText);
    }
    default:
        return QVariant();
    }
}

QVariant DataModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= dataList.size() || index.column() >= ColumnCount)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole) {
        const int channel = index.column() - TemperatureColumn;
        if (channel >= 0 && isOutsideLimits(dataList.at(index.row()), channel))
            return QBrush(QColor(220, 0, 0));
        return QVariant();
    }
    if (role != Qt::DisplayRole)
        return QVariant();

    return cellText(dataList.at(index.row()), index.row(), index.column(), dmm, unitCode, unitName);
}

QVariant DataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    switch (section) {
    case NumberColumn:
        return tr("NO.");
    case TimeColumn:
        return tr("Time");
    case TemperatureColumn:
        return tr("Temperature");
    case HumidityColumn:
        return tr("Humidity");
    case DewPointColumn:
        return tr("Dew Point");
    case WetBulbColumn:
        return tr("Wet Bulb");
    default:
        return QVariant();
    }
}

void DataModel::clearData()
{
    if (dataList.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, dataList.size() - 1);
    dataList.clear();
    endRemoveRows();
}

void DataModel::appendData(DmmData *data)
{
    const int row = dataList.size();
    beginInsertRows(QModelIndex(), row, row);
    dataList.append(data);
    endInsertRows();
}

int DataModel::setDataList(const QList<DmmData *> &list)
{
    if (list.isEmpty())
        return dataList.size();
    const int first = dataList.size();
    beginInsertRows(QModelIndex(), first, first + list.size() - 1);
    // Sharing the item's list costs nothing at a million rows; should rows already be
    // there, the new ones go after them, as announced.
    if (dataList.isEmpty())
        dataList = list;
    else
        dataList.append(list);
    endInsertRows();
    return dataList.size();
}
