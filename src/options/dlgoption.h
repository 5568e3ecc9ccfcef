#ifndef DLGOPTION_H
#define DLGOPTION_H

#include "meteroptions.h"

#include <QDialog>
#include <optional>

namespace Ui {
class DlgOption;
}

// The options dialog: language and sampling options. It keeps no values of its own; the
// caller fills the controls, runs the dialog and reads them back after OK.
class DlgOption : public QDialog
{
    Q_OBJECT

public:
    explicit DlgOption(QWidget *parent = nullptr);
    ~DlgOption() override;

    // Shows the given options in the controls.
    void setOptions(const MeterOptions &options);
    // The options as the controls hold them now.
    MeterOptions options() const;

    // Fills a dialog from `current`, runs it modally and returns the values read back when
    // the user pressed OK; nothing when the dialog was rejected.
    static std::optional<MeterOptions> edit(QWidget *parent, const MeterOptions &current);

private slots:
    void on_cbInfinite_toggled(bool checked);

private:
    Ui::DlgOption *ui;
};

#endif // DLGOPTION_H
