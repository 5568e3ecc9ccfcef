#include "sheetimport.h"

#include "csvreader.h"
#include "dmmdata.h"
#include "imydmm.h"
#include "meterlog.h"
#include "sheetlayout.h"
#include "taskprogress.h"
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
             bool filledBeyond, bool headerFahrenheit)
{
    if (!filledBeyond && isEmptyRow(cells, count))
        return;
    ++result->rowsSeen;
    ImportedReading reading;
    if (SheetImport::convertRow(cells, count, &reading, headerFahrenheit)) {
        result->readings.append(reading);
    } else {
        ++result->skippedRows;
        if (lcMeter().isDebugEnabled()) {
            qCDebug(lcMeter) << "Workbook row" << number + 1
                             << "skipped:" << QVector<QVariant>(cells, cells + count);
        }
    }
}

// Header cells compare by what they show.
QStringList headerTexts(const WorkbookReader::Row &row)
{
    QStringList texts;
    for (int i = 0; i < row.count; ++i)
        texts << row.cells[i].toString().trimmed();
    return texts;
}

// Turns the rows into readings as the reader hands them over; the first row of a sheet is
// its header. A later sheet is taken when its header is the first sheet's.
class RowConverter : public WorkbookReader::RowVisitor
{
public:
    RowConverter(SheetImport::Result *result, TaskProgress *progress)
        : m_result(result)
        , m_progress(progress)
    {
    }
    void row(const WorkbookReader::Row &row) override
    {
        if (!m_headerSeen) {
            m_headerSeen = true;
            if (m_result->sheets == 0) {
                m_header = headerTexts(row);
                m_headerFahrenheit = row.count > 2 && SheetImport::namesFahrenheit(row.cells[2]);
            } else if (headerTexts(row) != m_header) {
                m_ignored = true; // another table: it and the sheets after it stay out
                return;
            }
            ++m_result->sheets;
            return;
        }
        if (!m_ignored)
            takeRow(m_result, row.number, row.cells, row.count, row.filledBeyond,
                    m_headerFahrenheit);
    }
    void restart() override
    {
        if (m_headerSeen && !m_ignored)
            --m_result->sheets;
        m_result->readings.resize(m_mark.readings);
        m_result->rowsSeen = m_mark.rowsSeen;
        m_result->skippedRows = m_mark.skippedRows;
        m_headerSeen = false;
        m_ignored = false;
    }
    bool nextSheet() override
    {
        // Only a sheet with a header of the same table may go on with it.
        if (m_ignored || !m_headerSeen)
            return false;
        m_mark = {m_result->readings.size(), m_result->rowsSeen, m_result->skippedRows};
        m_headerSeen = false;
        return true;
    }
    bool keepGoing() override { return !m_progress || !m_progress->isCancelled(); }
    void progress(qint64 done, qint64 total) override
    {
        if (!m_progress)
            return;
        if (m_progress->total() != total)
            m_progress->start(total);
        m_progress->setDone(done);
    }

private:
    struct Mark
    {
        int readings = 0;
        int rowsSeen = 0;
        int skippedRows = 0;
    };
    SheetImport::Result *m_result;
    TaskProgress *m_progress;
    QStringList m_header;
    bool m_headerFahrenheit = false;
    bool m_headerSeen = false;
    bool m_ignored = false;
    Mark m_mark;
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

SheetImport::Result SheetImport::importFile(const QString &fileName, TaskProgress *progress)
{
    Result result;
    RowConverter converter(&result, progress);
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(fileName, &converter);
    return finish(fileName, sheet, &result);
}

SheetImport::Result SheetImport::importDevice(QIODevice *device, TaskProgress *progress)
{
    Result result;
    RowConverter converter(&result, progress);
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(device, &converter);
    return finish(QString(), sheet, &result);
}

SheetImport::Result SheetImport::importCsvDevice(QIODevice *device, TaskProgress *progress)
{
    Result result;
    RowConverter converter(&result, progress);
    const WorkbookReader::Sheet sheet = CsvReader::read(device, &converter);
    return finish(QString(), sheet, &result);
}

SheetImport::Result SheetImport::convertRows(const QVector<QVariantList> &rows)
{
    Result result;
    result.readings.reserve(std::max(0, rows.size() - 1));
    for (int i = 1; i < rows.size(); ++i) {
        const QVariantList &row = rows.at(i);
        QVector<QVariant> cells(row.cbegin(), row.cend());
        takeRow(&result, i, cells.constData(), cells.size(), false,
                rows.first().size() > 2 && namesFahrenheit(rows.first().at(2)));
    }
    return result;
}

bool SheetImport::namesFahrenheit(const QVariant &header)
{
    const QString text = header.toString();
    return text.contains(temperatureSigns.at(1)) || text.contains(temperatureSigns.at(3));
}

bool SheetImport::convertRow(const QVariantList &row, ImportedReading *reading,
                             bool headerFahrenheit)
{
    const QVector<QVariant> cells(row.cbegin(), row.cend());
    return convertRow(cells.constData(), cells.size(), reading, headerFahrenheit);
}

bool SheetImport::convertRow(const QVariant *cells, int count, ImportedReading *reading,
                             bool headerFahrenheit)
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
    if (isFahrenheit(temperatureUnit) || (temperatureUnit.isEmpty() && headerFahrenheit)) {
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

QString SheetImport::unreadRowsMessage(const Result &result)
{
    return result.formulasWithoutResult > 0
        ? formulasWithoutResultMessage(result.formulasWithoutResult)
        : skippedRowsMessage(result.skippedRows);
}
