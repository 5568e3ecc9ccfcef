#ifndef CSVEXPORT_H
#define CSVEXPORT_H

#include "sheetexport.h"

#include <QByteArray>
#include <QString>

class TableSource;
class TaskProgress;

// The reading table as a CSV file: UTF-8 with a byte-order mark (so that spreadsheet programs
// do not guess another encoding), a comma between fields, one header row naming the units, the
// time as "yyyy-MM-dd hh:mm:ss" and every value as a plain number with a dot, whatever the
// locale, so that the file reads the same everywhere. There is no row limit. The file is
// written beside the destination and replaces it only when complete.
class CsvExport
{
public:
    static SheetExport::Result write(const TableSource &table, const QString &fileName,
                                     TaskProgress *progress);

    // The header row (without line end) for temperatures in the unit `temperatureUnit`
    // ("℉" or "°F" for Fahrenheit, Celsius otherwise).
    static QString headerLine(const QString &temperatureUnit);
    // A value text of the table ("25.3 ℃", "45.0 %RH", "25,3 ℃") as the number alone with a
    // dot; a text that holds no number stays as it is.
    static QString plainNumber(const QString &text);
    // A field, quoted where its text needs it.
    static QByteArray field(const QString &text);
};

#endif // CSVEXPORT_H
