#include "modalwatcher.h"
#include "readings.h"
#include "scratchfolder.h"
#include "windowfixture.h"

#include "dmmdata.h"
#include "idmm.h"
#include "itemdata.h"
#include "itemtreerecorder.h"
#include "measurementstore.h"
#include "storesession.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <functional>
#include <memory>

namespace {

// A window with its store, as the program has them from start to end.
struct Session
{
    std::unique_ptr<Widget> window;
    std::unique_ptr<StoreSession> store;
    ModalWatcher *modals = nullptr; // the test's, which answers the boxes the steps provoke
    Widget *operator->() const { return window.get(); }
};

// Builds the window and its store session in `folder` and shows the window; returns once the
// active item shows what the store held.
Session begin(const QString &folder, ModalWatcher *modals)
{
    Session s;
    s.modals = modals;
    s.window = makeTestWindow();
    s.store = std::make_unique<StoreSession>(s.window.get(), folder);
    s.window->show();
    if (!QTest::qWaitForWindowExposed(s.window.get()))
        qWarning("the window was not exposed");
    if (!QTest::qWaitFor([&s] { return s.store->isSettled(); }))
        qWarning("the store session did not settle");
    return s;
}

// The end of the program: the store is closed while the window still exists.
void end(Session &s)
{
    if (s.store)
        s.store->finish();
    s.store.reset();
    s.window.reset();
}

QString describe(const QDateTime &time)
{
    return time.isValid() ? QString::number(time.toMSecsSinceEpoch()) : QStringLiteral("-");
}

// Every field of every reading of an item, one line each.
QStringList describe(const ItemData *item)
{
    QStringList lines;
    for (const DmmData *r : item->getDataList()) {
        QStringList fields {describe(r->time()), describe(r->storeTime())};
        for (int c = 0; c < Channel::Count; ++c)
            fields << QStringLiteral("%1 %2 %3")
                          .arg(r->value(c).code)
                          .arg(r->value(c).value)
                          .arg(r->value(c).text);
        fields << QString::number(r->isStore()) << QString::number(r->storeIndex());
        lines << fields.join(QLatin1Char('|'));
    }
    return lines;
}

// The items of the tree with their readings: "Store Data" first, then those under "Live
// Data"; the active one's name is followed by "*". Activates each item to see its readings,
// and the active one again at the end.
QStringList itemsOf(Widget *window)
{
    QStringList items;
    QList<QModelIndex> rows {storeRow(window)};
    for (int i = 0; i < window->itemModel()->rowCount(liveRow(window)); ++i)
        rows << liveItemRow(window, i);
    QModelIndex active;
    for (const QModelIndex &row : rows) {
        if (row.data(TvItemModel::ActiveRole).toBool())
            active = row;
    }
    for (const QModelIndex &row : rows) {
        window->itemSetToActive(row);
        const ItemData *item = TvItemModel::itemDataOf(row);
        items << QStringLiteral("%1%2 (%3)")
                     .arg(item->getName(), row == active ? QStringLiteral("*") : QString())
                     .arg(item->count());
        items << describe(item);
    }
    window->itemSetToActive(active);
    return items;
}

// A few readings from the meter into the active item while a measurement runs.
void measure(Session &s, int count, double from)
{
    setSampling(s.window.get(), 0);
    if (!s->dmm()->isOpen())
        QVERIFY(connectMeter(s.window.get()));
    action(s.window.get(), "actionStart")->trigger();
    for (int i = 0; i < count; ++i)
        scriptableMeter()->emitDisplay(from + i / 10.0, 45.0, 10.0 + i, 15.0);
    QTRY_COMPARE(tableRows(s.window.get()), s->activeItem()->count());
    action(s.window.get(), "actionStop")->trigger();
}

void download(Session &s, int count)
{
    if (!s->dmm()->isOpen())
        QVERIFY(connectMeter(s.window.get()));
    scriptableMeter()->setStoredRecordCount(count);
    s.modals->expectMessageBox(QMessageBox::Ok);
    action(s.window.get(), "actionItemDownload")->trigger();
    QVERIFY(s.modals->waitForAll(20000));
    QCOMPARE(storeItem(s.window.get())->count(), count);
}

void activate(Session &s, const QString &name)
{
    const QModelIndex row = treeRow(s.window.get(), name);
    QVERIFY2(row.isValid(), qPrintable(name));
    itemTree(s.window.get())->setCurrentIndex(row);
    s->on_actionItemSetToActive_triggered();
}

// The table as shown, without the units: the temperature's unit is known only once a meter
// has sent its parameters.
QList<QStringList> tableValues(const Widget *window)
{
    QList<QStringList> rows = tableCells(window);
    for (QStringList &row : rows) {
        for (int column = 2; column < row.size(); ++column)
            row[column] = row[column].section(QLatin1Char(' '), 0, 0);
    }
    return rows;
}

QString statusText(const Session &s)
{
    return s->statusBar()->currentMessage();
}

using Step = std::function<void(Session &)>;

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestStoreSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstStart();
    void itemsComeBack_data();
    void itemsComeBack();
    void faultsTold_data();
    void faultsTold();
};

void TestStoreSession::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
}

// No store yet: the window starts as it always has, and the store learns its items.
void TestStoreSession::firstStart()
{
    ModalWatcher modals;
    QTemporaryDir dir;
    Session s = begin(dir.path(), &modals);
    QCOMPARE(liveNames(s.window.get()), QStringList {"Measure1*"});
    QCOMPARE(storeItem(s.window.get())->count(), 0);
    QCOMPARE(statusText(s), QString());
    end(s);
    QVERIFY(modals.verify());

    MeasurementStore store;
    QVERIFY(store.open(dir.path()));
    QCOMPARE(store.contents().items.size(), 2);
    QCOMPARE(store.contents().items.at(0).kind, int(ItemData::Store));
    QCOMPARE(store.contents().items.at(1).name, QStringLiteral("Measure1"));
    QCOMPARE(store.contents().activeItem, store.contents().items.at(1).id);
}

void TestStoreSession::itemsComeBack_data()
{
    QTest::addColumn<QList<Step>>("sessions");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("new, rename, delete") << QList<Step> {[](Session &s) {
        measure(s, 5, 20.0);
        s->newItem(QStringLiteral("Hall A"), ItemData::Measure);
        measure(s, 7, 30.0);
        s->newItem(QStringLiteral("Hall B"), ItemData::Measure);
        measure(s, 3, 40.0);
        s.modals->expectInput(QStringLiteral("Kitchen"));
        itemTree(s.window.get())->setCurrentIndex(liveItemRow(s.window.get(), 0));
        s->on_actionItemRename_triggered();
        s.modals->expectMessageBox(QMessageBox::Yes);
        itemTree(s.window.get())->setCurrentIndex(liveItemRow(s.window.get(), 1));
        s->on_actionItemDelete_triggered();
        QCOMPARE(s.modals->pending(), 0);
    }} << QStringList {"Kitchen", "Hall B*"};
    QTest::newRow("renamed and deleted in a later session") << QList<Step> {
        [](Session &s) {
            measure(s, 4, 20.0);
            s->newItem(QStringLiteral("Hall A"), ItemData::Measure);
            measure(s, 6, 25.0);
            s->newItem(QStringLiteral("Hall B"), ItemData::Measure);
        },
        [](Session &s) {
            s.modals->expectInput(QStringLiteral("Cellar"));
            itemTree(s.window.get())->setCurrentIndex(liveItemRow(s.window.get(), 1));
            s->on_actionItemRename_triggered();
            s.modals->expectMessageBox(QMessageBox::Yes);
            itemTree(s.window.get())->setCurrentIndex(liveItemRow(s.window.get(), 0));
            s->on_actionItemDelete_triggered();
            QCOMPARE(s.modals->pending(), 0);
            activate(s, QStringLiteral("Cellar"));
            measure(s, 2, 26.0);
        }} << QStringList {"Cellar*", "Hall B"};
    QTest::newRow("Store Data cleared by a new download")
        << QList<Step> {[](Session &s) { download(s, 30); }, [](Session &s) { download(s, 12); }}
        << QStringList {"Measure1"};
    // The second download empties "Store Data" while its stored readings have not been read.
    QTest::newRow("download into Store Data not read yet") << QList<Step> {
        [](Session &s) {
            download(s, 30);
            activate(s, QStringLiteral("Measure1"));
        },
        [](Session &s) {
            QCOMPARE(s.store->recorder()->isLoaded(storeItem(s.window.get())), false);
            download(s, 12);
        }} << QStringList {"Measure1"};
    // More than one batch takes, at once, as an import brings them.
    QTest::newRow("many readings at once") << QList<Step> {[](Session &s) {
        s->newItem(QStringLiteral("Import1"), ItemData::Import);
        for (int i = 0; i < 2 * ItemTreeRecorder::batchReadings + 500; ++i)
            record(s.window.get(), s->activeItem(), seriesReading(s.window.get(), i));
        s->refreshItemViews();
    }} << QStringList {"Measure1", "Import1*"};
}

// Items, names, order, readings and the active item come back at the next start, after any
// number of sessions.
void TestStoreSession::itemsComeBack()
{
    QFETCH(QList<Step>, sessions);
    QFETCH(QStringList, names);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    QTemporaryDir dir;
    QStringList before;
    QList<QStringList> tableBefore;
    for (const Step &step : sessions) {
        Session s = begin(dir.path(), &modals);
        step(s);
        if (QTest::currentTestFailed())
            return;
        before = itemsOf(s.window.get());
        tableBefore = tableValues(s.window.get());
        end(s);
    }
    Session s = begin(dir.path(), &modals);
    QCOMPARE(liveNames(s.window.get()), names);
    QCOMPARE(tableValues(s.window.get()), tableBefore);
    QCOMPARE(statusText(s), QString());
    QCOMPARE(itemsOf(s.window.get()), before);
    end(s);
    QVERIFY(modals.verify());
}

void TestStoreSession::faultsTold_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("read-only folder") << "read-only";
    QTest::newRow("full disk") << "full";
    QTest::newRow("not a database") << "corrupt";
}

// A store that cannot be used is told once and left as it is; the window goes on with its
// items in memory. After a full disk the next session, with room again, finds what was
// written before. A damaged store is set aside and a new one started.
void TestStoreSession::faultsTold()
{
    QFETCH(QString, fault);
    const bool full = fault == QLatin1String("full");
    ScratchFolder folder(full ? ScratchFolder::Small : ScratchFolder::Writable, 160 * 1024);
    if (!folder.isReady())
        QSKIP(qPrintable(folder.reason()));
    ModalWatcher modals;
    const QString path = QDir(folder.path()).filePath(MeasurementStore::fileName());
    if (fault != QLatin1String("corrupt")) {
        Session last = begin(folder.path(), &modals);
        measure(last, 10, 20.0);
        last->newItem(QStringLiteral("Hall"), ItemData::Measure);
        end(last);
    }
    if (fault == QLatin1String("read-only")) {
        QVERIFY(folder.setReadOnly(true));
    } else if (fault == QLatin1String("corrupt")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(5000, 'x')) == 5000);
    }
    const QByteArray before = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    if (fault != QLatin1String("corrupt"))
        modals.expectMessageBox(QMessageBox::Ok);

    Session s = begin(folder.path(), &modals);
    // Readings until the disk is full; the message comes once, however many follow.
    for (int i = 0; full && i < 400 && modals.pending() > 0; ++i) {
        for (int k = 0; k < 100; ++k)
            record(s.window.get(), s->activeItem(), seriesReading(s.window.get(), 100 * i + k));
        QTest::qWait(ItemTreeRecorder::periodMs / 5);
    }
    QVERIFY(modals.waitForAll());
    if (fault == QLatin1String("corrupt")) {
        const QStringList aside = QDir(folder.path()).entryList({"measurements-damaged-*.db"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(statusText(s),
                 QStringLiteral("The measurement store could not be read. It was renamed to %1 "
                                "and a new one was started.")
                     .arg(aside.first()));
        QVERIFY(s.store->store()->isSaving());
    } else {
        QVERIFY2(modals.last().text.startsWith(QStringLiteral(
                     "Measurements are not being saved: the measurement store cannot be used.\n")),
                 qPrintable(modals.last().text));
        QCOMPARE(modals.last().icon, QMessageBox::Warning);
        QCOMPARE(statusText(s), QStringLiteral("Measurements are not being saved."));
    }
    const QStringList recorded = describe(s->activeItem());
    if (full) {
        // Stored readings are still read when their item is activated.
        activate(s, QStringLiteral("Measure1"));
        QCOMPARE(s->activeItem()->count(), 10);
    }
    // Measuring goes on in memory.
    const int held = s->activeItem()->count();
    measure(s, 5, 20.0);
    QCOMPARE(s->activeItem()->count(), held + 5);
    end(s);
    QVERIFY(modals.verify());
    if (fault == QLatin1String("read-only")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    } else if (full) {
        QVERIFY(folder.resize(4 * 1024 * 1024));
        Session again = begin(folder.path(), &modals);
        const QStringList back = describe(again->activeItem());
        QVERIFY(!back.isEmpty() && back.size() < recorded.size());
        QCOMPARE(again->activeItem()->getName(), QStringLiteral("Hall"));
        QCOMPARE(back, recorded.mid(0, back.size()));
        QCOMPARE(statusText(again),
                 QStringLiteral("The last session did not end normally: %1 readings were "
                                "recovered.")
                     .arg(back.size() + 10));
        end(again);
    }
}

QTEST_MAIN(TestStoreSession)
#include "tst_storesession.moc"
