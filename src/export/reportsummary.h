#ifndef REPORTSUMMARY_H
#define REPORTSUMMARY_H

#include <QCoreApplication>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>

class TableSource;

// What the first page of a report says about the readings: the item's name, the first and
// last time, how long that is, how many readings there are, and the smallest, largest and
// average value of each quantity in the unit the table shows.
class ReportSummary
{
    Q_DECLARE_TR_FUNCTIONS(ReportSummary)

public:
    struct Quantity
    {
        int count = 0; // values that read as numbers
        double minimum = 0.0;
        double maximum = 0.0;
        double sum = 0.0;
        int decimals = 0; // the most the table shows
        double average() const { return count > 0 ? sum / count : 0.0; }
    };

    QString name;
    int readings = 0;
    QDateTime first; // the first reading's time with one (invalid when none has)
    QDateTime last;
    // By channel: temperature, humidity, dew point, wet bulb.
    std::array<Quantity, 4> quantities;
    QString temperatureUnit; // "℃" or "℉"

    // Reads the whole table (on any thread the table may be read on).
    static ReportSummary of(const TableSource &table, const QString &name);

    // The texts the page shows, in order: labels and values of the facts, then the table of
    // values (one row per quantity: its title with the unit, minimum, maximum, average).
    QStringList factLabels() const;
    QStringList factValues() const;
    static QStringList valueHeaders();
    QStringList valueRow(int channel) const;

    // "3 d 04:05:06", or "04:05:06" under a day.
    static QString durationText(qint64 seconds);
};

#endif // REPORTSUMMARY_H
