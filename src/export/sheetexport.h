#ifndef SHEETEXPORT_H
#define SHEETEXPORT_H

#include <QString>

class QAbstractItemModel;

// Writes the reading table, as its model displays it (rows x 6 columns, display role), into
// a workbook: .xls by our own writer, .xlsx by libxlsxwriter, in the worksheet layout of
// SheetLayout. An existing file is replaced only when the new one was written completely.
class SheetExport
{
public:
    enum Format { Xls, Xlsx };
    enum Result {
        Success,
        WriteFailed, // the file could not be written
        TooManyRowsForXls, // nothing written: an .xls worksheet cannot hold the table
        TooManyRowsForXlsx // nothing written: no worksheet can hold the table
    };

    // Readings (table rows) a worksheet of each format holds below the header row.
    static constexpr int maxXlsReadings = 65535;
    static constexpr int maxXlsxReadings = 1048575;

    // .xlsx for a name ending in ".xlsx" (any case), .xls otherwise.
    static Format formatForFileName(const QString &fileName);

    static Result exportModel(const QAbstractItemModel *model, const QString &fileName);
    static Result exportModel(const QAbstractItemModel *model, const QString &fileName,
                              Format format);

    // The message the main window shows for a result (translated in its context).
    static QString resultMessage(Result result);
};

#endif // SHEETEXPORT_H
