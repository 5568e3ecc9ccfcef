#ifndef XLSXREADER_H
#define XLSXREADER_H

#include "workbookreader.h"

class QIODevice;

// Reads the first worksheet of an .xlsx package for WorkbookReader. The archive is read
// through minizip from any seekable device; every part is inflated in pieces into an XML
// stream reader, so that the sheet is converted row by row and never held whole.
//
// Parts are bounded by their size once inflated:
// - a worksheet by maxSheetBytes: 1,048,576 rows (all a sheet can have) of 1 KiB each. The
//   six cells of a reading take about 350 bytes in the most verbose form writers use
//   (inline strings, full references and styles), which leaves room for several more
//   columns; a larger sheet is no sheet of readings but a decompression bomb;
// - the shared strings by maxSharedStringsBytes, and by maxStringBytes once decoded (about
//   two bytes a character and 32 a string), which four distinct values on every one of a
//   million rows stay well within;
// - every other part (relationships, workbook, styles) by maxPartBytes.
// No single XML token may take more than maxTokenBytes (a cell's text is at most 32,767
// characters), and elements nest at most maxDepth deep.
class XlsxReader
{
public:
    static constexpr qint64 maxSheetBytes = qint64(1) << 30;
    static constexpr qint64 maxSharedStringsBytes = qint64(512) << 20;
    static constexpr qint64 maxStringBytes = qint64(256) << 20;
    static constexpr qint64 maxPartBytes = qint64(64) << 20;
    static constexpr qint64 maxTokenBytes = qint64(16) << 20;
    static constexpr int maxDepth = 64;

    static WorkbookReader::Sheet read(QIODevice *device, WorkbookReader::RowVisitor *visitor,
                                      int columns);
};

#endif // XLSXREADER_H
