// End to end on the simulated meter in this executable's Lib/: connect, record, stop,
// download, disconnect; a lost link; a fast meter feeding a long item. Run once with the
// meter's signals on the GUI thread and once from its worker thread (METER_SIM_THREAD).
//
// With METER_SCREENSHOT_DIR set, pictures of the running measurement and of the download's
// progress dialog are saved there.
#include "modalwatcher.h"
#include "readings.h"
#include "windowprobe.h"

#include "dmmdata.h"
#include "idmm.h"
#include "imydmm.h"
#include "itemdata.h"

#include <QAction>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <memory>

namespace {

// The statistics grid against the readings themselves, in the base unit (the simulated meter
// starts in Celsius).
QStringList statisticFaults(const Widget *window, const QList<DmmData *> &readings)
{
    QStringList faults;
    for (int channel = 0; channel < Channel::Count; ++channel) {
        double low = 0, high = 0, total = 0;
        for (int i = 0; i < readings.size(); ++i) {
            const double v = readings.at(i)->value(channel).value;
            low = i == 0 ? v : std::min(low, v);
            high = i == 0 ? v : std::max(high, v);
            total += v;
        }
        const QStringList expected
            = {QString::number(readings.size()), QString::number(low, 'f', 1),
               QString::number(high, 'f', 1), QString::number(total / readings.size(), 'f', 1)};
        const QStringList shown = statisticRow(window, channel);
        if (shown != expected)
            faults << QStringLiteral("channel %1: %2, expected %3")
                          .arg(channel)
                          .arg(shown.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));
    }
    return faults;
}

} // namespace

class TestLiveSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void recordDownloadDisconnect();
    void linkLostWhileRecording();
    void fastMeterOnALongItem();

private:
    std::unique_ptr<Widget> window;
};

void TestLiveSimulator::initTestCase()
{
    qputenv("METER_SIM_PORT", "virtual");
    qputenv("METER_SIM_INTERVAL_MS", "5");
    qputenv("METER_SIM_STORE_COUNT", "120");
}

void TestLiveSimulator::init()
{
    window = std::make_unique<Widget>();
    window->resize(1000, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY2(window->dmm() && window->myDmm(), "the simulated meter is missing from Lib/");
    setSampling(window.get(), 0); // after the first show, which reads options.xml
}

void TestLiveSimulator::cleanup()
{
    window.reset();
    qunsetenv("METER_SIM_DROP_AFTER");
    qputenv("METER_SIM_INTERVAL_MS", "5");
}

void TestLiveSimulator::recordDownloadDisconnect()
{
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    QVERIFY(connectMeter(window.get()));

    action(window.get(), "actionStart")->trigger();
    ItemData *item = window->activeItem();
    QTRY_VERIFY_WITH_TIMEOUT(item->count() >= 60, 20000);
    QTRY_COMPARE(window->unitText(), QStringLiteral("℃"));
    saveShot(window.get(), QStringLiteral("live-running"));
    action(window.get(), "actionStop")->trigger();
    const int recorded = item->count();
    QTest::qWait(60);
    QCOMPARE(item->count(), recorded);

    const QList<DmmData *> readings = item->getDataList();
    for (int i = 1; i < readings.size(); ++i)
        QVERIFY(readings.at(i - 1)->time() <= readings.at(i)->time());
    QStringList faults = statisticFaults(window.get(), readings);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    QCOMPARE(tableRows(window.get()), recorded); // complete once stopped
    QCOMPARE(chartPoints(window.get(), Channel::DewPoint).size(), recorded);

    // Download; the pictures are taken once the dialog shows some progress.
    if (shotsWanted()) {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll] {
            for (QProgressDialog *dialog : window->findChildren<QProgressDialog *>()) {
                if (dialog->isVisible() && dialog->value() > 0) {
                    saveShot(dialog, QStringLiteral("download-progress"));
                    saveShot(window.get(), QStringLiteral("download-window"));
                    poll->deleteLater();
                    return;
                }
            }
        });
        poll->start(1);
    }
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionItemDownload")->trigger();
    QVERIFY(modals.waitForAll(20000));
    QCOMPARE(modals.last().text, QStringLiteral("All stored data have been downloaded."));

    ItemData *store = storeItem(window.get());
    QCOMPARE(window->activeItem(), store);
    const QList<DmmData *> records = store->getDataList();
    QCOMPARE(records.size(), 120);
    for (int i = 0; i < records.size(); ++i) {
        QVERIFY(records.at(i)->isStore());
        QCOMPARE(records.at(i)->storeIndex(), i + 1);
        if (i > 0)
            QVERIFY(records.at(i - 1)->storeTime() < records.at(i)->storeTime());
    }
    faults = statisticFaults(window.get(), records);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    QTRY_COMPARE(tableRows(window.get()), 120);
    QCOMPARE(chartPoints(window.get(), Channel::Temperature).size(), 120);
    // The measurement item still holds its readings.
    QCOMPARE(item->count(), recorded);

    action(window.get(), "actionDisconnect")->trigger();
    QTRY_VERIFY(action(window.get(), "actionConnect")->isEnabled());
    QVERIFY(!action(window.get(), "actionItemDownload")->isEnabled());
    QVERIFY(!window->dmm()->isOpen());
    QVERIFY(modals.verify());
}

// The meter drops the link after 40 readings while a measurement runs.
void TestLiveSimulator::linkLostWhileRecording()
{
    ModalWatcher modals;
    qputenv("METER_SIM_DROP_AFTER", "40");
    QVERIFY(connectMeter(window.get()));
    action(window.get(), "actionStart")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!window->dmm()->isOpen(), 20000);
    QTRY_VERIFY(action(window.get(), "actionConnect")->isEnabled());
    QVERIFY(!window->isRunning());
    QVERIFY(!action(window.get(), "actionStart")->isEnabled());
    QVERIFY(!action(window.get(), "actionStop")->isEnabled());
    ItemData *item = window->activeItem();
    const int kept = item->count();
    QVERIFY2(kept >= 35 && kept <= 40, qPrintable(QString::number(kept)));
    QTRY_COMPARE(tableRows(window.get()), kept);

    qunsetenv("METER_SIM_DROP_AFTER");
    QVERIFY(connectMeter(window.get()));
    action(window.get(), "actionStart")->trigger();
    QTRY_VERIFY(item->count() >= kept + 10);
    action(window.get(), "actionStop")->trigger();
    const QStringList faults = statisticFaults(window.get(), item->getDataList());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    QVERIFY(modals.verify());
}

// A meter sending every millisecond into an item that already holds 100 000 readings: the
// window keeps turning its event loop, and the recording keeps pace.
void TestLiveSimulator::fastMeterOnALongItem()
{
    ItemData *item = window->activeItem();
    const QDateTime start = QDateTime::currentDateTime().addDays(-1);
    for (int i = 0; i < 100000; ++i) {
        // A slow drift: what a room does, and what the charts draw as a curve.
        const double v = 22.0 + 2.0 * std::sin(i / 4000.0);
        record(window.get(), item, makeReading(v, v, v, v, start.addMSecs(i)));
    }
    window->refreshItemViews();

    // The gaps between two turns of the loop are counted in the processor time of this (the
    // window's) thread: the work the window does in one go, not the time the machine gives to
    // other processes meanwhile. The yardstick is what drawing the whole window once costs on
    // this machine in this build (several times more under the sanitizers).
    const auto workMs = [] {
        timespec t {};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
    };
    const qint64 beforeDrawing = workMs();
    window->grab();
    const qint64 drawing = workMs() - beforeDrawing;

    qputenv("METER_SIM_INTERVAL_MS", "1");
    QVERIFY(connectMeter(window.get()));
    action(window.get(), "actionStart")->trigger();
    QElapsedTimer clock;
    qint64 last = workMs(), longestGap = 0, lastWall = 0, longestWallGap = 0;
    QTimer heartbeat;
    connect(&heartbeat, &QTimer::timeout, this, [&] {
        const qint64 now = workMs();
        longestGap = std::max(longestGap, now - last);
        last = now;
        longestWallGap = std::max(longestWallGap, clock.elapsed() - lastWall);
        lastWall = clock.elapsed();
    });
    clock.start();
    heartbeat.start(10);
    // At least a second and a half, and until the recording has moved on: on the GUI thread
    // the simulated meter takes one reading per turn of the event loop, so the count also
    // tells that the window gets to turn it.
    QTRY_VERIFY_WITH_TIMEOUT(clock.elapsed() >= 1500 && item->count() - 100000 >= 20, 60000);
    heartbeat.stop();
    action(window.get(), "actionStop")->trigger();

    const int recorded = item->count() - 100000;
    qInfo("fast meter: %d readings recorded in %lld ms, longest event-loop gap %lld ms of work "
          "(%lld ms on the clock), drawing the window %lld ms",
          recorded, clock.elapsed(), longestGap, longestWallGap, drawing);
    QVERIFY2(longestGap < 500 + 2 * drawing, qPrintable(QString::number(longestGap)));
    QTRY_COMPARE(tableRows(window.get()), item->count());
    QCOMPARE(chartPoints(window.get(), Channel::Humidity).size(), item->count());
    QCOMPARE(statistic(window.get(), Channel::Temperature, Statistic::Count),
             QString::number(item->count()));
}

QTEST_MAIN(TestLiveSimulator)
#include "tst_livesimulator.moc"
