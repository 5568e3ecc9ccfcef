#ifndef WORKBOOKREADER_H
#define WORKBOOKREADER_H

#include <QString>
#include <QVariantList>
#include <QVector>

// Reads the used range of a workbook's first worksheet: .xls (BIFF, through freexl) or
// .xlsx (through minizip and the XML stream reader), told apart by content, not by name.
// Cells come as double (numbers), QString (texts), QDateTime (numbers in a date or time
// format), bool, or an invalid QVariant (blank). A row's list starts at the range's first
// column and ends at the row's last filled cell, so a row may be shorter than the range (an
// empty row is an empty list).
class WorkbookReader
{
public:
    enum Error {
        NoError,
        CannotOpen, // missing or unreadable file
        NotAWorkbook, // neither a BIFF nor an OOXML workbook, or a damaged one
        NoWorksheet // a workbook without any worksheet
    };

    struct Sheet
    {
        Error error = NoError;
        QVector<QVariantList> rows;
    };

    static Sheet readFirstSheet(const QString &fileName);

    // Whether a number format shows a date or time: built-in ids 14-22, 27-36, 45-47 and
    // 50-58, or a format code with date or time parts outside quotes and brackets.
    static bool isDateFormat(int formatId, const QString &formatCode);
};

#endif // WORKBOOKREADER_H
