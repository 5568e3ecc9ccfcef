#include "dmmdata.h"
#include "dmmparam.h"
#include "idmm.h"
#include "imydmm.h"
#include "localzone.h"
#include "pluginloader.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QSerialPortInfo>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <ctime>
#include <functional>
#include <optional>

// The simulated meter as the application meets it: loaded from the runtime folder's Lib/,
// signals connected by their string signatures with the automatic connection type. The same
// suite runs twice: with the plug-in emitting on the GUI thread and from its worker thread
// (METER_SIM_THREAD, set by CTest).

namespace {

struct Reading
{
    QDateTime time;
    QDateTime storeTime;
    DmmValue values[4];
    bool isStore = false;
    int storeIndex = 0;
    int tick = 0; // the receiver's event-loop turn when it arrived
};

double saturationPressure(double t)
{
    // Buck (1981), over water, hPa: a formulation independent of the plug-in's.
    return 6.1121 * std::exp((18.678 - t / 234.5) * (t / (257.14 + t)));
}

double solveIncreasing(const std::function<double(double)> &f, double lo, double hi)
{
    for (int i = 0; i < 80; ++i) {
        const double mid = (lo + hi) / 2;
        (f(mid) < 0 ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

double referenceDewPoint(double t, double rh)
{
    const double e = rh / 100.0 * saturationPressure(t);
    return solveIncreasing([e](double d) { return saturationPressure(d) - e; }, -90.0, t);
}

double referenceWetBulb(double t, double rh)
{
    // The psychrometer equation at sea-level pressure.
    const double e = rh / 100.0 * saturationPressure(t);
    return solveIncreasing(
        [e, t](double w) { return saturationPressure(w) - 6.6e-4 * 1013.25 * (t - w) - e; }, -90.0,
        t);
}

// Empty when the reading is physically consistent and shown as the meter shows it.
QString physicalFault(const Reading &r)
{
    static const char *const names[] = {"temperature", "humidity", "dew point", "wet bulb"};
    for (int channel = 0; channel < 4; ++channel) {
        const DmmValue &v = r.values[channel];
        if (v.text != QString::number(v.value, 'f', 1)
            || std::abs(v.value * 10 - std::round(v.value * 10)) > 1e-6)
            return QStringLiteral("%1 %2 shown as \"%3\"")
                .arg(names[channel])
                .arg(v.value)
                .arg(v.text);
    }
    const double t = r.values[0].value;
    const double rh = r.values[1].value;
    const double dp = r.values[2].value;
    const double wb = r.values[3].value;
    const QString at = QStringLiteral(" at %1 degC, %2 %RH").arg(t).arg(rh);
    if (!(rh > 0.0 && rh <= 100.0))
        return QStringLiteral("humidity out of range") + at;
    if (!(dp <= wb && wb <= t))
        return QStringLiteral("order dew point %1 <= wet bulb %2 broken").arg(dp).arg(wb) + at;
    if (std::abs(dp - referenceDewPoint(t, rh)) > 0.25)
        return QStringLiteral("dew point %1, expected %2").arg(dp).arg(referenceDewPoint(t, rh))
            + at;
    if (std::abs(wb - referenceWetBulb(t, rh)) > 1.0)
        return QStringLiteral("wet bulb %1, expected %2").arg(wb).arg(referenceWetBulb(t, rh)) + at;
    return QString();
}

// Generous: the suites share a busy machine, and run under the sanitizers too.
constexpr int patience = 30000;

QDateTime toMinute(const QDateTime &time)
{
    return QDateTime(time.date(), QTime(time.time().hour(), time.time().minute()));
}

DmmParam plainParam(int storageInterval = 60)
{
    DmmParam p {};
    p.storageInterval = quint16(storageInterval);
    p.highTemp = 350;
    p.lowTemp = 50;
    p.highHumi = 800;
    p.lowHumi = 200;
    p.highDP = 300;
    p.lowDP = -100;
    p.highWB = 300;
    p.lowWB = -50;
    p.autoPower = 10;
    return p;
}

} // namespace

// The application's side of the link: owns every record it receives and deletes it.
class MeterProbe : public QObject
{
    Q_OBJECT
public:
    QStringList events;
    QVector<Reading> readings;
    QVector<Reading> stored;
    QVector<QPair<int, int>> storeNums;
    QVector<int> storeCounts;
    QVector<DmmParam *> params;
    QVector<QPair<int, int>> responses;
    int usbChanges = 0;
    int tick = 0;
    int deliveredOffGuiThread = 0;
    int recordsOfOtherThreads = 0; // the receiver could not parent them
    std::atomic<int> emittedOnGuiThread {0};
    std::atomic<int> emittedElsewhere {0};

public slots:
    void onOpened() { note(QStringLiteral("opened")); }
    void onClosed() { note(QStringLiteral("closed")); }
    void onDisplay(const DmmData *data)
    {
        note(QStringLiteral("display"));
        readings.append(take(data));
    }
    void onDisplayStore(const DmmData *data)
    {
        note(QStringLiteral("displayStore"));
        stored.append(take(data));
    }
    void onStoreNum(int total, int current)
    {
        note(QStringLiteral("storeNum"));
        storeNums.append({total, current});
    }
    void onStoreCount(int count)
    {
        note(QStringLiteral("updateStoreCount"));
        storeCounts.append(count);
    }
    void onParam(DmmParam *param)
    {
        note(QStringLiteral("updateParam"));
        params.append(param);
    }
    void onResponse(int command, int result)
    {
        note(QStringLiteral("ResponseResult"));
        responses.append({command, result});
    }
    void onUsb()
    {
        note(QStringLiteral("usbRefreshed"));
        ++usbChanges;
    }
    // Connected directly: runs in the thread that emits.
    void noteEmission()
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++emittedOnGuiThread;
        else
            ++emittedElsewhere;
    }

private:
    void note(const QString &event)
    {
        if (QThread::currentThread() != thread())
            ++deliveredOffGuiThread;
        events.append(event);
    }
    Reading take(const DmmData *data)
    {
        if (data->thread() != thread() || data->parent())
            ++recordsOfOtherThreads;
        Reading r;
        r.time = data->time();
        r.storeTime = data->storeTime();
        for (int channel = 0; channel < 4; ++channel)
            r.values[channel] = data->value(channel);
        r.isStore = data->isStore();
        r.storeIndex = data->storeIndex();
        r.tick = tick;
        delete data;
        return r;
    }
};

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void defaultParameters(); // first: before any test writes the meter's parameters
    void openAndClose();
    void refusedOpen();
    void linkLost_data();
    void linkLost();
    void readingsArePhysical();
    void download_data();
    void download();
    void writeAndReadBack();
    void silentMeter_data();
    void silentMeter();
    void memorySize_data();
    void memorySize();
    void convertValue_data();
    void convertValue();
    void makeValue_data();
    void makeValue();
    void findPort();

private:
    void attach(MeterProbe &probe);
    bool openLink(MeterProbe &probe);
    bool closeLink(MeterProbe &probe);
    bool writeParams(MeterProbe &probe, DmmParam param);
    void verifyThreads(const MeterProbe &probe);

    DevicePlugins m_plugins;
    QObject *m_meter = nullptr;
    bool m_threaded = false;
};

void TestSimulator::initTestCase()
{
    m_threaded = qEnvironmentVariableIntValue("METER_SIM_THREAD") != 0;
    const QString libDir = QFileInfo(QStringLiteral(SIMULATOR_PLUGIN)).absolutePath();
    QCOMPARE(QFileInfo(libDir).fileName(), QStringLiteral("Lib"));
    QVERIFY(PluginLoader::load(QFileInfo(libDir).absolutePath(), m_plugins));
    m_meter = m_plugins.dmm->object();
    // one object answers everything
    QCOMPARE(m_plugins.myDmm->object(), m_meter);
    QCOMPARE(m_plugins.serialDevice->object(), m_meter);
    QCOMPARE(dynamic_cast<QObject *>(m_plugins.portFinder), m_meter);
}

void TestSimulator::init()
{
    qputenv("METER_SIM_INTERVAL_MS", "5");
    for (const char *name : {"METER_SIM_REFUSE_OPEN", "METER_SIM_DROP_AFTER", "METER_SIM_NO_PARAM",
                             "METER_SIM_NO_WRITE_ACK", "METER_SIM_STORE_COUNT", "METER_SIM_PORT"})
        qunsetenv(name);
}

void TestSimulator::cleanup()
{
    if (m_plugins.dmm->isOpen()) {
        MeterProbe probe;
        attach(probe);
        closeLink(probe);
    }
    m_plugins.myDmm->setDateTime(QDateTime::currentDateTime());
}

void TestSimulator::attach(MeterProbe &probe)
{
    const char *const meterSignals[][2] = {
        {SIGNAL(opened()), SLOT(onOpened())},
        {SIGNAL(closed()), SLOT(onClosed())},
        {SIGNAL(display(const DmmData *)), SLOT(onDisplay(const DmmData *))},
        {SIGNAL(displayStore(const DmmData *)), SLOT(onDisplayStore(const DmmData *))},
        {SIGNAL(storeNum(int, int)), SLOT(onStoreNum(int, int))},
        {SIGNAL(updateStoreCount(int)), SLOT(onStoreCount(int))},
        {SIGNAL(updateParam(DmmParam *)), SLOT(onParam(DmmParam *))},
        {SIGNAL(ResponseResult(int, int)), SLOT(onResponse(int, int))},
        {SIGNAL(usbRefreshed()), SLOT(onUsb())},
    };
    for (const auto &pair : meterSignals) {
        QVERIFY2(connect(m_meter, pair[0], &probe, pair[1]), pair[0]);
        QVERIFY(connect(m_meter, pair[0], &probe, SLOT(noteEmission()), Qt::DirectConnection));
    }
    QVERIFY(connect(m_meter, SIGNAL(message(QString)), &probe, SLOT(noteEmission()),
                    Qt::DirectConnection));
}

bool TestSimulator::openLink(MeterProbe &probe)
{
    if (!m_plugins.dmm->open(m_plugins.serialDevice))
        return false;
    return QTest::qWaitFor([&] { return probe.events.contains(QLatin1String("opened")); }, patience)
        && m_plugins.dmm->isOpen();
}

bool TestSimulator::closeLink(MeterProbe &probe)
{
    m_plugins.dmm->close();
    return QTest::qWaitFor([&] { return probe.events.contains(QLatin1String("closed")); }, patience)
        && !m_plugins.dmm->isOpen();
}

bool TestSimulator::writeParams(MeterProbe &probe, DmmParam param)
{
    const int before = probe.responses.size();
    if (!m_plugins.myDmm->writeParam(&param))
        return false;
    return QTest::qWaitFor([&] { return probe.responses.size() > before; }, patience)
        && probe.responses.last() == qMakePair(3, 1);
}

void TestSimulator::verifyThreads(const MeterProbe &probe)
{
    QCOMPARE(probe.deliveredOffGuiThread, 0);
    QCOMPARE(probe.recordsOfOtherThreads, 0);
    if (m_threaded) {
        QCOMPARE(probe.emittedOnGuiThread.load(), 0);
        QVERIFY(probe.emittedElsewhere.load() > 0);
    } else {
        QCOMPARE(probe.emittedElsewhere.load(), 0);
    }
}

void TestSimulator::defaultParameters()
{
    MeterProbe probe;
    attach(probe);
    QVERIFY(openLink(probe));
    QVERIFY(m_plugins.myDmm->readParam());
    QTRY_COMPARE_WITH_TIMEOUT(probe.params.size(), 1, patience);
    const DmmParam *p = probe.params.first();
    QVERIFY(p);
    // Fields of the packed record are compared by value: a reference to one may be misaligned.
    QCOMPARE(int(p->unit), 0);
    QCOMPARE(int(p->storageInterval), 60);
    QCOMPARE(int(p->highTemp), 350);
    QCOMPARE(int(p->lowTemp), 50);
    QCOMPARE(int(p->highHumi), 800);
    QCOMPARE(int(p->lowHumi), 200);
    QVERIFY(p->lowDP >= -782 && p->lowDP < p->highDP && p->highDP <= 700);
    QVERIFY(p->lowWB >= -216 && p->lowWB < p->highWB && p->highWB <= 700);
    QCOMPARE(int(p->offsetTemp), 0);
    QCOMPARE(int(p->offsetHumi), 0);
    QCOMPARE(int(p->offsetDP), 0);
    QCOMPARE(int(p->offsetWB), 0);
    QCOMPARE(int(p->autoPower), 10);
    QVERIFY(closeLink(probe));
    verifyThreads(probe);
}

void TestSimulator::openAndClose()
{
    MeterProbe probe;
    attach(probe);
    // Nothing is answered while the link is down.
    QVERIFY(!m_plugins.dmm->isOpen());
    QVERIFY(!m_plugins.myDmm->readParam());
    QVERIFY(!m_plugins.myDmm->requestStoreCount());
    QVERIFY(!m_plugins.myDmm->downloadStore());
    DmmParam param = plainParam();
    QVERIFY(!m_plugins.myDmm->writeParam(&param));

    QVERIFY(m_plugins.dmm->open(m_plugins.serialDevice));
    QVERIFY(probe.events.isEmpty()); // opened() comes from the event loop
    QTRY_VERIFY_WITH_TIMEOUT(probe.events.contains(QLatin1String("opened")), patience);
    QVERIFY(m_plugins.dmm->isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(probe.readings.size() >= 3, patience);

    m_plugins.dmm->close();
    QTRY_VERIFY_WITH_TIMEOUT(probe.events.contains(QLatin1String("closed")), patience);
    QVERIFY(!m_plugins.dmm->isOpen());
    const int received = probe.events.size();
    QTest::qWait(50);
    QCOMPARE(probe.events.size(), received); // nothing after closed()

    QCOMPARE(probe.events.first(), QStringLiteral("opened"));
    QCOMPARE(probe.events.last(), QStringLiteral("closed"));
    QCOMPARE(probe.events.count(QStringLiteral("display")), received - 2);

    // Closing a closed link says nothing more.
    m_plugins.dmm->close();
    QTest::qWait(20);
    QCOMPARE(probe.events.size(), received);

    // and it opens again
    probe.events.clear();
    QVERIFY(openLink(probe));
    QTRY_VERIFY_WITH_TIMEOUT(probe.events.count(QStringLiteral("display")) >= 2, patience);
    QVERIFY(closeLink(probe));
    verifyThreads(probe);
}

void TestSimulator::refusedOpen()
{
    qputenv("METER_SIM_REFUSE_OPEN", "1");
    MeterProbe probe;
    attach(probe);
    QVERIFY(!m_plugins.dmm->open(m_plugins.serialDevice));
    QTest::qWait(30);
    QVERIFY(probe.events.isEmpty());
    QVERIFY(!m_plugins.dmm->isOpen());

    qunsetenv("METER_SIM_REFUSE_OPEN");
    QVERIFY(openLink(probe));
    QVERIFY(closeLink(probe));
}

void TestSimulator::linkLost_data()
{
    QTest::addColumn<int>("after");
    QTest::newRow("after the first reading") << 1;
    QTest::newRow("after four readings") << 4;
}

void TestSimulator::linkLost()
{
    QFETCH(int, after);
    qputenv("METER_SIM_DROP_AFTER", QByteArray::number(after));
    MeterProbe probe;
    attach(probe);
    QVERIFY(m_plugins.dmm->open(m_plugins.serialDevice));
    QTRY_VERIFY_WITH_TIMEOUT(probe.events.contains(QLatin1String("closed")), patience);
    QVERIFY(!m_plugins.dmm->isOpen());
    QTest::qWait(30);

    QStringList expected {QStringLiteral("opened")};
    for (int i = 0; i < after; ++i)
        expected << QStringLiteral("display");
    expected << QStringLiteral("closed");
    QCOMPARE(probe.events, expected);
    verifyThreads(probe);
}

void TestSimulator::readingsArePhysical()
{
    qputenv("METER_SIM_INTERVAL_MS", "2");
    MeterProbe probe;
    attach(probe);
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(openLink(probe));
    QVERIFY(writeParams(probe, plainParam()));
    QTRY_VERIFY_WITH_TIMEOUT(probe.readings.size() >= 300, 2 * patience);
    QVERIFY(closeLink(probe));
    const QDateTime after = QDateTime::currentDateTime();

    QSet<double> temperatures;
    for (int i = 0; i < probe.readings.size(); ++i) {
        const Reading &r = probe.readings[i];
        const QString fault = physicalFault(r);
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("reading %1: %2").arg(i).arg(fault)));
        QVERIFY(!r.isStore);
        QCOMPARE(r.storeIndex, 0);
        QVERIFY(r.time >= before && r.time <= after);
        temperatures.insert(r.values[0].value);
        if (i > 0) {
            const Reading &previous = probe.readings[i - 1];
            QVERIFY(r.time >= previous.time);
            // the air changes slowly
            QVERIFY(std::abs(r.values[0].value - previous.values[0].value) <= 0.3);
            QVERIFY(std::abs(r.values[1].value - previous.values[1].value) <= 1.5);
        }
    }
    QVERIFY2(temperatures.size() > 1, "the temperature never moves");
    verifyThreads(probe);
}

void TestSimulator::download_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("interval"); // storage interval written to the meter, seconds
    QTest::addColumn<int>("spacing"); // expected seconds between two records
    QTest::addColumn<QByteArray>("zone"); // TZ of the download; empty: the machine's own
    QTest::addColumn<QDate>("day"); // of the meter's clock

    const QDate day(2021, 3, 4);
    QTest::newRow("empty memory") << 0 << 60 << 60 << QByteArray() << day;
    QTest::newRow("one record") << 1 << 60 << 60 << QByteArray() << day;
    QTest::newRow("250 records a minute apart") << 250 << 60 << 60 << QByteArray() << day;
    QTest::newRow("250 records an hour apart") << 250 << 3600 << 3600 << QByteArray() << day;
    QTest::newRow("every 10 s, shown to the minute") << 90 << 10 << 10 << QByteArray() << day;
    QTest::newRow("interval 0") << 5 << 0 << 60 << QByteArray() << day;
    // Liberia kept UTC -0:44:30 until 1972: local minutes are not whole minutes of UTC.
    QTest::newRow("a zone whose minutes are not UTC's")
        << 90 << 10 << 10 << QByteArray("Africa/Monrovia") << QDate(1971, 6, 1);
}

void TestSimulator::download()
{
    QFETCH(int, count);
    QFETCH(int, interval);
    QFETCH(int, spacing);
    QFETCH(QByteArray, zone);
    QFETCH(QDate, day);
    qputenv("METER_SIM_STORE_COUNT", QByteArray::number(count));
    qputenv("METER_SIM_INTERVAL_MS", "20");
    if (!zone.isEmpty() && !QFileInfo::exists(QStringLiteral("/usr/share/zoneinfo/") + zone))
        QSKIP("the time zone data is not installed");
    // An empty zone: the machine's own.
    std::optional<LocalZone> local;
    if (!zone.isEmpty())
        local.emplace(zone);

    MeterProbe probe;
    attach(probe);
    QTimer ticker; // counts the receiver's event-loop turns
    connect(&ticker, &QTimer::timeout, &probe, [&probe] { ++probe.tick; });
    ticker.start(0);

    QVERIFY(openLink(probe));
    QVERIFY(writeParams(probe, plainParam(interval)));
    const QDateTime clock(day, QTime(10, 20, 30));
    m_plugins.myDmm->setDateTime(clock);

    QVERIFY(m_plugins.myDmm->requestStoreCount());
    QTRY_COMPARE_WITH_TIMEOUT(probe.storeCounts, QVector<int> {count}, patience);

    QVERIFY(m_plugins.myDmm->downloadStore());
    QVERIFY(probe.stored.isEmpty()); // records come from the event loop
    QTRY_VERIFY_WITH_TIMEOUT(!probe.storeNums.isEmpty() && probe.storeNums.last().second == count,
                             patience);
    QCOMPARE(probe.storeNums.last(), qMakePair(count, count));
    QCOMPARE(probe.stored.size(), count);
    for (int i = 1; i < probe.storeNums.size(); ++i) {
        QCOMPARE(probe.storeNums[i].first, count);
        QVERIFY(probe.storeNums[i].second > probe.storeNums[i - 1].second);
    }

    for (int i = 0; i < count; ++i) {
        const Reading &r = probe.stored[i];
        QVERIFY(r.isStore);
        QCOMPARE(r.storeIndex, i + 1);
        const QDateTime expected = toMinute(clock.addSecs(-qint64(count - 1 - i) * spacing));
        QCOMPARE(r.storeTime, expected);
        const QString fault = physicalFault(r);
        QVERIFY2(fault.isEmpty(),
                 qPrintable(QStringLiteral("record %1: %2").arg(i + 1).arg(fault)));
    }
    if (count >= 250) // sent in several turns of the event loop, not all at once
        QVERIFY(probe.stored.first().tick < probe.stored.last().tick);

    // a second download gives the same records again
    if (count > 0) {
        const Reading last = probe.stored.last();
        probe.stored.clear();
        probe.storeNums.clear();
        m_plugins.myDmm->setDateTime(clock);
        QVERIFY(m_plugins.myDmm->downloadStore());
        QTRY_VERIFY_WITH_TIMEOUT(
            !probe.storeNums.isEmpty() && probe.storeNums.last().second == count, patience);
        QCOMPARE(probe.stored.size(), count);
        QCOMPARE(probe.stored.last().storeTime, last.storeTime);
        for (int channel = 0; channel < 4; ++channel)
            QCOMPARE(probe.stored.last().values[channel].text, last.values[channel].text);
    }

    QVERIFY(closeLink(probe));
    verifyThreads(probe);
}

void TestSimulator::writeAndReadBack()
{
    MeterProbe probe;
    attach(probe);
    QVERIFY(openLink(probe));
    QVERIFY(m_plugins.myDmm->readParam());
    QTRY_COMPARE_WITH_TIMEOUT(probe.params.size(), 1, patience);
    DmmParam *record = probe.params.first();

    // The receiver edits the plug-in's record in place and hands the same pointer back.
    record->unit = 1;
    record->storageInterval = 3600;
    record->highTemp = 255;
    record->lowTemp = -200;
    record->offsetTemp = -15;
    record->autoPower = 0;
    QVERIFY(m_plugins.myDmm->writeParam(record));
    QTRY_COMPARE_WITH_TIMEOUT(probe.responses.size(), 1, patience);
    QCOMPARE(probe.responses.first(), qMakePair(3, 1));

    // A later read overwrites the record from the meter, which now holds the written values.
    record->highTemp = 0;
    QVERIFY(m_plugins.myDmm->readParam());
    QTRY_COMPARE_WITH_TIMEOUT(probe.params.size(), 2, patience);
    QCOMPARE(probe.params[1], record);
    QCOMPARE(int(record->unit), 1);
    QCOMPARE(int(record->storageInterval), 3600);
    QCOMPARE(int(record->highTemp), 255);
    QCOMPARE(int(record->lowTemp), -200);
    QCOMPARE(int(record->offsetTemp), -15);
    QCOMPARE(int(record->autoPower), 0);

    // Readings stay consistent under calibration offsets.
    DmmParam shifted = plainParam();
    shifted.offsetTemp = 30;
    shifted.offsetHumi = -50;
    shifted.offsetDP = 127;
    shifted.offsetWB = -128;
    QVERIFY(writeParams(probe, shifted));
    const int seen = probe.readings.size();
    QTRY_VERIFY_WITH_TIMEOUT(probe.readings.size() >= seen + 20, patience);
    for (int i = seen; i < probe.readings.size(); ++i) {
        const Reading &r = probe.readings[i];
        QVERIFY(r.values[2].value <= r.values[3].value);
        QVERIFY(r.values[3].value <= r.values[0].value);
    }

    QVERIFY(writeParams(probe, plainParam()));
    QVERIFY(closeLink(probe));
    verifyThreads(probe);
}

void TestSimulator::silentMeter_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::newRow("parameters never answered") << QByteArray("METER_SIM_NO_PARAM");
    QTest::newRow("write never confirmed") << QByteArray("METER_SIM_NO_WRITE_ACK");
}

void TestSimulator::silentMeter()
{
    QFETCH(QByteArray, variable);
    qputenv(variable.constData(), "1");
    const bool answersParam = variable != "METER_SIM_NO_PARAM";

    MeterProbe probe;
    attach(probe);
    QVERIFY(openLink(probe));
    DmmParam changed = plainParam(1800);
    QVERIFY(m_plugins.myDmm->writeParam(&changed));
    QVERIFY(m_plugins.myDmm->readParam());
    // Answered in order: once the count is in, any answer to the two requests above would be.
    QVERIFY(m_plugins.myDmm->requestStoreCount());
    QTRY_COMPARE_WITH_TIMEOUT(probe.storeCounts.size(), 1, patience);
    QCOMPARE(probe.params.size(), answersParam ? 1 : 0);
    QCOMPARE(probe.responses.size(), answersParam ? 0 : 1);
    if (answersParam) // the unconfirmed write did not reach the meter
        QCOMPARE(int(probe.params.first()->storageInterval), 60);
    QVERIFY(closeLink(probe));
    verifyThreads(probe);

    // back to a meter that answers, with the default interval
    qunsetenv(variable.constData());
    probe.events.clear();
    QVERIFY(openLink(probe));
    QVERIFY(writeParams(probe, plainParam()));
    QVERIFY(closeLink(probe));
}

void TestSimulator::memorySize_data()
{
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("count");
    QTest::newRow("ten million") << QByteArray("10000000") << 10000000;
    QTest::newRow("more than ten million") << QByteArray("25000000") << 10000000;
    QTest::newRow("negative") << QByteArray("-5") << 0;
    QTest::newRow("not a number") << QByteArray("many") << 250;
}

void TestSimulator::memorySize()
{
    QFETCH(QByteArray, setting);
    QFETCH(int, count);
    qputenv("METER_SIM_STORE_COUNT", setting);
    MeterProbe probe;
    attach(probe);
    QVERIFY(openLink(probe));
    QVERIFY(m_plugins.myDmm->requestStoreCount());
    QTRY_COMPARE_WITH_TIMEOUT(probe.storeCounts, QVector<int> {count}, patience);
    QVERIFY(closeLink(probe));
}

void TestSimulator::convertValue_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("shownValue");
    QTest::addColumn<QString>("shownText");

    QTest::newRow("temperature in F") << 25.0 << 0 << 1 << 77.0 << "77.0";
    QTest::newRow("dew point in F") << -40.0 << 2 << 1 << -40.0 << "-40.0";
    QTest::newRow("wet bulb in F, rounded") << 36.6 << 3 << 1 << 97.88 << "97.9";
    QTest::newRow("just below 0 F") << -17.8 << 0 << 1 << -0.04 << "0.0";
    QTest::newRow("humidity never converted") << 55.5 << 1 << 1 << 55.5 << "given";
    QTest::newRow("Celsius unchanged") << 25.0 << 0 << 0 << 25.0 << "given";
    QTest::newRow("undefined unit is Celsius") << 25.0 << 2 << 2 << 25.0 << "given";
}

void TestSimulator::convertValue()
{
    QFETCH(double, value);
    QFETCH(int, channel);
    QFETCH(int, unit);
    QFETCH(double, shownValue);
    QFETCH(QString, shownText);

    const DmmValue given {7, value, QStringLiteral("given")};
    const DmmValue shown = m_plugins.myDmm->convertValue(given, channel, unit);
    QCOMPARE(shown.code, 7);
    QVERIFY2(std::abs(shown.value - shownValue) < 1e-9, qPrintable(QString::number(shown.value)));
    QCOMPARE(shown.text, shownText);
}

void TestSimulator::makeValue_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("madeValue");
    QTest::addColumn<QString>("madeText");

    QTest::newRow("temperature") << 21.25 << 0 << 0 << 21.25 << "21.3";
    QTest::newRow("humidity") << 55.0 << 1 << 0 << 55.0 << "55.0";
    QTest::newRow("negative zero") << -0.04 << 2 << 0 << -0.04 << "0.0";
    QTest::newRow("below zero") << -12.35 << 3 << 0 << -12.35 << "-12.4";
    QTest::newRow("in F") << 25.0 << 0 << 1 << 77.0 << "77.0";
    QTest::newRow("humidity with unit F") << 50.0 << 1 << 1 << 50.0 << "50.0";
}

void TestSimulator::makeValue()
{
    QFETCH(double, value);
    QFETCH(int, channel);
    QFETCH(int, unit);
    QFETCH(double, madeValue);
    QFETCH(QString, madeText);

    const DmmValue made = m_plugins.myDmm->makeValue(value, channel, unit);
    QCOMPARE(made.code, 3);
    QVERIFY(std::abs(made.value - madeValue) < 1e-9);
    QCOMPARE(made.text, madeText);
}

void TestSimulator::findPort()
{
    SerialRS232VirInf *finder = m_plugins.portFinder;
    const quint16 vid = 0x1A86;
    const quint16 pid = 0x7523;
    MeterProbe probe;
    attach(probe);

    // A described adapter, on any machine.
    qputenv("METER_SIM_PORT", "virtual");
    const QSerialPortInfo described = finder->findPort(vid, pid);
    QVERIFY(!described.isNull());
    QCOMPARE(described.portName(), QStringLiteral("ttySIM0"));
    QVERIFY(described.hasVendorIdentifier() && described.hasProductIdentifier());
    QCOMPARE(described.vendorIdentifier(), vid);
    QCOMPARE(described.productIdentifier(), pid);
    const QSerialPortInfo copy = described; // copied by the module's own code
    QCOMPARE(copy.systemLocation(), QStringLiteral("/dev/ttySIM0"));
    QTRY_COMPARE_WITH_TIMEOUT(probe.usbChanges, 1, patience);
    qunsetenv("METER_SIM_PORT");
    QTRY_COMPARE_WITH_TIMEOUT(probe.usbChanges, 2, patience);
    QTest::qWait(1200); // polls with no change say nothing
    QCOMPARE(probe.usbChanges, 2);

    const QList<QSerialPortInfo> listed = QSerialPortInfo::availablePorts();
    if (listed.isEmpty()) {
        QVERIFY(finder->findPort(vid, pid).isNull());
        QSKIP("the system lists no serial port");
    }

    // a real adapter when one is attached, otherwise the first listed port
    QSerialPortInfo expected = listed.first();
    for (const QSerialPortInfo &port : listed) {
        if (port.vendorIdentifier() == vid && port.productIdentifier() == pid) {
            expected = port;
            break;
        }
    }
    QCOMPARE(finder->findPort(vid, pid).systemLocation(), expected.systemLocation());

    // "unplugging" the adapter is noticed by the poll
    qputenv("METER_SIM_PORT", "none");
    QVERIFY(finder->findPort(vid, pid).isNull());
    QTRY_COMPARE_WITH_TIMEOUT(probe.usbChanges, 3, patience);

    qputenv("METER_SIM_PORT", listed.last().portName().toLocal8Bit());
    QCOMPARE(finder->findPort(vid, pid).systemLocation(), listed.last().systemLocation());
    QTRY_COMPARE_WITH_TIMEOUT(probe.usbChanges, 4, patience);

    // an unknown name is reported once, not at every poll
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no-such-port"));
    qputenv("METER_SIM_PORT", "no-such-port");
    QVERIFY(finder->findPort(vid, pid).isNull());
    QTRY_COMPARE_WITH_TIMEOUT(probe.usbChanges, 5, patience);
    QTest::qWait(1200);

    qunsetenv("METER_SIM_PORT");
    QCOMPARE(finder->findPort(vid, pid).systemLocation(), expected.systemLocation());
    QTRY_COMPARE_WITH_TIMEOUT(probe.usbChanges, 6, patience);
    verifyThreads(probe);
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
