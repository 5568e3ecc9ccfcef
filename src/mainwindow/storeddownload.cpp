#include "widget.h"

#include "dmmdata.h"

// Download of the records stored in the meter into the "Store Data" item.

void Widget::on_actionItemDownload_triggered()
{
    // Not built yet: asks the meter for the number of stored records.
}

void Widget::slotUpdateStoreCount(int)
{
    // Not built yet: starts the transfer with its progress dialog.
}

void Widget::slotDisplayStore(const DmmData *data)
{
    // Not built yet: adds the record to "Store Data". The record is ours; drop it.
    delete data;
}

void Widget::slotStoreNum(int, int)
{
    // Not built yet: progress and the completion message.
}

void Widget::slotDownLoadProgressFinished()
{
    // Not built yet: forgets the finished progress dialog.
}

void Widget::slotDownloadProgressCanceled()
{
    // Not built yet: forgets the cancelled progress dialog.
}
