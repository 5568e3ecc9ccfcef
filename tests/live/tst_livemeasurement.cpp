#include "modalwatcher.h"
#include "readings.h"
#include "windowfixture.h"

#include "chartpoint.h"
#include "dmmdata.h"
#include "temperatureunit.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QDialog>
#include <QTest>

namespace {

// Reading i of a test: every channel distinct, so that order and channel mix-ups show.
double temperatureOf(int i)
{
    return 20.0 + i * 0.1;
}

int readParamCalls(const ScriptableMeter *meter)
{
    return meter->calls().count(QStringLiteral("readParam"));
}

} // namespace

class TestLiveMeasurement : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void recording_data();
    void recording();
    void recordedReadingInEveryView();
    void parameterRequests();
    void readingsFromAWorkerThreadArriveInOrder();

private:
    void emitReadings(int count);
    ScriptableMeter *meter = nullptr;
    int emitted = 0;
};

void TestLiveMeasurement::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
}

void TestLiveMeasurement::init()
{
    emitted = 0;
    // Answers the test meter still owes a window of the previous test (a parameter record)
    // must not reach this one.
    QCoreApplication::processEvents();
}

void TestLiveMeasurement::emitReadings(int count)
{
    for (int i = 0; i < count; ++i, ++emitted)
        meter->emitDisplay(temperatureOf(emitted), 40.0 + emitted, 10.0, 15.0);
}

void TestLiveMeasurement::recording_data()
{
    QTest::addColumn<int>("rate"); // SampleRate
    QTest::addColumn<int>("limit"); // SamplePoints with Infinite off; -1: Infinite
    // start, stop, read<n>, tick, new (a new measurement item), import (a new Import item),
    // store ("Store Data" made active)
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("recorded"); // readings of the active item at the end
    QTest::addColumn<bool>("running");

    QTest::newRow("rate 0: every reading")
        << 0 << -1 << QStringList {"start", "read5"} << 5 << true;
    QTest::newRow("not running") << 0 << -1 << QStringList {"read5"} << 0 << false;
    QTest::newRow("stop ends the recording")
        << 0 << -1 << QStringList {"start", "read2", "stop", "read3"} << 2 << false;
    QTest::newRow("Start again appends to the item")
        << 0 << -1 << QStringList {"start", "read2", "stop", "read3", "start", "read1"} << 3
        << true;
    QTest::newRow("rate 500: nothing before the first tick")
        << 500 << -1 << QStringList {"start", "read5"} << 0 << true;
    QTest::newRow("rate 500: the first reading after each tick")
        << 500 << -1 << QStringList {"start", "tick", "read5", "tick", "read5", "tick", "read5"}
        << 3 << true;
    QTest::newRow("rate 500: ticks without readings do not add up")
        << 500 << -1 << QStringList {"start", "tick", "tick", "tick", "read5"} << 1 << true;
    QTest::newRow("rate 500: a tick before Start counts")
        << 500 << -1 << QStringList {"tick", "start", "read2"} << 1 << true;
    QTest::newRow("limit 3") << 0 << 3 << QStringList {"start", "read5"} << 3 << true;
    QTest::newRow("limit 3: Stop and Start do not reset the count")
        << 0 << 3 << QStringList {"start", "read5", "stop", "start", "read2"} << 3 << true;
    QTest::newRow("limit 3: a new item starts from 0")
        << 0 << 3 << QStringList {"start", "read5", "new", "start", "read2"} << 2 << true;
    QTest::newRow("SamplePoints 0") << 0 << 0 << QStringList {"start", "read3"} << 0 << true;
    QTest::newRow("Import item: Start is taken, nothing recorded")
        << 0 << -1 << QStringList {"import", "start", "read3"} << 0 << true;
    QTest::newRow("Store Data active: Start does nothing")
        << 0 << -1 << QStringList {"store", "start", "read3"} << 0 << false;
    QTest::newRow("activating another item stops the recording")
        << 0 << -1 << QStringList {"start", "read2", "new", "read3"} << 0 << false;
}

// What gets recorded for every combination of state and options; the read-outs follow every
// reading whatever happens to it, and the three views follow the item exactly.
void TestLiveMeasurement::recording()
{
    QFETCH(int, rate);
    QFETCH(int, limit);
    QFETCH(QStringList, steps);
    QFETCH(int, recorded);
    QFETCH(bool, running);

    ModalWatcher modals;
    auto window = makeTestWindow();
    setSampling(window.get(), rate, limit);
    QVERIFY(connectMeter(window.get()));
    QCOMPARE(window->samplingTimerId() != 0, rate != 0);

    int items = 1;
    for (const QString &step : steps) {
        if (step == QLatin1String("start")) {
            window->on_actionStart_triggered();
        } else if (step == QLatin1String("stop")) {
            action(window.get(), "actionStop")->trigger();
        } else if (step.startsWith(QLatin1String("read"))) {
            const int before = emitted;
            emitReadings(step.midRef(4).toInt());
            // The read-outs show the last reading, recorded or not.
            QCOMPARE(readOuts(window.get()).mid(0, 2),
                     (QStringList {QString::number(temperatureOf(emitted - 1), 'f', 1),
                                   QString::number(40.0 + emitted - 1, 'f', 1)}));
            QVERIFY(emitted > before);
        } else if (step == QLatin1String("tick")) {
            tick(window.get());
        } else if (step == QLatin1String("new")) {
            window->newItem(QStringLiteral("Measure%1").arg(++items), ItemData::Measure);
        } else if (step == QLatin1String("import")) {
            window->newItem(QStringLiteral("Imported"), ItemData::Import);
        } else if (step == QLatin1String("store")) {
            window->itemSetToActive(storeRow(window.get()));
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }

    ItemData *item = window->activeItem();
    QVERIFY(item);
    QCOMPARE(item->count(), recorded);
    QCOMPARE(window->isRunning(), running);
    QCOMPARE(action(window.get(), "actionStop")->isEnabled(), running);

    // The recorded readings are the emitted ones, in order, unconverted.
    const QList<DmmData *> readings = item->getDataList();
    for (int i = 1; i < readings.size(); ++i)
        QVERIFY(readings.at(i - 1)->temperature().value < readings.at(i)->temperature().value);

    QTRY_COMPARE(tableRows(window.get()), recorded);
    for (int channel = 0; channel < Channel::Count; ++channel) {
        QCOMPARE(chartPoints(window.get(), channel).size(), recorded);
        QCOMPARE(statistic(window.get(), channel, Statistic::Count), QString::number(recorded));
    }
    QVERIFY(modals.verify());
}

// A recorded reading reaches the read-outs, the table, each chart and the grid with the
// plug-in's conversion for the meter's unit; the item keeps the base unit.
void TestLiveMeasurement::recordedReadingInEveryView()
{
    auto window = makeTestWindow([](ScriptableMeter *m) { m->param()->unit = 1; });
    setSampling(window.get(), 0);
    QVERIFY(connectMeter(window.get()));
    window->on_actionStart_triggered();

    const QDateTime first(QDate(2024, 6, 1), QTime(8, 30, 15));
    meter->emitDisplay(21.5, 45.0, 9.1, 14.2, first);
    // No parameter record yet: the unit is the one the window starts with, Celsius.
    QCOMPARE(readOuts(window.get()), (QStringList {"21.5", "45.0", "9.1", "14.2"}));
    QCOMPARE(readOutUnits(window.get()), (QStringList {"℃", "%RH", "℃", "℃"}));

    const QStringList tags {"21.5 ℃", "45.0 %RH", "9.1 ℃", "14.2 ℃"};
    const double values[] = {21.5, 45.0, 9.1, 14.2};
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const ChartPoint *point = chartPoints(window.get(), channel).value(0);
        QVERIFY(point);
        QCOMPARE(point->time, first);
        QCOMPARE(point->value, values[channel]);
        QCOMPARE(chartTag(window.get(), channel, 0), tags.at(channel));
    }
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Minimum),
             QStringLiteral("21.5"));
    QCOMPARE(tableRows(window.get()), 1);

    // The third reading asks for the parameters; the answer switches to Fahrenheit.
    meter->emitDisplay(21.0, 45.0, 9.0, 14.0);
    meter->emitDisplay(21.0, 45.0, 9.0, 14.0);
    QTRY_COMPARE(window->unitText(), QStringLiteral("℉"));

    meter->emitDisplay(20.0, 50.0, 10.0, 15.0);
    QCOMPARE(readOuts(window.get()), (QStringList {"68.0", "50.0", "50.0", "59.0"}));
    QCOMPARE(readOutUnits(window.get()), (QStringList {"℉", "%RH", "℉", "℉"}));
    const QList<ChartPoint *> temperatures = chartPoints(window.get(), Channel::Temperature);
    QCOMPARE(temperatures.size(), 4);
    QCOMPARE(temperatures.last()->value, 68.0);
    QCOMPARE(chartTag(window.get(), Channel::Temperature, 3), QStringLiteral("68.0 ℉"));
    QCOMPARE(chartTag(window.get(), Channel::Humidity, 3), QStringLiteral("50.0 %RH"));
    QCOMPARE(window->activeItem()->getDataList().last()->temperature().value, 20.0);
    // The minimum is 20.0 °C; humidity stays %RH.
    QCOMPARE(statisticRow(window.get(), Channel::Temperature).mid(0, 2),
             (QStringList {"4", "68.0"}));
    QCOMPARE(statistic(window.get(), Channel::Humidity, Statistic::Maximum),
             QStringLiteral("50.0"));
    QTRY_COMPARE(tableRows(window.get()), 4);

    // Readings handed to the item around the views are plotted with the next recorded one,
    // in their order.
    record(window.get(), window->activeItem(), makeReading(19.0, 55.0, 8.0, 13.0));
    record(window.get(), window->activeItem(), makeReading(18.0, 56.0, 7.0, 12.0));
    meter->emitDisplay(17.0, 57.0, 6.0, 11.0);
    const QList<ChartPoint *> wetBulbs = chartPoints(window.get(), Channel::WetBulb);
    QCOMPARE(wetBulbs.size(), 7);
    QCOMPARE(wetBulbs.at(4)->value, TemperatureUnit::celsiusToFahrenheit(13.0));
    QCOMPARE(wetBulbs.at(6)->value, TemperatureUnit::celsiusToFahrenheit(11.0));
}

// Every third reading asks for the parameters, recorded or not, except while the settings
// dialog is open (it asks by itself).
void TestLiveMeasurement::parameterRequests()
{
    ModalWatcher modals;
    auto window = makeTestWindow();
    QVERIFY(connectMeter(window.get()));
    meter->clearCalls();

    emitReadings(2);
    QCOMPARE(readParamCalls(meter), 0);
    emitReadings(1);
    QCOMPARE(readParamCalls(meter), 1);
    emitReadings(5);
    QCOMPARE(readParamCalls(meter), 2);

    // Readings 9 to 11 arrive while the dialog runs; the ninth would have asked.
    int duringDialog = -1;
    modals.expectDialog(QStringLiteral("DlgSettings"), [&](QDialog *dialog) {
        const int before = readParamCalls(meter);
        emitReadings(3);
        duringDialog = readParamCalls(meter) - before;
        dialog->reject();
    });
    action(window.get(), "actionSettings")->trigger();
    QVERIFY(modals.waitForAll());
    QCOMPARE(duringDialog, 0);

    const int afterDialog = readParamCalls(meter);
    emitReadings(1); // the twelfth
    QCOMPARE(readParamCalls(meter), afterDialog + 1);
    QVERIFY(modals.verify());
}

// A plug-in emitting from its own thread: every reading is handled on the window's thread,
// in the order emitted.
void TestLiveMeasurement::readingsFromAWorkerThreadArriveInOrder()
{
    auto window = makeTestWindow();
    setSampling(window.get(), 0);
    QVERIFY(connectMeter(window.get()));
    window->on_actionStart_triggered();

    const int count = 40;
    for (int i = 0; i < count; ++i)
        meter->emitDisplayFromThread(temperatureOf(i), 40.0, 10.0, 15.0);
    QTRY_COMPARE(window->activeItem()->count(), count);
    const QList<DmmData *> readings = window->activeItem()->getDataList();
    for (int i = 0; i < count; ++i) {
        QCOMPARE(readings.at(i)->temperature().value, temperatureOf(i));
        QCOMPARE(readings.at(i)->thread(), window->thread());
    }
    QTRY_COMPARE(tableRows(window.get()), count);
}

QTEST_MAIN(TestLiveMeasurement)
#include "tst_livemeasurement.moc"
