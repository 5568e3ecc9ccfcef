#ifndef METERPLUGIN_H
#define METERPLUGIN_H

#include "idmm.h"
#include "imydmm.h"

#include <QObject>

// The meter half of a device split over two plug-ins (object name "meter").
class MeterPlugin : public QObject, public IDmm, public IMyDmm
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IMyDmm_iid)
    Q_INTERFACES(IDmm IMyDmm)

public:
    MeterPlugin();

    QObject *object() override { return this; }
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

#endif // METERPLUGIN_H
