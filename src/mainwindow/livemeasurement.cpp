#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "idmm.h"
#include "imydmm.h"
#include "meterlog.h"

#include <QAction>
#include <QLabel>
#include <QTimerEvent>

// Live measurement: Start, Stop and the road of every live reading.

namespace {

constexpr int channelCount = 4;
constexpr int humidityChannel = 1;
// The parameters are asked for at every third reading.
constexpr int paramRequestPeriod = 3;

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
}

QVector<DmmValue> Widget::convertReading(const DmmData *reading) const
{
    QVector<DmmValue> shown(channelCount);
    for (int channel = 0; channel < channelCount; ++channel) {
        const DmmValue raw = reading->value(channel);
        // Without the plug-in's conversion the values are shown as they came.
        shown[channel] = m_myDmm ? m_myDmm->convertValue(raw, channel, m_unitIndex) : raw;
    }
    return shown;
}

void Widget::recordReading(DmmData *reading, const QVector<DmmValue> &shown,
                           const QDateTime &plotTime)
{
    m_activeItem->appendData(reading); // the item owns it from here on
    updateItemStatistic(m_activeItem, reading);
    m_dataModel->appendData(reading);
    ui->tv->scrollToBottom();

    DMMChart *const charts[channelCount]
        = {ui->chartTemp, ui->chartHumi, ui->chartDewPoint, ui->chartWetBulb};
    const QString humidityUnit = QStringLiteral("%RH");
    for (int channel = 0; channel < channelCount; ++channel) {
        auto *point = new ChartPoint; // owned by the chart once added
        point->time = plotTime;
        point->value = shown.at(channel).value;
        point->tag = QStringLiteral("%1 %2").arg(
            shown.at(channel).text, channel == humidityChannel ? humidityUnit : m_unitText);
        charts[channel]->addPoint(point, 0);
    }

    updateStatisticTable();
}

void Widget::slotDmmDisplay(const DmmData *data)
{
    if (!data)
        return;
    // The reading is ours: every path below either hands it to the item or deletes it.
    DmmData *reading = const_cast<DmmData *>(data);

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
