#include "exportanswers.h"

#include <QDialog>
#include <QRadioButton>

void expectExportDialog(ModalWatcher &modals, ExportChoice choice)
{
    modals.expectDialog(QStringLiteral("dlgExport"), [choice](QDialog *dialog) {
        const char *button = nullptr;
        switch (choice) {
        case ExportChoice::Cancel:
            dialog->reject();
            return;
        case ExportChoice::Table:
            button = "rbTable";
            break;
        case ExportChoice::Chart:
            button = "rbChart";
            break;
        case ExportChoice::Pdf:
            button = "rbPdf";
            break;
        }
        if (auto *radio = dialog->findChild<QRadioButton *>(QLatin1String(button)))
            radio->click();
        else
            qWarning("expectExportDialog: the dialog has no %s", button);
        dialog->accept();
    });
}
