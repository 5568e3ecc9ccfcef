#ifndef STOREDREADING_H
#define STOREDREADING_H

#include "dmmdata.h"

#include <QDateTime>

// A reading copied out of its item: plain values that can travel to the store's own thread
// while the item goes on growing (or is cleared) on the window's thread.
struct StoredReading
{
    QDateTime time;
    QDateTime storeTime;
    DmmValue values[Channel::Count];
    bool isStore = false;
    int storeIndex = 0;

    static StoredReading of(const DmmData &reading);
    // A new reading with exactly these fields; the caller owns it.
    DmmData *toReading() const;
};

#endif // STOREDREADING_H
