#ifndef DMMDATA_H
#define DMMDATA_H

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>

// The channel numbers of a reading's four quantities, in the order every part of the
// application uses: the plug-in's conversion, the statistics, the table's value columns, the
// charts and the statistics rows.
namespace Channel {
enum Number : int { Temperature = 0, Humidity = 1, DewPoint = 2, WetBulb = 3 };
constexpr int Count = 4;
} // namespace Channel

// One measured quantity. `value` is always in the base unit (degrees Celsius, or percent
// relative humidity); `code` is the plug-in's own attribute and is carried along untouched.
struct DmmValue
{
    int code = 3;
    double value = 0.0;
    QString text;
};

// One reading of the meter. The field list, its order and types are shared with the device
// plug-ins, which are built against this very header.
//
// Ownership: a DmmData emitted by a plug-in (display / displayStore) belongs to the receiver
// from that moment on; the plug-in never touches it again.
//
// Channels: 0 temperature, 1 humidity, 2 dew point, 3 wet bulb.
class DmmData : public QObject
{
    Q_OBJECT
public:
    explicit DmmData(QObject *parent = nullptr);

    QDateTime time() const { return m_time; }
    QDateTime storeTime() const { return m_storeTime; }
    DmmValue temperature() const { return m_temperature; }
    DmmValue humidity() const { return m_humidity; }
    DmmValue dewPoint() const { return m_dewPoint; }
    DmmValue wetBulb() const { return m_wetBulb; }
    bool isStore() const { return m_isStore; }
    int storeIndex() const { return m_storeIndex; }

    // The value of channel 0..3 (any other channel gives a default value).
    DmmValue value(int channel) const;

    void setTime(const QDateTime &time) { m_time = time; }
    void setTemperature(const DmmValue &value) { m_temperature = value; }
    void setHumidity(const DmmValue &value) { m_humidity = value; }
    void setDewPoint(const DmmValue &value) { m_dewPoint = value; }
    void setWetBulb(const DmmValue &value) { m_wetBulb = value; }
    void setStoreIndex(int index) { m_storeIndex = index; }

    // Written by the plug-in only, for records read back from the meter's memory.
    void setStoreTime(const QDateTime &time) { m_storeTime = time; }
    void setStore(bool store) { m_isStore = store; }

private:
    Q_DISABLE_COPY(DmmData)

    QDateTime m_time;
    QDateTime m_storeTime;
    DmmValue m_temperature;
    DmmValue m_humidity;
    DmmValue m_dewPoint;
    DmmValue m_wetBulb;
    bool m_isStore = false;
    int m_storeIndex = 0;
};

Q_DECLARE_METATYPE(DmmValue)
Q_DECLARE_METATYPE(const DmmData *)

// Registers the pointer type of the reading signals for queued delivery, so that a plug-in
// may emit from a worker thread. Safe to call more than once, from either side.
void registerDmmDataMetaTypes();

#endif // DMMDATA_H
