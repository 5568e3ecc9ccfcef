#ifndef WINDOWPROBE_H
#define WINDOWPROBE_H

#include "dmmdata.h"
#include "widget.h"

#include <QList>
#include <QModelIndex>
#include <QString>
#include <QStringList>

class DMMChart;
class ItemData;
class QAction;
class QTableWidget;
class QTreeView;
class QWidget;
struct ChartPoint;

// Looks at and works the main window as its tests do: by channel (Channel::Temperature ...),
// statistic and item rather than by the form's object names, which only this file and the
// form's own test need to know. Works on any window, whichever meter sits in Lib/; link
// `meter_test_probe` (meter_test_window brings it along).
//
//     setSampling(window, 0);                              // record every reading
//     QVERIFY(connectMeter(window));
//     action(window, "actionStart")->trigger();
//     ...
//     QCOMPARE(readOuts(window), (QStringList {"21.5", "45.0", "9.1", "14.2"}));
//     QCOMPARE(statisticRow(window, Channel::Temperature),
//              (QStringList {"2", "20.0", "21.5", "20.8"}));
//     QCOMPARE(chartPoints(window, Channel::DewPoint).size(), tableRows(window));
//     QCOMPARE(liveNames(window), (QStringList {"Measure1", "Hall A*"}));

// A child of `parent` of class T by object name (null when there is none).
template<typename T = QWidget> T *child(const QObject *parent, const char *objectName)
{
    return parent->findChild<T *>(QString::fromLatin1(objectName));
}

// --- Commands and link

// A form action of the window by object name (null when there is none).
QAction *action(const Widget *window, const char *objectName);
// The object names of the actions of a menu or tool bar, separated by blanks; "|" stands for
// a separator and "<spacer>" for a widget.
QString actionNames(const QWidget *holder);
// Waits until Connect is offered, presses it and waits until the window has handled the
// meter's opened(); false when either wait times out.
bool connectMeter(Widget *window, int timeoutMs = 5000);

// --- Live measurement

// SamplePoints for setSampling(): no limit (Infinite on).
constexpr int NoLimit = -1;
// Sets the sampling options: a tick every `rate` ms (0: every reading is due) and at most
// `limit` readings per item. The timer follows them from the next opened() on.
void setSampling(Widget *window, int rate, int limit = NoLimit);
// Delivers one tick of the sampling timer, as if its period had passed.
void tick(Widget *window);

// The four read-outs' values and their units, in channel order ("<missing>" for a label that
// is gone).
QStringList readOuts(const Widget *window);
QStringList readOutUnits(const Widget *window);

// --- Views of the active item

// The reading table: its row count, one cell as shown, every cell row by row.
int tableRows(const Widget *window);
QString tableCell(const Widget *window, int row, int column);
QList<QStringList> tableCells(const Widget *window);

// A channel's chart (Widget::charts()) and the points of its line, oldest first (empty when
// the chart has no line).
DMMChart *chart(const Widget *window, int channel);
QList<ChartPoint *> chartPoints(const Widget *window, int channel);
// The text the cursor read-out shows after the time for sample `index` of a channel's chart
// (its tag: "<value> <unit>"); empty when there is no such sample.
QString chartTag(const Widget *window, int channel, int index);

// The columns of the statistics grid; each channel has a row.
enum class Statistic { Count = 1, Minimum, Maximum, Average };
QTableWidget *statisticGrid(const Widget *window);
// One cell of a channel's row as shown (empty when the cell is missing).
QString statistic(const Widget *window, int channel, Statistic which);
// A channel's row as shown: count, minimum, maximum, average.
QStringList statisticRow(const Widget *window, int channel);

// --- Item tree

QTreeView *itemTree(const Widget *window);
QModelIndex storeRow(const Widget *window); // "Store Data"
QModelIndex liveRow(const Widget *window); // "Live Data"
QModelIndex liveItemRow(const Widget *window, int row); // the row-th item under "Live Data"
// The first row of the tree shown as `name`, top-level rows first; an invalid index for an
// empty name or a name that is not there.
QModelIndex treeRow(const Widget *window, const QString &name);
ItemData *storeItem(const Widget *window);
ItemData *liveItem(const Widget *window, int row);
// The names under "Live Data" in order, the active item's followed by "*".
QStringList liveNames(const Widget *window);

// --- Pictures for a person to look at

// True when METER_SCREENSHOT_DIR names a folder for pictures.
bool shotsWanted();
// Saves a picture of `widget` as <name>.png there, and of the whole screen it is on as
// <name>-screen.png (which shows a dialog over its window on a real display). Does nothing
// unless shotsWanted().
void saveShot(QWidget *widget, const QString &name);

#endif // WINDOWPROBE_H
