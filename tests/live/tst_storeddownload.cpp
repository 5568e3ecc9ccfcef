#include "modalwatcher.h"
#include "windowfixture.h"

#include "chartpoint.h"
#include "dmmdata.h"
#include "idmm.h"

#include <QAction>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>

namespace {

// Sees the meter's download signals right after the window has handled them.
class StoreSpy : public QObject
{
    Q_OBJECT
public:
    explicit StoreSpy(QObject *meter)
    {
        connect(meter, SIGNAL(displayStore(const DmmData *)), this, SLOT(record()));
        connect(meter, SIGNAL(storeNum(int, int)), this, SLOT(progress(int, int)));
    }
    std::function<void(int)> afterRecord; // the number of records so far
    std::function<void(int, int)> afterProgress;
    int records = 0;

public slots:
    void record()
    {
        ++records;
        if (afterRecord)
            afterRecord(records);
    }
    void progress(int total, int current)
    {
        if (afterProgress)
            afterProgress(total, current);
    }
};

QProgressDialog *shownProgress(const Widget *window)
{
    for (QProgressDialog *dialog : window->findChildren<QProgressDialog *>()) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

int progressDialogs(const Widget *window)
{
    return window->findChildren<QProgressDialog *>().size();
}

} // namespace

class TestStoredDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void downloadWithTheLinkClosed();
    void emptyMemory();
    void download250();
    void cancel_data();
    void cancel();
    void completionBeforeTheLastRecord_data();
    void completionBeforeTheLastRecord();
    void linkLost_data();
    void linkLost();
    void countAfterTheLinkClosed();

private:
    // Connects, downloads `count` records and waits for the completion message.
    bool download(Widget *window, ModalWatcher &modals, int count);
    ScriptableMeter *meter = nullptr;
};

void TestStoredDownload::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
}

void TestStoredDownload::init()
{
    // Answers the test meter still owes a window of the previous test must not reach this one.
    QCoreApplication::processEvents();
}

bool TestStoredDownload::download(Widget *window, ModalWatcher &modals, int count)
{
    meter->setStoredRecordCount(count);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window, "actionItemDownload")->trigger();
    return modals.waitForAll(120000)
        && modals.last().text == QLatin1String("All stored data have been downloaded.");
}

void TestStoredDownload::downloadWithTheLinkClosed()
{
    ModalWatcher modals;
    auto window = makeTestWindow();
    ItemData *active = window->activeItem();
    meter->clearCalls();
    window->on_actionItemDownload_triggered();
    QTest::qWait(20);
    QVERIFY(!meter->calls().contains(QStringLiteral("requestStoreCount")));
    QCOMPARE(window->activeItem(), active);
    QCOMPARE(progressDialogs(window.get()), 0);
    QVERIFY(modals.verify());
}

// An empty memory: the message only; "Store Data", the active item and the views stay.
void TestStoredDownload::emptyMemory()
{
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow({}, true);
    QVERIFY(connectMeter(window.get()));
    QVERIFY(download(window.get(), modals, 5));
    window->itemSetToActive(liveItemRow(window.get(), 0));
    ItemData *active = window->activeItem();
    QCOMPARE(active, liveItem(window.get(), 0));

    meter->clearCalls();
    meter->setStoredRecordCount(0);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionItemDownload")->trigger();
    QVERIFY(modals.waitForAll());
    QCOMPARE(modals.last().text, QStringLiteral("The storing data is empty."));
    QCOMPARE(modals.last().icon, QMessageBox::Information);
    QCOMPARE(modals.last().title, QString());
    QTest::qWait(20);
    QCOMPARE(meter->calls(), QStringList {"requestStoreCount"});
    QCOMPARE(storeItem(window.get())->count(), 5);
    QCOMPARE(window->activeItem(), active);
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());
    QCOMPARE(shownProgress(window.get()), nullptr);
    QVERIFY(modals.verify());
}

// 250 records: order, table, charts, statistics and the progress dialog as it counts up;
// then a second download.
void TestStoredDownload::download250()
{
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow({}, true);
    QVERIFY(connectMeter(window.get()));
    window->on_actionStart_triggered();

    StoreSpy spy(window->dmm()->object());
    QStringList dialogFaults;
    QString textAt120;
    spy.afterProgress = [&](int total, int current) {
        QProgressDialog *dialog = shownProgress(window.get());
        if (current == 120 && dialog)
            textAt120 = dialog->findChild<QProgressBar *>()->text();
        if (current != 1)
            return;
        // The dialog as the first report leaves it.
        auto check = [&](bool ok, const char *what) {
            if (!ok)
                dialogFaults << QString::fromLatin1(what);
        };
        check(dialog, "shown");
        if (!dialog)
            return;
        const auto *bar = dialog->findChild<QProgressBar *>();
        check(dialog->labelText() == QLatin1String("Downdloading..."), "label");
        check(dialog->windowModality() == Qt::WindowModal, "window-modal");
        check(dialog->minimumDuration() == 1, "minimum duration");
        check(dialog->minimumWidth() == 260, "minimum width");
        check(dialog->testAttribute(Qt::WA_DeleteOnClose), "deleted on close");
        check(dialog->findChildren<QPushButton *>().isEmpty(), "no cancel button");
        check(dialog->maximum() == total && dialog->value() == 1, "range and value");
        check(bar && bar->format() == QLatin1String("%v/%m"), "format");
        check(bar && bar->alignment() == (Qt::AlignLeft | Qt::AlignVCenter), "alignment");
        check(!action(window.get(), "actionItemDownload")->isEnabled(), "Download disabled");
    };

    QVERIFY(download(window.get(), modals, 250));
    QVERIFY2(dialogFaults.isEmpty(), qPrintable(dialogFaults.join(", ")));
    QCOMPARE(textAt120, QStringLiteral("120/250"));
    QCOMPARE(modals.last().icon, QMessageBox::Information);
    QTRY_COMPARE(progressDialogs(window.get()), 0);
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());

    ItemData *store = storeItem(window.get());
    QCOMPARE(window->activeItem(), store);
    QCOMPARE(itemTree(window.get())->currentIndex(), storeRow(window.get()));
    QVERIFY(!window->isRunning());
    QVERIFY(!action(window.get(), "actionStart")->isEnabled());

    const QList<DmmData *> records = store->getDataList();
    QCOMPARE(records.size(), 250);
    const QDateTime base(QDate(2024, 3, 5), QTime(14, 0));
    for (int i = 0; i < records.size(); ++i)
        QCOMPARE(records.at(i)->storeIndex(), i + 1);

    // Complete by the time the message says so.
    QCOMPARE(tableRows(window.get()), 250);
    QCOMPARE(tableCell(window.get(), 0, 0), QStringLiteral("1"));
    QCOMPARE(tableCell(window.get(), 249, 0), QStringLiteral("250"));
    QCOMPARE(tableCell(window.get(), 0, 1), QStringLiteral("2024-03-05 14:01"));
    QCOMPARE(tableCell(window.get(), 249, 1), QStringLiteral("2024-03-05 18:10"));

    for (int channel = 0; channel < Channel::Count; ++channel) {
        QCOMPARE(chartPoints(window.get(), channel).size(), 250);
        QCOMPARE(statistic(window.get(), channel, Statistic::Count), QStringLiteral("250"));
    }
    // Plotted at the stored time, not at the moment of the transfer.
    QCOMPARE(chartPoints(window.get(), Channel::Temperature).at(119)->time, base.addSecs(60 * 120));

    // A second download replaces the first, statistics included.
    QVERIFY(download(window.get(), modals, 25));
    QCOMPARE(store->count(), 25);
    QCOMPARE(store->getDataList().last()->storeIndex(), 25);
    // Temperatures 20 + (i % 10) for i = 1..25: 605 / 25 (the 250 average 24.5).
    QCOMPARE(statisticRow(window.get(), Channel::Temperature),
             (QStringList {"25", "20.0", "29.0", "24.2"}));
    QCOMPARE(tableRows(window.get()), 25);
    QCOMPARE(chartPoints(window.get(), Channel::WetBulb).size(), 25);
    QVERIFY(modals.verify());
}

void TestStoredDownload::cancel_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Escape") << "escape";
    QTest::newRow("the window's close button") << "close";
    // In the middle of the dialog's own progress update, which runs the event loop.
    QTest::newRow("Escape within a progress update") << "escape inside";
    // The rest of the transfer still goes into "Store Data", not into the measurement item.
    QTest::newRow("then another item activated") << "close, activate";
    QTest::newRow("then another item activated, and Store Data again") << "close, activate, store";
}

// A cancelled dialog goes; the transfer goes on into "Store Data", whichever item is active,
// and still ends with the completion message once every record has arrived.
void TestStoredDownload::cancel()
{
    QFETCH(QString, how);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow({}, true);
    QVERIFY(connectMeter(window.get()));

    StoreSpy spy(window->dmm()->object());
    bool cancelled = false;
    auto cancelNow = [&] {
        QProgressDialog *dialog = shownProgress(window.get());
        QVERIFY(dialog);
        if (how.startsWith(QLatin1String("close")))
            dialog->close();
        else
            QTest::keyClick(dialog, Qt::Key_Escape);
        cancelled = !dialog->isVisible();
        if (how.contains(QLatin1String("activate")))
            window->itemSetToActive(liveItemRow(window.get(), 0));
    };
    if (how.endsWith(QLatin1String("store"))) {
        spy.afterRecord = [&](int records) {
            if (records == 80)
                window->itemSetToActive(storeRow(window.get()));
        };
    }
    if (how == QLatin1String("escape inside")) {
        spy.afterRecord = [&](int records) {
            if (records == 50)
                QTimer::singleShot(0, window.get(), cancelNow);
        };
    } else {
        spy.afterProgress = [&](int, int current) {
            if (current == 50)
                cancelNow();
        };
    }

    QVERIFY(download(window.get(), modals, 120));
    QVERIFY(cancelled);
    QCOMPARE(spy.records, 120);
    ItemData *store = storeItem(window.get());
    QCOMPARE(store->count(), 120);
    QCOMPARE(store->getStatistic(Channel::Temperature)->count, 120);
    QCOMPARE(store->getDataList().last()->storeIndex(), 120);
    QCOMPARE(liveItem(window.get(), 0)->count(), 0);
    QCOMPARE(tableRows(window.get()), window->activeItem()->count());
    QCOMPARE(chartPoints(window.get(), Channel::Temperature).size(), window->activeItem()->count());
    QCOMPARE(statistic(window.get(), Channel::Humidity, Statistic::Count),
             QString::number(window->activeItem()->count()));
    QTRY_COMPARE(progressDialogs(window.get()), 0);
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());
    QVERIFY(modals.verify());
}

void TestStoredDownload::completionBeforeTheLastRecord_data()
{
    QTest::addColumn<bool>("lastComes");
    QTest::newRow("the last record follows") << true;
    QTest::newRow("the last record never comes") << false;
}

// The meter may report the end before the last record: the window waits for it and only then
// says that everything arrived; a record that never comes is reported as missing.
void TestStoredDownload::completionBeforeTheLastRecord()
{
    QFETCH(bool, lastComes);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setAnswerDownload(false); }, true);
    QVERIFY(connectMeter(window.get()));
    meter->setStoredRecordCount(3);
    action(window.get(), "actionItemDownload")->trigger();
    QTRY_VERIFY(shownProgress(window.get()));

    const QDateTime base(QDate(2024, 3, 5), QTime(9, 0));
    meter->emitDisplayStore(1, base, 20.0, 50.0, 10.0, 15.0);
    meter->emitStoreNum(3, 1);
    meter->emitDisplayStore(2, base.addSecs(60), 21.0, 50.0, 10.0, 15.0);
    meter->emitStoreNum(3, 3);
    QTest::qWait(200);
    QCOMPARE(modals.seen().size(), 1); // only the progress dialog
    QVERIFY(!action(window.get(), "actionItemDownload")->isEnabled());

    modals.expectMessageBox(QMessageBox::Ok);
    if (lastComes)
        meter->emitDisplayStore(3, base.addSecs(120), 22.0, 50.0, 10.0, 15.0);
    QVERIFY(modals.waitForAll());
    if (lastComes) {
        QCOMPARE(modals.last().text, QStringLiteral("All stored data have been downloaded."));
        QCOMPARE(modals.last().icon, QMessageBox::Information);
    } else {
        QCOMPARE(modals.last().text, QStringLiteral("Only 2 of 3 stored records were downloaded."));
        QCOMPARE(modals.last().icon, QMessageBox::Warning);
    }
    const int kept = lastComes ? 3 : 2;
    QCOMPARE(storeItem(window.get())->count(), kept);
    QCOMPARE(tableRows(window.get()), kept);
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Maximum),
             lastComes ? QStringLiteral("22.0") : QStringLiteral("21.0"));
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());

    // Reports with no download under way say nothing; a straggler still joins the item.
    meter->emitStoreNum(3, 3);
    if (!lastComes)
        meter->emitDisplayStore(3, base.addSecs(120), 22.0, 50.0, 10.0, 15.0);
    meter->emitStoreNum(3, 3);
    QTest::qWait(100);
    QCOMPARE(storeItem(window.get())->count(), 3);
    QTRY_COMPARE(tableRows(window.get()), 3);
    QVERIFY(modals.verify());
}

void TestStoredDownload::linkLost_data()
{
    QTest::addColumn<bool>("insideProgressUpdate");
    QTest::newRow("between two records") << false;
    QTest::newRow("within a progress update") << true;
}

// The link drops mid-download: the records so far stay, the dialog goes instead of locking
// the window, the user is told how many arrived, and the next connection downloads again.
void TestStoredDownload::linkLost()
{
    QFETCH(bool, insideProgressUpdate);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow({}, true);
    QVERIFY(connectMeter(window.get()));

    StoreSpy spy(window->dmm()->object());
    int atDrop = -1;
    auto drop = [&] {
        atDrop = storeItem(window.get())->count();
        meter->dropLink();
    };
    if (insideProgressUpdate) {
        spy.afterRecord = [&](int records) {
            if (records == 100)
                QTimer::singleShot(0, window.get(), drop);
        };
    } else {
        spy.afterProgress = [&](int, int current) {
            if (current == 100)
                drop();
        };
    }
    meter->setStoredRecordCount(120);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionItemDownload")->trigger();
    QVERIFY(modals.waitForAll(120000));
    QVERIFY(!meter->linkOpen());
    QTRY_COMPARE(progressDialogs(window.get()), 0);
    QVERIFY(atDrop >= 100);
    QCOMPARE(modals.last().text,
             QStringLiteral("The link to the meter was lost: %1 of 120 stored records were "
                            "downloaded.")
                 .arg(atDrop));
    QCOMPARE(modals.last().icon, QMessageBox::Warning);
    QTest::qWait(50);
    QCOMPARE(storeItem(window.get())->count(), atDrop);
    QCOMPARE(tableRows(window.get()), atDrop);
    QVERIFY(!action(window.get(), "actionItemDownload")->isEnabled());
    QVERIFY(action(window.get(), "actionConnect")->isEnabled());
    QVERIFY(modals.verify());

    spy.afterRecord = nullptr;
    spy.afterProgress = nullptr;
    QVERIFY(connectMeter(window.get()));
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());
    QVERIFY(download(window.get(), modals, 120));
    QCOMPARE(storeItem(window.get())->count(), 120);
    QVERIFY(modals.verify());
}

// A count that arrives once the link is gone starts nothing: no dialog waiting for records
// that cannot come.
void TestStoredDownload::countAfterTheLinkClosed()
{
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setAnswerStoreCount(false); }, true);
    QVERIFY(connectMeter(window.get()));
    action(window.get(), "actionItemDownload")->trigger();
    meter->dropLink();
    meter->emitUpdateStoreCount(12);
    QTest::qWait(20);
    QCOMPARE(progressDialogs(window.get()), 0);
    QVERIFY(!meter->calls().contains(QStringLiteral("downloadStore")));
    QVERIFY(window->activeItem() != storeItem(window.get()));
    QVERIFY(modals.verify());
}

QTEST_MAIN(TestStoredDownload)
#include "tst_storeddownload.moc"
