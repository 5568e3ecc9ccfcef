#ifndef STORECONTENTS_H
#define STORECONTENTS_H

#include "storeditem.h"

#include <QVector>

// What a store held when it was opened: its items in the order of their places, without the
// readings, which are read item by item when they are needed.
struct StoreContents
{
    QVector<StoredItem> items;
    qint64 activeItem = 0; // 0: none
    // False when the session that wrote the store last did not end normally.
    bool endedCleanly = true;

    bool isEmpty() const { return items.isEmpty(); }
};

#endif // STORECONTENTS_H
