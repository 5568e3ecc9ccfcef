#ifndef CFBWRITER_H
#define CFBWRITER_H

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

class QIODevice;

// Writes a compound file (the container of .xls workbooks): version 3, 512-byte sectors,
// streams below 4096 bytes in the mini stream, and DIFAT sectors once the allocation table
// outgrows the 109 places of the header. All streams sit directly under the root storage.
class CfbWriter
{
public:
    static constexpr int sectorSize = 512;
    static constexpr int miniSectorSize = 64;
    static constexpr int miniStreamCutoff = 4096;
    static constexpr int headerFatSlots = 109;

    // False for an empty name, a name of more than 31 UTF-16 units, a name with one of
    // / \ : ! in it, or a name already added (names compare without regard to case).
    bool addStream(const QString &name, const QByteArray &data);
    // A stream whose bytes are written by `source` when the file is written, exactly `size` of
    // them (at least miniStreamCutoff), so that a large stream need not be held in memory.
    using Source = std::function<bool(QIODevice *device)>;
    bool addStream(const QString &name, qint64 size, const Source &source);
    int streamCount() const { return m_streams.size(); }

    // The whole file; write() streams it to an open device and returns false on a write
    // error.
    QByteArray toByteArray() const;
    bool write(QIODevice *device) const;

private:
    struct Stream
    {
        QString name;
        QByteArray data;
        qint64 size = 0;
        Source source;
    };
    bool acceptsName(const QString &name) const;
    QVector<Stream> m_streams;
};

#endif // CFBWRITER_H
