#ifndef SHEETLAYOUT_H
#define SHEETLAYOUT_H

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The worksheet of the reading exchange: row 1 holds the headers, then one row per reading
// with the number in column A, the time as a date cell in column B and the four value texts
// ("25.3 ℃", "45.0 %RH") as text cells in columns C to F. Shared by the .xls and .xlsx
// writers and by the import.
class SheetLayout
{
public:
    static constexpr int columnCount = 6;
    static constexpr int timeColumn = 1;

    static QStringList headerTexts();
    static QString timeFormat() { return QStringLiteral("yyyy-MM-dd hh:mm:ss"); }
    static QString textFormat() { return QStringLiteral("@"); }
    // The number format of a column's data cells (empty: General).
    static QString columnFormat(int column);

    struct Cell
    {
        enum Kind { Empty, Number, Date, Text };
        Kind kind = Empty;
        double number = 0.0; // the value, or the date serial of a Date
        QString text; // a Text, or how the cell shows
    };
    // A display value of the reading table as a cell of the given column. A time text in
    // either table format (to the second, or to the minute for stored records) becomes a
    // date; a number text in column A becomes a number; the value columns stay text.
    static Cell cellFor(int column, const QVariant &display);

    // Date serials count days since 1899-12-30 on the wall clock, the fraction being the
    // time of day. toSerial() takes a time's own digits, whatever its zone. fromSerial() and
    // parseTime() give the digits as a Qt::UTC time, so that no local daylight-saving gap
    // can make them invalid; they show the same digits as they were written.
    // fromSerial() gives an invalid QDateTime for serials outside the years a workbook can
    // show, and rounds to the millisecond.
    static double toSerial(const QDateTime &time);
    static QDateTime fromSerial(double serial);
    // "yyyy-MM-dd hh:mm:ss" or "yyyy-MM-dd hh:mm"; invalid for anything else.
    static QDateTime parseTime(const QString &text);

    // How many characters a cell shows, wide East Asian characters counting twice, and the
    // column width in characters that fits that many.
    static int shownWidth(const Cell &cell);
    static int textWidth(const QString &text);
    static double columnWidth(int shownWidth);
};

#endif // SHEETLAYOUT_H
