// The measurement store with 1 000 000 readings over three items: 300 000 downloaded records
// in "Store Data", 500 000 live readings in Measure1 and 200 000 imported ones in Import1,
// which is the active item. Prints
//   write      how fast the writer thread takes the readings, in batches as the window hands
//              them over, and the file's size per reading
//   start-up   the main window with its store session from construction until it is shown
//              (first painted), and until the active item's readings are in its views
//   activate   making the largest item active the first time (its readings read from the
//              store, then the views rebuilt), against refreshItemViews alone on that item
// Medians of several starts, each with a new window on the same store. Values are converted
// by the simulated meter in Lib/ beside the program.
//
//     store_bench [--runs N] [--scale F] [--folder DIR]
//
// F scales the three items (1.0 by default). With --folder the store is kept in DIR, and a
// store already there is used as it is.

#include "dmmdata.h"
#include "itemdata.h"
#include "measurementstore.h"
#include "storesession.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardItem>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QTextStream out(stdout);

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

DmmValue tenths(double v)
{
    DmmValue value;
    value.value = std::round(v * 10.0) / 10.0;
    value.text = QString::number(value.value, 'f', 1);
    return value;
}

// Reading i of an item: a room's slow drift with the meter's last-digit jitter.
StoredReading readingOf(ItemData::DataType kind, int i)
{
    static const QDateTime start(QDate(2024, 3, 5), QTime(8, 0));
    StoredReading r;
    const double jitter = ((i * 7919) % 3 - 1) * 0.1;
    const double t = 22.0 + 3.0 * std::sin(i / 5000.0) + jitter;
    const double h = 45.0 + 10.0 * std::sin(i / 7000.0) + jitter;
    r.values[Channel::Temperature] = tenths(t);
    r.values[Channel::Humidity] = tenths(h);
    r.values[Channel::DewPoint] = tenths(t - 10.0);
    r.values[Channel::WetBulb] = tenths(t - 5.0);
    switch (kind) {
    case ItemData::Store:
        r.storeTime = start.addSecs(60 * qint64(i));
        r.time = r.storeTime;
        r.isStore = true;
        r.storeIndex = i + 1;
        break;
    case ItemData::Import:
        r.time = start.addSecs(qint64(i));
        r.storeIndex = i + 1;
        break;
    default:
        r.time = start.addMSecs(qint64(i) * 500 + i % 7);
        break;
    }
    return r;
}

// Fills the store as three sessions of recording would have left it.
void writeStore(const QString &folder, const int (&counts)[3])
{
    const StoredItem items[3] = {{1, ItemData::Store, QStringLiteral("Store Data"), 0},
                                 {2, ItemData::Measure, QStringLiteral("Measure1"), 0},
                                 {3, ItemData::Import, QStringLiteral("Import1"), 1}};
    MeasurementStore store;
    if (!store.open(folder)) {
        out << "store_bench: " << store.errorText() << "\n";
        return;
    }
    // The window makes its copies of the readings as they come; here they are made first, so
    // that the figure is the writer's.
    std::vector<StoreBatch> batches;
    qint64 total = 0;
    for (int k = 0; k < 3; ++k) {
        for (int first = 0; first < counts[k]; first += 20000) {
            StoreBatch batch;
            if (first == 0)
                batch.items << items[k];
            StoreBatch::Readings part;
            part.itemId = items[k].id;
            for (int i = first; i < std::min(counts[k], first + 20000); ++i)
                part.readings.append(readingOf(ItemData::DataType(items[k].kind), i));
            total += part.readings.size();
            batch.appended << part;
            batches.push_back(batch);
        }
    }
    batches.back().activeChanged = true;
    batches.back().activeItem = items[2].id;
    QElapsedTimer timer;
    timer.start();
    for (const StoreBatch &batch : batches) {
        store.waitForWriter(2);
        store.submit(batch);
    }
    store.close();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double bytes = QFileInfo(store.path()).size();
    out << QStringLiteral("write: %1 readings in %2 s, %3 readings/s; file %4 MB, "
                          "%5 B/reading\n")
               .arg(total)
               .arg(seconds, 0, 'f', 2)
               .arg(total / seconds, 0, 'f', 0)
               .arg(bytes / 1e6, 0, 'f', 1)
               .arg(bytes / double(total), 0, 'f', 1);
    out.flush();
}

// Notes the first paint of the window.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QElapsedTimer *clock)
        : clock(clock)
    {
    }
    qint64 paintedAt = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedAt < 0)
            paintedAt = clock->elapsed();
        return false;
    }

private:
    QElapsedTimer *clock;
};

QModelIndex rowNamed(Widget &window, const QString &name)
{
    const QModelIndex live = window.itemModel()->index(1, 0);
    for (int row = 0; row < window.itemModel()->rowCount(live); ++row) {
        const QModelIndex index = window.itemModel()->index(row, 0, live);
        if (index.data().toString() == name)
            return index;
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runsAt = args.indexOf(QStringLiteral("--runs"));
    const int runs = runsAt > 0 ? args.value(runsAt + 1).toInt() : 5;
    const int scaleAt = args.indexOf(QStringLiteral("--scale"));
    const double scale = scaleAt > 0 ? args.value(scaleAt + 1).toDouble() : 1.0;
    const int counts[3] = {int(300000 * scale), int(500000 * scale), int(200000 * scale)};

    QTemporaryDir temporary;
    const int folderAt = args.indexOf(QStringLiteral("--folder"));
    const QString folder = folderAt > 0 ? args.value(folderAt + 1) : temporary.path();
    if (QFileInfo::exists(QDir(folder).filePath(MeasurementStore::fileName())))
        out << "the store in " << folder << " as it is\n";
    else
        writeStore(folder, counts);

    std::vector<double> shown, settled, activated, refreshed;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer clock;
        PaintWatch paints(&clock);
        clock.start();
        {
            Widget window;
            window.installEventFilter(&paints);
            StoreSession session(&window, folder);
            window.show();
            while (paints.paintedAt < 0 || !session.isSettled())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            shown.push_back(paints.paintedAt);
            settled.push_back(clock.elapsed());
            if (!window.myDmm()) {
                out << "store_bench: no meter plug-in in Lib/\n";
                return 1;
            }

            const QModelIndex largest = rowNamed(window, QStringLiteral("Measure1"));
            QElapsedTimer timer;
            timer.start();
            window.itemSetToActive(largest);
            activated.push_back(timer.nsecsElapsed() / 1e6);
            if (window.activeItem()->count() != counts[1])
                out << "store_bench: Measure1 holds " << window.activeItem()->count() << "\n";
            QCoreApplication::processEvents();
            timer.start();
            window.refreshItemViews();
            refreshed.push_back(timer.nsecsElapsed() / 1e6);

            // The next start finds Import1 active again.
            window.itemSetToActive(rowNamed(window, QStringLiteral("Import1")));
            session.finish();
        }
        QCoreApplication::processEvents();
    }
    out << QStringLiteral("start-up (median of %1): window shown after %2 ms, the active item "
                          "(%3 readings) shown after %4 ms\n")
               .arg(runs)
               .arg(median(shown), 0, 'f', 0)
               .arg(counts[2])
               .arg(median(settled), 0, 'f', 0);
    out << QStringLiteral("activating the largest item (%1 readings) the first time: %2 ms; "
                          "refreshItemViews on it: %3 ms; reading it from the store: about "
                          "%4 ms\n")
               .arg(counts[1])
               .arg(median(activated), 0, 'f', 0)
               .arg(median(refreshed), 0, 'f', 0)
               .arg(median(activated) - median(refreshed), 0, 'f', 0);
    return 0;
}
