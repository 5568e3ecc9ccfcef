#include "widget.h"

#include "dmmparam.h"

// The meter's parameters and clock.

void Widget::on_actionSettings_triggered()
{
    // Not built yet: runs the settings dialog.
}

void Widget::slotUpdateParam(DmmParam *)
{
    // Not built yet: forwards the record to the dialog and follows the temperature unit.
}

void Widget::slotWriteDmmParam(DmmParam *)
{
    // Not built yet: writes the record to the meter and reads it back.
}

void Widget::updateDatetime(QDateTime)
{
    // Not built yet: sets the meter's clock.
}

void Widget::slotResponseResult(int, int)
{
    // Not built yet: confirms a successful write.
}

void Widget::slotSingleShot()
{
    // Not built yet: the deferred write confirmation.
}

void Widget::on_actionSyncTime_triggered()
{
    // Deliberately empty: the clock is set from the settings dialog.
}
