#include "ui_widget.h"
#include "widget.h"

#include "chartpicturenames.h"
#include "datamodel.h"
#include "dlgexport.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "meterlog.h"
#include "pdfreport.h"
#include "sheetexport.h"
#include "sheetimport.h"
#include "tvitemmodel.h"
#include "waitcursor.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <QTime>

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
        // Every picture is attempted even after one has failed.
        QVector<bool> saved;
        for (int i = 0; i < ChartPictureNames::ChartCount; ++i)
            saved << charts[i]->savePicture(names.path(i));
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

    bool written;
    QString error;
    {
        PdfReport report(m_dataModel);
        // A long report (some thousand pages for a hundred thousand readings) takes seconds;
        // the dialog shows only when it is going to take a while.
        QProgressDialog progress(tr("Writing the report..."), QString(), 0, 0, this);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        progress.setAutoClose(true);
        progress.setAutoReset(true);
        report.setProgress([&progress](int pagesDone, int pageCount) {
            if (progress.maximum() != pageCount)
                progress.setMaximum(pageCount);
            progress.setValue(pagesDone);
        });
        // Starts the dialog's clock: it shows once the pages are estimated to take 500 ms.
        progress.setValue(0);
        written = report.writeFile(fileName);
        error = report.errorString();
    }
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
    QFileDialog dialog(this, tr("Export the datas to a excel file."), QString(),
                       xlsFilter + QStringLiteral(";;") + xlsxFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without a suffix takes the chosen format's, before the dialog asks whether
    // to replace an existing file.
    dialog.setDefaultSuffix(QStringLiteral("xls"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, xlsxFilter](const QString &filter) {
                dialog.setDefaultSuffix(filter == xlsxFilter ? QStringLiteral("xlsx")
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

    const SheetExport::Result result = SheetExport::exportModel(m_dataModel, fileName);
    const QString message = SheetExport::resultMessage(result);
    switch (result) {
    case SheetExport::Success:
    case SheetExport::WriteFailed:
        QMessageBox::information(this, QString(), message, QMessageBox::Ok);
        break;
    case SheetExport::TooManyRowsForXls:
    case SheetExport::TooManyRowsForXlsx:
        QMessageBox::warning(this, QString(), message, QMessageBox::Ok);
        break;
    }
}

void Widget::on_actionImport_triggered()
{
    importFromExcel();
}

void Widget::importFromExcel()
{
    // The first filter shows every file the import reads, so that a workbook of either format
    // is seen without changing the filter.
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Import the datas from a excel file."), QString(),
        tr("Excel Files(*.xls *.xlsx)")
            + QStringLiteral(";;Excel File(*.xls);;Excel Workbook(*.xlsx)"));
    if (fileName.isEmpty())
        return;

    // Read first: a file that is no workbook must not leave an empty item behind.
    SheetImport::Result sheet;
    {
        const WaitCursor waitCursor;
        sheet = SheetImport::importFile(fileName);
    }
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
            for (const ImportedReading &row : qAsConst(sheet.readings)) {
                DmmData *reading = SheetImport::makeReading(row, m_myDmm);
                item->appendData(reading); // the item owns it from here on
                updateItemStatistic(item, reading);
            }
            // The item holds the readings now: free the workbook's copy before the views grow.
            sheet.readings = {};
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
