// Prints how long the workbook exchange takes and how large the files get (medians of
// several runs): .xls at its row limit (a file that needs DIFAT sectors), .xlsx at 100,000
// readings, and the compound-file writer alone on an 8 MB stream. Then what the import
// costs where it used to hurt: an .xls whose times are date cells against the same rows
// with time texts, and .xlsx imports of 100,000 and 1,048,575 readings, each in a process
// of its own so that its peak memory can be told.
#include "cfbwriter.h"
#include "readingtable.h"
#include "sheetexport.h"
#include "sheetimport.h"
#include "sheetlayout.h"
#include "xlswriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include <algorithm>
#include <functional>

namespace {

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(values.size() / 2);
}

double medianMs(int runs, const std::function<void()> &work)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    return median(times);
}

// A field of /proc/self/status in kB (VmRSS now, VmHWM the peak so far).
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Processor time of this process so far, user and system.
double cpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
        + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Child mode: one import, then "readings ms cpuMs startKb peakKb" on stdout.
int importOnce(const QString &file)
{
    const qint64 startKb = statusKb("VmRSS");
    const double cpuStart = cpuMs();
    QElapsedTimer timer;
    timer.start();
    const SheetImport::Result result = SheetImport::importFile(file);
    const double ms = timer.nsecsElapsed() / 1e6;
    QTextStream(stdout) << result.readings.size() << ' ' << ms << ' ' << cpuMs() - cpuStart << ' '
                        << startKb << ' ' << statusKb("VmHWM") << '\n';
    return result.error == WorkbookReader::NoError ? 0 : 1;
}

struct ChildFigures
{
    bool ok = false;
    int readings = 0;
    double ms = 0.0;
    double cpuMs = 0.0; // the import's processor time: on a busy machine it tells more
    double peakMb = 0.0; // above the process's size before the import
};

ChildFigures importInChild(const QString &file, int runs)
{
    ChildFigures figures;
    QVector<double> times;
    QVector<double> cpuTimes;
    QVector<double> peaks;
    figures.ok = true;
    for (int i = 0; i < runs && figures.ok; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--import"), file});
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit
            || child.exitCode() != 0) {
            figures.ok = false;
            break;
        }
        const QList<QByteArray> fields = child.readAllStandardOutput().simplified().split(' ');
        if (fields.size() != 5) {
            figures.ok = false;
            break;
        }
        figures.readings = fields.at(0).toInt();
        times.append(fields.at(1).toDouble());
        cpuTimes.append(fields.at(2).toDouble());
        peaks.append((fields.at(4).toDouble() - fields.at(3).toDouble()) / 1024.0);
    }
    figures.ms = median(times);
    figures.cpuMs = median(cpuTimes);
    figures.peakMb = median(peaks);
    return figures;
}

// The same readings with their times as date cells or as "yyyy-MM-dd hh:mm:ss" texts.
bool writeXlsTimes(const QVector<ReadingTable::Reading> &readings, bool dates, const QString &file)
{
    XlsWriter workbook;
    const int dateStyle = workbook.styleForFormat(SheetLayout::timeFormat());
    const int textStyle = workbook.styleForFormat(SheetLayout::textFormat());
    const QStringList headers = SheetLayout::headerTexts();
    for (int column = 0; column < headers.size(); ++column)
        workbook.setText(0, column, headers.at(column));
    const ReadingTable table(readings, false, false);
    for (int row = 0; row < readings.size(); ++row) {
        workbook.setNumber(row + 1, 0, row + 1);
        const QDateTime &time = readings.at(row).time;
        if (dates)
            workbook.setNumber(row + 1, 1, SheetLayout::toSerial(time), dateStyle);
        else
            workbook.setText(row + 1, 1, time.toString(SheetLayout::timeFormat()), textStyle);
        for (int column = 2; column < 6; ++column)
            workbook.setText(row + 1, column, table.data(table.index(row, column)).toString(),
                             textStyle);
    }
    return workbook.save(file);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("meter.warning=false")); // expected refusals
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3 && arguments.at(1) == QLatin1String("--import"))
        return importOnce(arguments.at(2));

    QTextStream out(stdout);
    QTemporaryDir dir;
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0
        ? qEnvironmentVariableIntValue("BENCH_RUNS")
        : 5;
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    out << "spreadsheet_bench: medians of " << runs << " runs\n";
    out << "case                          readings   export ms   import ms    file bytes\n";

    struct Case
    {
        const char *name;
        int readings;
        bool fahrenheit;
        QString file;
    };
    const QVector<Case> cases = {
        {".xls  10 readings", 10, false, dir.filePath(QStringLiteral("a.xls"))},
        {".xls  1,000 readings", 1000, false, dir.filePath(QStringLiteral("b.xls"))},
        {".xls  65,535 (row limit)", 65535, false, dir.filePath(QStringLiteral("c.xls"))},
        {".xlsx 10 readings", 10, false, dir.filePath(QStringLiteral("a.xlsx"))},
        {".xlsx 65,535 readings", 65535, false, dir.filePath(QStringLiteral("c.xlsx"))},
        {".xlsx 100,000 readings", 100000, true, dir.filePath(QStringLiteral("d.xlsx"))},
    };
    for (const Case &c : cases) {
        const ReadingTable table(ReadingTable::sample(c.readings, start), false, c.fahrenheit);
        bool ok = true;
        const double exportMs = medianMs(runs, [&] {
            ok = ok && SheetExport::exportModel(&table, c.file) == SheetExport::Success;
        });
        int imported = 0;
        const double importMs
            = medianMs(runs, [&] { imported = SheetImport::importFile(c.file).readings.size(); });
        out << QString::fromLatin1(c.name).leftJustified(30)
            << QString::number(c.readings).rightJustified(8)
            << QString::number(exportMs, 'f', 1).rightJustified(12)
            << QString::number(importMs, 'f', 1).rightJustified(12)
            << QString::number(QFileInfo(c.file).size()).rightJustified(14)
            << (ok && imported == c.readings ? "" : "   FAILED") << "\n";
        out.flush();
    }

    const QByteArray stream(8 * 1024 * 1024, 'x');
    QByteArray file;
    const double cfbMs = medianMs(runs, [&] {
        CfbWriter writer;
        writer.addStream(QStringLiteral("Big"), stream);
        file = writer.toByteArray();
    });
    out << "compound file, one 8 MB stream: " << QString::number(cfbMs, 'f', 1) << " ms, "
        << file.size() << " bytes\n";
    out.flush();

    // Date cells against time texts, 65,535 rows of .xls.
    {
        const QVector<ReadingTable::Reading> readings = ReadingTable::sample(65535, start);
        const QString dates = dir.filePath(QStringLiteral("dates.xls"));
        const QString texts = dir.filePath(QStringLiteral("texts.xls"));
        const bool written
            = writeXlsTimes(readings, true, dates) && writeXlsTimes(readings, false, texts);
        int datesRead = 0;
        int textsRead = 0;
        const double datesMs
            = medianMs(runs, [&] { datesRead = SheetImport::importFile(dates).readings.size(); });
        const double textsMs
            = medianMs(runs, [&] { textsRead = SheetImport::importFile(texts).readings.size(); });
        out << "\n.xls 65,535 readings import: date cells " << QString::number(datesMs, 'f', 1)
            << " ms, time texts " << QString::number(textsMs, 'f', 1) << " ms, ratio "
            << QString::number(datesMs / textsMs, 'f', 2) << " (target at most 2)"
            << (written && datesRead == 65535 && textsRead == 65535 ? "" : "   FAILED") << "\n";
        out.flush();
    }

    // Large .xlsx imports, each run in a fresh process: time and peak memory above the
    // process's size before the import; the readings themselves take the last column.
    {
        const int bigRuns = std::max(3, std::min(runs, 5));
        out << "\n.xlsx import in a child process, medians of " << bigRuns << " runs\n";
        out << "readings      import ms      cpu ms   peak MB above start   readings MB\n";
        ChildFigures small;
        for (int readings : {100000, SheetExport::xlsxSheetReadings}) {
            const QString xlsx = dir.filePath(QStringLiteral("big%1.xlsx").arg(readings));
            {
                const ReadingTable table(ReadingTable::sample(readings, start), false, false);
                if (SheetExport::exportModel(&table, xlsx) != SheetExport::Success) {
                    out << readings << "   FAILED to export\n";
                    continue;
                }
            }
            const ChildFigures figures = importInChild(xlsx, bigRuns);
            const double readingsMb = double(readings) * sizeof(ImportedReading) / 1048576.0;
            out << QString::number(readings).leftJustified(10)
                << QString::number(figures.ms, 'f', 1).rightJustified(13)
                << QString::number(figures.cpuMs, 'f', 1).rightJustified(12)
                << QString::number(figures.peakMb, 'f', 1).rightJustified(22)
                << QString::number(readingsMb, 'f', 1).rightJustified(14)
                << (figures.ok && figures.readings == readings ? "" : "   FAILED") << "\n";
            out.flush();
            if (readings == 100000) {
                small = figures;
            } else if (small.ms > 0) {
                const double scale = readings / 100000.0;
                out << "1,048,575 against 100,000 scaled linearly: ratio "
                    << QString::number(figures.ms / (small.ms * scale), 'f', 2) << " (cpu "
                    << QString::number(figures.cpuMs / (small.cpuMs * scale), 'f', 2)
                    << "; target at most 3)\n";
            }
            QFile::remove(xlsx);
        }
    }
    return 0;
}
