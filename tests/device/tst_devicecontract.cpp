#include "dmmdata.h"
#include "dmmparam.h"

#include <QtTest>
#include <cstring>

Q_DECLARE_METATYPE(DmmParam)

class TestDeviceContract : public QObject
{
    Q_OBJECT

private slots:
    void paramBytes_data();
    void paramBytes();
    void dataDefaults();
    void dataValuesAreCopies();
};

namespace {

QByteArray bytesOf(const DmmParam &param)
{
    QByteArray bytes(int(sizeof(DmmParam)), '\0');
    std::memcpy(bytes.data(), &param, sizeof(DmmParam));
    return bytes;
}

// 24 bytes, zero except the given offset/value pairs.
QByteArray expected(std::initializer_list<std::pair<int, quint8>> set)
{
    QByteArray bytes(24, '\0');
    for (const auto &[offset, value] : set)
        bytes[offset] = char(value);
    return bytes;
}

} // namespace

void TestDeviceContract::paramBytes_data()
{
    QTest::addColumn<DmmParam>("param");
    QTest::addColumn<QByteArray>("bytes");

    DmmParam p {};
    QTest::newRow("all zero") << p << expected({});

    p = {};
    p.highTemp = 255; // 25.5 degC
    QTest::newRow("highTemp 25.5") << p << expected({{3, 0xFF}, {4, 0x00}});
    p = {};
    p.highTemp = -200; // -20.0 degC
    QTest::newRow("highTemp -20.0") << p << expected({{3, 0x38}, {4, 0xFF}});
    p = {};
    p.highHumi = 999; // 99.9 %RH
    QTest::newRow("highHumi 99.9") << p << expected({{5, 0xE7}, {6, 0x03}});
    p = {};
    p.storageInterval = 3600;
    QTest::newRow("storageInterval 3600") << p << expected({{1, 0x10}, {2, 0x0E}});
    p = {};
    p.autoPower = 30;
    QTest::newRow("autoPower 30") << p << expected({{23, 30}});
    p = {};
    p.unit = 1;
    QTest::newRow("unit Fahrenheit") << p << expected({{0, 1}});

    // Each offset of -1.5 lands in its own byte.
    const std::pair<qint8 DmmParam::*, int> offsets[] = {{&DmmParam::offsetTemp, 19},
                                                         {&DmmParam::offsetHumi, 20},
                                                         {&DmmParam::offsetDP, 21},
                                                         {&DmmParam::offsetWB, 22}};
    for (const auto &[field, offset] : offsets) {
        p = {};
        p.*field = -15;
        QTest::addRow("offset -1.5 at %d", offset) << p << expected({{offset, 0xF1}});
    }

    // Every limit, by its place in the record: highs, then lows, in quantity order.
    // (Assigned by name: a member pointer would not know the field is unaligned.)
    const auto setLimit = [](DmmParam &param, int index, qint16 value) {
        switch (index) {
        case 0:
            param.highTemp = value;
            break;
        case 1:
            param.highHumi = value;
            break;
        case 2:
            param.highDP = value;
            break;
        case 3:
            param.highWB = value;
            break;
        case 4:
            param.lowTemp = value;
            break;
        case 5:
            param.lowHumi = value;
            break;
        case 6:
            param.lowDP = value;
            break;
        default:
            param.lowWB = value;
            break;
        }
    };
    for (int index = 0; index < 8; ++index) {
        p = {};
        setLimit(p, index, 0x1234);
        const int offset = 3 + 2 * index;
        QTest::addRow("limit at %d", offset) << p << expected({{offset, 0x34}, {offset + 1, 0x12}});
    }

    // A full record: no field overlaps another.
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
    QTest::newRow("full record") << p
                                 << QByteArray::fromHex(
                                        "013c00bc02e703f2fc28ff38ff00000100ffff7f8005fb00");
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
    for (int channel = 0; channel < 4; ++channel) {
        const DmmValue v = data.value(channel);
        QCOMPARE(v.code, 3);
        QCOMPARE(v.value, 0.0);
        QVERIFY(v.text.isEmpty());
    }
    QCOMPARE(data.isStore(), false);
    QCOMPARE(data.storeIndex(), 0);
    QVERIFY(data.parent() == nullptr);
}

void TestDeviceContract::dataValuesAreCopies()
{
    using Setter = void (DmmData::*)(const DmmValue &);
    using Getter = DmmValue (DmmData::*)() const;
    const std::pair<Setter, Getter> channels[] = {
        {&DmmData::setTemperature, &DmmData::temperature},
        {&DmmData::setHumidity, &DmmData::humidity},
        {&DmmData::setDewPoint, &DmmData::dewPoint},
        {&DmmData::setWetBulb, &DmmData::wetBulb},
    };

    int channel = 0;
    for (const auto &[set, get] : channels) {
        DmmData data;
        (data.*set)(DmmValue {7, -12.5, QStringLiteral("-12.5")});
        // a second set replaces all three fields, even with defaults
        DmmValue second;
        second.value = 40.25;
        (data.*set)(second);
        DmmValue got = (data.*get)();
        QCOMPARE(got.code, 3);
        QCOMPARE(got.value, 40.25);
        QVERIFY(got.text.isEmpty());

        // changing the copy leaves the record alone
        got.code = 9;
        got.value = 1.0;
        got.text = QStringLiteral("changed");
        const DmmValue again = (data.*get)();
        QCOMPARE(again.code, 3);
        QCOMPARE(again.value, 40.25);
        QVERIFY(again.text.isEmpty());

        // the value is on its own channel only
        for (int other = 0; other < 4; ++other)
            QCOMPARE(data.value(other).value, other == channel ? 40.25 : 0.0);
        QCOMPARE(data.value(4).value, 0.0);
        QCOMPARE(data.value(-1).code, 3);
        ++channel;
    }
}

QTEST_APPLESS_MAIN(TestDeviceContract)
#include "tst_devicecontract.moc"
