#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "figuretext.h"
#include "imydmm.h"
#include "meterlog.h"
#include "temperatureunit.h"
#include "waitcursor.h"

#include <QAbstractItemView>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QStyle>
#include <QTableWidgetItem>

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

// The cursor read-outs of a rebuild: "<converted text> <unit>". Readings of an item repeat
// the same few hundred texts, so every distinct read-out is formatted once and shared by all
// the points that show it; at a million readings this saves four string allocations per
// reading. A data set with unusually many distinct texts only makes the cache start over.
class TagCache
{
public:
    explicit TagCache(const QString &unit)
        : unit(unit)
    {
    }

    QVariant tag(const QString &text)
    {
        auto it = tags.constFind(text);
        if (it != tags.constEnd())
            return *it;
        if (tags.size() >= maximumSize)
            tags.clear();
        const QVariant made(QStringLiteral("%1 %2").arg(text, unit));
        tags.insert(text, made);
        return made;
    }

private:
    static constexpr int maximumSize = 8192;
    QString unit;
    QHash<QString, QVariant> tags;
};

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
    // Rebuilding a large item takes a noticeable moment; say so with the busy cursor.
    const WaitCursor waitCursor(readings.size() >= busyCursorReadings);

    m_dataModel->clearData();
    m_dataModel->setDataList(readings);
    ui->tv->scrollToBottom();

    // The old points go before the new ones are made, so that the new ones reuse their memory
    // instead of doubling the peak for an item of a million readings.
    QList<ChartPoint *> points[Channel::Count];
    for (QList<ChartPoint *> &list : points)
        list.reserve(readings.size());
    const auto charts = this->charts();
    for (DMMChart *chart : charts)
        chart->clearPoints();

    TagCache temperatureTags(m_unitText);
    TagCache humidityTags(QStringLiteral("%RH"));
    const bool traced = lcReading().isDebugEnabled();

    for (const DmmData *reading : readings) {
        const QDateTime time = reading->isStore() ? reading->storeTime() : reading->time();
        for (int k = 0; k < Channel::Count; ++k) {
            const DmmValue raw = reading->value(k);
            // Without the plug-in (it failed to load) the values are shown as recorded.
            const DmmValue shown = m_myDmm ? m_myDmm->convertValue(raw, k, m_unitIndex) : raw;
            if (k == 0 && traced)
                qCDebug(lcReading) << shown.value << shown.text;
            auto *point = new ChartPoint; // handed to its chart below
            point->time = time;
            point->value = shown.value;
            point->tag = k == Channel::Humidity ? humidityTags.tag(shown.text)
                                                : temperatureTags.tag(shown.text);
            points[k].append(point);
        }
    }
    qCDebug(lcMeter).nospace() << "Count: " << points[0].size();

    for (int k = 0; k < Channel::Count; ++k)
        charts[k]->addPoints(points[k], 0);

    updateStatisticTable();
}
