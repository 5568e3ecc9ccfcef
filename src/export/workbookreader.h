#ifndef WORKBOOKREADER_H
#define WORKBOOKREADER_H

#include <QString>
#include <QVariantList>
#include <QVector>

class QIODevice;

// Reads the used range of a workbook's first worksheet (and, when the visitor asks, of the
// worksheets after it): .xls (a BIFF8 workbook in a compound
// file) or .xlsx, told apart by content, not by name. A file named ".csv" that is neither is
// read as CSV text (CsvReader), as one worksheet. Both readers are our own and bounded:
// a damaged or hostile file is refused as NotAWorkbook rather than read past its end, looped
// over or allowed to take memory out of proportion to what it yields.
//
// Only the first few columns of the used range are read (the import needs six), from the
// range's first column, which is the leftmost column holding a filled cell anywhere in the
// sheet. Cells come as double (numbers), QString (texts), QDateTime (numbers in a date or
// time format: the wall-clock digits in a Qt::UTC time, as no daylight saving applies to
// them), bool, or an invalid QVariant (blank, an error value, or a formula without a saved
// result).
class WorkbookReader
{
public:
    enum Error {
        NoError,
        CannotOpen, // missing or unreadable file
        NotAWorkbook, // neither a BIFF8 nor an OOXML workbook, or a damaged one
        NoWorksheet, // a workbook without any worksheet
        Cancelled // the visitor asked to stop
    };

    static constexpr int defaultColumns = 6;
    static constexpr int maxColumns = 256;

    // One row of the used range that holds at least one filled cell.
    struct Row
    {
        int number = 0; // in the sheet, from 0
        const QVariant *cells = nullptr; // from the used range's first column
        int count = 0; // up to the last filled cell among the columns read (may be 0)
        bool filledBeyond = false; // filled cells right of the columns read
    };

    // Receives the rows of the used range in sheet order, as they are read.
    class RowVisitor
    {
    public:
        virtual ~RowVisitor() = default;
        virtual void row(const Row &row) = 0;
        // A filled cell left of every earlier one turned up after rows of the current
        // worksheet had been given: those rows started at the wrong column. Forget them;
        // every row of that worksheet comes again.
        virtual void restart() = 0;
        // The worksheet's rows have all been given and another worksheet follows: true to
        // have its rows as well (a table that went on from one sheet to the next).
        virtual bool nextSheet() { return false; }
        // Asked now and then while a worksheet is read; false stops the reading (Cancelled).
        virtual bool keepGoing() { return true; }
        // How far the reading has come, in bytes of the file or of the workbook stream.
        virtual void progress(qint64 done, qint64 total)
        {
            Q_UNUSED(done)
            Q_UNUSED(total)
        }
    };

    struct Sheet
    {
        Error error = NoError;
        // Filled by the overloads without a visitor: the used range's rows from its first
        // row on, an empty list for a row without filled cells among the columns read.
        QVector<QVariantList> rows;
        // Formula cells among the columns read whose result was never saved in the file (some
        // writers leave that to the program that opens it); they read as blanks.
        int formulasWithoutResult = 0;
    };

    static Sheet readFirstSheet(const QString &fileName, int columns = defaultColumns);
    static Sheet readFirstSheet(QIODevice *device, int columns = defaultColumns);
    // The same with the rows handed to a visitor instead of gathered.
    static Sheet readFirstSheet(const QString &fileName, RowVisitor *visitor,
                                int columns = defaultColumns);
    // The device must be open for reading and allow seeking (a file or a buffer).
    static Sheet readFirstSheet(QIODevice *device, RowVisitor *visitor,
                                int columns = defaultColumns);

    // Whether a number format shows a date or time: built-in ids 14-22, 27-36, 45-47 and
    // 50-58, or a format code with date or time parts outside quotes and brackets.
    static bool isDateFormat(int formatId, const QString &formatCode);
};

#endif // WORKBOOKREADER_H
