// The CSV reader and the conversion of its rows into readings, on arbitrary bytes.
#include "csvreader.h"
#include "sheetimport.h"

#include <QBuffer>
#include <QByteArray>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace {

class Visitor : public WorkbookReader::RowVisitor
{
public:
    void row(const WorkbookReader::Row &row) override
    {
        // Rows come in order, none of them blank, with no more cells than were asked for.
        if (row.count < 0 || row.count > WorkbookReader::defaultColumns
            || row.number <= m_lastNumber || (row.count == 0 && !row.filledBeyond))
            __builtin_trap();
        m_lastNumber = row.number;
        for (int i = 0; i < row.count; ++i)
            m_sum += row.cells[i].toString().size();
    }
    void restart() override { __builtin_trap(); } // a CSV file never starts over

private:
    int m_lastNumber = -1;
    qint64 m_sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("meter.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    Visitor visitor;
    CsvReader::read(&buffer, &visitor);

    buffer.seek(0);
    const SheetImport::Result result = SheetImport::importCsvDevice(&buffer);
    if (result.readings.size() + result.skippedRows != result.rowsSeen)
        __builtin_trap();
    return 0;
}
