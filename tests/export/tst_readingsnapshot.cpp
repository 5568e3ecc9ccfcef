// The copy of the readings an export writes from: cell for cell what the reading table
// shows, whatever the unit, the kind of reading or the slices it is copied in.
#include "countingdmm.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "imydmm.h"
#include "readingsnapshot.h"

#include <QtTest>

#include <memory>
#include <vector>

namespace {

// `count` readings with values that repeat every 7 readings; every third one a record of the
// meter's memory.
std::vector<std::unique_ptr<DmmData>> makeReadings(int count)
{
    std::vector<std::unique_ptr<DmmData>> readings;
    const QDateTime start(QDate(2024, 3, 31), QTime(1, 59, 58));
    for (int i = 0; i < count; ++i) {
        auto reading = std::make_unique<DmmData>();
        const double v = 20.0 + (i % 7) * 0.1;
        reading->setTime(start.addSecs(i));
        reading->setTemperature({3, v, QString::number(v, 'f', 1)});
        reading->setHumidity({3, v + 30, QString::number(v + 30, 'f', 1)});
        reading->setDewPoint({3, v - 10, QString::number(v - 10, 'f', 1)});
        reading->setWetBulb({3, v - 5, QString::number(v - 5, 'f', 1)});
        if (i % 3 == 2) {
            reading->setStore(true);
            reading->setStoreIndex(100 + i);
            reading->setStoreTime(QDateTime(QDate(2023, 12, 31), QTime(23, 58, 30)).addSecs(i));
        }
        readings.push_back(std::move(reading));
    }
    return readings;
}

QList<DmmData *> listOf(const std::vector<std::unique_ptr<DmmData>> &readings)
{
    QList<DmmData *> list;
    for (const auto &reading : readings)
        list.append(reading.get());
    return list;
}

} // namespace

class TstReadingSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void cellsAsTheTableShowsThem_data();
    void cellsAsTheTableShowsThem();
    void laterReadingsStayOut();
    void timeTexts_data();
    void timeTexts();
};

void TstReadingSnapshot::cellsAsTheTableShowsThem_data()
{
    QTest::addColumn<bool>("converter");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<int>("budgetMs"); // per slice; 0 copies a few hundred at a time

    QTest::newRow("Celsius") << true << 0 << "℃" << 1000;
    QTest::newRow("Fahrenheit") << true << 1 << "℉" << 1000;
    QTest::newRow("Fahrenheit, in small slices") << true << 1 << "℉" << 0;
    QTest::newRow("no plug-in, no unit yet") << false << 0 << "" << 1000;
}

void TstReadingSnapshot::cellsAsTheTableShowsThem()
{
    QFETCH(bool, converter);
    QFETCH(int, unit);
    QFETCH(QString, unitText);
    QFETCH(int, budgetMs);

    const auto readings = makeReadings(2000);
    CountingDmm dmm;
    SnapshotBuilder builder(listOf(readings), converter ? &dmm : nullptr, unit, unitText);
    int slices = 1;
    while (!builder.step(budgetMs))
        ++slices;
    QCOMPARE(builder.done(), 2000);
    if (budgetMs == 0)
        QVERIFY(slices > 1);
    const auto snapshot = builder.snapshot();
    QCOMPARE(snapshot->rowCount(), 2000);
    QCOMPARE(snapshot->temperatureUnit(), unitText);

    CountingDmm tableDmm;
    for (int row = 0; row < 2000; ++row) {
        for (int column = 0; column < 6; ++column) {
            const QVariant shown
                = DataModel::cellText(readings.at(size_t(row)).get(), row, column,
                                      converter ? &tableDmm : nullptr, unit, unitText);
            const QVariant copied = snapshot->cell(row, column);
            if (copied != shown || copied.type() != shown.type())
                QFAIL(qPrintable(QStringLiteral("row %1 column %2: %3 instead of %4")
                                     .arg(row)
                                     .arg(column)
                                     .arg(copied.toString(), shown.toString())));
        }
    }
    // Seven distinct values on each channel: the plug-in converts each once.
    if (converter)
        QCOMPARE(dmm.calls, 4 * 7);
}

// The snapshot holds the readings of the moment it was taken.
void TstReadingSnapshot::laterReadingsStayOut()
{
    auto readings = makeReadings(10);
    QList<DmmData *> itemList = listOf(readings);
    SnapshotBuilder builder(itemList, nullptr, 0, QStringLiteral("℃"));
    auto later = std::make_unique<DmmData>();
    itemList.append(later.get());
    QVERIFY(builder.step(1000));
    QCOMPARE(builder.snapshot()->rowCount(), 10);
}

void TstReadingSnapshot::timeTexts_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<bool>("toTheMinute");
    QTest::newRow("seconds") << QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)) << false;
    QTest::newRow("minute") << QDateTime(QDate(2024, 3, 5), QTime(14, 7, 59)) << true;
    QTest::newRow("midnight") << QDateTime(QDate(1999, 12, 31), QTime(0, 0)) << false;
    QTest::newRow("wall clock in UTC")
        << QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::UTC) << false;
    QTest::newRow("early year") << QDateTime(QDate(812, 1, 2), QTime(3, 4, 5)) << false;
    QTest::newRow("invalid") << QDateTime() << false;
}

void TstReadingSnapshot::timeTexts()
{
    QFETCH(QDateTime, time);
    QFETCH(bool, toTheMinute);
    QCOMPARE(ReadingSnapshot::formatTime(time, toTheMinute),
             time.toString(toTheMinute ? QStringLiteral("yyyy-MM-dd hh:mm")
                                       : QStringLiteral("yyyy-MM-dd hh:mm:ss")));
}

QTEST_GUILESS_MAIN(TstReadingSnapshot)
#include "tst_readingsnapshot.moc"
