#include "scratchfolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace {

bool runTool(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2: %3")
                     .arg(program, arguments.join(QLatin1Char(' ')),
                          QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

} // namespace

ScratchFolder::ScratchFolder(Kind kind, qint64 bytes)
{
    if (!m_base.isValid()) {
        m_reason = QStringLiteral("no temporary folder");
        return;
    }
    m_path = m_base.filePath(QStringLiteral("scratch"));
    QDir().mkpath(m_path);
    if (isRoot()) {
        m_ready = mount({QStringLiteral("size=%1").arg(bytes)});
    } else if (kind == Writable) {
        m_ready = true;
    } else {
        m_reason = QStringLiteral("a small file system needs root to be mounted");
    }
}

ScratchFolder::~ScratchFolder()
{
    setReadOnly(false);
    if (m_mounted) {
        QString error;
        if (!runTool(QStringLiteral("umount"), {QStringLiteral("-l"), m_path}, &error))
            qWarning("%s", qPrintable(error));
    }
}

bool ScratchFolder::isRoot()
{
    return ::geteuid() == 0;
}

bool ScratchFolder::mount(const QStringList &options)
{
    QStringList arguments {QStringLiteral("-t"), QStringLiteral("tmpfs")};
    QStringList all = options;
    if (m_mounted)
        all.prepend(QStringLiteral("remount"));
    arguments << QStringLiteral("-o") << all.join(QLatin1Char(',')) << QStringLiteral("tmpfs")
              << m_path;
    if (!runTool(QStringLiteral("mount"), arguments, &m_reason))
        return false;
    m_mounted = true;
    return true;
}

bool ScratchFolder::setReadOnly(bool readOnly)
{
    if (!m_ready)
        return false;
    // Root writes whatever the permissions say: only a read-only mount stops it.
    if (m_mounted)
        return mount({readOnly ? QStringLiteral("ro") : QStringLiteral("rw")});
    const QFile::Permissions all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    return QFile::setPermissions(m_path, readOnly ? all & ~QFile::WriteOwner : all);
}

bool ScratchFolder::resize(qint64 bytes)
{
    return m_mounted && mount({QStringLiteral("size=%1").arg(bytes)});
}
