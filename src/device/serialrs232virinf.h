#ifndef SERIALRS232VIRINF_H
#define SERIALRS232VIRINF_H

#include <QSerialPortInfo>
#include <QtPlugin>

// Finds the meter's USB serial adapter.
//
// The declaration order is the virtual-table order shared with the plug-ins.
class SerialRS232VirInf
{
public:
    // Position 0: the port of the USB adapter with this vendor and product id; a null
    // QSerialPortInfo when no such adapter is attached.
    virtual QSerialPortInfo findPort(quint16 vendorId, quint16 productId) = 0;

protected:
    ~SerialRS232VirInf() = default;
};

#define SerialRS232VirInf_iid "com.zr.SerialRS232VirInf"
Q_DECLARE_INTERFACE(SerialRS232VirInf, SerialRS232VirInf_iid)

#endif // SERIALRS232VIRINF_H
