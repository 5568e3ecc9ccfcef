#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The main window in a process of its own, started as the application starts it: without all
// four device interfaces it ends at once, silently; on a first start it has its stated size.
class TestPluginQuit : public QObject
{
    Q_OBJECT

private slots:
    void incompletePluginFolder_data();
    void incompletePluginFolder();
    void firstStartSize_data();
    void firstStartSize();
};

void TestPluginQuit::incompletePluginFolder_data()
{
    QTest::addColumn<QString>("lib"); // "" no Lib folder, else the plug-ins put into Lib/
    QTest::addColumn<int>("exitCode");

    // 0: quit by itself; 3: still running after a while (the probe's own exit).
    QTest::newRow("no Lib folder") << "-" << 0;
    QTest::newRow("empty Lib folder") << "" << 0;
    QTest::newRow("serial interfaces only") << "port" << 0;
    QTest::newRow("all four interfaces") << "meter" << 3;
    QTest::newRow("all four, spread over two plug-ins later in the folder") << "port meter" << 3;
}

void TestPluginQuit::incompletePluginFolder()
{
    QFETCH(QString, lib);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString probe = dir.filePath(QStringLiteral("widget_probe"));
    QVERIFY(QFile::copy(QStringLiteral(WIDGET_PROBE), probe));
    if (lib != QLatin1String("-")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Lib")));
        // Named so that the serial-only plug-in sorts first.
        if (lib.contains(QLatin1String("port")))
            QVERIFY(QFile::copy(QStringLiteral(PORT_ONLY_PLUGIN),
                                dir.filePath(QStringLiteral("Lib/a_port.so"))));
        if (lib.contains(QLatin1String("meter")))
            QVERIFY(QFile::copy(QStringLiteral(SCRIPTABLE_PLUGIN),
                                dir.filePath(QStringLiteral("Lib/b_meter.so"))));
    }

    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(probe, QStringList());
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    // A quit that came later than the first turn of the event loop would lose the race
    // against the probe's own exit code 3.
    QCOMPARE(process.exitCode(), exitCode);
}

void TestPluginQuit::firstStartSize_data()
{
    QTest::addColumn<QString>("fontDpi"); // empty: the platform's own
    QTest::newRow("the platform's font resolution") << QString();
    QTest::newRow("QT_FONT_DPI=96") << "96";
}

// A folder without options.xml: the window comes up 1000 by 600, not as high as its own
// minimum happens to be.
void TestPluginQuit::firstStartSize()
{
    QFETCH(QString, fontDpi);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString probe = dir.filePath(QStringLiteral("widget_probe"));
    QVERIFY(QFile::copy(QStringLiteral(WIDGET_PROBE), probe));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Lib")));
    QVERIFY(QFile::copy(QStringLiteral(SCRIPTABLE_PLUGIN),
                        dir.filePath(QStringLiteral("Lib/meter.so"))));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!fontDpi.isEmpty())
        env.insert(QStringLiteral("QT_FONT_DPI"), fontDpi);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(probe, {QStringLiteral("--size")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 6);
    QCOMPARE(QString::fromLatin1(process.readAllStandardOutput()).trimmed(),
             QStringLiteral("1000x600"));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("options.xml"))));
}

QTEST_GUILESS_MAIN(TestPluginQuit)
#include "tst_pluginquit.moc"
