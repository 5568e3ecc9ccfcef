#include "settingsrun.h"

#include "chartpoint.h"
#include "dmmdata.h"
#include "imydmm.h"
#include "itemdata.h"

#include <QComboBox>
#include <QLabel>
#include <QTabWidget>

// End to end on the simulated meter in this executable's Lib/: the temperature unit chosen
// in the settings dialog reaches the meter, comes back with its parameter record and turns
// every view of the active item.
class TestDeviceSettingsSim : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void unitChangeReachesEveryView();

private:
    // Runs the dialog, checks it shows the meter's record in `currentUnit`, selects
    // `newUnit`, writes and waits for the confirmation and the read-back.
    void writeUnit(int currentUnit, int newUnit);
    // The active item's readings as every view shows them, in `unit`.
    void verifyViews(int unit);
    void saveShot(DlgSettings *dialog, const QString &name);

    std::unique_ptr<Widget> window;
};

void TestDeviceSettingsSim::init()
{
    window = std::make_unique<Widget>();
    QVERIFY2(window->myDmm(), "the simulated meter is missing from Lib/");
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Shown before: the options file is read at every show.
    setSampling(window.get(), 0); // every reading is recorded
    QVERIFY2(connectMeter(window.get()), "no meter: METER_SIM_PORT=virtual is needed");
}

void TestDeviceSettingsSim::cleanup()
{
    window.reset();
}

void TestDeviceSettingsSim::saveShot(DlgSettings *dialog, const QString &name)
{
    // Pictures for a person to look at, on request only, once the dialog has settled.
    if (!shotsWanted())
        return;
    QTest::qWait(100);
    ::saveShot(dialog, name);
}

void TestDeviceSettingsSim::writeUnit(int currentUnit, int newUnit)
{
    const QString names[] = {QStringLiteral("celsius"), QStringLiteral("fahrenheit")};
    const QString units[] = {QStringLiteral("℃"), QStringLiteral("℉")};
    ModalWatcher modals;
    const bool ran = runSettingsCommand(window.get(), modals, [&](DlgSettings *dialog) {
        auto *unit = child<QComboBox>(dialog, "cbbUnit");
        // The simulated meter's limit of 35.0 °C, in the unit it reports.
        QVERIFY(waitForHighTemp(dialog, currentUnit == 1 ? 95.0 : 35.0));
        QCOMPARE(unit->currentIndex(), currentUnit);
        QCOMPARE(child<QLabel>(dialog, "label_29")->text(), units[currentUnit]);
        saveShot(dialog, QStringLiteral("settings-") + names[currentUnit]);

        unit->setCurrentIndex(newUnit);
        modals.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
        QVERIFY(modals.waitForAll());
        QCOMPARE(modals.last().text, QStringLiteral("Parameters saved successfully."));
        QVERIFY(dialog->writeButton()->isEnabled());
        // Read back from the meter: the limit is unchanged, shown in the new unit.
        QVERIFY(waitForHighTemp(dialog, newUnit == 1 ? 95.0 : 35.0));
        QCOMPARE(unit->currentIndex(), newUnit);
        saveShot(dialog, QStringLiteral("settings-") + names[newUnit] + QStringLiteral("-written"));
        child<QTabWidget>(dialog, "tabWidget")->setCurrentIndex(1);
        saveShot(dialog, QStringLiteral("settings-") + names[newUnit] + QStringLiteral("-offset"));
    });
    QVERIFY(ran);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(modals.verify());
}

void TestDeviceSettingsSim::verifyViews(int unit)
{
    const QString unitText = unit == 1 ? QStringLiteral("℉") : QStringLiteral("℃");
    QCOMPARE(window->unitIndex(), unit);
    QCOMPARE(window->unitText(), unitText);
    // The read-outs follow at the next reading.
    const int count = window->activeItem()->count();
    QTRY_VERIFY(window->activeItem()->count() >= count + 2);

    // Everything below is read without letting a new reading in.
    IMyDmm *dmm = window->myDmm();
    const QList<DmmData *> readings = window->activeItem()->getDataList();
    // The table takes rows that come close together in batches, so it may lag a little.
    const int rows = tableRows(window.get());
    QVERIFY(rows > 0 && rows <= readings.size());
    double minimum = 1e9;
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const QList<ChartPoint *> points = chartPoints(window.get(), channel);
        QCOMPARE(points.size(), readings.size());
        for (int row = 0; row < readings.size(); ++row) {
            const DmmValue shown = dmm->convertValue(readings[row]->value(channel), channel, unit);
            if (row < rows) {
                QCOMPARE(tableCell(window.get(), row, 2 + channel),
                         shown.text + QLatin1Char(' ')
                             + (channel == Channel::Humidity ? QStringLiteral("%RH") : unitText));
            }
            QCOMPARE(points[row]->value, shown.value);
            if (channel == Channel::Temperature)
                minimum = qMin(minimum, readings[row]->temperature().value);
        }
    }
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Minimum),
             QString::number(unit == 1 ? minimum * 1.8 + 32 : minimum, 'f', 1));

    const DmmValue last
        = dmm->convertValue(readings.last()->temperature(), Channel::Temperature, unit);
    QCOMPARE(readOuts(window.get()).at(Channel::Temperature), last.text);
    QCOMPARE(readOutUnits(window.get()), (QStringList {unitText, "%RH", unitText, unitText}));
}

void TestDeviceSettingsSim::unitChangeReachesEveryView()
{
    action(window.get(), "actionStart")->trigger();
    // A parameter record is asked for at every third reading.
    QTRY_VERIFY(window->activeItem()->count() >= 4);
    QTRY_COMPARE(window->unitText(), QStringLiteral("℃"));
    verifyViews(0);

    writeUnit(0, 1);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(window->unitIndex(), 1);
    verifyViews(1);

    writeUnit(1, 0);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE(window->unitIndex(), 0);
    verifyViews(0);
}

QTEST_MAIN(TestDeviceSettingsSim)
#include "tst_devicesettings_sim.moc"
