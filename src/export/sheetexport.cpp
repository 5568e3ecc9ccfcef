#include "sheetexport.h"

#include "csvexport.h"
#include "meterlog.h"
#include "sheetlayout.h"
#include "tablesource.h"
#include "taskprogress.h"
#include "xlswriter.h"
#include "xlsxexport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QVector>

namespace {

// The rows go first; putting the file together and checking it take about a quarter more.
qint64 finishingSteps(int rows)
{
    return std::max(1, rows / 4);
}

SheetExport::Result writeXls(const TableSource &table, const QString &fileName, int sheetReadings,
                             TaskProgress *progress)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    XlsWriter workbook(SheetExport::sheetName(0), folder);
    QVector<int> styles(SheetLayout::columnCount, XlsWriter::generalStyle);
    const QStringList headers = SheetLayout::headerTexts();
    for (int column = 0; column < SheetLayout::columnCount; ++column) {
        const QString format = SheetLayout::columnFormat(column);
        if (!format.isEmpty())
            styles[column] = workbook.styleForFormat(format);
    }
    QVector<int> widths;
    auto startSheet = [&] {
        widths.fill(0, SheetLayout::columnCount);
        for (int column = 0; column < SheetLayout::columnCount; ++column) {
            workbook.setText(0, column, headers.at(column));
            widths[column] = SheetLayout::textWidth(headers.at(column));
        }
    };
    auto finishSheet = [&] {
        for (int column = 0; column < SheetLayout::columnCount; ++column)
            workbook.setColumnWidth(column, SheetLayout::columnWidth(widths.at(column)));
    };

    startSheet();
    const int rows = table.rowCount();
    for (int row = 0; row < rows; ++row) {
        const int sheetRow = row % sheetReadings + 1;
        if (row > 0 && sheetRow == 1) {
            finishSheet();
            if (!workbook.addSheet(SheetExport::sheetName(row / sheetReadings)))
                return SheetExport::WriteFailed;
            startSheet();
        }
        for (int column = 0; column < SheetLayout::columnCount; ++column) {
            const SheetLayout::Cell cell = SheetLayout::cellFor(column, table.cell(row, column));
            const int style = styles.at(column);
            bool ok = true;
            switch (cell.kind) {
            case SheetLayout::Cell::Empty:
                // The range keeps its format even where a cell is blank.
                if (style != XlsWriter::generalStyle)
                    ok = workbook.setBlank(sheetRow, column, style);
                break;
            case SheetLayout::Cell::Number:
            case SheetLayout::Cell::Date:
                ok = workbook.setNumber(sheetRow, column, cell.number, style);
                break;
            case SheetLayout::Cell::Text:
                ok = workbook.setText(sheetRow, column, cell.text, style);
                break;
            }
            if (!ok)
                return SheetExport::WriteFailed;
            widths[column] = std::max(widths.at(column), SheetLayout::shownWidth(cell));
        }
        if (progress && (row & 1023) == 0) {
            progress->setDone(row);
            if (progress->isCancelled())
                return SheetExport::Cancelled;
        }
    }
    finishSheet();
    const qint64 finishing = finishingSteps(rows);
    const bool saved = workbook.save(fileName, [&](qint64 written, qint64 total) {
        if (!progress)
            return true;
        progress->setDone(rows + finishing * written / std::max<qint64>(1, total));
        return !progress->isCancelled();
    });
    if (progress && progress->isCancelled())
        return SheetExport::Cancelled;
    return saved ? SheetExport::Success : SheetExport::WriteFailed;
}

} // namespace

SheetExport::Format SheetExport::formatForFileName(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        return Xlsx;
    if (suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0)
        return Csv;
    return Xls;
}

QString SheetExport::sheetName(int index)
{
    return QStringLiteral("Sheet%1").arg(index + 1);
}

SheetExport::Result SheetExport::exportTable(const TableSource &table, const QString &fileName,
                                             Format format, const Options &options)
{
    if (fileName.isEmpty())
        return WriteFailed;
    const int rows = table.rowCount();
    // A workbook that cannot hold every reading would lose the rest without a word.
    if (format == Xls && rows > maxXlsReadings) {
        qCWarning(lcMeter) << "Export refused:" << rows << "readings do not fit an .xls workbook";
        return TooManyRowsForXls;
    }
    TaskProgress *progress = options.progress;
    if (progress)
        progress->start(rows + finishingSteps(rows));
    Result result = WriteFailed;
    switch (format) {
    case Xls:
        result = writeXls(table, fileName,
                          options.sheetReadings > 0 ? options.sheetReadings : xlsSheetReadings,
                          progress);
        break;
    case Xlsx:
        result = XlsxExport::write(
            table, fileName, options.sheetReadings > 0 ? options.sheetReadings : xlsxSheetReadings,
            progress);
        break;
    case Csv:
        result = CsvExport::write(table, fileName, progress);
        break;
    }
    if (result == WriteFailed)
        qCWarning(lcMeter) << "Export to" << fileName << "failed";
    if (progress && result == Success)
        progress->setDone(progress->total());
    return result;
}

SheetExport::Result SheetExport::exportModel(const QAbstractItemModel *model,
                                             const QString &fileName)
{
    return exportModel(model, fileName, formatForFileName(fileName));
}

SheetExport::Result SheetExport::exportModel(const QAbstractItemModel *model,
                                             const QString &fileName, Format format)
{
    return exportModel(model, fileName, format, Options());
}

SheetExport::Result SheetExport::exportModel(const QAbstractItemModel *model,
                                             const QString &fileName, Format format,
                                             const Options &options)
{
    if (!model)
        return WriteFailed;
    return exportTable(ModelSource(model), fileName, format, options);
}

QString SheetExport::resultMessage(Result result)
{
    switch (result) {
    case Success:
        return QCoreApplication::translate("Widget", "The datas is exported successfully.");
    case WriteFailed:
        break;
    case TooManyRowsForXls:
        return QCoreApplication::translate(
                   "Widget",
                   "The table has more rows than an .xls workbook can hold (%1 readings), so "
                   "nothing was exported. Please choose the .xlsx format to export all of them.")
            .arg(maxXlsReadings);
    case Cancelled:
        return QString();
    }
    return QCoreApplication::translate("Widget", "The datas is exported failed.");
}
