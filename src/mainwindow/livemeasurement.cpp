#include "widget.h"

#include "dmmdata.h"

// Live measurement: Start, Stop and the road of every live reading.

void Widget::on_actionStart_triggered()
{
    // Not built yet: starts recording into the active item.
}

void Widget::on_actionStop_triggered()
{
    // Not built yet: stops recording.
}

void Widget::slotDmmDisplay(const DmmData *data)
{
    // Not built yet: shows and records the reading. The reading is ours; drop it.
    delete data;
}
