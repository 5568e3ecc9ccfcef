#ifndef VIRTUALPORT_H
#define VIRTUALPORT_H

#include <QSerialPortInfo>
#include <QString>

// The description of a USB serial adapter that is not attached ("ttySIM0" unless named), with
// the given ids. The scriptable test plug-in uses it too.
//
// QSerialPortInfo has no public way to describe a port the system does not list; this goes
// through the constructor the serial port module keeps for its own port enumerators, with a
// record laid out as Qt 5.15 lays it out. It is used only when METER_SIM_PORT=virtual asks for
// it, on machines whose system lists no serial port at all.
QSerialPortInfo virtualAdapterPort(quint16 vendorId, quint16 productId,
                                   const QString &portName = QStringLiteral("ttySIM0"));

#endif // VIRTUALPORT_H
