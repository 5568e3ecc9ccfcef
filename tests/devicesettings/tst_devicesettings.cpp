#include "settingsrun.h"
#include "windowfixture.h"

#include "chartpoint.h"
#include "datamodel.h"
#include "dmmchart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>

namespace {

// What the active item's views show: table, statistics grid and temperature chart.
struct ShownTemperature
{
    QString tableCell; // first row, temperature column
    QString statisticMin; // temperature row, MIN column
    double chartValue = 0.0; // first point of the temperature chart
};

ShownTemperature shownTemperature(const Widget *window)
{
    ShownTemperature shown;
    shown.tableCell = tableCell(window, 0, 2);
    shown.statisticMin = statistic(window, Channel::Temperature, Statistic::Minimum);
    if (const ChartPoint *first = chartPoints(window, Channel::Temperature).value(0))
        shown.chartValue = first->value;
    return shown;
}

QDateTime clockCallTime(const QStringList &calls)
{
    for (const QString &call : calls) {
        if (call.startsWith(QLatin1String("setDateTime ")))
            return QDateTime::fromString(call.mid(12), Qt::ISODate);
    }
    return QDateTime();
}

} // namespace

class TestDeviceSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void writeFromTheDialog();
    void responseResult_data();
    void responseResult();
    void unitFollowsTheRecords_data();
    void unitFollowsTheRecords();
    void undefinedUnitCode();
    void alarmLimits_data();
    void alarmLimits();
    void clockCommands_data();
    void clockCommands();
    void linkClosesTheDialog_data();
    void linkClosesTheDialog();

private:
    ScriptableMeter *meter = nullptr;
};

void TestDeviceSettings::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
}

void TestDeviceSettings::init()
{
    meter->reset();
}

// The dialog asks for the record, shows it, writes the user's values, reads them back and
// confirms once the meter reports success.
void TestDeviceSettings::writeFromTheDialog()
{
    auto window = makeTestWindow();
    QVERIFY(connectMeter(window.get()));
    meter->clearCalls();

    ModalWatcher modals;
    const bool ran = runSettingsCommand(window.get(), modals, [&](DlgSettings *dialog) {
        QCOMPARE(meter->calls(), QStringList {"readParam"});
        QVERIFY(waitForHighTemp(dialog, 70.0));

        // A second Settings command while the dialog runs does not open another one.
        action(window.get(), "actionSettings")->trigger();
        QCOMPARE(window->findChildren<DlgSettings *>().size(), 1);

        child<QDoubleSpinBox>(dialog, "sbHighTemp")->setValue(31.5);
        meter->clearCalls();
        modals.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);

        // Both calls are made at once; Write waits for the meter's answer.
        QCOMPARE(meter->calls(), (QStringList {"writeParam", "readParam"}));
        QVERIFY(!dialog->writeButton()->isEnabled());
        QCOMPARE(int(meter->lastWrittenParam().highTemp), 315);
        QCOMPARE(int(meter->lastWrittenParam().autoPower), 30);

        QVERIFY(modals.waitForAll());
        const ModalWatcher::Seen box = modals.last();
        QCOMPARE(box.text, QStringLiteral("Parameters saved successfully."));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.title, QString());
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(dialog->writeButton()->isEnabled());
        // The read-back shows what the meter stored.
        QVERIFY(waitForHighTemp(dialog, 31.5));
    });
    QVERIFY(ran);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(modals.verify());
    // The dialog is gone with its command, and parameters are asked for again on readings.
    QTRY_VERIFY(window->findChildren<DlgSettings *>().isEmpty());
}

void TestDeviceSettings::responseResult_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("dialogOpen");
    QTest::addColumn<bool>("confirmed");

    QTest::newRow("(3, 1) during a write") << 3 << 1 << true << true;
    QTest::newRow("(3, 0) during a write") << 3 << 0 << true << false;
    QTest::newRow("(2, 1) during a write") << 2 << 1 << true << false;
    QTest::newRow("(3, 1) after the dialog was closed") << 3 << 1 << false << true;
    QTest::newRow("(3, 0) after the dialog was closed") << 3 << 0 << false << false;
}

// Only (3, 1) confirms a write: it re-enables Write and shows the box, also when the dialog
// has been closed meanwhile. Any other pair leaves Write disabled and says nothing.
void TestDeviceSettings::responseResult()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(bool, dialogOpen);
    QFETCH(bool, confirmed);

    // The meter stores writes but never answers them by itself.
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setAnswerWriteParam(false); });
    QVERIFY(connectMeter(window.get()));

    ModalWatcher modals;
    const bool ran = runSettingsCommand(window.get(), modals, [&](DlgSettings *dialog) {
        QVERIFY(waitForHighTemp(dialog, 70.0));
        QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
        QVERIFY(!dialog->writeButton()->isEnabled());
        if (!dialogOpen)
            return;
        if (confirmed)
            modals.expectMessageBox(QMessageBox::Ok);
        meter->emitResponseResult(a, b);
        if (confirmed)
            QVERIFY(modals.waitForAll());
        else
            QTest::qWait(100);
        QCOMPARE(dialog->writeButton()->isEnabled(), confirmed);
    });
    QVERIFY(ran);
    if (QTest::currentTestFailed())
        return;

    if (!dialogOpen) {
        QTRY_VERIFY(window->findChildren<DlgSettings *>().isEmpty());
        if (confirmed)
            modals.expectMessageBox(QMessageBox::Ok);
        meter->emitResponseResult(a, b);
        if (confirmed)
            QVERIFY(modals.waitForAll());
        else
            QTest::qWait(100);
    }
    QVERIFY(modals.verify());
    const QStringList texts = modals.texts();
    QCOMPARE(texts.count(QStringLiteral("Parameters saved successfully.")), confirmed ? 1 : 0);
}

void TestDeviceSettings::unitFollowsTheRecords_data()
{
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<int>("refreshes");
    QTest::addColumn<QString>("unitText");

    QTest::newRow("0 after start-up") << QList<int> {0} << 0 << "℃";
    QTest::newRow("1 after start-up") << QList<int> {1} << 1 << "℉";
    QTest::newRow("1, then 1 again") << QList<int> {1, 1} << 1 << "℉";
    QTest::newRow("1, then 0") << QList<int> {1, 0} << 2 << "℃";
    QTest::newRow("0, 1, 1, 0, 0") << QList<int> {0, 1, 1, 0, 0} << 2 << "℃";
}

// A parameter record sets the unit; the active item's views are rebuilt only when it changes.
void TestDeviceSettings::unitFollowsTheRecords()
{
    QFETCH(QList<int>, codes);
    QFETCH(int, refreshes);
    QFETCH(QString, unitText);

    // Records arrive only when the test sends them.
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setAnswerReadParam(false); });
    QVERIFY(connectMeter(window.get()));
    setSampling(window.get(), 0); // every reading is recorded
    action(window.get(), "actionStart")->trigger();
    meter->emitDisplay(20.0, 50.0, 9.3, 14.0);
    meter->emitDisplay(25.0, 55.0, 15.3, 18.8);
    QTRY_COMPARE(window->activeItem()->count(), 2);
    QTRY_COMPARE(tableRows(window.get()), 2);
    QVERIFY(shownTemperature(window.get()).tableCell.startsWith(QLatin1String("20.0")));

    // Each rebuild empties the table once.
    QSignalSpy rebuilt(window->dataModel(), &QAbstractItemModel::rowsRemoved);
    for (int code : codes) {
        meter->param()->unit = quint8(code);
        meter->emitUpdateParam();
    }
    QCOMPARE(rebuilt.count(), refreshes);
    QCOMPARE(window->unitText(), unitText);
    QCOMPARE(tableRows(window.get()), 2);

    const bool fahrenheit = unitText == QStringLiteral("℉");
    const ShownTemperature shown = shownTemperature(window.get());
    QCOMPARE(shown.tableCell, fahrenheit ? QStringLiteral("68.0 ℉") : QStringLiteral("20.0 ℃"));
    if (refreshes > 0) {
        QCOMPARE(shown.statisticMin, fahrenheit ? QStringLiteral("68.0") : QStringLiteral("20.0"));
        QCOMPARE(shown.chartValue, fahrenheit ? 68.0 : 20.0);
    }

    // The read-outs follow at the next reading.
    meter->emitDisplay(30.0, 60.0, 21.4, 23.8);
    QCOMPARE(readOuts(window.get()).at(Channel::Temperature),
             fahrenheit ? QStringLiteral("86.0") : QStringLiteral("30.0"));
    QCOMPARE(readOutUnits(window.get()), (QStringList {unitText, "%RH", unitText, unitText}));
}

// A unit code other than 0 and 1 is Celsius everywhere: the window neither shows ℉ nor
// rebuilds its views for it, and the dialog shows and writes it back as 0.
void TestDeviceSettings::undefinedUnitCode()
{
    auto window = makeTestWindow([](ScriptableMeter *m) { m->param()->unit = 2; });
    QVERIFY(connectMeter(window.get()));
    setSampling(window.get(), 0);
    action(window.get(), "actionStart")->trigger();
    meter->emitDisplay(20.0, 50.0, 9.3, 14.0);
    QTRY_COMPARE(window->activeItem()->count(), 1);

    QSignalSpy rebuilt(window->dataModel(), &QAbstractItemModel::rowsRemoved);
    ModalWatcher modals;
    const bool ran = runSettingsCommand(window.get(), modals, [&](DlgSettings *dialog) {
        QVERIFY(waitForHighTemp(dialog, 70.0));
        QCOMPARE(window->unitText(), QStringLiteral("℃"));
        QCOMPARE(window->unitIndex(), 0);
        QCOMPARE(child<QComboBox>(dialog, "cbbUnit")->currentText(), QStringLiteral("℃"));
        QCOMPARE(child<QLabel>(dialog, "label_29")->text(), QStringLiteral("℃"));

        modals.expectMessageBox(QMessageBox::Ok);
        QTest::mouseClick(dialog->writeButton(), Qt::LeftButton);
        QCOMPARE(int(meter->lastWrittenParam().unit), 0);
        QVERIFY(modals.waitForAll());
    });
    QVERIFY(ran);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(modals.verify());
    QCOMPARE(rebuilt.count(), 0);
    QCOMPARE(shownTemperature(window.get()).tableCell, QStringLiteral("20.0 ℃"));
}

void TestDeviceSettings::alarmLimits_data()
{
    QTest::addColumn<int>("unit");
    QTest::newRow("Celsius") << 0;
    QTest::newRow("Fahrenheit") << 1;
}

// The record's limits show on the charts, in the unit shown, and mark the table's values
// outside them, only while a record is known; the fit command switches all four charts.
void TestDeviceSettings::alarmLimits()
{
    QFETCH(int, unit);
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setAnswerReadParam(false); });
    QVERIFY(connectMeter(window.get()));
    setSampling(window.get(), 0);
    action(window.get(), "actionStart")->trigger();
    // The default record: temperature -20.0 .. 70.0, humidity 0.0 .. 99.9, dew point
    // -78.2 .. 70.0, wet bulb -21.6 .. 70.0.
    meter->emitDisplay(20.0, 50.0, 9.3, 14.0);
    meter->emitDisplay(75.0, 50.0, 70.5, 14.0);
    meter->emitDisplay(-25.0, 50.0, -9.0, -22.0);
    QTRY_COMPARE(tableRows(window.get()), 3);

    auto marked = [&] {
        // "row:column" of every red cell.
        QStringList cells;
        const QAbstractItemModel *model = window->dataModel();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column) {
                if (model->index(row, column).data(Qt::ForegroundRole).isValid())
                    cells << QStringLiteral("%1:%2").arg(row).arg(column);
            }
        }
        return cells;
    };
    auto limitsShown = [&] {
        int shown = 0;
        for (int channel = 0; channel < Channel::Count; ++channel)
            shown += chart(window.get(), channel)->hasLimits();
        return shown;
    };
    QCOMPARE(limitsShown(), 0);
    QVERIFY(marked().isEmpty());

    meter->param()->unit = quint8(unit);
    meter->emitUpdateParam();
    QCOMPARE(limitsShown(), Channel::Count);
    auto shown = [unit](double celsius) { return unit == 1 ? celsius * 1.8 + 32 : celsius; };
    const DMMChart *temperature = chart(window.get(), Channel::Temperature);
    QCOMPARE(temperature->lowLimit(), shown(-20.0));
    QCOMPARE(temperature->highLimit(), shown(70.0));
    const DMMChart *humidity = chart(window.get(), Channel::Humidity);
    QCOMPARE(humidity->lowLimit(), 0.0);
    QCOMPARE(humidity->highLimit(), 99.9);
    QCOMPARE(chart(window.get(), Channel::DewPoint)->lowLimit(), shown(-78.2));
    QCOMPARE(chart(window.get(), Channel::WetBulb)->lowLimit(), shown(-21.6));
    // Temperature above and below, dew point above, wet bulb below; never the number, time
    // or humidity.
    QCOMPARE(marked(), (QStringList {"1:2", "1:4", "2:2", "2:5"}));

    // The fit command is in every chart's menu and switches all four, both ways.
    QAction *fit = nullptr;
    for (QAction *a : temperature->actions()) {
        if (a->text() == QStringLiteral("Fit value axis to data"))
            fit = a;
    }
    QVERIFY(fit);
    QCOMPARE(temperature->contextMenuPolicy(), Qt::ActionsContextMenu);
    for (bool on : {true, false}) {
        fit->trigger();
        for (int channel = 0; channel < Channel::Count; ++channel) {
            QVERIFY(chart(window.get(), channel)->actions().contains(fit));
            QCOMPARE(chart(window.get(), channel)->fitsToData(), on);
        }
    }

    // Once the link is gone the record means nothing.
    meter->dropLink();
    QTRY_COMPARE(limitsShown(), 0);
    QVERIFY(marked().isEmpty());
}

void TestDeviceSettings::clockCommands_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QDateTime>("typed"); // null: the computer's clock is expected

    QTest::newRow("Sync Time") << "sync" << QDateTime();
    QTest::newRow("Update with PC checked") << "update" << QDateTime();
    QTest::newRow("Update with a typed time")
        << "update" << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 30));
}

// Both clock commands set the meter's clock once, to the computer's time unless the user
// typed one; nothing is shown.
void TestDeviceSettings::clockCommands()
{
    QFETCH(QString, how);
    QFETCH(QDateTime, typed);

    auto window = makeTestWindow();
    QVERIFY(connectMeter(window.get()));
    meter->clearCalls();
    const QDateTime before = QDateTime::currentDateTime();

    ModalWatcher modals;
    if (how == QLatin1String("sync")) {
        QAction *sync = action(window.get(), "actionSyncTime");
        QVERIFY(sync->isEnabled());
        sync->trigger();
    } else {
        const bool ran = runSettingsCommand(window.get(), modals, [&](DlgSettings *dialog) {
            if (typed.isValid()) {
                child<QCheckBox>(dialog, "cbPC")->setChecked(false);
                child<QDateTimeEdit>(dialog, "dateTimeEdit")->setDateTime(typed);
                // The clock-follow timer must leave the typed value alone.
                QTest::qWait(600);
            }
            meter->clearCalls();
            QTest::mouseClick(child<QPushButton>(dialog, "btnUpdateDatetime"), Qt::LeftButton);
        });
        QVERIFY(ran);
    }
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(modals.verify());

    QCOMPARE(meter->calls().filter(QStringLiteral("setDateTime")).size(), 1);
    const QDateTime sent = clockCallTime(meter->calls());
    QVERIFY(sent.isValid());
    if (typed.isValid()) {
        QCOMPARE(sent, typed);
    } else {
        // Whole seconds; the dialog's editor follows the clock every half second.
        QVERIFY2(sent >= before.addSecs(-2) && sent <= after,
                 qPrintable(sent.toString(Qt::ISODate)));
    }
}

void TestDeviceSettings::linkClosesTheDialog_data()
{
    QTest::addColumn<bool>("byUser");
    QTest::newRow("link lost") << false;
    QTest::newRow("Disconnect") << true;
}

// The record the dialog shows is valid only while the link is up: the dialog goes with it,
// and writes nothing.
void TestDeviceSettings::linkClosesTheDialog()
{
    QFETCH(bool, byUser);
    auto window = makeTestWindow();
    QVERIFY(connectMeter(window.get()));

    ModalWatcher modals;
    QPointer<DlgSettings> shown;
    const bool ran = runSettingsCommand(window.get(), modals, [&](DlgSettings *dialog) {
        shown = dialog;
        QVERIFY(waitForHighTemp(dialog, 70.0));
        meter->clearCalls();
        if (byUser)
            action(window.get(), "actionDisconnect")->trigger();
        else
            meter->dropLink();
        QTRY_VERIFY(!shown || !shown->isVisible());
    });
    QVERIFY(ran);
    QVERIFY(!shown);
    QVERIFY(window->findChildren<DlgSettings *>().isEmpty());
    QVERIFY(meter->calls().filter(QStringLiteral("writeParam")).isEmpty());
    QVERIFY(modals.verify());
}

QTEST_MAIN(TestDeviceSettings)
#include "tst_devicesettings.moc"
