#include "dlgoption.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

template<typename T> T *child(QWidget *dlg, const char *name)
{
    T *w = dlg->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

// Once the dialog runs modally: let `act` work on it, then press `button`.
void answerDialog(QDialogButtonBox::StandardButton button,
                  const std::function<void(QWidget *)> &act = {})
{
    QTimer::singleShot(0, [=] {
        QWidget *dlg = QApplication::activeModalWidget();
        QVERIFY(qobject_cast<DlgOption *>(dlg));
        if (act)
            act(dlg);
        QTest::mouseClick(child<QDialogButtonBox>(dlg, "buttonBox")->button(button),
                          Qt::LeftButton);
    });
}

void typeInto(QSpinBox *spin, const QString &text)
{
    spin->selectAll();
    QTest::keyClicks(spin, text);
}

} // namespace

class TestDlgOption : public QObject
{
    Q_OBJECT

private slots:
    void language_data();
    void language();
    void infiniteEnablesSamplePoints_data();
    void infiniteEnablesSamplePoints();
    void skipRepeatCarriedThroughHiddenBox_data();
    void skipRepeatCarriedThroughHiddenBox();
    void spinBoxesClampAndAcceptZero();
    void okReturnsEditedValues();
    void cancelLeavesValues();
};

void TestDlgOption::language_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("afterOk");
    QTest::newRow("first run") << "Default"
                               << "Chinese"
                               << "zh-CN";
    QTest::newRow("unknown code") << "fr-FR"
                                  << "Chinese"
                                  << "zh-CN";
    QTest::newRow("empty") << ""
                           << "Chinese"
                           << "zh-CN";
    QTest::newRow("Chinese") << "zh-CN"
                             << "Chinese"
                             << "zh-CN";
    QTest::newRow("English") << "en-US"
                             << "English"
                             << "en-US";
}

void TestDlgOption::language()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QFETCH(QString, afterOk);

    MeterOptions options;
    options.Language = stored;
    QString seen;
    answerDialog(QDialogButtonBox::Ok, [&seen](QWidget *dlg) {
        seen = child<QComboBox>(dlg, "cbbLanguage")->currentText();
    });
    const std::optional<MeterOptions> result = DlgOption::edit(nullptr, options);
    QCOMPARE(seen, shown);
    QVERIFY(result.has_value());
    QCOMPARE(result->Language, afterOk);
}

void TestDlgOption::infiniteEnablesSamplePoints_data()
{
    QTest::addColumn<bool>("infinite");
    QTest::newRow("infinite") << true;
    QTest::newRow("limited") << false;
}

void TestDlgOption::infiniteEnablesSamplePoints()
{
    QFETCH(bool, infinite);
    DlgOption dlg;
    MeterOptions options;
    options.Infinite = infinite;
    dlg.setOptions(options);
    QSpinBox *points = child<QSpinBox>(&dlg, "spinSamplePoints");
    QCheckBox *box = child<QCheckBox>(&dlg, "cbInfinite");
    QCOMPARE(points->isEnabled(), !infinite);
    box->click();
    QCOMPARE(points->isEnabled(), infinite);
    QCOMPARE(dlg.options().Infinite, !infinite);
    box->click();
    QCOMPARE(points->isEnabled(), !infinite);
    QCOMPARE(dlg.options().Infinite, infinite);
}

void TestDlgOption::skipRepeatCarriedThroughHiddenBox_data()
{
    QTest::addColumn<bool>("skip");
    QTest::newRow("set") << true;
    QTest::newRow("clear") << false;
}

void TestDlgOption::skipRepeatCarriedThroughHiddenBox()
{
    QFETCH(bool, skip);
    MeterOptions options;
    options.SkipRepeat = skip;
    bool hidden = false;
    bool checked = !skip;
    answerDialog(QDialogButtonBox::Ok, [&](QWidget *dlg) {
        QCheckBox *box = child<QCheckBox>(dlg, "cbSkipRepeat");
        hidden = !box->isVisible();
        checked = box->isChecked();
    });
    const std::optional<MeterOptions> result = DlgOption::edit(nullptr, options);
    QVERIFY(hidden);
    QCOMPARE(checked, skip);
    QVERIFY(result.has_value());
    QCOMPARE(result->SkipRepeat, skip);
}

void TestDlgOption::spinBoxesClampAndAcceptZero()
{
    DlgOption dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    MeterOptions options;
    options.Infinite = false;
    dlg.setOptions(options);
    typeInto(child<QSpinBox>(&dlg, "spinSampleRate"), QStringLiteral("0"));
    typeInto(child<QSpinBox>(&dlg, "spinSamplePoints"), QStringLiteral("99999999999"));
    const MeterOptions read = dlg.options();
    QCOMPARE(read.SampleRate, 0);
    QCOMPARE(read.SamplePoints, 999999999);

    options.SamplePoints = 2000000000;
    dlg.setOptions(options);
    QCOMPARE(dlg.options().SamplePoints, 999999999);
}

void TestDlgOption::okReturnsEditedValues()
{
    MeterOptions options;
    answerDialog(QDialogButtonBox::Ok, [](QWidget *dlg) {
        child<QComboBox>(dlg, "cbbLanguage")->setCurrentIndex(1);
        typeInto(child<QSpinBox>(dlg, "spinSampleRate"), QStringLiteral("250"));
        child<QCheckBox>(dlg, "cbInfinite")->click();
        typeInto(child<QSpinBox>(dlg, "spinSamplePoints"), QStringLiteral("64"));
    });
    const std::optional<MeterOptions> result = DlgOption::edit(nullptr, options);
    QVERIFY(result.has_value());
    QCOMPARE(result->Language, QStringLiteral("en-US"));
    QCOMPARE(result->SampleRate, 250);
    QCOMPARE(result->SamplePoints, 64);
    QCOMPARE(result->Infinite, false);
    QCOMPARE(result->SkipRepeat, false);
}

void TestDlgOption::cancelLeavesValues()
{
    MeterOptions options;
    options.Language = QStringLiteral("en-US");
    options.SkipRepeat = true;
    const MeterOptions before = options;
    answerDialog(QDialogButtonBox::Cancel, [](QWidget *dlg) {
        child<QComboBox>(dlg, "cbbLanguage")->setCurrentIndex(0);
        typeInto(child<QSpinBox>(dlg, "spinSampleRate"), QStringLiteral("9"));
        child<QCheckBox>(dlg, "cbInfinite")->click();
        typeInto(child<QSpinBox>(dlg, "spinSamplePoints"), QStringLiteral("9"));
        child<QCheckBox>(dlg, "cbSkipRepeat")->setChecked(false);
    });
    QVERIFY(!DlgOption::edit(nullptr, options).has_value());
    QCOMPARE(options.Language, before.Language);
    QCOMPARE(options.SampleRate, before.SampleRate);
    QCOMPARE(options.SamplePoints, before.SamplePoints);
    QCOMPARE(options.Infinite, before.Infinite);
    QCOMPARE(options.SkipRepeat, before.SkipRepeat);
}

QTEST_MAIN(TestDlgOption)
#include "tst_dlgoption.moc"
