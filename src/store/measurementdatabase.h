#ifndef MEASUREMENTDATABASE_H
#define MEASUREMENTDATABASE_H

#include "storebatch.h"
#include "storecontents.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

class DmmData;
class QSqlError;
class QSqlQuery;

// One connection to the measurement store and every query the application makes of it. The
// SQL is what SQLite and PostgreSQL both accept (plain types, no engine's own syntax); only
// the set-up of an SQLite connection uses settings of that engine. A connection belongs to
// the thread that opened it: the store opens one for its writer thread and one for reading on
// the window's thread.
class MeasurementDatabase
{
public:
    enum class Fault {
        None,
        Unusable, // cannot be opened or written (folder, permissions, full disk, no driver)
        Damaged // not a database, not a measurement store, or its pages are damaged
    };

    // `connectionName` must be unique in the process.
    explicit MeasurementDatabase(const QString &connectionName);
    ~MeasurementDatabase();
    MeasurementDatabase(const MeasurementDatabase &) = delete;
    MeasurementDatabase &operator=(const MeasurementDatabase &) = delete;

    // Opens the store at `path`, making a new one when there is none.
    bool open(const QString &path);
    void close();
    bool isOpen() const { return m_open; }
    // True when open() made the store.
    bool isNew() const { return m_new; }

    // The last failure; its text is the database's own, for the user to see as a detail.
    Fault fault() const { return m_fault; }
    QString errorText() const { return m_errorText; }

    bool readContents(StoreContents *contents);
    // The number of readings of every item; -1 on failure.
    qint64 readingCount();
    // Reads an item's readings in their order; each becomes a new reading for `take`, which
    // owns it.
    bool readReadings(qint64 itemId, const std::function<void(DmmData *)> &take);

    // Marks the session as running (false) or as ended normally (true).
    bool setEndedCleanly(bool clean);
    // Applies a batch in one transaction; nothing of it is kept when it fails.
    bool apply(const StoreBatch &batch);

private:
    bool checkSchema();
    bool configureSqlite();
    bool createSchema();
    bool run(QSqlQuery &query, const char *what);
    bool run(const QString &statement, const char *what);
    bool fail(const QSqlError &error, const char *what);
    bool fail(Fault fault, const QString &text);
    bool applyParts(const StoreBatch &batch);
    bool appendReadings(const StoreBatch::Readings &part);

    QString m_connectionName;
    bool m_open = false;
    bool m_new = false;
    Fault m_fault = Fault::None;
    QString m_errorText;
    std::unique_ptr<QSqlQuery> m_insertReading;
    QHash<qint64, int> m_localOffsets; // the zone's offset by local hour and daylight saving
    qint64 m_nextReadingId = 0; // 0: not looked up yet
};

#endif // MEASUREMENTDATABASE_H
