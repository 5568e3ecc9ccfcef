// The .xls reader on arbitrary bytes: a compound file, then BIFF8 records. Every input must
// end in a result (a sheet or a refusal) without a crash, a leak, undefined behaviour, a
// hang or a run on memory.
#include "cellvisitor.h"
#include "xlsreader.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("meter.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes
        = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    CellVisitor visitor;
    XlsReader::read(bytes, &visitor, WorkbookReader::defaultColumns);
    return 0;
}
