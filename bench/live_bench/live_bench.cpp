// Time per recorded live reading while the active item holds 1 000, 100 000 and 1 000 000
// readings. Recording must cost the same whatever the item's size: the table appends a row
// and scrolls, each chart takes one point, the statistics fold one reading.
//
// Each stage fills the item directly (readings and statistics), rebuilds the views once, then
// feeds readings through the window's display slot with sampling off (SampleRate 0), as a
// fast meter would. Two figures per stage, medians over batches:
//   painted  the slot and one turn of the event loop after every reading (the window repaints
//            the table, the chart and the read-outs each time: a meter faster than the screen)
//   slot     the slot alone, one turn of the event loop per batch
//   table row the table view taking one row and scrolling per reading, painted: the cost
//            that recording avoids by gathering rows that come close together
//
// Then the cost of the measurement store: recording into a fresh item as "slot only" does
// (a turn of the event loop per batch), for long enough that the store's recorder takes its
// turns, with and without the window's store session, in alternating rounds (the store's
// writer thread works meanwhile). Per reading, medians of the rounds: the wall time of the
// window's thread and the CPU time of the whole process, with the ratio store on / off.
//
// Usage: live_bench [batches] [batch size]   (runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise; needs Lib/ with the simulated meter beside it)

#include "datamodel.h"
#include "dmmdata.h"
#include "itemdata.h"
#include "storesession.h"
#include "widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

DmmData *makeReading(int i, const QDateTime &start)
{
    auto *reading = new DmmData;
    reading->setTime(start.addMSecs(qint64(i) * 100));
    // A room's slow drift with the meter's last-digit jitter: a curve, not a band of noise
    // that would make every chart column a full-height stroke.
    const double jitter = ((i * 7919) % 3 - 1) * 0.1;
    const double t = 22.0 + 3.0 * std::sin(i / 5000.0) + jitter;
    const double h = 45.0 + 10.0 * std::sin(i / 7000.0) + jitter;
    auto value = [](double v) {
        DmmValue d;
        d.value = v;
        d.text = QString::number(v, 'f', 1);
        return d;
    };
    reading->setTemperature(value(t));
    reading->setHumidity(value(h));
    reading->setDewPoint(value(t - 10.0));
    reading->setWetBulb(value(t - 5.0));
    return reading;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// CPU time of the whole process, the store's writer thread included.
double processCpuUs()
{
    timespec ts {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

struct Cost
{
    double wallUs = 0; // per reading, the window's thread
    double cpuUs = 0; // per reading, the process
};

// Records `count` readings into a new window's first item, a turn of the event loop after
// each `batchSize`, with or without a store session in a folder of its own.
Cost recordFresh(int count, int batchSize, bool withStore)
{
    QTemporaryDir folder;
    Widget window;
    std::unique_ptr<StoreSession> session;
    if (withStore)
        session = std::make_unique<StoreSession>(&window, folder.path());
    window.show();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    MeterOptions options = window.options();
    options.SampleRate = 0;
    options.Infinite = true;
    window.setOptions(options);
    window.on_actionStart_triggered();

    const QDateTime start = QDateTime::currentDateTime();
    QElapsedTimer timer;
    const double cpu = processCpuUs();
    timer.start();
    for (int i = 0; i < count; ++i) {
        window.slotDmmDisplay(makeReading(i, start));
        if (i % batchSize == batchSize - 1)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    Cost cost;
    cost.wallUs = timer.nsecsElapsed() / 1000.0 / count;
    cost.cpuUs = (processCpuUs() - cpu) / count;
    window.on_actionStop_triggered();
    if (session)
        session->finish();
    return cost;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int batches = args.size() > 1 ? args.at(1).toInt() : 15;
    const int batchSize = args.size() > 2 ? args.at(2).toInt() : 100;

    Widget window;
    window.show();
    QCoreApplication::processEvents();
    if (!window.myDmm()) {
        std::fprintf(stderr, "live_bench: no meter plug-in in %s/Lib\n",
                     qPrintable(QCoreApplication::applicationDirPath()));
        return 1;
    }
    MeterOptions options = window.options();
    options.SampleRate = 0;
    options.Infinite = true;
    window.setOptions(options);
    window.on_actionStart_triggered();

    ItemData *item = window.activeItem();
    const QDateTime start = QDateTime::currentDateTime();
    int next = 0;
    QTextStream out(stdout);
    out << "readings in item | painted: us/reading | slot only: us/reading"
           " | table row per reading: us\n";

    double painted0 = 0, slot0 = 0, row0 = 0;
    for (const int size : {1000, 100000, 1000000}) {
        while (item->count() < size) {
            DmmData *reading = makeReading(next++, start);
            item->appendData(reading);
            window.updateItemStatistic(item, reading);
        }
        window.refreshItemViews();
        // Warm up: the first append after a rebuild detaches the lists the views share.
        for (int i = 0; i < 50; ++i)
            window.slotDmmDisplay(makeReading(next++, start));
        QCoreApplication::processEvents();

        std::vector<double> painted, slotOnly;
        QElapsedTimer timer;
        for (int b = 0; b < batches; ++b) {
            timer.start();
            for (int i = 0; i < batchSize; ++i) {
                window.slotDmmDisplay(makeReading(next++, start));
                QCoreApplication::processEvents();
            }
            painted.push_back(timer.nsecsElapsed() / 1000.0 / batchSize);

            timer.start();
            for (int i = 0; i < batchSize; ++i)
                window.slotDmmDisplay(makeReading(next++, start));
            slotOnly.push_back(timer.nsecsElapsed() / 1000.0 / batchSize);
            QCoreApplication::processEvents();
        }
        // For comparison: the table taking one row and scrolling per reading, as recording
        // would do without gathering rows (the rows are dropped again by the rebuild below).
        std::vector<double> perRow;
        {
            auto *table = window.findChild<QTableView *>(QStringLiteral("tv"));
            const QList<DmmData *> readings = item->getDataList();
            DmmData *const any = readings.constFirst();
            for (int b = 0; b < batches; ++b) {
                timer.start();
                for (int i = 0; i < batchSize; ++i) {
                    window.dataModel()->appendData(any);
                    table->scrollToBottom();
                    QCoreApplication::processEvents();
                }
                perRow.push_back(timer.nsecsElapsed() / 1000.0 / batchSize);
            }
            window.refreshItemViews();
        }
        const double p = median(painted), s = median(slotOnly), r = median(perRow);
        if (size == 1000) {
            painted0 = p;
            slot0 = s;
            row0 = r;
        }
        out << QStringLiteral("%1 | %2 (x%3) | %4 (x%5) | %6 (x%7)\n")
                   .arg(size, 16)
                   .arg(p, 0, 'f', 1)
                   .arg(p / painted0, 0, 'f', 2)
                   .arg(s, 0, 'f', 1)
                   .arg(s / slot0, 0, 'f', 2)
                   .arg(r, 0, 'f', 1)
                   .arg(r / row0, 0, 'f', 2);
        out.flush();
    }
    window.on_actionStop_triggered();

    // Long enough for several turns of the store's recorder.
    const int storeReadings = 60000;
    std::vector<double> wall[2], cpu[2];
    for (int round = 0; round < 5; ++round) {
        for (const bool withStore : {false, true}) {
            const Cost cost = recordFresh(storeReadings, batchSize, withStore);
            wall[withStore].push_back(cost.wallUs);
            cpu[withStore].push_back(cost.cpuUs);
        }
    }
    const double wallOff = median(wall[0]), wallOn = median(wall[1]);
    const double cpuOff = median(cpu[0]), cpuOn = median(cpu[1]);
    out << QStringLiteral("store (%1 readings into a new item, 5 rounds): window's "
                          "thread %2 us/reading off, %3 on (x%4); process CPU %5 us/reading "
                          "off, %6 on (x%7)\n")
               .arg(storeReadings)
               .arg(wallOff, 0, 'f', 1)
               .arg(wallOn, 0, 'f', 1)
               .arg(wallOn / wallOff, 0, 'f', 2)
               .arg(cpuOff, 0, 'f', 1)
               .arg(cpuOn, 0, 'f', 1)
               .arg(cpuOn / cpuOff, 0, 'f', 2);
    return 0;
}
