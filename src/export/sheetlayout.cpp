#include "sheetlayout.h"

#include <algorithm>
#include <cmath>

namespace {

const QDate serialEpoch(1899, 12, 30);
constexpr double msPerDay = 86400000.0;
// 1900-01-01 to 9999-12-31, the dates a workbook can show.
constexpr double firstSerial = 1.0;
constexpr double lastSerial = 2958466.0;

int digits(const QString &text, int from, int count, bool *ok)
{
    int value = 0;
    for (int i = from; i < from + count; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            *ok = false;
            return 0;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// The table's time texts, read by hand: this runs once per exported row.
bool parseTableTime(const QString &text, QDate *date, QTime *time)
{
    if (text.size() != 19 && text.size() != 16)
        return false;
    if (text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-')
        || text.at(10) != QLatin1Char(' ') || text.at(13) != QLatin1Char(':'))
        return false;
    if (text.size() == 19 && text.at(16) != QLatin1Char(':'))
        return false;
    bool ok = true;
    const int year = digits(text, 0, 4, &ok);
    const int month = digits(text, 5, 2, &ok);
    const int day = digits(text, 8, 2, &ok);
    const int hour = digits(text, 11, 2, &ok);
    const int minute = digits(text, 14, 2, &ok);
    const int second = text.size() == 19 ? digits(text, 17, 2, &ok) : 0;
    if (!ok)
        return false;
    *date = QDate(year, month, day);
    *time = QTime(hour, minute, second);
    return date->isValid() && time->isValid();
}

double serialOf(const QDate &date, const QTime &time)
{
    return double(serialEpoch.daysTo(date)) + time.msecsSinceStartOfDay() / msPerDay;
}

bool isWide(uint c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F)
        || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF)
        || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
        || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

QStringList SheetLayout::headerTexts()
{
    // The workbook's own headers, never translated, so that any workbook reads back.
    return {QStringLiteral("No."),      QStringLiteral("Time"),      QStringLiteral("Temperature"),
            QStringLiteral("Humidity"), QStringLiteral("Dew Point"), QStringLiteral("Wet Bulb")};
}

QString SheetLayout::columnFormat(int column)
{
    if (column == timeColumn)
        return timeFormat();
    if (column > timeColumn && column < columnCount)
        return textFormat();
    return QString();
}

SheetLayout::Cell SheetLayout::cellFor(int column, const QVariant &display)
{
    Cell cell;
    if (!display.isValid() || display.isNull())
        return cell;
    if (column == timeColumn) {
        if (display.type() == QVariant::DateTime) {
            const QDateTime time = display.toDateTime();
            if (time.isValid()) {
                cell.kind = Cell::Date;
                cell.number = toSerial(time);
                return cell;
            }
        }
        const QString text = display.toString();
        QDate date;
        QTime time;
        if (parseTableTime(text, &date, &time)) {
            cell.kind = Cell::Date;
            cell.number = serialOf(date, time);
        } else if (!text.isEmpty()) {
            // Not a time a workbook can show as a date: kept as the text it is.
            cell.kind = Cell::Text;
            cell.text = text;
        }
        return cell;
    }
    if (column == 0) {
        bool ok = false;
        const double number = display.toDouble(&ok);
        if (ok && std::isfinite(number)) {
            cell.kind = Cell::Number;
            cell.number = number;
            cell.text = QString::number(number, 'g', 15);
            return cell;
        }
    }
    const QString text = display.toString();
    if (!text.isEmpty()) {
        cell.kind = Cell::Text;
        cell.text = text;
    }
    return cell;
}

double SheetLayout::toSerial(const QDateTime &time)
{
    return serialOf(time.date(), time.time());
}

QDateTime SheetLayout::fromSerial(double serial)
{
    if (!std::isfinite(serial) || serial < firstSerial || serial >= lastSerial)
        return QDateTime();
    qint64 days = qint64(std::floor(serial));
    qint64 ms = qint64(std::llround((serial - double(days)) * msPerDay));
    if (ms >= qint64(msPerDay)) {
        ++days;
        ms -= qint64(msPerDay);
    }
    return QDateTime(serialEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)), Qt::UTC);
}

QDateTime SheetLayout::parseTime(const QString &text)
{
    QDate date;
    QTime time;
    if (!parseTableTime(text.trimmed(), &date, &time))
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

int SheetLayout::shownWidth(const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Empty:
        return 0;
    case Cell::Date:
        return timeFormat().size();
    case Cell::Number:
    case Cell::Text:
        break;
    }
    return textWidth(cell.text);
}

int SheetLayout::textWidth(const QString &text)
{
    int width = 0;
    for (int i = 0; i < text.size(); ++i) {
        uint c = text.at(i).unicode();
        if (text.at(i).isHighSurrogate() && i + 1 < text.size()
            && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

double SheetLayout::columnWidth(int shownWidth)
{
    // A little room on both sides, as a fitted column has; never narrower than the default.
    return std::max(8.43, shownWidth + 1.7);
}
