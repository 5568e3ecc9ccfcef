#include "childrun.h"
#include "deletioncounter.h"
#include "readings.h"
#include "windowfixture.h"

#include "chartpoint.h"
#include "datamodel.h"
#include "itemdata.h"
#include "temperatureunit.h"
#include "tvitemmodel.h"

#include <QAbstractItemView>
#include <QFile>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QStyle>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

int readingLines = 0;
int countLines = 0;
QtMessageHandler previousHandler = nullptr;

void countingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (qstrcmp(context.category, "meter.reading") == 0)
        ++readingLines;
    else if (qstrcmp(context.category, "meter") == 0 && message.startsWith(QLatin1String("Count:")))
        ++countLines;
    else if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

class TestItemViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void gridCaptions();
    void statistics_data();
    void statistics();
    void statisticFiguresFit_data();
    void statisticFiguresFit();
    void rebuildFollowsTheUnit_data();
    void rebuildFollowsTheUnit();
    void plottedAt_data();
    void plottedAt();
    void viewsOfAnEmptyItem_data();
    void viewsOfAnEmptyItem();
    void seriesKeptBetweenShowings_data();
    void seriesKeptBetweenShowings();
    void perReadingDiagnosticsAreOffByDefault();
    void largeItemTableStaysCheap();
};

void TestItemViews::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
}

void TestItemViews::gridCaptions()
{
    auto window = makeTestWindow();
    const QTableWidget *math = statisticGrid(window.get());
    QCOMPARE(math->rowCount(), 5);
    QCOMPARE(math->columnCount(), 5);

    const QStringList rows {"", "TEMP: ", "HUMI: ", "DP: ", "WB: "};
    const QStringList columns {"", "NUM", "MIN", "MAX", "AVG"};
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
            const QTableWidgetItem *item = math->item(r, c);
            QVERIFY2(item, qPrintable(QStringLiteral("cell %1,%2").arg(r).arg(c)));
            QCOMPARE(item->textAlignment(), 0x42);
            const bool isCaption = (r == 0) != (c == 0);
            if (isCaption) {
                QCOMPARE(item->text(), c == 0 ? rows.at(r) : columns.at(c));
                QCOMPARE(item->font().weight(), 75);
            } else if (r == 0) {
                QCOMPARE(item->text(), QString());
            }
        }
    }
    // A read-only panel.
    QCOMPARE(math->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(math->selectionMode(), QAbstractItemView::NoSelection);
}

void TestItemViews::statistics_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QList<QStringList>>("rows"); // TEMP, HUMI, DP, WB: NUM, MIN, MAX, AVG

    QTest::newRow("Celsius") << 0
                             << QList<QStringList> {{"2", "20.0", "21.5", "20.8"},
                                                    {"2", "45.0", "55.0", "50.0"},
                                                    {"2", "8.0", "9.0", "8.5"},
                                                    {"2", "13.0", "14.0", "13.5"}};
    // Humidity and the counts are never converted.
    QTest::newRow("Fahrenheit") << 1
                                << QList<QStringList> {{"2", "68.0", "70.7", "69.3"},
                                                       {"2", "45.0", "55.0", "50.0"},
                                                       {"2", "46.4", "48.2", "47.3"},
                                                       {"2", "55.4", "57.2", "56.3"}};
}

// 21.5 then 20.0: the statistics are folded reading by reading and shown with one decimal.
void TestItemViews::statistics()
{
    QFETCH(int, unit);
    QFETCH(QList<QStringList>, rows);

    auto window = makeTestWindow();
    if (unit != 0)
        QVERIFY2(setUnit(window.get(), unit), "the window does not follow updateParam");
    ItemData *item = window->activeItem();
    QVERIFY(item);

    record(window.get(), item, makeReading(21.5, 45.0, 9.0, 14.0));
    window->updateStatisticTable();
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Count), QStringLiteral("1"));
    QCOMPARE(item->getStatistic(0)->total, 21.5);

    record(window.get(), item, makeReading(20.0, 55.0, 8.0, 13.0));
    window->updateStatisticTable();
    for (int channel = 0; channel < Channel::Count; ++channel)
        QCOMPARE(statisticRow(window.get(), channel), rows.at(channel));
    // Held in the base unit whatever is shown.
    QCOMPARE(item->getStatistic(0)->minimum, 20.0);
    QCOMPARE(item->getStatistic(0)->average, 20.75);
    QCOMPARE(statisticGrid(window.get())->item(1, 2)->font().weight(), 50);
}

void TestItemViews::statisticFiguresFit_data()
{
    QTest::addColumn<QString>("fontDpi"); // empty: the platform's own
    QTest::newRow("default font") << QString();
    QTest::newRow("QT_FONT_DPI=120") << "120";
}

// At the window's first-start size every figure the grid can show is drawn whole: counts up
// to 9 999 999 and values from -999.9 to 9999.9, in either unit; and no row is cut off.
void TestItemViews::statisticFiguresFit()
{
    QFETCH(QString, fontDpi);
    if (!fontDpi.isEmpty()) {
        // The font resolution is fixed when the application object is made.
        const ChildRun run = rerunInChild(QStringLiteral("statisticFiguresFit:default font"),
                                          {QStringLiteral("QT_FONT_DPI=") + fontDpi});
        QVERIFY2(run.passed(), qPrintable(run.output));
        return;
    }
    QFile::remove(testOptionsFilePath());
    auto window = makeTestWindow({}, true);
    QCOMPARE(window->width(), 1000);
    const QTableWidget *grid = statisticGrid(window.get());
    // The pane holds the grid however far its splitter is dragged.
    const QWidget *pane = child<QWidget>(window.get(), "widget_2");
    QVERIFY(pane->minimumWidth() >= std::max(230, grid->minimumWidth()));
    const int margins
        = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1)
        + (grid->showGrid() ? 1 : 0);
    // The widest figures in either unit, then a count above 10 000 in ℉ to look at.
    const struct
    {
        int unit, count;
        double low, high;
    } cases[]
        = {{0, 9999999, -999.9, 9999.9}, {1, 9999999, -999.9, 9999.9}, {1, 12345, -8.8, 113.0}};
    for (const auto &c : cases) {
        QVERIFY(setUnit(window.get(), c.unit));
        for (int k = 0; k < Channel::Count; ++k) {
            const int unit = k == Channel::Humidity ? 0 : c.unit; // humidity is not converted
            ItemStatistic *s = window->activeItem()->getStatistic(k);
            s->count = c.count;
            s->minimum = s->average = TemperatureUnit::toCelsius(c.low, unit);
            s->maximum = TemperatureUnit::toCelsius(c.high, unit);
        }
        window->updateStatisticTable();
        QCOMPARE(statistic(window.get(), Channel::DewPoint, Statistic::Maximum),
                 QString::number(c.high, 'f', 1));
        for (int row = 0; row < grid->rowCount(); ++row) {
            for (int column = 0; column < grid->columnCount(); ++column) {
                const QTableWidgetItem *cell = grid->item(row, column);
                const int needed = QFontMetrics(cell->font()).horizontalAdvance(cell->text());
                QVERIFY2(needed + margins <= grid->columnWidth(column), qPrintable(cell->text()));
            }
        }
        const int last = grid->rowCount() - 1;
        QVERIFY(grid->rowViewportPosition(last) + grid->rowHeight(last)
                <= grid->viewport()->height());
    }
    const QString dpi = qEnvironmentVariable("QT_FONT_DPI", QStringLiteral("default"));
    saveShot(window.get(), QStringLiteral("statistics-fahrenheit-window-dpi-") + dpi);
    saveShot(statisticGrid(window.get()), QStringLiteral("statistics-fahrenheit-grid-dpi-") + dpi);
}

void TestItemViews::rebuildFollowsTheUnit_data()
{
    QTest::addColumn<int>("unit"); // -1: no parameter record yet
    QTest::addColumn<QString>("temperature"); // table cell and chart read-out
    QTest::addColumn<double>("plotted");
    QTest::addColumn<QString>("dewPoint");

    QTest::newRow("before the first parameter record") << -1 << "21.5 ℃" << 21.5 << "9.1 ℃";
    QTest::newRow("Celsius") << 0 << "21.5 ℃" << 21.5 << "9.1 ℃";
    QTest::newRow("Fahrenheit") << 1 << "70.7 ℉" << 70.7 << "48.4 ℉";
}

// A change of unit redraws table, charts and grid; the readings and statistics stay in the
// base unit.
void TestItemViews::rebuildFollowsTheUnit()
{
    QFETCH(int, unit);
    QFETCH(QString, temperature);
    QFETCH(double, plotted);
    QFETCH(QString, dewPoint);

    auto window = makeTestWindow();
    ItemData *item = window->activeItem();
    for (int i = 0; i < 3; ++i)
        record(window.get(), item, makeReading(21.5, 45.0 + i, 9.1, 14.2));
    window->refreshItemViews();
    if (unit >= 0) {
        QVERIFY2(setUnit(window.get(), unit), "the window does not follow updateParam");
        window->refreshItemViews();
    }

    QCOMPARE(tableRows(window.get()), 3);
    QCOMPARE(tableCell(window.get(), 2, 2), temperature);
    QCOMPARE(tableCell(window.get(), 2, 3), QStringLiteral("47.0 %RH"));
    for (int channel = 0; channel < Channel::Count; ++channel)
        QCOMPARE(chartPoints(window.get(), channel).size(), 3);
    const ChartPoint *t = chartPoints(window.get(), Channel::Temperature).last();
    QCOMPARE(chartTag(window.get(), Channel::Temperature, 2), temperature);
    QVERIFY(qFuzzyCompare(t->value, plotted));
    const ChartPoint *h = chartPoints(window.get(), Channel::Humidity).last();
    QCOMPARE(chartTag(window.get(), Channel::Humidity, 2), QStringLiteral("47.0 %RH"));
    QCOMPARE(h->value, 47.0);
    QCOMPARE(chartTag(window.get(), Channel::DewPoint, 2), dewPoint);
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Minimum),
             temperature.section(QLatin1Char(' '), 0, 0));

    QCOMPARE(item->getDataList().last()->temperature().value, 21.5);
    QCOMPARE(item->getStatistic(0)->maximum, 21.5);
    QCOMPARE(item->getStatistic(1)->count, 3);
}

void TestItemViews::plottedAt_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("live reading at its time") << false;
    QTest::newRow("downloaded record at its storage time") << true;
}

void TestItemViews::plottedAt()
{
    QFETCH(bool, stored);
    auto window = makeTestWindow();
    const QDateTime measured(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QDateTime storedAt(QDate(2024, 2, 1), QTime(8, 30));

    ItemData *item = window->activeItem();
    if (stored) {
        item = storeItem(window.get());
        record(window.get(), item, makeStoredRecord(120, storedAt, 21.5));
        window->itemSetToActive(storeRow(window.get()));
    } else {
        record(window.get(), item, makeReading(21.5, 45.0, 9.1, 14.2, measured));
        window->refreshItemViews();
    }
    QCOMPARE(window->activeItem(), item);
    for (int channel = 0; channel < Channel::Count; ++channel) {
        QCOMPARE(chartPoints(window.get(), channel).size(), 1);
        QCOMPARE(chartPoints(window.get(), channel).first()->time, stored ? storedAt : measured);
    }
}

void TestItemViews::viewsOfAnEmptyItem_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("unit");
    QTest::newRow("another, new item becomes active") << "new" << 0;
    QTest::newRow("the active item is emptied") << "clear" << 0;
    // Nothing to convert: not 32.0.
    QTest::newRow("another, new item becomes active, in ℉") << "new" << 1;
    QTest::newRow("the active item is emptied, in ℉") << "clear" << 1;
}

// The views never keep anything of the item shown before; the emptied readings are deleted
// exactly once.
void TestItemViews::viewsOfAnEmptyItem()
{
    QFETCH(QString, how);
    QFETCH(int, unit);
    auto window = makeTestWindow();
    QVERIFY(setUnit(window.get(), unit));
    ItemData *item = window->activeItem();
    for (int i = 0; i < 500; ++i)
        record(window.get(), item, makeReading(20.0 + i % 7, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QCOMPARE(tableRows(window.get()), 500);
    QCOMPARE(chartPoints(window.get(), Channel::WetBulb).size(), 500);
    QCOMPARE(statistic(window.get(), Channel::Humidity, Statistic::Count), QStringLiteral("500"));

    DeletionCounter deletions;
    deletions.watch(item->getDataList());
    if (how == QLatin1String("new")) {
        window->newItem(QStringLiteral("Empty"), ItemData::Measure);
        QVERIFY(window->activeItem() != item);
        QCOMPARE(item->count(), 500);
    } else {
        // A download empties its item the same way: the table lets go first.
        window->dataModel()->clearData();
        item->clearData();
        window->refreshItemViews();
        QCOMPARE(deletions.deleted, 500);
    }

    QCOMPARE(tableRows(window.get()), 0);
    for (int channel = 0; channel < Channel::Count; ++channel) {
        QCOMPARE(chartPoints(window.get(), channel).size(), 0);
        QCOMPARE(statisticRow(window.get(), channel), QStringList({"0", "0.0", "0.0", "0.0"}));
    }
}

void TestItemViews::seriesKeptBetweenShowings_data()
{
    QTest::addColumn<QString>("meanwhile"); // what happens while another item is shown
    QTest::addColumn<int>("shown"); // readings the charts show afterwards
    QTest::newRow("nothing") << "nothing" << 300;
    QTest::newRow("readings added") << "added" << 305;
    QTest::newRow("emptied and filled anew") << "refilled" << 5;
    QTest::newRow("unit changed") << "fahrenheit" << 300;
}

// An item shown before shows again without being rebuilt, and still exactly as its readings
// say: readings added or cleared while it was not shown, and the unit of the moment, count.
void TestItemViews::seriesKeptBetweenShowings()
{
    QFETCH(QString, meanwhile);
    QFETCH(int, shown);
    auto window = makeTestWindow();
    ItemData *item = window->activeItem();
    const QModelIndex row = liveItemRow(window.get(), 0);
    fillActiveItem(window.get(), 300);
    const ChartPoint *firstPoint = chartPoints(window.get(), Channel::Temperature).first();

    window->newItem(QStringLiteral("Other"), ItemData::Measure);
    QCOMPARE(chartPoints(window.get(), Channel::Temperature).size(), 0);
    if (meanwhile == QLatin1String("refilled"))
        item->clearData();
    if (meanwhile == QLatin1String("added") || meanwhile == QLatin1String("refilled")) {
        for (int i = 0; i < 5; ++i)
            record(window.get(), item, makeReading(30.0 + i, 60.0, 12.0, 20.0 - i));
    }
    if (meanwhile == QLatin1String("fahrenheit"))
        QVERIFY(setUnit(window.get(), 1));
    window->itemSetToActive(row);

    QCOMPARE(window->activeItem(), item);
    const QList<DmmData *> readings = item->getDataList();
    QCOMPARE(readings.size(), shown);
    if (meanwhile != QLatin1String("refilled"))
        QCOMPARE(chartPoints(window.get(), Channel::Temperature).first(), firstPoint);
    const bool fahrenheit = window->unitIndex() == 1;
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const QList<ChartPoint *> points = chartPoints(window.get(), channel);
        QCOMPARE(points.size(), shown);
        for (int i = 0; i < shown; ++i) {
            const double value = readings.at(i)->value(channel).value;
            QCOMPARE(points.at(i)->value,
                     fahrenheit && channel != Channel::Humidity
                         ? TemperatureUnit::celsiusToFahrenheit(value)
                         : value);
            QCOMPARE(points.at(i)->time, readings.at(i)->time());
        }
        // The read-out says what the table says.
        QCOMPARE(chartTag(window.get(), channel, shown - 1),
                 tableCell(window.get(), shown - 1, DataModel::TemperatureColumn + channel));
    }

    // Back to Celsius: the values as recorded, without a trace of the round trip.
    if (fahrenheit) {
        QVERIFY(setUnit(window.get(), 0));
        const QList<ChartPoint *> points = chartPoints(window.get(), Channel::DewPoint);
        for (int i = 0; i < shown; ++i)
            QCOMPARE(points.at(i)->value, readings.at(i)->dewPoint().value);
    }
}

void TestItemViews::perReadingDiagnosticsAreOffByDefault()
{
    auto window = makeTestWindow();
    ItemData *item = window->activeItem();
    for (int i = 0; i < 200; ++i)
        record(window.get(), item, makeReading(21.5, 45.0, 9.1, 14.2));

    readingLines = countLines = 0;
    previousHandler = qInstallMessageHandler(countingHandler);
    QLoggingCategory::setFilterRules(QStringLiteral("meter.debug=true"));
    window->refreshItemViews();
    const int quietReadingLines = readingLines;
    const int quietCountLines = countLines;
    QLoggingCategory::setFilterRules(QStringLiteral("meter.reading.debug=true"));
    window->refreshItemViews();
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previousHandler);

    QCOMPARE(quietReadingLines, 0);
    QCOMPARE(quietCountLines, 1);
    QCOMPARE(readingLines, 200);
}

// Rows of one height and one insertion per rebuild: the table never measures its rows.
void TestItemViews::largeItemTableStaysCheap()
{
    auto window = makeTestWindow({}, true);
    auto *table = child<QTableView>(window.get(), "tv");
    QCOMPARE(table->verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    ItemData *item = window->activeItem();
    for (int i = 0; i < 20000; ++i)
        record(window.get(), item, makeReading(20.0 + i % 50 / 10.0, 45.0, 9.1, 14.2));
    int insertions = 0;
    connect(window->dataModel(), &QAbstractItemModel::rowsInserted, this,
            [&insertions] { ++insertions; });
    window->refreshItemViews();
    QCOMPARE(insertions, 1);
    QCoreApplication::processEvents();
    // Scrolled to the newest reading.
    QCOMPARE(table->rowAt(table->viewport()->height() - 2) + 1 >= 19990, true);
    QCOMPARE(table->rowHeight(0), table->rowHeight(19999));
}

QTEST_MAIN(TestItemViews)
#include "tst_itemviews.moc"
