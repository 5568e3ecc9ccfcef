#ifndef XLSWRITER_H
#define XLSWRITER_H

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// A workbook in the BIFF8 format of .xls files with a single worksheet. Cells are numbers or
// texts (texts go into the shared string table), each with a cell style made from a number
// format; dates are numbers with a date format. Cells may be set in any order.
class XlsWriter
{
public:
    static constexpr int maxRows = 65536;
    static constexpr int maxColumns = 256;
    // The style of a cell without a number format of its own ("General").
    static constexpr int generalStyle = 15;

    explicit XlsWriter(const QString &sheetName = QStringLiteral("Sheet1"));

    // The cell style for a number format ("@", "yyyy-MM-dd hh:mm:ss", "0.0" ...). Asking
    // twice for one format gives the same style.
    int styleForFormat(const QString &format);

    // False when the cell lies outside the worksheet or the style is unknown.
    bool setNumber(int row, int column, double value, int style = generalStyle);
    bool setText(int row, int column, const QString &text, int style = generalStyle);
    bool setBlank(int row, int column, int style);

    // Width in characters of the default font; 0 leaves the column at the default width.
    void setColumnWidth(int column, double characters);

    int rowCount() const; // one past the last row that has a cell
    int uniqueStringCount() const { return m_strings.size(); }

    // The "Workbook" stream (never shorter than the mini-stream cutoff), and the compound
    // file holding it.
    QByteArray workbookStream() const;
    QByteArray fileBytes() const;
    // Replaces the file only when everything was written.
    bool save(const QString &fileName) const;

private:
    enum CellKind : quint8 { Number, Text, Blank };
    struct Cell
    {
        quint16 column;
        quint16 style;
        CellKind kind;
        double number; // the value, or the string index of a text
    };
    bool putCell(int row, const Cell &cell);
    QByteArray globalsSubstream(int *sheetOffsetField) const;
    QByteArray sheetSubstream(quint32 streamOffset) const;

    QString m_sheetName;
    QStringList m_formats; // custom formats, number 164 onwards
    QVector<int> m_styleFormats; // number format of each cell style after the 16 built-in
    QHash<QString, int> m_formatStyles;
    QStringList m_strings;
    QHash<QString, int> m_stringIndex;
    QMap<int, QVector<Cell>> m_rows;
    QMap<int, double> m_widths;
};

#endif // XLSWRITER_H
