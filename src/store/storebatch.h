#ifndef STOREBATCH_H
#define STOREBATCH_H

#include "storeditem.h"
#include "storedreading.h"

#include <QVector>

// What changed in the items since the previous batch, written to the store in one
// transaction. The parts are applied in the order of their declaration.
struct StoreBatch
{
    // Readings that follow those an item already has in the store.
    struct Readings
    {
        qint64 itemId = 0;
        QVector<StoredReading> readings;
    };

    QVector<qint64> removedItems; // deleted, with their readings
    QVector<StoredItem> items; // new, renamed or moved
    QVector<qint64> clearedItems; // emptied: their stored readings go
    QVector<Readings> appended;
    bool activeChanged = false;
    qint64 activeItem = 0; // 0: none

    bool isEmpty() const
    {
        return removedItems.isEmpty() && items.isEmpty() && clearedItems.isEmpty()
            && appended.isEmpty() && !activeChanged;
    }
    int readingCount() const
    {
        int count = 0;
        for (const Readings &part : appended)
            count += part.readings.size();
        return count;
    }
};

#endif // STOREBATCH_H
