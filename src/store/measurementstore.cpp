#include "measurementstore.h"

#include "itemdata.h"
#include "measurementdatabase.h"
#include "meterlog.h"
#include "storewriter.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {

// Each store opens two connections, and connection names are global to the process.
QString connectionName(const char *role)
{
    static QAtomicInt next;
    return QStringLiteral("measurements-%1-%2")
        .arg(QLatin1String(role))
        .arg(next.fetchAndAddRelaxed(1));
}

} // namespace

MeasurementStore::MeasurementStore(QObject *parent)
    : QObject(parent)
{
}

MeasurementStore::~MeasurementStore()
{
    close();
}

bool MeasurementStore::open(const QString &folder)
{
    close();
    m_state = State::Closed;
    m_errorText.clear();
    m_setAsidePath.clear();
    m_contents = StoreContents();
    m_recovered = -1;
    m_path = QDir(folder).absoluteFilePath(fileName());
    m_reader.reset(new MeasurementDatabase(connectionName("read")));

    bool opened = openReader();
    if (!opened && m_reader->fault() == MeasurementDatabase::Fault::Damaged) {
        const QString why = m_reader->errorText();
        m_reader->close();
        if (!setAside()) {
            stopSaving(QStringLiteral("%1 It cannot be renamed aside: %2")
                           .arg(why, QFile(m_path).errorString()));
            return false;
        }
        opened = openReader();
    }
    if (!opened) {
        stopSaving(m_reader->errorText());
        m_reader->close();
        return false;
    }
    startWriter();
    m_state = State::Saving;
    return true;
}

bool MeasurementStore::openReader()
{
    m_contents = StoreContents();
    m_recovered = -1;
    if (!m_reader->open(m_path) || !m_reader->readContents(&m_contents))
        return false;
    if (!m_contents.endedCleanly) {
        m_recovered = m_reader->readingCount();
        if (m_recovered < 0)
            return false;
    }
    // Also the proof that the store can be written at all.
    return m_reader->setEndedCleanly(false);
}

bool MeasurementStore::setAside()
{
    const QFileInfo file(m_path);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString aside
        = file.dir().absoluteFilePath(QStringLiteral("measurements-damaged-%1.db").arg(stamp));
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = file.dir().absoluteFilePath(
            QStringLiteral("measurements-damaged-%1-%2.db").arg(stamp).arg(n));
    if (!QFile::rename(m_path, aside))
        return false;
    // The log may hold the latest changes; the index beside it goes along so that nothing
    // of the old store is left to be mistaken for part of the new one.
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString companion = m_path + QLatin1String(suffix);
        if (QFileInfo::exists(companion)
            && !QFile::rename(companion, aside + QLatin1String(suffix)))
            qCWarning(lcMeter) << "measurement store: could not move" << companion;
    }
    qCWarning(lcMeter) << "measurement store: damaged store renamed to" << aside;
    m_setAsidePath = aside;
    return true;
}

void MeasurementStore::startWriter()
{
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("measurement store"));
    m_writer = new StoreWriter(m_path, connectionName("write"));
    m_writer->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_writer, &QObject::deleteLater);
    connect(m_writer, &StoreWriter::failed, this, &MeasurementStore::stopSaving);
    m_thread->start();
    StoreWriter *writer = m_writer;
    QMetaObject::invokeMethod(
        writer, [writer] { writer->open(); }, Qt::QueuedConnection);
}

void MeasurementStore::close()
{
    if (m_thread) {
        StoreWriter *writer = m_writer;
        // Queued behind every batch handed over before.
        QMetaObject::invokeMethod(
            writer, [writer] { writer->finish(); }, Qt::BlockingQueuedConnection);
        m_thread->quit();
        m_thread->wait();
        delete m_thread;
        m_thread = nullptr;
        m_writer = nullptr;
    }
    if (m_reader)
        m_reader->close();
    if (m_state == State::Saving)
        m_state = State::Closed;
}

void MeasurementStore::stopSaving(const QString &errorText)
{
    if (m_state == State::NotSaving)
        return;
    m_state = State::NotSaving;
    m_errorText = errorText;
    qCWarning(lcMeter) << "measurement store: not saving:" << errorText;
    emit savingFailed(errorText);
}

int MeasurementStore::loadReadings(qint64 itemId, ItemData *item)
{
    if (!m_reader || !m_reader->isOpen() || !item)
        return -1;
    int count = 0;
    const bool complete = m_reader->readReadings(itemId, [item, &count](DmmData *reading) {
        item->appendData(reading); // the item owns it from here on
        item->foldStatistics(reading);
        ++count;
    });
    return complete ? count : -1;
}

void MeasurementStore::submit(const StoreBatch &batch)
{
    if (!isSaving() || !m_writer || batch.isEmpty())
        return;
    {
        QMutexLocker lock(&m_mutex);
        ++m_inFlight;
    }
    StoreWriter *writer = m_writer;
    QMetaObject::invokeMethod(
        writer,
        [this, writer, batch] {
            writer->write(batch);
            batchDone();
        },
        Qt::QueuedConnection);
}

void MeasurementStore::batchDone()
{
    {
        QMutexLocker lock(&m_mutex);
        --m_inFlight;
        m_drained.wakeAll();
    }
    emit batchWritten();
}

int MeasurementStore::batchesInFlight() const
{
    QMutexLocker lock(&m_mutex);
    return m_inFlight;
}

void MeasurementStore::waitForWriter(int count)
{
    QMutexLocker lock(&m_mutex);
    while (m_thread && m_inFlight >= count)
        m_drained.wait(&m_mutex);
}
