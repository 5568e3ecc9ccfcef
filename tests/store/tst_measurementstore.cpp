#include "dmmdata.h"
#include "itemdata.h"
#include "measurementstore.h"
#include "scratchfolder.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

#include <functional>
#include <memory>

namespace {

using Readings = QList<std::shared_ptr<DmmData>>;
using MakeReadings = std::function<Readings()>;
using MakeFile = std::function<bool(const QString &)>;

// Made after the test has chosen its time zone.
QDateTime noon()
{
    return QDateTime(QDate(2024, 3, 5), QTime(12, 0, 0, 250));
}

DmmData *reading(double t, const QDateTime &time = QDateTime())
{
    auto *r = new DmmData;
    r->setTime(time.isValid() ? time : noon());
    r->setTemperature({3, t, QString::number(t, 'f', 1)});
    r->setHumidity({3, t + 30, QString::number(t + 30, 'f', 1)});
    r->setDewPoint({3, t - 10, QString::number(t - 10, 'f', 1)});
    r->setWetBulb({3, t - 4, QString::number(t - 4, 'f', 1)});
    return r;
}

StoredItem item(qint64 id, ItemData::DataType kind, const QString &name, int position)
{
    return StoredItem {id, int(kind), name, position};
}

StoreBatch::Readings part(qint64 itemId, const Readings &readings)
{
    StoreBatch::Readings p;
    p.itemId = itemId;
    for (const auto &r : readings)
        p.readings.append(StoredReading::of(*r));
    return p;
}

// Every field of two readings. A time must be the same moment, shown with the same date and
// clock time at the same offset from UTC.
QString difference(const DmmData &a, const DmmData &b)
{
    auto sameTime = [](const QDateTime &x, const QDateTime &y) {
        return x.isValid() == y.isValid()
            && (!x.isValid()
                || (x == y && x.offsetFromUtc() == y.offsetFromUtc() && x.date() == y.date()
                    && x.time() == y.time()));
    };
    if (!sameTime(a.time(), b.time()))
        return QStringLiteral("time %1 (%2) / %3 (%4)")
            .arg(a.time().toString(Qt::ISODateWithMs))
            .arg(a.time().offsetFromUtc())
            .arg(b.time().toString(Qt::ISODateWithMs))
            .arg(b.time().offsetFromUtc());
    if (!sameTime(a.storeTime(), b.storeTime()))
        return QStringLiteral("store time");
    for (int c = 0; c < Channel::Count; ++c) {
        const DmmValue x = a.value(c), y = b.value(c);
        if (x.code != y.code || x.value != y.value || x.text != y.text)
            return QStringLiteral("channel %1: %2 %3 \"%4\" / %5 %6 \"%7\"")
                .arg(c)
                .arg(x.code)
                .arg(x.value)
                .arg(x.text)
                .arg(y.code)
                .arg(y.value)
                .arg(y.text);
    }
    if (a.isStore() != b.isStore() || a.storeIndex() != b.storeIndex())
        return QStringLiteral("store flag or index");
    return QString();
}

// The readings the store gives back for an item, in a fresh item.
std::unique_ptr<ItemData> loaded(MeasurementStore &store, qint64 itemId, int *read = nullptr)
{
    auto into = std::make_unique<ItemData>(QStringLiteral("loaded"), ItemData::Measure);
    const int count = store.loadReadings(itemId, into.get());
    if (read)
        *read = count;
    return into;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList damagedFiles(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("measurements-damaged-*.db")}, QDir::Files);
}

} // namespace

Q_DECLARE_METATYPE(MakeReadings)
Q_DECLARE_METATYPE(MakeFile)

class TestMeasurementStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void readingsComeBackExactly_data();
    void readingsComeBackExactly();
    void changesKeptInOrder();
    void uncleanEndCounted();
    void unusableFileSetAside_data();
    void unusableFileSetAside();
    void readOnlyFolder_data();
    void readOnlyFolder();
    void fullDisk();
};

void TestMeasurementStore::initTestCase()
{
    // A zone with daylight saving, whatever the machine's own.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCOMPARE(QDateTime(QDate(2024, 7, 1), QTime(12, 0)).offsetFromUtc(), 7200);
}

void TestMeasurementStore::readingsComeBackExactly_data()
{
    QTest::addColumn<MakeReadings>("make");
    auto one = [](std::function<void(DmmData *)> change) {
        return MakeReadings([change] {
            DmmData *r = reading(21.5);
            change(r);
            return Readings {std::shared_ptr<DmmData>(r)};
        });
    };
    QTest::newRow("live, local time to the millisecond") << one([](DmmData *) {});
    QTest::newRow("stored record") << one([](DmmData *r) {
        r->setStore(true);
        r->setStoreIndex(4711);
        r->setStoreTime(QDateTime(QDate(2024, 2, 29), QTime(23, 59)));
    });
    QTest::newRow("fresh record: no times, empty texts")
        << MakeReadings([] { return Readings {std::make_shared<DmmData>()}; });
    QTest::newRow("times in UTC and at an offset") << one([](DmmData *r) {
        r->setTime(QDateTime(QDate(2024, 7, 1), QTime(3, 4, 5, 6), Qt::UTC));
        r->setStoreTime(QDateTime(QDate(2024, 7, 1), QTime(3, 4), Qt::OffsetFromUTC, -9000));
    });
    QTest::newRow("local times across the changes of daylight saving") << MakeReadings([] {
        Readings list;
        // Berlin: 2024-03-31 02:00 CET becomes 03:00 CEST; 2024-10-27 03:00 CEST
        // becomes 02:00 CET, so that 02:15 and 02:45 come twice.
        const QDateTime spring(QDate(2024, 3, 31), QTime(0, 30), Qt::UTC);
        const QDateTime autumn(QDate(2024, 10, 27), QTime(0, 15), Qt::UTC);
        for (const QDateTime &utc :
             {spring, spring.addSecs(3600), autumn, autumn.addSecs(1800), autumn.addSecs(3600),
              autumn.addSecs(5400), autumn.addSecs(7200)})
            list << std::shared_ptr<DmmData>(reading(
                21.0, QDateTime::fromMSecsSinceEpoch(utc.toMSecsSinceEpoch(), Qt::LocalTime)));
        return list;
    });
    QTest::newRow("texts of the meter's own form, codes") << one([](DmmData *r) {
        r->setTemperature({0, 21.5, QStringLiteral("21.50")});
        r->setHumidity({7, 50.0, QStringLiteral("--")});
        r->setDewPoint({-1, 10.04, QStringLiteral("10.0")});
        r->setWetBulb({3, 0.0, QStringLiteral("0")});
    });
    QTest::newRow("values on either side of zero") << MakeReadings([] {
        Readings list;
        for (double v : {0.04, -0.04, 0.0, -0.04}) {
            DmmData *r = reading(v);
            r->setTemperature({3, v, QString::number(v, 'f', 1)});
            list << std::shared_ptr<DmmData>(r);
        }
        return list;
    });
    QTest::newRow("a day of readings, repeating values") << MakeReadings([] {
        Readings list;
        for (int i = 0; i < 3000; ++i)
            list << std::shared_ptr<DmmData>(
                reading(20.0 + (i % 37) / 10.0, noon().addMSecs(qint64(i) * 28800)));
        return list;
    });
}

// Whatever a reading holds comes back from the store as it was, in order, with the item's
// statistics folded as recording folds them.
void TestMeasurementStore::readingsComeBackExactly()
{
    QFETCH(MakeReadings, make);
    const Readings readings = make();
    QTemporaryDir dir;
    {
        MeasurementStore store;
        QVERIFY2(store.open(dir.path()), qPrintable(store.errorText()));
        StoreBatch batch;
        batch.items << item(7, ItemData::Measure, QStringLiteral("Hall"), 0);
        batch.appended << part(7, readings);
        store.submit(batch);
        store.close();
    }
    MeasurementStore store;
    QVERIFY(store.open(dir.path()));
    int read = 0;
    const auto item = loaded(store, 7, &read);
    QCOMPARE(read, readings.size());
    ItemData expected(QStringLiteral("expected"), ItemData::Measure);
    for (int i = 0; i < readings.size(); ++i) {
        const QString why = difference(*readings.at(i), *item->getDataList().at(i));
        QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("reading %1: %2").arg(i).arg(why)));
        expected.foldStatistics(readings.at(i).get());
    }
    for (int c = 0; c < Channel::Count; ++c) {
        QCOMPARE(item->getStatistic(c)->count, expected.getStatistic(c)->count);
        QCOMPARE(item->getStatistic(c)->total, expected.getStatistic(c)->total);
        QCOMPARE(item->getStatistic(c)->minimum, expected.getStatistic(c)->minimum);
    }
}

// New, renamed, moved, cleared and removed items and the active one, batch after batch.
void TestMeasurementStore::changesKeptInOrder()
{
    QTemporaryDir dir;
    {
        MeasurementStore store;
        QVERIFY(store.open(dir.path()));
        QVERIFY(store.contents().isEmpty());
        QCOMPARE(store.recoveredReadings(), qint64(-1));

        StoreBatch first;
        first.items << item(1, ItemData::Store, QStringLiteral("Store Data"), 0)
                    << item(2, ItemData::Measure, QStringLiteral("Measure1"), 0)
                    << item(3, ItemData::Import, QStringLiteral("Import1"), 1);
        first.appended << part(
            1, {std::shared_ptr<DmmData>(reading(1)), std::shared_ptr<DmmData>(reading(2))})
                       << part(2, {std::shared_ptr<DmmData>(reading(10))})
                       << part(3, {std::shared_ptr<DmmData>(reading(30))});
        first.activeChanged = true;
        first.activeItem = 2;
        store.submit(first);

        StoreBatch second;
        second.removedItems << 3;
        second.items << item(2, ItemData::Measure, QStringLiteral("Hall A"), 0)
                     << item(4, ItemData::Measure, QStringLiteral("Measure2"), 1);
        second.clearedItems << 1;
        second.appended << part(1, {std::shared_ptr<DmmData>(reading(5))})
                        << part(2, {std::shared_ptr<DmmData>(reading(11))});
        second.activeChanged = true;
        second.activeItem = 1;
        store.submit(second);
        store.close();
    }
    MeasurementStore store;
    QVERIFY(store.open(dir.path()));
    const StoreContents &contents = store.contents();
    QCOMPARE(contents.items,
             (QVector<StoredItem> {item(1, ItemData::Store, QStringLiteral("Store Data"), 0),
                                   item(2, ItemData::Measure, QStringLiteral("Hall A"), 0),
                                   item(4, ItemData::Measure, QStringLiteral("Measure2"), 1)}));
    QCOMPARE(contents.activeItem, qint64(1));
    QVERIFY(contents.endedCleanly);
    auto temperatures = [&store](qint64 id) {
        QList<double> values;
        for (const DmmData *r : loaded(store, id)->getDataList())
            values << r->temperature().value;
        return values;
    };
    QCOMPARE(temperatures(1), (QList<double> {5}));
    QCOMPARE(temperatures(2), (QList<double> {10, 11}));
    QCOMPARE(temperatures(3), QList<double>());
    QCOMPARE(temperatures(4), QList<double>());
}

// A session that did not end normally is told by the count of what came back: the files as a
// killed process leaves them (copied while it runs) hold every batch written before.
void TestMeasurementStore::uncleanEndCounted()
{
    QTemporaryDir running, killed;
    MeasurementStore store;
    QVERIFY(store.open(running.path()));
    StoreBatch batch;
    batch.items << item(1, ItemData::Measure, QStringLiteral("Measure1"), 0);
    for (int i = 0; i < 3; ++i) {
        batch.appended = {part(
            1, {std::shared_ptr<DmmData>(reading(i)), std::shared_ptr<DmmData>(reading(i + 0.5))})};
        store.submit(batch);
        batch.items.clear();
    }
    store.waitForWriter(1);
    for (const QString &name : QDir(running.path()).entryList(QDir::Files))
        QVERIFY(QFile::copy(running.filePath(name), killed.filePath(name)));
    store.close();

    MeasurementStore afterKill;
    QVERIFY(afterKill.open(killed.path()));
    QVERIFY(!afterKill.contents().endedCleanly);
    QCOMPARE(afterKill.recoveredReadings(), qint64(6));
    QCOMPARE(loaded(afterKill, 1)->count(), 6);
    afterKill.close();
    MeasurementStore afterNormalEnd;
    QVERIFY(afterNormalEnd.open(killed.path()));
    QCOMPARE(afterNormalEnd.recoveredReadings(), qint64(-1));
}

void TestMeasurementStore::unusableFileSetAside_data()
{
    QTest::addColumn<MakeFile>("make");
    QTest::newRow("not a database") << MakeFile([](const QString &p) {
        return writeFile(p, QByteArray("Date,Temperature\n2024-03-05,21.5\n").repeated(400));
    });
    QTest::newRow("database of another program") << MakeFile([](const QString &p) {
        {
            QSqlDatabase db
                = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(p);
            if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes (t TEXT)")))
                return false;
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        return true;
    });
    QTest::newRow("store whose first page is damaged") << MakeFile([](const QString &p) {
        {
            QTemporaryDir made;
            MeasurementStore store;
            if (!store.open(made.path()))
                return false;
            store.close();
            QByteArray bytes = fileBytes(made.filePath(MeasurementStore::fileName()));
            // The page size and the schema's first bytes.
            for (int i = 16; i < 120; ++i)
                bytes[i] = char(0xa5);
            return writeFile(p, bytes);
        }
    });
}

// A file that is no measurement store is moved aside under a name with the time, byte for
// byte, and a new store takes its place.
void TestMeasurementStore::unusableFileSetAside()
{
    QFETCH(MakeFile, make);
    QTemporaryDir dir;
    const QString path = dir.filePath(MeasurementStore::fileName());
    QVERIFY(make(path));
    const QByteArray before = fileBytes(path);

    MeasurementStore store;
    QVERIFY2(store.open(dir.path()), qPrintable(store.errorText()));
    QVERIFY(store.isSaving());
    QVERIFY(store.contents().isEmpty());
    const QStringList aside = damagedFiles(dir.path());
    QCOMPARE(aside.size(), 1);
    QCOMPARE(store.setAsidePath(), dir.filePath(aside.first()));
    QVERIFY2(QRegularExpression(QStringLiteral("^measurements-damaged-\\d{8}-\\d{6}\\.db$"))
                 .match(aside.first())
                 .hasMatch(),
             qPrintable(aside.first()));
    QCOMPARE(fileBytes(store.setAsidePath()), before);

    StoreBatch batch;
    batch.items << item(1, ItemData::Measure, QStringLiteral("Measure1"), 0);
    batch.appended << part(1, {std::shared_ptr<DmmData>(reading(20))});
    store.submit(batch);
    store.close();
    MeasurementStore again;
    QVERIFY(again.open(dir.path()));
    QCOMPARE(again.contents().items.size(), 1);
    QVERIFY(again.setAsidePath().isEmpty());
    QCOMPARE(damagedFiles(dir.path()).size(), 1);
}

void TestMeasurementStore::readOnlyFolder_data()
{
    QTest::addColumn<bool>("withStore");
    QTest::newRow("first start") << false;
    QTest::newRow("store from the last session") << true;
}

// A folder that cannot be written leaves the store not saving; a store in it stays untouched.
void TestMeasurementStore::readOnlyFolder()
{
    QFETCH(bool, withStore);
    ScratchFolder folder(ScratchFolder::Writable);
    QVERIFY2(folder.isReady(), qPrintable(folder.reason()));
    const QString path = QDir(folder.path()).filePath(MeasurementStore::fileName());
    if (withStore) {
        MeasurementStore store;
        QVERIFY(store.open(folder.path()));
        StoreBatch batch;
        batch.items << item(1, ItemData::Measure, QStringLiteral("Measure1"), 0);
        batch.appended << part(1, {std::shared_ptr<DmmData>(reading(20))});
        store.submit(batch);
        store.close();
    }
    const QByteArray before = fileBytes(path);
    QVERIFY(folder.setReadOnly(true));

    MeasurementStore store;
    QSignalSpy failed(&store, &MeasurementStore::savingFailed);
    QVERIFY(!store.open(folder.path()));
    QCOMPARE(store.state(), MeasurementStore::State::NotSaving);
    QVERIFY(!store.errorText().isEmpty());
    QCOMPARE(failed.count(), 1);
    QVERIFY(store.contents().isEmpty());
    store.submit(StoreBatch()); // ignored
    store.close();
    QCOMPARE(QFileInfo::exists(path), withStore);
    QCOMPARE(fileBytes(path), before);
    QVERIFY(damagedFiles(folder.path()).isEmpty());
}

// A disk that fills up: writing stops with one report, and every batch written before is
// kept, for the next session to find once there is room again.
void TestMeasurementStore::fullDisk()
{
    ScratchFolder disk(ScratchFolder::Small, 256 * 1024);
    if (!disk.isReady())
        QSKIP(qPrintable(disk.reason()));
    int written = 0;
    {
        MeasurementStore store;
        QVERIFY2(store.open(disk.path()), qPrintable(store.errorText()));
        QSignalSpy failed(&store, &MeasurementStore::savingFailed);
        StoreBatch batch;
        batch.items << item(1, ItemData::Measure, QStringLiteral("Measure1"), 0);
        for (int b = 0; b < 200 && failed.isEmpty(); ++b) {
            batch.appended.clear();
            Readings readings;
            for (int i = 0; i < 100; ++i)
                readings << std::shared_ptr<DmmData>(reading(b + i / 100.0));
            batch.appended << part(1, readings);
            store.submit(batch);
            batch.items.clear();
            store.waitForWriter(1);
            QCoreApplication::processEvents();
            if (failed.isEmpty())
                written += 100;
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(store.state(), MeasurementStore::State::NotSaving);
        QVERIFY(written > 0);
        store.submit(batch); // ignored from now on
        store.close();
    }
    QVERIFY(disk.resize(4 * 1024 * 1024));
    MeasurementStore store;
    QVERIFY2(store.open(disk.path()), qPrintable(store.errorText()));
    QCOMPARE(store.recoveredReadings(), qint64(written));
    const auto item = loaded(store, 1);
    QCOMPARE(item->count(), written);
    QCOMPARE(item->getDataList().last()->temperature().value, written / 100 - 1 + 0.99);
}

QTEST_GUILESS_MAIN(TestMeasurementStore)
#include "tst_measurementstore.moc"
