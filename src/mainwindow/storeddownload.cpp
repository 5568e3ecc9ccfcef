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
#include <QTimer>

// Download of the records stored in the meter into the "Store Data" item.

namespace {

// How long records may still come after the meter reported the last one; every record that
// comes in that time starts the wait again.
constexpr int lateRecordGraceMs = 1500;

} // namespace

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
    m_download = StoreDownload();
    m_download.running = true;
    m_download.announced = count;
    if (!m_downloadGrace) {
        m_downloadGrace = new QTimer(this);
        m_downloadGrace->setSingleShot(true);
        m_downloadGrace->setInterval(lateRecordGraceMs);
        connect(m_downloadGrace, &QTimer::timeout, this, &Widget::finishDownload);
    }
    m_downloadGrace->stop();
    if (m_myDmm)
        m_myDmm->downloadStore();
}

void Widget::slotDisplayStore(const DmmData *data)
{
    if (!data)
        return;
    // The record is ours: it goes into the stored item or is deleted.
    DmmData *record = const_cast<DmmData *>(data);
    ItemData *store = storeItem();
    if (m_closing || !store) {
        delete record;
        return;
    }
    // Every stored record belongs to "Store Data", also after the user made another item
    // active during the transfer; only the active item's views show it at once.
    if (m_activeItem == store) {
        recordReading(record, convertReading(record), record->storeTime());
    } else {
        store->appendData(record);
        updateItemStatistic(store, record);
    }

    if (!m_download.running)
        return;
    ++m_download.received;
    if (m_download.allReported) {
        if (m_download.received >= m_download.announced)
            finishDownload();
        else
            m_downloadGrace->start();
    }
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

    // A report outside a download (a late one, or one the meter sends on its own) says
    // nothing to the user.
    if (!m_download.running || total != current)
        return;
    m_download.announced = total;
    m_download.allReported = true;
    // The last records may still be on their way.
    if (m_download.received >= total)
        finishDownload();
    else
        m_downloadGrace->start();
}

void Widget::finishDownload()
{
    if (!m_download.running || m_closing)
        return;
    const StoreDownload done = m_download;
    m_download = StoreDownload();
    m_downloadGrace->stop();
    if (progressDialog)
        progressDialog->close();

    // The table is complete when the message says so.
    syncReadingTable();
    if (done.received >= done.announced)
        QMessageBox::information(this, QString(), tr("All stored data have been downloaded."),
                                 QMessageBox::Ok);
    else
        QMessageBox::warning(this, QString(),
                             tr("Only %1 of %2 stored records were downloaded.")
                                 .arg(done.received)
                                 .arg(done.announced),
                             QMessageBox::Ok);
    // Offered again only while a meter is there to download from.
    ui->actionItemDownload->setEnabled(m_dmm && m_dmm->isOpen());
}

void Widget::downloadLinkLost()
{
    if (!m_download.running)
        return;
    const StoreDownload lost = m_download;
    m_download = StoreDownload();
    m_downloadGrace->stop();
    if (progressDialog)
        progressDialog->close();
    // Told once the plug-in's closed() has returned, not inside it; a window that is closing
    // (which closes the link itself) has nobody left to tell.
    QTimer::singleShot(0, this, [this, lost] {
        if (m_closing || !isVisible())
            return;
        syncReadingTable();
        QMessageBox::warning(
            this, QString(),
            tr("The link to the meter was lost: %1 of %2 stored records were downloaded.")
                .arg(lost.received)
                .arg(lost.announced),
            QMessageBox::Ok);
    });
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
