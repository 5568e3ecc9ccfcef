#ifndef LIVETESTSUPPORT_H
#define LIVETESTSUPPORT_H

#include "chartline.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "widget.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTableWidget>
#include <QTimerEvent>

// Small probes of the main window's views, shared by the live and download suites.
namespace live {

inline DMMChart *chart(const Widget *window, int channel)
{
    static const char *const names[] = {"chartTemp", "chartHumi", "chartDewPoint", "chartWetBulb"};
    return window->findChild<DMMChart *>(QString::fromLatin1(names[channel]));
}

inline int chartPoints(const Widget *window, int channel)
{
    const DMMChart *c = chart(window, channel);
    return c && c->line(0) ? c->line(0)->points.size() : -1;
}

inline QString label(const Widget *window, const char *name)
{
    const auto *l = window->findChild<QLabel *>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<missing>");
}

// A cell of the statistics grid: row 1 + channel, column 1 NUM, 2 MIN, 3 MAX, 4 AVG.
inline QString grid(const Widget *window, int row, int column)
{
    const auto *g = window->findChild<QTableWidget *>(QStringLiteral("twMath"));
    return g && g->item(row, column) ? g->item(row, column)->text() : QString();
}

inline int tableRows(const Widget *window)
{
    return window->dataModel()->rowCount();
}

// One tick of the window's sampling timer.
inline void tick(Widget *window)
{
    QTimerEvent event(window->samplingTimerId() != 0 ? window->samplingTimerId() : 1);
    QCoreApplication::sendEvent(window, &event);
}

inline void setSampling(Widget *window, int rate, bool infinite = true, int points = 1000)
{
    MeterOptions options = window->options();
    options.SampleRate = rate;
    options.Infinite = infinite;
    options.SamplePoints = points;
    window->setOptions(options);
}

} // namespace live

#endif // LIVETESTSUPPORT_H
