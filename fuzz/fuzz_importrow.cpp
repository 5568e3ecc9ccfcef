// The conversion of one workbook row into a reading, on cells decoded from the input: a count,
// then for each cell a kind and its value (a number, a text in UTF-8, a date serial, a
// boolean or a blank).
#include "sheetimport.h"
#include "sheetlayout.h"

#include <QLoggingCategory>
#include <QVariant>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("meter.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int count = input.ConsumeIntegralInRange(0, 8);
    std::vector<QVariant> cells;
    for (int i = 0; i < count; ++i) {
        switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
            cells.emplace_back(input.ConsumeFloatingPoint<double>());
            break;
        case 1: {
            const std::string text = input.ConsumeRandomLengthString(64);
            cells.emplace_back(QString::fromUtf8(text.data(), int(text.size())));
            break;
        }
        case 2:
            cells.emplace_back(SheetLayout::fromSerial(input.ConsumeFloatingPoint<double>()));
            break;
        case 3:
            cells.emplace_back(input.ConsumeBool());
            break;
        default:
            cells.emplace_back();
            break;
        }
    }
    ImportedReading reading;
    if (SheetImport::convertRow(cells.data(), int(cells.size()), &reading)) {
        // A reading has finite values and a time that is either absent or its digits in UTC.
        for (double value : reading.values) {
            if (!std::isfinite(value))
                __builtin_trap();
        }
        if (!reading.time.isNull() && reading.time.timeSpec() != Qt::UTC)
            __builtin_trap();
    }
    return 0;
}
