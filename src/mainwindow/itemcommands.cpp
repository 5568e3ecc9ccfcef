#include "ui_widget.h"
#include "widget.h"

#include "tvitemmodel.h"

#include <QStandardItem>

// The item commands: new, rename, delete and the choice of the active item.

void Widget::itemSetToActive(QModelIndex index)
{
    // "Live Data" only groups the items; it never becomes active.
    if (!index.isValid() || !m_itemModel || index == m_liveRoot->index())
        return;
    ItemData *item = TvItemModel::itemDataOf(index);
    if (!item || item == m_activeItem)
        return;
    m_activeItem = item;

    for (int row = 0; row < m_itemModel->rowCount(); ++row) {
        const QModelIndex top = m_itemModel->index(row, 0);
        m_itemModel->setData(top, false, TvItemModel::ActiveRole);
        for (int child = 0; child < m_itemModel->rowCount(top); ++child)
            m_itemModel->setData(m_itemModel->index(child, 0, top), false, TvItemModel::ActiveRole);
    }
    m_itemModel->setData(index, true, TvItemModel::ActiveRole);

    stopMeasurement();
    // Stored records are downloaded, never measured.
    if (m_activeItem == storeItem())
        ui->actionStart->setEnabled(false);
    refreshItemViews();
}

void Widget::newItem(QString name, ItemData::DataType type)
{
    if (name.isEmpty())
        return;
    stopMeasurement();
    const QStandardItem *row = m_itemModel->appendItem(m_liveRoot, m_measureIcon, name, type);
    const QModelIndex index = row->index();
    itemSetToActive(index);
    ui->tvItems->setCurrentIndex(index);
    slotCurrentRowChanged(index, QModelIndex());
}

void Widget::on_actionItemNew_triggered()
{
    // Not built yet: asks for a name and creates a live measurement item.
}

void Widget::on_actionItemDelete_triggered()
{
    // Not built yet: deletes the current item after a confirmation.
}

void Widget::on_actionItemRename_triggered()
{
    // Not built yet: renames the current item.
}

void Widget::on_actionItemSetToActive_triggered()
{
    // Not built yet: activates the tree's current row.
}

void Widget::on_tvItems_activated(QModelIndex)
{
    // Not built yet: activates the activated row.
}

void Widget::slotCurrentRowChanged(QModelIndex current, QModelIndex)
{
    // The item tool bar follows the selected row; the active item does not.
    if (!current.isValid())
        return;
    ui->itemToolBar->clear();
    ui->itemToolBar->addActions(itemActionsFor(current));
}

void Widget::slotItemModeleditDataChanged(QModelIndex)
{
    // Not built yet: a diagnostic line for renamed rows.
}
