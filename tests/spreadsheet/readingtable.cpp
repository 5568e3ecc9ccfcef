#include "readingtable.h"

#include <cmath>

ReadingTable::ReadingTable(const QVector<Reading> &readings, bool stored, bool fahrenheit,
                           QObject *parent)
    : QAbstractTableModel(parent)
    , m_readings(readings)
    , m_stored(stored)
    , m_fahrenheit(fahrenheit)
{
}

int ReadingTable::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_readings.size();
}

int ReadingTable::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 6;
}

QVariant ReadingTable::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_readings.size())
        return QVariant();
    const Reading &r = m_readings.at(index.row());
    switch (index.column()) {
    case 0:
        return m_stored ? r.storeIndex : index.row() + 1;
    case 1:
        return r.time.toString(m_stored ? QStringLiteral("yyyy-MM-dd hh:mm")
                                        : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case 2:
    case 3:
    case 4:
    case 5: {
        const int channel = index.column() - 2;
        double v = r.values[size_t(channel)];
        QString unit = QStringLiteral("%RH");
        if (channel != 1) {
            unit = m_fahrenheit ? QStringLiteral("℉") : QStringLiteral("℃");
            if (m_fahrenheit)
                v = v * 1.8 + 32.0;
        }
        return QStringLiteral("%1 %2").arg(QString::number(v, 'f', 1), unit);
    }
    default:
        return QVariant();
    }
}

double ReadingTable::shownValue(int row, int channel) const
{
    double v = m_readings.at(row).values[size_t(channel)];
    if (channel == 1 || !m_fahrenheit)
        return QString::number(v, 'f', 1).toDouble();
    return (QString::number(v * 1.8 + 32.0, 'f', 1).toDouble() - 32.0) / 1.8;
}

QVector<ReadingTable::Reading> ReadingTable::sample(int count, const QDateTime &start, int seed)
{
    QVector<Reading> readings;
    readings.reserve(count);
    for (int i = 0; i < count; ++i) {
        Reading r;
        r.storeIndex = i + 1;
        r.time = start.addSecs(i);
        const double phase = (i + seed) * 0.37;
        r.values = {{22.0 + 8.0 * std::sin(phase), 45.0 + 30.0 * std::cos(phase * 0.7),
                     12.0 + 6.0 * std::sin(phase * 1.3), -5.0 + 25.0 * std::cos(phase * 0.4)}};
        readings.append(r);
    }
    return readings;
}
