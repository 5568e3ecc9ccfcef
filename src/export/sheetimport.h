#ifndef SHEETIMPORT_H
#define SHEETIMPORT_H

#include "workbookreader.h"

#include <QDateTime>
#include <QString>
#include <QVariantList>
#include <QVector>

#include <array>

class DmmData;
class IMyDmm;
class QIODevice;
class TaskProgress;

// One reading read back from a workbook row, in the base units: degrees Celsius for
// temperature, dew point and wet bulb, percent relative humidity. values[] is indexed by
// channel (0 temperature, 1 humidity, 2 dew point, 3 wet bulb); the window turns each into a
// DmmValue through the plug-in's makeValue.
struct ImportedReading
{
    int storeIndex = 0;
    // The wall-clock digits as written, in a Qt::UTC time: a meter's clock knows no daylight
    // saving, so a time in a local spring-forward hour is kept and shown as it reads. Null
    // when the row's time cell was empty.
    QDateTime time;
    std::array<double, 4> values {};
};

// Turns the rows of a workbook's first worksheet into readings. The first row is the header.
// A worksheet after it whose header row is the same continues the table (as an export of
// more readings than a sheet holds writes it); its rows follow in order.
// By position: 0 the reading number, 1 the time (a date cell, a date serial, or a text
// "yyyy-MM-dd hh:mm:ss" / "yyyy-MM-dd hh:mm"), 2..5 the values as numbers or as texts with an
// optional unit ("℃" or "°C", "℉" or "°F", "%RH"). A Fahrenheit temperature means the row's
// temperature, dew point and wet bulb are Fahrenheit and are converted back; humidity never
// is. A temperature without a unit of its own takes the one its column's header names
// ("Temperature (℉)"), else it is Celsius. A row that cannot be read that way is skipped and
// counted; empty rows are passed over silently. Rows are converted as the workbook is read, without
// holding its cells.
class SheetImport
{
public:
    struct Result
    {
        WorkbookReader::Error error = WorkbookReader::NoError;
        QVector<ImportedReading> readings;
        int rowsSeen = 0; // rows below the header that held anything
        int skippedRows = 0; // of those, the ones that could not be read
        // Formula cells among the columns read that had no saved result (read as blanks).
        int formulasWithoutResult = 0;
        int sheets = 0; // worksheets whose rows were taken

        // Rows were there, and not one of them could be read: a failed import rather than
        // an empty one (a workbook with the header alone).
        bool noRowReadable() const { return rowsSeen > 0 && readings.isEmpty(); }
    };

    // `progress`, when given, counts the bytes read and may stop the import (error
    // Cancelled, no readings). Runs on any thread.
    static Result importFile(const QString &fileName, TaskProgress *progress = nullptr);
    // The device must be open for reading and allow seeking (a file or a buffer).
    static Result importDevice(QIODevice *device, TaskProgress *progress = nullptr);
    // The same for a device that holds CSV text.
    static Result importCsvDevice(QIODevice *device, TaskProgress *progress = nullptr);
    static Result convertRows(const QVector<QVariantList> &rows);
    // False when the row is too short or a cell does not read as it should.
    // `headerFahrenheit`: the header shows the temperatures in Fahrenheit.
    static bool convertRow(const QVariantList &row, ImportedReading *reading,
                           bool headerFahrenheit = false);
    static bool convertRow(const QVariant *cells, int count, ImportedReading *reading,
                           bool headerFahrenheit = false);
    // Whether a header text of the temperature column names Fahrenheit ("Temperature (℉)").
    static bool namesFahrenheit(const QVariant &header);

    // A new reading of the row, owned by the caller; its values are made through the plug-in
    // (`dmm`, the code and text it gives for the base unit) when there is one.
    static DmmData *makeReading(const ImportedReading &row, IMyDmm *dmm);

    // Messages for the main window (translated in its context).
    static QString failureMessage(); // the workbook could not be read
    static QString skippedRowsMessage(int skippedRows);
    static QString formulasWithoutResultMessage(int formulas);
    // Why rows were not imported: formulas without a saved result when there were any (they
    // are the likely reason), else the count of skipped rows.
    static QString unreadRowsMessage(const Result &result);
};

#endif // SHEETIMPORT_H
