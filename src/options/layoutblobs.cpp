#include "layoutblobs.h"

#include <QSet>
#include <QtEndian>

namespace {

// The toolkit's markers and versions, as its save operations write them.
constexpr quint32 geometryMagic = 0x1D9D0CB;
constexpr qint32 windowStateMarker = 0xff;
constexpr quint8 dockAreasMarker = 0xfd;
constexpr quint8 toolBarsMarker = 0xfe;
constexpr quint8 toolBarsMarkerEx = 0xfc;
constexpr qint32 splitterMarker = 0xff;
constexpr qint32 splitterVersion = 1;

// Far beyond any screen, well within what the toolkit computes with.
constexpr qint32 largestExtent = 1 << 15;
constexpr qint32 farthestPlace = 1 << 17;

// Compared as it is: the magnitude of the most negative integer is no integer.
bool placeFits(qint32 place)
{
    return place >= -farthestPlace && place <= farthestPlace;
}

// Reads a big-endian stream the way QDataStream writes it; every read fails once a value would
// run past the end, so no count can make it read or reserve more than the blob holds.
struct Cursor
{
    const QByteArray &data;
    int at = 0;

    int left() const { return data.size() - at; }
    bool atEnd() const { return at == data.size(); }

    template<typename T> bool read(T &value)
    {
        if (left() < int(sizeof(T)))
            return false;
        value = qFromBigEndian<T>(data.constData() + at);
        at += int(sizeof(T));
        return true;
    }
    bool skip(int bytes)
    {
        if (bytes < 0 || left() < bytes)
            return false;
        at += bytes;
        return true;
    }
    // A QString: its length in bytes (all ones for a null string), then UTF-16.
    bool string(QString &text)
    {
        quint32 bytes = 0;
        if (!read(bytes))
            return false;
        if (bytes == 0xffffffffu) {
            text = QString();
            return true;
        }
        if (bytes % 2 != 0 || bytes > quint32(left()))
            return false;
        text.resize(int(bytes / 2));
        for (int i = 0; i < text.size(); ++i) {
            quint16 unit = 0;
            read(unit);
            text[i] = QChar(unit);
        }
        return true;
    }
    // A QRect as left, top, right, bottom.
    bool rect()
    {
        qint32 left = 0, top = 0, right = 0, bottom = 0;
        if (!read(left) || !read(top) || !read(right) || !read(bottom))
            return false;
        const qint64 width = qint64(right) - left + 1;
        const qint64 height = qint64(bottom) - top + 1;
        return placeFits(left) && placeFits(top) && width >= 0 && height >= 0
            && width <= largestExtent && height <= largestExtent;
    }
};

bool sizeFits(Cursor &in)
{
    qint32 width = 0, height = 0;
    return in.read(width) && in.read(height) && width >= -1 && height >= -1
        && width <= largestExtent && height <= largestExtent;
}

// The dock area part of a window without dock widgets: no area in use, the central widget's
// size and the owners of the four corners.
bool dockAreasFit(Cursor &in)
{
    qint32 areasInUse = -1;
    if (!in.read(areasInUse) || areasInUse != 0 || !sizeFits(in))
        return false;
    for (int corner = 0; corner < 4; ++corner) {
        qint32 area = 0;
        if (!in.read(area))
            return false;
        if (area != Qt::LeftDockWidgetArea && area != Qt::RightDockWidgetArea
            && area != Qt::TopDockWidgetArea && area != Qt::BottomDockWidgetArea)
            return false;
    }
    return true;
}

bool toolBarsFit(Cursor &in, const QStringList &names)
{
    qint32 lines = 0;
    if (!in.read(lines) || lines < 0 || lines > names.size())
        return false;
    QSet<QString> placed;
    for (qint32 line = 0; line < lines; ++line) {
        qint32 area = -1, count = -1;
        if (!in.read(area) || !in.read(count) || area < 0 || area > 3 || count < 0
            || count > names.size() - placed.size())
            return false;
        for (qint32 item = 0; item < count; ++item) {
            QString name;
            quint8 shown = 0;
            qint32 position = 0, size = 0;
            quint32 packed0 = 0, packed1 = 0;
            if (!in.string(name) || !names.contains(name) || placed.contains(name))
                return false;
            placed.insert(name);
            if (!in.read(shown) || !in.read(position) || !in.read(size) || !in.read(packed0)
                || !in.read(packed1))
                return false;
            if (!placeFits(position) || size < -1 || size > largestExtent)
                return false;
        }
    }
    return true;
}

} // namespace

bool LayoutBlobs::geometryFits(const QByteArray &blob)
{
    Cursor in {blob};
    quint32 magic = 0;
    quint16 major = 0, minor = 0;
    if (!in.read(magic) || !in.read(major) || !in.read(minor) || magic != geometryMagic || major < 1
        || major > 3)
        return false;
    qint32 screen = 0;
    quint8 maximised = 0, fullScreen = 0;
    if (!in.rect() || !in.rect() || !in.read(screen) || !in.read(maximised) || !in.read(fullScreen)
        || screen < -1 || screen > 64)
        return false;
    if (major >= 2) {
        qint32 screenWidth = 0;
        if (!in.read(screenWidth) || screenWidth < 0 || screenWidth > largestExtent)
            return false;
    }
    if (major >= 3 && !in.rect())
        return false;
    return in.atEnd();
}

bool LayoutBlobs::windowStateFits(const QByteArray &blob, int version,
                                  const QStringList &toolBarNames)
{
    Cursor in {blob};
    qint32 marker = 0, stored = 0;
    if (!in.read(marker) || !in.read(stored) || marker != windowStateMarker || stored != version)
        return false;
    bool docks = false;
    bool toolBars = false;
    while (!in.atEnd()) {
        quint8 part = 0;
        in.read(part);
        if (part == dockAreasMarker && !docks) {
            docks = true;
            if (!dockAreasFit(in))
                return false;
        } else if ((part == toolBarsMarker || part == toolBarsMarkerEx) && !toolBars) {
            toolBars = true;
            if (!toolBarsFit(in, toolBarNames))
                return false;
        } else {
            return false; // floating dock groups, or a part twice
        }
    }
    return docks || toolBars;
}

bool LayoutBlobs::splitterStateFits(const QByteArray &blob, int sections,
                                    Qt::Orientation orientation)
{
    Cursor in {blob};
    qint32 marker = 0, version = -1;
    quint32 count = 0;
    if (!in.read(marker) || !in.read(version) || marker != splitterMarker || version < 0
        || version > splitterVersion || !in.read(count) || count != quint32(sections))
        return false;
    for (quint32 i = 0; i < count; ++i) {
        qint32 size = -1;
        if (!in.read(size) || size < 0 || size > largestExtent)
            return false;
    }
    quint8 collapsible = 0, opaque = 0;
    qint32 handleWidth = -1, storedOrientation = 0;
    if (!in.read(collapsible) || !in.read(handleWidth) || !in.read(opaque)
        || !in.read(storedOrientation) || collapsible > 1 || opaque > 1 || handleWidth < -1
        || handleWidth > 256 || storedOrientation != orientation)
        return false;
    quint8 opaqueSet = 0;
    if (version >= 1 && (!in.read(opaqueSet) || opaqueSet > 1))
        return false;
    return in.atEnd();
}
