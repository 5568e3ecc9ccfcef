#include "itemtreerecorder.h"

#include "dmmdata.h"
#include "itemdata.h"
#include "measurementstore.h"
#include "storebatch.h"
#include "tvitemmodel.h"

#include <QCursor>
#include <QGuiApplication>

namespace {

// Batches waiting for the writer before the next one is made: enough to keep the writer busy,
// few enough that a long import is not copied into memory all at once.
constexpr int batchesAhead = 2;

} // namespace

ItemTreeRecorder::ItemTreeRecorder(TvItemModel *model, MeasurementStore *store, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_store(store)
{
    m_timer.setInterval(periodMs);
    connect(&m_timer, &QTimer::timeout, this, &ItemTreeRecorder::collect);
}

ItemTreeRecorder::~ItemTreeRecorder()
{
    stop();
}

void ItemTreeRecorder::adopt(ItemData *item, const StoredItem &stored)
{
    if (!item)
        return;
    Tracked &tracked = track(item);
    tracked.stored = stored;
    tracked.known = true;
    tracked.loaded = false;
    tracked.generation = item->generation();
    m_nextId = qMax(m_nextId, stored.id + 1);
}

ItemTreeRecorder::Tracked &ItemTreeRecorder::track(ItemData *item)
{
    auto it = m_items.find(item);
    if (it != m_items.end())
        return *it;
    // A deleted item's address may come back for a new one: forget it as it goes.
    connect(item, &QObject::destroyed, this, [this](QObject *gone) { m_items.remove(gone); });
    Tracked tracked;
    tracked.generation = item->generation();
    return *m_items.insert(item, tracked);
}

void ItemTreeRecorder::start(qint64 storedActive)
{
    if (m_running || !m_model)
        return;
    m_running = true;
    m_active = storedActive;
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ItemTreeRecorder::rowsGoing);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &ItemTreeRecorder::activeRowChanged);
    connect(m_store, &MeasurementStore::batchWritten, this, [this] {
        if (m_waitingForWriter) {
            m_waitingForWriter = false;
            collect();
        }
    });
    m_timer.start();
}

void ItemTreeRecorder::stop()
{
    if (!m_running)
        return;
    m_running = false;
    m_timer.stop();
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    disconnect(m_store, nullptr, this, nullptr);
}

bool ItemTreeRecorder::isLoaded(const ItemData *item) const
{
    const auto it = m_items.constFind(item);
    return it == m_items.constEnd() || it->loaded;
}

qint64 ItemTreeRecorder::idOf(const ItemData *item) const
{
    const auto it = m_items.constFind(item);
    return it != m_items.constEnd() && it->known ? it->stored.id : 0;
}

bool ItemTreeRecorder::ensureLoaded(ItemData *item)
{
    auto it = m_items.find(item);
    if (it == m_items.end() || it->loaded)
        return true;
    it->loaded = true;
    // Emptied since (a download into "Store Data" clears it before activating it), or given
    // readings of its own: what the store holds for it is no longer what it shows. The next
    // comparison clears the store's readings, or puts the new ones after them.
    if (item->generation() != it->generation || item->count() > 0)
        return true;
    // A long item takes a moment to read.
    const bool withCursor = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (withCursor)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const int read = m_store->loadReadings(it->stored.id, item);
    if (withCursor)
        QGuiApplication::restoreOverrideCursor();
    it->persisted = item->count();
    return read >= 0;
}

void ItemTreeRecorder::rowsGoing(const QModelIndex &parent, int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = m_model->index(row, 0, parent);
        // Rows below a removed row go with it.
        rowsGoing(index, 0, m_model->rowCount(index) - 1);
        const ItemData *item = TvItemModel::itemDataOf(index);
        const auto it = m_items.constFind(item);
        if (it == m_items.constEnd())
            continue;
        if (it->known)
            m_removed.append(it->stored.id);
        m_items.erase(it);
    }
}

void ItemTreeRecorder::activeRowChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                        const QVector<int> &roles)
{
    if (!roles.isEmpty() && !roles.contains(TvItemModel::ActiveRole))
        return;
    // Activation marks the row before the window rebuilds its views from the item: the
    // stored readings are in the item by the time the views ask for them.
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const QModelIndex index = m_model->index(row, 0, topLeft.parent());
        if (index.data(TvItemModel::ActiveRole).toBool())
            ensureLoaded(TvItemModel::itemDataOf(index));
    }
}

void ItemTreeRecorder::collect()
{
    m_collectQueued = false;
    if (!m_running)
        return;
    if (!m_store->isSaving() || !m_model) {
        // Nothing more is written; stored readings are still read when their item is
        // activated.
        m_timer.stop();
        return;
    }
    if (m_store->batchesInFlight() >= batchesAhead) {
        m_waitingForWriter = true;
        return;
    }
    StoreBatch batch;
    const bool complete = collectBatch(batchReadings, &batch);
    m_store->submit(batch);
    if (!complete && !m_collectQueued) {
        // The rest follows as soon as the writer has room, between the window's own events.
        m_collectQueued = true;
        QMetaObject::invokeMethod(this, &ItemTreeRecorder::collect, Qt::QueuedConnection);
    }
}

void ItemTreeRecorder::flush()
{
    if (!m_model || !m_store->isSaving())
        return;
    for (;;) {
        m_store->waitForWriter(batchesAhead);
        StoreBatch batch;
        const bool complete = collectBatch(batchReadings, &batch);
        m_store->submit(batch);
        if (complete)
            break;
    }
}

bool ItemTreeRecorder::collectBatch(int readingBudget, StoreBatch *batch)
{
    batch->removedItems.swap(m_removed);
    m_removed.clear();
    bool complete = true;
    qint64 active = 0;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex top = m_model->index(row, 0);
        ItemData *item = TvItemModel::itemDataOf(top);
        // "Live Data" only groups the items; the window makes it again at every start.
        if (item && item->getType() != ItemData::LiveRoot) {
            visit(item, row, &readingBudget, &complete, batch);
            if (top.data(TvItemModel::ActiveRole).toBool())
                active = idOf(item);
        }
        for (int child = 0; child < m_model->rowCount(top); ++child) {
            const QModelIndex index = m_model->index(child, 0, top);
            ItemData *childItem = TvItemModel::itemDataOf(index);
            if (!childItem)
                continue;
            visit(childItem, child, &readingBudget, &complete, batch);
            if (index.data(TvItemModel::ActiveRole).toBool())
                active = idOf(childItem);
        }
    }
    if (active != m_active) {
        batch->activeChanged = true;
        batch->activeItem = active;
        m_active = active;
    }
    return complete;
}

void ItemTreeRecorder::visit(ItemData *item, int position, int *readingBudget, bool *complete,
                             StoreBatch *batch)
{
    Tracked &tracked = track(item);
    const bool isNew = !tracked.known;
    if (isNew) {
        tracked.known = true;
        tracked.stored.id = m_nextId++;
    }
    const StoredItem now {tracked.stored.id, int(item->getType()), item->getName(), position};
    if (isNew || !(now == tracked.stored)) {
        tracked.stored = now;
        batch->items.append(now);
    }

    const int count = item->count();
    if (item->generation() != tracked.generation || (tracked.loaded && count < tracked.persisted)) {
        batch->clearedItems.append(tracked.stored.id);
        tracked.generation = item->generation();
        tracked.persisted = 0;
        tracked.loaded = true;
    } else if (!tracked.loaded && count > 0) {
        // Readings arrived before the stored ones were read: they follow the stored ones.
        tracked.loaded = true;
    }
    if (!tracked.loaded || count <= tracked.persisted)
        return;

    const int taken = qMin(count - tracked.persisted, *readingBudget);
    if (taken > 0) {
        StoreBatch::Readings part;
        part.itemId = tracked.stored.id;
        part.readings.reserve(taken);
        const QList<DmmData *> readings = item->getDataList();
        for (int i = tracked.persisted; i < tracked.persisted + taken; ++i)
            part.readings.append(StoredReading::of(*readings.at(i)));
        batch->appended.append(part);
        tracked.persisted += taken;
        *readingBudget -= taken;
    }
    if (tracked.persisted < count)
        *complete = false;
}
