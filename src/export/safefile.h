#ifndef SAFEFILE_H
#define SAFEFILE_H

#include <QCoreApplication>
#include <QFile>
#include <QString>

#include <functional>

// Writes a file so that no failure can leave a damaged one behind: the bytes go into a new
// file beside the destination, every write is checked, the file is flushed, synced to disk
// and closed with every result checked, its size on disk is compared with what was written,
// and only then is it renamed over the destination in one step. Until commit() succeeds the
// destination is untouched; a file that is not committed is removed.
//
// Writers that need a path of their own (a library that opens the file itself) take
// temporaryPath() and call commit() once they have closed it; their writes cannot be
// checked one by one, so they pass a check of the finished file to commit().
class SafeFile
{
    Q_DECLARE_TR_FUNCTIONS(SafeFile)

public:
    explicit SafeFile(const QString &destination);
    ~SafeFile();
    Q_DISABLE_COPY(SafeFile)

    // Creates the temporary file beside the destination (with the permissions a new file of
    // the folder gets, or the destination's own when it exists), open for writing.
    bool open();
    QString destination() const { return m_destination; }
    QString temporaryPath() const { return m_file.fileName(); }
    // For a writer that opens the file by its path: closes it here and gives the path.
    QString releasePath();

    // False on any error, which is kept for commit(); what the buffer still holds is written,
    // and checked, at commit() at the latest.
    bool write(const QByteArray &bytes);
    bool write(const char *data, qint64 size);
    // The temporary file, for writers that take a device. Their writes are checked at commit
    // by the device's error state and the size on disk.
    QFile *device() { return &m_file; }
    qint64 written() const { return m_written; }

    // Finishes the temporary file and puts it in the destination's place. `check`, when
    // given, looks at the closed temporary file first (it may open and read it) and may
    // refuse it. False, with errorString() set, when anything failed; the destination is
    // then as it was.
    bool commit(const std::function<bool(const QString &path, QString *why)> &check = {});
    // Removes the temporary file; the destination stays as it was.
    void discard();

    QString errorString() const { return m_error; }

private:
    bool fail(const QString &why);

    QString m_destination;
    QFile m_file;
    qint64 m_written = 0;
    bool m_failed = false;
    bool m_committed = false;
    QString m_error;
};

#endif // SAFEFILE_H
