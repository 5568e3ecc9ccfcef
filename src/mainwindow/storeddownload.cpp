#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "idmm.h"
#include "imydmm.h"
#include "meterlog.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>

// Download of the records stored in the meter into the "Store Data" item.

void Widget::on_actionItemDownload_triggered()
{
    if (m_dmm && m_dmm->isOpen() && m_myDmm)
        m_myDmm->requestStoreCount();
}

void Widget::slotUpdateStoreCount(int count)
{
    qCDebug(lcMeter) << "slotUpdateStoreCount" << count;
    if (m_closing)
        return;
    if (count <= 0) {
        QMessageBox::information(this, QString(), tr("The storing data is empty."),
                                 QMessageBox::Ok);
        return;
    }
    // A count that arrives after the link was lost would start a transfer that never comes,
    // behind a dialog that never closes; the stored item keeps what it had.
    if (!m_dmm || !m_dmm->isOpen()) {
        qCWarning(lcMeter) << "store count after the link closed; no download";
        return;
    }

    // The table shows the stored item's readings only after they are gone from it.
    m_dataModel->clearData();
    for (DMMChart *chart : charts())
        chart->clearPoints();
    if (ItemData *store = storeItem())
        store->clearData();

    const QModelIndex storeRow = m_itemModel->index(0, 0);
    ui->tvItems->setCurrentIndex(storeRow);
    itemSetToActive(storeRow);
    // When "Store Data" was already active nothing was rebuilt; the grid still shows the old
    // download's figures.
    updateStatisticTable();

    // A dialog of an earlier count (Download pressed twice before the answer) makes way.
    if (QProgressDialog *earlier = progressDialog) {
        progressDialog = nullptr;
        earlier->close();
    }

    auto *dialog = new QProgressDialog(QString(), tr("Cancel"), 0, count, this);
    dialog->setLabelText(tr("Downdloading..."));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(1);
    auto *bar = new QProgressBar(dialog);
    bar->setFormat(QStringLiteral("%v/%m"));
    bar->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    dialog->setBar(bar);
    // The new bar starts at 0..100; it shows the record count until the first report.
    dialog->setRange(0, count);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setMinimumWidth(260);
    dialog->setCancelButton(nullptr);
    dialog->show();
    progressDialog = dialog;

    connect(dialog, &QProgressDialog::canceled, this, &Widget::slotDownloadProgressCanceled);
    connect(dialog, &QProgressDialog::finished, this, &Widget::slotDownLoadProgressFinished);
    // No more records come once the link is lost: a window-modal dialog left open would lock
    // the window until the user thinks of pressing Escape.
    if (m_dmm)
        connect(m_dmm->object(), SIGNAL(closed()), dialog, SLOT(close()));

    ui->actionItemDownload->setEnabled(false);
    if (m_myDmm)
        m_myDmm->downloadStore();
}

void Widget::slotDisplayStore(const DmmData *data)
{
    if (!data)
        return;
    // The record is ours: it goes into the stored item or is deleted.
    DmmData *record = const_cast<DmmData *>(data);
    // After a cancel the user may have made another item active; it gets no stored records.
    if (m_closing || !m_activeItem || m_activeItem->getType() != ItemData::Store) {
        delete record;
        return;
    }
    recordReading(record, convertReading(record), record->storeTime());
}

void Widget::slotStoreNum(int total, int current)
{
    if (m_closing)
        return;
    if (progressDialog) {
        progressDialog->setRange(0, total);
        progressDialog->setValue(current);
    }
    // setValue() of a modal progress dialog runs the event loop, so the dialog may be gone by
    // now (cancelled, or closed by a lost link). The automatic reset only hides it at the last
    // record; closed, it is deleted as well.
    if (progressDialog && total == current)
        progressDialog->close();

    if (total == current) {
        // The table is complete when the message says so.
        syncReadingTable();
        QMessageBox::information(this, QString(), tr("All stored data have been downloaded."),
                                 QMessageBox::Ok);
        // Offered again only while a meter is there to download from.
        ui->actionItemDownload->setEnabled(m_dmm && m_dmm->isOpen());
    }
}

void Widget::slotDownLoadProgressFinished()
{
    progressDialog = nullptr;
}

void Widget::slotDownloadProgressCanceled()
{
    // The transfer goes on; only the dialog is gone.
    progressDialog = nullptr;
}
