#ifndef LINKPLUGIN_H
#define LINKPLUGIN_H

#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QObject>

// The serial half of a device split over two plug-ins (object name "link").
class LinkPlugin : public QObject, public SerialDeviceInf, public SerialRS232VirInf
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SerialDeviceInf_iid)
    Q_INTERFACES(SerialDeviceInf SerialRS232VirInf)

public:
    LinkPlugin();

    void reservedDevice0() override { }
    void reservedDevice1() override { }
    void reservedDevice2() override { }
    QObject *object() override { return this; }
    QSerialPortInfo findPort(quint16, quint16) override { return QSerialPortInfo(); }
};

#endif // LINKPLUGIN_H
