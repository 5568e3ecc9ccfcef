#ifndef SIMULATEDMETER_H
#define SIMULATEDMETER_H

#include "dmmdata.h"
#include "dmmparam.h"
#include "idmm.h"
#include "imydmm.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"
#include "simulatorsettings.h"

#include <QObject>
#include <QThread>

class MeterEngine;
class PortWatcher;

// A meter without hardware: the device plug-in that answers all four interfaces, so that the
// application is fully usable (and testable) with no meter attached. Its behaviour can be
// changed through METER_SIM_* environment variables (see the README beside this file).
class SimulatedMeter : public QObject,
                       public SerialDeviceInf,
                       public SerialRS232VirInf,
                       public IDmm,
                       public IMyDmm
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID IDmm_iid)
    Q_INTERFACES(SerialDeviceInf SerialRS232VirInf IDmm IMyDmm)

public:
    explicit SimulatedMeter(QObject *parent = nullptr);
    ~SimulatedMeter() override;

    QObject *object() override { return this; }

    // SerialDeviceInf: the positions used between plug-ins only.
    void reservedDevice0() override { }
    void reservedDevice1() override { }
    void reservedDevice2() override { }

    // SerialRS232VirInf
    QSerialPortInfo findPort(quint16 vendorId, quint16 productId) override;

    // IDmm
    bool open(SerialDeviceInf *device) override;
    void close() override;
    bool isOpen() override;

    // IMyDmm
    void setDateTime(QDateTime dateTime) override;
    bool requestStoreCount() override;
    bool downloadStore() override;
    void reservedCommand3() override { }
    DmmValue convertValue(const DmmValue &value, int channel, int unit) override;
    DmmValue makeValue(double value, int channel, int unit) override;
    void reservedCommand6() override { }
    bool writeParam(DmmParam *param) override;
    bool readParam() override;

    // The parameters a new simulated meter starts with.
    static DmmParam defaultParam();

    // Whether a reading signal has a receiver: a record nobody receives would never be freed.
    // Called by the engine from its own thread.
    bool isReceived(void (SimulatedMeter::*signal)(const DmmData *)) const;

signals:
    void opened();
    void closed();
    void message(QString text);
    void display(const DmmData *data);
    void displayStore(const DmmData *data);
    void storeNum(int total, int current);
    void updateStoreCount(int count);
    void updateParam(DmmParam *param);
    void ResponseResult(int command, int result);
    void usbRefreshed();

private:
    // Runs f in the engine's thread, from its event loop.
    template<typename F> void post(F &&f);

    SimulatorSettings m_settings; // as read when the plug-in loaded, then at each open()
    QThread m_thread; // polls the port list; runs the engine too when signals come from it
    MeterEngine *m_engine = nullptr;
    PortWatcher *m_watcher = nullptr;
    DmmParam m_meterParam; // what the simulated meter holds
    DmmParam m_param; // the record handed out with updateParam, edited in place by receivers
};

#endif // SIMULATEDMETER_H
