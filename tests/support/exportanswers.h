#ifndef EXPORTANSWERS_H
#define EXPORTANSWERS_H

#include "modalwatcher.h"

#include <QMetaType>

// What a user picks in the export dialog: one of its three kinds, or Cancel.
enum class ExportChoice { Cancel, Table, Chart, Pdf };
Q_DECLARE_METATYPE(ExportChoice)

// Answers the export dialog the next time `modals` sees a modal: clicks the radio button of
// `choice` and accepts, or rejects the dialog for ExportChoice::Cancel. What follows (the file
// dialog, message boxes) is for further expectations.
//
//     expectExportDialog(modals, ExportChoice::Pdf);
//     modals.expectFile(dir.filePath("report.pdf"));
//     modals.expectMessageBox(QMessageBox::Ok);
//     action(window, "actionExport")->trigger();
void expectExportDialog(ModalWatcher &modals, ExportChoice choice);

#endif // EXPORTANSWERS_H
