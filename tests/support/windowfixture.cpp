#include "windowfixture.h"

#include "pluginloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>
#include <QTest>

ScriptableMeter *scriptableMeter()
{
    static ScriptableMeter *meter = [] {
        const QDir dir(PluginLoader::pluginDirectory(QCoreApplication::applicationDirPath()));
        const QString suffix = PluginLoader::librarySuffix();
        for (const QFileInfo &entry : dir.entryInfoList(QDir::Files)) {
            if (entry.suffix().toLower() != suffix)
                continue;
            // The same root instance the window's plug-in scan gets later: instances are kept
            // per library file.
            QPluginLoader loader(entry.absoluteFilePath());
            if (auto *found = qobject_cast<ScriptableMeter *>(loader.instance()))
                return found;
        }
        return static_cast<ScriptableMeter *>(nullptr);
    }();
    return meter;
}

std::unique_ptr<Widget> makeTestWindow(const std::function<void(ScriptableMeter *)> &prepare,
                                       bool show)
{
    if (ScriptableMeter *meter = scriptableMeter()) {
        meter->reset();
        if (prepare)
            prepare(meter);
    }
    auto window = std::make_unique<Widget>();
    if (show) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("makeTestWindow: the window was not exposed");
    }
    QCoreApplication::processEvents();
    return window;
}

bool setUnit(Widget *window, int unit)
{
    ScriptableMeter *meter = scriptableMeter();
    if (!meter)
        return false;
    meter->param()->unit = quint8(unit);
    meter->emitUpdateParam();
    return QTest::qWaitFor(
        [window, unit] { return window->unitIndex() == unit && !window->unitText().isEmpty(); },
        2000);
}

QString testOptionsFilePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
}
