#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The application needs all four device interfaces; without them it ends at once, silently.
class TestPluginQuit : public QObject
{
    Q_OBJECT

private slots:
    void incompletePluginFolder_data();
    void incompletePluginFolder();
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

QTEST_GUILESS_MAIN(TestPluginQuit)
#include "tst_pluginquit.moc"
