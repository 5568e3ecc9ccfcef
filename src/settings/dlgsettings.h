#ifndef DLGSETTINGS_H
#define DLGSETTINGS_H

#include <QDateTime>
#include <QDialog>
#include <array>

class QDoubleSpinBox;
class QGridLayout;
class QLabel;
class QPushButton;
struct DmmParam;

namespace Ui {
class DlgSettings;
}

// The meter's parameters and clock. Shows a parameter record in the unit the user selects,
// writes the user's values back into the same record and announces it; it never talks to
// the meter itself.
class DlgSettings : public QDialog
{
    Q_OBJECT

public:
    explicit DlgSettings(QWidget *parent = nullptr);
    ~DlgSettings() override;

    // Shows `param` and keeps it as the record that Write fills. The record stays the
    // plug-in's; it must outlive the dialog's use of it.
    void setDmmParam(DmmParam *param);

    // The Write button, disabled by the caller while a write is under way.
    QPushButton *writeButton() const;

signals:
    void writeDmmParam(DmmParam *param);
    void updateDatetime(QDateTime time);

private slots:
    void on_cbAutoPower_toggled(bool checked);
    void on_pushButton_clicked();
    void on_cbAutoPower_stateChanged(int);
    void on_btnUpdateDatetime_clicked();
    void on_cbbUnit_currentIndexChanged(int index);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // One limit or offset: its editor and labels.
    struct Row
    {
        QDoubleSpinBox *editor = nullptr;
        QLabel *rangeLabel = nullptr;
        QLabel *unitLabel = nullptr;
        bool edited = false; // changed since the record was loaded into it
    };
    static constexpr int RowCount = 12;

    void applyUnit(int index);
    static Row rowAt(QGridLayout *grid, int gridRow);

    Ui::DlgSettings *ui;
    DmmParam *m_param = nullptr;
    // Bounds per row in degrees Celsius (humidity in %RH), in the order of m_rows.
    std::array<double, RowCount> m_rangeMin {};
    std::array<double, RowCount> m_rangeMax {};
    std::array<Row, RowCount> m_rows;
    // Write leaves what the user did not change as the meter sent it: an editor shows a value
    // only rounded to one decimal, or held within its range.
    bool m_intervalEdited = false;
    bool m_autoPowerEdited = false;
    int m_clockTimer = 0;
};

#endif // DLGSETTINGS_H
