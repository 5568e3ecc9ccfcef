#include "safefile.h"

#include "meterlog.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Flushes what the system holds of the file to the disk: a full disk or a failing device
// shows up here at the latest, not after the file has replaced a good one.
bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return _commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

// Puts `from` in the place of `to` in one step, replacing what is there.
bool replaceFile(const QString &from, const QString &to, QString *why)
{
#ifdef Q_OS_WIN
    if (MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                    reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *why = qt_error_string(int(GetLastError()));
    return false;
#else
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) {
        // The rename itself lasts only once the folder is on the disk.
        const int folder = ::open(QFile::encodeName(QFileInfo(to).absolutePath()).constData(),
                                  O_RDONLY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
        return true;
    }
    *why = qt_error_string(errno);
    return false;
#endif
}

} // namespace

SafeFile::SafeFile(const QString &destination)
    : m_destination(QFileInfo(destination).absoluteFilePath())
{
}

SafeFile::~SafeFile()
{
    if (!m_committed)
        discard();
}

bool SafeFile::open()
{
    const QFileInfo target(m_destination);
    if (target.isDir())
        return fail(tr("A folder of that name is in the way."));
    // Hidden, and named after the destination so that a left-over file tells what it was.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name
            = QStringLiteral("%1/.%2.%3.part")
                  .arg(target.absolutePath(), target.fileName())
                  .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_file.setFileName(name);
        if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (target.exists())
                m_file.setPermissions(QFile::permissions(m_destination));
            return true;
        }
        if (QFileInfo::exists(name))
            continue; // taken by chance: another name
        break;
    }
    const QString why = m_file.errorString();
    m_file.setFileName(QString());
    qCWarning(lcMeter) << "Cannot create a file beside" << m_destination << why;
    return fail(why);
}

QString SafeFile::releasePath()
{
    if (m_file.isOpen())
        m_file.close();
    return m_file.fileName();
}

bool SafeFile::write(const QByteArray &bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool SafeFile::write(const char *data, qint64 size)
{
    if (m_failed || !m_file.isOpen())
        return false;
    const qint64 n = m_file.write(data, size);
    if (n != size)
        return fail(m_file.errorString());
    m_written += n;
    return true;
}

bool SafeFile::commit(const std::function<bool(const QString &, QString *)> &check)
{
    if (m_committed)
        return true;
    if (m_failed || m_file.fileName().isEmpty()) {
        discard();
        return false;
    }
    const QString path = m_file.fileName();
    qint64 expected = -1;
    if (m_file.isOpen()) {
        // Written here (or by a writer on device()): what the device took must all be there.
        expected = m_file.pos();
        if (m_file.error() != QFileDevice::NoError || !m_file.flush())
            return fail(m_file.errorString());
        if (!syncToDisk(m_file.handle()))
            return fail(tr("The file could not be saved to the disk."));
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            return fail(m_file.errorString());
    } else {
        // Written by someone else through the path: the file must be on the disk all the same.
        QFile written(path);
        if (!written.open(QIODevice::ReadWrite | QIODevice::Append))
            return fail(written.errorString());
        const bool synced = syncToDisk(written.handle());
        written.close();
        if (!synced || written.error() != QFileDevice::NoError)
            return fail(tr("The file could not be saved to the disk."));
    }
    const QFileInfo onDisk(path);
    if (!onDisk.exists() || (expected >= 0 && onDisk.size() != expected)) {
        qCWarning(lcMeter) << "Written" << expected << "bytes, found" << onDisk.size() << "in"
                           << path;
        return fail(tr("The file on the disk is incomplete."));
    }
    QString why;
    if (check && !check(path, &why))
        return fail(why.isEmpty() ? tr("The file on the disk is incomplete.") : why);
    if (!replaceFile(path, m_destination, &why))
        return fail(why);
    m_committed = true;
    return true;
}

void SafeFile::discard()
{
    if (m_file.isOpen())
        m_file.close();
    if (!m_file.fileName().isEmpty() && !m_committed)
        QFile::remove(m_file.fileName());
}

bool SafeFile::fail(const QString &why)
{
    if (!m_failed) {
        m_failed = true;
        m_error = why;
        qCWarning(lcMeter) << "Writing" << m_destination << "failed:" << why;
    }
    discard();
    return false;
}
