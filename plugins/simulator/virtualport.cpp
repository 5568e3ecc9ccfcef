#include "virtualport.h"

#include <QList>
#include <QString>

static_assert(QT_VERSION >= QT_VERSION_CHECK(5, 15, 0) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0),
              "the port record below is the one of the Qt 5.15 serial port module");

QT_BEGIN_NAMESPACE

// Field for field the module's own record; the module copies it with its own code.
class QSerialPortInfoPrivate
{
public:
    QString portName;
    QString device;
    QString description;
    QString manufacturer;
    QString serialNumber;
    quint16 vendorIdentifier = 0;
    quint16 productIdentifier = 0;
    bool hasVendorIdentifier = false;
    bool hasProductIdentifier = false;
};

namespace {
thread_local const QSerialPortInfoPrivate *describedPort = nullptr;
}

// QSerialPortInfo befriends its enumerators by name; the module's own functions of this name
// are internal to its library, so this definition replaces nothing there and is hidden here.
Q_DECL_HIDDEN QList<QSerialPortInfo> availablePortsBySysfs(bool &ok)
{
    ok = describedPort != nullptr;
    if (!describedPort)
        return {};
    return {QSerialPortInfo(*describedPort)};
}

QT_END_NAMESPACE

QSerialPortInfo virtualAdapterPort(quint16 vendorId, quint16 productId, const QString &portName)
{
    QSerialPortInfoPrivate record;
    record.portName = portName;
    record.device = QStringLiteral("/dev/") + portName;
    record.description = QStringLiteral("Simulated meter adapter");
    record.manufacturer = QStringLiteral("Simulator");
    record.vendorIdentifier = vendorId;
    record.productIdentifier = productId;
    record.hasVendorIdentifier = true;
    record.hasProductIdentifier = true;

    describedPort = &record;
    bool ok = false;
    const QList<QSerialPortInfo> ports = availablePortsBySysfs(ok);
    describedPort = nullptr;
    return ports.value(0);
}
