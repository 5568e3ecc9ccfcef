#ifndef METERENGINE_H
#define METERENGINE_H

#include "dmmparam.h"
#include "simulatorsettings.h"

#include <QDateTime>
#include <QObject>
#include <atomic>
#include <memory>
#include <random>

class DmmData;
class QTimer;
class SimulatedMeter;

// The simulated instrument behind the plug-in's root object: the link, the climate it
// measures, its memory and its clock. It lives in the thread whose event loop drives its
// timers (the GUI thread, or the plug-in's worker thread) and emits the root object's signals
// from there, so that every reading and answer really originates in that thread. The root
// object calls the slots below through queued invocations only.
class MeterEngine : public QObject
{
    Q_OBJECT
public:
    // No parent: the engine may be moved to a worker thread; its owner deletes it.
    explicit MeterEngine(SimulatedMeter *meter);

    // Safe from any thread.
    bool isLinkUp() const { return m_linkUp.load(); }
    void setClockOffset(qint64 msecs) { m_clockOffsetMs.store(msecs); }
    QDateTime meterNow() const;

    // The link and the meter's commands; run in the engine's thread.
    void openLink(const SimulatorSettings &settings, const DmmParam &meterParam);
    void closeLink();
    void reportStoreCount();
    void startDownload(int intervalSeconds);
    void answerParam(DmmParam *record);
    void confirmWrite(const DmmParam &meterParam);

private:
    void stopAll();
    void takeReading();
    void sendStoreBatch();
    void dropLink();
    std::unique_ptr<DmmData> makeRecord(double temperature, double humidity) const;
    double noise(double sigma);

    SimulatedMeter *m_meter;
    QTimer *m_readingTimer;
    QTimer *m_storeTimer;
    SimulatorSettings m_settings;
    DmmParam m_param {}; // the meter's settings as far as they shape its readings
    std::atomic<bool> m_linkUp {false};
    std::atomic<qint64> m_clockOffsetMs {0};
    int m_readingCount = 0;

    // the air the meter measures: a slow random wander around a room climate
    double m_temperature = 23.0;
    double m_humidity = 55.0;
    std::mt19937 m_random;

    // a download in progress
    int m_storeTotal = 0;
    int m_storeSent = 0;
    int m_storeBatch = 0; // records per group
    int m_storeIntervalSecs = 60;
    QDateTime m_storeEnd;
};

#endif // METERENGINE_H
