#include "modalwatcher.h"
#include "readings.h"
#include "windowfixture.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "idmm.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QInputDialog>
#include <QTest>
#include <QToolBar>
#include <QTreeView>

namespace {

QTreeView *tree(const Widget *w)
{
    return w->findChild<QTreeView *>(QStringLiteral("tvItems"));
}

QModelIndex liveIndex(const Widget *w)
{
    return w->itemModel()->index(1, 0);
}

QModelIndex child(const Widget *w, int row)
{
    return w->itemModel()->index(row, 0, liveIndex(w));
}

// The names under "Live Data", in order, with a "*" after the active one.
QStringList liveNames(const Widget *w)
{
    QStringList names;
    for (int row = 0; row < w->itemModel()->rowCount(liveIndex(w)); ++row) {
        const QModelIndex index = child(w, row);
        names << index.data().toString()
                + (index.data(TvItemModel::ActiveRole).toBool() ? QStringLiteral("*") : QString());
    }
    return names;
}

// Answers the next input dialog with `answer` and keeps what it proposed.
void expectName(ModalWatcher &modals, const QString &answer, QString *proposed = nullptr,
                QString *label = nullptr)
{
    modals.expectDialog(QStringLiteral("QInputDialog"), [=](QDialog *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        if (proposed)
            *proposed = input->textValue();
        if (label)
            *label = input->labelText();
        input->setTextValue(answer);
        input->accept();
    });
}

// New, answered with `answer`.
bool newByCommand(Widget *w, const QString &answer)
{
    ModalWatcher modals;
    expectName(modals, answer);
    action(w, "actionItemNew")->trigger();
    return modals.verify();
}

// Delete of child `row`, answered Yes.
bool deleteByCommand(Widget *w, int row)
{
    tree(w)->setCurrentIndex(child(w, row));
    ModalWatcher modals;
    modals.expectMessageBox(QMessageBox::Yes);
    action(w, "actionItemDelete")->trigger();
    return modals.verify();
}

QModelIndex rowNamed(const Widget *w, const QString &row)
{
    if (row == QLatin1String("store"))
        return w->itemModel()->index(0, 0);
    if (row == QLatin1String("live"))
        return liveIndex(w);
    if (row == QLatin1String("none"))
        return QModelIndex();
    return child(w, row.toInt());
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
    void init();
    void proposedName_data();
    void proposedName();
    void newItemName_data();
    void newItemName();
    void newStopsTheMeasurement();
    void deleteItem_data();
    void deleteItem();
    void deleteActiveItem();
    void rename_data();
    void rename();
    void activate_data();
    void activate();
    void itemToolBar_data();
    void itemToolBar();

private:
    ScriptableMeter *meter = nullptr;
};

void TestItemCommands::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
}

void TestItemCommands::init()
{
    meter->reset();
}

void TestItemCommands::proposedName_data()
{
    QTest::addColumn<QStringList>("steps"); // "new <name>" or "delete <row>"
    QTest::addColumn<QString>("proposal");

    QTest::newRow("Measure1 alone") << QStringList() << "Measure2";
    QTest::newRow("any name starting with Measure counts")
        << QStringList {"new Measurement"} << "Measure3";
    QTest::newRow("the prefix is case-sensitive") << QStringList {"new measure x"} << "Measure2";
    // The number comes round again, so two items may be called Measure2.
    QTest::newRow("after a delete") << QStringList {"new Measure2", "delete 0"} << "Measure2";
}

void TestItemCommands::proposedName()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, proposal);

    auto window = makeTestWindow();
    for (const QString &step : steps) {
        const QString argument = step.section(QLatin1Char(' '), 1);
        if (step.startsWith(QLatin1String("new")))
            QVERIFY(newByCommand(window.get(), argument));
        else
            QVERIFY(deleteByCommand(window.get(), argument.toInt()));
    }

    ModalWatcher modals;
    QString proposed;
    QString label;
    expectName(modals, QString(), &proposed, &label);
    action(window.get(), "actionItemNew")->trigger();
    QVERIFY(modals.verify());
    QCOMPARE(proposed, proposal);
    QCOMPARE(label, QStringLiteral("Name:"));
    QCOMPARE(modals.last().title, QString());
}

void TestItemCommands::newItemName_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("names"); // under "Live Data" afterwards

    QTest::newRow("default") << false << "Measure2" << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("trimmed") << false << "  Hall A \t" << QStringList {"Measure1", "Hall A*"};
    QTest::newRow("blank") << false << "   " << QStringList {"Measure1*"};
    QTest::newRow("cancelled") << true << "" << QStringList {"Measure1*"};
}

void TestItemCommands::newItemName()
{
    QFETCH(bool, cancel);
    QFETCH(QString, answer);
    QFETCH(QStringList, names);

    auto window = makeTestWindow();
    ItemData *before = window->activeItem();
    ModalWatcher modals;
    if (cancel)
        modals.expectInputCancel();
    else
        modals.expectInput(answer);
    action(window.get(), "actionItemNew")->trigger();
    QVERIFY(modals.verify());

    QCOMPARE(liveNames(window.get()), names);
    if (names.size() == 1) {
        QCOMPARE(window->activeItem(), before);
    } else {
        // The new item is active, current and empty; the tool bar offers the item commands.
        QCOMPARE(tree(window.get())->currentIndex(), child(window.get(), 1));
        QCOMPARE(window->activeItem()->getType(), ItemData::Measure);
        QCOMPARE(window->activeItem()->count(), 0);
        QCOMPARE(window->findChild<QToolBar *>(QStringLiteral("itemToolBar"))->actions().size(), 4);
    }
}

void TestItemCommands::newStopsTheMeasurement()
{
    auto window = makeTestWindow();
    ItemData *measure1 = window->activeItem();
    record(window.get(), measure1, makeReading(21.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");

    QVERIFY(newByCommand(window.get(), QStringLiteral("Measure2")));
    QVERIFY(!window->isRunning());
    QVERIFY(action(window.get(), "actionStart")->isEnabled());
    QVERIFY(!action(window.get(), "actionStop")->isEnabled());
    QCOMPARE(window->dataModel()->rowCount(), 0);
    QCOMPARE(measure1->count(), 1);
}

void TestItemCommands::deleteItem_data()
{
    QTest::addColumn<int>("items"); // under "Live Data" before the delete
    QTest::addColumn<QString>("current"); // the row to delete
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("names"); // afterwards

    QTest::newRow("the last item") << 1 << "0" << false << false << QStringList {"Measure1*"};
    QTest::newRow("Store Data") << 2 << "store" << false << false
                                << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("Live Data") << 2 << "live" << false << false
                               << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("no current row")
        << 2 << "none" << false << false << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("answered No") << 2 << "0" << true << false
                                 << QStringList {"Measure1", "Measure2*"};
    QTest::newRow("an item that is not active")
        << 3 << "0" << true << true << QStringList {"Measure2", "Measure3*"};
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
    ItemData *measure1 = TvItemModel::itemDataOf(child(window.get(), 0));
    record(window.get(), measure1, makeReading(30.0, 45.0, 9.1, 14.2));
    DeletionCounter deletions;
    deletions.watch(measure1->getDataList());
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");

    tree(window.get())->setCurrentIndex(rowNamed(window.get(), current));
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
    QCOMPARE(window->dataModel()->rowCount(), 3);
    QCOMPARE(window->findChild<DMMChart *>(QStringLiteral("chartTemp"))->line(0)->points.size(), 3);
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
    DeletionCounter deletions;
    deletions.watch(doomed->getDataList());
    connect(doomed, &QObject::destroyed, &deletions, [&deletions] { deletions.deleted += 100; });

    QVERIFY(deleteByCommand(window.get(), 2));
    QCOMPARE(deletions.deleted, 104);
    QVERIFY(!window->isRunning());
    const QModelIndex current = tree(window.get())->currentIndex();
    QVERIFY(current.isValid());
    QCOMPARE(current.parent(), liveIndex(window.get()));
    QCOMPARE(window->activeItem(), TvItemModel::itemDataOf(current));
    QVERIFY(current.data(TvItemModel::ActiveRole).toBool());
    QCOMPARE(window->dataModel()->rowCount(), window->activeItem()->count());
    QCOMPARE(window->findChild<DMMChart *>(QStringLiteral("chartTemp"))->line(0)->points.size(),
             window->activeItem()->count());

    // Measure1 becomes active again, with its reading, once it is the only one left.
    QVERIFY(deleteByCommand(window.get(), tree(window.get())->currentIndex().row()));
    QCOMPARE(liveNames(window.get()), QStringList {"Measure1*"});
    QCOMPARE(window->activeItem(), measure1);
    QCOMPARE(window->dataModel()->rowCount(), 1);
}

void TestItemCommands::rename_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("stops");

    QTest::newRow("the active item")
        << "1" << true << " Hall A " << QStringList {"Measure1", "Hall A*"} << true;
    QTest::newRow("an item that is not active")
        << "0" << true << "Cellar" << QStringList {"Cellar", "Measure2*"} << true;
    QTest::newRow("blank answer") << "1" << true << "  " << QStringList {"Measure1", "Measure2*"}
                                  << false;
    QTest::newRow("Store Data") << "store" << false << "" << QStringList {"Measure1", "Measure2*"}
                                << false;
    QTest::newRow("no current row")
        << "none" << false << "" << QStringList {"Measure1", "Measure2*"} << false;
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
    const QModelIndex index = rowNamed(window.get(), row);
    const QString before = index.data().toString();
    tree(window.get())->setCurrentIndex(index);

    ModalWatcher modals;
    QString proposed;
    QString label;
    if (asked)
        expectName(modals, answer, &proposed, &label);
    action(window.get(), "actionItemRename")->trigger();
    QVERIFY(modals.verify());
    if (asked) {
        QCOMPARE(proposed, before);
        QCOMPARE(label, QStringLiteral("New name:"));
    }

    QCOMPARE(liveNames(window.get()), names);
    QCOMPARE(window->itemModel()->index(0, 0).data().toString(), QStringLiteral("Store Data"));
    QCOMPARE(window->isRunning(), !stops);
    // Only the name changes.
    QCOMPARE(window->activeItem(), active);
    QCOMPARE(active->count(), 1);
    QCOMPARE(window->dataModel()->rowCount(), 1);
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
                               << "live"
                               << "Measure2" << true << false << 2;
    QTest::newRow("the active item") << "activated"
                                     << "1"
                                     << "Measure2" << true << false << 2;
    QTest::newRow("another item") << "activated"
                                  << "0"
                                  << "Measure1" << false << true << 1;
    QTest::newRow("Store Data") << "activated"
                                << "store"
                                << "Store Data" << false << false << 3;
    QTest::newRow("command, Store Data") << "command"
                                         << "store"
                                         << "Store Data" << false << false << 3;
    QTest::newRow("command, no current row") << "command"
                                             << "none"
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
    ItemData *store = TvItemModel::itemDataOf(window->itemModel()->index(0, 0));
    for (int i = 1; i <= 3; ++i)
        record(window.get(), store,
               makeStoredRecord(i, QDateTime(QDate(2024, 3, 5), QTime(14, i)), 20.0 + i));
    record(window.get(), window->activeItem(), makeReading(21.5, 45.0, 9.1, 14.2));
    QVERIFY(newByCommand(window.get(), QStringLiteral("Measure2")));
    for (int i = 0; i < 2; ++i)
        record(window.get(), window->activeItem(), makeReading(22.5, 45.0, 9.1, 14.2));
    window->refreshItemViews();
    QVERIFY2(startMeasurement(window.get()), "Start does not start a measurement");

    const QModelIndex index = rowNamed(window.get(), row);
    if (how == QLatin1String("activated")) {
        emit tree(window.get())->activated(index);
    } else {
        tree(window.get())->setCurrentIndex(index);
        action(window.get(), "actionItemSetToActive")->trigger();
    }

    QCOMPARE(window->activeItem()->getName(), active);
    QCOMPARE(window->isRunning(), running);
    QCOMPARE(action(window.get(), "actionStart")->isEnabled(), start);
    QCOMPARE(window->dataModel()->rowCount(), rows);
    // Exactly one row is marked active: the active item's.
    int marked = 0;
    for (const QModelIndex &i : {window->itemModel()->index(0, 0), liveIndex(window.get()),
                                 child(window.get(), 0), child(window.get(), 1)}) {
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
    QTest::addColumn<QStringList>("actions");

    QTest::newRow("item") << "0"
                          << QStringList {"actionItemSetToActive", "actionItemRename",
                                          "actionItemNew", "actionItemDelete"};
    QTest::newRow("Store Data") << "store"
                                << QStringList {"actionItemSetToActive", "actionItemDownload"};
    QTest::newRow("Live Data") << "live" << QStringList {"actionItemNew"};
    // No current row: the bar keeps what it had.
    QTest::newRow("none") << "none" << QStringList {"actionItemNew"};
}

// Selecting a row changes the tool bar, never the active item.
void TestItemCommands::itemToolBar()
{
    QFETCH(QString, row);
    QFETCH(QStringList, actions);

    auto window = makeTestWindow();
    ItemData *active = window->activeItem();
    tree(window.get())->setCurrentIndex(liveIndex(window.get()));
    tree(window.get())->setCurrentIndex(rowNamed(window.get(), row));

    QStringList names;
    for (const QAction *a : window->findChild<QToolBar *>(QStringLiteral("itemToolBar"))->actions())
        names << a->objectName();
    QCOMPARE(names, actions);
    QCOMPARE(window->activeItem(), active);
}

QTEST_MAIN(TestItemCommands)
#include "tst_itemcommands.moc"
