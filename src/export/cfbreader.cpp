#include "cfbreader.h"

#include <QBitArray>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr quint32 maxRegularSector = 0xFFFFFFFAu;
constexpr quint32 endOfChain = 0xFFFFFFFEu;
constexpr quint32 noStream = 0xFFFFFFFFu;
constexpr int headerSize = 512;
constexpr int headerFatSlots = 109;
constexpr int directoryEntrySize = 128;
constexpr quint8 storageObject = 1;
constexpr quint8 streamObject = 2;
constexpr quint8 rootObject = 5;
// Workbooks have a handful of directory entries; a directory beyond this is no workbook's.
constexpr int maxDirectoryEntries = 1 << 16;

quint16 u16(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 u32(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

quint64 u64(const char *p)
{
    return qFromLittleEndian<quint64>(p);
}

} // namespace

bool CfbReader::Stream::read(qint64 offset, int length, char *out) const
{
    if (offset < 0 || length < 0 || offset > m_size || length > m_size - offset)
        return false;
    while (length > 0) {
        const qint64 unit = offset / m_unitSize;
        const int within = int(offset % m_unitSize);
        const int n = std::min(length, m_unitSize - within);
        memcpy(out, m_file + m_units.at(int(unit)) + within, size_t(n));
        out += n;
        offset += n;
        length -= n;
    }
    return true;
}

QByteArray CfbReader::Stream::readAll() const
{
    QByteArray bytes(int(m_size), Qt::Uninitialized);
    if (!read(0, int(m_size), bytes.data()))
        return QByteArray();
    return bytes;
}

bool CfbReader::fail(const QString &why)
{
    m_error = why;
    m_entries.clear();
    return false;
}

qint64 CfbReader::sectorOffset(quint32 sector) const
{
    // The header takes the place of one sector (4096 bytes in version 4).
    return (qint64(sector) + 1) << m_sectorShift;
}

bool CfbReader::walk(const QVector<quint32> &table, quint32 limit, quint32 start, qint64 wanted,
                     QVector<quint32> *chain) const
{
    chain->clear();
    if (wanted == 0)
        return true;
    QBitArray seen(int(limit), false);
    quint32 sector = start;
    while (wanted < 0 || chain->size() < wanted) {
        if (sector == endOfChain && wanted < 0)
            return true;
        if (sector >= limit || sector >= quint32(table.size()) || seen.testBit(int(sector)))
            return false;
        seen.setBit(int(sector));
        chain->append(sector);
        sector = table.at(int(sector));
    }
    return true;
}

bool CfbReader::open(const QByteArray &file)
{
    m_file = file;
    m_error.clear();
    m_entries.clear();
    m_fat.clear();
    m_miniFat.clear();
    m_miniStreamChain.clear();
    const char *h = file.constData();
    static const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    if (file.size() < headerSize || memcmp(h, signature, 8) != 0)
        return fail(QStringLiteral("no compound file header"));
    m_major = u16(h + 26);
    m_sectorShift = u16(h + 30);
    if (u16(h + 28) != 0xFFFE
        || !((m_major == 3 && m_sectorShift == 9) || (m_major == 4 && m_sectorShift == 12)))
        return fail(QStringLiteral("unknown version or sector size"));
    if (u16(h + 32) != 6 || u32(h + 56) != quint32(miniStreamCutoff))
        return fail(QStringLiteral("unknown mini sector size or cutoff"));
    m_sectorSize = 1 << m_sectorShift;
    // A last sector cut short still counts: its missing bytes fail the reads that need them.
    const qint64 body = qint64(file.size()) - m_sectorSize;
    const qint64 sectors = body <= 0 ? 0 : (body + m_sectorSize - 1) / m_sectorSize;
    if (sectors >= qint64(maxRegularSector))
        return fail(QStringLiteral("file too large"));
    m_sectors = quint32(sectors);

    // The allocation table's sectors: 109 in the header, the rest in the DIFAT chain.
    const quint32 fatSectors = u32(h + 44);
    const quint32 difatSectors = u32(h + 72);
    if (fatSectors > m_sectors || difatSectors > m_sectors)
        return fail(QStringLiteral("sector counts beyond the file"));
    QVector<quint32> fatList;
    fatList.reserve(int(fatSectors));
    for (int i = 0; i < headerFatSlots && quint32(fatList.size()) < fatSectors; ++i)
        fatList.append(u32(h + 76 + 4 * i));
    const int perSector = m_sectorSize / 4;
    QBitArray seen(int(m_sectors), false);
    quint32 difat = u32(h + 68);
    for (quint32 d = 0; d < difatSectors && quint32(fatList.size()) < fatSectors; ++d) {
        if (difat >= m_sectors || seen.testBit(int(difat)))
            return fail(QStringLiteral("broken DIFAT chain"));
        seen.setBit(int(difat));
        const qint64 at = sectorOffset(difat);
        if (at + m_sectorSize > file.size())
            return fail(QStringLiteral("DIFAT sector beyond the file"));
        for (int i = 0; i < perSector - 1 && quint32(fatList.size()) < fatSectors; ++i)
            fatList.append(u32(h + at + 4 * i));
        difat = u32(h + at + 4 * (perSector - 1));
    }
    if (quint32(fatList.size()) != fatSectors)
        return fail(QStringLiteral("DIFAT shorter than the allocation table"));
    // Entries past the file's last sector could only name sectors that do not exist: they
    // are not kept, so that the table never outgrows a small part of the file.
    seen.fill(false);
    m_fat.reserve(int(std::min<qint64>(qint64(fatSectors) * perSector, m_sectors)));
    for (quint32 sector : qAsConst(fatList)) {
        if (sector >= m_sectors || seen.testBit(int(sector)))
            return fail(QStringLiteral("bad allocation table sector"));
        seen.setBit(int(sector));
        const qint64 at = sectorOffset(sector);
        if (at + m_sectorSize > file.size())
            return fail(QStringLiteral("allocation table beyond the file"));
        for (int i = 0; i < perSector && quint32(m_fat.size()) < m_sectors; ++i)
            m_fat.append(u32(h + at + 4 * i));
    }

    if (!readDirectory(u32(h + 48)))
        return false;

    // The mini stream lives in the root entry's chain, the mini table in its own.
    const Entry &root = m_entries.first();
    m_miniStreamSize = root.size;
    if (m_miniStreamSize > file.size())
        return fail(QStringLiteral("mini stream larger than the file"));
    if (m_miniStreamSize > 0) {
        const qint64 wanted = (m_miniStreamSize + m_sectorSize - 1) / m_sectorSize;
        if (wanted > m_sectors || !walk(m_fat, m_sectors, root.start, wanted, &m_miniStreamChain))
            return fail(QStringLiteral("broken mini stream chain"));
    }
    const quint32 miniFatSectors = u32(h + 64);
    if (miniFatSectors > m_sectors)
        return fail(QStringLiteral("mini table beyond the file"));
    QVector<quint32> miniFatChain;
    if (miniFatSectors > 0 && !walk(m_fat, m_sectors, u32(h + 60), miniFatSectors, &miniFatChain))
        return fail(QStringLiteral("broken mini table chain"));
    const qint64 miniSectors = m_miniStreamSize / miniSectorSize;
    m_miniFat.reserve(int(std::min<qint64>(qint64(miniFatChain.size()) * perSector, miniSectors)));
    for (quint32 sector : qAsConst(miniFatChain)) {
        const qint64 at = sectorOffset(sector);
        if (at + m_sectorSize > file.size())
            return fail(QStringLiteral("mini table beyond the file"));
        for (int i = 0; i < perSector && m_miniFat.size() < miniSectors; ++i)
            m_miniFat.append(u32(h + at + 4 * i));
    }
    return true;
}

bool CfbReader::readDirectory(quint32 start)
{
    QVector<quint32> chain;
    if (!walk(m_fat, m_sectors, start, -1, &chain) || chain.isEmpty())
        return fail(QStringLiteral("broken directory chain"));
    const char *base = m_file.constData();
    const int perSector = m_sectorSize / directoryEntrySize;
    if (qint64(chain.size()) * perSector > maxDirectoryEntries)
        return fail(QStringLiteral("directory too large"));
    m_entries.reserve(chain.size() * perSector);
    for (quint32 sector : qAsConst(chain)) {
        const qint64 at = sectorOffset(sector);
        if (at + m_sectorSize > m_file.size())
            return fail(QStringLiteral("directory beyond the file"));
        for (int i = 0; i < perSector; ++i) {
            const char *e = base + at + i * directoryEntrySize;
            Entry entry;
            entry.type = quint8(e[66]);
            const int nameBytes = u16(e + 64);
            // Name lengths count the terminating zero; anything else is an unused entry.
            if (nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0) {
                for (int c = 0; c < nameBytes / 2 - 1; ++c)
                    entry.name += QChar(u16(e + 2 * c));
            }
            entry.left = u32(e + 68);
            entry.right = u32(e + 72);
            entry.child = u32(e + 76);
            entry.start = u32(e + 116);
            // Version 3 files may leave garbage in the size's high half.
            entry.size = m_major == 3 ? qint64(u32(e + 120)) : qint64(u64(e + 120));
            if (entry.size < 0)
                entry.size = -1; // marks it unusable below
            m_entries.append(entry);
        }
    }
    if (m_entries.first().type != rootObject || m_entries.first().size < 0)
        return fail(QStringLiteral("no root entry"));
    return true;
}

QVector<int> CfbReader::rootChildren() const
{
    // The siblings form a binary tree under the root's child link. Each entry is visited
    // once at most, so a looping tree ends.
    QVector<int> found;
    QBitArray seen(m_entries.size());
    QVector<quint32> pending {m_entries.first().child};
    while (!pending.isEmpty()) {
        const quint32 id = pending.takeLast();
        if (id == noStream || id == 0 || id >= quint32(m_entries.size()) || seen.testBit(int(id)))
            continue;
        seen.setBit(int(id));
        const Entry &entry = m_entries.at(int(id));
        if (entry.type != streamObject && entry.type != storageObject)
            continue;
        found.append(int(id));
        pending.append(entry.right);
        pending.append(entry.left);
    }
    std::sort(found.begin(), found.end());
    return found;
}

QStringList CfbReader::streamNames() const
{
    QStringList names;
    if (m_entries.isEmpty())
        return names;
    for (int id : rootChildren()) {
        if (m_entries.at(id).type == streamObject)
            names.append(m_entries.at(id).name);
    }
    return names;
}

bool CfbReader::stream(const QString &name, Stream *stream) const
{
    if (m_entries.isEmpty())
        return false;
    const Entry *entry = nullptr;
    for (int id : rootChildren()) {
        const Entry &candidate = m_entries.at(id);
        if (candidate.type == streamObject && candidate.size >= 0
            && candidate.name.compare(name, Qt::CaseInsensitive) == 0) {
            entry = &candidate;
            break;
        }
    }
    if (!entry || entry->size > m_file.size())
        return false;

    Stream s;
    s.m_file = m_file.constData();
    s.m_size = entry->size;
    QVector<quint32> chain;
    if (entry->size < miniStreamCutoff) {
        // Mini sectors never straddle a sector: 64 divides both sector sizes.
        s.m_unitSize = miniSectorSize;
        const qint64 units = (entry->size + miniSectorSize - 1) / miniSectorSize;
        const quint32 miniSectors = quint32(m_miniStreamSize / miniSectorSize);
        if (!walk(m_miniFat, miniSectors, entry->start, units, &chain))
            return false;
        for (int i = 0; i < chain.size(); ++i) {
            const qint64 inMini = qint64(chain.at(i)) * miniSectorSize;
            const qint64 at = sectorOffset(m_miniStreamChain.at(int(inMini >> m_sectorShift)))
                + (inMini & (m_sectorSize - 1));
            s.m_units.append(at);
        }
    } else {
        s.m_unitSize = m_sectorSize;
        const qint64 units = (entry->size + m_sectorSize - 1) / m_sectorSize;
        if (units > m_sectors || !walk(m_fat, m_sectors, entry->start, units, &chain))
            return false;
        s.m_units.reserve(chain.size());
        for (quint32 sector : qAsConst(chain))
            s.m_units.append(sectorOffset(sector));
    }
    // Every byte of the stream must lie inside the file (the last piece may be short).
    for (int i = 0; i < s.m_units.size(); ++i) {
        const qint64 needed = std::min<qint64>(s.m_unitSize, s.m_size - qint64(i) * s.m_unitSize);
        if (s.m_units.at(i) + needed > m_file.size())
            return false;
    }
    *stream = s;
    return true;
}
