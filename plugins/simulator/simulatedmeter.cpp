#include "simulatedmeter.h"

#include "meterengine.h"
#include "meterlog.h"
#include "portwatcher.h"
#include "psychrometrics.h"

#include <QMetaMethod>
#include <QMetaObject>

namespace {
// The meter's USB serial adapter.
constexpr quint16 adapterVendorId = 0x1A86;
constexpr quint16 adapterProductId = 0x7523;

bool isTemperatureChannel(int channel)
{
    return channel == 0 || channel == 2 || channel == 3;
}
} // namespace

SimulatedMeter::SimulatedMeter(QObject *parent)
    : QObject(parent)
    , m_settings(SimulatorSettings::fromEnvironment())
    , m_meterParam(defaultParam())
    , m_param(defaultParam())
{
    // Before anything is emitted: records may be queued to the receiver's thread.
    registerDmmDataMetaTypes();
    registerDmmParamMetaType();

    // The port list is polled off the GUI thread: enumerating the system's devices can take
    // a while, and the window must not stall for it.
    m_thread.setObjectName(QStringLiteral("simulated meter"));
    m_engine = new MeterEngine(this);
    m_watcher = new PortWatcher(adapterVendorId, adapterProductId, m_settings.pollMs);
    m_watcher->moveToThread(&m_thread);

    if (m_settings.threaded) {
        m_engine->moveToThread(&m_thread);
        connect(m_watcher, &PortWatcher::changed, this, &SimulatedMeter::usbRefreshed,
                Qt::DirectConnection);
        qCDebug(lcMeter) << "simulated meter: signals come from a worker thread";
    } else {
        m_engine->setParent(this);
        // re-emitted on this object's thread
        connect(m_watcher, &PortWatcher::changed, this, &SimulatedMeter::usbRefreshed,
                Qt::QueuedConnection);
    }
    // The worker's objects are deleted in their own thread as it ends. Called directly: the
    // plug-in may be destroyed after the application object, when no event is delivered.
    connect(
        &m_thread, &QThread::finished, this,
        [this] {
            delete m_watcher;
            if (m_engine->thread() == QThread::currentThread())
                delete m_engine;
        },
        Qt::DirectConnection);
    m_thread.start();
    QMetaObject::invokeMethod(m_watcher, &PortWatcher::start, Qt::QueuedConnection);
}

SimulatedMeter::~SimulatedMeter()
{
    m_thread.quit();
    m_thread.wait();
}

template<typename F> void SimulatedMeter::post(F &&f)
{
    QMetaObject::invokeMethod(m_engine, std::forward<F>(f), Qt::QueuedConnection);
}

DmmParam SimulatedMeter::defaultParam()
{
    DmmParam p {};
    p.unit = 0;
    p.storageInterval = 60;
    p.highTemp = 350;
    p.highHumi = 800;
    p.highDP = 300;
    p.highWB = 300;
    p.lowTemp = 50;
    p.lowHumi = 200;
    p.lowDP = -100;
    p.lowWB = -50;
    p.autoPower = 10;
    return p;
}

bool SimulatedMeter::isReceived(void (SimulatedMeter::*signal)(const DmmData *)) const
{
    return isSignalConnected(QMetaMethod::fromSignal(signal));
}

QSerialPortInfo SimulatedMeter::findPort(quint16 vendorId, quint16 productId)
{
    return PortWatcher::find(vendorId, productId);
}

bool SimulatedMeter::open(SerialDeviceInf *device)
{
    Q_UNUSED(device) // the simulated meter needs no serial port
    m_settings = SimulatorSettings::fromEnvironment();
    if (m_settings.refuseOpen) {
        qCDebug(lcMeter) << "simulated meter: refusing to open";
        return false;
    }
    const SimulatorSettings settings = m_settings;
    const DmmParam meterParam = m_meterParam;
    MeterEngine *engine = m_engine;
    post([engine, settings, meterParam] { engine->openLink(settings, meterParam); });
    return true;
}

void SimulatedMeter::close()
{
    MeterEngine *engine = m_engine;
    post([engine] { engine->closeLink(); });
}

bool SimulatedMeter::isOpen()
{
    return m_engine->isLinkUp();
}

void SimulatedMeter::setDateTime(QDateTime dateTime)
{
    if (dateTime.isValid())
        m_engine->setClockOffset(QDateTime::currentDateTime().msecsTo(dateTime));
}

bool SimulatedMeter::requestStoreCount()
{
    if (!isOpen())
        return false;
    MeterEngine *engine = m_engine;
    post([engine] { engine->reportStoreCount(); });
    return true;
}

bool SimulatedMeter::downloadStore()
{
    if (!isOpen())
        return false;
    MeterEngine *engine = m_engine;
    const int interval = m_meterParam.storageInterval;
    post([engine, interval] { engine->startDownload(interval); });
    return true;
}

DmmValue SimulatedMeter::convertValue(const DmmValue &value, int channel, int unit)
{
    if (unit != 1 || !isTemperatureChannel(channel))
        return value;
    DmmValue shown = value;
    shown.value = value.value * 1.8 + 32.0;
    shown.text = QString::number(Psychrometrics::toTenths(shown.value), 'f', 1);
    return shown;
}

DmmValue SimulatedMeter::makeValue(double value, int channel, int unit)
{
    DmmValue made;
    made.value = value;
    made.text = QString::number(Psychrometrics::toTenths(value), 'f', 1);
    return convertValue(made, channel, unit);
}

bool SimulatedMeter::writeParam(DmmParam *param)
{
    if (!param || !isOpen())
        return false;
    // A write the meter never confirms is taken as lost.
    if (!m_settings.confirmWrite)
        return true;
    m_meterParam = *param;
    MeterEngine *engine = m_engine;
    const DmmParam written = m_meterParam;
    post([engine, written] { engine->confirmWrite(written); });
    return true;
}

bool SimulatedMeter::readParam()
{
    if (!isOpen())
        return false;
    if (!m_settings.answerParam)
        return true;
    // Filled here, on the caller's thread, which is the only one that touches the record.
    m_param = m_meterParam;
    MeterEngine *engine = m_engine;
    DmmParam *record = &m_param;
    post([engine, record] { engine->answerParam(record); });
    return true;
}
