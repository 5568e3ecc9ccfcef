#include "deletioncounter.h"
#include "modalwatcher.h"
#include "readings.h"
#include "windowfixture.h"

#include "idmm.h"
#include "itemdata.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

namespace {

// New, answered with `answer`.
bool newByCommand(Widget *w, const QString &answer)
{
    ModalWatcher modals;
    modals.expectInput(answer);
    action(w, "actionItemNew")->trigger();
    return modals.verify();
}

// Delete of the row-th item under "Live Data", answered Yes.
bool deleteByCommand(Widget *w, int row)
{
    itemTree(w)->setCurrentIndex(liveItemRow(w, row));
    ModalWatcher modals;
    modals.expectMessageBox(QMessageBox::Yes);
    action(w, "actionItemDelete")->trigger();
    return modals.verify();
}

bool startMeasurement(Widget *w)
{
    if (!w->dmm()->isOpen() && !connectMeter(w))
        return false;
    action(w, "actionStart")->trigger();
    return w->isRunning();
}

} // namespace

class TestItemCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void newItem_data();
    void newItem();
    void deleteItem_data();
    void deleteItem();
    void deleteActiveItem();
    void rename_data();
    void rename();
    void activate_data();
    void activate();
    void itemToolBar_data();
    void itemToolBar();
};

void TestItemCommands::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
}

void TestItemCommands::newItem_data()
{
    QTest::addColumn<QStringList>("steps"); // "new <name>" or "delete <row>", before New
    QTest::addColumn<QString>("proposal");
    QTest::addColumn<QString>("answer"); // null: cancelled
    QTest::addColumn<QStringList>("names"); // under "Live Data" afterwards

    QTest::newRow("default") << QStringList() << "Measure2"
                             << "Measure2" << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("trimmed") << QStringList() << "Measure2"
                             << "  Hall A \t" << QStringList {"Measure1", "Hall A*"};
    QTest::newRow("blank") << QStringList() << "Measure2"
                           << "   " << QStringList {"Measure1*"};
    QTest::newRow("cancelled") << QStringList() << "Measure2" << QString()
                               << QStringList {"Measure1*"};
    QTest::newRow("any name starting with Measure counts")
        << QStringList {"new Measurement"} << "Measure3"
        << "Measure3" << QStringList {"Measure1", "Measurement", "Measure3*"};
    QTest::newRow("the prefix is case-sensitive")
        << QStringList {"new measure x"} << "Measure2" << QString()
        << QStringList {"Measure1", "measure x*"};
    // The number comes round again, so two items may be called Measure2.
    QTest::newRow("after a delete") << QStringList {"new Measure2", "delete 0"} << "Measure2"
                                    << "Measure2" << QStringList {"Measure2", "Measure2*"};
}

// New proposes the next free number and makes the new item active, current and empty, which
// stops a running measurement; a blank or cancelled answer changes nothing.
void TestItemCommands::newItem()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, proposal);
    QFETCH(QString, answer);
    QFETCH(QStringList, names);

    auto window = makeTestWindow();
    for (const QString &step : steps) {
        const QString argument = step.section(QLatin1Char(' '), 1);
        if (step.startsWith(QLatin1String("new")))
            QVERIFY(newByCommand(window.get(), argument));
        else
            QVERIFY(deleteByCommand(window.get(), argument.toInt()));
    }
    ItemData *before = window->activeItem();
    record(window.get(), before, makeReading(21.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");
    const int items = liveNames(window.get()).size();

    ModalWatcher modals;
    if (answer.isNull())
        modals.expectInputCancel();
    else
        modals.expectInput(answer);
    action(window.get(), "actionItemNew")->trigger();
    QVERIFY(modals.verify());
    QCOMPARE(modals.last().value, proposal);
    QCOMPARE(modals.last().text, QStringLiteral("Name:"));
    QCOMPARE(modals.last().title, QString());

    QCOMPARE(liveNames(window.get()), names);
    const bool created = names.size() > items;
    QCOMPARE(window->isRunning(), !created);
    QCOMPARE(before->count(), 1);
    if (created) {
        QCOMPARE(itemTree(window.get())->currentIndex(), liveItemRow(window.get(), items));
        QCOMPARE(window->activeItem()->getType(), ItemData::Measure);
        QCOMPARE(window->activeItem()->count(), 0);
        QCOMPARE(tableRows(window.get()), 0);
        QVERIFY(action(window.get(), "actionStart")->isEnabled());
        QVERIFY(!action(window.get(), "actionStop")->isEnabled());
        // The tool bar offers the commands of the new current row.
        QCOMPARE(actionNames(child<QToolBar>(window.get(), "itemToolBar")),
                 QStringLiteral("actionItemSetToActive actionItemRename actionItemNew "
                                "actionItemDelete"));
    } else {
        QCOMPARE(window->activeItem(), before);
        QCOMPARE(tableRows(window.get()), 1);
    }
}

void TestItemCommands::deleteItem_data()
{
    QTest::addColumn<int>("items"); // under "Live Data" before the delete
    QTest::addColumn<QString>("current"); // the row to delete
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("names"); // afterwards

    QTest::newRow("the last item")
        << 1 << "Measure1" << false << false << QStringList {"Measure1*"};
    QTest::newRow("Store Data") << 2 << "Store Data" << false << false
                                << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("Live Data") << 2 << "Live Data" << false << false
                               << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("no current row")
        << 2 << "" << false << false << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("answered No") << 2 << "Measure1" << true << false
                                 << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("an item that is not active")
        << 3 << "Measure1" << true << true << QStringList {"Measure2", "Measure3*"};
}

// Whatever is not the active item goes without touching the views or a running measurement.
void TestItemCommands::deleteItem()
{
    QFETCH(int, items);
    QFETCH(QString, current);
    QFETCH(bool, asked);
    QFETCH(bool, yes);
    QFETCH(QStringList, names);

    auto window = makeTestWindow();
    for (int i = 2; i <= items; ++i)
        QVERIFY(newByCommand(window.get(), QStringLiteral("Measure%1").arg(i)));
    ItemData *active = window->activeItem();
    for (int i = 0; i < 3; ++i)
        record(window.get(), active, makeReading(21.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    ItemData *measure1 = liveItem(window.get(), 0);
    record(window.get(), measure1, makeReading(30.0, 45.0, 9.1, 14.2));
    DeletionCounter deletions;
    deletions.watch(measure1->getDataList());
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");

    itemTree(window.get())->setCurrentIndex(treeRow(window.get(), current));
    ModalWatcher modals;
    if (asked)
        modals.expectMessageBox(yes ? QMessageBox::Yes : QMessageBox::No);
    action(window.get(), "actionItemDelete")->trigger();
    QVERIFY(modals.verify());
    if (asked) {
        const ModalWatcher::Seen box = modals.last();
        QCOMPARE(box.text, QStringLiteral("Are you sure delete this item?"));
        QCOMPARE(box.title, QString());
        QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.defaultButton, QMessageBox::No);
    }

    QCOMPARE(liveNames(window.get()), names);
    QCOMPARE(deletions.deleted, asked && yes ? 1 : 0);
    QCOMPARE(window->activeItem(), active);
    QVERIFY(window->isRunning());
    QCOMPARE(tableRows(window.get()), 3);
    QCOMPARE(chartPoints(window.get(), Channel::Temperature).size(), 3);
}

// The active item's readings go with it; the row the tree moves to takes over the views.
void TestItemCommands::deleteActiveItem()
{
    auto window = makeTestWindow();
    ItemData *measure1 = window->activeItem();
    record(window.get(), measure1, makeReading(30.0, 45.0, 9.1, 14.2));
    QVERIFY(newByCommand(window.get(), QStringLiteral("Measure2")));
    QVERIFY(newByCommand(window.get(), QStringLiteral("Measure3")));
    ItemData *doomed = window->activeItem();
    for (int i = 0; i < 4; ++i)
        record(window.get(), doomed, makeReading(21.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");
    DeletionCounter deletions; // the item and its four readings
    deletions.watch(doomed->getDataList());
    deletions.watch(doomed);

    QVERIFY(deleteByCommand(window.get(), 2));
    QCOMPARE(deletions.deleted, 5);
    QVERIFY(!window->isRunning());
    const QModelIndex current = itemTree(window.get())->currentIndex();
    QVERIFY(current.isValid());
    QCOMPARE(current.parent(), liveRow(window.get()));
    QCOMPARE(window->activeItem(), TvItemModel::itemDataOf(current));
    QVERIFY(current.data(TvItemModel::ActiveRole).toBool());
    QCOMPARE(tableRows(window.get()), window->activeItem()->count());
    QCOMPARE(chartPoints(window.get(), Channel::Temperature).size(), window->activeItem()->count());

    // Measure1 becomes active again, with its reading, once it is the only one left.
    QVERIFY(deleteByCommand(window.get(), itemTree(window.get())->currentIndex().row()));
    QCOMPARE(liveNames(window.get()), QStringList {"Measure1*"});
    QCOMPARE(window->activeItem(), measure1);
    QCOMPARE(tableRows(window.get()), 1);
}

void TestItemCommands::rename_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("stops");

    QTest::newRow("the active item")
        << "Measure2" << true << " Hall A " << QStringList {"Measure1", "Hall A*"} << true;
    QTest::newRow("an item that is not active")
        << "Measure1" << true << "Cellar" << QStringList {"Cellar", "Measure2*"} << true;
    QTest::newRow("blank answer") << "Measure2" << true << "  "
                                  << QStringList {"Measure1", "Measure2*"} << false;
    QTest::newRow("Store Data") << "Store Data" << false << ""
                                << QStringList {"Measure1", "Measure2*"} << false;
    QTest::newRow("no current row")
        << "" << false << "" << QStringList {"Measure1", "Measure2*"} << false;
}

void TestItemCommands::rename()
{
    QFETCH(QString, row);
    QFETCH(bool, asked);
    QFETCH(QString, answer);
    QFETCH(QStringList, names);
    QFETCH(bool, stops);

    auto window = makeTestWindow();
    QVERIFY(newByCommand(window.get(), QStringLiteral("Measure2")));
    ItemData *active = window->activeItem();
    record(window.get(), active, makeReading(21.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");
    const QModelIndex index = treeRow(window.get(), row);
    itemTree(window.get())->setCurrentIndex(index);

    ModalWatcher modals;
    if (asked)
        modals.expectInput(answer);
    action(window.get(), "actionItemRename")->trigger();
    QVERIFY(modals.verify());
    if (asked) {
        QCOMPARE(modals.last().value, row);
        QCOMPARE(modals.last().text, QStringLiteral("New name:"));
    }

    QCOMPARE(liveNames(window.get()), names);
    QCOMPARE(storeRow(window.get()).data().toString(), QStringLiteral("Store Data"));
    QCOMPARE(window->isRunning(), !stops);
    // Only the name changes.
    QCOMPARE(window->activeItem(), active);
    QCOMPARE(active->count(), 1);
    QCOMPARE(tableRows(window.get()), 1);
}

void TestItemCommands::activate_data()
{
    QTest::addColumn<QString>("how"); // "activated" (tree signal) or "command"
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("active"); // name of the active item afterwards
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("start");
    QTest::addColumn<int>("rows"); // in the reading table

    QTest::newRow("Live Data") << "activated"
                               << "Live Data"
                               << "Measure2" << true << false << 2;
    QTest::newRow("the active item") << "activated"
                                     << "Measure2"
                                     << "Measure2" << true << false << 2;
    QTest::newRow("another item") << "activated"
                                  << "Measure1"
                                  << "Measure1" << false << true << 1;
    QTest::newRow("Store Data") << "activated"
                                << "Store Data"
                                << "Store Data" << false << false << 3;
    QTest::newRow("command, Store Data") << "command"
                                         << "Store Data"
                                         << "Store Data" << false << false << 3;
    QTest::newRow("command, no current row") << "command"
                                             << ""
                                             << "Measure2" << true << false << 2;
}

void TestItemCommands::activate()
{
    QFETCH(QString, how);
    QFETCH(QString, row);
    QFETCH(QString, active);
    QFETCH(bool, running);
    QFETCH(bool, start);
    QFETCH(int, rows);

    auto window = makeTestWindow();
    ItemData *store = storeItem(window.get());
    for (int i = 1; i <= 3; ++i)
        record(window.get(), store,
               makeStoredRecord(i, QDateTime(QDate(2024, 3, 5), QTime(14, i)), 20.0 + i));
    record(window.get(), window->activeItem(), makeReading(21.5, 45.0, 9.1, 14.2));
    QVERIFY(newByCommand(window.get(), QStringLiteral("Measure2")));
    for (int i = 0; i < 2; ++i)
        record(window.get(), window->activeItem(), makeReading(22.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");

    const QModelIndex index = treeRow(window.get(), row);
    if (how == QLatin1String("activated")) {
        emit itemTree(window.get())->activated(index);
    } else {
        itemTree(window.get())->setCurrentIndex(index);
        action(window.get(), "actionItemSetToActive")->trigger();
    }

    QCOMPARE(window->activeItem()->getName(), active);
    QCOMPARE(window->isRunning(), running);
    QCOMPARE(action(window.get(), "actionStart")->isEnabled(), start);
    QCOMPARE(tableRows(window.get()), rows);
    // Exactly one row is marked active: the active item's.
    int marked = 0;
    for (const QModelIndex &i : {storeRow(window.get()), liveRow(window.get()),
                                 liveItemRow(window.get(), 0), liveItemRow(window.get(), 1)}) {
        if (i.data(TvItemModel::ActiveRole).toBool()) {
            ++marked;
            QCOMPARE(TvItemModel::itemDataOf(i), window->activeItem());
        }
    }
    QCOMPARE(marked, 1);
}

void TestItemCommands::itemToolBar_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("actions");

    QTest::newRow("item") << "Measure1"
                          << "actionItemSetToActive actionItemRename actionItemNew "
                             "actionItemDelete";
    QTest::newRow("Store Data") << "Store Data"
                                << "actionItemSetToActive actionItemDownload";
    QTest::newRow("Live Data") << "Live Data"
                               << "actionItemNew";
    // No current row: the bar keeps what it had.
    QTest::newRow("none") << ""
                          << "actionItemNew";
}

// Selecting a row changes the tool bar, never the active item.
void TestItemCommands::itemToolBar()
{
    QFETCH(QString, row);
    QFETCH(QString, actions);

    auto window = makeTestWindow();
    ItemData *active = window->activeItem();
    itemTree(window.get())->setCurrentIndex(liveRow(window.get()));
    itemTree(window.get())->setCurrentIndex(treeRow(window.get(), row));

    QCOMPARE(actionNames(child<QToolBar>(window.get(), "itemToolBar")), actions);
    QCOMPARE(window->activeItem(), active);
}

QTEST_MAIN(TestItemCommands)
#include "tst_itemcommands.moc"
