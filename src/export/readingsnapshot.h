#ifndef READINGSNAPSHOT_H
#define READINGSNAPSHOT_H

#include "tablesource.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

#include <array>
#include <memory>

class DmmData;
class IMyDmm;

// The readings of an item as the reading table shows them, copied at one moment so that a
// worker thread can write them out while the item goes on growing (or is changed) on the
// window's thread. Each row keeps its number, its time and the four value texts the plug-in
// made for the unit shown; the cells are put together as the table puts them.
class ReadingSnapshot : public TableSource
{
public:
    struct Row
    {
        QDateTime time;
        int number = 0;
        bool toTheMinute = false; // a record of the meter's memory: its time to the minute
        std::array<QString, 4> values; // by channel, as converted for display, without unit
    };

    explicit ReadingSnapshot(const QString &unitText = QString());

    void reserve(int rows) { m_rows.reserve(rows); }
    void append(const Row &row) { m_rows.append(row); }
    const Row &row(int row) const { return m_rows.at(row); }

    int rowCount() const override { return m_rows.size(); }
    QVariant cell(int row, int column) const override;
    QString temperatureUnit() const override { return m_unitText; }

    // The time text of a row, as the table shows it.
    QString timeText(int row) const;
    // A time as "yyyy-MM-dd hh:mm:ss" (or to the minute), empty for an invalid time; faster
    // than QDateTime::toString, which matters at a million rows.
    static QString formatTime(const QDateTime &time, bool toTheMinute);

private:
    QString m_unitText;
    QVector<Row> m_rows;
};

// Copies an item's readings into a snapshot on the window's thread, a slice at a time, so
// that the window keeps handling its events. The plug-in converts the values for display;
// it is called on this thread only, and once for each distinct value (readings repeat the
// same few hundred).
//
// The reading list is a copy of the item's: readings appended to the item later are not
// seen. The readings themselves must stay alive until the snapshot is complete.
class SnapshotBuilder
{
public:
    SnapshotBuilder(const QList<DmmData *> &readings, IMyDmm *converter, int unit,
                    const QString &unitText);

    // Copies readings for about `budgetMs` milliseconds; true when every reading is copied.
    bool step(int budgetMs);
    int done() const { return m_next; }
    int total() const { return m_readings.size(); }
    // The snapshot, complete once step() has returned true.
    std::shared_ptr<const ReadingSnapshot> snapshot() const { return m_snapshot; }

private:
    struct Raw
    {
        int code;
        quint64 bits;
        QString text;
        bool operator==(const Raw &other) const
        {
            return code == other.code && bits == other.bits && text == other.text;
        }
    };
    friend uint qHash(const Raw &raw, uint seed);
    QString shownText(int channel, const DmmData *reading);

    QList<DmmData *> m_readings;
    IMyDmm *m_converter;
    int m_unit;
    int m_next = 0;
    std::shared_ptr<ReadingSnapshot> m_snapshot;
    std::array<QHash<Raw, QString>, 4> m_converted;
};

#endif // READINGSNAPSHOT_H
