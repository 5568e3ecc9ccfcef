#include "sheetexport.h"

#include "meterlog.h"
#include "sheetlayout.h"
#include "xlswriter.h"
#include "xlsxexport.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QFileInfo>
#include <QVector>

namespace {

bool writeXls(const QAbstractItemModel *model, const QString &fileName)
{
    XlsWriter workbook;
    QVector<int> styles(SheetLayout::columnCount, XlsWriter::generalStyle);
    QVector<int> widths(SheetLayout::columnCount, 0);
    const QStringList headers = SheetLayout::headerTexts();
    for (int column = 0; column < SheetLayout::columnCount; ++column) {
        const QString format = SheetLayout::columnFormat(column);
        if (!format.isEmpty())
            styles[column] = workbook.styleForFormat(format);
        workbook.setText(0, column, headers.at(column));
        widths[column] = SheetLayout::textWidth(headers.at(column));
    }
    const int rows = model->rowCount();
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < SheetLayout::columnCount; ++column) {
            const SheetLayout::Cell cell
                = SheetLayout::cellFor(column, model->data(model->index(row, column)));
            const int style = styles.at(column);
            bool ok = true;
            switch (cell.kind) {
            case SheetLayout::Cell::Empty:
                // The range keeps its format even where a cell is blank.
                if (style != XlsWriter::generalStyle)
                    ok = workbook.setBlank(row + 1, column, style);
                break;
            case SheetLayout::Cell::Number:
            case SheetLayout::Cell::Date:
                ok = workbook.setNumber(row + 1, column, cell.number, style);
                break;
            case SheetLayout::Cell::Text:
                ok = workbook.setText(row + 1, column, cell.text, style);
                break;
            }
            if (!ok)
                return false;
            widths[column] = std::max(widths.at(column), SheetLayout::shownWidth(cell));
        }
    }
    for (int column = 0; column < SheetLayout::columnCount; ++column)
        workbook.setColumnWidth(column, SheetLayout::columnWidth(widths.at(column)));
    return workbook.save(fileName);
}

} // namespace

SheetExport::Format SheetExport::formatForFileName(const QString &fileName)
{
    return QFileInfo(fileName).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0
        ? Xlsx
        : Xls;
}

SheetExport::Result SheetExport::exportModel(const QAbstractItemModel *model,
                                             const QString &fileName)
{
    return exportModel(model, fileName, formatForFileName(fileName));
}

SheetExport::Result SheetExport::exportModel(const QAbstractItemModel *model,
                                             const QString &fileName, Format format)
{
    if (!model || fileName.isEmpty())
        return WriteFailed;
    const int rows = model->rowCount();
    // A worksheet that cannot hold every reading would lose the rest without a word.
    if (format == Xls && rows > maxXlsReadings) {
        qCWarning(lcMeter) << "Export refused:" << rows << "readings do not fit an .xls sheet";
        return TooManyRowsForXls;
    }
    if (format == Xlsx && rows > maxXlsxReadings) {
        qCWarning(lcMeter) << "Export refused:" << rows << "readings do not fit a worksheet";
        return TooManyRowsForXlsx;
    }
    const bool ok = format == Xls ? writeXls(model, fileName) : XlsxExport::write(model, fileName);
    if (!ok)
        qCWarning(lcMeter) << "Export to" << fileName << "failed";
    return ok ? Success : WriteFailed;
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
    case TooManyRowsForXlsx:
        return QCoreApplication::translate(
                   "Widget",
                   "The table has more rows than a workbook can hold (%1 readings), so nothing "
                   "was exported.")
            .arg(maxXlsxReadings);
    }
    return QCoreApplication::translate("Widget", "The datas is exported failed.");
}
