#include "sheetimport.h"

#include "dmmdata.h"
#include "imydmm.h"
#include "meterlog.h"
#include "sheetlayout.h"
#include "temperatureunit.h"

#include <QCoreApplication>

#include <climits>
#include <cmath>

namespace {

const QString celsiusSign = QStringLiteral("℃");
const QString fahrenheitSign = QStringLiteral("℉");
const QString humiditySign = QStringLiteral("%RH");

bool isEmptyRow(const QVariantList &row)
{
    for (const QVariant &cell : row) {
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
    const QStringList units
        = channel == 1 ? QStringList {humiditySign} : QStringList {celsiusSign, fahrenheitSign};
    for (const QString &sign : units) {
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
        *time = cell.toDateTime();
        return time->isValid();
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

} // namespace

SheetImport::Result SheetImport::importFile(const QString &fileName)
{
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(fileName);
    if (sheet.error != WorkbookReader::NoError) {
        Result result;
        result.error = sheet.error;
        qCWarning(lcMeter) << "Import of" << fileName << "failed with" << sheet.error;
        return result;
    }
    return convertRows(sheet.rows);
}

SheetImport::Result SheetImport::convertRows(const QVector<QVariantList> &rows)
{
    Result result;
    result.readings.reserve(std::max(0, rows.size() - 1));
    for (int i = 1; i < rows.size(); ++i) {
        const QVariantList &row = rows.at(i);
        if (isEmptyRow(row))
            continue;
        ImportedReading reading;
        if (convertRow(row, &reading)) {
            result.readings.append(reading);
        } else {
            ++result.skippedRows;
            qCDebug(lcMeter) << "Workbook row" << i + 1 << "skipped:" << row;
        }
    }
    return result;
}

bool SheetImport::convertRow(const QVariantList &row, ImportedReading *reading)
{
    if (row.size() < SheetLayout::columnCount)
        return false;
    ImportedReading r;
    if (!readIndex(row.at(0), &r.storeIndex) || !readTime(row.at(1), &r.time))
        return false;
    QString temperatureUnit;
    for (int channel = 0; channel < 4; ++channel) {
        QString unit;
        if (!readValue(row.at(2 + channel), channel, &r.values[size_t(channel)], &unit))
            return false;
        if (channel == 0)
            temperatureUnit = unit;
    }
    if (temperatureUnit == fahrenheitSign) {
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
