// The .xls reader on arbitrary bytes: a compound file, then BIFF8 records. Every input must
// end in a result (a sheet or a refusal) without a crash, a leak, undefined behaviour, a
// hang or a run on memory.
#include "xlsreader.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

namespace {

// Reads every cell it is given, as the import would.
class Visitor : public WorkbookReader::RowVisitor
{
public:
    void row(const WorkbookReader::Row &row) override
    {
        if (row.count < 0 || row.count > WorkbookReader::defaultColumns)
            __builtin_trap();
        for (int i = 0; i < row.count; ++i)
            m_sum += row.cells[i].toString().size();
    }
    void restart() override { m_sum = 0; }

private:
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
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    Visitor visitor;
    XlsReader::read(bytes, &visitor, WorkbookReader::defaultColumns);
    return 0;
}
