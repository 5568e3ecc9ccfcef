#ifndef PORTONLYPLUGIN_H
#define PORTONLYPLUGIN_H

#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QObject>

// A plug-in with only the two serial interfaces: a plug-in folder holding nothing else
// lacks the meter interfaces.
class PortOnlyPlugin : public QObject, public SerialDeviceInf, public SerialRS232VirInf
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SerialDeviceInf_iid)
    Q_INTERFACES(SerialDeviceInf SerialRS232VirInf)

public:
    void reservedDevice0() override { }
    void reservedDevice1() override { }
    void reservedDevice2() override { }
    QObject *object() override { return this; }
    QSerialPortInfo findPort(quint16, quint16) override { return QSerialPortInfo(); }

signals:
    void usbRefreshed();
};

#endif // PORTONLYPLUGIN_H
