#ifndef STOREDITEM_H
#define STOREDITEM_H

#include <QString>

// An item as the store keeps it: the window's tree gives every item a kind
// (ItemData::DataType), a name and a place (its row under its parent). The readings are kept
// apart, under the item's id.
struct StoredItem
{
    qint64 id = 0;
    int kind = 0;
    QString name;
    int position = 0;

    bool operator==(const StoredItem &other) const
    {
        return id == other.id && kind == other.kind && name == other.name
            && position == other.position;
    }
};

#endif // STOREDITEM_H
