#include "xlsxexport.h"

#include "meterlog.h"
#include "sheetlayout.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QVector>

#include <xlsxwriter.h>

#include <algorithm>

namespace {

constexpr int maxTextLength = 32767;

// Copies the finished workbook over the target in one step, so that a failed export never
// leaves a half-written file in place of an older one.
bool replaceWith(const QString &source, const QString &target)
{
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return false;
        }
    }
    return in.error() == QFile::NoError && out.commit();
}

} // namespace

bool XlsxExport::write(const QAbstractItemModel *model, const QString &fileName)
{
    // A scratch file beside the target: the writer builds the archive under its own name.
    QTemporaryFile scratch(QFileInfo(fileName).absolutePath()
                           + QStringLiteral("/.export-XXXXXX.xlsx"));
    if (!scratch.open())
        return false;
    scratch.close();
    const QByteArray path = QFile::encodeName(scratch.fileName());
    QByteArray tmpDir = QFile::encodeName(QDir::tempPath());

    // Constant memory: rows go to disk as they are written, so any table size fits in memory.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpDir.data();
    lxw_workbook *workbook = workbook_new_opt(path.constData(), &options);
    if (!workbook)
        return false;
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
    QVector<lxw_format *> formats(SheetLayout::columnCount, nullptr);
    for (int column = 0; column < SheetLayout::columnCount; ++column) {
        const QString format = SheetLayout::columnFormat(column);
        if (!format.isEmpty()) {
            formats[column] = workbook_add_format(workbook);
            format_set_num_format(formats[column], format.toUtf8().constData());
        }
    }
    lxw_error error = sheet ? LXW_NO_ERROR : LXW_ERROR_CREATING_TMPFILE;

    QVector<int> widths(SheetLayout::columnCount, 0);
    const QStringList headers = SheetLayout::headerTexts();
    for (int column = 0; column < SheetLayout::columnCount && !error; ++column) {
        error = worksheet_write_string(sheet, 0, lxw_col_t(column),
                                       headers.at(column).toUtf8().constData(), nullptr);
        widths[column] = SheetLayout::textWidth(headers.at(column));
    }
    const int rows = model->rowCount();
    for (int row = 0; row < rows && !error; ++row) {
        const lxw_row_t sheetRow = lxw_row_t(row + 1);
        for (int column = 0; column < SheetLayout::columnCount && !error; ++column) {
            const SheetLayout::Cell cell
                = SheetLayout::cellFor(column, model->data(model->index(row, column)));
            lxw_format *format = formats.at(column);
            const lxw_col_t sheetColumn = lxw_col_t(column);
            switch (cell.kind) {
            case SheetLayout::Cell::Empty:
                if (format)
                    error = worksheet_write_blank(sheet, sheetRow, sheetColumn, format);
                break;
            case SheetLayout::Cell::Number:
            case SheetLayout::Cell::Date:
                error = worksheet_write_number(sheet, sheetRow, sheetColumn, cell.number, format);
                break;
            case SheetLayout::Cell::Text:
                error = worksheet_write_string(sheet, sheetRow, sheetColumn,
                                               cell.text.left(maxTextLength).toUtf8().constData(),
                                               format);
                break;
            }
            widths[column] = std::max(widths.at(column), SheetLayout::shownWidth(cell));
        }
    }
    for (int column = 0; column < SheetLayout::columnCount && !error; ++column) {
        error = worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                                     SheetLayout::columnWidth(widths.at(column)), nullptr);
    }
    const lxw_error closed = workbook_close(workbook); // frees the workbook in any case
    if (error || closed) {
        qCWarning(lcMeter) << "xlsx writer:" << lxw_strerror(error ? error : closed);
        return false;
    }
    return replaceWith(scratch.fileName(), fileName);
}
