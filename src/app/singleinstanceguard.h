#ifndef SINGLEINSTANCEGUARD_H
#define SINGLEINSTANCEGUARD_H

#include <QString>

#include <memory>

class QSharedMemory;
class QSystemSemaphore;

// Makes sure only one copy of the application runs (per user, with userKey()). A named semaphore
// serialises the check-and-create of a one-byte shared-memory marker between copies started
// at the same moment; the first copy keeps the marker attached until the guard is destroyed.
class SingleInstanceGuard
{
public:
    SingleInstanceGuard(const QString &semaphoreKey, const QString &markerKey);
    ~SingleInstanceGuard();

    SingleInstanceGuard(const SingleInstanceGuard &) = delete;
    SingleInstanceGuard &operator=(const SingleInstanceGuard &) = delete;

    bool isFirstInstance() const { return m_marker != nullptr; }

    // `key` for the user who runs this process: on Unix followed by "-" and the user id, so
    // that each user has a copy of their own and a copy left behind by one user (the system
    // objects are private to whoever created them) never keeps another out.
    static QString userKey(const QString &key);

private:
    QSystemSemaphore &m_semaphore;
    std::unique_ptr<QSharedMemory> m_marker; // set only while this copy holds the marker
};

#endif // SINGLEINSTANCEGUARD_H
