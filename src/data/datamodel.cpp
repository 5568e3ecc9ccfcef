#include "datamodel.h"

#include "dmmdata.h"
#include "imydmm.h"

#include <QStringBuilder>

DataModel::DataModel(Widget *, QObject *parent)
    : QAbstractTableModel(parent)
{
}

void DataModel::setUnit(int unit, const QString &unitText)
{
    unitCode = unit;
    unitName = unitText;
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
