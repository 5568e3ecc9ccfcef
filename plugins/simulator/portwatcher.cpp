#include "portwatcher.h"

#include "meterlog.h"
#include "simulatorsettings.h"

#include "virtualport.h"

#include <QMutex>
#include <QTimer>

namespace {

QString identity(const QSerialPortInfo &info)
{
    return info.isNull() ? QString() : info.systemLocation();
}

// Says once per name, not at every poll, that METER_SIM_PORT names an unknown port.
void warnUnlisted(const QString &name)
{
    static QMutex mutex;
    static QString warned;
    QMutexLocker locker(&mutex);
    if (warned == name)
        return;
    warned = name;
    qCWarning(lcMeter) << "simulated meter: METER_SIM_PORT names" << name
                       << "which the system does not list";
}

} // namespace

PortWatcher::PortWatcher(quint16 vendorId, quint16 productId, int periodMs, QObject *parent)
    : QObject(parent)
    , m_vendorId(vendorId)
    , m_productId(productId)
    , m_timer(new QTimer(this))
    , m_current(identity(find(vendorId, productId)))
{
    m_timer->setInterval(periodMs);
    connect(m_timer, &QTimer::timeout, this, &PortWatcher::poll);
}

QSerialPortInfo PortWatcher::find(quint16 vendorId, quint16 productId)
{
    const QString wanted = SimulatorSettings::portOverride();
    if (wanted.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return QSerialPortInfo();
    if (wanted.compare(QLatin1String("virtual"), Qt::CaseInsensitive) == 0)
        return virtualAdapterPort(vendorId, productId);

    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    if (!wanted.isEmpty()) {
        for (const QSerialPortInfo &port : ports) {
            if (port.portName() == wanted || port.systemLocation() == wanted)
                return port;
        }
        warnUnlisted(wanted);
        return QSerialPortInfo();
    }
    for (const QSerialPortInfo &port : ports) {
        if (port.hasVendorIdentifier() && port.vendorIdentifier() == vendorId
            && port.hasProductIdentifier() && port.productIdentifier() == productId)
            return port;
    }
    return ports.isEmpty() ? QSerialPortInfo() : ports.first();
}

void PortWatcher::start()
{
    m_timer->start();
}

void PortWatcher::poll()
{
    const QString now = identity(find(m_vendorId, m_productId));
    if (now == m_current)
        return;
    qCDebug(lcMeter) << "simulated meter: adapter port" << m_current << "->" << now;
    m_current = now;
    emit changed();
}
