#ifndef STOREWRITER_H
#define STOREWRITER_H

#include "measurementdatabase.h"

#include <QObject>
#include <QString>

// Writes the batches of the measurement store on the store's own thread, one transaction
// each. After the first failure it writes nothing more: the store then goes on without it.
class StoreWriter : public QObject
{
    Q_OBJECT
public:
    StoreWriter(const QString &path, const QString &connectionName);

    // These run on the writer's thread.
    void open();
    void write(const StoreBatch &batch);
    // Marks the session as ended normally (when nothing failed) and closes the connection.
    void finish();

signals:
    void written(int readings);
    void failed(const QString &errorText);

private:
    void fail();

    QString m_path;
    MeasurementDatabase m_database;
    bool m_failed = false;
};

#endif // STOREWRITER_H
