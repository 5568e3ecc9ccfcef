#include "csvreader.h"

#include "meterlog.h"

#include <QIODevice>
#include <QVector>

#include <algorithm>

namespace {

constexpr qint64 chunkBytes = 1 << 16;

// Gathers the fields of one record and hands the record to the visitor.
class RecordBuilder
{
public:
    RecordBuilder(WorkbookReader::RowVisitor *visitor, int columns, char separator)
        : m_visitor(visitor)
        , m_cells(columns)
        , m_separator(separator)
    {
    }

    void endField()
    {
        if (m_index < m_cells.size()) {
            if (!m_field.isEmpty()) {
                QString text = QString::fromUtf8(m_field);
                if (m_separator == ';' && text.count(QLatin1Char(',')) == 1
                    && !text.contains(QLatin1Char('.')))
                    text.replace(QLatin1Char(','), QLatin1Char('.'));
                m_cells[m_index] = text;
                m_count = m_index + 1;
            }
        } else if (!m_field.trimmed().isEmpty()) {
            m_filledBeyond = true;
        }
        ++m_index;
        m_field.clear();
    }

    void endRecord()
    {
        endField();
        if (m_count > 0 || m_filledBeyond) {
            WorkbookReader::Row row;
            row.number = m_number;
            row.cells = m_cells.constData();
            row.count = m_count;
            row.filledBeyond = m_filledBeyond;
            m_visitor->row(row);
            ++m_rowsGiven;
        }
        ++m_number;
        std::fill(m_cells.begin(), m_cells.end(), QVariant());
        m_index = 0;
        m_count = 0;
        m_filledBeyond = false;
    }

    // False when the field grew past the bound.
    bool append(char c)
    {
        m_field.append(c);
        return m_field.size() <= CsvReader::maxFieldBytes;
    }
    bool fieldIsEmpty() const { return m_field.isEmpty() && m_index == 0; }
    int rowsGiven() const { return m_rowsGiven; }

private:
    WorkbookReader::RowVisitor *m_visitor;
    QVector<QVariant> m_cells;
    QByteArray m_field;
    char m_separator;
    int m_index = 0;
    int m_count = 0;
    int m_number = 0;
    int m_rowsGiven = 0;
    bool m_filledBeyond = false;
};

WorkbookReader::Sheet failed(WorkbookReader::Error error)
{
    WorkbookReader::Sheet sheet;
    sheet.error = error;
    return sheet;
}

} // namespace

char CsvReader::separatorOf(const QByteArray &start)
{
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (const char c : start) {
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '\n' || c == '\r')
            break;
        else if (c == ',')
            ++commas;
        else if (c == ';')
            ++semicolons;
    }
    return semicolons > commas ? ';' : ',';
}

WorkbookReader::Sheet CsvReader::read(QIODevice *device, WorkbookReader::RowVisitor *visitor,
                                      int columns)
{
    columns = std::clamp(columns, 1, WorkbookReader::maxColumns);
    const qint64 total = device->size();
    QByteArray chunk = device->read(chunkBytes);
    int from = chunk.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    const char separator = separatorOf(chunk.mid(from));
    RecordBuilder record(visitor, columns, separator);

    enum State { FieldStart, Unquoted, Quoted, QuoteInQuoted };
    State state = FieldStart;
    bool afterCarriageReturn = false;
    qint64 done = 0;
    while (!chunk.isEmpty()) {
        for (int i = from; i < chunk.size(); ++i) {
            const char c = chunk.at(i);
            if (c == '\0') {
                qCWarning(lcMeter) << "CSV refused: a NUL byte at" << done + i;
                return failed(WorkbookReader::NotAWorkbook);
            }
            // A line feed right after a carriage return ends nothing more.
            if (afterCarriageReturn) {
                afterCarriageReturn = false;
                if (c == '\n')
                    continue;
            }
            bool fits = true;
            switch (state) {
            case Quoted:
                if (c == '"')
                    state = QuoteInQuoted;
                else
                    fits = record.append(c);
                break;
            case QuoteInQuoted:
                if (c == '"') {
                    fits = record.append(c); // a doubled quote
                    state = Quoted;
                    break;
                }
                state = Unquoted;
                Q_FALLTHROUGH();
            case FieldStart:
            case Unquoted:
                if (c == separator) {
                    record.endField();
                    state = FieldStart;
                } else if (c == '\n' || c == '\r') {
                    record.endRecord();
                    afterCarriageReturn = c == '\r';
                    state = FieldStart;
                } else if (c == '"' && state == FieldStart) {
                    state = Quoted;
                } else {
                    // Text after a closing quote is kept, as lenient readers do.
                    fits = record.append(c);
                    state = Unquoted;
                }
                break;
            }
            if (!fits) {
                qCWarning(lcMeter)
                    << "CSV refused: a field longer than" << maxFieldBytes << "bytes";
                return failed(WorkbookReader::NotAWorkbook);
            }
        }
        done += chunk.size();
        visitor->progress(done, std::max(total, done));
        if (!visitor->keepGoing())
            return failed(WorkbookReader::Cancelled);
        chunk = device->read(chunkBytes);
        from = 0;
    }
    // The last record needs no line end; an unclosed quote ends with the file.
    if (state != FieldStart || !record.fieldIsEmpty())
        record.endRecord();
    if (record.rowsGiven() == 0)
        return failed(WorkbookReader::NotAWorkbook);
    return WorkbookReader::Sheet();
}
