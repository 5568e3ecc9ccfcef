#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "meterlog.h"
#include "tvitemmodel.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
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
    const QStandardItem *row = m_itemModel->appendMeasureItem(m_liveRoot, name, type);
    const QModelIndex index = row->index();
    itemSetToActive(index);
    ui->tvItems->setCurrentIndex(index);
    slotCurrentRowChanged(index, QModelIndex());
}

void Widget::on_actionItemNew_triggered()
{
    const QString proposal
        = QStringLiteral("Measure%1")
              .arg(TvItemModel::countNamesStartingWith(m_itemModel, QStringLiteral("Measure")) + 1);
    // The label is shown untranslated in every language.
    const QString name = QInputDialog::getText(this, QString(), QStringLiteral("Name:"),
                                               QLineEdit::Normal, proposal)
                             .trimmed();
    // A cancelled dialog answers with an empty text.
    if (name.isEmpty())
        return;
    newItem(name, ItemData::Measure);
}

void Widget::on_actionItemDelete_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    // Only the items under "Live Data" can go, and never the last of them. "Store Data" and
    // "Live Data" themselves stay: removing "Live Data" would take every item with it and
    // leave the window without a place for new ones.
    if (!index.isValid() || index.parent() != m_liveRoot->index())
        return;
    if (m_itemModel->rowCount(index.parent()) < 2)
        return;
    if (QMessageBox::question(this, QString(), tr("Are you sure delete this item?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;

    ItemData *item = TvItemModel::itemDataOf(index);
    const bool wasActive = item && item == m_activeItem;
    if (wasActive) {
        stopMeasurement();
        m_activeItem = nullptr;
        // The table points into the item's readings: let go of them before they are deleted.
        m_dataModel->clearData();
        for (DMMChart *chart : charts())
            chart->clearPoints();
    }
    // The row goes first, so that nothing can read its item once the item is gone.
    m_itemModel->removeRow(index.row(), index.parent());
    delete item;

    // The row the view moved to takes over; with none (or "Live Data") no item is active.
    if (wasActive)
        itemSetToActive(ui->tvItems->currentIndex());
}

void Widget::on_actionItemRename_triggered()
{
    const QModelIndex index = ui->tvItems->currentIndex();
    if (!index.isValid() || (!index.parent().isValid() && index.row() == 0))
        return;
    ItemData *item = TvItemModel::itemDataOf(index);
    if (!item)
        return;
    // The label is shown untranslated in every language.
    const QString name
        = QInputDialog::getText(this, QString(), QStringLiteral("New name:"), QLineEdit::Normal,
                                index.data(Qt::DisplayRole).toString())
              .trimmed();
    if (name.isEmpty())
        return;
    item->setName(name);
    stopMeasurement();
    // The tree shows the item's name, not the row's text: draw it again now.
    ui->tvItems->viewport()->update();
}

void Widget::on_actionItemSetToActive_triggered()
{
    itemSetToActive(ui->tvItems->currentIndex());
}

void Widget::on_tvItems_activated(QModelIndex index)
{
    itemSetToActive(index);
}

void Widget::slotCurrentRowChanged(QModelIndex current, QModelIndex)
{
    // The item tool bar follows the selected row; the active item does not.
    if (!current.isValid())
        return;
    ui->itemToolBar->clear();
    ui->itemToolBar->addActions(itemActionsFor(current));
}

void Widget::slotItemModeleditDataChanged(QModelIndex index)
{
    if (index.row() != 0)
        qCDebug(lcMeter) << "slotItemModeleditDataChanged"
                         << index.data(Qt::DisplayRole).toString();
}
