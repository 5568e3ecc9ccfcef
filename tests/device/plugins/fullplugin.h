#ifndef FULLPLUGIN_H
#define FULLPLUGIN_H

#include "idmm.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QObject>

// A plug-in with all four device interfaces and no behaviour; its object name (the build's
// TEST_PLUGIN_TAG) tells the loader tests which file an interface came from.
class FullPlugin : public QObject,
                   public SerialDeviceInf,
                   public SerialRS232VirInf,
                   public IDmm,
                   public IMyDmm
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IDmm_iid)
    Q_INTERFACES(SerialDeviceInf SerialRS232VirInf IDmm IMyDmm)

public:
    FullPlugin();

    QObject *object() override { return this; }
    void reservedDevice0() override { }
    void reservedDevice1() override { }
    void reservedDevice2() override { }
    QSerialPortInfo findPort(quint16, quint16) override { return QSerialPortInfo(); }
    bool open(SerialDeviceInf *) override { return false; }
    void close() override { }
    bool isOpen() override { return false; }
    void setDateTime(QDateTime) override { }
    bool requestStoreCount() override { return false; }
    bool downloadStore() override { return false; }
    void reservedCommand3() override { }
    DmmValue convertValue(const DmmValue &value, int, int) override { return value; }
    DmmValue makeValue(double, int, int) override { return DmmValue(); }
    void reservedCommand6() override { }
    bool writeParam(DmmParam *) override { return false; }
    bool readParam() override { return false; }
};

#endif // FULLPLUGIN_H
