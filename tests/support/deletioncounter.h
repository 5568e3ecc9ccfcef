#ifndef DELETIONCOUNTER_H
#define DELETIONCOUNTER_H

#include <QList>
#include <QObject>

// Counts how many of the watched objects (readings, items) have been deleted, to tell a leak
// or a double hand-over from a clean delete.
class DeletionCounter : public QObject
{
public:
    template<typename T> void watch(const QList<T *> &objects)
    {
        for (T *object : objects)
            watch(object);
    }
    void watch(QObject *object)
    {
        connect(object, &QObject::destroyed, this, [this] { ++deleted; });
    }

    int deleted = 0;
};

#endif // DELETIONCOUNTER_H
