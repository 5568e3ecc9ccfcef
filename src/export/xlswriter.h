#ifndef XLSWRITER_H
#define XLSWRITER_H

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class QIODevice;
class QTemporaryFile;

// A workbook in the BIFF8 format of .xls files, with one or more worksheets. Cells are
// numbers or texts (texts go into the shared string table), each with a cell style made from
// a number format; dates are numbers with a date format. Within the current worksheet cells
// may be set in any order; addSheet() closes it and starts the next.
//
// A closed worksheet is kept as its finished records, in memory or, with a spill folder, in
// a temporary file there, so that a workbook of many full sheets does not hold all their
// cells at once.
class XlsWriter
{
public:
    static constexpr int maxRows = 65536;
    static constexpr int maxColumns = 256;
    // The style of a cell without a number format of its own ("General").
    static constexpr int generalStyle = 15;
    // The compound file holds a stream of at most this size (the format's offsets are 32-bit;
    // readers do not go past 2 GiB).
    static constexpr qint64 maxStreamBytes = 0x7FFFFFFF - (1 << 20);

    explicit XlsWriter(const QString &sheetName = QStringLiteral("Sheet1"),
                       const QString &spillFolder = QString());
    ~XlsWriter();
    Q_DISABLE_COPY(XlsWriter)

    // The cell style for a number format ("@", "yyyy-MM-dd hh:mm:ss", "0.0" ...). Asking
    // twice for one format gives the same style.
    int styleForFormat(const QString &format);

    // Closes the current worksheet and starts another. False when the name is empty, longer
    // than 31 characters, already taken, or the closed sheet could not be kept.
    bool addSheet(const QString &name);
    int sheetCount() const { return m_closed.size() + 1; }

    // Into the current worksheet. False when the cell lies outside a worksheet or the style
    // is unknown.
    bool setNumber(int row, int column, double value, int style = generalStyle);
    bool setText(int row, int column, const QString &text, int style = generalStyle);
    bool setBlank(int row, int column, int style);

    // Width in characters of the default font; 0 leaves the column at the default width.
    void setColumnWidth(int column, double characters);

    int rowCount() const; // of the current worksheet: one past the last row that has a cell
    int uniqueStringCount() const { return m_strings.size(); }

    // The "Workbook" stream (never shorter than the mini-stream cutoff), and the compound
    // file holding it.
    QByteArray workbookStream() const;
    QByteArray fileBytes() const;
    // Told the bytes written so far and the total; false stops the saving.
    using Progress = std::function<bool(qint64 written, qint64 total)>;
    // Replaces the file only when everything was written and checked; a stopped saving leaves
    // the file as it was.
    bool save(const QString &fileName, const Progress &progress = {}) const;

private:
    enum CellKind : quint8 { Number, Text, Blank };
    struct Cell
    {
        quint16 column;
        quint16 style;
        CellKind kind;
        double number; // the value, or the string index of a text
    };
    struct Closed
    {
        QString name;
        qint64 at; // in the kept bytes
        qint64 size;
    };
    bool putCell(int row, const Cell &cell);
    QByteArray globalsSubstream(quint32 currentTextCells, QVector<int> *sheetOffsetFields) const;
    // The current sheet's records, its stream offsets counted from its own start.
    QByteArray sheetSubstream(quint32 *textCells) const;
    // The globals and the sheet being written, with every sheet's offset filled in; returns
    // the size of the whole stream.
    qint64 layOutStream(QByteArray *globals, QByteArray *current) const;
    bool keepClosed(const QByteArray &records);
    bool readClosed(const Closed &sheet, qint64 from, qint64 size, char *out) const;
    qint64 streamSize(const QByteArray &globals, const QByteArray &current) const;
    bool writeStream(QIODevice *device, const QByteArray &globals, const QByteArray &current,
                     const Progress &progress) const;

    QString m_sheetName;
    QString m_spillFolder;
    QStringList m_formats; // custom formats, number 164 onwards
    QVector<int> m_styleFormats; // number format of each cell style after the 16 built-in
    QHash<QString, int> m_formatStyles;
    QStringList m_strings;
    QHash<QString, int> m_stringIndex;
    QMap<int, QVector<Cell>> m_rows;
    QMap<int, double> m_widths;
    QVector<Closed> m_closed;
    quint32 m_closedTextCells = 0;
    QByteArray m_closedBytes; // without a spill folder
    std::unique_ptr<QTemporaryFile> m_spill;
};

#endif // XLSWRITER_H
