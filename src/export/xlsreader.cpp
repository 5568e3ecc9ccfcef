#include "xlsreader.h"

#include "cfbreader.h"
#include "columnwindow.h"
#include "meterlog.h"
#include "rowcells.h"
#include "sheetlayout.h"

#include <QHash>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Record numbers.
enum : quint16 {
    recBof = 0x0809,
    recEof = 0x000A,
    recFilePass = 0x002F,
    recDateMode = 0x0022,
    recFormat = 0x041E,
    recXf = 0x00E0,
    recBoundSheet = 0x0085,
    recSst = 0x00FC,
    recContinue = 0x003C,
    recLabelSst = 0x00FD,
    recLabel = 0x0204,
    recRichString = 0x00D6,
    recNumber = 0x0203,
    recRk = 0x027E,
    recMulRk = 0x00BD,
    recBoolErr = 0x0205,
    recFormula = 0x0006,
    recString = 0x0207,
    recSharedFormula = 0x04BC,
    recArray = 0x0221,
    recTable = 0x0236,
};

constexpr int biff8 = 0x0600;
constexpr int globalsType = 0x0005;
constexpr int worksheetType = 0x0010;
constexpr int xlsRows = 65536;
constexpr int xlsColumns = 256;
constexpr int maxStyles = 65536; // cell records name their style in 16 bits
// Days from the 1900 date system's epoch to the 1904 system's.
constexpr double date1904Offset = 1462.0;
// The shared strings may take this much memory once decoded (two bytes a character and
// about 32 a string); a table beyond it is refused rather than held.
constexpr qint64 maxStringBytes = qint64(256) << 20;
constexpr int stringOverhead = 32;
constexpr int maxSheets = 4096;
// Records between two looks at whether the reading should stop.
constexpr int recordsPerLook = 4096;

quint16 u16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 u32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

double f64(const char *p)
{
    const quint64 bits = qFromLittleEndian<quint64>(p);
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

// A number in the compact RK form: a 30-bit integer or the upper 30 bits of a double,
// optionally to be divided by 100.
double rkValue(quint32 rk)
{
    double value;
    if (rk & 2) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
        memcpy(&value, &bits, sizeof value);
    }
    return rk & 1 ? value / 100.0 : value;
}

// The records of the workbook stream, one at a time. The current record's data is read into
// a buffer that the next call reuses.
class RecordReader
{
public:
    RecordReader(const CfbReader::Stream &stream, qint64 at)
        : m_stream(stream)
        , m_next(at)
    {
    }

    // False at the end of the stream, or when a record runs past it (damaged() is then set).
    bool next()
    {
        if (m_again) {
            m_again = false;
            return true;
        }
        char head[4];
        if (!m_stream.read(m_next, 4, head))
            return false;
        m_id = u16(head);
        const int length = u16(head + 2);
        m_data.resize(length);
        if (!m_stream.read(m_next + 4, length, m_data.data())) {
            m_damaged = true;
            return false;
        }
        m_next += 4 + length;
        return true;
    }
    // The next call to next() gives the current record again.
    void again() { m_again = true; }
    qint64 position() const { return m_next; }
    qint64 size() const { return m_stream.size(); }

    quint16 id() const { return m_id; }
    const QByteArray &data() const { return m_data; }
    bool damaged() const { return m_damaged; }

private:
    const CfbReader::Stream &m_stream;
    qint64 m_next;
    quint16 m_id = 0;
    QByteArray m_data;
    bool m_again = false;
    bool m_damaged = false;
};

// A structure that may run on into CONTINUE records: the current record's data from an
// offset, then each following CONTINUE's. Where characters run on, the continuation starts
// with a byte whose lowest bit tells whether they go on as one or two bytes each. A record
// other than CONTINUE ends the structure and is left for the caller.
class ContinuedReader
{
public:
    ContinuedReader(RecordReader *records, int offset)
        : m_records(records)
        , m_at(offset)
    {
    }

    bool atEnd() { return available() == 0 && !nextPiece(); }

    // Raw bytes (skipped when out is null).
    bool bytes(qint64 count, char *out = nullptr)
    {
        while (count > 0) {
            if (available() == 0 && !nextPiece())
                return false;
            const int n = int(std::min<qint64>(count, available()));
            if (out) {
                memcpy(out, m_records->data().constData() + m_at, size_t(n));
                out += n;
            }
            m_at += n;
            count -= n;
        }
        return true;
    }
    bool u8(quint8 *value)
    {
        char b;
        if (!bytes(1, &b))
            return false;
        *value = quint8(b);
        return true;
    }
    bool u16(quint16 *value)
    {
        char b[2];
        if (!bytes(2, b))
            return false;
        *value = ::u16(b);
        return true;
    }
    bool u32(quint32 *value)
    {
        char b[4];
        if (!bytes(4, b))
            return false;
        *value = ::u32(b);
        return true;
    }

    // count characters, starting as one byte each (Latin-1) or two (UTF-16).
    bool characters(int count, bool twoBytes, QString *out)
    {
        out->clear();
        out->reserve(count);
        while (count > 0) {
            if (available() == 0) {
                quint8 flags = 0;
                if (!nextPiece() || !bytes(1, reinterpret_cast<char *>(&flags)))
                    return false;
                twoBytes = flags & 1;
            }
            const char *p = m_records->data().constData() + m_at;
            if (twoBytes) {
                const int n = std::min(count, available() / 2);
                if (n == 0)
                    return false; // half a character at a record's end
                for (int i = 0; i < n; ++i)
                    out->append(QChar(::u16(p + 2 * i)));
                m_at += 2 * n;
                count -= n;
            } else {
                const int n = std::min(count, available());
                out->append(QLatin1String(p, n));
                m_at += n;
                count -= n;
            }
        }
        return true;
    }

    // An XLUnicodeString: 16-bit length, flags, characters.
    bool unicodeString(QString *out)
    {
        quint16 length = 0;
        quint8 flags = 0;
        return u16(&length) && u8(&flags) && characters(length, flags & 1, out);
    }

private:
    int available() const { return std::max(0, m_records->data().size() - m_at); }
    bool nextPiece()
    {
        if (!m_records->next())
            return false;
        if (m_records->id() != recContinue) {
            m_records->again();
            return false;
        }
        m_at = 0;
        return true;
    }

    RecordReader *m_records;
    int m_at;
};

struct Globals
{
    QVector<QString> strings;
    QVector<quint16> styleFormats; // number format of each cell style
    QHash<int, QString> formats;
    bool date1904 = false;
    QVector<qint64> sheetOffsets; // the worksheets, in the workbook's order
};

// The shared string table: rich-text runs and phonetic data are passed over.
bool readSharedStrings(RecordReader *records, QVector<QString> *strings)
{
    ContinuedReader in(records, 0);
    quint32 total = 0;
    quint32 unique = 0;
    if (!in.u32(&total) || !in.u32(&unique))
        return false;
    strings->reserve(int(std::min<quint32>(unique, 1u << 16)));
    qint64 used = 0;
    for (quint32 i = 0; i < unique; ++i) {
        // Some writers count more strings than they write: the table ends with its records.
        if (in.atEnd())
            return true;
        quint16 length = 0;
        quint8 flags = 0;
        quint16 runs = 0;
        quint32 phonetic = 0;
        if (!in.u16(&length) || !in.u8(&flags) || ((flags & 0x08) && !in.u16(&runs))
            || ((flags & 0x04) && !in.u32(&phonetic)))
            return false;
        used += 2 * qint64(length) + stringOverhead;
        if (used > maxStringBytes)
            return false;
        QString text;
        if (!in.characters(length, flags & 1, &text) || !in.bytes(4 * qint64(runs))
            || !in.bytes(phonetic))
            return false;
        strings->append(text);
    }
    return true;
}

bool readGlobals(RecordReader *records, Globals *globals)
{
    if (!records->next() || records->id() != recBof || records->data().size() < 4
        || u16(records->data().constData()) != biff8
        || u16(records->data().constData() + 2) != globalsType)
        return false;
    while (records->next()) {
        const QByteArray &d = records->data();
        const char *p = d.constData();
        switch (records->id()) {
        case recEof:
            return true;
        case recFilePass:
            qCWarning(lcMeter) << "Encrypted workbook";
            return false;
        case recDateMode:
            if (d.size() >= 2)
                globals->date1904 = u16(p) == 1;
            break;
        case recFormat: {
            if (d.size() < 2)
                return false;
            const int id = u16(p);
            QString code;
            ContinuedReader in(records, 2);
            if (!in.unicodeString(&code))
                return false;
            globals->formats.insert(id, code);
            break;
        }
        case recXf:
            if (d.size() < 4)
                return false;
            if (globals->styleFormats.size() < maxStyles)
                globals->styleFormats.append(u16(p + 2));
            break;
        case recBoundSheet:
            if (d.size() < 6)
                return false;
            // Worksheets only; chart, macro and module sheets do not count. A workbook has
            // at most a few thousand; more are no workbook.
            if (quint8(p[5]) == 0) {
                if (globals->sheetOffsets.size() >= maxSheets)
                    return false;
                globals->sheetOffsets.append(u32(p));
            }
            break;
        case recSst:
            if (!globals->strings.isEmpty() || !readSharedStrings(records, &globals->strings))
                return false;
            break;
        default:
            break;
        }
    }
    return false; // no end record
}

class SheetReader
{
public:
    SheetReader(const Globals &globals, int columns)
        : m_globals(globals)
        , m_window(columns, xlsColumns)
        , m_rows(xlsRows)
    {
        m_dateStyles.reserve(globals.styleFormats.size());
        for (quint16 format : globals.styleFormats)
            m_dateStyles.append(
                WorkbookReader::isDateFormat(format, globals.formats.value(format)));
    }

    // False for a damaged worksheet, or when the visitor asked to stop (cancelled()).
    bool read(RecordReader *records, WorkbookReader::RowVisitor *visitor);
    bool cancelled() const { return m_cancelled; }
    // False when the visitor asked to stop.
    bool emitRows(WorkbookReader::RowVisitor *visitor) const;
    int formulasWithoutResult() const { return m_window.formulasWithoutResult(); }

private:
    QVariant number(double value, int style) const
    {
        if (style < m_dateStyles.size() && m_dateStyles.at(style))
            return SheetLayout::fromSerial(m_globals.date1904 ? value + date1904Offset : value);
        return value;
    }
    void put(int row, int column, const QVariant &value)
    {
        if (row < 0 || row >= xlsRows || column < 0 || column >= xlsColumns)
            return; // not a cell of a BIFF8 sheet
        if (value.type() == QVariant::String && value.toString().isEmpty())
            return;
        m_window.noteFilled(column);
        m_rows[row].add(column, value, m_window);
    }
    bool cellRecord(RecordReader *records);

    const Globals &m_globals;
    QVector<bool> m_dateStyles;
    ColumnWindow m_window;
    QVector<RowCells> m_rows;
    // A formula whose text result follows in a STRING record.
    bool m_pending = false;
    int m_pendingRow = 0;
    int m_pendingColumn = 0;
    bool m_cancelled = false;
};

bool SheetReader::read(RecordReader *records, WorkbookReader::RowVisitor *visitor)
{
    if (!records->next() || records->id() != recBof || records->data().size() < 4
        || u16(records->data().constData()) != biff8
        || u16(records->data().constData() + 2) != worksheetType)
        return false;
    // Embedded charts bring substreams of their own, BOF to EOF, inside the worksheet's.
    int depth = 1;
    int untilLook = recordsPerLook;
    while (records->next()) {
        if (--untilLook == 0) {
            untilLook = recordsPerLook;
            visitor->progress(records->position(), records->size());
            if (!visitor->keepGoing()) {
                m_cancelled = true;
                return false;
            }
        }
        const quint16 id = records->id();
        if (m_pending && id != recString && id != recSharedFormula && id != recArray
            && id != recTable) {
            m_window.noteFormulaWithoutResult(m_pendingColumn);
            m_pending = false;
        }
        if (id == recBof) {
            ++depth;
        } else if (id == recEof) {
            if (--depth == 0)
                return true;
        } else if (depth == 1 && !cellRecord(records)) {
            return false;
        }
    }
    return false; // cut off before the end record
}

bool SheetReader::cellRecord(RecordReader *records)
{
    const QByteArray &d = records->data();
    const char *p = d.constData();
    const quint16 id = records->id();
    auto needs = [&](int size) { return d.size() >= size; };
    switch (id) {
    case recLabelSst: {
        if (!needs(10))
            return false;
        const quint32 index = u32(p + 6);
        if (index >= quint32(m_globals.strings.size()))
            return false;
        put(u16(p), u16(p + 2), m_globals.strings.at(int(index)));
        return true;
    }
    case recLabel:
    case recRichString: {
        if (!needs(9))
            return false;
        const int row = u16(p);
        const int column = u16(p + 2);
        QString text;
        ContinuedReader in(records, 6);
        if (!in.unicodeString(&text))
            return false;
        put(row, column, text);
        return true;
    }
    case recNumber:
        if (!needs(14))
            return false;
        put(u16(p), u16(p + 2), number(f64(p + 6), u16(p + 4)));
        return true;
    case recRk:
        if (!needs(10))
            return false;
        put(u16(p), u16(p + 2), number(rkValue(u32(p + 6)), u16(p + 4)));
        return true;
    case recMulRk: {
        if (!needs(6))
            return false;
        const int row = u16(p);
        const int first = u16(p + 2);
        const int count = (d.size() - 6) / 6;
        for (int i = 0; i < count; ++i) {
            const char *cell = p + 4 + 6 * i;
            put(row, first + i, number(rkValue(u32(cell + 2)), u16(cell)));
        }
        return true;
    }
    case recBoolErr:
        if (!needs(8))
            return false;
        if (p[7] == 0) // error values read as blanks
            put(u16(p), u16(p + 2), p[6] != 0);
        return true;
    case recFormula: {
        if (!needs(20))
            return false;
        const int row = u16(p);
        const int column = u16(p + 2);
        if (u16(p + 12) != 0xFFFF) {
            put(row, column, number(f64(p + 6), u16(p + 4)));
            return true;
        }
        switch (quint8(p[6])) {
        case 0: // the text follows in a STRING record
            m_pending = true;
            m_pendingRow = row;
            m_pendingColumn = column;
            break;
        case 1:
            put(row, column, p[8] != 0);
            break;
        case 2: // an error value
            break;
        default:
            // The empty-result marker: what writers leave when they never calculated it.
            m_window.noteFormulaWithoutResult(column);
            break;
        }
        return true;
    }
    case recString: {
        QString text;
        ContinuedReader in(records, 0);
        if (!in.unicodeString(&text))
            return false;
        if (m_pending) {
            m_pending = false;
            put(m_pendingRow, m_pendingColumn, text);
        }
        return true;
    }
    default:
        return true; // blanks, row and format records, everything else
    }
}

bool SheetReader::emitRows(WorkbookReader::RowVisitor *visitor) const
{
    QVector<QVariant> buffer;
    for (int row = 0; row < m_rows.size(); ++row) {
        if (!m_rows.at(row).isEmpty())
            visitor->row(m_rows.at(row).layout(row, m_window, &buffer));
        if ((row & (recordsPerLook - 1)) == 0 && !visitor->keepGoing())
            return false;
    }
    return true;
}

WorkbookReader::Sheet refused(const char *why)
{
    qCWarning(lcMeter) << "Not a readable .xls workbook:" << why;
    WorkbookReader::Sheet sheet;
    sheet.error = WorkbookReader::NotAWorkbook;
    return sheet;
}

} // namespace

WorkbookReader::Sheet XlsReader::read(const QByteArray &file, WorkbookReader::RowVisitor *visitor,
                                      int columns)
{
    CfbReader container;
    if (!container.open(file)) {
        qCWarning(lcMeter) << "Compound file:" << container.errorString();
        return refused("damaged compound file");
    }
    CfbReader::Stream stream;
    if (!container.stream(QStringLiteral("Workbook"), &stream))
        return refused("no BIFF8 workbook stream");

    Globals globals;
    {
        RecordReader records(stream, 0);
        if (!readGlobals(&records, &globals))
            return refused("damaged workbook globals");
    }
    WorkbookReader::Sheet sheet;
    if (globals.sheetOffsets.isEmpty()) {
        sheet.error = WorkbookReader::NoWorksheet;
        return sheet;
    }
    // The first worksheet, then those the visitor asks for, in the workbook's order.
    for (int index = 0; index < globals.sheetOffsets.size(); ++index) {
        if (index > 0 && !visitor->nextSheet())
            break;
        SheetReader reader(globals, columns);
        RecordReader records(stream, globals.sheetOffsets.at(index));
        const bool read = reader.read(&records, visitor);
        if (reader.cancelled() || (read && !reader.emitRows(visitor))) {
            sheet.error = WorkbookReader::Cancelled;
            return sheet;
        }
        if (!read)
            return refused("damaged worksheet");
        sheet.formulasWithoutResult += reader.formulasWithoutResult();
    }
    visitor->progress(stream.size(), stream.size());
    return sheet;
}
