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
    return modals.waitForAll(20000)
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
    QTest::addColumn<int>("kept"); // records of "Store Data" at the end
    QTest::newRow("Escape") << "escape" << 120;
    QTest::newRow("the window's close button") << "close" << 120;
    // In the middle of the dialog's own progress update, which runs the event loop.
    QTest::newRow("Escape within a progress update") << "escape inside" << 120;
    // The rest of the transfer is dropped, not added to the measurement item.
    QTest::newRow("then another item activated") << "close, activate" << 50;
}

// A cancelled dialog goes; the transfer goes on into "Store Data" while it stays active and
// still ends with the completion message.
void TestStoredDownload::cancel()
{
    QFETCH(QString, how);
    QFETCH(int, kept);
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
        if (how.endsWith(QLatin1String("activate")))
            window->itemSetToActive(liveItemRow(window.get(), 0));
    };
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
    QCOMPARE(storeItem(window.get())->count(), kept);
    QCOMPARE(liveItem(window.get(), 0)->count(), 0);
    QCOMPARE(tableRows(window.get()), window->activeItem()->count());
    QTRY_COMPARE(progressDialogs(window.get()), 0);
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());
    QVERIFY(modals.verify());
}

// The completion report may come before the last record: the message shows then, and the
// late record is still kept.
void TestStoredDownload::completionBeforeTheLastRecord()
{
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
    modals.expectMessageBox(QMessageBox::Ok);
    meter->emitStoreNum(3, 3);
    QVERIFY(modals.waitForAll());
    QCOMPARE(modals.last().text, QStringLiteral("All stored data have been downloaded."));
    QCOMPARE(storeItem(window.get())->count(), 2);
    QVERIFY(action(window.get(), "actionItemDownload")->isEnabled());

    meter->emitDisplayStore(3, base.addSecs(120), 22.0, 50.0, 10.0, 15.0);
    QCOMPARE(storeItem(window.get())->count(), 3);
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Maximum),
             QStringLiteral("22.0"));
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
// the window, and the next connection downloads again.
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
    action(window.get(), "actionItemDownload")->trigger();
    QTRY_VERIFY(!meter->linkOpen());
    QTRY_COMPARE(progressDialogs(window.get()), 0);
    QTest::qWait(50);
    QVERIFY(atDrop >= 100);
    QCOMPARE(storeItem(window.get())->count(), atDrop);
    QTRY_COMPARE(tableRows(window.get()), atDrop);
    QVERIFY(!action(window.get(), "actionItemDownload")->isEnabled());
    QVERIFY(action(window.get(), "actionConnect")->isEnabled());
    QVERIFY(modals.verify()); // no completion message

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
