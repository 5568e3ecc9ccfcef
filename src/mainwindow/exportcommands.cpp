#include "ui_widget.h"
#include "widget.h"

#include "backgroundtask.h"
#include "chartpicturenames.h"
#include "datamodel.h"
#include "dlgexport.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "meterlog.h"
#include "pdfreport.h"
#include "picturewriter.h"
#include "readingsnapshot.h"
#include "sheetexport.h"
#include "sheetimport.h"
#include "tvitemmodel.h"
#include "waitcursor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <QTime>

#include <memory>
#include <vector>

// The export and import commands of the main window.

namespace {

// Disables a widget for as long as it lives.
class DisabledWhile
{
public:
    explicit DisabledWhile(QWidget *widget)
        : widget(widget)
    {
        widget->setEnabled(false);
    }
    ~DisabledWhile() { widget->setEnabled(true); }
    Q_DISABLE_COPY(DisabledWhile)

private:
    QWidget *widget;
};

// Shows every chart once, so that each has been laid out and painted at its current size
// before it is saved, then returns to the tab the user had.
void bringChartTabsToFront(QTabWidget *tabs, Widget *window)
{
    const int current = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        window->waitMs(10);
    }
    tabs->setCurrentIndex(current);
}

// The part of a task's progress bar that copying the readings takes; writing them out takes
// the rest.
constexpr double snapshotShare = 0.1;
// Milliseconds of work on the window's thread between two turns of its event loop.
constexpr int sliceMs = 15;

// What the reading table shows of `item`, copied in slices for a worker to write out; null
// when the user cancelled. The table shows the item's first rowCount() readings.
std::shared_ptr<const ReadingSnapshot> snapshotOfTable(BackgroundTask &task, const ItemData *item,
                                                       const DataModel *model)
{
    const QList<DmmData *> readings
        = item ? item->getDataList().mid(0, model->rowCount()) : QList<DmmData *>();
    SnapshotBuilder builder(readings, model->converter(), model->unit(), model->unitText());
    const bool complete = task.runSlices(0.0, snapshotShare, [&](TaskProgress &progress) {
        if (progress.total() != builder.total())
            progress.start(builder.total());
        const bool done = builder.step(sliceMs);
        progress.setDone(builder.done());
        return done;
    });
    return complete ? builder.snapshot() : nullptr;
}

} // namespace

void Widget::on_actionExport_triggered()
{
    dlgExport dialog(nullptr);
    const bool accepted = dialog.exec() == QDialog::Accepted;

    const WaitCursor waitCursor;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    if (!accepted)
        return;

    switch (dialog.choice()) {
    case dlgExport::Table:
        if (m_dataModel->rowCount() == 0)
            QMessageBox::information(this, QString(), tr("The data are empty."), QMessageBox::Ok);
        else
            exportToExcel();
        break;
    case dlgExport::Chart: {
        // Empty charts are saved too: the pictures then show the bare axes.
        const QString chosen
            = QFileDialog::getSaveFileName(this, tr("Export the chart to a picture."),
                                           QStringLiteral("."), QStringLiteral("JPG File(*.jpg)"));
        if (chosen.isEmpty())
            return;
        bringChartTabsToFront(ui->tabWidget, this);
        const ChartPictureNames names(chosen, QStringLiteral("jpg"));
        const auto charts = this->charts();
        // Every picture is attempted even after one has failed; each replaces an older one
        // only once it is written completely.
        QVector<bool> saved;
        for (int i = 0; i < ChartPictureNames::ChartCount; ++i)
            saved << PictureWriter::save(charts[i]->picture().toImage(), names.path(i));
        const QStringList failed = ChartPictureNames::failedPaths(names.paths(), saved);
        if (!failed.isEmpty()) {
            qCWarning(lcMeter) << "Chart pictures not written:" << failed;
            QMessageBox::warning(this, QString(), ChartPictureNames::failureMessage(failed),
                                 QMessageBox::Ok);
        }
        break;
    }
    case dlgExport::Pdf:
        if (m_dataModel->rowCount() == 0) {
            QMessageBox::information(this, QString(), tr("The data are empty."), QMessageBox::Ok);
        } else {
            bringChartTabsToFront(ui->tabWidget, this);
            exportPdf();
        }
        break;
    default:
        break;
    }
}

void Widget::waitMs(int ms)
{
    // A deadline by the time of day; one that wraps past midnight ends the wait at once.
    const QTime deadline = QTime::currentTime().addMSecs(ms);
    while (QTime::currentTime() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        // Nothing may be pending: do not spin the processor meanwhile.
        if (QTime::currentTime() < deadline)
            QThread::msleep(1);
    }
}

void Widget::exportPdf()
{
    const QString fileName = QFileDialog::getSaveFileName(
        this, tr("Export the data to a pdf file."), QString(), QStringLiteral("PDF file(*.pdf)"));
    if (fileName.isEmpty())
        return;

    // Painted on a worker from a copy of the readings: the window keeps recording meanwhile.
    bool written = false;
    bool stopped = false;
    QString error;
    {
        BackgroundTask task(this, tr("Writing the report..."));
        const auto snapshot = snapshotOfTable(task, m_activeItem, m_dataModel);
        if (!snapshot)
            return;
        // The summary page shows the charts as the window does now; pictures are taken here,
        // on the window's thread.
        const QString name = m_activeItem ? m_activeItem->getName() : QString();
        QVector<QImage> pictures;
        for (const DMMChart *chart : charts())
            pictures << chart->picture().toImage();
        task.runOnWorker(snapshotShare, 1.0, [&](TaskProgress &progress) {
            PdfReport report(snapshot.get());
            report.setSummary(name, pictures);
            report.setProgress([&progress](int pagesDone, int pageCount) {
                if (progress.total() != pageCount)
                    progress.start(pageCount);
                progress.setDone(pagesDone);
            });
            report.setStop([&progress] { return progress.isCancelled(); });
            written = report.writeFile(fileName);
            stopped = report.wasStopped();
            error = report.errorString();
        });
    }
    if (stopped)
        return; // cancelled: no file, and the user knows
    // The message comes after the document is complete, and only when it is.
    if (!written) {
        QMessageBox::warning(this, QString(), tr("The report could not be written.\n%1").arg(error),
                             QMessageBox::Ok);
        return;
    }
    QMessageBox::information(this, QString(), tr("The data are exported successfully."),
                             QMessageBox::Ok);
}

void Widget::exportToExcel()
{
    const QString xlsFilter = QStringLiteral("Excel File(*.xls)");
    const QString xlsxFilter = QStringLiteral("Excel Workbook(*.xlsx)");
    const QString csvFilter = QStringLiteral("CSV File(*.csv)");
    QFileDialog dialog(this, tr("Export the datas to a excel file."), QString(),
                       xlsFilter + QStringLiteral(";;") + xlsxFilter + QStringLiteral(";;")
                           + csvFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix takes the chosen format's, before the dialog asks whether
    // to replace an existing file.
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, xlsxFilter, csvFilter](const QString &filter) {
                dialog.setDefaultSuffix(filter == xlsxFilter      ? QStringLiteral("xlsx")
                                            : filter == csvFilter ? QStringLiteral("csv")
                                                                  : QStringLiteral("xls"));
            });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString fileName = dialog.selectedFiles().constFirst();
    if (fileName.isEmpty())
        return;
    // A native dialog may hand the name back as typed.
    if (QFileInfo(fileName).suffix().isEmpty()) {
        if (fileName.endsWith(QLatin1Char('.')))
            fileName.chop(1);
        fileName += QLatin1Char('.') + dialog.defaultSuffix();
    }

    // Written on a worker from a copy of the readings: the window keeps recording meanwhile.
    SheetExport::Result result = SheetExport::WriteFailed;
    {
        BackgroundTask task(this, tr("Exporting the readings..."));
        const auto snapshot = snapshotOfTable(task, m_activeItem, m_dataModel);
        if (!snapshot)
            return;
        task.runOnWorker(snapshotShare, 1.0, [&](TaskProgress &progress) {
            SheetExport::Options options;
            options.progress = &progress;
            result = SheetExport::exportTable(*snapshot, fileName,
                                              SheetExport::formatForFileName(fileName), options);
        });
    }
    // Cancelled: nothing was written, and the user knows.
    if (result == SheetExport::Cancelled)
        return;
    const QString message = SheetExport::resultMessage(result);
    if (result == SheetExport::TooManyRowsForXls)
        QMessageBox::warning(this, QString(), message, QMessageBox::Ok);
    else
        QMessageBox::information(this, QString(), message, QMessageBox::Ok);
}

void Widget::on_actionImport_triggered()
{
    importFromExcel();
}

void Widget::importFromExcel()
{
    // The first filter shows every file the import reads, so that a file of any of its
    // formats is seen without changing the filter.
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Import the datas from a excel file."), QString(),
        tr("Excel and CSV Files(*.xls *.xlsx *.csv)") + QStringLiteral(";;")
            + tr("Excel Files(*.xls *.xlsx)")
            + QStringLiteral(";;Excel File(*.xls);;Excel Workbook(*.xlsx);;CSV File(*.csv)"));
    if (fileName.isEmpty())
        return;

    // Read first, on a worker: a file that is no workbook must not leave an empty item behind,
    // and a long one must not freeze the window.
    SheetImport::Result sheet;
    std::vector<std::unique_ptr<DmmData>> made;
    {
        BackgroundTask task(this, tr("Importing the readings..."));
        task.runOnWorker(0.0, 0.8, [&](TaskProgress &progress) {
            sheet = SheetImport::importFile(fileName, &progress);
        });
        if (sheet.error == WorkbookReader::Cancelled)
            return;
        if (sheet.error != WorkbookReader::NoError) {
            QMessageBox::warning(this, QString(), SheetImport::failureMessage(), QMessageBox::Ok);
            return;
        }
        // Rows were there and none could be read: a failure, and no empty item for it.
        if (sheet.noRowReadable()) {
            QMessageBox::warning(this, QString(),
                                 SheetImport::failureMessage() + QLatin1Char('\n')
                                     + SheetImport::unreadRowsMessage(sheet),
                                 QMessageBox::Ok);
            return;
        }
        // The readings are made through the plug-in, on this thread, in slices; the item
        // comes only once all are there, so that a cancelled import leaves none behind.
        const int count = sheet.readings.size();
        made.reserve(size_t(count));
        const bool complete = task.runSlices(0.8, 1.0, [&](TaskProgress &progress) {
            if (progress.total() != count)
                progress.start(count);
            QElapsedTimer clock;
            clock.start();
            int next = int(made.size());
            while (next < count && clock.elapsed() < sliceMs) {
                const int end = std::min(count, next + 256);
                for (; next < end; ++next)
                    made.emplace_back(SheetImport::makeReading(sheet.readings.at(next), m_myDmm));
            }
            progress.setDone(next);
            return next >= count;
        });
        if (!complete)
            return; // the readings made so far go with `made`
        sheet.readings = {};
    }

    {
        const WaitCursor waitCursor;
        {
            const DisabledWhile treeDisabled(ui->tvItems);
            newItem(
                QStringLiteral("Import%1")
                    .arg(TvItemModel::countNamesStartingWith(m_itemModel, QStringLiteral("Import"))
                         + 1),
                ItemData::Import);
            ItemData *item = m_activeItem;
            if (!item)
                return;
            for (std::unique_ptr<DmmData> &reading : made) {
                DmmData *owned = reading.release();
                item->appendData(owned); // the item owns it from here on
                updateItemStatistic(item, owned);
            }
            made.clear();
            updateStatisticTable();
        }
        refreshItemViews();
    }

    QMessageBox::information(this, QString(), tr("The data is imported successfully."),
                             QMessageBox::Ok);
    if (sheet.skippedRows > 0 || sheet.formulasWithoutResult > 0)
        QMessageBox::warning(this, QString(), SheetImport::unreadRowsMessage(sheet),
                             QMessageBox::Ok);
}
