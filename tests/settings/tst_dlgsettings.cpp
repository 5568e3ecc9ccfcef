#include "dlgsettings.h"
#include "dmmparam.h"
#include "paramunits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <cstring>

namespace {

DmmParam makeParam(quint8 unit = 0)
{
    DmmParam p;
    std::memset(&p, 0, sizeof p);
    p.unit = unit;
    p.storageInterval = 60;
    p.highTemp = 300;
    p.lowTemp = -100;
    p.highHumi = 800;
    p.lowHumi = 200;
    p.highDP = 250;
    p.lowDP = -300;
    p.highWB = 280;
    p.lowWB = -50;
    p.offsetTemp = 5;
    p.offsetHumi = -15;
    p.offsetDP = 0;
    p.offsetWB = -3;
    p.autoPower = 30;
    return p;
}

} // namespace

class TestDlgSettings : public QObject
{
    Q_OBJECT

private:
    template<typename T> T *child(DlgSettings &dlg, const char *name)
    {
        T *w = dlg.findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QString text(DlgSettings &dlg, const char *label) { return child<QLabel>(dlg, label)->text(); }
    QDoubleSpinBox *spin(DlgSettings &dlg, const char *name)
    {
        return child<QDoubleSpinBox>(dlg, name);
    }
    void write(DlgSettings &dlg) { QTest::mouseClick(dlg.writeButton(), Qt::LeftButton); }

private slots:
    void initTestCase() { registerDmmParamMetaType(); }
    void conversion_data();
    void conversion();
    void clampsInsteadOfWrapping_data();
    void clampsInsteadOfWrapping();

    void fahrenheitRecord();
    void editedFahrenheitIsTruncated();
    void everyExactTenthTypedInFahrenheit();
    void untouchedValuesSurviveWrite_data();
    void untouchedValuesSurviveWrite();
    void undefinedUnitShownAndWrittenAsCelsius_data();
    void undefinedUnitShownAndWrittenAsCelsius();
    void humidityRowsNeverConverted();
    void autoPower_data();
    void autoPower();
    void offsetEditorsFitTheByte_data();
    void offsetEditorsFitTheByte();
    void offsetRangeLabels_data();
    void offsetRangeLabels();
    void writeBeforeAnyRecordDoesNothing();
    void enterPressesNoButton();
    void clockFollowsPcUnlessUnchecked();
};

void TestDlgSettings::conversion_data()
{
    QTest::addColumn<bool>("offset");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("tenths");
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("typed");
    QTest::addColumn<int>("stored");

    QTest::newRow("C 25.5") << false << 0 << 255 << 25.5 << 25.5 << 255;
    QTest::newRow("C cut toward zero") << false << 0 << -15 << -1.5 << -1.59 << -15;
    QTest::newRow("F 25.0") << false << 1 << 250 << 77.0 << 77.0 << 250;
    QTest::newRow("F 100.0 typed") << false << 1 << 0 << 32.0 << 100.0 << 377;
    QTest::newRow("F below zero cut toward zero") << false << 1 << -10 << 30.2 << 31.9 << 0;
    QTest::newRow("F 98.6 is 37.0") << false << 1 << 370 << 98.6 << 98.6 << 370;
    QTest::newRow("F 42.8 is 6.0") << false << 1 << 60 << 42.8 << 42.8 << 60;
    QTest::newRow("unit 2 is Celsius") << false << 2 << 123 << 12.3 << 12.3 << 123;
    // An offset is a difference: no 32 to add or take away.
    QTest::newRow("C offset") << true << 0 << -15 << -1.5 << -1.5 << -15;
    QTest::newRow("F offset 0") << true << 1 << 0 << 0.0 << 0.0 << 0;
    QTest::newRow("F offset 6.0") << true << 1 << 60 << 10.8 << 10.8 << 60;
    QTest::newRow("F offset -6.0") << true << 1 << -60 << -10.8 << -10.8 << -60;
    QTest::newRow("F offset cut toward zero") << true << 1 << 5 << 0.9 << 0.8 << 4;
}

void TestDlgSettings::conversion()
{
    QFETCH(bool, offset);
    QFETCH(int, unit);
    QFETCH(int, tenths);
    QFETCH(double, shown);
    QFETCH(double, typed);
    QFETCH(int, stored);
    const double toShown = offset ? ParamUnits::offsetTenthsToShown(tenths, unit)
                                  : ParamUnits::tenthsToShown(tenths, unit);
    QVERIFY(qAbs(toShown - shown) < 1e-9);
    QCOMPARE(offset ? ParamUnits::shownOffsetToTenths(typed, unit)
                    : ParamUnits::shownToTenths(typed, unit),
             stored);
}

void TestDlgSettings::clampsInsteadOfWrapping_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<int>("int8");
    QTest::addColumn<int>("int16");

    QTest::newRow("127") << 127 << 127 << 127;
    QTest::newRow("128") << 128 << 127 << 128;
    QTest::newRow("-128") << -128 << -128 << -128;
    QTest::newRow("-129") << -129 << -128 << -129;
    QTest::newRow("32767") << 32767 << 127 << 32767;
    QTest::newRow("32768") << 32768 << 127 << 32767;
    QTest::newRow("-32769") << -32769 << -128 << -32768;
}

void TestDlgSettings::clampsInsteadOfWrapping()
{
    QFETCH(int, tenths);
    QFETCH(int, int8);
    QFETCH(int, int16);
    QCOMPARE(int(ParamUnits::clampToInt8(tenths)), int8);
    QCOMPARE(int(ParamUnits::clampToInt16(tenths)), int16);
    // A shown value far beyond any field saturates rather than overflowing the int.
    QCOMPARE(ParamUnits::shownToTenths(1e12, 0), std::numeric_limits<int>::max());
}

void TestDlgSettings::fahrenheitRecord()
{
    DlgSettings dlg;
    DmmParam p = makeParam(1);
    p.highTemp = 250;
    dlg.setDmmParam(&p);

    QCOMPARE(child<QComboBox>(dlg, "cbbUnit")->currentIndex(), 1);
    QCOMPARE(text(dlg, "label_17"), QStringLiteral("(-4-158)"));
    QCOMPARE(text(dlg, "label_21"), QStringLiteral("(-108.76-158)"));
    QCOMPARE(text(dlg, "label_23"), QStringLiteral("(-6.88-158)"));
    for (const char *unitLabel : {"label_29", "label_30", "label_33", "label_34", "label_35",
                                  "label_36", "label_37", "label_39", "label_40"})
        QCOMPARE(text(dlg, unitLabel), QStringLiteral("℉"));
    QCOMPARE(spin(dlg, "sbHighTemp")->value(), 77.0);
    QCOMPARE(spin(dlg, "sbOffsetTemp")->value(), 0.9);
    QCOMPARE(spin(dlg, "sbOffsetDP")->value(), 0.0);

    QSignalSpy spy(&dlg, &DlgSettings::writeDmmParam);
    write(dlg);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<DmmParam *>(), &p);
    QCOMPARE(int(p.unit), 1);
    QCOMPARE(int(p.highTemp), 250);

    // Back to Celsius: the labels follow, and an edit not yet written is dropped.
    spin(dlg, "sbHighTemp")->setValue(100.0);
    child<QComboBox>(dlg, "cbbUnit")->setCurrentIndex(0);
    QCOMPARE(text(dlg, "label_17"), QStringLiteral("(-20-70)"));
    QCOMPARE(text(dlg, "label_29"), QStringLiteral("℃"));
    QCOMPARE(spin(dlg, "sbHighTemp")->value(), 25.0);
}

void TestDlgSettings::editedFahrenheitIsTruncated()
{
    DlgSettings dlg;
    DmmParam p = makeParam(1);
    dlg.setDmmParam(&p);
    QDoubleSpinBox *high = spin(dlg, "sbHighTemp");
    high->selectAll();
    QTest::keyClicks(high, QStringLiteral("100.0"));
    high->interpretText();
    QCOMPARE(high->value(), 100.0);
    write(dlg);
    QCOMPARE(int(p.highTemp), 377);
}

// Every one-decimal °F text in the editors' ranges that is a whole number of tenths of a
// degree Celsius is stored as exactly that number: 297 limits, 25 offsets.
void TestDlgSettings::everyExactTenthTypedInFahrenheit()
{
    int limits = 0;
    int offsets = 0;
    for (int f = -1087; f <= 1580; ++f) { // tenths of °F, -108.7 .. 158.0
        const double typed = QString::number(f / 10.0, 'f', 1).toDouble();
        if ((f - 320) * 5 % 9 == 0) {
            ++limits;
            QCOMPARE(ParamUnits::shownToTenths(typed, 1), (f - 320) * 5 / 9);
        }
        if (qAbs(f) <= 108 && f * 5 % 9 == 0) {
            ++offsets;
            QCOMPARE(ParamUnits::shownOffsetToTenths(typed, 1), f * 5 / 9);
        }
    }
    QCOMPARE(limits, 297);
    QCOMPARE(offsets, 25);
}

void TestDlgSettings::untouchedValuesSurviveWrite_data()
{
    QTest::addColumn<int>("unit");
    QTest::newRow("Celsius") << 0;
    QTest::newRow("Fahrenheit") << 1;
}

void TestDlgSettings::untouchedValuesSurviveWrite()
{
    // One decimal of °F cannot hold every tenth of °C: writing without edits must still give
    // back exactly what the meter holds, over the whole dew-point range.
    QFETCH(int, unit);
    DlgSettings dlg;
    DmmParam p = makeParam(quint8(unit));
    for (int t = -782; t <= 700; ++t) {
        p.highDP = qint16(t);
        p.lowTemp = qint16(qBound(-200, t, 700));
        p.offsetWB = qint8(qBound(-60, t, 60));
        const DmmParam before = p;
        dlg.setDmmParam(&p);
        write(dlg);
        QVERIFY2(std::memcmp(&before, &p, sizeof p) == 0, qPrintable(QString::number(t)));
    }

    // Values beyond what the editors offer are shown held at their bounds, and written back
    // as the meter sent them.
    p.offsetTemp = 100;
    p.offsetHumi = -128;
    p.lowHumi = 995;
    p.highHumi = 1200;
    p.highTemp = 900;
    p.storageInterval = 4000;
    p.autoPower = 90;
    const DmmParam before = p;
    dlg.setDmmParam(&p);
    QCOMPARE(spin(dlg, "sbOffsetTemp")->value(), unit == 1 ? 10.8 : 6.0);
    QCOMPARE(spin(dlg, "sbLowHumi")->value(), 99.0);
    write(dlg);
    QVERIFY(std::memcmp(&before, &p, sizeof p) == 0);

    // An edited one is written as shown.
    spin(dlg, "sbLowHumi")->setValue(98.5);
    write(dlg);
    QCOMPARE(int(p.lowHumi), 985);
    QCOMPARE(int(p.offsetTemp), 100);
}

void TestDlgSettings::undefinedUnitShownAndWrittenAsCelsius_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("previousIndex");
    QTest::newRow("2 after Celsius") << 2 << 0;
    QTest::newRow("2 after Fahrenheit") << 2 << 1;
    QTest::newRow("255 after Fahrenheit") << 255 << 1;
}

void TestDlgSettings::undefinedUnitShownAndWrittenAsCelsius()
{
    QFETCH(int, code);
    QFETCH(int, previousIndex);
    DlgSettings dlg;
    DmmParam p = makeParam(quint8(previousIndex));
    dlg.setDmmParam(&p);
    p.unit = quint8(code);
    p.highTemp = 255;
    dlg.setDmmParam(&p);

    QCOMPARE(child<QComboBox>(dlg, "cbbUnit")->currentIndex(), 0);
    QCOMPARE(text(dlg, "label_29"), QStringLiteral("℃"));
    QCOMPARE(spin(dlg, "sbHighTemp")->value(), 25.5);
    write(dlg);
    QCOMPARE(int(p.unit), 0);
    QCOMPARE(int(p.highTemp), 255);
}

void TestDlgSettings::humidityRowsNeverConverted()
{
    DlgSettings dlg;
    DmmParam p = makeParam(1);
    p.highHumi = 999;
    p.lowHumi = 995; // beyond what the low-humidity editor accepts
    p.offsetHumi = -15;
    dlg.setDmmParam(&p);

    for (const char *range : {"label_19", "label_20"})
        QCOMPARE(text(dlg, range), QStringLiteral("(0-99.9)"));
    QCOMPARE(spin(dlg, "sbHighHumi")->value(), 99.9);
    QCOMPARE(spin(dlg, "sbLowHumi")->maximum(), 99.0);
    QCOMPARE(spin(dlg, "sbLowHumi")->value(), 99.0);
    QCOMPARE(spin(dlg, "sbOffsetHumi")->value(), -1.5);

    for (const char *unitLabel : {"label_31", "label_32", "label_38"})
        QCOMPARE(text(dlg, unitLabel), QStringLiteral("%RH"));

    spin(dlg, "sbHighHumi")->setValue(80.0);
    spin(dlg, "sbOffsetHumi")->setValue(2.5);
    write(dlg);
    QCOMPARE(int(p.highHumi), 800);
    QCOMPARE(int(p.lowHumi), 995); // untouched: as the meter sent it
    QCOMPARE(int(p.offsetHumi), 25);
}

void TestDlgSettings::autoPower_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<double>("shown");
    QTest::addColumn<double>("shownAfterToggle"); // after unchecking and checking again
    QTest::addColumn<int>("writtenAfterToggle");

    QTest::newRow("off") << 0 << false << 5.0 << 5.0 << 5;
    QTest::newRow("10 minutes") << 10 << true << 10.0 << 10.0 << 10;
    QTest::newRow("beyond the editor") << 90 << true << 60.0 << 60.0 << 60;
}

void TestDlgSettings::autoPower()
{
    QFETCH(int, stored);
    QFETCH(bool, checked);
    QFETCH(double, shown);
    QFETCH(double, shownAfterToggle);
    QFETCH(int, writtenAfterToggle);

    DlgSettings dlg;
    DmmParam p = makeParam();
    p.autoPower = qint8(stored);
    dlg.setDmmParam(&p);
    QCheckBox *box = child<QCheckBox>(dlg, "cbAutoPower");
    QDoubleSpinBox *minutes = spin(dlg, "sbAutoPower");
    QCOMPARE(box->isChecked(), checked);
    QCOMPARE(minutes->isEnabled(), checked);
    QCOMPARE(minutes->value(), shown);

    write(dlg);
    QCOMPARE(int(p.autoPower), stored); // untouched: as the meter sent it

    if (checked) {
        box->click();
        QVERIFY(!minutes->isEnabled());
        QCOMPARE(minutes->value(), 5.0);
    }
    box->click();
    QVERIFY(box->isChecked());
    QVERIFY(minutes->isEnabled());
    QCOMPARE(minutes->value(), shownAfterToggle);
    write(dlg);
    QCOMPARE(int(p.autoPower), writtenAfterToggle);

    box->click();
    write(dlg);
    QCOMPARE(int(p.autoPower), 0);
}

void TestDlgSettings::offsetEditorsFitTheByte_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("editor");
    QTest::addColumn<double>("typed");
    QTest::addColumn<int>("written");

    // A typed value beyond the editor is held at its bound; the bound still fits the byte.
    QTest::newRow("C temperature 20.0") << 0 << "sbOffsetTemp" << 20.0 << 60;
    QTest::newRow("C temperature 6.0") << 0 << "sbOffsetTemp" << 6.0 << 60;
    QTest::newRow("C dew point -60") << 0 << "sbOffsetDP" << -60.0 << -60;
    QTest::newRow("C humidity 12.8") << 0 << "sbOffsetHumi" << 12.8 << 60;
    QTest::newRow("C wet bulb -0.1") << 0 << "sbOffsetWB" << -0.1 << -1;
    QTest::newRow("F temperature 140") << 1 << "sbOffsetTemp" << 140.0 << 60;
    QTest::newRow("F temperature 10.8") << 1 << "sbOffsetTemp" << 10.8 << 60;
    QTest::newRow("F wet bulb -76") << 1 << "sbOffsetWB" << -76.0 << -60;
    QTest::newRow("F dew point 0.9") << 1 << "sbOffsetDP" << 0.9 << 5;
    QTest::newRow("F humidity 0 stays 0") << 1 << "sbOffsetHumi" << 0.0 << 0;
    QTest::newRow("F humidity 100") << 1 << "sbOffsetHumi" << 100.0 << 60;
    QTest::newRow("F humidity -6.0") << 1 << "sbOffsetHumi" << -6.0 << -60;
}

void TestDlgSettings::offsetEditorsFitTheByte()
{
    QFETCH(int, unit);
    QFETCH(QString, editor);
    QFETCH(double, typed);
    QFETCH(int, written);

    DlgSettings dlg;
    DmmParam p = makeParam(quint8(unit));
    dlg.setDmmParam(&p);
    spin(dlg, qPrintable(editor))->setValue(typed);
    write(dlg);
    const int stored = editor == QLatin1String("sbOffsetTemp") ? p.offsetTemp
        : editor == QLatin1String("sbOffsetHumi")              ? p.offsetHumi
        : editor == QLatin1String("sbOffsetDP")                ? p.offsetDP
                                                               : p.offsetWB;
    QCOMPARE(stored, written);
}

void TestDlgSettings::offsetRangeLabels_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<QString>("temperatureRange");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<QString>("unitText");
    QTest::newRow("Celsius") << 0 << "(-6-6)" << -6.0 << 6.0 << "℃";
    QTest::newRow("Fahrenheit") << 1 << "(-10.8-10.8)" << -10.8 << 10.8 << "℉";
}

void TestDlgSettings::offsetRangeLabels()
{
    QFETCH(int, unit);
    QFETCH(QString, temperatureRange);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(QString, unitText);

    DlgSettings dlg;
    DmmParam p = makeParam(quint8(unit));
    dlg.setDmmParam(&p);
    for (const char *range : {"label_25", "label_27", "label_28"})
        QCOMPARE(text(dlg, range), temperatureRange);
    for (const char *name : {"sbOffsetTemp", "sbOffsetDP", "sbOffsetWB"}) {
        QCOMPARE(spin(dlg, name)->minimum(), min);
        QCOMPARE(spin(dlg, name)->maximum(), max);
    }
    // The humidity offset is held in %RH in both units.
    QCOMPARE(text(dlg, "label_26"), QStringLiteral("(-6-6)"));
    QCOMPARE(spin(dlg, "sbOffsetHumi")->minimum(), -6.0);
    QCOMPARE(spin(dlg, "sbOffsetHumi")->maximum(), 6.0);
    QCOMPARE(text(dlg, "label_38"), QStringLiteral("%RH"));
    for (const char *unitLabel : {"label_37", "label_39", "label_40"})
        QCOMPARE(text(dlg, unitLabel), unitText);
}

void TestDlgSettings::writeBeforeAnyRecordDoesNothing()
{
    DlgSettings dlg;
    QSignalSpy spy(&dlg, &DlgSettings::writeDmmParam);
    write(dlg);
    // Without a record the unit switch changes only labels and ranges.
    spin(dlg, "sbHighTemp")->setValue(50.0);
    child<QComboBox>(dlg, "cbbUnit")->setCurrentIndex(1);
    QCOMPARE(text(dlg, "label_17"), QStringLiteral("(-4-158)"));
    QCOMPARE(spin(dlg, "sbHighTemp")->value(), 50.0);
    write(dlg);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(dlg.writeButton()->objectName(), QStringLiteral("pushButton"));
}

// Enter in an editor neither sets the clock nor writes: the dialog has no default button.
void TestDlgSettings::enterPressesNoButton()
{
    DlgSettings dlg;
    DmmParam p = makeParam();
    dlg.setDmmParam(&p);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QSignalSpy clock(&dlg, &DlgSettings::updateDatetime);
    QSignalSpy written(&dlg, &DlgSettings::writeDmmParam);
    QDoubleSpinBox *editor = spin(dlg, "sbHighTemp");
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Enter);
    QCOMPARE(clock.count(), 0);
    QCOMPARE(written.count(), 0);
    QVERIFY(dlg.isVisible());
}

void TestDlgSettings::clockFollowsPcUnlessUnchecked()
{
    DlgSettings dlg;
    QDateTimeEdit *edit = child<QDateTimeEdit>(dlg, "dateTimeEdit");
    QCOMPARE(edit->displayFormat(), QStringLiteral("yyyy/M/d H:mm:ss"));
    const QDateTime typed(QDate(2021, 3, 4), QTime(5, 6, 7));

    edit->setDateTime(typed);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(edit->dateTime().secsTo(QDateTime::currentDateTime())) <= 2,
                             2000);

    child<QCheckBox>(dlg, "cbPC")->click();
    edit->setDateTime(typed);
    QTest::qWait(1200);
    QCOMPARE(edit->dateTime(), typed);

    QSignalSpy spy(&dlg, &DlgSettings::updateDatetime);
    QTest::mouseClick(child<QPushButton>(dlg, "btnUpdateDatetime"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toDateTime(), typed);
}

QTEST_MAIN(TestDlgSettings)
#include "tst_dlgsettings.moc"
