#include "localzone.h"
#include "startup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void readOptionLanguage_data();
    void readOptionLanguage();
    void readOptionLanguageMissingFile();
    void installTranslations_data();
    void installTranslations();
    void translationsFollowWorkingDirectory();
    void localTimeZoneReadOnce();

private:
    static bool writeFile(const QString &path, const QByteArray &bytes);
    static bool copyQm(const QString &builtName, const QString &target);
    static QString hello() { return QCoreApplication::translate("StartupProbe", "Hello"); }
    static QString cancel() { return QCoreApplication::translate("ToolkitProbe", "Cancel"); }
};

bool TestStartup::writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool TestStartup::copyQm(const QString &builtName, const QString &target)
{
    QFile::remove(target);
    return QFile::copy(QStringLiteral(STARTUP_QM_DIR "/") + builtName, target);
}

void TestStartup::readOptionLanguage_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("expected");

    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    QTest::newRow("file as the window writes it") << head
            + "<options>\n    <Geometry>01d9d0cb</Geometry>\n    <State>00</State>\n"
              "    <Language>zh-CN</Language>\n    <SamplePoints>1000</SamplePoints>\n"
              "    <Infinite>1</Infinite>\n</options>\n"
                                                  << QStringLiteral("zh-CN");
    QTest::newRow("no Language element")
        << head + "<options><SampleRate>500</SampleRate></options>" << QString();
    QTest::newRow("nested in another element")
        << QByteArray("<options><Group><Language>en-US</Language></Group></options>")
        << QStringLiteral("en-US");
    QTest::newRow("repeated: the last one wins")
        << QByteArray("<options><Language>zh-CN</Language><Language>en-US</Language></options>")
        << QStringLiteral("en-US");
    QTest::newRow("whitespace-only text is no value")
        << QByteArray("<options><Language>zh-CN</Language><Language> \n\t </Language></options>")
        << QStringLiteral("zh-CN");
    QTest::newRow("empty element")
        << QByteArray("<options><Language></Language><SampleRate>500</SampleRate></options>")
        << QString();
    QTest::newRow("text of another element clears the name")
        << QByteArray("<options><Language><Other>x</Other>zh-CN</Language></options>") << QString();
    QTest::newRow("text after the element still counts")
        << QByteArray("<options><Language>zh-CN</Language>en-US</options>")
        << QStringLiteral("en-US");
    QTest::newRow("element names are case-sensitive")
        << QByteArray("<options><language>zh-CN</language></options>") << QString();
    QTest::newRow("value before a parse error is kept")
        << QByteArray("<options><Language>zh-CN</Language><SampleRate>5</Broken></options>")
        << QStringLiteral("zh-CN");
    QTest::newRow("a path is not taken")
        << QByteArray("<options><Language>zh-CN</Language><Language>../x</Language></options>")
        << QStringLiteral("zh-CN");
    QTest::newRow("value after a parse error is not read")
        << QByteArray("<options><<Language>zh-CN</Language></options>") << QString();
}

void TestStartup::readOptionLanguage()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("options.xml"));
    QVERIFY(writeFile(path, xml));
    QCOMPARE(::readOptionLanguage(path), expected);
}

void TestStartup::readOptionLanguageMissingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(::readOptionLanguage(dir.filePath(QStringLiteral("options.xml"))), QString());
    // A directory in the file's place cannot be read either.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("options.xml")));
    QCOMPARE(::readOptionLanguage(dir.filePath(QStringLiteral("options.xml"))), QString());
}

void TestStartup::installTranslations_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("appQm"); // built translation copied as "<language>.qm"
    QTest::addColumn<bool>("toolkitQm"); // ./translations/qt_zh_CN.qm present
    QTest::addColumn<QString>("expectedHello");
    QTest::addColumn<QString>("expectedCancel");
    QTest::addColumn<bool>("chineseLocale");

    const QString zhHello = QStringLiteral("你好");
    const QString zhCancel = QStringLiteral("取消");
    QTest::newRow("zh-CN present") << "zh-CN"
                                   << "app_zh.qm" << true << zhHello << zhCancel << true;
    QTest::newRow("zh-CN present, toolkit file missing")
        << "zh-CN"
        << "app_zh.qm" << false << zhHello << "Cancel" << true;
    QTest::newRow("zh-CN absent") << "zh-CN" << QString() << true << "Hello"
                                  << "Cancel" << false;
    QTest::newRow("en-US absent") << "en-US" << QString() << true << "Hello"
                                  << "Cancel" << false;
    QTest::newRow("en-US present") << "en-US"
                                   << "app_en.qm" << true << "Hello (en)"
                                   << "Cancel" << true;
    QTest::newRow("Default absent") << "Default" << QString() << true << "Hello"
                                    << "Cancel" << false;
    QTest::newRow("invalid translation file") << "zh-CN"
                                              << "garbage" << true << "Hello" << zhCancel << true;
    // A translation one folder down is there, but a code with a path in it is never looked up.
    QTest::newRow("code with a folder") << "sub/zh-CN"
                                        << "app_zh.qm" << true << "Hello"
                                        << "Cancel" << false;
}

void TestStartup::installTranslations()
{
    QFETCH(QString, language);
    QFETCH(QString, appQm);
    QFETCH(bool, toolkitQm);
    QFETCH(QString, expectedHello);
    QFETCH(QString, expectedCancel);
    QFETCH(bool, chineseLocale);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    auto restoreDir = qScopeGuard([&] { QDir::setCurrent(previousDir); });

    const QString fileName = language + QStringLiteral(".qm");
    const bool plainName = !language.contains(QLatin1Char('/'));
    QVERIFY(QDir().mkpath(QFileInfo(fileName).path()));
    if (appQm == QLatin1String("garbage"))
        QVERIFY(writeFile(fileName, "not a translation"));
    else if (!appQm.isEmpty())
        QVERIFY(copyQm(appQm, fileName));
    QVERIFY(QDir().mkdir(QStringLiteral("translations")));
    if (toolkitQm)
        QVERIFY(
            copyQm(QStringLiteral("toolkit_zh.qm"), QStringLiteral("translations/qt_zh_CN.qm")));

    // A locale that is neither the system's nor Chinese, to see whether it is left alone.
    const QLocale before(QLocale::German, QLocale::Germany);
    QLocale::setDefault(before);
    auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });

    QTranslator appTranslator;
    QTranslator toolkitTranslator;
    const TranslationSetup setup = ::installTranslations(*QCoreApplication::instance(), language,
                                                         appTranslator, toolkitTranslator);

    QCOMPARE(setup.fileName, plainName ? fileName : QString());
    QCOMPARE(setup.fileFound, plainName && !appQm.isEmpty());
    QCOMPARE(setup.appLoaded, setup.fileFound && appQm != QLatin1String("garbage"));
    QCOMPARE(hello(), expectedHello);
    QCOMPARE(cancel(), expectedCancel);
    QCOMPARE(QLocale() == QLocale(QLocale::Chinese, QLocale::China), chineseLocale);
    if (!chineseLocale)
        QCOMPARE(QLocale(), before);
}

void TestStartup::translationsFollowWorkingDirectory()
{
    // The options file is read beside the executable, the translation in the working
    // directory: a copy of the probe in its own folder shows both.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QDir root(dir.path());
    QVERIFY(root.mkpath(QStringLiteral("app/translations")) && root.mkdir(QStringLiteral("work")));
    const QString appDir = root.filePath(QStringLiteral("app"));
    const QString probe = appDir + QStringLiteral("/startup_probe");
    QVERIFY(QFile::copy(QStringLiteral(STARTUP_PROBE), probe));
    QVERIFY(writeFile(appDir + QStringLiteral("/options.xml"),
                      "<?xml version=\"1.0\"?>\n<options><Language>zh-CN</Language></options>\n"));
    QVERIFY(copyQm(QStringLiteral("app_zh.qm"), appDir + QStringLiteral("/zh-CN.qm")));
    QVERIFY(copyQm(QStringLiteral("toolkit_zh.qm"),
                   appDir + QStringLiteral("/translations/qt_zh_CN.qm")));

    auto run = [&](const QString &workingDir) {
        QProcess process;
        process.setWorkingDirectory(workingDir);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(probe, {QStringLiteral("language")});
        process.waitForFinished(10000);
        return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    };

    const QStringList elsewhere = run(root.filePath(QStringLiteral("work")));
    QVERIFY2(elsewhere.contains(QStringLiteral("language=zh-CN")), qPrintable(elsewhere.join('|')));
    QVERIFY(elsewhere.contains(QStringLiteral("found=0")));
    QVERIFY(elsewhere.contains(QStringLiteral("hello=Hello")));
    QVERIFY(elsewhere.contains(QStringLiteral("toolkit=Cancel")));
    QVERIFY(elsewhere.contains(QStringLiteral("localeChanged=0")));

    const QStringList beside = run(appDir);
    QVERIFY2(beside.contains(QStringLiteral("found=1")), qPrintable(beside.join('|')));
    QVERIFY(beside.contains(QStringLiteral("hello=你好")));
    QVERIFY(beside.contains(QStringLiteral("toolkit=取消")));
    QVERIFY(beside.contains(QStringLiteral("locale=zh_CN")));
}

// Local times mean the same before and after TZ points at the system's zone file, summer and
// winter; a TZ the user set is left alone.
void TestStartup::localTimeZoneReadOnce()
{
    if (!QFileInfo::exists(QStringLiteral("/etc/localtime")))
        QSKIP("the system has no /etc/localtime");
    const QVector<QDateTime> wallClock {QDateTime(QDate(2024, 1, 15), QTime(12, 0)),
                                        QDateTime(QDate(2024, 7, 15), QTime(12, 0)),
                                        QDateTime(QDate(2024, 3, 31), QTime(3, 30))};
    const LocalZone machine {QByteArray()};
    QVector<qint64> before;
    for (const QDateTime &t : wallClock)
        before << QDateTime(t.date(), t.time()).toMSecsSinceEpoch();

    QVERIFY(readLocalTimeZoneOnce());
    QCOMPARE(qgetenv("TZ"), QByteArray(":/etc/localtime"));
    for (int i = 0; i < wallClock.size(); ++i) {
        const QDateTime t(wallClock[i].date(), wallClock[i].time());
        QCOMPARE(t.toMSecsSinceEpoch(), before[i]);
        QCOMPARE(QDateTime::fromMSecsSinceEpoch(before[i]).toString(Qt::ISODate),
                 t.toString(Qt::ISODate));
    }

    qputenv("TZ", "America/New_York");
    QVERIFY(!readLocalTimeZoneOnce());
    QCOMPARE(qgetenv("TZ"), QByteArray("America/New_York"));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
