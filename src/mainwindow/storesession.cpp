#include "storesession.h"
#include "widget.h"

#include "itemtreerecorder.h"
#include "measurementstore.h"
#include "tvitemmodel.h"
#include "waitcursor.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardItem>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

StoreSession::StoreSession(Widget *window, const QString &folder, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_store(new MeasurementStore)
    , m_recorder(new ItemTreeRecorder(window->itemModel(), m_store.get()))
{
    connect(m_store.get(), &MeasurementStore::savingFailed, this, [this] {
        if (m_shown)
            tellNotSaving();
    });
    if (m_store->open(folder)) {
        restore();
        m_recorder->start(m_store->contents().activeItem);
    }
    // Whatever there is to read or to say waits until the window has been drawn once.
    window->installEventFilter(this);
}

StoreSession::~StoreSession()
{
    finish();
}

void StoreSession::restore()
{
    const StoreContents &contents = m_store->contents();
    TvItemModel *model = m_window->itemModel();
    QStandardItem *liveRoot = m_window->liveRoot();
    if (contents.isEmpty() || !model || !liveRoot)
        return;

    // The start-up tree holds "Store Data" and Measure1; the store's items take their places.
    const QPersistentModelIndex startupItem = model->index(0, 0, liveRoot->index());
    const QModelIndex storeRow = model->index(0, 0);
    bool storeAdopted = false;
    QModelIndex activeRow;
    QModelIndex firstLiveRow;
    for (const StoredItem &stored : contents.items) {
        QModelIndex row;
        if (stored.kind == ItemData::Store) {
            // "Store Data" keeps the name of the current language.
            if (storeAdopted)
                continue;
            storeAdopted = true;
            row = storeRow;
        } else if (stored.kind == ItemData::Measure || stored.kind == ItemData::Import) {
            row = model->appendMeasureItem(liveRoot, stored.name, ItemData::DataType(stored.kind))
                      ->index();
            if (!firstLiveRow.isValid())
                firstLiveRow = row;
        } else {
            continue;
        }
        m_recorder->adopt(TvItemModel::itemDataOf(row), stored);
        if (stored.id == contents.activeItem)
            activeRow = row;
    }
    // With no item active at the end of the last session, the first one is.
    if (!activeRow.isValid())
        activeRow = firstLiveRow.isValid() ? firstLiveRow : QModelIndex(startupItem);

    m_window->itemSetToActive(activeRow);
    if (auto *tree = m_window->findChild<QTreeView *>(QStringLiteral("tvItems")))
        tree->setCurrentIndex(activeRow);
    m_window->slotCurrentRowChanged(activeRow, QModelIndex());

    if (firstLiveRow.isValid() && startupItem.isValid()) {
        ItemData *unused = TvItemModel::itemDataOf(startupItem);
        model->removeRow(startupItem.row(), startupItem.parent());
        delete unused;
    }
}

bool StoreSession::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::Paint && !m_shown) {
        m_shown = true;
        m_window->removeEventFilter(this);
        QTimer::singleShot(0, this, &StoreSession::shown);
    }
    return QObject::eventFilter(watched, event);
}

void StoreSession::shown()
{
    if (!m_window || m_finished)
        return;
    m_settled = true;
    if (m_store->state() == MeasurementStore::State::NotSaving) {
        tellNotSaving();
        return;
    }
    ItemData *active = m_window->activeItem();
    if (active && !m_recorder->isLoaded(active)) {
        const WaitCursor waitCursor;
        m_recorder->ensureLoaded(active);
        m_window->refreshItemViews();
    }
    if (!m_store->setAsidePath().isEmpty()) {
        m_window->statusBar()->showMessage(
            tr("The measurement store could not be read. It was renamed to %1 and a new one was "
               "started.")
                .arg(QFileInfo(m_store->setAsidePath()).fileName()));
    } else if (m_store->recoveredReadings() >= 0) {
        m_window->statusBar()->showMessage(
            tr("The last session did not end normally: %1 readings were recovered.")
                .arg(m_store->recoveredReadings()));
    }
}

void StoreSession::tellNotSaving()
{
    if (m_toldNotSaving || !m_window)
        return;
    m_toldNotSaving = true;
    m_window->statusBar()->showMessage(tr("Measurements are not being saved."));
    QMessageBox::warning(m_window, QString(),
                         tr("Measurements are not being saved: the measurement store cannot be "
                            "used.\n%1\n%2")
                             .arg(QDir::toNativeSeparators(m_store->path()), m_store->errorText()),
                         QMessageBox::Ok);
}

void StoreSession::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_window)
        m_window->removeEventFilter(this);
    disconnect(m_store.get(), nullptr, this, nullptr);
    m_recorder->stop();
    m_recorder->flush();
    m_store->close();
}
