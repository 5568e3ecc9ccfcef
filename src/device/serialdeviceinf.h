#ifndef SERIALDEVICEINF_H
#define SERIALDEVICEINF_H

#include <QtPlugin>

class QObject;

// The serial device a meter plug-in talks through. The application only hands this pointer
// to IDmm::open and listens to its object's signal; the first three positions are used
// between plug-ins only and are reserved here.
//
// Signal of object():
//   usbRefreshed()      the set of attached USB serial devices changed
//
// The declaration order is the virtual-table order shared with the plug-ins: never reorder,
// insert or remove an operation.
class SerialDeviceInf
{
public:
    virtual void reservedDevice0() = 0; // position 0, reserved
    virtual void reservedDevice1() = 0; // position 1, reserved
    virtual void reservedDevice2() = 0; // position 2, reserved
    virtual QObject *object() = 0; // position 3: emits usbRefreshed()

protected:
    // Plug-in objects belong to their plug-in; nobody deletes them through this interface.
    ~SerialDeviceInf() = default;
};

#define SerialDeviceInf_iid "com.zr.SerialDeviceInf"
Q_DECLARE_INTERFACE(SerialDeviceInf, SerialDeviceInf_iid)

#endif // SERIALDEVICEINF_H
