#ifndef LAYOUTBLOBS_H
#define LAYOUTBLOBS_H

#include <QByteArray>
#include <QStringList>
#include <Qt>

// Checks the window layout blobs read from options.xml before the toolkit sees them. The
// toolkit's own restore operations trust the counts inside a blob: a made-up one can make them
// reserve gigabytes or loop for a very long time. Only what a window of our form could have
// written passes: the exact layout of the toolkit's streams, every count bounded by what the
// form holds, every length by the bytes that are left.
class LayoutBlobs
{
public:
    // QWidget::saveGeometry(): a sane size and place on a screen.
    static bool geometryFits(const QByteArray &blob);

    // QMainWindow::saveState(version) of a window without dock widgets whose tool bars are
    // named `toolBarNames`: each of them at most once, in one of the four areas.
    static bool windowStateFits(const QByteArray &blob, int version,
                                const QStringList &toolBarNames);

    // QSplitter::saveState() of a splitter with `sections` widgets and this orientation.
    static bool splitterStateFits(const QByteArray &blob, int sections,
                                  Qt::Orientation orientation);
};

#endif // LAYOUTBLOBS_H
