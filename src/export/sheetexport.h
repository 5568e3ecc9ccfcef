#ifndef SHEETEXPORT_H
#define SHEETEXPORT_H

#include <QString>

class QAbstractItemModel;
class TableSource;
class TaskProgress;

// Writes the reading table, as the window shows it (rows x 6 columns of display values), into
// a file: a workbook (.xls by our own writer, .xlsx by libxlsxwriter, in the worksheet layout
// of SheetLayout) or a CSV file. A worksheet that fills continues on the next ("Sheet2",
// "Sheet3" ...), each beginning with the header row. An existing file is replaced only when
// the new one was written and checked completely.
class SheetExport
{
public:
    enum Format { Xls, Xlsx, Csv };
    enum Result {
        Success,
        WriteFailed, // the file could not be written
        TooManyRowsForXls, // nothing written: an .xls workbook cannot hold the table
        Cancelled // stopped through the progress; nothing written
    };

    // Readings (table rows) a worksheet of each format holds below its header row.
    static constexpr int xlsSheetReadings = 65535;
    static constexpr int xlsxSheetReadings = 1048575;
    // Worksheets of a full .xls workbook: they keep its stream well inside the 2 GiB that
    // readers of the format accept.
    static constexpr int maxXlsSheets = 128;
    static constexpr int maxXlsReadings = xlsSheetReadings * maxXlsSheets;

    // .xlsx for a name ending in ".xlsx", CSV for ".csv" (any case), .xls otherwise.
    static Format formatForFileName(const QString &fileName);
    // The name of the worksheet `index` (from 0): "Sheet1", "Sheet2" ...
    static QString sheetName(int index);

    struct Options
    {
        // Readings per worksheet; 0 for the format's own limit (a smaller one for tests).
        int sheetReadings = 0;
        // Counts the rows written and may stop the export (Cancelled, nothing replaced).
        TaskProgress *progress = nullptr;
    };

    // May run on any thread, as long as the table may be read there.
    static Result exportTable(const TableSource &table, const QString &fileName, Format format,
                              const Options &options);
    // The same from a table model, on the model's thread.
    static Result exportModel(const QAbstractItemModel *model, const QString &fileName);
    static Result exportModel(const QAbstractItemModel *model, const QString &fileName,
                              Format format);
    static Result exportModel(const QAbstractItemModel *model, const QString &fileName,
                              Format format, const Options &options);

    // The message the main window shows for a result (translated in its context); empty for
    // Cancelled, which the user asked for.
    static QString resultMessage(Result result);
};

#endif // SHEETEXPORT_H
