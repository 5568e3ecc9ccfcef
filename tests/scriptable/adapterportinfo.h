#ifndef ADAPTERPORTINFO_H
#define ADAPTERPORTINFO_H

#include <QSerialPortInfo>
#include <QString>

// A non-null port description of a USB serial adapter that is not really attached.
// QSerialPortInfo offers no public way to describe a port the system does not list, so this
// goes through the toolkit's own private constructor; it is meant for test plug-ins only and
// tied to the Qt 5.15 layout of the port record.
QSerialPortInfo adapterPortInfo(const QString &portName, quint16 vendorId, quint16 productId);

#endif // ADAPTERPORTINFO_H
