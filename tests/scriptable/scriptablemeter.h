#ifndef SCRIPTABLEMETER_H
#define SCRIPTABLEMETER_H

#include "dmmdata.h"
#include "dmmparam.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtPlugin>
#include <functional>

// The script side of the test meter plug-in that sits in the test binaries' Lib/. The
// plug-in implements the four device interfaces; a test reaches this control interface with
//
//     auto *meter = qobject_cast<ScriptableMeter *>(window->myDmm()->object());
//
// (or with scriptableMeter() of windowfixture.h, also before any window exists) and
// drives the "meter" from it: make it emit, refuse, drop the link, answer or stay silent.
//
// Call log: every device operation the application calls is recorded, in order, as one of
//   "open", "close", "readParam", "writeParam", "setDateTime <ISO date-time>",
//   "requestStoreCount", "downloadStore", "findPort <vid>:<pid>" (lower-case hex)
// ("open(null)" / "open(foreign)" when open() got no or another serial-device pointer).
// isOpen, convertValue, makeValue and object are not recorded.
//
// Answers (all on after reset(), each arrives at the next turn of the event loop, as from a
// real serial line):
//   open()              true and, with auto-open, opened(); false when refused
//   close()             closed() at once when the link was open
//   readParam()         updateParam(param())
//   writeParam(p)       copies *p into param() and lastWrittenParam(), then
//                       ResponseResult(3, 1)
//   requestStoreCount() updateStoreCount(storedRecordCount())
//   downloadStore()     per record i = 1..n: displayStore(record i), storeNum(n, i), one
//                       record per turn of the event loop
// Stored record i: storeIndex i, storeTime 2024-03-05 14:00 plus i minutes, temperature
// 20.0 + (i % 10), humidity 50.0 + (i % 5), dew point 10.0, wet bulb 15.0.
//
// Conversion works like the simulated meter: with unit 1 the channels 0, 2 and 3 become
// Fahrenheit (x 1.8 + 32), humidity never changes; texts have one decimal. With texts as sent
// the conversion hands back each value's own text (what a careless plug-in may do).
class ScriptableMeter
{
public:
    // Back to the defaults above: link closed, adapter present, every answer on, no stored
    // records, the default parameter record, empty call log, no hook.
    virtual void reset() = 0;

    virtual QStringList calls() const = 0;
    virtual void clearCalls() = 0;
    // Runs inside every recorded call, right after it is logged (for example to look at the
    // application's state at the moment it closes the link).
    virtual void setCallHook(std::function<void(const QString &call)> hook) = 0;

    // Link.
    virtual void setOpenRefused(bool refused) = 0;
    virtual void setAutoOpened(bool on) = 0; // open() is followed by opened()
    virtual bool linkOpen() const = 0;
    virtual void dropLink() = 0; // the link is lost: isOpen() false, closed() emitted
    virtual void setAdapterPresent(bool present) = 0; // findPort finds the USB adapter

    // Answers.
    virtual void setAnswerReadParam(bool on) = 0;
    virtual void setAnswerWriteParam(bool on) = 0;
    virtual void setAnswerStoreCount(bool on) = 0;
    virtual void setAnswerDownload(bool on) = 0;
    virtual void setStoredRecordCount(int count) = 0;
    virtual int storedRecordCount() const = 0;
    virtual void setTextsAsSent(bool on) = 0; // off after reset()
    virtual DmmParam *param() = 0; // the plug-in's own record, passed by updateParam
    virtual DmmParam lastWrittenParam() const = 0;

    // The plug-in object, sender of every device signal.
    virtual QObject *object() = 0;

    // Signals on demand. Readings are new DmmData records whose texts have one decimal; a
    // null time means "now".
    virtual void emitOpened() = 0;
    virtual void emitClosed() = 0;
    virtual void emitMessage(const QString &text) = 0;
    virtual void emitDisplay(double temperature, double humidity, double dewPoint, double wetBulb,
                             const QDateTime &time = QDateTime())
        = 0;
    // A reading with exactly these values and texts (channels in order; missing ones are 0).
    virtual void emitDisplayValues(const QList<DmmValue> &values) = 0;
    // The same reading, emitted from a worker thread (queued to the receiver). Returns when
    // the emission has happened; the slot runs at the next turn of the receiver's loop.
    virtual void emitDisplayFromThread(double temperature, double humidity, double dewPoint,
                                       double wetBulb)
        = 0;
    virtual void emitDisplayStore(int storeIndex, const QDateTime &storeTime, double temperature,
                                  double humidity, double dewPoint, double wetBulb)
        = 0;
    virtual void emitStoreNum(int total, int current) = 0;
    virtual void emitUpdateStoreCount(int count) = 0;
    virtual void emitUpdateParam() = 0; // with param()
    virtual void emitResponseResult(int a, int b) = 0;
    virtual void emitUsbRefreshed() = 0;

protected:
    ~ScriptableMeter() = default;
};

#define ScriptableMeter_iid "org.htmeter.tests.ScriptableMeter"
Q_DECLARE_INTERFACE(ScriptableMeter, ScriptableMeter_iid)

#endif // SCRIPTABLEMETER_H
