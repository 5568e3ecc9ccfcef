#include "xlsxexport.h"

#include "meterlog.h"
#include "safefile.h"
#include "sheetlayout.h"
#include "tablesource.h"
#include "taskprogress.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QVector>

#include <unzip.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int maxTextLength = 32767;
constexpr int inflateChunk = 1 << 16;

// Rows on each worksheet, header included.
QVector<int> sheetRows(int readings, int sheetReadings)
{
    QVector<int> rows;
    do {
        const int here = std::min(readings, sheetReadings);
        rows.append(here + 1);
        readings -= here;
    } while (readings > 0);
    return rows;
}

} // namespace

bool XlsxExport::verify(const QString &path, const QVector<int> &rowsPerSheet, QString *why,
                        const std::function<bool(qint64, qint64)> &progress)
{
    unzFile zip = unzOpen64(QFile::encodeName(path).constData());
    if (!zip) {
        *why = QStringLiteral("not a zip archive");
        return false;
    }
    struct Closer
    {
        unzFile zip;
        ~Closer() { unzClose(zip); }
    } closer {zip};

    qint64 total = 0;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            *why = QStringLiteral("unreadable directory");
            return false;
        }
        total += qint64(info.uncompressed_size);
    }

    static const QRegularExpression sheetPart(QStringLiteral("^xl/worksheets/sheet(\\d+)\\.xml$"));
    QVector<int> counted(rowsPerSheet.size(), -1);
    QByteArray chunk(inflateChunk + 16, Qt::Uninitialized);
    qint64 done = 0;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        char name[256];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK
            || unzOpenCurrentFile(zip) != UNZ_OK) {
            *why = QStringLiteral("unreadable part");
            return false;
        }
        const QRegularExpressionMatch sheet = sheetPart.match(QString::fromUtf8(name));
        const int index = sheet.hasMatch() ? sheet.captured(1).toInt() - 1 : -1;
        // Rows are counted by their start tags; a tag may straddle two pieces, so the last
        // few bytes of a piece go in front of the next.
        static const char rowTag[] = "<row ";
        constexpr int tagLength = int(sizeof rowTag) - 1;
        int kept = 0;
        int rows = 0;
        QByteArray last; // the part's last bytes: a worksheet must end with its closing tag
        for (;;) {
            const int n = unzReadCurrentFile(zip, chunk.data() + kept, inflateChunk);
            if (n < 0) {
                unzCloseCurrentFile(zip);
                *why = QStringLiteral("damaged part %1").arg(QString::fromUtf8(name));
                return false;
            }
            if (n == 0)
                break;
            done += n;
            if (index >= 0) {
                const char *begin = chunk.constData();
                const char *end = begin + kept + n;
                for (const char *p = begin;
                     (p = static_cast<const char *>(memchr(p, '<', size_t(end - p))));) {
                    if (end - p < tagLength)
                        break;
                    if (memcmp(p, rowTag, tagLength) == 0)
                        ++rows;
                    ++p;
                }
                last = (last + QByteArray(end - std::min(n, 32), std::min(n, 32))).right(32);
                kept = int(std::min<qint64>(tagLength - 1, end - begin));
                memmove(chunk.data(), end - kept, size_t(kept));
            }
            if (progress && !progress(done, total)) {
                unzCloseCurrentFile(zip);
                *why = QStringLiteral("stopped");
                return false;
            }
        }
        // The checksum is compared here.
        if (unzCloseCurrentFile(zip) != UNZ_OK) {
            *why = QStringLiteral("checksum of %1").arg(QString::fromUtf8(name));
            return false;
        }
        if (index >= 0) {
            if (index >= counted.size() || !last.trimmed().endsWith("</worksheet>")) {
                *why = QStringLiteral("unexpected or cut worksheet %1").arg(index + 1);
                return false;
            }
            counted[index] = rows;
        }
    }
    if (counted != rowsPerSheet) {
        *why = QStringLiteral("rows per worksheet");
        qCWarning(lcMeter) << "xlsx check: rows" << counted << "expected" << rowsPerSheet;
        return false;
    }
    return true;
}

SheetExport::Result XlsxExport::write(const TableSource &table, const QString &fileName,
                                      int sheetReadings, TaskProgress *progress)
{
    SafeFile file(fileName);
    if (!file.open())
        return SheetExport::WriteFailed;
    const QByteArray path = QFile::encodeName(file.releasePath());
    // The library's scratch files go beside the destination too: a full temporary folder
    // elsewhere must not cut the worksheets short.
    QByteArray scratchFolder = QFile::encodeName(QFileInfo(fileName).absolutePath());

    // Constant memory: rows go to disk as they are written, so any table size fits in memory.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratchFolder.data();
    lxw_workbook *workbook = workbook_new_opt(path.constData(), &options);
    if (!workbook)
        return SheetExport::WriteFailed;
    QVector<lxw_format *> formats(SheetLayout::columnCount, nullptr);
    for (int column = 0; column < SheetLayout::columnCount; ++column) {
        const QString format = SheetLayout::columnFormat(column);
        if (!format.isEmpty()) {
            formats[column] = workbook_add_format(workbook);
            format_set_num_format(formats[column], format.toUtf8().constData());
        }
    }

    const QStringList headers = SheetLayout::headerTexts();
    QVector<QByteArray> headerBytes;
    for (const QString &header : headers)
        headerBytes << header.toUtf8();
    lxw_worksheet *sheet = nullptr;
    QVector<int> widths;
    lxw_error error = LXW_NO_ERROR;
    auto finishSheet = [&] {
        for (int column = 0; column < SheetLayout::columnCount && !error; ++column) {
            error = worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                                         SheetLayout::columnWidth(widths.at(column)), nullptr);
        }
    };
    auto startSheet = [&](int index) {
        sheet
            = workbook_add_worksheet(workbook, SheetExport::sheetName(index).toUtf8().constData());
        if (!sheet) {
            error = LXW_ERROR_CREATING_TMPFILE;
            return;
        }
        widths.fill(0, SheetLayout::columnCount);
        for (int column = 0; column < SheetLayout::columnCount && !error; ++column) {
            error = worksheet_write_string(sheet, 0, lxw_col_t(column),
                                           headerBytes.at(column).constData(), nullptr);
            widths[column] = SheetLayout::textWidth(headers.at(column));
        }
    };

    const int rows = table.rowCount();
    bool cancelled = false;
    startSheet(0);
    for (int row = 0; row < rows && !error && !cancelled; ++row) {
        const int inSheet = row % sheetReadings;
        if (row > 0 && inSheet == 0) {
            // Column widths must be set before the rows of a constant-memory worksheet; the
            // library keeps them for the sheet's end, so setting them late is fine.
            finishSheet();
            startSheet(row / sheetReadings);
            if (error)
                break;
        }
        const lxw_row_t sheetRow = lxw_row_t(inSheet + 1);
        for (int column = 0; column < SheetLayout::columnCount && !error; ++column) {
            const SheetLayout::Cell cell = SheetLayout::cellFor(column, table.cell(row, column));
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
        if (progress && (row & 1023) == 0) {
            progress->setDone(row);
            cancelled = progress->isCancelled();
        }
    }
    if (!error && sheet)
        finishSheet();
    const lxw_error closed = workbook_close(workbook); // frees the workbook in any case
    if (cancelled || (progress && progress->isCancelled()))
        return SheetExport::Cancelled;
    if (error || closed) {
        qCWarning(lcMeter) << "xlsx writer:" << lxw_strerror(error ? error : closed);
        return SheetExport::WriteFailed;
    }

    const qint64 finishing = std::max(1, rows / 4);
    const QVector<int> expected = sheetRows(rows, sheetReadings);
    const bool committed = file.commit([&](const QString &written, QString *why) {
        return verify(written, expected, why, [&](qint64 done, qint64 total) {
            if (!progress)
                return true;
            progress->setDone(rows + finishing * done / std::max<qint64>(1, total));
            return !progress->isCancelled();
        });
    });
    if (progress && progress->isCancelled())
        return SheetExport::Cancelled;
    return committed ? SheetExport::Success : SheetExport::WriteFailed;
}
