#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "idmm.h"
#include "imydmm.h"
#include "itemseries.h"
#include "meterlog.h"

#include <QAction>
#include <QLabel>
#include <QTimer>

// Live measurement: Start, Stop and the road of every live reading.

namespace {

// The parameters are asked for at every third reading.
constexpr int paramRequestPeriod = 3;
// Readings that come closer together than this reach the reading table together.
constexpr int tableSyncPeriodMs = 100;

} // namespace

void Widget::on_actionStart_triggered()
{
    // Stored records are downloaded, never measured.
    if (m_activeItem == storeItem())
        return;
    // Readings go after whatever the item already holds.
    running = true;
    ui->actionStart->setEnabled(false);
    ui->actionStop->setEnabled(true);
}

void Widget::on_actionStop_triggered()
{
    stopMeasurement();
    // The table shows the whole recording once it is over.
    syncReadingTable();
}

QVector<DmmValue> Widget::convertReading(const DmmData *reading) const
{
    QVector<DmmValue> shown(Channel::Count);
    for (int channel = 0; channel < Channel::Count; ++channel) {
        const DmmValue raw = reading->value(channel);
        // Without the plug-in's conversion the values are shown as they came.
        shown[channel] = m_myDmm ? m_myDmm->convertValue(raw, channel, m_unitIndex) : raw;
    }
    return shown;
}

void Widget::recordReading(DmmData *reading, const QVector<DmmValue> &, const QDateTime &plotTime)
{
    m_activeItem->appendData(reading); // the item owns it from here on
    updateItemStatistic(m_activeItem, reading);
    // Every row inserted makes the table view walk all its rows (positions for the scroll and
    // the paint, the row header's width): with a fast meter and a long item that is most of
    // the work per reading. Rows that come close together are therefore inserted at once; a
    // reading after a pause shows at once.
    if (!m_tableSynced.isValid() || m_tableSynced.elapsed() >= tableSyncPeriodMs) {
        syncReadingTable();
    } else if (!m_tableSyncQueued) {
        m_tableSyncQueued = true;
        QTimer::singleShot(int(tableSyncPeriodMs - m_tableSynced.elapsed()), this, [this] {
            m_tableSyncQueued = false;
            syncReadingTable();
        });
    }

    // One sample per chart, in the base unit: the charts show it in the window's unit, and
    // make its read-out text only if the cursor asks for it. Should the shown series have
    // fallen behind the item (readings added around the views, charts cleared), they catch
    // up instead, this reading included.
    const auto charts = this->charts();
    const int before = m_activeItem->count() - 1;
    bool inStep = m_shownSeries && m_shownSeries->item() == m_activeItem
        && m_shownSeries->isShownIn(charts);
    for (const DMMChart *chart : charts)
        inStep = inStep && chart->line(0)->size() == before;
    if (inStep) {
        for (int channel = 0; channel < Channel::Count; ++channel)
            charts[size_t(channel)]->addSample(plotTime, reading->value(channel).value, 0);
    } else {
        catchUpItemSeries();
    }

    holdGridRepaint();
    updateStatisticTable();
}

void Widget::syncReadingTable()
{
    m_tableSynced.start();
    // The table shows the first rows of the active item: a rebuild in between (another item
    // made active, the unit changed) already shows them all.
    if (!m_activeItem)
        return;
    const int shown = m_dataModel->rowCount();
    const int count = m_activeItem->count();
    if (shown >= count)
        return;
    const QList<DmmData *> readings = m_activeItem->getDataList();
    if (count - shown == 1)
        m_dataModel->appendData(readings.at(shown));
    else
        m_dataModel->setDataList(readings.mid(shown));
    ui->tv->scrollToBottom();
}

void Widget::slotDmmDisplay(const DmmData *data)
{
    if (!data)
        return;
    // The reading is ours: every path below either hands it to the item or deletes it.
    DmmData *reading = const_cast<DmmData *>(data);
    if (m_closing) {
        delete reading;
        return;
    }

    ++m_readingCount;
    // While the settings dialog is open it owns the parameter exchange.
    if (m_readingCount % paramRequestPeriod == 0 && !m_settingsDialog && m_myDmm)
        m_myDmm->readParam();

    const QVector<DmmValue> shown = convertReading(reading);
    qCDebug(lcReading) << "reading" << m_readingCount << shown.at(0).text << shown.at(1).text
                       << shown.at(2).text << shown.at(3).text;

    ui->lcdTemp->setText(shown.at(0).text);
    ui->lcdTempUnit->setText(m_unitText);
    ui->lcdHumi->setText(shown.at(1).text);
    ui->lcdDewPoint->setText(shown.at(2).text);
    ui->lcdDPUnit->setText(m_unitText);
    ui->lcdWetBulb->setText(shown.at(3).text);
    ui->lcdWBUnit->setText(m_unitText);

    if (!running || !m_activeItem || m_activeItem->getType() != ItemData::Measure) {
        delete reading;
        return;
    }

    // At most one reading per tick of the sampling timer; without a timer every reading.
    if (m_options.SampleRate != 0 && !sampleDue) {
        delete reading;
        return;
    }
    sampleDue = false;

    // Reaching the limit ends nothing: the read-outs go on, the item just takes no more.
    if (!m_options.Infinite && m_activeItem->count() >= m_options.SamplePoints) {
        delete reading;
        return;
    }

    recordReading(reading, shown, reading->time());
}
