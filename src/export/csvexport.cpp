#include "csvexport.h"

#include "meterlog.h"
#include "readingsnapshot.h"
#include "safefile.h"
#include "sheetlayout.h"
#include "tablesource.h"
#include "taskprogress.h"

#include <QDateTime>

namespace {

const QByteArray byteOrderMark("\xEF\xBB\xBF");
const QByteArray lineEnd("\r\n");
constexpr int flushBytes = 1 << 16;

bool isFahrenheitSign(const QString &unit)
{
    return unit.contains(QChar(0x2109)) || unit.endsWith(QLatin1String("°F"), Qt::CaseInsensitive);
}

// The time column: always to the second, also for records the table shows to the minute.
QString timeText(const QVariant &display)
{
    if (display.type() == QVariant::DateTime)
        return ReadingSnapshot::formatTime(display.toDateTime(), false);
    const QString text = display.toString().trimmed();
    if (text.size() == 16 && SheetLayout::parseTime(text).isValid())
        return text + QLatin1String(":00");
    return text;
}

} // namespace

QString CsvExport::headerLine(const QString &temperatureUnit)
{
    const QString degrees
        = isFahrenheitSign(temperatureUnit) ? QString(QChar(0x2109)) : QString(QChar(0x2103));
    return QStringLiteral("No.,Time,Temperature (%1),Humidity (%RH),Dew Point (%1),Wet Bulb (%1)")
        .arg(degrees);
}

QString CsvExport::plainNumber(const QString &text)
{
    QString number = text.trimmed();
    // The unit follows the number after a blank.
    const int blank = number.indexOf(QLatin1Char(' '));
    if (blank > 0)
        number.truncate(blank);
    // A decimal comma of a localised text becomes the dot.
    if (number.count(QLatin1Char(',')) == 1 && !number.contains(QLatin1Char('.')))
        number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    number.toDouble(&ok);
    return ok ? number : text;
}

QByteArray CsvExport::field(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r')
        || bytes.contains(';')) {
        bytes.replace('"', "\"\"");
        bytes.prepend('"');
        bytes.append('"');
    }
    return bytes;
}

SheetExport::Result CsvExport::write(const TableSource &table, const QString &fileName,
                                     TaskProgress *progress)
{
    SafeFile file(fileName);
    if (!file.open()) {
        qCWarning(lcMeter) << "CSV export: cannot open" << fileName << file.errorString();
        return SheetExport::WriteFailed;
    }
    QByteArray buffer;
    buffer.reserve(flushBytes + 4096);
    buffer += byteOrderMark;
    buffer += headerLine(table.temperatureUnit()).toUtf8();
    buffer += lineEnd;

    const int rows = table.rowCount();
    for (int row = 0; row < rows; ++row) {
        buffer += field(table.cell(row, 0).toString());
        buffer += ',';
        buffer += field(timeText(table.cell(row, SheetLayout::timeColumn)));
        for (int column = 2; column < TableSource::columnCount; ++column) {
            buffer += ',';
            buffer += field(plainNumber(table.cell(row, column).toString()));
        }
        buffer += lineEnd;
        if (buffer.size() >= flushBytes) {
            if (!file.write(buffer))
                return SheetExport::WriteFailed;
            buffer.clear();
        }
        if (progress && (row & 1023) == 0) {
            progress->setDone(row);
            if (progress->isCancelled())
                return SheetExport::Cancelled; // the temporary file goes with `file`
        }
    }
    if (!file.write(buffer))
        return SheetExport::WriteFailed;
    if (progress && progress->isCancelled())
        return SheetExport::Cancelled;
    if (!file.commit()) {
        qCWarning(lcMeter) << "CSV export: cannot complete" << fileName << file.errorString();
        return SheetExport::WriteFailed;
    }
    return SheetExport::Success;
}
