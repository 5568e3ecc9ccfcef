#include "workbookreader.h"

#include "meterlog.h"
#include "sheetlayout.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

#include <freexl.h>
#include <unzip.h>

#include <algorithm>
#include <climits>

namespace {

constexpr int xlsxMaxRows = 1048576;
constexpr int xlsxMaxColumns = 16384;
// Days from the 1900 date system's epoch to the 1904 system's.
constexpr double date1904Offset = 1462.0;

// Cells as they are found, turned into the used range at the end.
class RangeBuilder
{
public:
    void add(int row, int column, const QVariant &value)
    {
        if (!value.isValid() || (value.type() == QVariant::String && value.toString().isEmpty()))
            return;
        m_cells.append({row, column, value});
        m_firstRow = std::min(m_firstRow, row);
        m_lastRow = std::max(m_lastRow, row);
        m_firstColumn = std::min(m_firstColumn, column);
    }

    QVector<QVariantList> rows() const
    {
        QVector<QVariantList> rows;
        if (m_cells.isEmpty())
            return rows;
        rows.resize(m_lastRow - m_firstRow + 1);
        for (const Cell &cell : m_cells) {
            QVariantList &row = rows[cell.row - m_firstRow];
            const int at = cell.column - m_firstColumn;
            while (row.size() <= at)
                row.append(QVariant());
            row[at] = cell.value;
        }
        return rows;
    }

private:
    struct Cell
    {
        int row;
        int column;
        QVariant value;
    };
    QVector<Cell> m_cells;
    int m_firstRow = INT_MAX;
    int m_lastRow = -1;
    int m_firstColumn = INT_MAX;
};

// .xls ---------------------------------------------------------------------------------------

QVariant xlsCell(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return double(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return cell.value.double_value;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return QString::fromUtf8(cell.value.text_value);
    case FREEXL_CELL_DATE:
        return QDateTime(QDate::fromString(QString::fromLatin1(cell.value.text_value),
                                           QStringLiteral("yyyy-MM-dd")),
                         QTime(0, 0));
    case FREEXL_CELL_DATETIME:
        return QDateTime::fromString(QString::fromLatin1(cell.value.text_value),
                                     QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case FREEXL_CELL_TIME:
        return QDateTime(QDate(1899, 12, 30),
                         QTime::fromString(QString::fromLatin1(cell.value.text_value),
                                           QStringLiteral("hh:mm:ss")));
    default:
        return QVariant();
    }
}

WorkbookReader::Sheet readXls(const QString &fileName)
{
    WorkbookReader::Sheet sheet;
    const void *handle = nullptr;
    const int opened = freexl_open(QFile::encodeName(fileName).constData(), &handle);
    if (opened != FREEXL_OK) {
        qCWarning(lcMeter) << "freexl cannot read" << fileName << "error" << opened;
        sheet.error = opened == FREEXL_FILE_NOT_FOUND ? WorkbookReader::CannotOpen
                                                      : WorkbookReader::NotAWorkbook;
        freexl_close(handle);
        return sheet;
    }
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0
        || freexl_select_active_worksheet(handle, 0) != FREEXL_OK) {
        sheet.error = WorkbookReader::NoWorksheet;
        freexl_close(handle);
        return sheet;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    freexl_worksheet_dimensions(handle, &rows, &columns);
    RangeBuilder range;
    for (unsigned int row = 0; row < rows; ++row) {
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(handle, row, column, &value) == FREEXL_OK)
                range.add(int(row), column, xlsCell(value));
        }
    }
    freexl_close(handle);
    sheet.rows = range.rows();
    return sheet;
}

// .xlsx --------------------------------------------------------------------------------------

struct Relationship
{
    QString type;
    QString target;
};

// The parts of an .xlsx package. Read through minizip, the zip library the .xlsx writer
// already brings along: a second copy of the same zip functions in one process (as bundled
// by other zip wrappers) would bind the writer's calls to the wrong one.
class ZipPackage
{
public:
    explicit ZipPackage(const QString &fileName)
        : m_zip(unzOpen64(QFile::encodeName(fileName).constData()))
    {
    }
    ~ZipPackage()
    {
        if (m_zip)
            unzClose(m_zip);
    }
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    bool isOpen() const { return m_zip != nullptr; }

    // Part names compare without regard to case. False for a missing or damaged part (the
    // checksum is verified at the end), or one too large to be a worksheet of ours.
    bool read(const QString &name, QByteArray *bytes)
    {
        bytes->clear();
        if (unzLocateFile(m_zip, name.toUtf8().constData(), 2) != UNZ_OK
            || unzOpenCurrentFile(m_zip) != UNZ_OK)
            return false;
        char buffer[1 << 16];
        int n = 0;
        while ((n = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0) {
            if (bytes->size() + n > maxPartSize)
                break;
            bytes->append(buffer, n);
        }
        const bool closed = unzCloseCurrentFile(m_zip) == UNZ_OK;
        return n == 0 && closed;
    }

private:
    static constexpr int maxPartSize = 1 << 30;
    unzFile m_zip;
};

QString resolvePart(const QString &baseDir, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(baseDir.isEmpty() ? target : baseDir + QLatin1Char('/') + target);
}

// Relationship id -> type and resolved part name.
QHash<QString, Relationship> readRelationships(const QByteArray &xml, const QString &baseDir)
{
    QHash<QString, Relationship> relationships;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (a.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        relationships.insert(a.value(QLatin1String("Id")).toString(),
                             {a.value(QLatin1String("Type")).toString(),
                              resolvePart(baseDir, a.value(QLatin1String("Target")).toString())});
    }
    return relationships;
}

QString partOfType(const QHash<QString, Relationship> &relationships, const QString &typeEnd)
{
    for (const Relationship &r : relationships) {
        if (r.type.endsWith(typeEnd))
            return r.target;
    }
    return QString();
}

// The text of an <si> or <is> element: its <t> runs, without phonetic runs (<rPh>).
QString richText(QXmlStreamReader &reader)
{
    const QString end = reader.name().toString();
    QString text;
    int phonetic = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            if (reader.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (reader.name() == QLatin1String("t") && phonetic == 0)
                text += reader.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (reader.isEndElement()) {
            if (reader.name() == QLatin1String("rPh"))
                --phonetic;
            else if (reader.name() == end)
                break;
        }
    }
    return text;
}

bool readSharedStrings(const QByteArray &xml, QStringList *strings)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            strings->append(richText(reader));
    }
    return !reader.hasError();
}

// Whether each cell style (index into cellXfs) shows a date or time.
bool readDateStyles(const QByteArray &xml, QVector<bool> *dateStyles)
{
    QHash<int, QString> formats;
    QXmlStreamReader reader(xml);
    bool inCellXfs = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QXmlStreamAttributes a = reader.attributes();
            if (reader.name() == QLatin1String("numFmt")) {
                formats.insert(a.value(QLatin1String("numFmtId")).toInt(),
                               a.value(QLatin1String("formatCode")).toString());
            } else if (reader.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && reader.name() == QLatin1String("xf")) {
                const int id = a.value(QLatin1String("numFmtId")).toInt();
                dateStyles->append(WorkbookReader::isDateFormat(id, formats.value(id)));
            }
        } else if (reader.isEndElement() && reader.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    return !reader.hasError();
}

// "BC12" -> column 54, row 11 (both from 0); false for a malformed reference.
bool parseReference(const QStringRef &reference, int *row, int *column)
{
    int i = 0;
    int c = 0;
    while (i < reference.size() && reference.at(i).isLetter()) {
        c = c * 26 + (reference.at(i).toUpper().unicode() - 'A' + 1);
        if (c > xlsxMaxColumns)
            return false;
        ++i;
    }
    bool ok = false;
    const int r = reference.mid(i).toInt(&ok);
    if (i == 0 || !ok || r < 1 || r > xlsxMaxRows)
        return false;
    *row = r - 1;
    *column = c - 1;
    return true;
}

bool readSheetCells(const QByteArray &xml, const QStringList &strings,
                    const QVector<bool> &dateStyles, bool date1904, RangeBuilder *range)
{
    QXmlStreamReader reader(xml);
    int row = -1;
    int column = -1;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        if (reader.name() == QLatin1String("row")) {
            const QStringRef r = reader.attributes().value(QLatin1String("r"));
            bool ok = false;
            const int number = r.toInt(&ok);
            row = ok && number >= 1 && number <= xlsxMaxRows ? number - 1 : row + 1;
            column = -1;
            continue;
        }
        if (reader.name() != QLatin1String("c"))
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        const QString type = a.value(QLatin1String("t")).toString();
        const int style = a.value(QLatin1String("s")).toInt();
        int cellRow = row;
        int cellColumn = column + 1;
        if (a.hasAttribute(QLatin1String("r"))
            && !parseReference(a.value(QLatin1String("r")), &cellRow, &cellColumn))
            return false;
        column = cellColumn;
        QString value;
        QString inlineText;
        bool hasInline = false;
        while (!reader.atEnd()) {
            reader.readNext();
            if (reader.isStartElement()) {
                if (reader.name() == QLatin1String("v")) {
                    value = reader.readElementText();
                } else if (reader.name() == QLatin1String("is")) {
                    inlineText = richText(reader);
                    hasInline = true;
                } else {
                    reader.skipCurrentElement(); // formulas and extensions
                }
            } else if (reader.isEndElement() && reader.name() == QLatin1String("c")) {
                break;
            }
        }
        if (cellRow < 0)
            return false;
        QVariant cell;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (!ok || index < 0 || index >= strings.size())
                return false;
            cell = strings.at(index);
        } else if (type == QLatin1String("inlineStr")) {
            cell = hasInline ? inlineText : value;
        } else if (type == QLatin1String("str") || type == QLatin1String("e")) {
            cell = value;
        } else if (type == QLatin1String("b")) {
            cell = value.trimmed() == QLatin1String("1");
        } else if (type == QLatin1String("d")) {
            cell = QDateTime::fromString(value, Qt::ISODate);
        } else if (!value.isEmpty()) {
            bool ok = false;
            const double number = value.toDouble(&ok);
            if (!ok)
                return false;
            if (style >= 0 && style < dateStyles.size() && dateStyles.at(style))
                cell = SheetLayout::fromSerial(date1904 ? number + date1904Offset : number);
            else
                cell = number;
        }
        range->add(cellRow, cellColumn, cell);
    }
    return !reader.hasError();
}

WorkbookReader::Sheet readXlsx(const QString &fileName)
{
    WorkbookReader::Sheet sheet;
    sheet.error = WorkbookReader::NotAWorkbook;
    ZipPackage zip(fileName);
    if (!zip.isOpen()) {
        qCWarning(lcMeter) << "Not a zip archive:" << fileName;
        return sheet;
    }
    QByteArray xml;
    QString workbookPart = QStringLiteral("xl/workbook.xml");
    if (zip.read(QStringLiteral("_rels/.rels"), &xml)) {
        const QString office
            = partOfType(readRelationships(xml, QString()), QStringLiteral("/officeDocument"));
        if (!office.isEmpty())
            workbookPart = office;
    }
    if (!zip.read(workbookPart, &xml))
        return sheet;

    // The first worksheet in the workbook's order, and the date system.
    QString sheetId;
    bool date1904 = false;
    bool anySheet = false;
    {
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            reader.readNext();
            if (!reader.isStartElement())
                continue;
            if (reader.name() == QLatin1String("workbookPr")) {
                const QStringRef d = reader.attributes().value(QLatin1String("date1904"));
                date1904 = d == QLatin1String("1") || d == QLatin1String("true");
            } else if (reader.name() == QLatin1String("sheet") && !anySheet) {
                anySheet = true;
                for (const QXmlStreamAttribute &attribute : reader.attributes()) {
                    if (attribute.name() == QLatin1String("id")
                        && !attribute.namespaceUri().isEmpty())
                        sheetId = attribute.value().toString();
                }
            }
        }
        if (reader.hasError())
            return sheet;
    }
    if (!anySheet) {
        sheet.error = WorkbookReader::NoWorksheet;
        return sheet;
    }

    const int slash = workbookPart.lastIndexOf(QLatin1Char('/'));
    const QString baseDir = slash < 0 ? QString() : workbookPart.left(slash);
    const QString relsPart = (baseDir.isEmpty() ? QString() : baseDir + QLatin1Char('/'))
        + QStringLiteral("_rels/") + workbookPart.mid(slash + 1) + QStringLiteral(".rels");
    if (!zip.read(relsPart, &xml))
        return sheet;
    const QHash<QString, Relationship> relationships = readRelationships(xml, baseDir);
    const QString sheetPart = relationships.value(sheetId).target;
    if (sheetPart.isEmpty())
        return sheet;

    QStringList strings;
    const QString stringsPart = partOfType(relationships, QStringLiteral("/sharedStrings"));
    if (!stringsPart.isEmpty()
        && (!zip.read(stringsPart, &xml) || !readSharedStrings(xml, &strings)))
        return sheet;
    QVector<bool> dateStyles;
    const QString stylesPart = partOfType(relationships, QStringLiteral("/styles"));
    if (!stylesPart.isEmpty() && (!zip.read(stylesPart, &xml) || !readDateStyles(xml, &dateStyles)))
        return sheet;

    RangeBuilder range;
    if (!zip.read(sheetPart, &xml) || !readSheetCells(xml, strings, dateStyles, date1904, &range))
        return sheet;
    sheet.error = WorkbookReader::NoError;
    sheet.rows = range.rows();
    return sheet;
}

} // namespace

WorkbookReader::Sheet WorkbookReader::readFirstSheet(const QString &fileName)
{
    Sheet sheet;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        sheet.error = CannotOpen;
        return sheet;
    }
    const QByteArray magic = file.read(8);
    file.close();
    if (magic == QByteArray::fromHex("D0CF11E0A1B11AE1"))
        return readXls(fileName);
    if (magic.startsWith("PK\x03\x04"))
        return readXlsx(fileName);
    sheet.error = NotAWorkbook;
    return sheet;
}

bool WorkbookReader::isDateFormat(int formatId, const QString &formatCode)
{
    if ((formatId >= 14 && formatId <= 22) || (formatId >= 27 && formatId <= 36)
        || (formatId >= 45 && formatId <= 47) || (formatId >= 50 && formatId <= 58))
        return true;
    // Only the first section counts (the one for positive numbers).
    for (int i = 0; i < formatCode.size(); ++i) {
        const QChar c = formatCode.at(i);
        if (c == QLatin1Char(';')) {
            break;
        } else if (c == QLatin1Char('"')) {
            const int close = formatCode.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0)
                break;
            i = close;
        } else if (c == QLatin1Char('\\') || c == QLatin1Char('_') || c == QLatin1Char('*')) {
            ++i; // an escaped, padding or fill character
        } else if (c == QLatin1Char('[')) {
            const int close = formatCode.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                break;
            // [h], [mm], [ss]: elapsed time. Colours, conditions and locales are not dates.
            const QString inner = formatCode.mid(i + 1, close - i - 1).toLower();
            if (!inner.isEmpty() && std::all_of(inner.cbegin(), inner.cend(), [](QChar ch) {
                    return ch == QLatin1Char('h') || ch == QLatin1Char('m')
                        || ch == QLatin1Char('s');
                }))
                return true;
            i = close;
        } else {
            switch (c.toLower().unicode()) {
            case 'y':
            case 'm':
            case 'd':
            case 'h':
            case 's':
                return true;
            default:
                break;
            }
        }
    }
    return false;
}
