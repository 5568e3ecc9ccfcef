#ifndef IDMM_H
#define IDMM_H

#include <QtPlugin>

class QObject;
class SerialDeviceInf;

// The meter link.
//
// Signals of object(), with their normalised signatures (connect by these strings, with the
// automatic connection type; a plug-in may emit from a worker thread):
//   opened()                        the link is open, after open() returned true
//   closed()                        the link is closed, on request or because it was lost
//   message(QString)                free text; the application ignores it
//   display(const DmmData *)        one live reading, for every reading while the link is open
//   displayStore(const DmmData *)   one record from the meter's memory, during a download
//   storeNum(int,int)               download progress: total, current
//   updateStoreCount(int)           the number of stored records, answering requestStoreCount()
// Every DmmData passed belongs to the receiver.
//
// The declaration order is the virtual-table order shared with the plug-ins.
class IDmm
{
public:
    virtual QObject *object() = 0; // position 0
    // Position 1: false when the link cannot be opened; true is followed by opened().
    virtual bool open(SerialDeviceInf *device) = 0;
    virtual void close() = 0; // position 2: closed() follows
    virtual bool isOpen() = 0; // position 3: true while the link is open

protected:
    ~IDmm() = default;
};

#define IDmm_iid "com.zr.IDmm"
Q_DECLARE_INTERFACE(IDmm, IDmm_iid)

#endif // IDMM_H
