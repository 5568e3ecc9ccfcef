#include "pluginloader.h"

#include "idmm.h"
#include "imydmm.h"
#include "meterlog.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

QString PluginLoader::librarySuffix()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("dylib");
#else
    return QStringLiteral("so");
#endif
}

QString PluginLoader::pluginDirectory(const QString &appDir)
{
    QDir dir(appDir);
    if (dir.cd(QStringLiteral("Lib")))
        return dir.absolutePath();
    return QDir(appDir).absolutePath();
}

bool PluginLoader::load(const QString &appDir, DevicePlugins &plugins)
{
    const QDir dir(pluginDirectory(appDir));
    const QString suffix = librarySuffix();
    const QFileInfoList entries = dir.entryInfoList(QDir::NoFilter, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        const QFileInfo info(entry.absoluteFilePath());
        if (!info.isFile() || info.suffix().toLower() != suffix)
            continue;
        // The loader object is let go without unload(): the library stays in the process.
        QPluginLoader loader(info.absoluteFilePath());
        QObject *instance = loader.instance();
        if (!instance) {
            // Not a plug-in, another build, or a dependency missing: skipped without a word
            // to the user, but said in the diagnostics.
            qCDebug(lcMeter) << "not a device plug-in:" << info.fileName() << loader.errorString();
            continue;
        }
        qCDebug(lcMeter) << "device plug-in" << info.fileName() << "class"
                         << instance->metaObject()->className();
        if (auto *p = qobject_cast<SerialDeviceInf *>(instance))
            plugins.serialDevice = p;
        if (auto *p = qobject_cast<SerialRS232VirInf *>(instance))
            plugins.portFinder = p;
        if (auto *p = qobject_cast<IDmm *>(instance))
            plugins.dmm = p;
        if (auto *p = qobject_cast<IMyDmm *>(instance))
            plugins.myDmm = p;
    }
    if (!plugins.complete())
        qCDebug(lcMeter) << "device interfaces incomplete after scanning" << dir.absolutePath();
    return plugins.complete();
}
