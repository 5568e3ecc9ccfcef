#ifndef XLSXEXPORT_H
#define XLSXEXPORT_H

#include "sheetexport.h"

#include <QString>
#include <QVector>

class TableSource;
class TaskProgress;

// The reading table as an .xlsx workbook, written with libxlsxwriter: `sheetReadings` rows
// below the header on each worksheet. The library does not check its own writes, so the
// finished archive is read back (every part inflated, its checksum compared, the rows of
// every worksheet counted) before it may replace the destination.
class XlsxExport
{
public:
    static SheetExport::Result write(const TableSource &table, const QString &fileName,
                                     int sheetReadings, TaskProgress *progress);

    // Whether the archive at `path` is whole: every part inflates with the right checksum
    // and worksheet k (in the order of their names) holds rowsPerSheet[k] rows. `progress`
    // is told the parts' bytes inflated so far and may stop the check.
    static bool verify(const QString &path, const QVector<int> &rowsPerSheet, QString *why,
                       const std::function<bool(qint64 done, qint64 total)> &progress = {});
};

#endif // XLSXEXPORT_H
