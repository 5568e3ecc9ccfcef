#include "measurementdatabase.h"

#include "dmmdata.h"
#include "meterlog.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cstring>

namespace {

constexpr int schemaVersion = 1;
const char sqliteDriver[] = "QSQLITE";

// SQLite's primary result codes for a file that is no database or whose pages are damaged;
// the driver reports the extended code, whose low byte is the primary one.
constexpr int sqliteCorrupt = 11;
constexpr int sqliteNotADatabase = 26;

// The reading columns after the id and the item, in the order of insertion and reading. A
// value's code and text are kept apart, in `details`, and only when they are not the usual
// ones: the default code and the value written with one decimal, the form the meters use.
// Most readings then have no details, and the window reads a long item several times faster
// than with a code and a text column for every value.
const char readingColumns[]
    = "taken_ms, taken_offset, stored_ms, stored_offset,"
      " temperature, humidity, dew_point, wet_bulb, is_store, store_index, details";
constexpr int readingColumnCount = 11;

const QStringList schema = {
    QStringLiteral("CREATE TABLE store_state (name VARCHAR(32) NOT NULL PRIMARY KEY,"
                   " value BIGINT NOT NULL)"),
    QStringLiteral("CREATE TABLE item (id BIGINT NOT NULL PRIMARY KEY, kind INTEGER NOT NULL,"
                   " name TEXT NOT NULL, position INTEGER NOT NULL)"),
    // The id orders the readings of an item. INTEGER keeps it SQLite's row number, the
    // cheapest key there; a server would want BIGINT.
    QStringLiteral(
        "CREATE TABLE reading (id INTEGER NOT NULL PRIMARY KEY,"
        " item_id BIGINT NOT NULL,"
        " taken_ms BIGINT, taken_offset INTEGER, stored_ms BIGINT, stored_offset INTEGER,"
        " temperature DOUBLE PRECISION NOT NULL, humidity DOUBLE PRECISION NOT NULL,"
        " dew_point DOUBLE PRECISION NOT NULL, wet_bulb DOUBLE PRECISION NOT NULL,"
        " is_store INTEGER NOT NULL, store_index INTEGER NOT NULL, details TEXT)"),
    QStringLiteral("CREATE INDEX reading_item ON reading (item_id, id)"),
    QStringLiteral("INSERT INTO store_state (name, value) VALUES ('schema', %1),"
                   " ('active_item', 0), ('clean_end', 1)")
        .arg(schemaVersion),
};

QString shortText(double value)
{
    return QString::number(value, 'f', 1);
}

// A time is kept as milliseconds since the epoch and the offset from UTC it was told at, and
// comes back at that offset: the same moment, shown with the same date and clock time. Asking
// the system's time zone costs microseconds a time (the C library looks at the zone file
// again every time), so a reading told in local time is not converted one by one: its date
// and clock time are at hand, and the zone's offset for that local hour and daylight-saving
// state is asked once.
constexpr qint64 epochJulianDay = 2440588;
constexpr qint64 msecsPerDay = 86400000;
constexpr qint64 msecsPerHour = 3600000;

qint64 floorDivide(qint64 a, qint64 b)
{
    return a / b - (a % b < 0 ? 1 : 0);
}

// `localOffsets` holds the offsets asked for so far, by local hour and daylight-saving state.
void bindTime(QSqlQuery &query, int column, const QDateTime &time, QHash<qint64, int> &localOffsets)
{
    if (!time.isValid()) {
        query.bindValue(column, QVariant());
        query.bindValue(column + 1, QVariant());
        return;
    }
    qint64 msecs;
    int offset;
    if (time.timeSpec() == Qt::LocalTime) {
        const qint64 local = (time.date().toJulianDay() - epochJulianDay) * msecsPerDay
            + time.time().msecsSinceStartOfDay();
        const qint64 key = 2 * floorDivide(local, msecsPerHour) + (time.isDaylightTime() ? 1 : 0);
        auto it = localOffsets.constFind(key);
        if (it == localOffsets.constEnd())
            it = localOffsets.insert(key, int((local - time.toMSecsSinceEpoch()) / 1000));
        offset = *it;
        msecs = local - qint64(offset) * 1000;
    } else {
        msecs = time.toMSecsSinceEpoch();
        offset = time.offsetFromUtc();
    }
    query.bindValue(column, msecs);
    query.bindValue(column + 1, offset);
}

QDateTime timeOf(const QVariant &msecs, const QVariant &offset)
{
    if (msecs.isNull())
        return QDateTime();
    const int seconds = offset.toInt();
    return seconds == 0
        ? QDateTime::fromMSecsSinceEpoch(msecs.toLongLong(), Qt::UTC)
        : QDateTime::fromMSecsSinceEpoch(msecs.toLongLong(), Qt::OffsetFromUTC, seconds);
}

// The texts left out by the writer, made again. A long item repeats a few hundred values,
// so each text is made once and shared by every reading that shows it. Keyed by the bits of
// the value: -0.0 and 0.0 have texts of their own.
class ShortTexts
{
public:
    QString of(double value)
    {
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        auto it = texts.constFind(bits);
        if (it != texts.constEnd())
            return *it;
        if (texts.size() >= maximumSize)
            texts.clear();
        const QString text = shortText(value);
        texts.insert(bits, text);
        return text;
    }

private:
    static constexpr int maximumSize = 65536;
    QHash<quint64, QString> texts;
};

// The details of a reading's values: nothing in the usual case, otherwise the four codes and
// the lengths of the four texts, then the texts one after the other. Codes 3, 3, 7, 3 with
// the texts "21.5", "45.0", "--", "14.2" give "3 3 7 3 4 4 2 4|21.545.0--14.2".
QVariant detailsOf(const DmmValue (&values)[Channel::Count])
{
    const int usualCode = DmmValue().code;
    bool usual = true;
    for (const DmmValue &v : values)
        usual = usual && v.code == usualCode && v.text == shortText(v.value);
    if (usual)
        return QVariant();
    QString details;
    for (const DmmValue &v : values)
        details += QString::number(v.code) + QLatin1Char(' ');
    for (int c = 0; c < Channel::Count; ++c)
        details += QString::number(values[c].text.size())
            + QLatin1Char(c + 1 < Channel::Count ? ' ' : '|');
    for (const DmmValue &v : values)
        details += v.text;
    return details;
}

bool readDetails(const QString &details, DmmValue (&values)[Channel::Count])
{
    const int bar = details.indexOf(QLatin1Char('|'));
    const QVector<QStringRef> numbers = details.leftRef(bar).split(QLatin1Char(' '));
    if (bar < 0 || numbers.size() != 2 * Channel::Count)
        return false;
    int at = bar + 1;
    for (int c = 0; c < Channel::Count; ++c) {
        bool codeOk = false, lengthOk = false;
        values[c].code = numbers.at(c).toInt(&codeOk);
        const int length = numbers.at(Channel::Count + c).toInt(&lengthOk);
        // Compared without adding: a made-up length near the largest integer must not wrap.
        if (!codeOk || !lengthOk || length < 0 || length > details.size() - at)
            return false;
        values[c].text = details.mid(at, length);
        at += length;
    }
    return true;
}

} // namespace

MeasurementDatabase::MeasurementDatabase(const QString &connectionName)
    : m_connectionName(connectionName)
{
}

MeasurementDatabase::~MeasurementDatabase()
{
    close();
}

bool MeasurementDatabase::open(const QString &path)
{
    close();
    m_fault = Fault::None;
    m_errorText.clear();
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(sqliteDriver)))
        return fail(Fault::Unusable,
                    QStringLiteral("The SQLite driver of Qt SQL is not installed."));

    bool opened;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(sqliteDriver), m_connectionName);
        db.setDatabaseName(path);
        opened = db.open() || fail(db.lastError(), "open");
    }
    m_open = opened;
    // A file that is not ours is looked at before anything is written to it: it is set aside
    // as it was found.
    if (!opened || !checkSchema() || !configureSqlite() || (m_new && !createSchema())) {
        close(); // the fault stays for the caller
        return false;
    }
    return true;
}

void MeasurementDatabase::close()
{
    m_insertReading.reset();
    m_nextReadingId = 0;
    if (!QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_open = false;
}

bool MeasurementDatabase::configureSqlite()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (db.driverName() != QLatin1String(sqliteDriver))
        return true;
    // With a write-ahead log the window's reads never wait for the writer thread, and each
    // batch is one append to the log. A full sync at every commit keeps a batch once the
    // commit returns, through a crash of the program and a power cut alike; at a few commits
    // a second that costs little.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
        return fail(query.lastError(), "journal mode");
    if (!query.next()
        || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        return fail(Fault::Unusable,
                    QStringLiteral("The store cannot keep a write-ahead log beside it."));
    query.finish();
    return run(QStringLiteral("PRAGMA synchronous=FULL"), "synchronous");
}

bool MeasurementDatabase::checkSchema()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    // A file that is no database at all lists no tables either; it shows itself at the first
    // statement.
    const QStringList tables = db.tables();
    m_new = tables.isEmpty();
    if (m_new)
        return true;
    for (const char *table : {"store_state", "item", "reading"}) {
        if (!tables.contains(QLatin1String(table)))
            return fail(Fault::Damaged, QStringLiteral("The file is not a measurement store."));
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT value FROM store_state WHERE name = 'schema'"));
    if (!run(query, "schema version"))
        return false;
    if (!query.next() || query.value(0).toInt() != schemaVersion)
        return fail(Fault::Damaged,
                    QStringLiteral("The measurement store has a layout this version cannot read."));
    return true;
}

bool MeasurementDatabase::createSchema()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.transaction())
        return fail(db.lastError(), "begin");
    for (const QString &statement : schema) {
        if (!run(statement, "schema")) {
            db.rollback();
            return false;
        }
    }
    return db.commit() || fail(db.lastError(), "commit");
}

bool MeasurementDatabase::readContents(StoreContents *contents)
{
    *contents = StoreContents();
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT id, kind, name, position FROM item ORDER BY position, id"));
    if (!run(query, "items"))
        return false;
    while (query.next()) {
        StoredItem item;
        item.id = query.value(0).toLongLong();
        item.kind = query.value(1).toInt();
        item.name = query.value(2).toString();
        item.position = query.value(3).toInt();
        contents->items.append(item);
    }
    query.prepare(QStringLiteral("SELECT name, value FROM store_state"));
    if (!run(query, "state"))
        return false;
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (name == QLatin1String("active_item"))
            contents->activeItem = query.value(1).toLongLong();
        else if (name == QLatin1String("clean_end"))
            contents->endedCleanly = query.value(1).toLongLong() != 0;
    }
    return true;
}

qint64 MeasurementDatabase::readingCount()
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM reading"));
    if (!run(query, "count") || !query.next())
        return -1;
    return query.value(0).toLongLong();
}

bool MeasurementDatabase::readReadings(qint64 itemId, const std::function<void(DmmData *)> &take)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT MIN(id), MAX(id) FROM reading WHERE item_id = ?"));
    query.addBindValue(itemId);
    if (!run(query, "reading range"))
        return false;
    if (!query.next() || query.value(0).isNull())
        return true;
    const qint64 first = query.value(0).toLongLong();
    const qint64 last = query.value(1).toLongLong();
    query.finish();
    // An item's readings were written in runs of ids; walking the ids from its first to its
    // last reading and passing over the few of other items is much faster than fetching each
    // of its rows through the item index.
    query.prepare(QStringLiteral("SELECT item_id, %1 FROM reading WHERE id >= ? AND id <= ?"
                                 " ORDER BY id")
                      .arg(QLatin1String(readingColumns)));
    query.addBindValue(first);
    query.addBindValue(last);
    if (!run(query, "readings"))
        return false;
    ShortTexts texts;
    while (query.next()) {
        if (query.value(0).toLongLong() != itemId)
            continue;
        auto *reading = new DmmData;
        reading->setTime(timeOf(query.value(1), query.value(2)));
        reading->setStoreTime(timeOf(query.value(3), query.value(4)));
        DmmValue values[Channel::Count];
        for (int channel = 0; channel < Channel::Count; ++channel)
            values[channel].value = query.value(5 + channel).toDouble();
        reading->setStore(query.value(9).toInt() != 0);
        reading->setStoreIndex(query.value(10).toInt());
        const QVariant details = query.value(11);
        if (details.isNull() || !readDetails(details.toString(), values)) {
            for (DmmValue &v : values)
                v.text = texts.of(v.value);
        }
        reading->setTemperature(values[Channel::Temperature]);
        reading->setHumidity(values[Channel::Humidity]);
        reading->setDewPoint(values[Channel::DewPoint]);
        reading->setWetBulb(values[Channel::WetBulb]);
        take(reading);
    }
    // A page that turns out damaged half-way ends the walk with an error, not with the end.
    if (query.lastError().isValid() && query.lastError().type() != QSqlError::NoError)
        return fail(query.lastError(), "readings");
    return true;
}

bool MeasurementDatabase::setEndedCleanly(bool clean)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("UPDATE store_state SET value = ? WHERE name = 'clean_end'"));
    query.addBindValue(clean ? 1 : 0);
    return run(query, "session");
}

bool MeasurementDatabase::apply(const StoreBatch &batch)
{
    if (batch.isEmpty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (m_nextReadingId == 0) {
        QSqlQuery last(db);
        last.prepare(QStringLiteral("SELECT MAX(id) FROM reading"));
        if (!run(last, "last reading") || !last.next())
            return false;
        m_nextReadingId = last.value(0).toLongLong() + 1;
    }
    const qint64 firstId = m_nextReadingId;
    if (!db.transaction())
        return fail(db.lastError(), "begin");
    const bool applied = applyParts(batch);
    if (applied && db.commit())
        return true;
    if (applied)
        fail(db.lastError(), "commit");
    db.rollback();
    m_nextReadingId = firstId;
    return false;
}

bool MeasurementDatabase::applyParts(const StoreBatch &batch)
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    QSqlQuery query(db);
    auto removeReadings = [&query, this](qint64 itemId) {
        query.prepare(QStringLiteral("DELETE FROM reading WHERE item_id = ?"));
        query.addBindValue(itemId);
        return run(query, "remove readings");
    };
    for (const qint64 id : batch.removedItems) {
        if (!removeReadings(id))
            return false;
        query.prepare(QStringLiteral("DELETE FROM item WHERE id = ?"));
        query.addBindValue(id);
        if (!run(query, "remove item"))
            return false;
    }
    for (const StoredItem &item : batch.items) {
        query.prepare(
            QStringLiteral("UPDATE item SET kind = ?, name = ?, position = ? WHERE id = ?"));
        query.addBindValue(item.kind);
        query.addBindValue(item.name);
        query.addBindValue(item.position);
        query.addBindValue(item.id);
        if (!run(query, "update item"))
            return false;
        if (query.numRowsAffected() > 0)
            continue;
        query.prepare(
            QStringLiteral("INSERT INTO item (id, kind, name, position) VALUES (?, ?, ?, ?)"));
        query.addBindValue(item.id);
        query.addBindValue(item.kind);
        query.addBindValue(item.name);
        query.addBindValue(item.position);
        if (!run(query, "insert item"))
            return false;
    }
    for (const qint64 id : batch.clearedItems) {
        if (!removeReadings(id))
            return false;
    }
    for (const StoreBatch::Readings &part : batch.appended) {
        if (!appendReadings(part))
            return false;
    }
    if (batch.activeChanged) {
        query.prepare(
            QStringLiteral("UPDATE store_state SET value = ? WHERE name = 'active_item'"));
        query.addBindValue(batch.activeItem);
        if (!run(query, "active item"))
            return false;
    }
    return true;
}

bool MeasurementDatabase::appendReadings(const StoreBatch::Readings &part)
{
    if (!m_insertReading) {
        m_insertReading.reset(new QSqlQuery(QSqlDatabase::database(m_connectionName, false)));
        QStringList marks;
        for (int i = 0; i < readingColumnCount + 2; ++i)
            marks << QStringLiteral("?");
        if (!m_insertReading->prepare(
                QStringLiteral("INSERT INTO reading (id, item_id, %1) VALUES (%2)")
                    .arg(QLatin1String(readingColumns), marks.join(QLatin1Char(','))))) {
            fail(m_insertReading->lastError(), "prepare reading");
            m_insertReading.reset();
            return false;
        }
    }
    QSqlQuery &insert = *m_insertReading;
    for (const StoredReading &reading : part.readings) {
        int column = 0;
        insert.bindValue(column++, m_nextReadingId++);
        insert.bindValue(column++, part.itemId);
        bindTime(insert, column, reading.time, m_localOffsets);
        bindTime(insert, column + 2, reading.storeTime, m_localOffsets);
        column += 4;
        for (const DmmValue &v : reading.values)
            insert.bindValue(column++, v.value);
        insert.bindValue(column++, reading.isStore ? 1 : 0);
        insert.bindValue(column++, reading.storeIndex);
        insert.bindValue(column++, detailsOf(reading.values));
        if (!run(insert, "insert reading"))
            return false;
    }
    return true;
}

bool MeasurementDatabase::run(QSqlQuery &query, const char *what)
{
    if (query.exec())
        return true;
    return fail(query.lastError(), what);
}

bool MeasurementDatabase::run(const QString &statement, const char *what)
{
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (query.exec(statement))
        return true;
    return fail(query.lastError(), what);
}

bool MeasurementDatabase::fail(const QSqlError &error, const char *what)
{
    const int code = error.nativeErrorCode().toInt() & 0xff;
    const bool damaged = code == sqliteCorrupt || code == sqliteNotADatabase;
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    qCWarning(lcMeter) << "measurement store:" << what << "failed:" << error.nativeErrorCode()
                       << text;
    return fail(damaged ? Fault::Damaged : Fault::Unusable, text);
}

bool MeasurementDatabase::fail(Fault fault, const QString &text)
{
    m_fault = fault;
    m_errorText = text;
    return false;
}
