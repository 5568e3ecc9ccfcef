// The main window end to end at 1 000, 1 000 000 and 4 000 000 readings, on the simulated
// meter in Lib/ beside the program and the offscreen platform:
//
//   memory per reading   after recording N readings live, after downloading N records, after
//                        importing a workbook of N readings: heap in use (malloc's count) and
//                        resident size, each grown by the path, divided by N
//   download             CPU time per record, from Download to the completion message
//   live recording       CPU time per recorded reading while the item holds N readings, a
//                        reading every millisecond and the window repainting as it likes
//   activation           making an item of N readings active: the first time (nothing kept
//                        from an earlier showing) and when it was shown before
//   switching away       making another item active while "Store Data" shows N records just
//                        downloaded
//   unit change          the meter's unit switching between Celsius and Fahrenheit while an
//                        item of N readings is shown
//
// Times are CPU time of the process (getrusage: user + system, all threads; the machine may be
// shared and wall time then counts the others too), each up to the window's repaint that
// follows; the wall times are printed below them. Every figure is the median of --runs runs.
// A workbook holds at most 1 048 575 readings, so the import is measured up to that size.
//
//     scale_bench [--sizes 1000,1000000,4000000] [--runs 3]
#include "datamodel.h"
#include "dmmdata.h"
#include "dmmparam.h"
#include "idmm.h"
#include "itemdata.h"
#include "processmemory.h"
#if __has_include("itemseries.h")
#include "itemseries.h"
#endif
#include "sheetexport.h"
#include "startup.h"
#include "tvitemmodel.h"
#include "widget.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <deque>
#include <malloc.h>
#include <map>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

QTextStream out(stdout);

double processCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// CPU and wall time since start().
class Stopwatch
{
public:
    void start()
    {
        m_cpu = processCpuMs();
        m_wall.start();
    }
    double cpuMs() const { return processCpuMs() - m_cpu; }
    double wallMs() const { return m_wall.nsecsElapsed() / 1e6; }

private:
    double m_cpu = 0;
    QElapsedTimer m_wall;
};

// Heap and resident size, with what was freed before handed back to the system first.
struct Memory
{
    double heap = 0;
    double rss = 0;
    static Memory now()
    {
        malloc_trim(0);
        return {heapInUse(), residentBytes()};
    }
};

double median(std::vector<double> values)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Runs the event loop for `ms` milliseconds, idle in between events.
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets the window handle what is pending, its repaints included.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// Answers the message boxes and the import's file dialog as a user would.
class Answerer : public QObject
{
public:
    Answerer()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(5);
    }
    QString fileToOpen; // also the file an export saves to
    QString exportChoice; // the export dialog's radio button to pick: "rbTable", "rbPdf"
    QStringList messages; // every box's text, in order

    bool sawMessage(const QString &text) const { return messages.contains(text); }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            messages << box->text();
            // Ok, or Yes to replace an earlier export's file.
            box->done(box->standardButtons() & QMessageBox::Yes ? QMessageBox::Yes
                                                                : QMessageBox::Ok);
        } else if (auto *radio = modal ? modal->findChild<QRadioButton *>(exportChoice) : nullptr) {
            radio->setChecked(true);
            static_cast<QDialog *>(modal)->accept();
        } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            const QFileInfo info(fileToOpen);
            files->setDirectory(info.absolutePath());
            if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(info.fileName());
            static_cast<QDialog *>(files)->accept();
        }
    }
    QTimer m_timer;
};

// A live reading as a meter sends it: a slow drift with the last digit's jitter, each value
// with a text of its own.
DmmData *makeReading(qint64 i)
{
    static const QDateTime start(QDate(2024, 3, 5), QTime(8, 0));
    auto *reading = new DmmData;
    reading->setTime(start.addMSecs(i * 500));
    const double jitter = ((i * 7919) % 3 - 1) * 0.1;
    const double t = std::round((22.0 + 3.0 * std::sin(i / 5000.0) + jitter) * 10) / 10;
    const double h = std::round((45.0 + 10.0 * std::sin(i / 7000.0) + jitter) * 10) / 10;
    auto value = [](double v) { return DmmValue {3, v, QString::number(v, 'f', 1)}; };
    reading->setTemperature(value(t));
    reading->setHumidity(value(h));
    reading->setDewPoint(value(t - 10.0));
    reading->setWetBulb(value(t - 5.0));
    return reading;
}

void setUnit(Widget *window, int unit)
{
    DmmParam param {};
    param.unit = quint8(unit);
    window->slotUpdateParam(&param);
}

// The figures of one row: medians (or single measurements) by size.
struct Row
{
    QString name;
    QString unit;
    std::map<int, double> cpu;
    std::map<int, double> wall;
};

class Bench
{
public:
    Bench(Widget *window, int runs)
        : window(window)
        , runs(runs)
    {
    }

    void measure(int size);
    void print(const std::vector<int> &sizes) const;

private:
    QModelIndex measure1() const { return window->itemModel()->index(0, 0, liveIndex()); }
    QModelIndex liveIndex() const { return window->itemModel()->index(1, 0); }
    QModelIndex storeIndex() const { return window->itemModel()->index(0, 0); }
    ItemData *store() const { return TvItemModel::itemDataOf(storeIndex()); }
    QAction *action(const char *name) const
    {
        return window->findChild<QAction *>(QString::fromLatin1(name));
    }
    // Makes `index` active and lets the window repaint; the CPU and wall time it took.
    std::pair<double, double> activate(const QModelIndex &index);
    void forget(ItemData *item);
    // Deletes an item under "Live Data" (never Measure1), as the Delete command does.
    void removeItem(ItemData *item);
    bool reconnect(int storeCount);
    void download(int size);
    void activation(int size);
    void unitChange(int size);
    void recording(int size);
    void import(int size);
    // Exports the active item through the Export command as `choice` into `file`; the wall
    // time, the longest the window's event loop went without turning, and whether the
    // completion message came.
    struct ExportRun
    {
        double wallMs = 0;
        double longestStallMs = 0;
        bool done = false;
    };
    ExportRun exportActive(const QString &choice, const QString &file, const QString &doneText);
    void exports(int size);
    Row &row(const QString &name, const QString &unit);

    Widget *window;
    int runs;
    Answerer answers;
    QTemporaryDir files;
    std::deque<Row> rows; // references stay valid as rows are added
};

Row &Bench::row(const QString &name, const QString &unit)
{
    for (Row &r : rows) {
        if (r.name == name)
            return r;
    }
    rows.push_back(Row {name, unit, {}, {}});
    return rows.back();
}

std::pair<double, double> Bench::activate(const QModelIndex &index)
{
    Stopwatch watch;
    watch.start();
    window->itemSetToActive(index);
    settle();
    return {watch.cpuMs(), watch.wallMs()};
}

// Drops what the window keeps of an item's earlier showing, as if it had never been shown.
void Bench::forget(ItemData *item)
{
#if __has_include("itemseries.h")
    delete ItemSeries::find(item);
#else
    Q_UNUSED(item) // nothing is kept
#endif
}

bool Bench::reconnect(int storeCount)
{
    // The simulated meter reads its memory size when the link opens.
    qputenv("METER_SIM_STORE_COUNT", QByteArray::number(storeCount));
    IDmm *dmm = window->dmm();
    if (dmm->isOpen()) {
        dmm->close();
        settle();
    }
    action("actionConnect")->trigger();
    QElapsedTimer wait;
    wait.start();
    while (!(dmm->isOpen() && action("actionItemDownload")->isEnabled()) && wait.elapsed() < 5000)
        runFor(10);
    return dmm->isOpen();
}

void Bench::download(int size)
{
    std::vector<double> cpu, wall, away, awayWall, heap, rss;
    for (int run = 0; run < runs; ++run) {
        // Start from an empty "Store Data" that is not shown.
        activate(measure1());
        forget(store());
        store()->clearData();
        const Memory before = Memory::now();

        answers.messages.clear();
        Stopwatch watch;
        watch.start();
        action("actionItemDownload")->trigger();
        const QString done = QStringLiteral("All stored data have been downloaded.");
        while (!answers.sawMessage(done))
            runFor(5);
        cpu.push_back(watch.cpuMs() * 1e3 / size);
        wall.push_back(watch.wallMs() * 1e3 / size);
        settle();
        if (store()->count() != size)
            out << "  download: " << store()->count() << " of " << size << " records arrived\n";
        const Memory after = Memory::now();
        heap.push_back((after.heap - before.heap) / size);
        rss.push_back((after.rss - before.rss) / size);

        const auto [awayCpu, awayWallMs] = activate(measure1());
        away.push_back(awayCpu);
        awayWall.push_back(awayWallMs);
    }
    row(QStringLiteral("memory per reading, download: heap"), QStringLiteral("B")).cpu[size]
        = median(heap);
    row(QStringLiteral("memory per reading, download: RSS"), QStringLiteral("B")).cpu[size]
        = median(rss);
    Row &perRecord = row(QStringLiteral("download, per record"), QStringLiteral("us"));
    perRecord.cpu[size] = median(cpu);
    perRecord.wall[size] = median(wall);
    Row &switching = row(QStringLiteral("switching away after a download"), QStringLiteral("ms"));
    switching.cpu[size] = median(away);
    switching.wall[size] = median(awayWall);
}

void Bench::activation(int size)
{
    std::vector<double> first, firstWall, again, againWall;
    for (int run = 0; run < runs; ++run) {
        activate(measure1());
        forget(store());
        const auto [cpu, wall] = activate(storeIndex());
        first.push_back(cpu);
        firstWall.push_back(wall);
        activate(measure1());
        const auto [cpu2, wall2] = activate(storeIndex());
        again.push_back(cpu2);
        againWall.push_back(wall2);
    }
    Row &a = row(QStringLiteral("activating an item, first showing"), QStringLiteral("ms"));
    a.cpu[size] = median(first);
    a.wall[size] = median(firstWall);
    Row &b = row(QStringLiteral("activating an item shown before"), QStringLiteral("ms"));
    b.cpu[size] = median(again);
    b.wall[size] = median(againWall);
    Q_UNUSED(size)
}

void Bench::unitChange(int size)
{
    // "Store Data" with its N records is the active item.
    std::vector<double> cpu, wall;
    for (int run = 0; run < runs; ++run) {
        for (int unit : {1, 0}) {
            Stopwatch watch;
            watch.start();
            setUnit(window, unit);
            settle();
            cpu.push_back(watch.cpuMs());
            wall.push_back(watch.wallMs());
        }
    }
    Row &r = row(QStringLiteral("unit change"), QStringLiteral("ms"));
    r.cpu[size] = median(cpu);
    r.wall[size] = median(wall);
}

void Bench::removeItem(ItemData *item)
{
    for (int row = 0; row < window->itemModel()->rowCount(liveIndex()); ++row) {
        const QModelIndex index = window->itemModel()->index(row, 0, liveIndex());
        if (TvItemModel::itemDataOf(index) != item || row == 0)
            continue;
        if (window->activeItem() == item)
            window->itemSetToActive(measure1());
        window->itemModel()->removeRow(row, liveIndex());
        delete item;
        break;
    }
    settle();
}

void Bench::recording(int size)
{
    MeterOptions options = window->options();
    options.SampleRate = 0;
    options.Infinite = true;
    window->setOptions(options);

    // Each run: a new item takes N live readings through the window's display slot. The last
    // item stays for the live figures and the workbook of the import.
    std::vector<double> heap, rss;
    qint64 next = 0;
    for (int run = 0; run < runs; ++run) {
        if (run > 0)
            removeItem(window->activeItem()); // the previous run's
        window->newItem(QStringLiteral("Recording%1").arg(size), ItemData::Measure);
        window->on_actionStart_triggered();
        const Memory before = Memory::now();
        next = 0;
        while (next < size) {
            window->slotDmmDisplay(makeReading(next++));
            if (next % 1000 == 0)
                QCoreApplication::processEvents();
        }
        settle();
        const Memory after = Memory::now();
        heap.push_back((after.heap - before.heap) / size);
        rss.push_back((after.rss - before.rss) / size);
    }
    row(QStringLiteral("memory per reading, recording: heap"), QStringLiteral("B")).cpu[size]
        = median(heap);
    row(QStringLiteral("memory per reading, recording: RSS"), QStringLiteral("B")).cpu[size]
        = median(rss);

    // A fast meter: a reading every millisecond, the window handling its events (repaints
    // included) in between.
    constexpr int readingsPerRun = 1000;
    std::vector<double> cpu, wall;
    for (int run = 0; run < runs; ++run) {
        Stopwatch watch;
        watch.start();
        QElapsedTimer pace;
        pace.start();
        for (int i = 0; i < readingsPerRun; ++i) {
            window->slotDmmDisplay(makeReading(next++));
            const qint64 due = i + 1;
            if (pace.elapsed() < due)
                runFor(int(due - pace.elapsed()));
            else
                QCoreApplication::processEvents();
        }
        cpu.push_back(watch.cpuMs() * 1e3 / readingsPerRun);
        wall.push_back(watch.wallMs() * 1e3 / readingsPerRun);
    }
    window->on_actionStop_triggered();
    Row &r = row(QStringLiteral("live recording with repaint, per reading"), QStringLiteral("us"));
    r.cpu[size] = median(cpu);
    r.wall[size] = median(wall);
}

void Bench::import(int size)
{
    Row &heapRow = row(QStringLiteral("memory per reading, import: heap"), QStringLiteral("B"));
    Row &rssRow = row(QStringLiteral("memory per reading, import: RSS"), QStringLiteral("B"));
    ItemData *recorded = window->activeItem();
    // Past one worksheet an import is not measured: writing and reading four million rows
    // would take several minutes a run.
    if (size > SheetExport::xlsxSheetReadings) {
        heapRow.cpu[size] = rssRow.cpu[size] = std::nan("");
        removeItem(recorded);
        return;
    }
    // The workbook: the table of the recording item, cut to N rows.
    const QString file = files.filePath(QStringLiteral("readings%1.xlsx").arg(size));
    {
        DataModel model(window, nullptr);
        model.setConverter(window->myDmm());
        model.setUnit(window->unitIndex(), window->unitText());
        model.setDataList(recorded->getDataList().mid(0, size));
        if (SheetExport::exportModel(&model, file) != SheetExport::Success) {
            out << "  import: could not write " << file << "\n";
            return;
        }
    }
    // Only the imported item holds readings from here on.
    removeItem(recorded);

    std::vector<double> heap, rss;
    for (int run = 0; run < runs; ++run) {
        const Memory before = Memory::now();
        answers.messages.clear();
        answers.fileToOpen = file;
        window->on_actionImport_triggered();
        settle();
        const Memory after = Memory::now();
        ItemData *imported = window->activeItem();
        if (imported->count() != size)
            out << "  import: " << imported->count() << " of " << size << " readings\n";
        heap.push_back((after.heap - before.heap) / size);
        rss.push_back((after.rss - before.rss) / size);
        removeItem(imported);
    }
    heapRow.cpu[size] = median(heap);
    rssRow.cpu[size] = median(rss);
}

Bench::ExportRun Bench::exportActive(const QString &choice, const QString &file,
                                     const QString &doneText)
{
    QFile::remove(file);
    answers.messages.clear();
    answers.exportChoice = choice;
    answers.fileToOpen = file;
    // A timer that should tick every 10 ms: the longest gap between two ticks is the longest
    // the window could not answer the user.
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    Stopwatch watch;
    watch.start();
    sinceTick.start();
    ticks.start(10);
    // Started from the event loop, as a click would, so that the ticks see its nested loops.
    QTimer::singleShot(0, window, [this] { action("actionExport")->trigger(); });
    while (!answers.sawMessage(doneText) && watch.wallMs() < 30 * 60 * 1000.0
           && answers.messages.size() < 3)
        runFor(20);
    ExportRun run;
    run.wallMs = watch.wallMs();
    run.longestStallMs = std::max(longest, sinceTick.nsecsElapsed() / 1e6);
    run.done = answers.sawMessage(doneText);
    if (!run.done)
        out << "  export to " << file << ": " << answers.messages.join(QLatin1String(" / "))
            << Qt::endl;
    settle();
    return run;
}

// Worksheets in an .xlsx file, counted by the archive's listing (unzip); 0 without it.
int xlsxSheetCount(const QString &file)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), file});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0)
        return 0;
    return QString::fromUtf8(unzip.readAllStandardOutput())
        .split(QLatin1Char('\n'))
        .filter(QRegularExpression(QStringLiteral("^xl/worksheets/sheet\\d+\\.xml$")))
        .size();
}

void Bench::exports(int size)
{
    // "Store Data" with its N records is the active item. One run each: an export of millions
    // of rows takes long enough that its time varies little.
    const QString sheet = files.filePath(QStringLiteral("export%1.xlsx").arg(size));
    const ExportRun xlsx = exportActive(QStringLiteral("rbTable"), sheet,
                                        QStringLiteral("The datas is exported successfully."));
    Row &x = row(QStringLiteral(".xlsx export (one run): time"), QStringLiteral("ms"));
    x.wall[size] = xlsx.done ? xlsx.wallMs : std::nan("");
    row(QStringLiteral(".xlsx export: longest event-loop stall"), QStringLiteral("ms")).wall[size]
        = xlsx.longestStallMs;
    row(QStringLiteral(".xlsx export: worksheets written"), QString()).cpu[size]
        = xlsx.done ? xlsxSheetCount(sheet) : 0;
    QFile::remove(sheet);

    // The report of four million readings would take minutes; the target is at one million.
    if (size > 1000000)
        return;
    const QString report = files.filePath(QStringLiteral("report%1.pdf").arg(size));
    const ExportRun pdf = exportActive(QStringLiteral("rbPdf"), report,
                                       QStringLiteral("The data are exported successfully."));
    Row &p = row(QStringLiteral("PDF report (one run): time"), QStringLiteral("ms"));
    p.wall[size] = pdf.done ? pdf.wallMs : std::nan("");
    row(QStringLiteral("PDF report: longest event-loop stall"), QStringLiteral("ms")).wall[size]
        = pdf.longestStallMs;
    QFile::remove(report);
}

void Bench::measure(int size)
{
    out << "measuring " << size << " readings..." << Qt::endl;
    if (!reconnect(size)) {
        out << "  the simulated meter does not connect" << Qt::endl;
        return;
    }
    download(size);
    activation(size);
    // The unit is changed on the downloaded records, shown.
    activate(storeIndex());
    unitChange(size);
    exports(size);
    activate(measure1());
    forget(store());
    store()->clearData();

    recording(size);
    import(size);
}

void Bench::print(const std::vector<int> &sizes) const
{
    auto cell = [](double v) {
        if (std::isnan(v))
            return QStringLiteral("n/a");
        return QString::number(v, 'f', v >= 100 ? 0 : (v >= 10 ? 1 : 2));
    };
    const int first = sizes.front();
    auto table = [&](bool wallTimes) {
        out << qSetFieldWidth(46) << Qt::left << (wallTimes ? "wall time" : "CPU time, memory")
            << qSetFieldWidth(5) << "unit" << Qt::right;
        for (int size : sizes)
            out << qSetFieldWidth(12) << size;
        for (size_t i = 1; i < sizes.size(); ++i)
            out << qSetFieldWidth(14) << QStringLiteral("%1/%2").arg(sizes[i]).arg(first);
        out << qSetFieldWidth(0) << "\n";
        for (const Row &r : rows) {
            const std::map<int, double> &figures = wallTimes ? r.wall : r.cpu;
            if (figures.empty())
                continue;
            out << qSetFieldWidth(46) << Qt::left << r.name << qSetFieldWidth(5) << r.unit
                << Qt::right;
            for (int size : sizes) {
                const auto it = figures.find(size);
                out << qSetFieldWidth(12)
                    << (it == figures.end() ? QStringLiteral("-") : cell(it->second));
            }
            for (size_t i = 1; i < sizes.size(); ++i) {
                const auto a = figures.find(sizes[i]);
                const auto b = figures.find(first);
                const bool have = a != figures.end() && b != figures.end() && b->second > 0
                    && !std::isnan(a->second);
                out << qSetFieldWidth(14)
                    << (have ? QStringLiteral("%1x").arg(a->second / b->second, 0, 'f', 2)
                             : QStringLiteral("-"));
            }
            out << qSetFieldWidth(0) << "\n";
        }
    };
    out << "\n";
    table(false);
    out << "\n";
    table(true);
    out << "targets: memory <= 700 B a reading in every path; download <= 40 us a record at 1M;\n"
           "live recording 4M/1k <= 1.5x; activation <= 300 ms at 1M and <= 800 ms at 4M, <= 50 "
           "ms when shown before;\n"
           "switching away <= 100 ms at 1M; unit change <= 300 ms at 1M and <= 1000 ms at 4M;\n"
           "exports: no event-loop stall over 250 ms; PDF report <= 45 s at 1M; 4M readings "
           "written on continuing worksheets\n";
    out.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The simulated meter describes an adapter of its own and sends no live readings of its
    // own accord: the benchmark feeds them.
    qputenv("METER_SIM_PORT", "virtual");
    qputenv("METER_SIM_INTERVAL_MS", "3600000");
    // As the application does at start.
    readLocalTimeZoneOnce();
    QApplication app(argc, argv);

    int runs = 3;
    std::vector<int> sizes {1000, 1000000, 4000000};
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--runs")) {
            runs = std::max(1, args.at(i + 1).toInt());
        } else if (args.at(i) == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString &size : args.at(i + 1).split(QLatin1Char(',')))
                sizes.push_back(size.toInt());
        }
    }

    Widget window;
    if (!window.myDmm()) {
        out << "no device plug-in in " << QCoreApplication::applicationDirPath() << "/Lib"
            << Qt::endl;
        return 1;
    }
    window.resize(1280, 760);
    window.show();
    settle();

    out << "scale_bench: the main window on the simulated meter ("
        << QGuiApplication::platformName() << "), medians of " << runs << " runs" << Qt::endl;
    Bench bench(&window, runs);
    for (int size : sizes)
        bench.measure(size);
    bench.print(sizes);
    if (window.dmm()->isOpen())
        window.dmm()->close();
    return 0;
}
