#include "sheetimport.h"

#include "dmmdata.h"
#include "imydmm.h"
#include "meterlog.h"
#include "sheetlayout.h"
#include "temperatureunit.h"

#include <QCoreApplication>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace {

const QString humiditySign = QStringLiteral("%RH");
// A temperature's unit as the table writes it, or typed as a degree sign and a letter.
const QStringList temperatureSigns
    = {QStringLiteral("℃"), QStringLiteral("℉"), QStringLiteral("°C"), QStringLiteral("°F")};
const QStringList humiditySigns = {humiditySign};

// unit: one of the signs above, as readValue() found it.
bool isFahrenheit(const QString &unit)
{
    return unit == temperatureSigns.at(1) || unit == temperatureSigns.at(3);
}

bool isEmptyRow(const QVariant *cells, int count)
{
    for (int i = 0; i < count; ++i) {
        const QVariant &cell = cells[i];
        if (cell.isValid()
            && !(cell.type() == QVariant::String && cell.toString().trimmed().isEmpty()))
            return false;
    }
    return true;
}

bool isNumberCell(const QVariant &cell)
{
    switch (int(cell.type())) {
    case QVariant::Double:
    case QVariant::Int:
    case QVariant::LongLong:
    case QVariant::UInt:
    case QVariant::ULongLong:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A value cell: a number, or a text whose recognised unit (if any) is cut off; every digit
// of the number stays. *unit receives the unit found ("" for none).
bool readValue(const QVariant &cell, int channel, double *value, QString *unit)
{
    unit->clear();
    if (isNumberCell(cell)) {
        *value = cell.toDouble();
        return std::isfinite(*value);
    }
    if (cell.type() != QVariant::String)
        return false;
    QString text = cell.toString().trimmed();
    for (const QString &sign : channel == 1 ? humiditySigns : temperatureSigns) {
        if (text.endsWith(sign, Qt::CaseInsensitive)) {
            *unit = sign;
            text.chop(sign.size());
            text = text.trimmed();
            break;
        }
    }
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}

bool readIndex(const QVariant &cell, int *index)
{
    double number = 0.0;
    if (isNumberCell(cell)) {
        number = cell.toDouble();
    } else if (cell.type() == QVariant::String) {
        bool ok = false;
        number = cell.toString().trimmed().toDouble(&ok);
        if (!ok)
            return false;
    } else {
        return false;
    }
    if (!std::isfinite(number) || number != std::floor(number) || number < INT_MIN
        || number > INT_MAX)
        return false;
    *index = int(number);
    return true;
}

bool readTime(const QVariant &cell, QDateTime *time)
{
    if (!cell.isValid()) {
        *time = QDateTime();
        return true;
    }
    if (cell.type() == QVariant::DateTime) {
        // The digits as written, whatever zone the cell's time came with.
        const QDateTime given = cell.toDateTime();
        *time
            = given.timeSpec() == Qt::UTC ? given : QDateTime(given.date(), given.time(), Qt::UTC);
        return given.date().isValid() && given.time().isValid();
    }
    if (isNumberCell(cell)) {
        *time = SheetLayout::fromSerial(cell.toDouble());
        return time->isValid();
    }
    if (cell.type() == QVariant::String) {
        const QString text = cell.toString().trimmed();
        if (text.isEmpty()) {
            *time = QDateTime();
            return true;
        }
        *time = SheetLayout::parseTime(text);
        return time->isValid();
    }
    return false;
}

// One row below the header: converted, skipped and counted, or passed over when empty.
void takeRow(SheetImport::Result *result, int number, const QVariant *cells, int count,
             bool filledBeyond)
{
    if (!filledBeyond && isEmptyRow(cells, count))
        return;
    ++result->rowsSeen;
    ImportedReading reading;
    if (SheetImport::convertRow(cells, count, &reading)) {
        result->readings.append(reading);
    } else {
        ++result->skippedRows;
        if (lcMeter().isDebugEnabled()) {
            qCDebug(lcMeter) << "Workbook row" << number + 1
                             << "skipped:" << QVector<QVariant>(cells, cells + count);
        }
    }
}

// Turns the rows into readings as the reader hands them over; the first is the header.
class RowConverter : public WorkbookReader::RowVisitor
{
public:
    explicit RowConverter(SheetImport::Result *result)
        : m_result(result)
    {
    }
    void row(const WorkbookReader::Row &row) override
    {
        if (!m_headerSeen)
            m_headerSeen = true;
        else
            takeRow(m_result, row.number, row.cells, row.count, row.filledBeyond);
    }
    void restart() override
    {
        *m_result = SheetImport::Result();
        m_headerSeen = false;
    }

private:
    SheetImport::Result *m_result;
    bool m_headerSeen = false;
};

SheetImport::Result finish(const QString &fileName, const WorkbookReader::Sheet &sheet,
                           SheetImport::Result *result)
{
    if (sheet.error != WorkbookReader::NoError) {
        qCWarning(lcMeter) << "Import of" << fileName << "failed with" << sheet.error;
        SheetImport::Result failed;
        failed.error = sheet.error;
        return failed;
    }
    result->formulasWithoutResult = sheet.formulasWithoutResult;
    if (result->formulasWithoutResult > 0) {
        qCWarning(lcMeter) << "Workbook" << fileName << "has" << result->formulasWithoutResult
                           << "formula cells without a saved result";
    }
    return std::move(*result);
}

} // namespace

SheetImport::Result SheetImport::importFile(const QString &fileName)
{
    Result result;
    RowConverter converter(&result);
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(fileName, &converter);
    return finish(fileName, sheet, &result);
}

SheetImport::Result SheetImport::importDevice(QIODevice *device)
{
    Result result;
    RowConverter converter(&result);
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(device, &converter);
    return finish(QString(), sheet, &result);
}

SheetImport::Result SheetImport::convertRows(const QVector<QVariantList> &rows)
{
    Result result;
    result.readings.reserve(std::max(0, rows.size() - 1));
    for (int i = 1; i < rows.size(); ++i) {
        const QVariantList &row = rows.at(i);
        QVector<QVariant> cells(row.cbegin(), row.cend());
        takeRow(&result, i, cells.constData(), cells.size(), false);
    }
    return result;
}

bool SheetImport::convertRow(const QVariantList &row, ImportedReading *reading)
{
    const QVector<QVariant> cells(row.cbegin(), row.cend());
    return convertRow(cells.constData(), cells.size(), reading);
}

bool SheetImport::convertRow(const QVariant *cells, int count, ImportedReading *reading)
{
    if (count < SheetLayout::columnCount)
        return false;
    ImportedReading r;
    if (!readIndex(cells[0], &r.storeIndex) || !readTime(cells[1], &r.time))
        return false;
    QString temperatureUnit;
    for (int channel = 0; channel < 4; ++channel) {
        QString unit;
        if (!readValue(cells[2 + channel], channel, &r.values[size_t(channel)], &unit))
            return false;
        if (channel == 0)
            temperatureUnit = unit;
    }
    if (isFahrenheit(temperatureUnit)) {
        for (size_t channel : {size_t(0), size_t(2), size_t(3)})
            r.values[channel] = TemperatureUnit::fahrenheitToCelsius(r.values[channel]);
    }
    *reading = r;
    return true;
}

DmmData *SheetImport::makeReading(const ImportedReading &row, IMyDmm *dmm)
{
    auto *reading = new DmmData;
    reading->setStoreIndex(row.storeIndex);
    reading->setTime(row.time);
    DmmValue values[Channel::Count];
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const double v = row.values[size_t(channel)];
        // Without the plug-in the value keeps its digits as read, to one decimal.
        values[channel]
            = dmm ? dmm->makeValue(v, channel, 0) : DmmValue {3, v, QString::number(v, 'f', 1)};
    }
    reading->setTemperature(values[Channel::Temperature]);
    reading->setHumidity(values[Channel::Humidity]);
    reading->setDewPoint(values[Channel::DewPoint]);
    reading->setWetBulb(values[Channel::WetBulb]);
    return reading;
}

QString SheetImport::failureMessage()
{
    return QCoreApplication::translate("Widget", "The datas is imported failed.");
}

QString SheetImport::skippedRowsMessage(int skippedRows)
{
    return QCoreApplication::translate(
        "Widget", "%n row(s) of the workbook could not be read as readings and were skipped.",
        nullptr, skippedRows);
}

QString SheetImport::formulasWithoutResultMessage(int formulas)
{
    return QCoreApplication::translate(
        "Widget",
        "%n formula cell(s) of the workbook had no saved result and were read as empty. Open "
        "the workbook in a spreadsheet program and save it there to have them calculated.",
        nullptr, formulas);
}
