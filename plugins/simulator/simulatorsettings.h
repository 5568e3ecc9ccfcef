#ifndef SIMULATORSETTINGS_H
#define SIMULATORSETTINGS_H

#include <QString>

// Behaviour of the simulated meter, taken from METER_SIM_* environment variables so that a
// test or a demo can change it without rebuilding. The link settings are read again each time
// the link is opened; the thread mode and the port polling are fixed when the plug-in loads.
struct SimulatorSettings
{
    int intervalMs = 500; // METER_SIM_INTERVAL_MS: time between two live readings
    int storeCount = 250; // METER_SIM_STORE_COUNT: records held in the meter's memory
    bool refuseOpen = false; // METER_SIM_REFUSE_OPEN: open() answers false
    int dropAfter = 0; // METER_SIM_DROP_AFTER: the link is lost after this many readings
    bool answerParam = true; // METER_SIM_NO_PARAM: readParam() is never answered
    bool confirmWrite = true; // METER_SIM_NO_WRITE_ACK: writeParam() is lost, never confirmed
    bool threaded = false; // METER_SIM_THREAD: signals come from a worker thread
    int pollMs = 2000; // METER_SIM_POLL_MS: period of the serial-port watch

    static SimulatorSettings fromEnvironment();

    // METER_SIM_PORT: the listed port that stands in for the adapter, "none" for no adapter,
    // "virtual" for a described adapter on a machine without serial ports; read at every
    // look-up so that a demo can "unplug" the adapter at run time.
    static QString portOverride();
};

#endif // SIMULATORSETTINGS_H
