#include "ui_widget.h"
#include "widget.h"

#include "datamodel.h"
#include "dmmchart.h"
#include "dmmdata.h"
#include "imydmm.h"
#include "meterlog.h"
#include "temperatureunit.h"
#include "waitcursor.h"

#include <QAbstractItemView>
#include <QFont>
#include <QHash>
#include <QHeaderView>
#include <QTableWidgetItem>

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
