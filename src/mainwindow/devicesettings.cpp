#include "widget.h"

#include "datamodel.h"
#include "dlgsettings.h"
#include "dmmparam.h"
#include "idmm.h"
#include "imydmm.h"
#include "meterlog.h"
#include "paramunits.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

// The meter's parameters and clock.

void Widget::on_actionSettings_triggered()
{
    // The dialog is modal, but a second trigger must never replace the one that runs.
    if (m_settingsDialog) {
        m_settingsDialog->raise();
        m_settingsDialog->activateWindow();
        return;
    }

    auto *dialog = new DlgSettings(this); // deleted below, once it has been run
    m_settingsDialog = dialog;
    connect(dialog, &DlgSettings::writeDmmParam, this, &Widget::slotWriteDmmParam);
    connect(dialog, &DlgSettings::updateDatetime, this, &Widget::updateDatetime);
    // The record it shows is the plug-in's and valid only while the link is up.
    if (m_dmm)
        connect(m_dmm->object(), SIGNAL(closed()), dialog, SLOT(reject()));

    // The answer arrives while the dialog runs and is handed to it by slotUpdateParam.
    if (m_myDmm)
        m_myDmm->readParam();
    dialog->exec();

    m_settingsDialog = nullptr;
    delete dialog;
}

void Widget::slotUpdateParam(DmmParam *param)
{
    if (!param)
        return;
    if (m_settingsDialog)
        m_settingsDialog->setDmmParam(param);

    // Only 1 is Fahrenheit. An undefined code is kept as Celsius (0), so that it neither shows
    // ℉ nor counts as a change of unit that rebuilds the views for nothing.
    const int previous = m_unitIndex;
    m_unitIndex = ParamUnits::unitIndex(param->unit);
    m_unitText = m_unitIndex == 1 ? QStringLiteral("℉") : QStringLiteral("℃");
    m_dataModel->setUnit(m_unitIndex, m_unitText);
    if (m_unitIndex != previous) {
        qCDebug(lcMeter) << "temperature unit" << previous << "->" << m_unitIndex;
        refreshItemViews();
    }
    showAlarmLimits(*param);
}

void Widget::slotWriteDmmParam(DmmParam *param)
{
    if (!param)
        return;
    // Write stays off until the meter confirms; a write that is never confirmed leaves it off
    // until the dialog is closed.
    if (m_settingsDialog)
        m_settingsDialog->writeButton()->setEnabled(false);
    if (!m_myDmm)
        return;
    m_myDmm->writeParam(param);
    // What the meter stored comes back through slotUpdateParam and is shown in the dialog.
    m_myDmm->readParam();
}

void Widget::updateDatetime(QDateTime time)
{
    if (m_myDmm)
        m_myDmm->setDateTime(time);
}

void Widget::slotResponseResult(int a, int b)
{
    // (3, 1): the parameters were written. The box is opened after the plug-in's emission has
    // returned, never inside it.
    if (a == 3 && b == 1)
        QTimer::singleShot(0, this, &Widget::slotSingleShot);
}

void Widget::slotSingleShot()
{
    // A confirmation still queued while the window is being destroyed has nobody to tell.
    if (m_closing)
        return;
    if (m_settingsDialog)
        m_settingsDialog->writeButton()->setEnabled(true);
    QMessageBox::information(this, QString(), tr("Parameters saved successfully."),
                             QMessageBox::Ok);
}

void Widget::on_actionSyncTime_triggered()
{
    // Sets the meter's clock to the computer's, as Update with "PC" checked does; the meter
    // does not answer.
    if (m_myDmm)
        m_myDmm->setDateTime(QDateTime::currentDateTime());
}
