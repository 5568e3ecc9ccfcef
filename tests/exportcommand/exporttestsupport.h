#ifndef EXPORTTESTSUPPORT_H
#define EXPORTTESTSUPPORT_H

#include "modalwatcher.h"
#include "windowfixture.h"

#include "datamodel.h"
#include "dmmdata.h"
#include "imydmm.h"
#include "itemdata.h"

#include <QDateTime>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QStringList>
#include <QTest>

// The export dialog's choices, as its radio buttons are named.
enum ExportChoice { CancelExport = -1, TableChoice = 0, ChartChoice = 1, PdfChoice = 2 };

// Answers the export dialog: picks `choice` as a user would, or cancels.
inline void expectExportDialog(ModalWatcher &modals, int choice)
{
    modals.expectDialog(QStringLiteral("dlgExport"), [choice](QDialog *dialog) {
        if (choice == CancelExport) {
            dialog->reject();
            return;
        }
        static const char *const names[] = {"rbTable", "rbChart", "rbPdf"};
        if (auto *button = dialog->findChild<QRadioButton *>(QLatin1String(names[choice])))
            button->click();
        dialog->accept();
    });
}

// Types `typed` into a file dialog's name box, relative to `folder` (perhaps through a folder
// that does not exist) or as an absolute path. selectFile() is no substitute: it leaves the
// name box alone while the box has the focus.
inline void typeFileName(QFileDialog *files, const QString &folder, const QString &typed)
{
    files->setDirectory(folder);
    if (auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(typed);
}

// Answers a file dialog as a user who types a name and accepts.
inline void expectTypedFile(ModalWatcher &modals, const QString &folder, const QString &typed)
{
    modals.expectDialog(QStringLiteral("QFileDialog"), [folder, typed](QDialog *dialog) {
        typeFileName(qobject_cast<QFileDialog *>(dialog), folder, typed);
        dialog->accept();
    });
}

// The same for a full path.
inline void expectFilePath(ModalWatcher &modals, const QString &path)
{
    expectTypedFile(modals, QFileInfo(path).absolutePath(), QFileInfo(path).fileName());
}

// Readings that differ from row to row in every column; the values carry the meter's texts.
inline DmmData *makeReading(Widget *w, int i)
{
    const double values[] = {20.0 + (i % 57) / 10.0, 40.0 + (i % 301) / 10.0,
                             -5.0 + (i % 23) / 10.0, 15.0 + (i % 31) / 10.0};
    auto *reading = new DmmData; // the caller hands it to an item
    reading->setTime(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).addSecs(i));
    reading->setTemperature(w->myDmm()->makeValue(values[0], 0, 0));
    reading->setHumidity(w->myDmm()->makeValue(values[1], 1, 0));
    reading->setDewPoint(w->myDmm()->makeValue(values[2], 2, 0));
    reading->setWetBulb(w->myDmm()->makeValue(values[3], 3, 0));
    return reading;
}

// Fills the active item straight away, as recording would, and shows it.
inline void fillActiveItem(Widget *w, int count)
{
    ItemData *item = w->activeItem();
    for (int i = 0; i < count; ++i) {
        DmmData *reading = makeReading(w, i);
        item->appendData(reading);
        w->updateItemStatistic(item, reading);
    }
    w->refreshItemViews();
}

// Sets the window's temperature unit the way a meter does: with a parameter record.
inline bool setUnit(ScriptableMeter *meter, Widget *w, int unit)
{
    meter->param()->unit = quint8(unit);
    meter->emitUpdateParam();
    return QTest::qWaitFor([w, unit] { return w->unitIndex() == unit && !w->unitText().isEmpty(); },
                           2000);
}

// Every cell of the reading table, row by row, as shown.
inline QList<QStringList> tableCells(const Widget *w)
{
    const DataModel *model = w->dataModel();
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->data(model->index(row, column)).toString();
        rows << cells;
    }
    return rows;
}

#endif // EXPORTTESTSUPPORT_H
