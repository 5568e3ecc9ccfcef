#include "dmmdata.h"
#include "itemdata.h"
#include "measurementstore.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <memory>

namespace {

DmmData *reading(double t, const QDateTime &time)
{
    auto *r = new DmmData;
    r->setTime(time);
    r->setTemperature({3, t, QString::number(t, 'f', 1)});
    r->setHumidity({3, t + 30, QString::number(t + 30, 'f', 1)});
    r->setDewPoint({3, t - 10, QString::number(t - 10, 'f', 1)});
    r->setWetBulb({3, t - 4, QString::number(t - 4, 'f', 1)});
    return r;
}

// Readings of one kind, made after the test has chosen its time zone.
QList<std::shared_ptr<DmmData>> readingsOf(const QString &kind)
{
    const QDateTime noon(QDate(2024, 3, 5), QTime(12, 0, 0, 250));
    QList<std::shared_ptr<DmmData>> list;
    auto add = [&list](DmmData *r) { list << std::shared_ptr<DmmData>(r); };
    if (kind == QLatin1String("fresh")) {
        add(new DmmData);
    } else if (kind == QLatin1String("stored")) {
        add(reading(21.5, noon));
        list.last()->setStore(true);
        list.last()->setStoreIndex(4711);
        list.last()->setStoreTime(QDateTime(QDate(2024, 2, 29), QTime(23, 59)));
    } else if (kind == QLatin1String("zones")) {
        // Berlin: 2024-03-31 02:00 CET becomes 03:00 CEST; 2024-10-27 03:00 CEST becomes
        // 02:00 CET, so that 02:15 and 02:45 come twice. Then UTC and a fixed offset.
        for (const qint64 utc :
             {1711845000, 1711848600, 1729988100, 1729989900, 1729991700, 1729993500, 1729995300})
            add(reading(21.0, QDateTime::fromSecsSinceEpoch(utc, Qt::LocalTime)));
        add(reading(21.0, QDateTime(QDate(2024, 7, 1), QTime(3, 4, 5, 6), Qt::UTC)));
        list.last()->setStoreTime(
            QDateTime(QDate(2024, 7, 1), QTime(3, 4), Qt::OffsetFromUTC, -9000));
    } else if (kind == QLatin1String("texts")) {
        add(reading(21.5, noon));
        list.last()->setTemperature({0, 21.5, QStringLiteral("21.50")});
        list.last()->setHumidity({7, 50.0, QStringLiteral("--")});
        list.last()->setDewPoint({-1, 10.04, QStringLiteral("10.0")});
        list.last()->setWetBulb({3, 0.0, QStringLiteral("0|3 3")});
        for (double v : {0.04, -0.04, -0.04})
            add(reading(v, noon));
    } else {
        for (int i = 0; i < 3000; ++i)
            add(reading(20.0 + (i % 37) / 10.0, noon.addMSecs(qint64(i) * 28800)));
    }
    return list;
}

// Every field of two readings; a time must be the same moment, shown with the same date and
// clock time at the same offset from UTC.
QString difference(const DmmData &a, const DmmData &b)
{
    auto time = [](const QDateTime &t) {
        return t.isValid() ? QStringLiteral("%1 %2 %3")
                                 .arg(t.toMSecsSinceEpoch())
                                 .arg(t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                                 .arg(t.offsetFromUtc())
                           : QStringLiteral("-");
    };
    auto fields = [&time](const DmmData &r) {
        QStringList f {time(r.time()), time(r.storeTime()), QString::number(r.isStore()),
                       QString::number(r.storeIndex())};
        for (int c = 0; c < Channel::Count; ++c)
            f << QStringLiteral("%1 %2 %3")
                     .arg(r.value(c).code)
                     .arg(r.value(c).value, 0, 'g', 17)
                     .arg(r.value(c).text);
        return f.join(QLatin1String(" | "));
    };
    return fields(a) == fields(b) ? QString() : fields(a) + QLatin1String("\n") + fields(b);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestMeasurementStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void readingsComeBackExactly_data();
    void readingsComeBackExactly();
    void damagedDetails_data();
    void damagedDetails();
    void unusableFileSetAside_data();
    void unusableFileSetAside();
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
    QTest::addColumn<QString>("kind");
    QTest::newRow("fresh record: no times, empty texts") << "fresh";
    QTest::newRow("stored record") << "stored";
    QTest::newRow("local times across daylight saving, UTC, offsets") << "zones";
    QTest::newRow("codes and texts of the meter's own") << "texts";
    QTest::newRow("a day of readings, repeating values") << "day";
}

// Whatever a reading holds comes back as it was, in order, with the item's statistics folded
// as recording folds them.
void TestMeasurementStore::readingsComeBackExactly()
{
    QFETCH(QString, kind);
    const QList<std::shared_ptr<DmmData>> readings = readingsOf(kind);
    QTemporaryDir dir;
    {
        MeasurementStore store;
        QVERIFY2(store.open(dir.path()), qPrintable(store.errorText()));
        StoreBatch batch;
        batch.items << StoredItem {7, ItemData::Measure, QStringLiteral("Hall"), 0};
        batch.appended << StoreBatch::Readings {7, {}};
        for (const auto &r : readings)
            batch.appended[0].readings << StoredReading::of(*r);
        store.submit(batch);
    }
    MeasurementStore store;
    QVERIFY(store.open(dir.path()));
    ItemData item(QStringLiteral("Hall"), ItemData::Measure),
        expected(item.getName(), ItemData::Measure);
    QCOMPARE(store.loadReadings(7, &item), readings.size());
    for (int i = 0; i < readings.size(); ++i) {
        const QString why = difference(*readings.at(i), *item.getDataList().at(i));
        QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("reading %1:\n%2").arg(i).arg(why)));
        expected.foldStatistics(readings.at(i).get());
    }
    for (int c = 0; c < Channel::Count; ++c) {
        QCOMPARE(item.getStatistic(c)->total, expected.getStatistic(c)->total);
        QCOMPARE(item.getStatistic(c)->minimum, expected.getStatistic(c)->minimum);
    }
}

void TestMeasurementStore::damagedDetails_data()
{
    QTest::addColumn<QString>("details");
    QTest::newRow("a length near the largest integer") << "3 3 3 3 2147483647 0 0 0|x";
    QTest::newRow("texts cut short") << "3 3 3 3 4 4 4 40|21.551.511.5";
    QTest::newRow("a negative length") << "3 3 3 3 -1 4 4 4|21.551.511.517.5";
    QTest::newRow("no bar") << "3 3 3 3 4 4 4 4";
}

// A reading's texts that do not add up, in a file changed outside the application, give way
// to the texts of its values.
void TestMeasurementStore::damagedDetails()
{
    QFETCH(QString, details);
    QTemporaryDir dir;
    {
        MeasurementStore store;
        QVERIFY(store.open(dir.path()));
        StoreBatch batch;
        batch.items << StoredItem {7, ItemData::Measure, QStringLiteral("Hall"), 0};
        const std::unique_ptr<DmmData> r(reading(21.5, QDateTime::currentDateTime()));
        batch.appended << StoreBatch::Readings {7, {StoredReading::of(*r)}};
        store.submit(batch);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), details);
        db.setDatabaseName(dir.filePath(MeasurementStore::fileName()));
        QSqlQuery query(db);
        QVERIFY(db.open() && query.prepare(QStringLiteral("UPDATE reading SET details = ?")));
        query.addBindValue(details);
        QVERIFY(query.exec() && query.numRowsAffected() == 1);
        db.close();
    }
    QSqlDatabase::removeDatabase(details);

    MeasurementStore store;
    QVERIFY(store.open(dir.path()));
    ItemData item(QStringLiteral("Hall"), ItemData::Measure);
    QCOMPARE(store.loadReadings(7, &item), 1);
    const DmmData *back = item.getDataList().first();
    QCOMPARE((QStringList {back->temperature().text, back->humidity().text, back->dewPoint().text,
                           back->wetBulb().text}),
             (QStringList {"21.5", "51.5", "11.5", "17.5"}));
}

void TestMeasurementStore::unusableFileSetAside_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("not a database") << "text";
    QTest::newRow("database of another program") << "foreign";
    QTest::newRow("store whose first page is damaged") << "damaged";
}

// A file that is no measurement store is moved aside under a name with the time, byte for
// byte, and a new store takes its place.
void TestMeasurementStore::unusableFileSetAside()
{
    QFETCH(QString, file);
    QTemporaryDir dir;
    const QString path = dir.filePath(MeasurementStore::fileName());
    if (file == QLatin1String("foreign")) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), file);
        db.setDatabaseName(path);
        QVERIFY(db.open() && QSqlQuery(db).exec(QStringLiteral("CREATE TABLE notes (t TEXT)")));
        db.close();
    } else {
        QByteArray bytes = QByteArray("Date,Temperature\n2024-03-05,21.5\n").repeated(400);
        if (file == QLatin1String("damaged")) {
            QTemporaryDir made;
            QVERIFY(MeasurementStore().open(made.path()));
            bytes = fileBytes(made.filePath(MeasurementStore::fileName()));
            bytes.replace(16, 100, QByteArray(100, char(0xa5))); // page size, schema
        }
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
    }
    QSqlDatabase::removeDatabase(file);
    const QByteArray before = fileBytes(path);

    MeasurementStore store;
    QVERIFY2(store.open(dir.path()), qPrintable(store.errorText()));
    QVERIFY(store.isSaving() && store.contents().isEmpty());
    const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("measurements-*")});
    QCOMPARE(aside.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^measurements-damaged-\\d{8}-\\d{6}\\.db$"))
                 .match(aside.first())
                 .hasMatch(),
             qPrintable(aside.first()));
    QCOMPARE(store.setAsidePath(), dir.filePath(aside.first()));
    QCOMPARE(fileBytes(store.setAsidePath()), before);
    QVERIFY(QFileInfo::exists(path));
}

QTEST_GUILESS_MAIN(TestMeasurementStore)
#include "tst_measurementstore.moc"
