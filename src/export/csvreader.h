#ifndef CSVREADER_H
#define CSVREADER_H

#include "workbookreader.h"

class QIODevice;

// Reads a CSV file as the rows of a worksheet, for the same visitors as the workbooks: UTF-8
// with or without a byte-order mark, fields separated by commas or (as spreadsheet programs
// with a decimal comma save them) by semicolons, told apart by the first row; quoted fields
// may hold separators, doubled quotes and line breaks. In a semicolon file a number's decimal
// comma is read as a dot. Cells come as texts, an empty field as an invalid QVariant.
//
// Bounded like the workbook readers: a field longer than maxFieldBytes or a NUL byte (no
// text file has one) refuses the file as NotAWorkbook, and so does a file without any row.
class CsvReader
{
public:
    static constexpr int maxFieldBytes = 64 * 1024;

    // The device must be open for reading.
    static WorkbookReader::Sheet read(QIODevice *device, WorkbookReader::RowVisitor *visitor,
                                      int columns = WorkbookReader::defaultColumns);
    // The separator of a file that begins with `start`: ';' when its first row holds more
    // semicolons than commas outside quotes, ',' otherwise.
    static char separatorOf(const QByteArray &start);
};

#endif // CSVREADER_H
