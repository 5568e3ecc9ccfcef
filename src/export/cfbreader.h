#ifndef CFBREADER_H
#define CFBREADER_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads a compound file (the container of .xls workbooks) held in memory: version 3 or 4,
// allocation table with DIFAT sectors, mini stream and directory. Every sector number,
// chain, size and directory link is checked against the file before it is used, and
// every chain walk stops at the file's sector count and at the first sector met twice,
// so that no damaged or hostile file can make it loop, read outside the bytes or allocate
// more than a small multiple of the file's size. Streams are not copied: a Stream reads
// its bytes from the file's sectors on demand.
class CfbReader
{
public:
    // A stream as a list of pieces of the file: whole sectors, or mini sectors of the
    // mini stream.
    class Stream
    {
    public:
        qint64 size() const { return m_size; }
        bool inMiniStream() const { return m_unitSize == miniSectorSize; }
        // False (and nothing read) when the range lies outside the stream.
        bool read(qint64 offset, int length, char *out) const;
        QByteArray readAll() const;

    private:
        friend class CfbReader;
        const char *m_file = nullptr;
        QVector<qint64> m_units; // file offsets
        int m_unitSize = 0;
        qint64 m_size = 0;
    };

    static constexpr int miniSectorSize = 64;
    static constexpr int miniStreamCutoff = 4096;

    // The caller keeps the bytes alive while the reader and its streams are used. False,
    // with errorString() set, when the bytes are no compound file or a damaged one.
    bool open(const QByteArray &file);
    QString errorString() const { return m_error; }

    // The streams directly under the root storage, in directory order.
    QStringList streamNames() const;
    // A stream directly under the root storage; names compare as the format does, without
    // regard to case. False when there is none or its sectors do not hold its size.
    bool stream(const QString &name, Stream *stream) const;

private:
    struct Entry
    {
        QString name;
        quint8 type = 0;
        quint32 left = 0;
        quint32 right = 0;
        quint32 child = 0;
        quint32 start = 0;
        qint64 size = 0;
    };

    bool fail(const QString &why);
    quint32 sectorCount() const { return m_sectors; }
    qint64 sectorOffset(quint32 sector) const;
    // Follows a chain of the allocation table (or the mini one) from start. With wanted
    // >= 0 the walk stops after that many entries and fails when the chain is shorter;
    // with -1 it runs to the end of the chain. Fails on a sector out of range or met twice.
    bool walk(const QVector<quint32> &table, quint32 limit, quint32 start, qint64 wanted,
              QVector<quint32> *chain) const;
    bool readDirectory(quint32 start);
    QVector<int> rootChildren() const;

    QByteArray m_file;
    QString m_error;
    int m_sectorShift = 9;
    int m_sectorSize = 512;
    quint32 m_sectors = 0;
    int m_major = 3;
    QVector<quint32> m_fat;
    QVector<quint32> m_miniFat;
    QVector<quint32> m_miniStreamChain;
    qint64 m_miniStreamSize = 0;
    QVector<Entry> m_entries;
};

#endif // CFBREADER_H
