// Times the rebuild of the main window's views (reading table, four charts, statistics grid)
// when an item of 10 000, 100 000 and 1 000 000 readings becomes active, in Celsius and in
// Fahrenheit, and measures the memory one stored and shown reading costs: "item" is the
// reading in its item alone, "heap" and "RSS" the reading with its table row and its four
// chart points, from the allocator's count and from the resident size. Values are
// converted by the simulated meter in Lib/ beside the program.
//
//     item_views_bench [--runs N] [--max N] [--screenshot file.png]
//
// With --screenshot it only shows the window with an item of 300 readings and saves it.
#include "dmmdata.h"
#include "dmmparam.h"
#include "itemdata.h"
#include "processmemory.h"
#include "widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

QTextStream out(stdout);

// CPU time of this thread: the machine may be shared, and wall-clock time then counts the
// other processes too.
double threadCpuMs()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Readings the way a meter sends them: a slow random walk around a room climate, every value
// with a text of its own, one second apart.
void fill(Widget *window, ItemData *item, int count)
{
    QRandomGenerator random(905);
    double t = 21.0;
    double h = 48.0;
    const QDateTime start(QDate(2024, 3, 5), QTime(8, 0));
    auto value = [](double v) {
        v = std::round(v * 10.0) / 10.0;
        return DmmValue {3, v, QString::number(v, 'f', 1)};
    };
    for (int i = 0; i < count; ++i) {
        t = std::clamp(t + (random.generateDouble() - 0.5) * 0.2, 10.0, 35.0);
        h = std::clamp(h + (random.generateDouble() - 0.5) * 0.4, 20.0, 90.0);
        auto *reading = new DmmData; // owned by the item
        reading->setTime(start.addSecs(i));
        reading->setTemperature(value(t));
        reading->setHumidity(value(h));
        reading->setDewPoint(value(t - (100.0 - h) / 5.0));
        reading->setWetBulb(value(t - (100.0 - h) / 12.0));
        item->appendData(reading);
        window->updateItemStatistic(item, reading);
    }
}

void setUnit(Widget *window, int unit)
{
    DmmParam param {};
    param.unit = quint8(unit);
    window->slotUpdateParam(&param);
}

int screenshot(Widget *window, const QString &fileName)
{
    setUnit(window, 0);
    window->resize(1280, 760);
    window->show();
    window->newItem(QStringLiteral("Measure2"), ItemData::Measure);
    fill(window, window->activeItem(), 300);
    window->refreshItemViews();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool saved = window->grab().save(fileName);
    out << (saved ? "saved " : "could not save ") << fileName << Qt::endl;
    return saved ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int runs = 5;
    int maximum = 1000000;
    QString shot;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs"))
            runs = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--max"))
            maximum = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--screenshot"))
            shot = args.at(i + 1);
    }

    Widget window;
    if (!window.myDmm()) {
        out << "no device plug-in in " << QCoreApplication::applicationDirPath() << "/Lib"
            << Qt::endl;
        return 1;
    }
    if (!shot.isEmpty())
        return screenshot(&window, shot);

    window.resize(1280, 760);
    window.show();
    QCoreApplication::processEvents();

    out << "refreshItemViews: medians of " << runs << " runs, window shown ("
        << QGuiApplication::platformName() << ")" << Qt::endl;
    out << qSetFieldWidth(11) << "readings"
        << "unit"
        << "wall ms"
        << "cpu ms"
        << "+paint ms"
        << "cpu ns/r"
        << "item B/r"
        << "heap B/r"
        << "RSS B/r" << qSetFieldWidth(0) << Qt::endl;

    int number = 2;
    for (int count : {10000, 100000, 1000000}) {
        if (count > maximum)
            break;
        for (int unit : {0, 1}) {
            setUnit(&window, unit);
            // Each size starts from a window that shows an empty item.
            window.newItem(QStringLiteral("Measure%1").arg(number++), ItemData::Measure);
            QCoreApplication::processEvents();
            const double heapBefore = heapInUse();
            const double rssBefore = residentBytes();
            ItemData *item = window.activeItem();
            fill(&window, item, count);
            const double itemPerReading = (heapInUse() - heapBefore) / count;

            std::vector<double> rebuild;
            std::vector<double> painted;
            std::vector<double> cpu;
            for (int run = 0; run < runs; ++run) {
                QElapsedTimer timer;
                timer.start();
                const double cpuStart = threadCpuMs();
                window.refreshItemViews();
                rebuild.push_back(timer.nsecsElapsed() / 1e6);
                cpu.push_back(threadCpuMs() - cpuStart);
                // The repaint of table, charts and grid that follows.
                QCoreApplication::processEvents();
                painted.push_back(timer.nsecsElapsed() / 1e6);
            }
            const double heapPerReading = (heapInUse() - heapBefore) / count;
            const double rssPerReading = (residentBytes() - rssBefore) / count;
            out << qSetFieldWidth(11) << count << (unit == 1 ? "F" : "C")
                << QString::number(median(rebuild), 'f', 1) << QString::number(median(cpu), 'f', 1)
                << QString::number(median(painted), 'f', 1)
                << QString::number(median(cpu) * 1e6 / count, 'f', 0)
                << QString::number(itemPerReading, 'f', 0)
                << QString::number(heapPerReading, 'f', 0) << QString::number(rssPerReading, 'f', 0)
                << qSetFieldWidth(0) << Qt::endl;

            // Free the readings before the next size: activate an empty item, then clear.
            window.newItem(QStringLiteral("Measure%1").arg(number++), ItemData::Measure);
            item->clearData();
            malloc_trim(0);
        }
    }
    return 0;
}
