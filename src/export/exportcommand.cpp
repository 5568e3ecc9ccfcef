#include "widget.h"

// The export and import commands of the main window.

void Widget::on_actionExport_triggered()
{
    // Not built yet: exports the shown item.
}

void Widget::waitMs(int)
{
    // Not built yet: a short wait that keeps the window responsive.
}

void Widget::exportPdf()
{
    // Not built yet: the PDF report.
}

void Widget::exportToExcel()
{
    // Not built yet: the workbook export.
}

void Widget::on_actionImport_triggered()
{
    // Not built yet: imports a workbook into a new item.
}

void Widget::importFromExcel()
{
    // Not built yet: reads the workbook's readings.
}
