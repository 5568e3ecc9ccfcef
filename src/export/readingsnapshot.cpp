#include "readingsnapshot.h"

#include "dmmdata.h"
#include "imydmm.h"

#include <QElapsedTimer>
#include <QStringBuilder>

#include <cstring>

namespace {

// Conversions remembered per channel before the table starts over (a pathological item of
// only distinct values would otherwise grow it without end).
constexpr int maxRemembered = 1 << 16;

void putDigits(char *at, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        at[i] = char('0' + value % 10);
        value /= 10;
    }
}

} // namespace

uint qHash(const SnapshotBuilder::Raw &raw, uint seed)
{
    return qHash(raw.text, seed) ^ qHash(raw.bits, seed) ^ uint(raw.code);
}

ReadingSnapshot::ReadingSnapshot(const QString &unitText)
    : m_unitText(unitText)
{
}

QVariant ReadingSnapshot::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return QVariant();
    const Row &r = m_rows.at(row);
    switch (column) {
    case 0:
        return r.number;
    case 1:
        return formatTime(r.time, r.toTheMinute);
    case 2:
    case 4:
    case 5:
        return QString(r.values[size_t(column - 2)] % QLatin1Char(' ') % m_unitText);
    case 3:
        return QString(r.values[1] % QLatin1String(" %RH"));
    default:
        return QVariant();
    }
}

QString ReadingSnapshot::timeText(int row) const
{
    const Row &r = m_rows.at(row);
    return formatTime(r.time, r.toTheMinute);
}

QString ReadingSnapshot::formatTime(const QDateTime &time, bool toTheMinute)
{
    if (!time.isValid())
        return QString();
    const QDate date = time.date();
    const QTime clock = time.time();
    if (date.year() < 0 || date.year() > 9999) {
        return time.toString(toTheMinute ? QStringLiteral("yyyy-MM-dd hh:mm")
                                         : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    char text[19];
    putDigits(text, date.year(), 4);
    text[4] = '-';
    putDigits(text + 5, date.month(), 2);
    text[7] = '-';
    putDigits(text + 8, date.day(), 2);
    text[10] = ' ';
    putDigits(text + 11, clock.hour(), 2);
    text[13] = ':';
    putDigits(text + 14, clock.minute(), 2);
    text[16] = ':';
    putDigits(text + 17, clock.second(), 2);
    return QString::fromLatin1(text, toTheMinute ? 16 : 19);
}

SnapshotBuilder::SnapshotBuilder(const QList<DmmData *> &readings, IMyDmm *converter, int unit,
                                 const QString &unitText)
    : m_readings(readings)
    , m_converter(converter)
    , m_unit(unit)
    , m_snapshot(std::make_shared<ReadingSnapshot>(unitText))
{
    m_snapshot->reserve(readings.size());
}

QString SnapshotBuilder::shownText(int channel, const DmmData *reading)
{
    const DmmValue raw = reading->value(channel);
    if (!m_converter)
        return raw.text;
    Raw key {raw.code, 0, raw.text};
    std::memcpy(&key.bits, &raw.value, sizeof key.bits);
    QHash<Raw, QString> &converted = m_converted[size_t(channel)];
    const auto found = converted.constFind(key);
    if (found != converted.constEnd())
        return found.value();
    if (converted.size() >= maxRemembered)
        converted.clear();
    const QString text = m_converter->convertValue(raw, channel, m_unit).text;
    converted.insert(key, text);
    return text;
}

bool SnapshotBuilder::step(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    const int count = m_readings.size();
    while (m_next < count) {
        // The clock is read every few hundred readings only.
        const int end = std::min(count, m_next + 512);
        for (; m_next < end; ++m_next) {
            const DmmData *reading = m_readings.at(m_next);
            ReadingSnapshot::Row row;
            row.toTheMinute = reading->isStore();
            row.number = row.toTheMinute ? reading->storeIndex() : m_next + 1;
            row.time = row.toTheMinute ? reading->storeTime() : reading->time();
            for (int channel = 0; channel < Channel::Count; ++channel)
                row.values[size_t(channel)] = shownText(channel, reading);
            m_snapshot->append(row);
        }
        if (clock.elapsed() >= budgetMs)
            break;
    }
    if (m_next >= count)
        m_readings.clear(); // done: no pointer into the item is kept
    return m_next >= count;
}
