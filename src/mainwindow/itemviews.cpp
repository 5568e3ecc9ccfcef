#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "imydmm.h"
#include "itemseries.h"
#include "meterlog.h"
#include "temperatureunit.h"
#include "waitcursor.h"

#include <QAbstractItemView>
#include <QFont>
#include <QHeaderView>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>

// The views of the active item: reading table, charts and statistics grid.

namespace {

// From about a tenth of a second of rebuilding on.
constexpr int busyCursorReadings = 50000;
// Right and bottom, as the grid has always drawn its cells.
constexpr Qt::Alignment statisticAlignment = Qt::AlignRight | Qt::AlignBottom;

// The grid's captions and numbers; humidity is never shown in another unit.
double displayedStatistic(double value, int channel, int unit)
{
    return channel == Channel::Humidity ? value : TemperatureUnit::fromCelsius(value, unit);
}

} // namespace

void Widget::setupStatisticTable()
{
    QTableWidget *grid = ui->twMath;
    grid->setRowCount(5);
    grid->setColumnCount(5);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // The row captions keep their full width; in the narrow left pane a stretched caption
    // column would elide "TEMP:" to "TE...".
    grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setSectionsClickable(false);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setFrameShape(QFrame::NoFrame);

    for (int row = 0; row < 5; ++row) {
        for (int column = 0; column < 5; ++column) {
            auto *cell = new QTableWidgetItem(QString()); // owned by the grid
            cell->setTextAlignment(int(statisticAlignment));
            grid->setItem(row, column, cell);
        }
    }

    const QString rowCaptions[] = {tr("TEMP"), tr("HUMI"), tr("DP"), tr("WB")};
    const QString columnCaptions[] = {tr("NUM"), tr("MIN"), tr("MAX"), tr("AVG")};
    auto caption = [grid](int row, int column, const QString &text) {
        QTableWidgetItem *cell = grid->item(row, column);
        QFont font = cell->font();
        font.setWeight(QFont::Bold);
        cell->setFont(font);
        cell->setTextAlignment(int(statisticAlignment));
        cell->setText(text);
    };
    for (int k = 0; k < Channel::Count; ++k) {
        caption(k + 1, 0, QStringLiteral("%1: ").arg(rowCaptions[k]));
        caption(0, k + 1, columnCaptions[k]);
    }

    grid->resizeColumnsToContents();
    grid->resizeRowsToContents();
}

void Widget::updateItemStatistic(ItemData *item, const DmmData *data)
{
    if (!item || !data)
        return;
    item->foldStatistics(data);
}

void Widget::updateStatisticTable()
{
    if (!m_activeItem)
        return;
    QTableWidget *grid = ui->twMath;
    for (int k = 0; k < Channel::Count; ++k) {
        const ItemStatistic *s = m_activeItem->getStatistic(k);
        const int row = k + 1;
        const double shown[] = {s->minimum, s->maximum, s->average};
        grid->item(row, 1)->setText(QStringLiteral("%1").arg(s->count));
        for (int i = 0; i < 3; ++i)
            grid->item(row, 2 + i)
                ->setText(QStringLiteral("%1").arg(displayedStatistic(shown[i], k, m_unitIndex), 0,
                                                   'f', 1));
    }
}

void Widget::refreshItemViews()
{
    if (!m_activeItem)
        return;

    const QList<DmmData *> readings = m_activeItem->getDataList();
    // Showing a large item for the first time takes a noticeable moment; say so with the busy
    // cursor. Its series are kept, so showing it again is quick.
    const ItemSeries *kept = ItemSeries::find(m_activeItem);
    const WaitCursor waitCursor(readings.size() - (kept ? kept->size() : 0) >= busyCursorReadings);

    m_dataModel->clearData();
    m_dataModel->setDataList(readings);
    ui->tv->scrollToBottom();

    showItemSeries(m_activeItem);

    if (lcReading().isDebugEnabled()) {
        for (const DmmData *reading : readings) {
            const DmmValue raw = reading->temperature();
            const DmmValue shown
                = m_myDmm ? m_myDmm->convertValue(raw, Channel::Temperature, m_unitIndex) : raw;
            qCDebug(lcReading) << shown.value << shown.text;
        }
    }
    qCDebug(lcMeter).nospace() << "Count: " << readings.size();

    updateStatisticTable();
}

void Widget::holdGridRepaint()
{
    QTableWidget *grid = ui->twMath;
    if (!grid->updatesEnabled())
        return; // already held; the timer below lets it go
    if (!m_gridRepainted.isValid() || m_gridRepainted.elapsed() >= DMMChart::RebuildIntervalMs) {
        m_gridRepainted.start();
        return;
    }
    // Changes made meanwhile are drawn when updates are enabled again, all at once.
    grid->setUpdatesEnabled(false);
    const int wait = int(DMMChart::RebuildIntervalMs - m_gridRepainted.elapsed());
    QTimer::singleShot(std::max(wait, 0), this, [this] {
        m_gridRepainted.start();
        ui->twMath->setUpdatesEnabled(true);
    });
}

void Widget::showItemSeries(ItemData *item)
{
    const auto charts = this->charts();
    if (m_shownSeries)
        m_shownSeries->takeBack();
    m_shownSeries = nullptr;
    // Whatever else the charts show goes; the charts treat it as a new data set.
    for (DMMChart *chart : charts)
        chart->clearPoints();
    if (!item)
        return;
    ItemSeries *series = ItemSeries::of(item, m_dataModel);
    series->sync();
    series->setUnit(m_unitIndex);
    series->lendTo(charts);
    m_shownSeries = series;
}

void Widget::catchUpItemSeries()
{
    if (!m_activeItem)
        return;
    ItemSeries *series = ItemSeries::of(m_activeItem, m_dataModel);
    if (m_shownSeries && m_shownSeries != series)
        m_shownSeries->takeBack();
    series->takeBack();
    series->sync();
    series->setUnit(m_unitIndex);
    series->lendTo(charts());
    m_shownSeries = series;
}
