#include "ui_widget.h"
#include "widget.h"

#include "dlgoption.h"
#include "layoutblobs.h"
#include "meterlog.h"
#include "optionsfile.h"

#include <QMessageBox>
#include <QSplitter>
#include <QToolBar>

// The options and the window layout kept in options.xml, and the options command.

namespace {

// A blob is looked at before the toolkit gets it: one that is not what this form would have
// written is skipped, so the form's own layout stays, and the file is rewritten at close.
void restoreSplitter(QSplitter *splitter, const QByteArray &blob)
{
    if (LayoutBlobs::splitterStateFits(blob, splitter->count(), splitter->orientation()))
        splitter->restoreState(blob);
    else
        qCDebug(lcMeter) << "layout of" << splitter->objectName() << "rejected";
}

// The tool bars of the window itself (not those inside its central widget).
QStringList toolBarNames(const QMainWindow *window)
{
    QStringList names;
    for (const QToolBar *bar :
         window->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly))
        names << bar->objectName();
    return names;
}

} // namespace

void Widget::saveSettings()
{
    OptionsRecord record;
    record.geometry = saveGeometry();
    record.state = saveState(0);
    record.splitterState = ui->splitter->saveState();
    record.splitter2State = ui->splitter_2->saveState();
    record.options = m_options;

    // The previous file, if any, stays as it was when the new one cannot be written.
    if (!OptionsFile::write(OptionsFile::defaultPath(), record))
        QMessageBox::warning(this, QString(), tr("Can not open file."), QMessageBox::Ok);
}

void Widget::restoreSettings()
{
    if (m_settingsRestored)
        return;
    m_settingsRestored = true;

    const OptionsFound found = OptionsFile::read(OptionsFile::defaultPath());
    // Whatever is refused, here or by the toolkit, leaves the current layout in place.
    if (found.geometry && LayoutBlobs::geometryFits(*found.geometry))
        restoreGeometry(*found.geometry);
    if (found.state && LayoutBlobs::windowStateFits(*found.state, 0, toolBarNames(this)))
        restoreState(*found.state, 0);
    if (found.splitterState)
        restoreSplitter(ui->splitter, *found.splitterState);
    if (found.splitter2State)
        restoreSplitter(ui->splitter_2, *found.splitter2State);
    found.applyTo(m_options);
}

void Widget::runOptionsDialog()
{
    const std::optional<MeterOptions> chosen = DlgOption::edit(this, m_options);
    if (!chosen)
        return;

    QMessageBox::information(this, QString(),
                             tr("Changes will take effect when you restart application."),
                             QMessageBox::Ok);
    m_options = *chosen;
    // The new period applies at once, connected or not.
    restartSamplingTimer();
}
