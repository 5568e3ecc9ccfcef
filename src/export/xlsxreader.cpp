#include "xlsxreader.h"

#include "columnwindow.h"
#include "meterlog.h"
#include "rowcells.h"
#include "sheetlayout.h"

#include <QDir>
#include <QHash>
#include <QIODevice>
#include <QXmlStreamReader>

#include <unzip.h>

#include <functional>

namespace {

constexpr int xlsxRows = 1048576;
constexpr int xlsxColumns = 16384;
constexpr int chunkSize = 1 << 16;
constexpr int maxCellCharacters = 1 << 16;
constexpr double date1904Offset = 1462.0;
constexpr int stringOverhead = 32;

// minizip reads the archive through these, from whatever device holds it.
voidpf ZCALLBACK openDevice(voidpf opaque, const void *, int)
{
    return opaque;
}

uLong ZCALLBACK readDevice(voidpf, voidpf stream, void *buffer, uLong size)
{
    const qint64 n
        = static_cast<QIODevice *>(stream)->read(static_cast<char *>(buffer), qint64(size));
    return n < 0 ? 0 : uLong(n);
}

uLong ZCALLBACK writeDevice(voidpf, voidpf, const void *, uLong)
{
    return 0;
}

ZPOS64_T ZCALLBACK tellDevice(voidpf, voidpf stream)
{
    return ZPOS64_T(static_cast<QIODevice *>(stream)->pos());
}

long ZCALLBACK seekDevice(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto *device = static_cast<QIODevice *>(stream);
    qint64 target = qint64(offset);
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        target += device->pos();
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        target += device->size();
    return target >= 0 && target <= device->size() && device->seek(target) ? 0 : -1;
}

int ZCALLBACK closeDevice(voidpf, voidpf)
{
    return 0; // the device belongs to the caller
}

int ZCALLBACK deviceError(voidpf, voidpf)
{
    return 0;
}

using TokenHandler = std::function<bool(const QXmlStreamReader &)>;

// The parts of an .xlsx package. Read through minizip, the zip library the .xlsx writer
// already brings along: a second copy of the same zip functions in one process (as bundled
// by other zip wrappers) would bind the writer's calls to the wrong one.
class ZipPackage
{
public:
    explicit ZipPackage(QIODevice *device)
        : m_device(device)
    {
        zlib_filefunc64_def functions = {};
        functions.zopen64_file = openDevice;
        functions.zread_file = readDevice;
        functions.zwrite_file = writeDevice;
        functions.ztell64_file = tellDevice;
        functions.zseek64_file = seekDevice;
        functions.zclose_file = closeDevice;
        functions.zerror_file = deviceError;
        functions.opaque = device;
        m_zip = unzOpen2_64("", &functions);
    }
    ~ZipPackage()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    bool has(const QString &name) const
    {
        return unzLocateFile(m_zip, name.toUtf8().constData(), 2) == UNZ_OK;
    }

    // Inflates a part (names compare without regard to case) in pieces into an XML stream
    // reader and hands every token to the handler. False for a missing, encrypted or damaged
    // part (the checksum is verified at the end), malformed XML, a part beyond maxBytes, a
    // token beyond the reader's bound, or a handler that returns false.
    // `onPiece`, when given, is called after each piece and may stop the reading (false).
    bool parse(const QString &name, qint64 maxBytes, const TokenHandler &handler,
               const std::function<bool()> &onPiece = {});
    QIODevice *device() const { return m_device; }

private:
    unzFile m_zip = nullptr;
    QIODevice *m_device;
};

bool ZipPackage::parse(const QString &name, qint64 maxBytes, const TokenHandler &handler,
                       const std::function<bool()> &onPiece)
{
    unz_file_info64 info;
    if (unzLocateFile(m_zip, name.toUtf8().constData(), 2) != UNZ_OK
        || unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if ((info.flag & 1) != 0 || info.uncompressed_size > quint64(maxBytes)) {
        qCWarning(lcMeter) << "Refused part" << name << "of" << info.uncompressed_size << "bytes";
        return false;
    }
    if (unzOpenCurrentFile(m_zip) != UNZ_OK)
        return false;

    QXmlStreamReader xml;
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    qint64 total = 0;
    qint64 sinceToken = 0;
    int depth = 0;
    bool rootSeen = false;
    bool ok = true;
    bool ended = false;
    while (ok && !ended) {
        const int n = unzReadCurrentFile(m_zip, chunk.data(), chunkSize);
        if (n <= 0) {
            // The reader cannot know that nothing follows the root element's end.
            ok = n == 0;
            ended = rootSeen && depth == 0;
            break;
        }
        total += n;
        sinceToken += n;
        if (total > maxBytes || sinceToken > XlsxReader::maxTokenBytes) {
            ok = false;
            break;
        }
        xml.addData(QByteArray::fromRawData(chunk.constData(), n));
        while (ok) {
            const QXmlStreamReader::TokenType token = xml.readNext();
            if (token == QXmlStreamReader::Invalid)
                break;
            sinceToken = 0;
            if (token == QXmlStreamReader::StartElement) {
                ok = ++depth <= XlsxReader::maxDepth;
                rootSeen = true;
            } else if (token == QXmlStreamReader::EndElement) {
                --depth;
            } else if (token == QXmlStreamReader::EndDocument) {
                ended = true;
                break;
            }
            ok = ok && handler(xml);
        }
        if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            ok = false;
        if (ok && onPiece && !onPiece())
            ok = false;
    }
    const bool closed = unzCloseCurrentFile(m_zip) == UNZ_OK;
    if (!ok || !ended || !closed) {
        qCWarning(lcMeter) << "Damaged or oversized part" << name << xml.errorString();
        return false;
    }
    return true;
}

struct Relationship
{
    QString type;
    QString target;
};

QString resolvePart(const QString &baseDir, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(baseDir.isEmpty() ? target : baseDir + QLatin1Char('/') + target);
}

// Relationship id -> type and resolved part name.
bool readRelationships(ZipPackage &zip, const QString &part, const QString &baseDir,
                       QHash<QString, Relationship> *relationships)
{
    return zip.parse(part, XlsxReader::maxPartBytes, [&](const QXmlStreamReader &xml) {
        if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
            return true;
        const QXmlStreamAttributes a = xml.attributes();
        if (a.value(QLatin1String("TargetMode")) != QLatin1String("External")) {
            relationships->insert(
                a.value(QLatin1String("Id")).toString(),
                {a.value(QLatin1String("Type")).toString(),
                 resolvePart(baseDir, a.value(QLatin1String("Target")).toString())});
        }
        return true;
    });
}

QString partOfType(const QHash<QString, Relationship> &relationships, const QString &typeEnd)
{
    for (const Relationship &r : relationships) {
        if (r.type.endsWith(typeEnd))
            return r.target;
    }
    return QString();
}

// The texts of <si> or <is>: their <t> runs, without phonetic runs (<rPh>).
class RichText
{
public:
    void start()
    {
        m_text.clear();
        m_inT = false;
        m_phonetic = 0;
    }
    // False when the text grows beyond any cell's.
    bool token(const QXmlStreamReader &xml)
    {
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++m_phonetic;
            else if (xml.name() == QLatin1String("t"))
                m_inT = m_phonetic == 0;
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --m_phonetic;
            else if (xml.name() == QLatin1String("t"))
                m_inT = false;
        } else if (xml.isCharacters() && m_inT) {
            m_text += xml.text();
            return m_text.size() <= maxCellCharacters;
        }
        return true;
    }
    const QString &text() const { return m_text; }

private:
    QString m_text;
    bool m_inT = false;
    int m_phonetic = 0;
};

bool readSharedStrings(ZipPackage &zip, const QString &part, QVector<QString> *strings)
{
    RichText text;
    bool inString = false;
    qint64 used = 0;
    return zip.parse(part, XlsxReader::maxSharedStringsBytes, [&](const QXmlStreamReader &xml) {
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            inString = true;
            text.start();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("si")) {
            inString = false;
            used += 2 * qint64(text.text().size()) + stringOverhead;
            if (used > XlsxReader::maxStringBytes)
                return false;
            strings->append(text.text());
        } else if (inString) {
            return text.token(xml);
        }
        return true;
    });
}

// Whether each cell style (index into cellXfs) shows a date or time.
bool readDateStyles(ZipPackage &zip, const QString &part, QVector<bool> *dateStyles)
{
    QHash<int, QString> formats;
    QVector<int> styleFormats;
    bool inCellXfs = false;
    const bool ok = zip.parse(part, XlsxReader::maxPartBytes, [&](const QXmlStreamReader &xml) {
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("numFmt")) {
                const QXmlStreamAttributes a = xml.attributes();
                formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                               a.value(QLatin1String("formatCode")).toString());
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                styleFormats.append(xml.attributes().value(QLatin1String("numFmtId")).toInt());
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
        return true;
    });
    // The formats may come after the styles that use them.
    for (int id : qAsConst(styleFormats))
        dateStyles->append(WorkbookReader::isDateFormat(id, formats.value(id)));
    return ok;
}

// "BC12" -> column 54 (from 0); false for a malformed reference.
bool parseReference(const QStringRef &reference, int *column)
{
    int i = 0;
    int c = 0;
    while (i < reference.size() && reference.at(i).isLetter()) {
        const ushort letter = reference.at(i).toUpper().unicode();
        if (letter < 'A' || letter > 'Z')
            return false;
        c = c * 26 + (letter - 'A' + 1);
        if (c > xlsxColumns)
            return false;
        ++i;
    }
    bool ok = false;
    const int r = reference.mid(i).toInt(&ok);
    if (i == 0 || !ok || r < 1 || r > xlsxRows)
        return false;
    *column = c - 1;
    return true;
}

// A date-time as written in a "d" cell, kept as its wall-clock digits.
QVariant isoDate(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QDate date = QDate::fromString(trimmed.left(10), Qt::ISODate);
    QTime time(0, 0);
    if (trimmed.size() > 11)
        time = QTime::fromString(trimmed.mid(11, 12).remove(QLatin1Char('Z')), Qt::ISODateWithMs);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

// The cells of the worksheet, row by row, as a state machine over the XML tokens (the part
// arrives in pieces, so no token may be read ahead).
class SheetParser
{
public:
    SheetParser(const QVector<QString> &strings, const QVector<bool> &dateStyles, bool date1904,
                int columns, WorkbookReader::RowVisitor *visitor)
        : m_strings(strings)
        , m_dateStyles(dateStyles)
        , m_date1904(date1904)
        , m_window(columns, xlsxColumns)
        , m_visitor(visitor)
    {
    }

    // The first reading moves the window left as cells turn up; when that happens after
    // rows were given, the reading goes on without giving rows, and a second one starts at
    // the column found.
    void startSecondReading()
    {
        m_window.fix(m_window.first());
        m_secondReading = true;
        m_restartNeeded = false;
        m_rowsGiven = 0;
        m_inSheetData = m_inRow = m_inCell = false;
        m_lastRow = -1;
    }
    bool restartNeeded() const { return m_restartNeeded; }
    int formulasWithoutResult() const { return m_window.formulasWithoutResult(); }

    bool token(const QXmlStreamReader &xml);

private:
    enum CellType { Number, Shared, Inline, Text, Boolean, Error, Date };

    bool startRow(const QXmlStreamReader &xml);
    bool startCell(const QXmlStreamReader &xml);
    bool endCell();
    void endRow();

    const QVector<QString> &m_strings;
    const QVector<bool> &m_dateStyles;
    bool m_date1904;
    ColumnWindow m_window;
    WorkbookReader::RowVisitor *m_visitor;
    bool m_secondReading = false;
    bool m_restartNeeded = false;
    int m_rowsGiven = 0;

    bool m_inSheetData = false;
    bool m_inRow = false;
    int m_row = -1;
    int m_lastRow = -1;
    int m_nextColumn = 0;
    RowCells m_cells;
    QVector<QVariant> m_slots;

    bool m_inCell = false;
    int m_column = 0;
    CellType m_type = Number;
    int m_style = 0;
    bool m_keep = false; // the value may be read
    bool m_hasValue = false;
    bool m_hasFormula = false;
    bool m_inValue = false;
    bool m_inInline = false;
    bool m_hadInline = false;
    QString m_value;
    RichText m_inline;
};

bool SheetParser::token(const QXmlStreamReader &xml)
{
    if (xml.isStartElement()) {
        const QStringRef name = xml.name();
        if (m_inCell) {
            if (m_inInline)
                return m_inline.token(xml);
            if (name == QLatin1String("v")) {
                m_inValue = true;
                m_hasValue = true;
                m_value.clear();
            } else if (name == QLatin1String("f")) {
                m_hasFormula = true;
            } else if (name == QLatin1String("is")) {
                m_inInline = m_hadInline = true;
                m_hasValue = true;
                m_inline.start();
            }
        } else if (m_inRow) {
            if (name == QLatin1String("c"))
                return startCell(xml);
        } else if (m_inSheetData) {
            if (name == QLatin1String("row"))
                return startRow(xml);
        } else if (name == QLatin1String("sheetData")) {
            m_inSheetData = true;
        }
    } else if (xml.isEndElement()) {
        const QStringRef name = xml.name();
        if (m_inInline) {
            if (name == QLatin1String("is"))
                m_inInline = false;
            else
                return m_inline.token(xml);
        } else if (m_inValue && name == QLatin1String("v")) {
            m_inValue = false;
        } else if (m_inCell && name == QLatin1String("c")) {
            return endCell();
        } else if (m_inRow && !m_inCell && name == QLatin1String("row")) {
            endRow();
        } else if (name == QLatin1String("sheetData")) {
            m_inSheetData = false;
        }
    } else if (xml.isCharacters()) {
        if (m_inInline)
            return !m_keep || m_inline.token(xml);
        if (m_inValue && m_keep) {
            m_value += xml.text();
            return m_value.size() <= maxCellCharacters;
        }
    }
    return true;
}

bool SheetParser::startRow(const QXmlStreamReader &xml)
{
    // Rows come in ascending order; a row without a number follows the one before.
    const QStringRef r = xml.attributes().value(QLatin1String("r"));
    int number = m_lastRow + 1;
    if (!r.isEmpty()) {
        bool ok = false;
        number = r.toInt(&ok) - 1;
        if (!ok)
            return false;
    }
    if (number <= m_lastRow || number >= xlsxRows)
        return false;
    m_row = m_lastRow = number;
    m_inRow = true;
    m_nextColumn = 0;
    m_cells.clear();
    return true;
}

bool SheetParser::startCell(const QXmlStreamReader &xml)
{
    const QXmlStreamAttributes a = xml.attributes();
    int column = m_nextColumn;
    const QStringRef reference = a.value(QLatin1String("r"));
    if (!reference.isEmpty() && !parseReference(reference, &column))
        return false;
    if (column >= xlsxColumns)
        return false;
    m_nextColumn = column + 1;
    m_column = column;
    const QStringRef t = a.value(QLatin1String("t"));
    m_type = t.isEmpty() || t == QLatin1String("n") ? Number
        : t == QLatin1String("s")                   ? Shared
        : t == QLatin1String("inlineStr")           ? Inline
        : t == QLatin1String("str")                 ? Text
        : t == QLatin1String("b")                   ? Boolean
        : t == QLatin1String("d")                   ? Date
                                                    : Error;
    m_style = a.value(QLatin1String("s")).toInt();
    m_keep = m_window.mayBeRead(column);
    m_inCell = true;
    m_hasValue = m_hasFormula = m_inValue = m_inInline = m_hadInline = false;
    m_value.clear();
    return true;
}

bool SheetParser::endCell()
{
    m_inCell = false;
    if (!m_keep) {
        // Right of the window: it can no longer be read, but its row holds something.
        if (m_hasValue)
            m_cells.markBeyond();
        return true;
    }
    if (m_hasFormula && !m_hasValue) {
        if (!m_secondReading)
            m_window.noteFormulaWithoutResult(m_column);
        return true;
    }
    if (!m_hasValue)
        return true;
    QVariant value;
    switch (m_type) {
    case Shared: {
        bool ok = false;
        const int index = m_value.toInt(&ok);
        if (!ok || index < 0 || index >= m_strings.size())
            return false;
        value = m_strings.at(index);
        break;
    }
    case Inline:
        value = m_hadInline ? m_inline.text() : m_value;
        break;
    case Text:
        value = m_value;
        break;
    case Boolean:
        value = m_value.trimmed() == QLatin1String("1");
        break;
    case Date:
        value = isoDate(m_value);
        break;
    case Error:
        break; // error values read as blanks
    case Number: {
        if (m_value.trimmed().isEmpty())
            break;
        bool ok = false;
        const double number = m_value.toDouble(&ok);
        if (!ok)
            return false;
        if (m_style >= 0 && m_style < m_dateStyles.size() && m_dateStyles.at(m_style))
            value = SheetLayout::fromSerial(m_date1904 ? number + date1904Offset : number);
        else
            value = number;
        break;
    }
    }
    if (!value.isValid() || (value.type() == QVariant::String && value.toString().isEmpty()))
        return true;
    if (m_window.noteFilled(m_column) && m_rowsGiven > 0)
        m_restartNeeded = true;
    m_cells.add(m_column, value, m_window);
    return true;
}

void SheetParser::endRow()
{
    m_inRow = false;
    if (m_cells.isEmpty() || m_restartNeeded)
        return;
    m_visitor->row(m_cells.layout(m_row, m_window, &m_slots));
    ++m_rowsGiven;
}

WorkbookReader::Sheet refused(WorkbookReader::Error error, const char *why)
{
    qCWarning(lcMeter) << "Not a readable .xlsx workbook:" << why;
    WorkbookReader::Sheet sheet;
    sheet.error = error;
    return sheet;
}

} // namespace

WorkbookReader::Sheet XlsxReader::read(QIODevice *device, WorkbookReader::RowVisitor *visitor,
                                       int columns)
{
    const WorkbookReader::Error damaged = WorkbookReader::NotAWorkbook;
    ZipPackage zip(device);
    if (!zip.isOpen())
        return refused(damaged, "not a zip archive");

    QString workbookPart = QStringLiteral("xl/workbook.xml");
    QHash<QString, Relationship> relationships;
    if (zip.has(QStringLiteral("_rels/.rels"))
        && readRelationships(zip, QStringLiteral("_rels/.rels"), QString(), &relationships)) {
        const QString office = partOfType(relationships, QStringLiteral("/officeDocument"));
        if (!office.isEmpty())
            workbookPart = office;
    }

    // The sheets in the workbook's order, and the date system.
    QStringList sheetIds;
    bool date1904 = false;
    const bool workbookRead
        = zip.parse(workbookPart, maxPartBytes, [&](const QXmlStreamReader &xml) {
              if (!xml.isStartElement())
                  return true;
              if (xml.name() == QLatin1String("workbookPr")) {
                  const QStringRef d = xml.attributes().value(QLatin1String("date1904"));
                  date1904 = d == QLatin1String("1") || d == QLatin1String("true");
              } else if (xml.name() == QLatin1String("sheet")) {
                  QString id;
                  for (const QXmlStreamAttribute &attribute : xml.attributes()) {
                      if (attribute.name() == QLatin1String("id")
                          && !attribute.namespaceUri().isEmpty())
                          id = attribute.value().toString();
                  }
                  sheetIds.append(id);
              }
              return true;
          });
    if (!workbookRead)
        return refused(damaged, "no readable workbook part");
    if (sheetIds.isEmpty())
        return refused(WorkbookReader::NoWorksheet, "no sheets");

    const int slash = workbookPart.lastIndexOf(QLatin1Char('/'));
    const QString baseDir = slash < 0 ? QString() : workbookPart.left(slash);
    const QString relsPart = (baseDir.isEmpty() ? QString() : baseDir + QLatin1Char('/'))
        + QStringLiteral("_rels/") + workbookPart.mid(slash + 1) + QStringLiteral(".rels");
    relationships.clear();
    if (!readRelationships(zip, relsPart, baseDir, &relationships))
        return refused(damaged, "no workbook relationships");
    // The worksheets in the workbook's order; chart sheets do not count.
    QStringList sheetParts;
    for (const QString &id : qAsConst(sheetIds)) {
        const Relationship r = relationships.value(id);
        if (r.type.endsWith(QLatin1String("/worksheet")))
            sheetParts.append(r.target);
    }
    if (sheetParts.isEmpty()) {
        return sheetIds.first().isEmpty() || !relationships.contains(sheetIds.first())
            ? refused(damaged, "sheet without relationship")
            : refused(WorkbookReader::NoWorksheet, "no worksheet");
    }

    QVector<QString> strings;
    const QString stringsPart = partOfType(relationships, QStringLiteral("/sharedStrings"));
    if (!stringsPart.isEmpty() && !readSharedStrings(zip, stringsPart, &strings))
        return refused(damaged, "damaged or oversized shared strings");
    QVector<bool> dateStyles;
    const QString stylesPart = partOfType(relationships, QStringLiteral("/styles"));
    if (!stylesPart.isEmpty() && !readDateStyles(zip, stylesPart, &dateStyles))
        return refused(damaged, "damaged styles");

    WorkbookReader::Sheet sheet;
    bool stopped = false;
    const auto onPiece = [&] {
        visitor->progress(device->pos(), device->size());
        stopped = !visitor->keepGoing();
        return !stopped;
    };
    for (int index = 0; index < sheetParts.size(); ++index) {
        if (index > 0 && !visitor->nextSheet())
            break;
        const QString &sheetPart = sheetParts.at(index);
        SheetParser parser(strings, dateStyles, date1904, columns, visitor);
        const auto onToken = [&parser](const QXmlStreamReader &xml) { return parser.token(xml); };
        bool read = zip.parse(sheetPart, maxSheetBytes, onToken, onPiece);
        if (read && parser.restartNeeded()) {
            visitor->restart();
            parser.startSecondReading();
            read = zip.parse(sheetPart, maxSheetBytes, onToken, onPiece);
            if (!read && !stopped)
                return refused(damaged, "worksheet changed between readings");
        }
        if (stopped) {
            sheet.error = WorkbookReader::Cancelled;
            return sheet;
        }
        if (!read)
            return refused(damaged, "damaged or oversized worksheet");
        sheet.formulasWithoutResult += parser.formulasWithoutResult();
    }
    visitor->progress(device->size(), device->size());
    return sheet;
}
