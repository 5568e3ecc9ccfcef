#ifndef TVITEMMODEL_H
#define TVITEMMODEL_H

#include "itemdata.h"

#include <QIcon>
#include <QModelIndex>
#include <QStandardItemModel>

class QStandardItem;

// The tree of measurement items. Each row carries its ItemData under ItemDataRole and shows
// that item's current name, not the standard item's own text; the active row is drawn bold
// and orange.
class TvItemModel : public QStandardItemModel
{
    Q_OBJECT
public:
    enum Role {
        ActiveRole = Qt::UserRole + 1, // bool: the row's item is the active item
        ItemDataRole = Qt::UserRole + 2 // ItemData*
    };

    explicit TvItemModel(QObject *parent = nullptr);

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The item of a row; null when the row carries none or something else.
    static ItemData *itemDataOf(const QModelIndex &index);
    static ItemData *itemDataOf(const QStandardItem *item);
    static QVariant itemDataVariant(ItemData *item);

    // How many rows, top-level and their children, show a name starting with `prefix`
    // (case-sensitive). The default names of new items count on it; since names are never
    // compared otherwise, a deleted item's number can come round again.
    static int countNamesStartingWith(const QAbstractItemModel *model, const QString &prefix);

    // Appends a row under `parentItem` (the invisible root for a top-level row) showing `name`
    // with `icon`, and creates its ItemData. The model owns the ItemData as a child object so
    // that the items never deleted by the user are freed with the model; deleting one earlier
    // is fine.
    QStandardItem *appendItem(QStandardItem *parentItem, const QIcon &icon, const QString &name,
                              ItemData::DataType type);
    // A measurement or import row under the "Live Data" row, with the measurement icon.
    QStandardItem *appendMeasureItem(QStandardItem *liveRoot, const QString &name,
                                     ItemData::DataType type);

    // Builds the start-up tree on an empty model: "Store Data", "Live Data" and Measure1 below
    // it. Returns the "Live Data" row.
    QStandardItem *buildStartupTree();

    // The measurement icon, loaded once and shared by every measurement row.
    QIcon measureIcon() const { return m_measureIcon; }

signals:
    void editDataChanged(QModelIndex index);

private:
    QIcon m_measureIcon;
};

#endif // TVITEMMODEL_H
