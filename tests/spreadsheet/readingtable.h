#ifndef READINGTABLE_H
#define READINGTABLE_H

#include <QAbstractTableModel>
#include <QDateTime>
#include <QVector>

#include <array>

// A stand-in for the window's reading table: the same six display columns, computed on
// demand, so that large tables cost no memory per cell.
class ReadingTable : public QAbstractTableModel
{
public:
    struct Reading
    {
        int storeIndex = 0;
        QDateTime time;
        std::array<double, 4> values {}; // base units
    };

    // stored: column 0 shows storeIndex and the time to the minute, like downloaded records.
    // fahrenheit: temperatures shown in ℉ (values converted, one decimal).
    ReadingTable(const QVector<Reading> &readings, bool stored, bool fahrenheit,
                 QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The value a cell shows, back in base units, as an import should find it.
    double shownValue(int row, int channel) const;

    // Readings with a steady walk of values, one per second from the given start.
    static QVector<Reading> sample(int count, const QDateTime &start, int seed = 1);

private:
    QVector<Reading> m_readings;
    bool m_stored;
    bool m_fahrenheit;
};

#endif // READINGTABLE_H
