#include "ui_widget.h"
#include "widget.h"

#include "dlgoption.h"
#include "meterlog.h"
#include "optionsfile.h"

#include <QMessageBox>
#include <QSplitter>

// The options and the window layout kept in options.xml, and the options command.

namespace {

// A blob that passes the splitter's header check but is cut short or made up turns the
// splitter on its side; the form's own orientation is the sign that it was not one of ours.
void restoreSplitter(QSplitter *splitter, const QByteArray &blob)
{
    const Qt::Orientation orientation = splitter->orientation();
    const QByteArray previous = splitter->saveState();
    if (splitter->restoreState(blob) && splitter->orientation() != orientation) {
        qCDebug(lcMeter) << "layout of" << splitter->objectName() << "rejected";
        splitter->restoreState(previous);
    }
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
    // Whatever the toolkit refuses leaves the current layout in place.
    if (found.geometry)
        restoreGeometry(*found.geometry);
    if (found.state)
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
