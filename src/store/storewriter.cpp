#include "storewriter.h"

StoreWriter::StoreWriter(const QString &path, const QString &connectionName)
    : m_path(path)
    , m_database(connectionName)
{
}

void StoreWriter::open()
{
    if (!m_database.open(m_path))
        fail();
}

void StoreWriter::write(const StoreBatch &batch)
{
    if (m_failed)
        return;
    if (!m_database.apply(batch)) {
        fail();
        return;
    }
    emit written(batch.readingCount());
}

void StoreWriter::finish()
{
    if (!m_failed && m_database.isOpen() && !m_database.setEndedCleanly(true))
        fail();
    m_database.close();
}

void StoreWriter::fail()
{
    if (m_failed)
        return;
    m_failed = true;
    emit failed(m_database.errorText());
}
