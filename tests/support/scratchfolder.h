#ifndef SCRATCHFOLDER_H
#define SCRATCHFOLDER_H

#include <QString>
#include <QTemporaryDir>

// A folder with a property a test needs of its file system: a small one that fills up after a
// few hundred kilobytes, or one that can be made read-only. As root (as in CI) it is a tmpfs
// mounted for the test, since root writes whatever the permissions say; without root a small
// folder is not ready (the test skips) and a writable one is a plain folder whose write
// permission is taken away.
//
//     ScratchFolder disk(ScratchFolder::Small, 256 * 1024);
//     if (!disk.isReady())
//         QSKIP(qPrintable(disk.reason()));
//     ... write into disk.path() until it is full ...
//     disk.resize(4 * 1024 * 1024); // room again
class ScratchFolder
{
public:
    enum Kind { Small, Writable };

    explicit ScratchFolder(Kind kind, qint64 bytes = 16 * 1024 * 1024);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool isReady() const { return m_ready; }
    QString reason() const { return m_reason; }
    QString path() const { return m_path; }

    // Takes away (or gives back) the right to write in the folder.
    bool setReadOnly(bool readOnly);
    // A new size for a small folder; what it holds stays.
    bool resize(qint64 bytes);

private:
    bool mount(const QStringList &options);
    static bool isRoot();

    QTemporaryDir m_base;
    QString m_path;
    bool m_mounted = false;
    bool m_ready = false;
    QString m_reason;
};

#endif // SCRATCHFOLDER_H
