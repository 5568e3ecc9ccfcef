#include "modalwatcher.h"
#include "timerspy.h"
#include "windowfixture.h"

#include "dmmdata.h"
#include "imydmm.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QSet>
#include <QTableView>
#include <QTest>
#include <QTreeView>

namespace {

// The seven actions that follow the state of the link, as a string of 0 and 1.
QString linkStates(const Widget *w)
{
    QString result;
    for (const char *name : {"actionConnect", "actionDisconnect", "actionStart", "actionStop",
                             "actionSyncTime", "actionItemDownload", "actionSettings"})
        result += action(w, name)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    return result;
}

// Catches the readings the meter emits, whatever thread emits them, and counts those the
// window has disposed of. Made before the window, so that it sees each reading first.
class ReadingCatcher : public QObject
{
    Q_OBJECT
public:
    explicit ReadingCatcher(QObject *meter)
    {
        // Direct, so that no meta-type of this side helps the window's queued connection.
        connect(meter, SIGNAL(display(const DmmData *)), this, SLOT(caught(const DmmData *)),
                Qt::DirectConnection);
        connect(meter, SIGNAL(displayStore(const DmmData *)), this, SLOT(caught(const DmmData *)),
                Qt::DirectConnection);
    }
    QAtomicInt caughtCount;
    int destroyed = 0; // touched on this object's thread only

public slots:
    void caught(const DmmData *data)
    {
        caughtCount.fetchAndAddOrdered(1);
        connect(data, &QObject::destroyed, this, [this] { ++destroyed; });
    }
};

} // namespace

class TestMainWindowShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void readingsAreDisposedOf_data();
    void readingsAreDisposedOf();
    void linkStateTable_data();
    void linkStateTable();
    void openRefused();
    void samplingTimer_data();
    void samplingTimer();
    void contextMenus_data();
    void contextMenus();
    void closeWritesOptionsAfterTheLinkIsClosed();
    void destructionClosesTheLink();

private:
    ScriptableMeter *meter = nullptr;
};

void TestMainWindowShell::initTestCase()
{
    meter = scriptableMeter();
    QVERIFY2(meter, "the scriptable test meter is missing from Lib/");
}

void TestMainWindowShell::init()
{
    if (meter)
        meter->reset();
}

void TestMainWindowShell::readingsAreDisposedOf_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("live reading from a worker thread") << "thread";
    QTest::newRow("live reading, not measuring") << "display";
    // Kept by "Store Data", which deletes it with the window.
    QTest::newRow("stored record while a measurement item is active") << "store";
}

// Every reading handed over with a signal belongs to the window, which keeps or deletes it;
// a reading emitted from another thread still reaches the window.
void TestMainWindowShell::readingsAreDisposedOf()
{
    QFETCH(QString, how);
    ReadingCatcher catcher(meter->object());
    auto window = makeTestWindow();
    QVERIFY(connectMeter(window.get()));

    if (how == QLatin1String("thread"))
        meter->emitDisplayFromThread(21.5, 45.0, 9.1, 14.2);
    else if (how == QLatin1String("display"))
        meter->emitDisplay(21.5, 45.0, 9.1, 14.2);
    else
        meter->emitDisplayStore(7, QDateTime(QDate(2024, 3, 5), QTime(14, 7)), 21.5, 45.0, 9.1,
                                14.2);
    QCOMPARE(catcher.caughtCount.loadAcquire(), 1);
    if (how == QLatin1String("store")) {
        QCOMPARE(storeItem(window.get())->count(), 1);
        window.reset();
    }
    QTRY_COMPARE(catcher.destroyed, 1);
}

void TestMainWindowShell::linkStateTable_data()
{
    QTest::addColumn<bool>("adapter");
    QTest::addColumn<QStringList>("steps");
    // Connect, Disconnect, Start, Stop, Sync Time, Download, Settings
    QTest::addColumn<QString>("states");

    QTest::newRow("construction, adapter found") << true << QStringList() << "1000000";
    QTest::newRow("construction, no adapter") << false << QStringList() << "0000000";
    QTest::newRow("adapter plugged in") << false << QStringList {"plug", "refresh"} << "1000000";
    QTest::newRow("adapter pulled") << true << QStringList {"unplug", "refresh"} << "0000000";
    QTest::newRow("refresh without a change") << false << QStringList {"refresh"} << "0000000";
    QTest::newRow("opened") << true << QStringList {"connect"} << "0110111";
    QTest::newRow("opened while Store Data is active")
        << true << QStringList {"activate store", "connect"} << "0100111";
    QTest::newRow("refresh while connected")
        << true << QStringList {"connect", "refresh"} << "1110111";
    QTest::newRow("adapter pulled while connected")
        << true << QStringList {"connect", "unplug", "refresh"} << "0110111";
    QTest::newRow("closed on request")
        << true << QStringList {"connect", "disconnect"} << "1000000";
    QTest::newRow("link lost") << true << QStringList {"connect", "drop"} << "1000000";
    QTest::newRow("link lost while measuring")
        << true << QStringList {"connect", "start", "drop"} << "1000000";
    QTest::newRow("closed then opened again")
        << true << QStringList {"connect", "disconnect", "connect"} << "0110111";
    // A message of the meter is neither shown nor changes anything.
    QTest::newRow("message") << true << QStringList {"connect", "message"} << "0110111";
}

void TestMainWindowShell::linkStateTable()
{
    QFETCH(bool, adapter);
    QFETCH(QStringList, steps);
    QFETCH(QString, states);

    ModalWatcher modals;
    auto window = makeTestWindow([adapter](ScriptableMeter *m) { m->setAdapterPresent(adapter); });
    for (const QString &step : steps) {
        if (step == QLatin1String("plug")) {
            meter->setAdapterPresent(true);
        } else if (step == QLatin1String("unplug")) {
            meter->setAdapterPresent(false);
        } else if (step == QLatin1String("refresh")) {
            meter->emitUsbRefreshed();
        } else if (step == QLatin1String("connect")) {
            QVERIFY(connectMeter(window.get()));
        } else if (step == QLatin1String("disconnect")) {
            action(window.get(), "actionDisconnect")->trigger();
        } else if (step == QLatin1String("drop")) {
            meter->dropLink();
        } else if (step == QLatin1String("start")) {
            action(window.get(), "actionStart")->trigger();
            QVERIFY(window->isRunning());
        } else if (step == QLatin1String("message")) {
            meter->emitMessage(QStringLiteral("low battery"));
            QTest::qWait(20);
        } else if (step == QLatin1String("activate store")) {
            window->itemSetToActive(storeRow(window.get()));
            QCOMPARE(window->activeItem()->getType(), ItemData::Store);
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
    QCOMPARE(linkStates(window.get()), states);
    QVERIFY(!window->isRunning());
    QVERIFY(modals.verify());
}

void TestMainWindowShell::openRefused()
{
    auto window = makeTestWindow([](ScriptableMeter *m) { m->setOpenRefused(true); });
    const QString before = linkStates(window.get());
    meter->clearCalls();

    ModalWatcher modals;
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionConnect")->trigger();
    QVERIFY(modals.verify());
    QCOMPARE(modals.seen().size(), 1);
    const ModalWatcher::Seen box = modals.last();
    QCOMPARE(box.text, QStringLiteral("Failed to open device."));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.title, QString());
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    QTest::qWait(50); // nothing may follow later either
    QVERIFY(modals.verify());
    QCOMPARE(linkStates(window.get()), before);
    QCOMPARE(meter->calls(), QStringList {"open"});

    // The user may try again.
    meter->setOpenRefused(false);
    QVERIFY(connectMeter(window.get()));
    QCOMPARE(linkStates(window.get()), QStringLiteral("0110111"));
    QVERIFY(modals.verify());
}

void TestMainWindowShell::samplingTimer_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("running");

    QTest::newRow("opened") << QStringList {"connect"} << true;
    // A second opened() must not leave the first timer ticking beside the new one.
    QTest::newRow("opened twice") << QStringList {"connect", "opened"} << true;
    QTest::newRow("opened three times") << QStringList {"connect", "opened", "opened"} << true;
    QTest::newRow("reconnected") << QStringList {"connect", "disconnect", "connect"} << true;
    QTest::newRow("closed") << QStringList {"connect", "disconnect"} << false;
    QTest::newRow("closed twice") << QStringList {"connect", "disconnect", "closed"} << false;
    QTest::newRow("link lost while measuring") << QStringList {"connect", "start", "drop"} << false;
}

void TestMainWindowShell::samplingTimer()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, running);

    auto window = makeTestWindow();
    setSampling(window.get(), 100); // short, so that a few periods pass quickly
    for (const QString &step : steps) {
        if (step == QLatin1String("connect"))
            QVERIFY(connectMeter(window.get()));
        else if (step == QLatin1String("opened"))
            meter->emitOpened();
        else if (step == QLatin1String("disconnect"))
            action(window.get(), "actionDisconnect")->trigger();
        else if (step == QLatin1String("closed"))
            meter->emitClosed();
        else if (step == QLatin1String("start"))
            action(window.get(), "actionStart")->trigger();
        else if (step == QLatin1String("drop"))
            meter->dropLink();
    }
    QVERIFY(!window->isSampleDue() || !running);

    TimerSpy spy(window.get());
    const int period = window->options().SampleRate;
    QTest::qWait(5 * period + period / 2);
    const QSet<int> ticking = spy.distinct();
    if (running) {
        QVERIFY(window->samplingTimerId() != 0);
        QCOMPARE(ticking, QSet<int> {window->samplingTimerId()});
        // One timer: about one tick per period, never two.
        QVERIFY2(spy.ids.size() <= 7, qPrintable(QString::number(spy.ids.size())));
        QVERIFY(window->isSampleDue());
    } else {
        QVERIFY2(ticking.isEmpty(), "a sampling timer ticks while the link is closed");
        QVERIFY(!window->isSampleDue());
    }
}

void TestMainWindowShell::contextMenus_data()
{
    QTest::addColumn<QString>("row"); // the tree's current row, or "table" for the readings
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("menu"); // empty: no menu

    QTest::newRow("measurement item")
        << "Measure1" << false
        << "actionItemSetToActive,actionItemRename,actionItemNew,actionItemDelete";
    QTest::newRow("Store Data, disconnected")
        << "Store Data" << false << "actionItemSetToActive,actionItemDownload(off)";
    QTest::newRow("Store Data, connected")
        << "Store Data" << true << "actionItemSetToActive,actionItemDownload";
    QTest::newRow("Live Data") << "Live Data" << false << "actionItemNew";
    QTest::newRow("no current row") << "" << false << "";
    QTest::newRow("reading table") << "table" << false << "";
}

void TestMainWindowShell::contextMenus()
{
    QFETCH(QString, row);
    QFETCH(bool, connected);
    QFETCH(QString, menu);

    auto window = makeTestWindow({}, true);
    if (connected)
        QVERIFY(connectMeter(window.get()));
    QTreeView *tree = itemTree(window.get());
    const bool table = row == QLatin1String("table");
    if (!table)
        tree->setCurrentIndex(treeRow(window.get(), row));

    QWidget *target = table ? child<QTableView>(window.get(), "tv")->viewport() : tree->viewport();
    ModalWatcher modals;
    if (!menu.isEmpty())
        modals.expectMenu();
    const QPoint pos(5, 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
    QCoreApplication::sendEvent(target, &event);
    QVERIFY(modals.verify());
    if (!menu.isEmpty()) {
        QCOMPARE(modals.last().className, QStringLiteral("QMenu"));
        QCOMPARE(modals.last().text, menu);
    }
}

void TestMainWindowShell::closeWritesOptionsAfterTheLinkIsClosed()
{
    const QString options = testOptionsFilePath();
    QFile::remove(options);
    auto window = makeTestWindow({}, true);
    QVERIFY(connectMeter(window.get()));

    QStringList order;
    meter->setCallHook([&order, options](const QString &call) {
        if (call == QLatin1String("close"))
            order << (QFile::exists(options) ? "close after write" : "close");
    });
    window->close();
    meter->setCallHook(nullptr);
    QCOMPARE(order.value(0), QStringLiteral("close"));
    QCOMPARE(linkStates(window.get()), QStringLiteral("1000000"));
    if (!QFile::exists(options))
        QSKIP("the window does not write options.xml yet");
}

void TestMainWindowShell::destructionClosesTheLink()
{
    auto window = makeTestWindow();
    QVERIFY(connectMeter(window.get()));
    meter->clearCalls();
    window.reset();
    QCOMPARE(meter->calls(), QStringList {"close"});
    QVERIFY(!meter->linkOpen());
}

QTEST_MAIN(TestMainWindowShell)
#include "tst_mainwindowshell.moc"
