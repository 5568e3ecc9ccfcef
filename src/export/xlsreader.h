#ifndef XLSREADER_H
#define XLSREADER_H

#include "workbookreader.h"

#include <QByteArray>

// Reads the first worksheet of a BIFF8 workbook (an .xls file held in memory) for
// WorkbookReader: the globals (shared strings, number formats, cell styles, date system,
// sheet list), then the cell records of the first worksheet. Rows come to the visitor in
// sheet order once the whole worksheet has been read, at most 65,536 of them.
class XlsReader
{
public:
    static WorkbookReader::Sheet read(const QByteArray &file, WorkbookReader::RowVisitor *visitor,
                                      int columns);
};

#endif // XLSREADER_H
