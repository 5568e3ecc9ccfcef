#include "workbookreader.h"

#include "csvreader.h"
#include "meterlog.h"
#include "xlsreader.h"
#include "xlsxreader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Larger .xls files are refused. A sheet of readings at the format's last row takes under
// 8 MB, a workbook of the 128 sheets an export writes at most about 1 GB. The file itself is
// mapped, where it is a file, rather than copied; what the reader holds beyond it is bounded
// per worksheet (one sheet's rows at a time) and by the shared strings' own bound.
constexpr qint64 maxXlsBytes = qint64(1536) << 20;

// Gathers the rows for the overloads without a visitor.
class RowGatherer : public WorkbookReader::RowVisitor
{
public:
    void row(const WorkbookReader::Row &row) override
    {
        if (m_firstRow < 0)
            m_firstRow = row.number;
        while (rows.size() < row.number - m_firstRow)
            rows.append(QVariantList());
        QVariantList cells;
        cells.reserve(row.count);
        for (int i = 0; i < row.count; ++i)
            cells.append(row.cells[i]);
        rows.append(cells);
    }
    void restart() override
    {
        rows.clear();
        m_firstRow = -1;
    }

    QVector<QVariantList> rows;

private:
    int m_firstRow = -1;
};

WorkbookReader::Sheet readXls(QIODevice *device, WorkbookReader::RowVisitor *visitor, int columns)
{
    WorkbookReader::Sheet sheet;
    sheet.error = WorkbookReader::NotAWorkbook;
    const qint64 size = device->size();
    if (size > maxXlsBytes) {
        qCWarning(lcMeter) << "Refused an .xls file of" << size << "bytes";
        return sheet;
    }
    if (auto *buffer = qobject_cast<QBuffer *>(device))
        return XlsReader::read(buffer->buffer(), visitor, columns);
    if (auto *file = qobject_cast<QFile *>(device)) {
        if (uchar *mapped = file->map(0, size)) {
            sheet = XlsReader::read(
                QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), int(size)), visitor,
                columns);
            file->unmap(mapped);
            return sheet;
        }
    }
    if (!device->seek(0))
        return sheet;
    const QByteArray bytes = device->read(maxXlsBytes);
    return XlsReader::read(bytes, visitor, columns);
}

const QByteArray xlsMagic = QByteArray::fromHex("D0CF11E0A1B11AE1");
const QByteArray xlsxMagic("PK\x03\x04");

bool isWorkbook(QIODevice *device)
{
    const QByteArray magic = device->peek(8);
    return magic == xlsMagic || magic.startsWith(xlsxMagic);
}

} // namespace

WorkbookReader::Sheet WorkbookReader::readFirstSheet(const QString &fileName, int columns)
{
    RowGatherer gatherer;
    Sheet sheet = readFirstSheet(fileName, &gatherer, columns);
    if (sheet.error == NoError)
        sheet.rows = gatherer.rows;
    return sheet;
}

WorkbookReader::Sheet WorkbookReader::readFirstSheet(QIODevice *device, int columns)
{
    RowGatherer gatherer;
    Sheet sheet = readFirstSheet(device, &gatherer, columns);
    if (sheet.error == NoError)
        sheet.rows = gatherer.rows;
    return sheet;
}

WorkbookReader::Sheet WorkbookReader::readFirstSheet(const QString &fileName, RowVisitor *visitor,
                                                     int columns)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Sheet sheet;
        sheet.error = CannotOpen;
        return sheet;
    }
    // Text is read as CSV only under that name: a text file named as a workbook is refused.
    if (QFileInfo(fileName).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0
        && !isWorkbook(&file))
        return CsvReader::read(&file, visitor, columns);
    return readFirstSheet(&file, visitor, columns);
}

WorkbookReader::Sheet WorkbookReader::readFirstSheet(QIODevice *device, RowVisitor *visitor,
                                                     int columns)
{
    columns = std::clamp(columns, 1, maxColumns);
    const QByteArray magic = device->peek(8);
    if (magic == xlsMagic)
        return readXls(device, visitor, columns);
    if (magic.startsWith(xlsxMagic))
        return XlsxReader::read(device, visitor, columns);
    Sheet sheet;
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
