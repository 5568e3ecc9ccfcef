#ifndef PLUGINLOADER_H
#define PLUGINLOADER_H

#include <QString>

class IDmm;
class IMyDmm;
class SerialDeviceInf;
class SerialRS232VirInf;

// The four device interfaces as found in the plug-in folder. Pointers are never owned: the
// plug-ins stay loaded until the process ends.
struct DevicePlugins
{
    SerialDeviceInf *serialDevice = nullptr;
    SerialRS232VirInf *portFinder = nullptr;
    IDmm *dmm = nullptr;
    IMyDmm *myDmm = nullptr;

    bool complete() const { return serialDevice && portFinder && dmm && myDmm; }
};

class PluginLoader
{
public:
    // The folder "Lib" inside appDir, or appDir itself when there is no such folder.
    static QString pluginDirectory(const QString &appDir);

    // Scans the plug-in folder of appDir: entries sorted by name case-insensitively, files
    // with the platform's library suffix (compared case-insensitively) are loaded, and each
    // root instance is cast to the four interfaces in a fixed order; a later file replaces
    // an interface found in an earlier one. Libraries are never unloaded. Returns true when
    // all four interfaces were found.
    static bool load(const QString &appDir, DevicePlugins &plugins);

    // The platform's shared-library suffix without the dot ("so", "dll" or "dylib").
    static QString librarySuffix();
};

#endif // PLUGINLOADER_H
