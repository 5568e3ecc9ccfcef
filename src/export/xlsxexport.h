#ifndef XLSXEXPORT_H
#define XLSXEXPORT_H

#include <QString>

class QAbstractItemModel;

// The reading table as an .xlsx workbook, written with libxlsxwriter. The caller has checked
// that the rows fit a worksheet.
class XlsxExport
{
public:
    static bool write(const QAbstractItemModel *model, const QString &fileName);
};

#endif // XLSXEXPORT_H
