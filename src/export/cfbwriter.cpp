#include "cfbwriter.h"

#include <QBuffer>
#include <QIODevice>

#include <algorithm>
#include <functional>

namespace {

constexpr quint32 freeSector = 0xFFFFFFFFu;
constexpr quint32 endOfChain = 0xFFFFFFFEu;
constexpr quint32 fatSector = 0xFFFFFFFDu;
constexpr quint32 difatSector = 0xFFFFFFFCu;
constexpr quint32 noStream = 0xFFFFFFFFu;
constexpr int entriesPerSector = CfbWriter::sectorSize / 4;
constexpr int directoryEntrySize = 128;
constexpr int maxNameLength = 31;

// Byte by byte rather than through a raw pointer: the compiler then sees the bounds (and the
// sanitizer build stops warning about a region it cannot size).
void putLittleEndian(QByteArray &bytes, int offset, quint32 value, int size)
{
    Q_ASSERT(offset >= 0 && offset + size <= bytes.size());
    for (int i = 0; i < size; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

void put16(QByteArray &bytes, int offset, quint16 value)
{
    putLittleEndian(bytes, offset, value, 2);
}

void put32(QByteArray &bytes, int offset, quint32 value)
{
    putLittleEndian(bytes, offset, value, 4);
}

quint32 sectorsFor(qint64 bytes, int unit)
{
    return quint32((bytes + unit - 1) / unit);
}

// Where everything goes. Sectors are laid out in this order: the large streams, the mini
// stream, the mini allocation table, the directory, the allocation table, the DIFAT.
struct Layout
{
    QVector<quint32> streamStart;
    quint32 miniStreamStart = endOfChain;
    quint32 miniStreamBytes = 0;
    quint32 miniFatStart = endOfChain;
    quint32 miniFatSectors = 0;
    quint32 directoryStart = 0;
    quint32 directorySectors = 0;
    quint32 fatStart = 0;
    quint32 fatSectors = 0;
    quint32 difatStart = endOfChain;
    quint32 difatSectors = 0;
    QVector<quint32> fat;
    QVector<quint32> miniFat;
};

void chain(QVector<quint32> &table, quint32 first, quint32 count)
{
    for (quint32 i = 0; i < count; ++i)
        table[int(first + i)] = i + 1 < count ? first + i + 1 : endOfChain;
}

// Siblings of one storage form a red-black tree ordered by name length, then by the
// upper-cased names. A tree split at the middle has every level full but the deepest;
// colouring that level red (when it is not full) keeps the black height equal everywhere.
struct TreeNode
{
    quint32 left = noStream;
    quint32 right = noStream;
    bool red = false;
};

bool nameLess(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

} // namespace

bool CfbWriter::acceptsName(const QString &name) const
{
    if (name.isEmpty() || name.size() > maxNameLength)
        return false;
    for (QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':')
            || c == QLatin1Char('!'))
            return false;
    }
    for (const Stream &stream : qAsConst(m_streams)) {
        if (stream.name.compare(name, Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}

bool CfbWriter::addStream(const QString &name, const QByteArray &data)
{
    if (!acceptsName(name))
        return false;
    m_streams.append({name, data, data.size(), {}});
    return true;
}

bool CfbWriter::addStream(const QString &name, qint64 size, const Source &source)
{
    // Directory entries of version 3 files hold 32-bit sizes, and readers stop at 2 GiB.
    if (!acceptsName(name) || !source || size < miniStreamCutoff || size > 0x7FFFFFFF)
        return false;
    m_streams.append({name, QByteArray(), size, source});
    return true;
}

QByteArray CfbWriter::toByteArray() const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    write(&buffer);
    return bytes;
}

bool CfbWriter::write(QIODevice *device) const
{
    const int count = m_streams.size();
    Layout layout;
    layout.streamStart.resize(count);

    // Sector and mini-sector numbers first; the tables are filled once their size is known.
    quint32 sector = 0;
    quint32 miniSector = 0;
    QVector<QPair<quint32, quint32>> bigChains;
    for (int i = 0; i < count; ++i) {
        const qint64 size = m_streams.at(i).size;
        if (size == 0) {
            layout.streamStart[i] = endOfChain;
        } else if (size >= miniStreamCutoff) {
            layout.streamStart[i] = sector;
            bigChains.append({sector, sectorsFor(size, sectorSize)});
            sector += sectorsFor(size, sectorSize);
        } else {
            layout.streamStart[i] = miniSector;
            const quint32 n = sectorsFor(size, miniSectorSize);
            layout.miniFat.resize(int(miniSector + n));
            chain(layout.miniFat, miniSector, n);
            miniSector += n;
        }
    }
    layout.miniStreamBytes = miniSector * miniSectorSize;
    const quint32 miniStreamSectors = sectorsFor(layout.miniStreamBytes, sectorSize);
    if (miniStreamSectors > 0) {
        layout.miniStreamStart = sector;
        bigChains.append({sector, miniStreamSectors});
        sector += miniStreamSectors;
    }
    layout.miniFatSectors = sectorsFor(qint64(miniSector) * 4, sectorSize);
    if (layout.miniFatSectors > 0) {
        layout.miniFatStart = sector;
        bigChains.append({sector, layout.miniFatSectors});
        sector += layout.miniFatSectors;
    }
    layout.directoryStart = sector;
    layout.directorySectors = sectorsFor(qint64(count + 1) * directoryEntrySize, sectorSize);
    bigChains.append({sector, layout.directorySectors});
    sector += layout.directorySectors;

    // The allocation table covers every sector, its own and the DIFAT's included.
    quint32 fatCount = sectorsFor(sector, entriesPerSector);
    quint32 difatCount = 0;
    for (;;) {
        difatCount = fatCount > quint32(headerFatSlots)
            ? sectorsFor(fatCount - headerFatSlots, entriesPerSector - 1)
            : 0;
        if (qint64(fatCount) * entriesPerSector >= qint64(sector) + fatCount + difatCount)
            break;
        ++fatCount;
    }
    layout.fatStart = sector;
    layout.fatSectors = fatCount;
    sector += fatCount;
    if (difatCount > 0) {
        layout.difatStart = sector;
        layout.difatSectors = difatCount;
        sector += difatCount;
    }
    layout.fat.fill(freeSector, int(fatCount) * entriesPerSector);
    for (const auto &run : qAsConst(bigChains))
        chain(layout.fat, run.first, run.second);
    for (quint32 i = 0; i < fatCount; ++i)
        layout.fat[int(layout.fatStart + i)] = fatSector;
    for (quint32 i = 0; i < difatCount; ++i)
        layout.fat[int(layout.difatStart + i)] = difatSector;

    // Header.
    QByteArray header(sectorSize, '\0');
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(signature, signature + 8, header.begin());
    put16(header, 24, 0x003E); // minor version
    put16(header, 26, 0x0003); // major version 3: 512-byte sectors
    put16(header, 28, 0xFFFE); // little-endian
    put16(header, 30, 9); // sector shift
    put16(header, 32, 6); // mini sector shift
    put32(header, 44, layout.fatSectors);
    put32(header, 48, layout.directoryStart);
    put32(header, 56, miniStreamCutoff);
    put32(header, 60, layout.miniFatStart);
    put32(header, 64, layout.miniFatSectors);
    put32(header, 68, layout.difatStart);
    put32(header, 72, layout.difatSectors);
    for (int i = 0; i < headerFatSlots; ++i) {
        put32(header, 76 + 4 * i,
              quint32(i) < layout.fatSectors ? layout.fatStart + quint32(i) : freeSector);
    }

    // Directory: the root storage, then the streams in the order they were added.
    QVector<TreeNode> nodes(count + 1);
    QVector<int> order(count);
    for (int i = 0; i < count; ++i)
        order[i] = i + 1;
    std::sort(order.begin(), order.end(), [this](int a, int b) {
        return nameLess(m_streams.at(a - 1).name, m_streams.at(b - 1).name);
    });
    int deepest = 0;
    QVector<int> depth(count + 1, 0);
    std::function<quint32(int, int, int)> build = [&](int lo, int hi, int level) -> quint32 {
        if (lo > hi)
            return noStream;
        const int mid = (lo + hi + 1) / 2;
        const int id = order.at(mid);
        depth[id] = level;
        deepest = std::max(deepest, level);
        nodes[id].left = build(lo, mid - 1, level + 1);
        nodes[id].right = build(mid + 1, hi, level + 1);
        return quint32(id);
    };
    const quint32 rootChild = build(0, count - 1, 0);
    if (count > 0 && count != (1 << (deepest + 1)) - 1) {
        for (int id = 1; id <= count; ++id)
            nodes[id].red = depth.at(id) == deepest;
    }

    QByteArray directory(int(layout.directorySectors) * sectorSize, '\0');
    auto writeEntry
        = [&directory](int index, const QString &name, quint8 type, bool red, quint32 left,
                       quint32 right, quint32 child, quint32 start, quint32 size) {
              const int base = index * directoryEntrySize;
              for (int i = 0; i < name.size(); ++i)
                  put16(directory, base + 2 * i, name.at(i).unicode());
              put16(directory, base + 64, quint16((name.size() + 1) * 2));
              directory[base + 66] = char(type);
              directory[base + 67] = red ? 0 : 1;
              put32(directory, base + 68, left);
              put32(directory, base + 72, right);
              put32(directory, base + 76, child);
              put32(directory, base + 116, start);
              put32(directory, base + 120, size);
          };
    writeEntry(0, QStringLiteral("Root Entry"), 5, false, noStream, noStream, rootChild,
               layout.miniStreamStart, layout.miniStreamBytes);
    for (int i = 0; i < count; ++i) {
        const TreeNode &node = nodes.at(i + 1);
        writeEntry(i + 1, m_streams.at(i).name, 2, node.red, node.left, node.right, noStream,
                   layout.streamStart.at(i), quint32(m_streams.at(i).size));
    }
    for (int index = count + 1; index < directory.size() / directoryEntrySize; ++index) {
        const int base = index * directoryEntrySize;
        put32(directory, base + 68, noStream);
        put32(directory, base + 72, noStream);
        put32(directory, base + 76, noStream);
    }

    // Out it goes, sector by sector in layout order.
    bool ok = device->write(header) == header.size();
    auto pad = [&](qint64 written, int unit) {
        const qint64 rest = (unit - written % unit) % unit;
        if (rest > 0 && ok)
            ok = device->write(QByteArray(int(rest), '\0')) == rest;
    };
    for (const Stream &stream : m_streams) {
        if (stream.size >= miniStreamCutoff && ok) {
            if (stream.source) {
                const qint64 before = device->pos();
                ok = stream.source(device)
                    && (device->isSequential() || device->pos() - before == stream.size);
            } else {
                ok = device->write(stream.data) == stream.data.size();
            }
            pad(stream.size, sectorSize);
        }
    }
    qint64 miniWritten = 0;
    for (const Stream &stream : m_streams) {
        if (stream.data.size() > 0 && stream.data.size() < miniStreamCutoff && ok) {
            ok = device->write(stream.data) == stream.data.size();
            const int padded = int(sectorsFor(stream.data.size(), miniSectorSize)) * miniSectorSize;
            if (ok && padded > stream.data.size()) {
                ok = device->write(QByteArray(padded - stream.data.size(), '\0'))
                    == padded - stream.data.size();
            }
            miniWritten += padded;
        }
    }
    pad(miniWritten, sectorSize);
    auto writeTable = [&](const QVector<quint32> &table, int entries) {
        QByteArray bytes(entries * 4, '\xFF');
        for (int i = 0; i < table.size(); ++i)
            put32(bytes, 4 * i, table.at(i));
        if (ok)
            ok = device->write(bytes) == bytes.size();
    };
    if (layout.miniFatSectors > 0)
        writeTable(layout.miniFat, int(layout.miniFatSectors) * entriesPerSector);
    if (ok)
        ok = device->write(directory) == directory.size();
    writeTable(layout.fat, layout.fat.size());
    for (quint32 d = 0; d < layout.difatSectors; ++d) {
        QVector<quint32> entries(entriesPerSector, freeSector);
        for (int i = 0; i < entriesPerSector - 1; ++i) {
            const quint32 fatIndex = headerFatSlots + d * (entriesPerSector - 1) + quint32(i);
            if (fatIndex < layout.fatSectors)
                entries[i] = layout.fatStart + fatIndex;
        }
        entries[entriesPerSector - 1]
            = d + 1 < layout.difatSectors ? layout.difatStart + d + 1 : endOfChain;
        writeTable(entries, entriesPerSector);
    }
    return ok;
}
