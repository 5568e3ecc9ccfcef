#include "xlswriter.h"

#include "cfbwriter.h"
#include "safefile.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Record numbers.
enum : quint16 {
    recBof = 0x0809,
    recEof = 0x000A,
    recCodePage = 0x0042,
    recWriteAccess = 0x005C,
    recDsf = 0x0161,
    recTabId = 0x013D,
    recFnGroupCount = 0x009C,
    recWindowProtect = 0x0019,
    recProtect = 0x0012,
    recPassword = 0x0013,
    recProt4Rev = 0x01AF,
    recProt4RevPass = 0x01BC,
    recWindow1 = 0x003D,
    recBackup = 0x0040,
    recHideObj = 0x008D,
    recDateMode = 0x0022,
    recPrecision = 0x000E,
    recRefreshAll = 0x01B7,
    recBookBool = 0x00DA,
    recFont = 0x0031,
    recFormat = 0x041E,
    recXf = 0x00E0,
    recStyle = 0x0293,
    recBoundSheet = 0x0085,
    recCountry = 0x008C,
    recSst = 0x00FC,
    recContinue = 0x003C,
    recExtSst = 0x00FF,
    recIndex = 0x020B,
    recCalcMode = 0x000D,
    recCalcCount = 0x000C,
    recRefMode = 0x000F,
    recIteration = 0x0011,
    recDelta = 0x0010,
    recSaveRecalc = 0x005F,
    recPrintHeaders = 0x002A,
    recPrintGridlines = 0x002B,
    recGridSet = 0x0082,
    recGuts = 0x0080,
    recDefaultRowHeight = 0x0225,
    recWsBool = 0x0081,
    recHeader = 0x0014,
    recFooter = 0x0015,
    recHCenter = 0x0083,
    recVCenter = 0x0084,
    recDefColWidth = 0x0055,
    recColInfo = 0x007D,
    recDimensions = 0x0200,
    recRow = 0x0208,
    recNumber = 0x0203,
    recLabelSst = 0x00FD,
    recBlank = 0x0201,
    recDbCell = 0x00D7,
    recWindow2 = 0x023E,
};

constexpr int maxRecordData = 8224;
constexpr int rowRecordSize = 20;
constexpr int rowsPerBlock = 32;
constexpr int builtInStyles = 16;
constexpr int firstCustomFormat = 164;
constexpr int maxTextLength = 32767;
constexpr quint16 defaultRowHeight = 0x00FF; // twips, fits the default font
// Where a worksheet's INDEX record keeps its stream offsets: after the BOF record (4 + 16
// bytes) and the INDEX record's own header; the offsets start 12 bytes into its data.
constexpr int indexRecordAt = 20;
constexpr int indexDataAt = indexRecordAt + 4;
constexpr int copyChunk = 1 << 20;

// Little-endian payload of one record.
class Payload
{
public:
    Payload &u8(int v)
    {
        m_bytes.append(char(v & 0xFF));
        return *this;
    }
    Payload &u16(int v)
    {
        char b[2];
        qToLittleEndian(quint16(v), b);
        m_bytes.append(b, 2);
        return *this;
    }
    Payload &u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        m_bytes.append(b, 4);
        return *this;
    }
    Payload &f64(double v)
    {
        quint64 bits;
        memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        m_bytes.append(b, 8);
        return *this;
    }
    Payload &zeros(int n)
    {
        m_bytes.append(QByteArray(n, '\0'));
        return *this;
    }
    Payload &bytes(const QByteArray &b)
    {
        m_bytes.append(b);
        return *this;
    }
    const QByteArray &data() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

void put32(QByteArray &bytes, int offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void putRecord(QByteArray &out, quint16 id, const QByteArray &data = QByteArray())
{
    char head[4];
    qToLittleEndian(id, head);
    qToLittleEndian(quint16(data.size()), head + 2);
    out.append(head, 4);
    out.append(data);
}

bool fitsInOneByte(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; });
}

// The characters of a string, one byte each when they all fit, else UTF-16LE.
QByteArray characters(const QString &text, bool compressed)
{
    QByteArray bytes;
    bytes.reserve(text.size() * (compressed ? 1 : 2));
    for (QChar c : text) {
        if (compressed) {
            bytes.append(char(c.unicode()));
        } else {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
    }
    return bytes;
}

// A string with an 8-bit (short) or 16-bit length, then the flag byte and the characters.
QByteArray unicodeString(const QString &text, bool shortLength)
{
    const bool compressed = fitsInOneByte(text);
    Payload p;
    if (shortLength)
        p.u8(text.size());
    else
        p.u16(text.size());
    p.u8(compressed ? 0 : 1).bytes(characters(text, compressed));
    return p.data();
}

QByteArray bof(int type)
{
    return Payload().u16(0x0600).u16(type).u16(0x0DBB).u16(0x07CC).u32(0).u32(6).data();
}

QByteArray xf(int font, int format, bool style, int attributeFlags)
{
    return Payload()
        .u16(font)
        .u16(format)
        .u16(style ? 0xFFF5 : 0x0001) // locked; a style has no parent, a cell has style 0
        .u8(0x20) // general alignment, bottom
        .u8(0) // no rotation
        .u8(0)
        .u8(attributeFlags)
        .zeros(8) // no borders
        .u16(0x20C0) // pattern colours: window text on window background
        .data();
}

int builtInFormat(const QString &format)
{
    if (format.isEmpty() || format.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return 0;
    if (format == QLatin1String("0"))
        return 1;
    if (format == QLatin1String("0.00"))
        return 2;
    if (format == QLatin1String("@"))
        return 49;
    return -1;
}

} // namespace

XlsWriter::XlsWriter(const QString &sheetName, const QString &spillFolder)
    : m_sheetName(sheetName.left(31))
    , m_spillFolder(spillFolder)
{
    if (m_sheetName.isEmpty())
        m_sheetName = QStringLiteral("Sheet1");
}

XlsWriter::~XlsWriter() = default;

bool XlsWriter::addSheet(const QString &name)
{
    static const QString forbidden = QStringLiteral("[]:*?/\\");
    if (name.isEmpty() || name.size() > 31
        || std::any_of(name.cbegin(), name.cend(), [](QChar c) { return forbidden.contains(c); }))
        return false;
    if (name.compare(m_sheetName, Qt::CaseInsensitive) == 0)
        return false;
    for (const Closed &closed : qAsConst(m_closed)) {
        if (closed.name.compare(name, Qt::CaseInsensitive) == 0)
            return false;
    }
    quint32 textCells = 0;
    if (!keepClosed(sheetSubstream(&textCells)))
        return false;
    m_closed.last().name = m_sheetName;
    m_closedTextCells += textCells;
    m_rows.clear();
    m_widths.clear();
    m_sheetName = name;
    return true;
}

bool XlsWriter::keepClosed(const QByteArray &records)
{
    const qint64 at = m_spill ? m_spill->size() : m_closedBytes.size();
    if (m_spillFolder.isEmpty()) {
        m_closedBytes.append(records);
    } else {
        if (!m_spill) {
            m_spill = std::make_unique<QTemporaryFile>(m_spillFolder
                                                       + QStringLiteral("/.sheets-XXXXXX.part"));
            if (!m_spill->open())
                return false;
        }
        if (!m_spill->seek(at) || m_spill->write(records) != records.size() || !m_spill->flush())
            return false;
    }
    m_closed.append({QString(), at, records.size()});
    return true;
}

bool XlsWriter::readClosed(const Closed &sheet, qint64 from, qint64 size, char *out) const
{
    if (!m_spill) {
        memcpy(out, m_closedBytes.constData() + sheet.at + from, size_t(size));
        return true;
    }
    return m_spill->seek(sheet.at + from) && m_spill->read(out, size) == size;
}

int XlsWriter::styleForFormat(const QString &format)
{
    const auto known = m_formatStyles.constFind(format);
    if (known != m_formatStyles.constEnd())
        return known.value();
    int number = builtInFormat(format);
    if (number == 0) {
        m_formatStyles.insert(format, generalStyle);
        return generalStyle;
    }
    if (number < 0) {
        number = firstCustomFormat + m_formats.size();
        m_formats.append(format);
    }
    m_styleFormats.append(number);
    const int style = builtInStyles + m_styleFormats.size() - 1;
    m_formatStyles.insert(format, style);
    return style;
}

bool XlsWriter::putCell(int row, const Cell &cell)
{
    if (row < 0 || row >= maxRows || cell.column >= maxColumns)
        return false;
    if (cell.style != generalStyle
        && (cell.style < builtInStyles || cell.style >= builtInStyles + m_styleFormats.size()))
        return false;
    m_rows[row].append(cell);
    return true;
}

bool XlsWriter::setNumber(int row, int column, double value, int style)
{
    if (column < 0 || column >= maxColumns || !std::isfinite(value))
        return false;
    return putCell(row, {quint16(column), quint16(style), Number, value});
}

bool XlsWriter::setText(int row, int column, const QString &text, int style)
{
    if (column < 0 || column >= maxColumns || row < 0 || row >= maxRows)
        return false;
    // Longer texts do not fit a cell; keep what fits rather than lose the cell.
    const QString kept = text.left(maxTextLength);
    auto found = m_stringIndex.constFind(kept);
    int index;
    if (found == m_stringIndex.constEnd()) {
        index = m_strings.size();
        m_strings.append(kept);
        m_stringIndex.insert(kept, index);
    } else {
        index = found.value();
    }
    return putCell(row, {quint16(column), quint16(style), Text, double(index)});
}

bool XlsWriter::setBlank(int row, int column, int style)
{
    if (column < 0 || column >= maxColumns)
        return false;
    return putCell(row, {quint16(column), quint16(style), Blank, 0.0});
}

void XlsWriter::setColumnWidth(int column, double characters)
{
    if (column < 0 || column >= maxColumns)
        return;
    if (characters <= 0)
        m_widths.remove(column);
    else
        m_widths.insert(column, std::min(characters, 255.0));
}

int XlsWriter::rowCount() const
{
    return m_rows.isEmpty() ? 0 : m_rows.lastKey() + 1;
}

QByteArray XlsWriter::globalsSubstream(quint32 currentTextCells,
                                       QVector<int> *sheetOffsetFields) const
{
    QByteArray out;
    putRecord(out, recBof, bof(0x0005));
    // The name of whoever saved the file: left blank, padded to its fixed size.
    putRecord(out, recWriteAccess,
              Payload().bytes(unicodeString(QString(), false)).bytes(QByteArray(109, ' ')).data());
    putRecord(out, recCodePage, Payload().u16(1200).data()); // texts are Unicode
    putRecord(out, recDsf, Payload().u16(0).data());
    putRecord(out, recTabId, Payload().u16(1).data());
    putRecord(out, recFnGroupCount, Payload().u16(14).data());
    putRecord(out, recWindowProtect, Payload().u16(0).data());
    putRecord(out, recProtect, Payload().u16(0).data());
    putRecord(out, recPassword, Payload().u16(0).data());
    putRecord(out, recProt4Rev, Payload().u16(0).data());
    putRecord(out, recProt4RevPass, Payload().u16(0).data());
    putRecord(out, recWindow1,
              Payload()
                  .u16(0x0168)
                  .u16(0x001E)
                  .u16(0x3A5C)
                  .u16(0x23BE)
                  .u16(0x0038)
                  .u16(0)
                  .u16(0)
                  .u16(1)
                  .u16(0x0258)
                  .data());
    putRecord(out, recBackup, Payload().u16(0).data());
    putRecord(out, recHideObj, Payload().u16(0).data());
    putRecord(out, recDateMode, Payload().u16(0).data()); // serials count from 1899-12-30
    putRecord(out, recPrecision, Payload().u16(1).data());
    putRecord(out, recRefreshAll, Payload().u16(0).data());
    putRecord(out, recBookBool, Payload().u16(0).data());
    const QByteArray font = Payload()
                                .u16(200) // 10 point
                                .u16(0)
                                .u16(0x7FFF) // automatic colour
                                .u16(400) // normal weight
                                .u16(0)
                                .u8(0)
                                .u8(0)
                                .u8(0)
                                .u8(0)
                                .bytes(unicodeString(QStringLiteral("Arial"), true))
                                .data();
    // Four fonts: font number 4 does not exist in this format, so readers expect 0 to 3.
    for (int i = 0; i < 4; ++i)
        putRecord(out, recFont, font);
    for (int i = 0; i < m_formats.size(); ++i) {
        putRecord(out, recFormat,
                  Payload()
                      .u16(firstCustomFormat + i)
                      .bytes(unicodeString(m_formats.at(i), false))
                      .data());
    }
    putRecord(out, recXf, xf(0, 0, true, 0x00));
    for (int i = 1; i < generalStyle; ++i)
        putRecord(out, recXf, xf(0, 0, true, 0xF4));
    putRecord(out, recXf, xf(0, 0, false, 0x00));
    for (int format : m_styleFormats)
        putRecord(out, recXf, xf(0, format, false, 0x04)); // the number format is its own
    putRecord(out, recStyle, Payload().u16(0x8000).u8(0).u8(0xFF).data()); // "Normal"

    QStringList names;
    for (const Closed &closed : m_closed)
        names << closed.name;
    names << m_sheetName;
    for (const QString &name : qAsConst(names)) {
        sheetOffsetFields->append(out.size() + 4);
        putRecord(out, recBoundSheet,
                  Payload().u32(0).u8(0).u8(0).bytes(unicodeString(name, true)).data());
    }
    putRecord(out, recCountry, Payload().u16(1).u16(1).data());

    // Shared strings, continued in further records when they outgrow one; a string's
    // characters may break across records, and the continuation repeats the flag byte.
    const quint32 references = m_closedTextCells + currentTextCells;
    const int bucketSize = std::max(8, (m_strings.size() + 127) / 128);
    Payload extSst;
    extSst.u16(bucketSize);
    int recordStart = out.size();
    quint16 recordId = recSst;
    QByteArray current = Payload().u32(references).u32(quint32(m_strings.size())).data();
    auto flush = [&]() {
        putRecord(out, recordId, current);
        recordId = recContinue;
        current.clear();
        recordStart = out.size();
    };
    for (int i = 0; i < m_strings.size(); ++i) {
        const QString &text = m_strings.at(i);
        const bool compressed = fitsInOneByte(text);
        const int unit = compressed ? 1 : 2;
        if (current.size() + 3 + (text.isEmpty() ? 0 : unit) > maxRecordData)
            flush();
        if (i % bucketSize == 0) {
            extSst.u32(quint32(recordStart + 4 + current.size())).u16(4 + current.size()).u16(0);
        }
        current.append(Payload().u16(text.size()).u8(compressed ? 0 : 1).data());
        const QByteArray chars = characters(text, compressed);
        int done = 0;
        while (done < chars.size()) {
            int room = (maxRecordData - current.size()) / unit * unit;
            if (room == 0) {
                flush();
                current.append(char(compressed ? 0 : 1));
                room = (maxRecordData - 1) / unit * unit;
            }
            const int n = std::min(room, int(chars.size()) - done);
            current.append(chars.constData() + done, n);
            done += n;
        }
    }
    flush();
    putRecord(out, recExtSst, extSst.data());
    putRecord(out, recEof);
    return out;
}

QByteArray XlsWriter::sheetSubstream(quint32 *textCells) const
{
    // Offsets are counted from the substream's start; writeStream() moves them to its place.
    const quint32 streamOffset = 0;
    *textCells = 0;
    // The rows in order, each with its cells ordered by column; a cell set twice keeps the
    // later value.
    struct Row
    {
        int number;
        QVector<Cell> cells;
    };
    QVector<Row> rows;
    rows.reserve(m_rows.size());
    int firstColumn = maxColumns;
    int lastColumn = -1;
    for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it) {
        QVector<Cell> cells = it.value();
        std::stable_sort(cells.begin(), cells.end(),
                         [](const Cell &a, const Cell &b) { return a.column < b.column; });
        QVector<Cell> unique;
        unique.reserve(cells.size());
        for (const Cell &cell : qAsConst(cells)) {
            if (!unique.isEmpty() && unique.last().column == cell.column)
                unique.last() = cell;
            else
                unique.append(cell);
        }
        for (const Cell &cell : qAsConst(unique))
            *textCells += cell.kind == Text ? 1 : 0;
        firstColumn = std::min(firstColumn, int(unique.first().column));
        lastColumn = std::max(lastColumn, int(unique.last().column));
        rows.append({it.key(), unique});
    }
    // Blocks of up to 32 rows (by row number), each closed by a DBCELL record that the
    // INDEX record points at.
    QVector<QPair<int, int>> blocks; // first index into rows, count
    for (int i = 0; i < rows.size(); ++i) {
        if (blocks.isEmpty()
            || rows.at(i).number / rowsPerBlock
                != rows.at(blocks.last().first).number / rowsPerBlock)
            blocks.append({i, 0});
        ++blocks.last().second;
    }

    QByteArray out;
    putRecord(out, recBof, bof(0x0010));
    const int indexData = out.size() + 4;
    {
        Payload index;
        index.u32(0);
        index.u32(rows.isEmpty() ? 0 : quint32(rows.first().number));
        index.u32(rows.isEmpty() ? 0 : quint32(rows.last().number + 1));
        index.u32(0); // the DEFCOLWIDTH position, filled in below
        index.zeros(4 * blocks.size());
        putRecord(out, recIndex, index.data());
    }
    putRecord(out, recCalcMode, Payload().u16(1).data());
    putRecord(out, recCalcCount, Payload().u16(100).data());
    putRecord(out, recRefMode, Payload().u16(1).data());
    putRecord(out, recIteration, Payload().u16(0).data());
    putRecord(out, recDelta, Payload().f64(0.001).data());
    putRecord(out, recSaveRecalc, Payload().u16(1).data());
    putRecord(out, recPrintHeaders, Payload().u16(0).data());
    putRecord(out, recPrintGridlines, Payload().u16(0).data());
    putRecord(out, recGridSet, Payload().u16(1).data());
    putRecord(out, recGuts, Payload().zeros(8).data());
    putRecord(out, recDefaultRowHeight, Payload().u16(0).u16(defaultRowHeight).data());
    putRecord(out, recWsBool, Payload().u16(0x04C1).data());
    putRecord(out, recHeader);
    putRecord(out, recFooter);
    putRecord(out, recHCenter, Payload().u16(0).data());
    putRecord(out, recVCenter, Payload().u16(0).data());
    put32(out, indexData + 12, streamOffset + quint32(out.size()));
    putRecord(out, recDefColWidth, Payload().u16(8).data());
    for (auto it = m_widths.cbegin(); it != m_widths.cend(); ++it) {
        putRecord(out, recColInfo,
                  Payload()
                      .u16(it.key())
                      .u16(it.key())
                      .u16(int(std::lround(it.value() * 256)))
                      .u16(generalStyle)
                      .u16(0)
                      .u16(0)
                      .data());
    }
    putRecord(out, recDimensions,
              Payload()
                  .u32(rows.isEmpty() ? 0 : quint32(rows.first().number))
                  .u32(rows.isEmpty() ? 0 : quint32(rows.last().number + 1))
                  .u16(rows.isEmpty() ? 0 : firstColumn)
                  .u16(rows.isEmpty() ? 0 : lastColumn + 1)
                  .u16(0)
                  .data());

    for (int b = 0; b < blocks.size(); ++b) {
        const int first = blocks.at(b).first;
        const int count = blocks.at(b).second;
        const int firstRowRecord = out.size();
        for (int i = first; i < first + count; ++i) {
            const Row &row = rows.at(i);
            putRecord(out, recRow,
                      Payload()
                          .u16(row.number)
                          .u16(row.cells.first().column)
                          .u16(row.cells.last().column + 1)
                          .u16(defaultRowHeight)
                          .u16(0)
                          .u16(0)
                          .u32(0x000F0100) // height follows the font; default style
                          .data());
        }
        QVector<int> cellStarts;
        for (int i = first; i < first + count; ++i) {
            const Row &row = rows.at(i);
            cellStarts.append(out.size());
            for (const Cell &cell : row.cells) {
                Payload p;
                p.u16(row.number).u16(cell.column).u16(cell.style);
                switch (cell.kind) {
                case Number:
                    putRecord(out, recNumber, p.f64(cell.number).data());
                    break;
                case Text:
                    putRecord(out, recLabelSst, p.u32(quint32(cell.number)).data());
                    break;
                case Blank:
                    putRecord(out, recBlank, p.data());
                    break;
                }
            }
        }
        const int dbCell = out.size();
        Payload offsets;
        offsets.u32(quint32(dbCell - firstRowRecord));
        offsets.u16(cellStarts.first() - (firstRowRecord + rowRecordSize));
        for (int i = 1; i < cellStarts.size(); ++i)
            offsets.u16(cellStarts.at(i) - cellStarts.at(i - 1));
        putRecord(out, recDbCell, offsets.data());
        put32(out, indexData + 16 + 4 * b, streamOffset + quint32(dbCell));
    }

    putRecord(out, recWindow2,
              Payload().u16(0x06B6).u16(0).u16(0).u16(64).u16(0).u16(0).u16(0).u32(0).data());
    putRecord(out, recEof);
    return out;
}

qint64 XlsWriter::streamSize(const QByteArray &globals, const QByteArray &current) const
{
    qint64 size = globals.size() + current.size();
    for (const Closed &closed : m_closed)
        size += closed.size;
    return std::max<qint64>(size, CfbWriter::miniStreamCutoff);
}

bool XlsWriter::writeStream(QIODevice *device, const QByteArray &globals, const QByteArray &current,
                            const Progress &progress) const
{
    const qint64 total = streamSize(globals, current);
    qint64 written = 0;
    auto put = [&](const char *data, qint64 size) {
        if (device->write(data, size) != size)
            return false;
        written += size;
        return !progress || progress(written, total);
    };
    if (!put(globals.constData(), globals.size()))
        return false;

    // Each worksheet starts with its BOF and INDEX records; the INDEX offsets point into the
    // stream, so they are moved by where the worksheet lands.
    QByteArray head;
    QByteArray chunk;
    const int sheets = m_closed.size() + 1;
    for (int i = 0; i < sheets; ++i) {
        const bool isCurrent = i == m_closed.size();
        const Closed sheet = isCurrent ? Closed {m_sheetName, 0, current.size()} : m_closed.at(i);
        auto read = [&](qint64 from, qint64 size, char *out) {
            if (isCurrent) {
                memcpy(out, current.constData() + from, size_t(size));
                return true;
            }
            return readClosed(sheet, from, size, out);
        };
        const quint32 base = quint32(written);
        head.resize(indexDataAt);
        if (!read(0, indexDataAt, head.data()))
            return false;
        const int indexSize = qFromLittleEndian<quint16>(head.constData() + indexRecordAt + 2);
        head.resize(indexDataAt + indexSize);
        if (indexSize < 16 || !read(indexDataAt, indexSize, head.data() + indexDataAt))
            return false;
        for (int field = 12; field + 4 <= indexSize; field += 4) {
            if (field == 4 || field == 8)
                continue;
            char *at = head.data() + indexDataAt + field;
            qToLittleEndian(qFromLittleEndian<quint32>(at) + base, at);
        }
        if (!put(head.constData(), head.size()))
            return false;
        for (qint64 from = head.size(); from < sheet.size; from += copyChunk) {
            const qint64 n = std::min<qint64>(copyChunk, sheet.size - from);
            chunk.resize(int(n));
            if (!read(from, n, chunk.data()) || !put(chunk.constData(), n))
                return false;
        }
    }
    // A stream below the cutoff would be stored in the mini stream, where some readers do
    // not look for a workbook; zeros after the last end record are passed over.
    if (written < total) {
        const QByteArray zeros(int(total - written), '\0');
        if (!put(zeros.constData(), zeros.size()))
            return false;
    }
    return written == total;
}

qint64 XlsWriter::layOutStream(QByteArray *globals, QByteArray *current) const
{
    quint32 textCells = 0;
    *current = sheetSubstream(&textCells);
    QVector<int> offsetFields;
    *globals = globalsSubstream(textCells, &offsetFields);
    qint64 at = globals->size();
    for (int i = 0; i < offsetFields.size(); ++i) {
        put32(*globals, offsetFields.at(i), quint32(at));
        at += i < m_closed.size() ? m_closed.at(i).size : current->size();
    }
    return at;
}

QByteArray XlsWriter::workbookStream() const
{
    QByteArray globals;
    QByteArray current;
    const qint64 at = layOutStream(&globals, &current);
    QByteArray stream;
    QBuffer buffer(&stream);
    buffer.open(QIODevice::WriteOnly);
    if (at > maxStreamBytes || !writeStream(&buffer, globals, current, {}))
        return QByteArray();
    return stream;
}

QByteArray XlsWriter::fileBytes() const
{
    CfbWriter file;
    file.addStream(QStringLiteral("Workbook"), workbookStream());
    return file.toByteArray();
}

bool XlsWriter::save(const QString &fileName, const Progress &progress) const
{
    QByteArray globals;
    QByteArray current;
    const qint64 at = layOutStream(&globals, &current);
    if (at > maxStreamBytes)
        return false;
    if (m_spill && !m_spill->flush())
        return false;

    SafeFile file(fileName);
    if (!file.open())
        return false;
    CfbWriter container;
    container.addStream(
        QStringLiteral("Workbook"), streamSize(globals, current),
        [&](QIODevice *device) { return writeStream(device, globals, current, progress); });
    if (!container.write(file.device()))
        return false;
    return file.commit();
}
