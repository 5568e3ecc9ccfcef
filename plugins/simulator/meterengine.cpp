#include "meterengine.h"

#include "dmmdata.h"
#include "meterlog.h"
#include "psychrometrics.h"
#include "simulatedmeter.h"

#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

// Records are sent in small groups, one group per turn of the event loop, so that the
// receiving window stays responsive during a long download. A memory of millions of records
// goes in larger groups, a few thousand turns in all, so that it arrives in minutes rather
// than hours.
constexpr int storeBatchSize = 25;
constexpr int storeBatchCount = 2000;
constexpr int storeBatchPauseMs = 10;

constexpr double pi = 3.14159265358979323846;

DmmValue valueOf(double value)
{
    DmmValue v;
    v.value = Psychrometrics::toTenths(value);
    v.text = QString::number(v.value, 'f', 1);
    return v;
}

QDateTime toMinute(const QDateTime &time)
{
    const QTime t = time.time();
    return QDateTime(time.date(), QTime(t.hour(), t.minute()), time.timeSpec());
}

} // namespace

MeterEngine::MeterEngine(SimulatedMeter *meter)
    : m_meter(meter)
    , m_readingTimer(new QTimer(this))
    , m_storeTimer(new QTimer(this))
    , m_random(QRandomGenerator::global()->generate())
{
    m_storeTimer->setInterval(storeBatchPauseMs);
    connect(m_readingTimer, &QTimer::timeout, this, &MeterEngine::takeReading);
    connect(m_storeTimer, &QTimer::timeout, this, &MeterEngine::sendStoreBatch);
}

QDateTime MeterEngine::meterNow() const
{
    return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs.load());
}

void MeterEngine::openLink(const SimulatorSettings &settings, const DmmParam &meterParam)
{
    if (!m_linkUp.load()) {
        m_settings = settings;
        m_param = meterParam;
        m_readingCount = 0;
        m_readingTimer->start(m_settings.intervalMs);
        m_linkUp.store(true);
        qCDebug(lcMeter) << "simulated meter: link open, a reading every" << m_settings.intervalMs
                         << "ms";
    }
    emit m_meter->opened();
}

void MeterEngine::closeLink()
{
    if (!m_linkUp.load())
        return;
    stopAll();
    qCDebug(lcMeter) << "simulated meter: link closed";
    emit m_meter->closed();
}

void MeterEngine::dropLink()
{
    stopAll();
    qCDebug(lcMeter) << "simulated meter: link lost after" << m_readingCount << "readings";
    emit m_meter->message(QStringLiteral("link lost"));
    emit m_meter->closed();
}

void MeterEngine::stopAll()
{
    m_readingTimer->stop();
    m_storeTimer->stop();
    m_storeTotal = m_storeSent = 0;
    m_linkUp.store(false);
}

void MeterEngine::reportStoreCount()
{
    if (m_linkUp.load())
        emit m_meter->updateStoreCount(m_settings.storeCount);
}

void MeterEngine::startDownload(int intervalSeconds)
{
    if (!m_linkUp.load())
        return;
    m_storeTotal = m_settings.storeCount;
    m_storeSent = 0;
    m_storeBatch = std::max(storeBatchSize, m_storeTotal / storeBatchCount);
    // An interval of 0 (no automatic storing) still spaces the records a minute apart.
    m_storeIntervalSecs = intervalSeconds > 0 ? intervalSeconds : 60;
    m_storeEnd = meterNow();
    if (m_storeTotal == 0) {
        emit m_meter->storeNum(0, 0);
        return;
    }
    m_storeTimer->start();
}

void MeterEngine::sendStoreBatch()
{
    const int end = std::min(m_storeTotal, m_storeSent + m_storeBatch);
    const bool wanted = m_meter->isReceived(&SimulatedMeter::displayStore);
    // Every conversion of a local time consults the time zone anew, and a large memory holds
    // millions of records: each time stamp is worked out in milliseconds since the epoch and
    // made local once. Whole minutes since the epoch are whole local minutes wherever the
    // offset from UTC is a whole number of minutes; anywhere else the local time is cut.
    const qint64 endMs = m_storeEnd.toMSecsSinceEpoch();
    for (int index = m_storeSent + 1; index <= end; ++index) {
        const qint64 ms = endMs - qint64(m_storeTotal - index) * m_storeIntervalSecs * 1000;
        qint64 storedMs = ms - ((ms % 60000) + 60000) % 60000;
        QDateTime stored = QDateTime::fromMSecsSinceEpoch(storedMs, Qt::LocalTime);
        if (stored.time().second() != 0 || stored.time().msec() != 0) {
            stored = toMinute(QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime));
            storedMs = stored.toMSecsSinceEpoch();
        }
        // The stored climate depends on the time stamp only: a daily swing and a little
        // noise, so that downloading twice gives the same records.
        std::mt19937 gen(quint32(storedMs / 60000));
        std::normal_distribution<double> jitter;
        const double hour = stored.time().msecsSinceStartOfDay() / 3600000.0;
        const double swing = std::cos(2 * pi * (hour - 15.0) / 24.0);
        const double temperature = 22.0 + 3.5 * swing + 0.15 * jitter(gen);
        const double humidity = 55.0 - 12.0 * swing + 0.8 * jitter(gen);
        if (wanted) {
            std::unique_ptr<DmmData> record = makeRecord(temperature, humidity);
            record->setTime(stored);
            record->setStoreTime(stored);
            record->setStore(true);
            record->setStoreIndex(index);
            // The receiver owns the record from here on.
            emit m_meter->displayStore(record.release());
        }
    }
    m_storeSent = end;
    emit m_meter->storeNum(m_storeTotal, m_storeSent);
    if (m_storeSent >= m_storeTotal)
        m_storeTimer->stop();
}

void MeterEngine::answerParam(DmmParam *record)
{
    if (m_linkUp.load())
        emit m_meter->updateParam(record);
}

void MeterEngine::confirmWrite(const DmmParam &meterParam)
{
    m_param = meterParam;
    if (m_linkUp.load())
        emit m_meter->ResponseResult(3, 1);
}

double MeterEngine::noise(double sigma)
{
    return std::normal_distribution<double>(0.0, sigma)(m_random);
}

void MeterEngine::takeReading()
{
    // Mean-reverting random walk: the room drifts by about a degree and a few percent.
    m_temperature += 0.02 * (23.0 - m_temperature) + noise(0.04);
    m_humidity += 0.02 * (55.0 - m_humidity) + noise(0.15);
    m_humidity = std::clamp(m_humidity, 15.0, 90.0);

    if (m_meter->isReceived(&SimulatedMeter::display)) {
        std::unique_ptr<DmmData> record = makeRecord(m_temperature, m_humidity);
        record->setTime(QDateTime::currentDateTime());
        qCDebug(lcReading) << "simulated reading" << record->temperature().text
                           << record->humidity().text << record->dewPoint().text
                           << record->wetBulb().text;
        // The receiver owns the record from here on.
        emit m_meter->display(record.release());
    }
    ++m_readingCount;
    if (m_settings.dropAfter > 0 && m_readingCount >= m_settings.dropAfter)
        dropLink();
}

std::unique_ptr<DmmData> MeterEngine::makeRecord(double temperature, double humidity) const
{
    // The calibration offsets shift what the sensors report; the derived quantities follow,
    // and stay in their physical order dew point <= wet bulb <= temperature.
    const double t = temperature + m_param.offsetTemp / 10.0;
    const double rh = std::clamp(humidity + m_param.offsetHumi / 10.0, 0.1, 100.0);
    const double dp = std::min(Psychrometrics::dewPoint(t, rh) + m_param.offsetDP / 10.0, t);
    const double wb = std::clamp(Psychrometrics::wetBulb(t, rh) + m_param.offsetWB / 10.0, dp, t);

    // No parent, and living in the receiver's thread: whoever receives it may delete it or
    // give it a parent there.
    auto record = std::make_unique<DmmData>();
    if (record->thread() != m_meter->thread())
        record->moveToThread(m_meter->thread());
    record->setTemperature(valueOf(t));
    record->setHumidity(valueOf(rh));
    record->setDewPoint(valueOf(dp));
    record->setWetBulb(valueOf(wb));
    return record;
}
