#ifndef ITEMTREERECORDER_H
#define ITEMTREERECORDER_H

#include "storeditem.h"

#include <QHash>
#include <QModelIndex>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVector>

class ItemData;
class MeasurementStore;
struct StoreBatch;
class TvItemModel;

// Keeps the measurement store in step with the item tree by watching it rather than the
// commands that change it: a few times a second it compares the tree with what it handed to
// the store before (names, places, the active row, each item's clearings and reading count)
// and hands over the differences as one batch. Deletions are caught from the model as the
// rows go, while their items still exist.
//
// Items restored from the store are adopted with their ids; their readings stay in the store
// until the item is first made active, when they are read into it before the window shows it.
class ItemTreeRecorder : public QObject
{
    Q_OBJECT
public:
    // How often the tree is compared, and how many readings one batch takes at most: a batch
    // is copied on the window's thread, so a long import reaches the store in several.
    static constexpr int periodMs = 250;
    static constexpr int batchReadings = 20000;

    ItemTreeRecorder(TvItemModel *model, MeasurementStore *store, QObject *parent = nullptr);
    ~ItemTreeRecorder() override;

    // An item of the tree that the store holds as `stored`. Call before start().
    void adopt(ItemData *item, const StoredItem &stored);
    // Starts watching; `storedActive` is the active item the store holds. Once the store stops
    // saving, stored readings are still read when their item is activated, until stop().
    void start(qint64 storedActive);
    void stop();

    // Reads the stored readings of an adopted item that has not had them yet. True when the
    // item now holds everything the store has for it.
    bool ensureLoaded(ItemData *item);
    bool isLoaded(const ItemData *item) const;
    // The id under which the store keeps an item; 0 for an item it does not know.
    qint64 idOf(const ItemData *item) const;

    // Compares now and hands over whatever differs, however many batches it takes (at the end
    // of a session).
    void flush();

private:
    struct Tracked
    {
        StoredItem stored; // as last handed to the store
        quint64 generation = 0;
        int persisted = 0; // leading readings the store has been given
        bool loaded = true; // false while the stored readings are still only in the store
        bool known = false; // the store has the item itself
    };

    void collect();
    // One batch of at most `readingBudget` readings; false when readings are left over.
    bool collectBatch(int readingBudget, StoreBatch *batch);
    void visit(ItemData *item, int position, int *readingBudget, bool *complete, StoreBatch *batch);
    void rowsGoing(const QModelIndex &parent, int first, int last);
    void activeRowChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                          const QVector<int> &roles);
    Tracked &track(ItemData *item);

    QPointer<TvItemModel> m_model;
    MeasurementStore *m_store;
    QTimer m_timer;
    QHash<const QObject *, Tracked> m_items;
    QVector<qint64> m_removed;
    qint64 m_nextId = 1;
    qint64 m_active = 0;
    bool m_running = false;
    bool m_collectQueued = false;
    bool m_waitingForWriter = false;
};

#endif // ITEMTREERECORDER_H
