#ifndef IMYDMM_H
#define IMYDMM_H

#include "dmmdata.h"
#include "dmmparam.h"

#include <QDateTime>
#include <QtPlugin>

class QObject;

// The meter's commands: clock, stored records, parameters and value conversion.
//
// Signals of object(), with their normalised signatures:
//   updateParam(DmmParam *)     the plug-in's parameter record was read from the meter; the
//                               record stays the plug-in's and is edited in place
//   ResponseResult(int,int)     a command's outcome; (3, 1) means the parameters were written
//
// Channels: 0 temperature, 1 humidity, 2 dew point, 3 wet bulb. Unit codes: 1 Fahrenheit,
// anything else Celsius.
//
// The declaration order is the virtual-table order shared with the plug-ins: the reserved
// positions must be filled by every plug-in so that the later operations keep their places.
class IMyDmm
{
public:
    virtual void setDateTime(QDateTime dateTime) = 0; // position 0: sets the meter's clock
    virtual bool requestStoreCount() = 0; // position 1: updateStoreCount(int) answers
    // Position 2: displayStore(const DmmData *) per record and storeNum(int,int) follow.
    virtual bool downloadStore() = 0;
    virtual void reservedCommand3() = 0; // position 3, reserved
    // Position 4: the value for display in the given unit; humidity is never converted.
    virtual DmmValue convertValue(const DmmValue &value, int channel, int unit) = 0;
    // Position 5: a complete value from a number in the base unit.
    virtual DmmValue makeValue(double value, int channel, int unit) = 0;
    virtual void reservedCommand6() = 0; // position 6, reserved
    // Position 7: sends the record to the meter; ResponseResult(3, 1) reports success.
    virtual bool writeParam(DmmParam *param) = 0;
    virtual bool readParam() = 0; // position 8: updateParam(DmmParam *) answers
    virtual QObject *object() = 0; // position 9: emits updateParam and ResponseResult

protected:
    ~IMyDmm() = default;
};

#define IMyDmm_iid "com.zr.IMyDmm"
Q_DECLARE_INTERFACE(IMyDmm, IMyDmm_iid)

#endif // IMYDMM_H
