#include "windowprobe.h"

#include "chartline.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "itemdata.h"
#include "tvitemmodel.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimerEvent>
#include <QTreeView>
#include <QWidgetAction>

namespace {

// The read-outs' labels in channel order: value, unit.
const char *const readOutNames[Channel::Count][2] = {{"lcdTemp", "lcdTempUnit"},
                                                     {"lcdHumi", "lcdHumiUnit"},
                                                     {"lcdDewPoint", "lcdDPUnit"},
                                                     {"lcdWetBulb", "lcdWBUnit"}};

QString labelText(const Widget *window, const char *name)
{
    const auto *label = child<QLabel>(window, name);
    return label ? label->text() : QStringLiteral("<missing>");
}

bool isChannel(int channel)
{
    return channel >= 0 && channel < Channel::Count;
}

} // namespace

QAction *action(const Widget *window, const char *objectName)
{
    return child<QAction>(window, objectName);
}

QString actionNames(const QWidget *holder)
{
    QStringList names;
    for (const QAction *a : holder->actions()) {
        if (a->isSeparator())
            names << QStringLiteral("|");
        else if (qobject_cast<const QWidgetAction *>(a))
            names << QStringLiteral("<spacer>");
        else
            names << a->objectName();
    }
    return names.join(QLatin1Char(' '));
}

bool connectMeter(Widget *window, int timeoutMs)
{
    QAction *connectAction = action(window, "actionConnect");
    QAction *disconnectAction = action(window, "actionDisconnect");
    if (!connectAction || !disconnectAction)
        return false;
    // A meter may report its adapter a little after the window was built.
    if (!QTest::qWaitFor([connectAction] { return connectAction->isEnabled(); }, timeoutMs))
        return false;
    connectAction->trigger();
    return QTest::qWaitFor([disconnectAction] { return disconnectAction->isEnabled(); }, timeoutMs);
}

void setSampling(Widget *window, int rate, int limit)
{
    MeterOptions options = window->options();
    options.SampleRate = rate;
    options.Infinite = limit == NoLimit;
    if (limit != NoLimit)
        options.SamplePoints = limit;
    window->setOptions(options);
}

void tick(Widget *window)
{
    // Without a running timer the window still takes the event as a tick of its own timer.
    QTimerEvent event(window->samplingTimerId() != 0 ? window->samplingTimerId() : 1);
    QCoreApplication::sendEvent(window, &event);
}

QStringList readOuts(const Widget *window)
{
    QStringList texts;
    for (const auto &names : readOutNames)
        texts << labelText(window, names[0]);
    return texts;
}

QStringList readOutUnits(const Widget *window)
{
    QStringList texts;
    for (const auto &names : readOutNames)
        texts << labelText(window, names[1]);
    return texts;
}

int tableRows(const Widget *window)
{
    return window->dataModel()->rowCount();
}

QString tableCell(const Widget *window, int row, int column)
{
    const DataModel *model = window->dataModel();
    return model->data(model->index(row, column)).toString();
}

QList<QStringList> tableCells(const Widget *window)
{
    const DataModel *model = window->dataModel();
    QList<QStringList> rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << tableCell(window, row, column);
        rows << cells;
    }
    return rows;
}

DMMChart *chart(const Widget *window, int channel)
{
    return isChannel(channel) ? window->charts()[size_t(channel)] : nullptr;
}

QList<ChartPoint *> chartPoints(const Widget *window, int channel)
{
    const DMMChart *c = chart(window, channel);
    return c && c->lineCount() > 0 ? c->line(0)->points : QList<ChartPoint *>();
}

QString chartTag(const Widget *window, int channel, int index)
{
    const DMMChart *c = chart(window, channel);
    return c && c->lineCount() > 0 ? c->line(0)->tagAt(index) : QString();
}

QTableWidget *statisticGrid(const Widget *window)
{
    return child<QTableWidget>(window, "twMath");
}

QString statistic(const Widget *window, int channel, Statistic which)
{
    const QTableWidget *grid = statisticGrid(window);
    const QTableWidgetItem *item = grid ? grid->item(1 + channel, int(which)) : nullptr;
    return item ? item->text() : QString();
}

QStringList statisticRow(const Widget *window, int channel)
{
    return {statistic(window, channel, Statistic::Count),
            statistic(window, channel, Statistic::Minimum),
            statistic(window, channel, Statistic::Maximum),
            statistic(window, channel, Statistic::Average)};
}

QTreeView *itemTree(const Widget *window)
{
    return child<QTreeView>(window, "tvItems");
}

QModelIndex storeRow(const Widget *window)
{
    return window->itemModel()->index(0, 0);
}

QModelIndex liveRow(const Widget *window)
{
    return window->itemModel()->index(1, 0);
}

QModelIndex liveItemRow(const Widget *window, int row)
{
    return window->itemModel()->index(row, 0, liveRow(window));
}

QModelIndex treeRow(const Widget *window, const QString &name)
{
    if (name.isEmpty())
        return QModelIndex();
    const TvItemModel *model = window->itemModel();
    for (int top = 0; top < model->rowCount(); ++top) {
        if (model->index(top, 0).data().toString() == name)
            return model->index(top, 0);
    }
    for (int top = 0; top < model->rowCount(); ++top) {
        const QModelIndex parent = model->index(top, 0);
        for (int row = 0; row < model->rowCount(parent); ++row) {
            if (model->index(row, 0, parent).data().toString() == name)
                return model->index(row, 0, parent);
        }
    }
    return QModelIndex();
}

ItemData *storeItem(const Widget *window)
{
    return TvItemModel::itemDataOf(storeRow(window));
}

ItemData *liveItem(const Widget *window, int row)
{
    return TvItemModel::itemDataOf(liveItemRow(window, row));
}

QStringList liveNames(const Widget *window)
{
    QStringList names;
    for (int row = 0; row < window->itemModel()->rowCount(liveRow(window)); ++row) {
        const QModelIndex index = liveItemRow(window, row);
        names << index.data().toString()
                + (index.data(TvItemModel::ActiveRole).toBool() ? QStringLiteral("*") : QString());
    }
    return names;
}

bool shotsWanted()
{
    return !qEnvironmentVariableIsEmpty("METER_SCREENSHOT_DIR");
}

void saveShot(QWidget *widget, const QString &name)
{
    if (!shotsWanted() || !widget)
        return;
    const QDir dir(qEnvironmentVariable("METER_SCREENSHOT_DIR"));
    dir.mkpath(QStringLiteral("."));
    widget->grab().save(dir.filePath(name + QStringLiteral(".png")));
    if (QScreen *screen = widget->screen())
        screen->grabWindow(0).save(dir.filePath(name + QStringLiteral("-screen.png")));
}
