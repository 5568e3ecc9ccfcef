#include "countingdmm.h"
#include "datamodel.h"
#include "dmmdata.h"
#include "imydmm.h"

#include <QBrush>
#include <QColor>
#include <QSignalSpy>
#include <QtTest>

static DmmData *reading(double base, QObject *parent)
{
    auto *r = new DmmData(parent);
    r->setTemperature({3, base, QStringLiteral("raw")});
    r->setHumidity({3, base + 30, QString()});
    r->setDewPoint({3, base - 10, QString()});
    r->setWetBulb({3, base - 5, QString()});
    return r;
}

class TstDataModel : public QObject
{
    Q_OBJECT
private slots:
    void emptyModel();
    void numberAndTime_data();
    void numberAndTime();
    void valueCells_data();
    void valueCells();
    void headers_data();
    void headers();
    void alignmentAndBounds();
    void limits_data();
    void limits();
    void insertion();
    void neverDeletesReadings();
};

void TstDataModel::emptyModel()
{
    DataModel model(nullptr, nullptr);
    QSignalSpy removing(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelAboutToBeReset);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.columnCount(), 6);
    model.clearData();
    QCOMPARE(removing.count(), 0);
    QCOMPARE(reset.count(), 0);
    QCOMPARE(model.setDataList({}), 0);
    QCOMPARE(model.rowCount(), 0);
}

void TstDataModel::numberAndTime_data()
{
    QTest::addColumn<bool>("store");
    QTest::addColumn<int>("storeIndex");
    QTest::addColumn<QVariant>("number");
    QTest::addColumn<QString>("time");
    QTest::newRow("live row 4") << false << 120 << QVariant(5) << "2024-03-05 14:07:09";
    QTest::newRow("stored 120 in row 4") << true << 120 << QVariant(120) << "2024-03-05 14:07";
}

void TstDataModel::numberAndTime()
{
    QFETCH(bool, store);
    QFETCH(int, storeIndex);
    QObject owner;
    DataModel model(nullptr, nullptr);
    for (int i = 0; i < 5; ++i)
        model.appendData(new DmmData(&owner));
    auto *r = new DmmData(&owner);
    const QDateTime stamp(QDate(2024, 3, 5), QTime(14, 7, 9));
    r->setTime(stamp);
    r->setStoreTime(stamp);
    r->setStore(store);
    r->setStoreIndex(storeIndex);
    QList<DmmData *> rows;
    for (int i = 0; i < 4; ++i)
        rows << new DmmData(&owner);
    rows << r;
    model.clearData();
    model.setDataList(rows);

    QFETCH(QVariant, number);
    QFETCH(QString, time);
    const QVariant shown = model.data(model.index(4, 0));
    QCOMPARE(shown, number);
    QCOMPARE(shown.userType(), int(QMetaType::Int));
    QCOMPARE(model.data(model.index(4, 1)).toString(), time);
    // A fresh reading has no time yet.
    QCOMPARE(model.data(model.index(0, 1)).toString(), QString());
}

void TstDataModel::valueCells_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("unitText");
    QTest::addColumn<QString>("expected");
    // base temperature 25: humidity 55, dew point 15, wet bulb 20
    QTest::newRow("fahrenheit") << 2 << 1 << "℉"
                                << "77.0 ℉";
    QTest::newRow("before first parameter record") << 2 << 0 << ""
                                                   << "25.0 ";
    QTest::newRow("humidity, fahrenheit") << 3 << 1 << "℉"
                                          << "55.0 %RH";
    QTest::newRow("humidity, no unit yet") << 3 << 0 << ""
                                           << "55.0 %RH";
    QTest::newRow("dew point") << 4 << 0 << "℃"
                               << "15.0 ℃";
    QTest::newRow("wet bulb, fahrenheit") << 5 << 1 << "℉"
                                          << "68.0 ℉";
    QTest::newRow("past the last column") << 6 << 0 << "℃"
                                          << "";
}

void TstDataModel::valueCells()
{
    QFETCH(int, column);
    QFETCH(int, unit);
    QFETCH(QString, unitText);
    QFETCH(QString, expected);
    QObject owner;
    CountingDmm dmm;
    const DmmData *r = reading(25.0, &owner);
    QCOMPARE(DataModel::cellText(r, 0, column, &dmm, unit, unitText).toString(), expected);
    // Nothing is cached: a second look converts again.
    DataModel::cellText(r, 0, column, &dmm, unit, unitText);
    QCOMPARE(dmm.calls, column <= 5 ? 2 : 0);
    // Without a plug-in the reading's own text is shown.
    if (column == 2)
        QCOMPARE(DataModel::cellText(r, 0, 2, nullptr, unit, unitText).toString(),
                 "raw " + unitText);
}

void TstDataModel::headers_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("expected");
    const QStringList texts {"NO.", "Time", "Temperature", "Humidity", "Dew Point", "Wet Bulb"};
    for (int s = 0; s < texts.size(); ++s)
        QTest::addRow("column %d", s)
            << s << int(Qt::Horizontal) << int(Qt::DisplayRole) << QVariant(texts.at(s));
    QTest::newRow("vertical") << 0 << int(Qt::Vertical) << int(Qt::DisplayRole) << QVariant();
    QTest::newRow("tool tip") << 0 << int(Qt::Horizontal) << int(Qt::ToolTipRole) << QVariant();
    QTest::newRow("section 6") << 6 << int(Qt::Horizontal) << int(Qt::DisplayRole) << QVariant();
}

void TstDataModel::headers()
{
    QFETCH(int, section);
    QFETCH(int, orientation);
    QFETCH(int, role);
    QFETCH(QVariant, expected);
    DataModel model(nullptr, nullptr);
    QCOMPARE(model.headerData(section, Qt::Orientation(orientation), role), expected);
}

void TstDataModel::alignmentAndBounds()
{
    QObject owner;
    DataModel model(nullptr, nullptr);
    model.appendData(reading(20, &owner));
    model.appendData(reading(21, &owner));
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 6; ++column) {
            QCOMPARE(model.data(model.index(row, column), Qt::TextAlignmentRole), QVariant(132));
            QVERIFY(!model.data(model.index(row, column), Qt::ToolTipRole).isValid());
        }
    QVERIFY(!model.data(model.index(2, 0), Qt::TextAlignmentRole).isValid());
    QVERIFY(!model.data(model.index(0, 6), Qt::DisplayRole).isValid());
    QVERIFY(!model.data(QModelIndex(), Qt::TextAlignmentRole).isValid());
}

void TstDataModel::limits_data()
{
    // reading(base): temperature base, humidity base + 30, dew point base - 10, wet bulb
    // base - 5; limits 0 .. 40 for every channel.
    QTest::addColumn<double>("base");
    QTest::addColumn<QList<int>>("redColumns");
    QTest::newRow("all inside, on the limits") << 10.0 << QList<int> {};
    QTest::newRow("humidity above") << 20.0 << QList<int> {3};
    QTest::newRow("some above") << 45.0 << QList<int> {2, 3};
    QTest::newRow("all above") << 60.0 << QList<int> {2, 3, 4, 5};
    QTest::newRow("below") << 3.0 << QList<int> {4, 5};
    QTest::newRow("not a number") << qQNaN() << QList<int> {};
}

void TstDataModel::limits()
{
    QFETCH(double, base);
    QFETCH(QList<int>, redColumns);
    QObject owner;
    DataModel model(nullptr, nullptr);
    model.appendData(reading(base, &owner));
    auto red = [&model] {
        QList<int> columns;
        for (int column = 0; column < 6; ++column) {
            const QVariant v = model.data(model.index(0, column), Qt::ForegroundRole);
            if (v.isValid())
                columns << (v.value<QBrush>().color() == QColor(220, 0, 0) ? column : -column);
        }
        return columns;
    };
    QVERIFY(red().isEmpty());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QVector<DataModel::Limits> limits(4, DataModel::Limits {0.0, 40.0});
    model.setLimits(limits);
    QCOMPARE(red(), redColumns);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 2));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), model.index(0, 5));
    // The same limits again change nothing; none mark nothing.
    model.setLimits(limits);
    QCOMPARE(changed.count(), 1);
    model.setLimits({});
    QVERIFY(red().isEmpty());
    QCOMPARE(changed.count(), 2);
}

void TstDataModel::insertion()
{
    QObject owner;
    DataModel model(nullptr, nullptr);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QList<DmmData *> list;
    for (int i = 0; i < 1000; ++i)
        list << reading(i, &owner);

    QCOMPARE(model.setDataList(list), 1000);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 0);
    QCOMPARE(inserted.at(0).at(2).toInt(), 999);

    model.appendData(reading(-1, &owner));
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(inserted.at(1).at(1).toInt(), 1000);
    QCOMPARE(inserted.at(1).at(2).toInt(), 1000);

    // Rows already present stay, and the new ones follow them as announced.
    QCOMPARE(model.setDataList(list.mid(0, 10)), 1011);
    QCOMPARE(inserted.at(2).at(1).toInt(), 1001);
    QCOMPARE(inserted.at(2).at(2).toInt(), 1010);
    QCOMPARE(model.data(model.index(1000, 0)), QVariant(1001));
    QCOMPARE(model.rowCount(), 1011);
}

void TstDataModel::neverDeletesReadings()
{
    int destroyed = 0; // outlives the readings, which report into it
    QObject owner;
    QList<DmmData *> list;
    for (int i = 0; i < 20; ++i) {
        list << reading(i, &owner);
        connect(list.last(), &QObject::destroyed, [&destroyed] { ++destroyed; });
    }
    {
        DataModel model(nullptr, nullptr);
        model.setDataList(list.mid(0, 10));
        model.appendData(list.at(10));
        model.clearData();
        QCOMPARE(model.rowCount(), 0);
        model.setDataList(list);
    }
    QCOMPARE(destroyed, 0);
}

QTEST_GUILESS_MAIN(TstDataModel)
#include "tst_datamodel.moc"
