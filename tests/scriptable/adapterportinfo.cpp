#include "adapterportinfo.h"

#include <QList>
#include <QtGlobal>

static_assert(QT_VERSION >= QT_VERSION_CHECK(5, 15, 0) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0),
              "the port record below follows the Qt 5.15 serial port module");

QT_BEGIN_NAMESPACE

// The port record as the serial port module of Qt 5.15 lays it out; only a copy of it is
// made, by the module's own constructor.
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
const QSerialPortInfoPrivate *pendingRecord = nullptr;
}

// Named like one of the module's port enumerators, which QSerialPortInfo befriends: the only
// door to its constructor from a record. The module's own function is internal to its
// library, so this one does not replace it.
QList<QSerialPortInfo> availablePortsByFiltersOfDevices(bool &ok)
{
    ok = pendingRecord != nullptr;
    if (!pendingRecord)
        return {};
    return {QSerialPortInfo(*pendingRecord)};
}

QT_END_NAMESPACE

QSerialPortInfo adapterPortInfo(const QString &portName, quint16 vendorId, quint16 productId)
{
    QSerialPortInfoPrivate record;
    record.portName = portName;
    record.device = QStringLiteral("/dev/") + portName;
    record.description = QStringLiteral("USB Serial");
    record.vendorIdentifier = vendorId;
    record.productIdentifier = productId;
    record.hasVendorIdentifier = true;
    record.hasProductIdentifier = true;

    pendingRecord = &record;
    bool ok = false;
    const QList<QSerialPortInfo> ports = availablePortsByFiltersOfDevices(ok);
    pendingRecord = nullptr;
    return ports.value(0);
}
