#include "scriptablemeterplugin.h"

#include "virtualport.h"

#include <QThread>

namespace {
constexpr quint16 adapterVendorId = 0x1A86;
constexpr quint16 adapterProductId = 0x7523;

DmmValue valueOf(double value)
{
    DmmValue v;
    v.value = value;
    v.text = QString::number(value, 'f', 1);
    return v;
}
} // namespace

ScriptableMeterPlugin::ScriptableMeterPlugin(QObject *parent)
    : QObject(parent)
    , m_param(defaultParam())
    , m_lastWritten(defaultParam())
{
    // The pointer types of the signals are deliberately not registered here: queued delivery
    // must work on the application's own registration.
    m_downloadTimer.setInterval(0);
    connect(&m_downloadTimer, &QTimer::timeout, this, &ScriptableMeterPlugin::sendNextStoredRecord);
}

DmmParam ScriptableMeterPlugin::defaultParam()
{
    DmmParam p {};
    p.unit = 0;
    p.storageInterval = 60;
    p.highTemp = 700;
    p.highHumi = 999;
    p.highDP = 700;
    p.highWB = 700;
    p.lowTemp = -200;
    p.lowHumi = 0;
    p.lowDP = -782;
    p.lowWB = -216;
    p.autoPower = 30;
    return p;
}

DmmData *ScriptableMeterPlugin::makeReading(double temperature, double humidity, double dewPoint,
                                            double wetBulb)
{
    auto *data = new DmmData; // belongs to the receiver once emitted
    data->setTemperature(valueOf(temperature));
    data->setHumidity(valueOf(humidity));
    data->setDewPoint(valueOf(dewPoint));
    data->setWetBulb(valueOf(wetBulb));
    return data;
}

void ScriptableMeterPlugin::record(const QString &call)
{
    m_calls.append(call);
    if (m_hook)
        m_hook(call);
}

void ScriptableMeterPlugin::setCallHook(std::function<void(const QString &)> hook)
{
    m_hook = std::move(hook);
}

void ScriptableMeterPlugin::reset()
{
    m_downloadTimer.stop();
    m_nextStoredRecord = 0;
    m_calls.clear();
    m_hook = nullptr;
    m_open = false;
    m_openRefused = false;
    m_autoOpened = true;
    m_adapterPresent = true;
    m_answerReadParam = true;
    m_answerWriteParam = true;
    m_answerStoreCount = true;
    m_answerDownload = true;
    m_textsAsSent = false;
    m_storedRecords = 0;
    m_param = defaultParam();
    m_lastWritten = defaultParam();
}

QSerialPortInfo ScriptableMeterPlugin::findPort(quint16 vendorId, quint16 productId)
{
    record(QStringLiteral("findPort %1:%2")
               .arg(vendorId, 4, 16, QLatin1Char('0'))
               .arg(productId, 4, 16, QLatin1Char('0')));
    if (m_adapterPresent && vendorId == adapterVendorId && productId == adapterProductId)
        return virtualAdapterPort(vendorId, productId, QStringLiteral("ttyUSB-scripted"));
    return QSerialPortInfo();
}

bool ScriptableMeterPlugin::open(SerialDeviceInf *device)
{
    if (!device)
        record(QStringLiteral("open(null)"));
    else if (device != static_cast<SerialDeviceInf *>(this))
        record(QStringLiteral("open(foreign)"));
    else
        record(QStringLiteral("open"));
    if (m_openRefused)
        return false;
    m_open = true;
    if (m_autoOpened)
        QTimer::singleShot(0, this, [this] {
            if (m_open)
                emit opened();
        });
    return true;
}

void ScriptableMeterPlugin::close()
{
    record(QStringLiteral("close"));
    m_downloadTimer.stop();
    if (m_open) {
        m_open = false;
        emit closed();
    }
}

void ScriptableMeterPlugin::dropLink()
{
    m_downloadTimer.stop();
    m_open = false;
    emit closed();
}

void ScriptableMeterPlugin::setDateTime(QDateTime dateTime)
{
    record(QStringLiteral("setDateTime ") + dateTime.toString(Qt::ISODate));
}

bool ScriptableMeterPlugin::requestStoreCount()
{
    record(QStringLiteral("requestStoreCount"));
    if (m_answerStoreCount)
        QTimer::singleShot(0, this, [this] { emit updateStoreCount(m_storedRecords); });
    return true;
}

bool ScriptableMeterPlugin::downloadStore()
{
    record(QStringLiteral("downloadStore"));
    if (m_answerDownload && m_storedRecords > 0) {
        m_nextStoredRecord = 1;
        m_downloadTimer.start();
    }
    return true;
}

void ScriptableMeterPlugin::sendNextStoredRecord()
{
    const int i = m_nextStoredRecord;
    const int total = m_storedRecords;
    if (i < 1 || i > total) {
        m_downloadTimer.stop();
        m_nextStoredRecord = 0;
        return;
    }
    m_nextStoredRecord = i + 1;
    if (m_nextStoredRecord > total) {
        m_downloadTimer.stop();
        m_nextStoredRecord = 0;
    }
    const QDateTime base(QDate(2024, 3, 5), QTime(14, 0));
    emitDisplayStore(i, base.addSecs(60 * i), 20.0 + (i % 10), 50.0 + (i % 5), 10.0, 15.0);
    emit storeNum(total, i);
}

DmmValue ScriptableMeterPlugin::convertValue(const DmmValue &value, int channel, int unit)
{
    DmmValue converted = value;
    if (unit == 1 && channel != 1)
        converted.value = value.value * 1.8 + 32.0;
    if (!m_textsAsSent)
        converted.text = QString::number(converted.value, 'f', 1);
    return converted;
}

DmmValue ScriptableMeterPlugin::makeValue(double value, int channel, int unit)
{
    DmmValue made;
    made.value = value;
    made.text = convertValue(made, channel, unit).text;
    return made;
}

bool ScriptableMeterPlugin::writeParam(DmmParam *param)
{
    record(QStringLiteral("writeParam"));
    if (param) {
        m_lastWritten = *param;
        m_param = *param;
    }
    if (m_answerWriteParam)
        QTimer::singleShot(0, this, [this] { emit ResponseResult(3, 1); });
    return true;
}

bool ScriptableMeterPlugin::readParam()
{
    record(QStringLiteral("readParam"));
    if (m_answerReadParam)
        QTimer::singleShot(0, this, [this] { emit updateParam(&m_param); });
    return true;
}

void ScriptableMeterPlugin::emitDisplay(double temperature, double humidity, double dewPoint,
                                        double wetBulb, const QDateTime &time)
{
    DmmData *data = makeReading(temperature, humidity, dewPoint, wetBulb);
    data->setTime(time.isValid() ? time : QDateTime::currentDateTime());
    emit display(data);
}

void ScriptableMeterPlugin::emitDisplayValues(const QList<DmmValue> &values)
{
    auto *data = new DmmData;
    data->setTime(QDateTime::currentDateTime());
    data->setTemperature(values.value(Channel::Temperature));
    data->setHumidity(values.value(Channel::Humidity));
    data->setDewPoint(values.value(Channel::DewPoint));
    data->setWetBulb(values.value(Channel::WetBulb));
    emit display(data);
}

void ScriptableMeterPlugin::emitDisplayFromThread(double temperature, double humidity,
                                                  double dewPoint, double wetBulb)
{
    QThread *worker = QThread::create([=] {
        DmmData *data = makeReading(temperature, humidity, dewPoint, wetBulb);
        data->setTime(QDateTime::currentDateTime());
        // The receiver deletes it on its own thread.
        data->moveToThread(thread());
        emit display(data);
    });
    worker->start();
    worker->wait();
    delete worker;
}

void ScriptableMeterPlugin::emitDisplayStore(int storeIndex, const QDateTime &storeTime,
                                             double temperature, double humidity, double dewPoint,
                                             double wetBulb)
{
    DmmData *data = makeReading(temperature, humidity, dewPoint, wetBulb);
    data->setStore(true);
    data->setStoreIndex(storeIndex);
    data->setStoreTime(storeTime);
    // The moment of the transfer, deliberately unlike the stored time stamp.
    data->setTime(QDateTime::currentDateTime());
    emit displayStore(data);
}
