#include "reportsummary.h"

#include "readingsnapshot.h"
#include "sheetlayout.h"
#include "tablesource.h"

#include <algorithm>
#include <cmath>

namespace {

const QString timeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString none = QStringLiteral("-");

// The number a value text shows ("25.3 ℃" -> 25.3) and its decimals.
bool readNumber(const QString &text, double *value, int *decimals)
{
    const int blank = text.indexOf(QLatin1Char(' '));
    const QStringRef number = blank < 0 ? QStringRef(&text) : text.leftRef(blank);
    bool ok = false;
    *value = number.toDouble(&ok);
    if (!ok || !std::isfinite(*value))
        return false;
    const int dot = number.indexOf(QLatin1Char('.'));
    *decimals = dot < 0 ? 0 : number.size() - dot - 1;
    return true;
}

QDateTime timeOf(const TableSource &table, const ReadingSnapshot *snapshot, int row)
{
    if (snapshot)
        return snapshot->row(row).time;
    const QVariant cell = table.cell(row, SheetLayout::timeColumn);
    if (cell.type() == QVariant::DateTime)
        return cell.toDateTime();
    return SheetLayout::parseTime(cell.toString());
}

} // namespace

ReportSummary ReportSummary::of(const TableSource &table, const QString &name)
{
    ReportSummary s;
    s.name = name;
    s.readings = table.rowCount();
    const QString unit = table.temperatureUnit();
    s.temperatureUnit = unit.contains(QChar(0x2109)) || unit.endsWith(QLatin1Char('F'))
        ? QString(QChar(0x2109))
        : QString(QChar(0x2103));
    // Snapshots hold the value texts without their units: read those directly.
    const auto *snapshot = dynamic_cast<const ReadingSnapshot *>(&table);
    for (int row = 0; row < s.readings; ++row) {
        for (int channel = 0; channel < 4; ++channel) {
            double value = 0.0;
            int decimals = 0;
            const bool ok = snapshot
                ? readNumber(snapshot->row(row).values[size_t(channel)], &value, &decimals)
                : readNumber(table.cell(row, 2 + channel).toString().trimmed(), &value, &decimals);
            if (!ok)
                continue;
            Quantity &q = s.quantities[size_t(channel)];
            if (q.count == 0) {
                q.minimum = value;
                q.maximum = value;
            } else {
                q.minimum = std::min(q.minimum, value);
                q.maximum = std::max(q.maximum, value);
            }
            q.sum += value;
            q.decimals = std::max(q.decimals, decimals);
            ++q.count;
        }
    }
    for (int row = 0; row < s.readings && !s.first.isValid(); ++row)
        s.first = timeOf(table, snapshot, row);
    for (int row = s.readings - 1; row >= 0 && !s.last.isValid(); --row)
        s.last = timeOf(table, snapshot, row);
    return s;
}

QStringList ReportSummary::factLabels() const
{
    return {tr("Item name"), tr("First reading"), tr("Last reading"), tr("Duration"),
            tr("Readings")};
}

QStringList ReportSummary::factValues() const
{
    const bool timed = first.isValid() && last.isValid();
    // The digits as shown, whatever zone the times carry.
    const auto wallClock
        = [](const QDateTime &t) { return QDateTime(t.date(), t.time(), Qt::UTC); };
    return {name.isEmpty() ? none : name, timed ? first.toString(timeFormat) : none,
            timed ? last.toString(timeFormat) : none,
            timed ? durationText(wallClock(first).secsTo(wallClock(last))) : none,
            QString::number(readings)};
}

QStringList ReportSummary::valueHeaders()
{
    return {QString(), tr("Minimum"), tr("Maximum"), tr("Average")};
}

QStringList ReportSummary::valueRow(int channel) const
{
    // The report's own titles, untranslated like its table's, with the unit shown.
    static const char *const titles[] = {"Temperature", "Humidity", "Dew Point", "Wet Bulb"};
    const QString unit = channel == 1 ? QStringLiteral("%RH") : temperatureUnit;
    QStringList row {QStringLiteral("%1 (%2)").arg(QLatin1String(titles[channel]), unit)};
    const Quantity &q = quantities[size_t(channel)];
    if (q.count == 0)
        return row << none << none << none;
    return row << QString::number(q.minimum, 'f', q.decimals)
               << QString::number(q.maximum, 'f', q.decimals)
               << QString::number(q.average(), 'f', q.decimals + 1);
}

QString ReportSummary::durationText(qint64 seconds)
{
    const bool negative = seconds < 0;
    seconds = std::abs(seconds);
    const qint64 days = seconds / 86400;
    const qint64 rest = seconds % 86400;
    QString clock = QStringLiteral("%1:%2:%3")
                        .arg(rest / 3600, 2, 10, QLatin1Char('0'))
                        .arg(rest / 60 % 60, 2, 10, QLatin1Char('0'))
                        .arg(rest % 60, 2, 10, QLatin1Char('0'));
    if (days > 0)
        clock = tr("%1 d %2").arg(days).arg(clock);
    return negative ? QLatin1Char('-') + clock : clock;
}
