#include "dmmdata.h"
#include "dmmparam.h"

#include <QtTest>
#include <cstring>
#include <functional>

Q_DECLARE_METATYPE(DmmParam)

class TestDeviceContract : public QObject
{
    Q_OBJECT

private slots:
    void paramBytes_data();
    void paramBytes();
    void dataDefaults();
    void dataChannels_data();
    void dataChannels();
};

namespace {

QByteArray bytesOf(const DmmParam &param)
{
    QByteArray bytes(int(sizeof(DmmParam)), '\0');
    std::memcpy(bytes.data(), &param, sizeof(DmmParam));
    return bytes;
}

} // namespace

// Example records and the bytes a plug-in sees. The hexadecimal is grouped by field: unit,
// storage interval, the high then the low limits (temperature, humidity, dew point, wet
// bulb), the four offsets, auto power-off.
void TestDeviceContract::paramBytes_data()
{
    QTest::addColumn<DmmParam>("param");
    QTest::addColumn<QByteArray>("bytes");

    const auto add
        = [](const char *name, const std::function<void(DmmParam &)> &set, const char *hex) {
              DmmParam param {};
              set(param);
              QTest::newRow(name) << param << QByteArray::fromHex(hex);
          };
    add(
        "all zero", [](DmmParam &) {},
        "00 0000 0000 0000 0000 0000 0000 0000 0000 0000 00 00 00 00 00");
    add(
        "unit Fahrenheit", [](DmmParam &p) { p.unit = 1; },
        "01 0000 0000 0000 0000 0000 0000 0000 0000 0000 00 00 00 00 00");
    add(
        "storage interval 3600 s", [](DmmParam &p) { p.storageInterval = 3600; },
        "00 100e 0000 0000 0000 0000 0000 0000 0000 0000 00 00 00 00 00");
    add(
        "high temperature 25.5", [](DmmParam &p) { p.highTemp = 255; },
        "00 0000 ff00 0000 0000 0000 0000 0000 0000 0000 00 00 00 00 00");
    add(
        "high temperature -20.0", [](DmmParam &p) { p.highTemp = -200; },
        "00 0000 38ff 0000 0000 0000 0000 0000 0000 0000 00 00 00 00 00");
    add(
        "high humidity 99.9", [](DmmParam &p) { p.highHumi = 999; },
        "00 0000 0000 e703 0000 0000 0000 0000 0000 0000 00 00 00 00 00");
    add(
        "temperature offset -1.5", [](DmmParam &p) { p.offsetTemp = -15; },
        "00 0000 0000 0000 0000 0000 0000 0000 0000 0000 f1 00 00 00 00");
    add(
        "auto power-off 30 min", [](DmmParam &p) { p.autoPower = 30; },
        "00 0000 0000 0000 0000 0000 0000 0000 0000 0000 00 00 00 00 1e");
    // Every field at once, each with a value of its own: no field overlaps another.
    add(
        "full record",
        [](DmmParam &p) {
            p.unit = 1;
            p.storageInterval = 60;
            p.highTemp = 700;
            p.highHumi = 999;
            p.highDP = -782;
            p.highWB = -216;
            p.lowTemp = -200;
            p.lowHumi = 0;
            p.lowDP = 1;
            p.lowWB = -1;
            p.offsetTemp = 127;
            p.offsetHumi = -128;
            p.offsetDP = 5;
            p.offsetWB = -5;
            p.autoPower = 0;
        },
        "01 3c00 bc02 e703 f2fc 28ff 38ff 0000 0100 ffff 7f 80 05 fb 00");
}

void TestDeviceContract::paramBytes()
{
    QFETCH(DmmParam, param);
    QFETCH(QByteArray, bytes);
    QCOMPARE(bytesOf(param).toHex(' '), bytes.toHex(' '));

    // and back: the bytes read as a record give the same fields
    DmmParam back;
    std::memcpy(&back, bytes.constData(), sizeof(DmmParam));
    QCOMPARE(bytesOf(back), bytes);
}

void TestDeviceContract::dataDefaults()
{
    const DmmData data;
    QVERIFY(data.time().isNull());
    QVERIFY(data.storeTime().isNull());
    for (int channel = -1; channel <= Channel::Count; ++channel) {
        const DmmValue v = data.value(channel);
        QCOMPARE(v.code, 3);
        QCOMPARE(v.value, 0.0);
        QVERIFY(v.text.isEmpty());
    }
    QCOMPARE(data.isStore(), false);
    QCOMPARE(data.storeIndex(), 0);
    QVERIFY(data.parent() == nullptr);
}

using DmmSetter = void (DmmData::*)(const DmmValue &);
using DmmGetter = DmmValue (DmmData::*)() const;
Q_DECLARE_METATYPE(DmmSetter)
Q_DECLARE_METATYPE(DmmGetter)

void TestDeviceContract::dataChannels_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<DmmSetter>("set");
    QTest::addColumn<DmmGetter>("get");

    QTest::newRow("temperature") << int(Channel::Temperature) << &DmmData::setTemperature
                                 << &DmmData::temperature;
    QTest::newRow("humidity") << int(Channel::Humidity) << &DmmData::setHumidity
                              << &DmmData::humidity;
    QTest::newRow("dew point") << int(Channel::DewPoint) << &DmmData::setDewPoint
                               << &DmmData::dewPoint;
    QTest::newRow("wet bulb") << int(Channel::WetBulb) << &DmmData::setWetBulb << &DmmData::wetBulb;
}

// Each quantity's accessors and value(channel) meet on the channel of that quantity alone.
void TestDeviceContract::dataChannels()
{
    QFETCH(int, channel);
    QFETCH(DmmSetter, set);
    QFETCH(DmmGetter, get);

    DmmData data;
    (data.*set)(DmmValue {7, -12.5, QStringLiteral("-12.5")});
    const DmmValue got = (data.*get)();
    QCOMPARE(got.code, 7);
    QCOMPARE(got.value, -12.5);
    QCOMPARE(got.text, QStringLiteral("-12.5"));
    for (int other = -1; other <= Channel::Count; ++other) {
        const DmmValue v = data.value(other);
        QCOMPARE(v.value, other == channel ? -12.5 : 0.0);
        QCOMPARE(v.code, other == channel ? 7 : 3);
    }
}

QTEST_APPLESS_MAIN(TestDeviceContract)
#include "tst_devicecontract.moc"
