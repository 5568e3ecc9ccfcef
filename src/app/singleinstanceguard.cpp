#include "singleinstanceguard.h"

#include "meterlog.h"

#include <QHash>
#include <QSharedMemory>
#include <QSystemSemaphore>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

// Notes on the toolkit's Unix implementation that this guard relies on:
// - The semaphore is taken with SEM_UNDO, so the kernel gives the count back when a process
//   dies while holding it. Opening an existing semaphore without resetting its count is
//   therefore safe after a crash.
// - The object that created a named semaphore removes it when destroyed, even while other
//   processes wait on it or hold it; the next starter then makes a new one and two copies are
//   inside the check at once. So the semaphore handle is kept until the process ends and the
//   semaphore itself stays in the system, as it does after a crash anyway.
// - The shared-memory object guards its own create, attach and detach with a second semaphore,
//   which create() resets and which is removed when the object goes. Every use of the marker
//   object, its destruction included, therefore happens while the named semaphore is held.
// - A segment outlives a crashed process; it is removed on the last detach.

static QSystemSemaphore &processSemaphore(const QString &key)
{
    // Reachable for the life of the process and deliberately never destroyed (see above).
    static auto *semaphores = new QHash<QString, QSystemSemaphore *>;
    QSystemSemaphore *&semaphore = (*semaphores)[key];
    if (!semaphore)
        semaphore = new QSystemSemaphore(key, 1, QSystemSemaphore::Open);
    return *semaphore;
}

SingleInstanceGuard::SingleInstanceGuard(const QString &semaphoreKey, const QString &markerKey)
    : m_semaphore(processSemaphore(semaphoreKey))
    , m_marker(new QSharedMemory(markerKey))
{
    const bool locked = m_semaphore.acquire();
    if (!locked)
        qCWarning(lcMeter) << "single-instance semaphore unavailable:" << m_semaphore.errorString();

    bool created = m_marker->create(1, QSharedMemory::ReadWrite);
    // The marker may be left over from a crashed copy, with no process attached. Attaching and
    // detaching again removes exactly such a segment; a live copy stays attached to its own,
    // which therefore survives. Without the lock another starter could be halfway through
    // creating the marker, so then the plain create has to do.
    if (!created && m_marker->error() == QSharedMemory::AlreadyExists && locked) {
        if (m_marker->attach(QSharedMemory::ReadOnly))
            m_marker->detach();
        created = m_marker->create(1, QSharedMemory::ReadWrite);
        if (created)
            qCInfo(lcMeter) << "removed the marker of a copy that did not end normally";
    }
    if (!created) {
        if (m_marker->error() != QSharedMemory::AlreadyExists)
            qCWarning(lcMeter) << "single-instance marker not created:" << m_marker->errorString();
        m_marker.reset();
    }

    if (locked)
        m_semaphore.release();
}

SingleInstanceGuard::~SingleInstanceGuard()
{
    if (!m_marker)
        return;
    // Detaching removes the segment as we are its last user; under the lock, so that a copy
    // starting right now sees either our marker or none.
    const bool locked = m_semaphore.acquire();
    m_marker.reset();
    if (locked)
        m_semaphore.release();
}

QString SingleInstanceGuard::userKey(const QString &key)
{
#ifdef Q_OS_UNIX
    return QStringLiteral("%1-%2").arg(key).arg(::getuid());
#else
    return key;
#endif
}
