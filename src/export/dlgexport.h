#ifndef DLGEXPORT_H
#define DLGEXPORT_H

#include <QDialog>

namespace Ui {
class dlgExport;
}

// Asks which format the shown item is exported in.
class dlgExport : public QDialog
{
    Q_OBJECT

public:
    // What the user picked; the values are the ones the export command dispatches on.
    enum Choice { Table = 0, Chart = 1, Pdf = 2 };

    explicit dlgExport(QWidget *parent = nullptr);
    ~dlgExport() override;

    int choice() const { return m_choice; }

private slots:
    void on_rbTable_toggled(bool checked);
    void on_rbChart_toggled(bool checked);
    void on_rbPdf_toggled(bool checked);

private:
    Ui::dlgExport *ui;
    int m_choice = Table;
};

#endif // DLGEXPORT_H
