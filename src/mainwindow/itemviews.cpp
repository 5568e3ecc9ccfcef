#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "figuretext.h"
#include "imydmm.h"
#include "itemseries.h"
#include "meterlog.h"
#include "temperatureunit.h"
#include "waitcursor.h"

#include <QAbstractItemView>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidgetItem>
#include <QTimer>

#include <algorithm>

// The views of the active item: reading table, charts and statistics grid.

namespace {

// From about a tenth of a second of rebuilding on.
constexpr int busyCursorReadings = 50000;
// Right and bottom, as the grid has always drawn its cells.
constexpr Qt::Alignment statisticAlignment = Qt::AlignRight | Qt::AlignBottom;
// The widest figures the grid must show in full: counts up to 9 999 999 and statistics from
// -999.9 to 9999.9, written with the font's widest digit.
QStringList widestFigures(const QFontMetrics &metrics)
{
    QChar digit = QLatin1Char('0');
    for (char c = '1'; c <= '9'; ++c) {
        if (metrics.horizontalAdvance(QLatin1Char(c)) > metrics.horizontalAdvance(digit))
            digit = QLatin1Char(c);
    }
    const QString count(7, digit);
    const QString negative = QStringLiteral("-%1.%2").arg(QString(3, digit), digit);
    const QString positive = QStringLiteral("%1.%2").arg(QString(4, digit), digit);
    return {count, negative, positive};
}

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
    fitStatisticTable();
}

void Widget::fitStatisticTable()
{
    // Four columns sharing the pane's width equally leave some 40 pixels for a figure: "10000"
    // would read "10…". The grid is made wide (and tall) enough for every figure it can show
    // at the font in use, and the left pane wide enough for the grid.
    QTableWidget *grid = ui->twMath;
    QHeaderView *header = grid->horizontalHeader();
    const QFont plain = grid->font();
    QFont bold = plain;
    bold.setWeight(QFont::Bold);
    const QFontMetrics plainMetrics(plain);
    const QFontMetrics boldMetrics(bold);
    // What a cell draws around its text: the style's text margin either side, the grid line.
    const int margins
        = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1)
        + (grid->showGrid() ? 1 : 0);
    const QStringList figures = widestFigures(plainMetrics);
    auto widest = [&](int column, const QStringList &texts) {
        int width = boldMetrics.horizontalAdvance(grid->item(0, column)->text());
        for (const QString &text : texts)
            width = std::max(width, plainMetrics.horizontalAdvance(text));
        return width + margins;
    };

    // The count keeps a width of its own; the three values share the rest equally.
    const int countWidth = widest(1, figures.mid(0, 1));
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    header->resizeSection(1, countWidth);
    int valueWidth = 0;
    for (int column = 2; column < 5; ++column)
        valueWidth = std::max(valueWidth, widest(column, figures.mid(1)));
    const int captionWidth = header->sectionSize(0); // sized to its captions above
    grid->setMinimumWidth(captionWidth + countWidth + 3 * valueWidth + 2 * grid->frameWidth());

    int rowsHeight = 2 * grid->frameWidth();
    for (int row = 0; row < grid->rowCount(); ++row)
        rowsHeight += grid->rowHeight(row);
    grid->setFixedHeight(std::max(grid->minimumHeight(), rowsHeight));

    const QMargins paneMargins = ui->gridLayout_2->contentsMargins();
    ui->widget_2->setMinimumWidth(
        std::max(ui->widget_2->minimumWidth(),
                 grid->minimumWidth() + paneMargins.left() + paneMargins.right()));
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
        for (int i = 0; i < 3; ++i) {
            // Without readings there is nothing to convert: 0.0 in either unit, not 32.0.
            const double value = s->count == 0 ? 0.0 : displayedStatistic(shown[i], k, m_unitIndex);
            grid->item(row, 2 + i)->setText(FigureText::tenths(value));
        }
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
