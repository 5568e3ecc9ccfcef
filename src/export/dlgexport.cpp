#include "dlgexport.h"
#include "ui_dlgexport.h"

dlgExport::dlgExport(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::dlgExport)
{
    ui->setupUi(this);
    m_choice = Table;
    ui->rbTable->setChecked(true);
}

dlgExport::~dlgExport()
{
    delete ui;
}

// Only the button being switched on decides; the one switched off reports false and is
// ignored, so the order of the two toggled signals does not matter.
void dlgExport::on_rbTable_toggled(bool checked)
{
    if (checked)
        m_choice = Table;
}

void dlgExport::on_rbChart_toggled(bool checked)
{
    if (checked)
        m_choice = Chart;
}

void dlgExport::on_rbPdf_toggled(bool checked)
{
    if (checked)
        m_choice = Pdf;
}
