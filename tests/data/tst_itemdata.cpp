#include "dmmdata.h"
#include "itemdata.h"
#include "textinterner.h"

#include <QtTest>

using Values = QList<double>;

// A reading whose four channels are temperature t and fixed offsets from it, so that a mix-up
// of channels shows.
static DmmData *reading(double t)
{
    auto *r = new DmmData;
    r->setTemperature({3, t, QString()});
    r->setHumidity({3, t + 40, QString()});
    r->setDewPoint({3, t - 10, QString()});
    r->setWetBulb({3, t - 3, QString()});
    return r;
}

static const double offsets[4] = {0, 40, -10, -3};

class TstItemData : public QObject
{
    Q_OBJECT
private slots:
    void construction();
    void readingsInOrder();
    void clearDeletesReadings();
    void fold_data();
    void fold();
    void foldRestartsAfterClear();
    void equalTextsAreShared();
    void textTableStopsGrowing();
};

void TstItemData::construction()
{
    ItemData item(QStringLiteral("Import3"), ItemData::Import);
    QCOMPARE(item.getName(), QStringLiteral("Import3"));
    QCOMPARE(item.getType(), ItemData::Import);
    QVERIFY(item.getDataList().isEmpty());
    QVERIFY(!item.getStatistic(-1));
    QVERIFY(!item.getStatistic(4));
    for (int c = 0; c < 4; ++c) {
        QVERIFY(item.getStatistic(c));
        QCOMPARE(item.getStatistic(c)->count, 0);
        QCOMPARE(item.getStatistic(c)->total, 0.0);
    }
    QVERIFY(item.getStatistic(0) != item.getStatistic(1));
}

void TstItemData::readingsInOrder()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::Measure);
    QList<DmmData *> appended;
    for (int i = 0; i < 50; ++i) {
        appended << reading(i);
        item.appendData(appended.last());
    }
    QCOMPARE(item.getDataList(), appended);
    // Appending never touches the statistics.
    QCOMPARE(item.getStatistic(0)->count, 0);
}

void TstItemData::clearDeletesReadings()
{
    int destroyed = 0;
    ItemData item(QStringLiteral("Store Data"), ItemData::Store);
    const quint64 generation = item.generation();
    for (int i = 0; i < 500; ++i) {
        DmmData *r = reading(i - 250);
        connect(r, &QObject::destroyed, [&destroyed] { ++destroyed; });
        item.appendData(r);
        item.foldStatistics(r);
    }
    QCOMPARE(item.getStatistic(3)->count, 500);

    item.clearData();
    QCOMPARE(destroyed, 500);
    QVERIFY(item.getDataList().isEmpty());
    // Whoever built something from the first readings can tell they are gone.
    QCOMPARE(item.generation(), generation + 1);
    QCOMPARE(item.readingAt(0), nullptr);
    for (int c = 0; c < 4; ++c) {
        const ItemStatistic *s = item.getStatistic(c);
        QCOMPARE(s->count, 0);
        QCOMPARE(s->average, 0.0);
        QCOMPARE(s->minimum, 0.0);
        QCOMPARE(s->maximum, 0.0);
        QCOMPARE(s->total, 0.0);
    }
}

void TstItemData::fold_data()
{
    QTest::addColumn<Values>("temperatures");
    QTest::addColumn<double>("minimum");
    QTest::addColumn<double>("maximum");
    QTest::addColumn<double>("total");
    QTest::newRow("one reading") << Values {21.5} << 21.5 << 21.5 << 21.5;
    QTest::newRow("cooling") << Values {21.5, 20.0} << 20.0 << 21.5 << 41.5;
    QTest::newRow("warming") << Values {20.0, 21.5} << 20.0 << 21.5 << 41.5;
    // Below zero throughout: a maximum left at its start value 0 would show here.
    QTest::newRow("frost") << Values {-5.0, -12.5, -8.0} << -12.5 << -5.0 << -25.5;
    // Above zero throughout: a minimum left at 0 would show here.
    QTest::newRow("heat") << Values {35.0, 38.0} << 35.0 << 38.0 << 73.0;
    QTest::newRow("crossing zero") << Values {-1.5, 2.5, 0.0} << -1.5 << 2.5 << 1.0;
}

void TstItemData::fold()
{
    QFETCH(Values, temperatures);
    QFETCH(double, minimum);
    QFETCH(double, maximum);
    QFETCH(double, total);
    ItemData item(QStringLiteral("Measure1"), ItemData::Measure);
    for (double t : temperatures) {
        DmmData *r = reading(t);
        item.appendData(r);
        item.foldStatistics(r);
    }
    const int n = temperatures.size();
    for (int c = 0; c < 4; ++c) {
        const ItemStatistic *s = item.getStatistic(c);
        const double shiftedTotal = total + n * offsets[c];
        QCOMPARE(s->count, n);
        QCOMPARE(s->minimum, minimum + offsets[c]);
        QCOMPARE(s->maximum, maximum + offsets[c]);
        QCOMPARE(s->total, shiftedTotal);
        QCOMPARE(s->average, shiftedTotal / n);
    }
    if (temperatures == Values {21.5, 20.0})
        QCOMPARE(item.getStatistic(0)->average, 20.75);
}

void TstItemData::foldRestartsAfterClear()
{
    ItemData item(QStringLiteral("Measure1"), ItemData::Measure);
    DmmData *hot = reading(50);
    item.appendData(hot);
    item.foldStatistics(hot);
    item.clearData();
    DmmData *cold = reading(10);
    item.appendData(cold);
    item.foldStatistics(cold);
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(item.getStatistic(c)->maximum, 10 + offsets[c]);
        QCOMPARE(item.getStatistic(c)->count, 1);
    }
}

// Readings arrive with texts of their own; once in an item, equal texts share one copy and
// every value reads as it came.
void TstItemData::equalTextsAreShared()
{
    auto made = [](double t, const char *humidityText) {
        auto *r = new DmmData;
        // Built from pieces, so that no two readings share a text by accident.
        r->setTemperature({7, t, QString::number(t, 'f', 1)});
        r->setHumidity({3, 45.0, QString::fromLatin1(humidityText)});
        r->setDewPoint({3, t - 10, QString::number(t - 10, 'f', 1)});
        r->setWetBulb({3, t - 3, QString()});
        return r;
    };
    ItemData item(QStringLiteral("Measure1"), ItemData::Measure);
    QList<DmmData *> readings {made(21.5, "45.0"), made(21.5, "45.0"), made(22.0, "45.0")};
    QVERIFY(readings[0]->temperature().text.constData()
            != readings[1]->temperature().text.constData());
    for (DmmData *r : readings)
        item.appendData(r);

    auto same = [](const QString &a, const QString &b) { return a.constData() == b.constData(); };
    QVERIFY(same(readings[0]->temperature().text, readings[1]->temperature().text));
    QVERIFY(same(readings[0]->humidity().text, readings[2]->humidity().text));
    QVERIFY(same(readings[0]->dewPoint().text, readings[1]->dewPoint().text));
    QVERIFY(!same(readings[1]->temperature().text, readings[2]->temperature().text));
    const DmmValue t = readings[1]->temperature();
    QCOMPARE(t.code, 7);
    QCOMPARE(t.value, 21.5);
    QCOMPARE(t.text, QStringLiteral("21.5"));
    QCOMPARE(readings[2]->dewPoint().text, QStringLiteral("12.0"));
    QCOMPARE(readings[2]->wetBulb().text, QString());

    // After a clear the item starts a table of its own again; the texts still read right.
    item.clearData();
    DmmData *again = made(21.5, "45.0");
    item.appendData(again);
    QCOMPARE(again->temperature().text, QStringLiteral("21.5"));
    QCOMPARE(item.readingAt(0), again);
}

void TstItemData::textTableStopsGrowing()
{
    // Each text in a storage of its own, as a plug-in makes them.
    auto fresh = [](const char *text) { return QString::fromLatin1(text); };
    TextInterner texts(3);
    QString a = fresh("1.0");
    QVERIFY(!texts.intern(a)); // held as it is
    QString aAgain = fresh("1.0");
    QVERIFY(texts.intern(aAgain));
    QCOMPARE(aAgain.constData(), a.constData());
    QVERIFY(!texts.intern(a)); // already the held copy
    for (const char *text : {"2.0", "3.0", "4.0"}) {
        QString t = fresh(text);
        texts.intern(t);
    }
    QCOMPARE(texts.size(), 3);
    // The table is full: a new text is kept as it came, an old one is still shared.
    QString fourth = fresh("4.0");
    QVERIFY(!texts.intern(fourth));
    QString third = fresh("3.0");
    QVERIFY(texts.intern(third));
}

QTEST_GUILESS_MAIN(TstItemData)
#include "tst_itemdata.moc"
