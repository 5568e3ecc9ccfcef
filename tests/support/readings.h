#ifndef READINGS_H
#define READINGS_H

#include <QDate>
#include <QDateTime>
#include <QTime>

class DmmData;
class ItemData;
class Widget;

// Readings made by the test instead of a meter. Each is a new record the caller hands to an
// item (record(), fillActiveItem()) or deletes.
//
//     record(window, window->activeItem(), makeReading(21.5, 45.0, 9.1, 14.2));
//     window->refreshItemViews();
//
//     fillActiveItem(window, 300); // recorded and shown, every row different

// A reading as the meter sends it: the four values in the base unit, with one-decimal texts.
DmmData *makeReading(double temperature, double humidity, double dewPoint, double wetBulb,
                     const QDateTime &time = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
// A record of the meter's memory: number `index`, stored at `storeTime`, at `temperature`.
DmmData *makeStoredRecord(int index, const QDateTime &storeTime, double temperature);
// Reading `i` of a series that differs from row to row in every column and in time (one
// second apart), with the texts the window's meter makes for them.
DmmData *seriesReading(const Widget *window, int i);

// Hands the reading to the item and folds it into the item's statistics, as recording does;
// the views follow at the next refreshItemViews().
void record(Widget *window, ItemData *item, DmmData *reading);
// Records `count` series readings into the active item and refreshes the views.
void fillActiveItem(Widget *window, int count);

#endif // READINGS_H
