#include "dlgoption.h"
#include "ui_dlgoption.h"

DlgOption::DlgOption(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DlgOption)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The item data are the language codes kept in options.xml; they are never translated.
    ui->cbbLanguage->addItem(tr("Chinese"), QStringLiteral("zh-CN"));
    ui->cbbLanguage->addItem(tr("English"), QStringLiteral("en-US"));

    // The flag is kept and carried through, but not offered to the user.
    ui->cbSkipRepeat->hide();
}

DlgOption::~DlgOption()
{
    delete ui;
}

void DlgOption::setOptions(const MeterOptions &options)
{
    // An unknown code ("Default" on a first run) leaves the first entry selected.
    const int languageIndex = ui->cbbLanguage->findData(options.Language);
    if (languageIndex >= 0)
        ui->cbbLanguage->setCurrentIndex(languageIndex);

    ui->spinSampleRate->setValue(options.SampleRate);
    ui->spinSamplePoints->setValue(options.SamplePoints);
    ui->cbInfinite->setChecked(options.Infinite);
    ui->cbSkipRepeat->setChecked(options.SkipRepeat);
    // Setting the box to the state it already has emits no toggle, so do it here as well.
    ui->spinSamplePoints->setEnabled(!options.Infinite);
}

MeterOptions DlgOption::options() const
{
    const auto spinValue = [](const QSpinBox *spin) {
        bool ok = false;
        const int value = spin->text().toInt(&ok, 10);
        // A locale with other digits would not parse; the box's own value is the same number.
        return ok ? value : spin->value();
    };

    MeterOptions options;
    options.Language = ui->cbbLanguage->currentData().toString();
    options.SampleRate = spinValue(ui->spinSampleRate);
    options.SamplePoints = spinValue(ui->spinSamplePoints);
    options.Infinite = ui->cbInfinite->isChecked();
    options.SkipRepeat = ui->cbSkipRepeat->isChecked();
    return options;
}

std::optional<MeterOptions> DlgOption::edit(QWidget *parent, const MeterOptions &current)
{
    DlgOption dialog(parent);
    dialog.setOptions(current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.options();
}

void DlgOption::on_cbInfinite_toggled(bool checked)
{
    ui->spinSamplePoints->setEnabled(!checked);
}
