#include "widget.h"

#include "dmmdata.h"

// The views of the active item: reading table, charts and statistics grid.

void Widget::setupStatisticTable()
{
    // Not built yet: the fixed captions and cells of twMath.
}

void Widget::updateItemStatistic(ItemData *, const DmmData *)
{
    // Not built yet: folds one reading into the item's statistics.
}

void Widget::updateStatisticTable()
{
    // Not built yet: shows the active item's statistics in twMath.
}

void Widget::refreshItemViews()
{
    // Not built yet: rebuilds table, charts and statistics from the active item.
}
