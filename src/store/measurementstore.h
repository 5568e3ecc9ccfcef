#ifndef MEASUREMENTSTORE_H
#define MEASUREMENTSTORE_H

#include "storebatch.h"
#include "storecontents.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QWaitCondition>
#include <memory>

class ItemData;
class MeasurementDatabase;
class QThread;
class StoreWriter;

// The file that keeps the measurement items between sessions, `measurements.db` in the
// application folder. Opening it reads what it holds (the items, not yet their readings);
// batches of changes go to a writer on a thread of its own, so that the window never waits
// for the disk. A store that cannot be used, or whose writing fails, leaves the application
// running in memory: the store then just stops saving.
class MeasurementStore : public QObject
{
    Q_OBJECT
public:
    enum class State { Closed, Saving, NotSaving };

    explicit MeasurementStore(QObject *parent = nullptr);
    ~MeasurementStore() override;

    static QString fileName() { return QStringLiteral("measurements.db"); }

    // Opens the store in `folder`, or starts a new one there. A file that is no store, or a
    // damaged one, is renamed aside (with the time in its name) and a new one is started.
    // False when the store cannot be used; errorText() tells why.
    bool open(const QString &folder);
    // Waits for every batch handed over, marks the session as ended normally and closes.
    void close();

    State state() const { return m_state; }
    bool isSaving() const { return m_state == State::Saving; }
    QString path() const { return m_path; }
    QString errorText() const { return m_errorText; }
    // Where a damaged store was moved at open; empty when none was.
    QString setAsidePath() const { return m_setAsidePath; }
    // What the store held when it was opened.
    const StoreContents &contents() const { return m_contents; }
    // The readings found after a session that did not end normally; -1 after a normal end.
    qint64 recoveredReadings() const { return m_recovered; }

    // Reads the stored readings of an item into `item` in their order, folding each into the
    // item's statistics; the number read, or -1 when the store could not be read to the end
    // (what was read stays in the item).
    int loadReadings(qint64 itemId, ItemData *item);

    // Hands a batch to the writer; ignored when the store is not saving.
    void submit(const StoreBatch &batch);
    int batchesInFlight() const;
    // Blocks until fewer than `count` batches wait for the writer.
    void waitForWriter(int count);

signals:
    // A batch was written (or dropped after a failure); sent on the writer's thread.
    void batchWritten();
    // Writing failed; nothing more is saved in this session. Sent once.
    void savingFailed(const QString &errorText);

private:
    bool openReader();
    bool setAside();
    void startWriter();
    void stopSaving(const QString &errorText);
    void batchDone();

    State m_state = State::Closed;
    QString m_path;
    QString m_errorText;
    QString m_setAsidePath;
    StoreContents m_contents;
    qint64 m_recovered = -1;
    std::unique_ptr<MeasurementDatabase> m_reader;
    QThread *m_thread = nullptr;
    StoreWriter *m_writer = nullptr;

    mutable QMutex m_mutex;
    QWaitCondition m_drained;
    int m_inFlight = 0; // guarded by m_mutex
};

#endif // MEASUREMENTSTORE_H
