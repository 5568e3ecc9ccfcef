#include "tvitemmodel.h"

#include <QColor>
#include <QCoreApplication>
#include <QFont>
#include <QStandardItem>

TvItemModel::TvItemModel(QObject *parent)
    : QStandardItemModel(parent)
    , m_measureIcon(QStringLiteral(":/image/measure.png"))
{
}

QVariant TvItemModel::data(const QModelIndex &index, int role) const
{
    switch (role) {
    case Qt::DisplayRole: {
        const ItemData *item = itemDataOf(index);
        return item ? item->getName() : QString();
    }
    case Qt::FontRole: {
        const QVariant stored = QStandardItemModel::data(index, role);
        QFont font = stored.canConvert<QFont>() ? stored.value<QFont>() : QFont();
        const bool active = QStandardItemModel::data(index, ActiveRole).toBool();
        font.setWeight(active ? QFont::Bold : QFont::Normal);
        return font;
    }
    case Qt::ForegroundRole:
        if (QStandardItemModel::data(index, ActiveRole).toBool())
            return QColor(QStringLiteral("#d57d00"));
        return QStandardItemModel::data(index, role);
    default:
        return QStandardItemModel::data(index, role);
    }
}

bool TvItemModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    const bool changed = value != data(index, Qt::DisplayRole);
    const bool stored = QStandardItemModel::setData(index, value, role);
    if (role == Qt::EditRole && changed)
        emit editDataChanged(index);
    return stored;
}

ItemData *TvItemModel::itemDataOf(const QModelIndex &index)
{
    // Goes through QObject*, so a variant holding anything but an ItemData yields null.
    return qobject_cast<ItemData *>(index.data(ItemDataRole).value<QObject *>());
}

ItemData *TvItemModel::itemDataOf(const QStandardItem *item)
{
    if (!item)
        return nullptr;
    return qobject_cast<ItemData *>(item->data(ItemDataRole).value<QObject *>());
}

QVariant TvItemModel::itemDataVariant(ItemData *item)
{
    return QVariant::fromValue<ItemData *>(item);
}

QStandardItem *TvItemModel::appendItem(QStandardItem *parentItem, const QIcon &icon,
                                       const QString &name, ItemData::DataType type)
{
    if (!parentItem)
        parentItem = invisibleRootItem();
    auto *row = new QStandardItem(icon, name);
    auto *item = new ItemData(name, type, this);
    row->setData(itemDataVariant(item), ItemDataRole);
    parentItem->appendRow(row); // the model owns the row from here
    return row;
}

QStandardItem *TvItemModel::appendMeasureItem(QStandardItem *liveRoot, const QString &name,
                                              ItemData::DataType type)
{
    return appendItem(liveRoot, m_measureIcon, name, type);
}

QStandardItem *TvItemModel::buildStartupTree()
{
    setHorizontalHeaderLabels({QStringLiteral("Name")});
    // The window shows these rows, so their texts belong to its translation context.
    appendItem(invisibleRootItem(), QIcon(QStringLiteral(":/image/rom.png")),
               QCoreApplication::translate("Widget", "Store Data"), ItemData::Store);
    QStandardItem *liveRoot
        = appendItem(invisibleRootItem(), QIcon(QStringLiteral(":/image/live.png")),
                     QCoreApplication::translate("Widget", "Live Data"), ItemData::LiveRoot);
    appendMeasureItem(liveRoot, QStringLiteral("Measure%1").arg(1), ItemData::Measure);
    return liveRoot;
}

int TvItemModel::countNamesStartingWith(const QAbstractItemModel *model, const QString &prefix)
{
    int count = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex top = model->index(row, 0);
        if (top.data().toString().startsWith(prefix, Qt::CaseSensitive))
            ++count;
        for (int child = 0; child < model->rowCount(top); ++child) {
            if (model->index(child, 0, top).data().toString().startsWith(prefix, Qt::CaseSensitive))
                ++count;
        }
    }
    return count;
}
