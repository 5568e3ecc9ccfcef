#include "dlgsettings.h"
#include "ui_dlgsettings.h"

#include "dmmparam.h"
#include "meterlog.h"
#include "paramunits.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimerEvent>
#include <cmath>

namespace {

// Rows in the order of the range tables: the "Alarm" grid rows 0-7, then "Offset" rows 0-3.
enum ParamRow {
    HighTemp,
    LowTemp,
    HighHumi,
    LowHumi,
    HighDP,
    LowDP,
    HighWB,
    LowWB,
    OffsetTemp,
    OffsetHumi,
    OffsetDP,
    OffsetWB,
};

const int alarmRowCount = 8;
const int offsetRowCount = 4;

bool isHumidity(int row)
{
    return row == HighHumi || row == LowHumi || row == OffsetHumi;
}

bool isOffset(int row)
{
    return row >= OffsetTemp;
}

int fieldTenths(const DmmParam &p, int row)
{
    switch (row) {
    case HighTemp:
        return p.highTemp;
    case LowTemp:
        return p.lowTemp;
    case HighHumi:
        return p.highHumi;
    case LowHumi:
        return p.lowHumi;
    case HighDP:
        return p.highDP;
    case LowDP:
        return p.lowDP;
    case HighWB:
        return p.highWB;
    case LowWB:
        return p.lowWB;
    case OffsetTemp:
        return p.offsetTemp;
    case OffsetHumi:
        return p.offsetHumi;
    case OffsetDP:
        return p.offsetDP;
    case OffsetWB:
        return p.offsetWB;
    }
    return 0;
}

// Stores tenths into a record field, clamped to what the field holds rather than wrapped.
void setFieldTenths(DmmParam &p, int row, int tenths)
{
    using ParamUnits::clampToInt16;
    using ParamUnits::clampToInt8;
    switch (row) {
    case HighTemp:
        p.highTemp = clampToInt16(tenths);
        break;
    case LowTemp:
        p.lowTemp = clampToInt16(tenths);
        break;
    case HighHumi:
        p.highHumi = clampToInt16(tenths);
        break;
    case LowHumi:
        p.lowHumi = clampToInt16(tenths);
        break;
    case HighDP:
        p.highDP = clampToInt16(tenths);
        break;
    case LowDP:
        p.lowDP = clampToInt16(tenths);
        break;
    case HighWB:
        p.highWB = clampToInt16(tenths);
        break;
    case LowWB:
        p.lowWB = clampToInt16(tenths);
        break;
    case OffsetTemp:
        p.offsetTemp = clampToInt8(tenths);
        break;
    case OffsetHumi:
        p.offsetHumi = clampToInt8(tenths);
        break;
    case OffsetDP:
        p.offsetDP = clampToInt8(tenths);
        break;
    case OffsetWB:
        p.offsetWB = clampToInt8(tenths);
        break;
    }
}

QString unitText(int unit)
{
    return unit == 1 ? QStringLiteral("℉") : QStringLiteral("℃");
}

} // namespace

DlgSettings::DlgSettings(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::DlgSettings)
{
    ui->setupUi(this);

    // The unit switch addresses each row by its place in the grids.
    for (int r = 0; r < alarmRowCount; ++r)
        m_rows[r] = rowAt(ui->gridLayout, r);
    for (int r = 0; r < offsetRowCount; ++r)
        m_rows[alarmRowCount + r] = rowAt(ui->gridLayout_3, r);
    for (Row &row : m_rows)
        connect(row.editor, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                [&row] { row.edited = true; });
    connect(ui->sbStorageInterval, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this] { m_intervalEdited = true; });
    connect(ui->sbAutoPower, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            [this] { m_autoPowerEdited = true; });
    connect(ui->cbAutoPower, &QCheckBox::toggled, this, [this] { m_autoPowerEdited = true; });

    // Enter in an editor must not press a button: the first one would set the meter's clock.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    ui->dateTimeEdit->setDateTime(QDateTime::currentDateTime());
    m_clockTimer = startTimer(500, Qt::CoarseTimer);

    m_rangeMin = {-20, -20, 0, 0, -78.2, -78.2, -21.6, -21.6,
                  // Offsets are signed bytes of tenths on the meter, so only ±12.8 fits;
                  // the offset editors keep to ±6.0 °C (±10.8 °F, ±6.0 %RH).
                  -6, -6, -6, -6};
    m_rangeMax = {70, 70, 99.9, 99.9, 70, 70, 70, 70, 6, 6, 6, 6};
}

DlgSettings::~DlgSettings()
{
    delete ui;
}

DlgSettings::Row DlgSettings::rowAt(QGridLayout *grid, int gridRow)
{
    Row row;
    if (QLayoutItem *item = grid->itemAtPosition(gridRow, 1))
        row.editor = qobject_cast<QDoubleSpinBox *>(item->widget());
    if (QLayoutItem *item = grid->itemAtPosition(gridRow, 2))
        row.rangeLabel = qobject_cast<QLabel *>(item->widget());
    if (QLayoutItem *item = grid->itemAtPosition(gridRow, 3))
        row.unitLabel = qobject_cast<QLabel *>(item->widget());
    Q_ASSERT(row.editor && row.rangeLabel && row.unitLabel);
    return row;
}

QPushButton *DlgSettings::writeButton() const
{
    return ui->pushButton;
}

void DlgSettings::setDmmParam(DmmParam *param)
{
    m_param = param;
    if (!param)
        return;

    ui->sbStorageInterval->setValue(param->storageInterval);
    ui->cbAutoPower->setChecked(param->autoPower != 0);
    ui->sbAutoPower->setValue(param->autoPower);
    ui->sbAutoPower->setEnabled(ui->cbAutoPower->isChecked());

    // An undefined unit code is shown, and later written, as Celsius.
    const int unit = ParamUnits::unitIndex(param->unit);
    if (ui->cbbUnit->currentIndex() == unit)
        applyUnit(unit);
    ui->cbbUnit->setCurrentIndex(unit);
    m_intervalEdited = false;
    m_autoPowerEdited = false;
}

void DlgSettings::applyUnit(int index)
{
    const int unit = ParamUnits::unitIndex(index);

    for (int r = 0; r < RowCount; ++r) {
        if (r == HighHumi || r == LowHumi)
            continue;
        Row &row = m_rows[r];
        double lo = m_rangeMin[r];
        double hi = m_rangeMax[r];
        // The humidity offset is stored and shown in %RH, so its bounds stay as they are;
        // the other offsets are differences of temperature.
        if (isOffset(r) && r != OffsetHumi) {
            lo = ParamUnits::offsetFromCelsius(lo, unit);
            hi = ParamUnits::offsetFromCelsius(hi, unit);
        } else if (r != OffsetHumi) {
            lo = ParamUnits::fromCelsius(lo, unit);
            hi = ParamUnits::fromCelsius(hi, unit);
        }
        row.rangeLabel->setText(QStringLiteral("(%1-%2)").arg(lo, 0, 'g', 6).arg(hi, 0, 'g', 6));
        row.unitLabel->setText(r == OffsetHumi ? QStringLiteral("%RH") : unitText(unit));
        row.editor->setRange(lo, hi);
    }

    if (!m_param)
        return;

    // Reloading from the record drops edits that were not written.
    for (int r = 0; r < RowCount; ++r) {
        Row &row = m_rows[r];
        const int tenths = fieldTenths(*m_param, r);
        double shown;
        if (isHumidity(r))
            shown = ParamUnits::humidityTenthsToShown(tenths);
        else if (isOffset(r))
            shown = ParamUnits::offsetTenthsToShown(tenths, unit);
        else
            shown = ParamUnits::tenthsToShown(tenths, unit);
        row.editor->setValue(shown);
        row.edited = false;
    }
}

void DlgSettings::on_cbAutoPower_toggled(bool checked)
{
    if (checked) {
        if (m_param)
            ui->sbAutoPower->setValue(m_param->autoPower);
    } else {
        ui->sbAutoPower->setValue(0); // clamps to the editor's minimum
    }
}

void DlgSettings::on_pushButton_clicked()
{
    if (!m_param)
        return;

    DmmParam &p = *m_param;
    const int unit = ParamUnits::unitIndex(ui->cbbUnit->currentIndex());
    p.unit = static_cast<quint8>(unit);
    // Untouched fields keep the record's value: the temperatures are held in °C whatever the
    // unit, so a change of unit alone changes none of them.
    if (m_intervalEdited)
        p.storageInterval = static_cast<quint16>(
            qBound(0, static_cast<int>(std::trunc(ui->sbStorageInterval->value())), 0xFFFF));

    for (int r = 0; r < RowCount; ++r) {
        const Row &row = m_rows[r];
        if (!row.edited)
            continue;
        const double value = row.editor->value();
        int tenths;
        if (isHumidity(r))
            tenths = ParamUnits::humidityShownToTenths(value);
        else if (isOffset(r))
            tenths = ParamUnits::shownOffsetToTenths(value, unit);
        else
            tenths = ParamUnits::shownToTenths(value, unit);
        if (isOffset(r) && tenths != ParamUnits::clampToInt8(tenths))
            qCWarning(lcMeter) << "offset" << tenths << "clamped to the byte range";
        setFieldTenths(p, r, tenths);
    }

    if (m_autoPowerEdited)
        p.autoPower = ui->cbAutoPower->isChecked()
            ? ParamUnits::clampToInt8(static_cast<int>(std::trunc(ui->sbAutoPower->value())))
            : 0;

    emit writeDmmParam(m_param);
}

void DlgSettings::on_cbAutoPower_stateChanged(int state)
{
    ui->sbAutoPower->setEnabled(state == Qt::Checked);
}

void DlgSettings::on_btnUpdateDatetime_clicked()
{
    emit updateDatetime(ui->dateTimeEdit->dateTime());
}

void DlgSettings::on_cbbUnit_currentIndexChanged(int index)
{
    applyUnit(index);
}

void DlgSettings::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_clockTimer) {
        QDialog::timerEvent(event);
        return;
    }
    // The clock follows the PC's unless the user has chosen to type a time.
    if (ui->cbPC->isChecked())
        ui->dateTimeEdit->setDateTime(QDateTime::currentDateTime());
}
