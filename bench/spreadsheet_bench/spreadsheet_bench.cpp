// Prints how long the workbook exchange takes and how large the files get (medians of
// several runs): .xls at its row limit (a file that needs DIFAT sectors), .xlsx at 100,000
// readings, and the compound-file writer alone on an 8 MB stream.
#include "cfbwriter.h"
#include "readingtable.h"
#include "sheetexport.h"
#include "sheetimport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    QVector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("meter.warning=false")); // expected refusals
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

    const ReadingTable tooMany(ReadingTable::sample(65536, start), false, false);
    const double refusedMs = medianMs(runs, [&] {
        SheetExport::exportModel(&tooMany, dir.filePath(QStringLiteral("refused.xls")));
    });
    out << "\n.xls 65,536 readings refused in " << QString::number(refusedMs, 'f', 3) << " ms\n";

    const QByteArray stream(8 * 1024 * 1024, 'x');
    QByteArray file;
    const double cfbMs = medianMs(runs, [&] {
        CfbWriter writer;
        writer.addStream(QStringLiteral("Big"), stream);
        file = writer.toByteArray();
    });
    out << "compound file, one 8 MB stream: " << QString::number(cfbMs, 'f', 1) << " ms, "
        << file.size() << " bytes\n";
    return 0;
}
