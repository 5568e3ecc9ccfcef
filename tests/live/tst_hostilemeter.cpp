#include "modalwatcher.h"
#include "windowfixture.h"

#include "chartpoint.h"
#include "chartscale.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "sheetexport.h"
#include "workbookreader.h"

#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <cmath>
#include <limits>

// A plug-in is outside code: whatever values, texts, counts and orders it sends, and from
// whatever thread, the window goes on working and its own figures stay meaningful.

namespace {

constexpr double noNumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// Every text of the statistics grid.
QStringList gridTexts(const Widget *window)
{
    QStringList texts;
    const QTableWidget *grid = statisticGrid(window);
    for (int row = 0; row < grid->rowCount(); ++row) {
        for (int column = 0; column < grid->columnCount(); ++column) {
            if (const QTableWidgetItem *item = grid->item(row, column))
                texts << item->text();
        }
    }
    return texts;
}

// Lets the window take in what was sent and draw every chart and the grid, as a user would
// see it; returns how long that took.
qint64 settle(Widget *window)
{
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents();
    for (int channel = 0; channel < Channel::Count; ++channel)
        chart(window, channel)->grab();
    statisticGrid(window)->grab();
    return clock.elapsed();
}

} // namespace

class TestHostileMeter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void valuesThatAreNoNumbers_data();
    void valuesThatAreNoNumbers();
    void textsAsSent();
    void storeCountsAndIndexes();
    void tenThousandReadingsASecond();

private:
    std::unique_ptr<Widget> recordingWindow();
    ScriptableMeter *meter = nullptr;
};

void TestHostileMeter::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
}

void TestHostileMeter::init()
{
    QCoreApplication::processEvents();
}

std::unique_ptr<Widget> TestHostileMeter::recordingWindow()
{
    auto window = makeTestWindow({}, true);
    setSampling(window.get(), 0);
    if (!connectMeter(window.get()))
        return nullptr;
    window->on_actionStart_triggered();
    return window;
}

void TestHostileMeter::valuesThatAreNoNumbers_data()
{
    QTest::addColumn<QList<double>>("temperatures");
    QTest::addColumn<QStringList>("row"); // the temperature row of the grid

    QTest::newRow("NaN between readings")
        << QList<double> {21.0, noNumber, 23.0} << QStringList {"2", "21.0", "23.0", "22.0"};
    QTest::newRow("NaN first") << QList<double> {noNumber, 19.5}
                               << QStringList {"1", "19.5", "19.5", "19.5"};
    QTest::newRow("both infinities")
        << QList<double> {infinity, 20.0, -infinity} << QStringList {"1", "20.0", "20.0", "20.0"};
    QTest::newRow("nothing but NaN")
        << QList<double> {noNumber, noNumber} << QStringList {"0", "0.0", "0.0", "0.0"};
    // The sum overflows; the mean does not.
    QTest::newRow("1e308 twice") << QList<double> {1e308, 1e308}
                                 << QStringList {"2", "1.0e+308", "1.0e+308", "1.0e+308"};
    QTest::newRow("the largest values both ways")
        << QList<double> {-1.7e308, 1.7e308, 5.0}
        << QStringList {"3", "-1.7e+308", "1.7e+308", "1.7"};
    QTest::newRow("seven digits still plain")
        << QList<double> {9999999.9, -9999999.9}
        << QStringList {"2", "-9999999.9", "9999999.9", "0.0"};
}

// Values that are not numbers are left out of the statistics and of the charts' scales (the
// charts keep a sample for every reading, in step with the table, and draw across the gaps);
// figures too large for the grid are written short. Each reading is taken in and drawn in well
// under 100 ms.
void TestHostileMeter::valuesThatAreNoNumbers()
{
    QFETCH(QList<double>, temperatures);
    QFETCH(QStringList, row);

    auto window = recordingWindow();
    QVERIFY(window);
    // The cost of an ordinary reading on this machine, the yardstick for the others.
    meter->emitDisplay(20.0, 45.0, 10.0, 15.0);
    settle(window.get());
    window->newItem(QStringLiteral("Ordinary"), ItemData::Measure);
    window->on_actionStart_triggered();
    meter->emitDisplay(20.0, 45.0, 10.0, 15.0);
    const qint64 ordinary = settle(window.get());
    window->newItem(QStringLiteral("Hostile"), ItemData::Measure);
    window->on_actionStart_triggered();

    qint64 slowest = 0;
    for (double t : temperatures) {
        // Every channel gets the same kind of value; humidity stays sane to show the others
        // are kept apart.
        meter->emitDisplay(t, 45.0, t, t);
        slowest = std::max(slowest, settle(window.get()));
    }
    qInfo("ordinary reading %lld ms, slowest hostile one %lld ms", ordinary, slowest);
    QVERIFY2(slowest < 100 + 10 * ordinary, qPrintable(QString::number(slowest)));

    QCOMPARE(window->activeItem()->count(), temperatures.size());
    QCOMPARE(statisticRow(window.get(), Channel::Temperature), row);
    QCOMPARE(statisticRow(window.get(), Channel::WetBulb), row);
    QCOMPARE(statisticRow(window.get(), Channel::Humidity).at(0),
             QString::number(temperatures.size()));
    for (const QString &text : gridTexts(window.get())) {
        QVERIFY2(!text.contains(QLatin1String("nan"), Qt::CaseInsensitive)
                     && !text.contains(QLatin1String("inf"), Qt::CaseInsensitive)
                     && text.size() <= 12,
                 qPrintable(text));
    }
    // A span wider than the largest number (-1.7e308 to 1.7e308) has no scale to speak of;
    // it only has to be drawn without harm, as above.
    double low = 0.0, high = 0.0;
    for (double t : temperatures) {
        if (std::isfinite(t)) {
            low = std::min(low, t);
            high = std::max(high, t);
        }
    }
    for (int channel : {int(Channel::Temperature), int(Channel::DewPoint)}) {
        QCOMPARE(chartPoints(window.get(), channel).size(), temperatures.size());
        const ChartScale &scale = chart(window.get(), channel)->chartScale();
        if (std::isfinite(high - low))
            QVERIFY(std::isfinite(scale.yMin) && std::isfinite(scale.yMax)
                    && std::isfinite(scale.yStep));
    }

    // The same readings from a worker thread.
    window->newItem(QStringLiteral("From a thread"), ItemData::Measure);
    window->on_actionStart_triggered();
    for (double t : temperatures)
        meter->emitDisplayFromThread(t, 45.0, t, t);
    QTRY_COMPARE(window->activeItem()->count(), temperatures.size());
    settle(window.get());
    QCOMPARE(statisticRow(window.get(), Channel::Temperature), row);
}

// A plug-in's own texts are shown as it sent them, and the exports of such an item are still
// workbooks our reader takes back, one row per reading.
void TestHostileMeter::textsAsSent()
{
    auto window = recordingWindow();
    QVERIFY(window);
    meter->setTextsAsSent(true);
    const QList<QList<DmmValue>> readings {
        {{3, 21.0, QString()},
         {3, 45.0, QStringLiteral("abc")},
         {3, noNumber, QStringLiteral("nan")},
         {3, 1e308, QString(400, QLatin1Char('9'))}},
        {{3, infinity, QStringLiteral("-")},
         {3, 46.0, QStringLiteral("1,5e3")},
         {3, 9.0, QStringLiteral("\u2603")},
         {3, -infinity, QStringLiteral("=1+1")}},
    };
    for (const QList<DmmValue> &reading : readings)
        meter->emitDisplayValues(reading);
    QTRY_COMPARE(tableRows(window.get()), 2);
    settle(window.get());
    QCOMPARE(tableCell(window.get(), 0, 3), QStringLiteral("abc %RH"));
    QCOMPARE(statisticRow(window.get(), Channel::Temperature),
             (QStringList {"1", "21.0", "21.0", "21.0"}));
    QCOMPARE(statisticRow(window.get(), Channel::DewPoint),
             (QStringList {"1", "9.0", "9.0", "9.0"}));

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char *name : {"hostile.xls", "hostile.xlsx"}) {
        const QString path = dir.filePath(QLatin1String(name));
        QCOMPARE(SheetExport::exportModel(window->dataModel(), path), SheetExport::Success);
        const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(path);
        QCOMPARE(sheet.error, WorkbookReader::NoError);
        QCOMPARE(sheet.rows.size(), 3); // the header and the two readings
    }
}

// Store counts and record numbers of any size and order: nothing breaks, a count that cannot
// be one shows the empty-memory message, reports outside a download show nothing.
void TestHostileMeter::storeCountsAndIndexes()
{
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setAnswerDownload(false); }, true);
    QVERIFY(connectMeter(window.get()));

    modals.expectMessageBox(QMessageBox::Ok);
    meter->emitUpdateStoreCount(-5);
    QVERIFY(modals.waitForAll());
    QCOMPARE(modals.last().text, QStringLiteral("The storing data is empty."));

    // Completions and reports with no download running.
    for (int n : {0, -1, 7, std::numeric_limits<int>::max(), std::numeric_limits<int>::min()})
        meter->emitStoreNum(n, n);
    meter->emitStoreNum(-3, 2);
    settle(window.get());
    QCOMPARE(modals.seen().size(), 1);

    // A meter that announces 2^31 - 1 records and sends three, numbered at random.
    meter->emitUpdateStoreCount(std::numeric_limits<int>::max());
    const QDateTime base(QDate(2024, 3, 5), QTime(9, 0));
    const int indexes[] = {3, -7, std::numeric_limits<int>::max()};
    for (int i = 0; i < 3; ++i) {
        meter->emitDisplayStore(indexes[i], base.addSecs(60 * i), 20.0 + i, 50.0, 10.0, 15.0);
        meter->emitStoreNum(std::numeric_limits<int>::max(), indexes[i]);
        settle(window.get());
    }
    QCOMPARE(storeItem(window.get())->count(), 3);
    QTRY_COMPARE(tableRows(window.get()), 3);
    QCOMPARE(tableCell(window.get(), 1, 0), QStringLiteral("-7"));
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Maximum),
             QStringLiteral("22.0"));

    // The link goes: the download ends with what came, and says so.
    modals.expectMessageBox(QMessageBox::Ok);
    meter->dropLink();
    QVERIFY(modals.waitForAll());
    QVERIFY(modals.last().text.contains(QLatin1String("2147483647")));
    QCOMPARE(storeItem(window.get())->count(), 3);
}

// Ten readings every millisecond for a second: all are recorded, and the event loop goes on
// turning between them.
void TestHostileMeter::tenThousandReadingsASecond()
{
    auto window = recordingWindow();
    QVERIFY(window);
    int sent = 0;
    QTimer burst;
    burst.setInterval(1);
    connect(&burst, &QTimer::timeout, this, [&] {
        for (int i = 0; i < 10 && sent < 10000; ++i, ++sent)
            meter->emitDisplay(20.0 + (sent % 100) * 0.1, 45.0, 10.0, 15.0);
        if (sent == 10000)
            burst.stop();
    });
    int turns = 0;
    QTimer heartbeat;
    heartbeat.setInterval(0);
    connect(&heartbeat, &QTimer::timeout, this, [&] { ++turns; });
    heartbeat.start();
    burst.start();
    QTRY_VERIFY_WITH_TIMEOUT(!burst.isActive(), 60000);
    heartbeat.stop();
    // Each batch is one timer event: the loop returns between them.
    QVERIFY2(turns >= 1000 / 2, qPrintable(QString::number(turns)));
    QCOMPARE(window->activeItem()->count(), 10000);
    QTRY_COMPARE(tableRows(window.get()), 10000);
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Count),
             QStringLiteral("10000"));
}

QTEST_MAIN(TestHostileMeter)
#include "tst_hostilemeter.moc"
