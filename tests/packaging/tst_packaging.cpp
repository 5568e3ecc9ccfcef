#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QPluginLoader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Installs the build into a temporary prefix, as a user does with cmake --install, and checks
// the application folder and the desktop integration. The prefix holds a blank, as many home
// folders do, so that the desktop entry's quoting is exercised.
class TstPackaging : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void desktopEntryPointsIntoTheAppFolder();
    void desktopEntryValidates();
    void metainfoValidates();
    void manualIsPdf();
    void installedPlugInLoadsWithoutTheBuildTree();
    void stagedInstallNamesTheFinalPrefix();
    void uninstallLeavesTheUsersOptions();

private:
    struct Run
    {
        int exitCode = -1;
        QString output;
    };
    static Run run(const QString &program, const QStringList &args,
                   const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    Run install(const QString &prefix, const QString &destDir = QString()) const;
    QMap<QString, QString> desktopEntry(const QString &file) const;

    QTemporaryDir m_tmp;
    QString m_buildDir;
    QString m_prefix;
    QString m_appDir;
    QString m_entry;
};

TstPackaging::Run TstPackaging::run(const QString &program, const QStringList &args,
                                    const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        r.output = QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromLocal8Bit(p.readAll());
    return r;
}

TstPackaging::Run TstPackaging::install(const QString &prefix, const QString &destDir) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!destDir.isEmpty())
        env.insert(QStringLiteral("DESTDIR"), destDir);
    // Only the default component: its manifest goes to install_manifest_Unspecified.txt and
    // the user's own install_manifest.txt, needed to uninstall, stays as it is.
    return run(QStringLiteral(METER_CMAKE),
               {QStringLiteral("--install"), m_buildDir, QStringLiteral("--prefix"), prefix,
                QStringLiteral("--component"), QStringLiteral("Unspecified")},
               env);
}

QMap<QString, QString> TstPackaging::desktopEntry(const QString &file) const
{
    QMap<QString, QString> keys;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && !line.startsWith(QLatin1Char('#')))
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

void TstPackaging::initTestCase()
{
    m_buildDir = qEnvironmentVariable("METER_BUILD_DIR");
    QVERIFY2(!m_buildDir.isEmpty(), "METER_BUILD_DIR is not set");
    QVERIFY(m_tmp.isValid());
    m_prefix = m_tmp.filePath(QStringLiteral("home dir/.local"));
    m_appDir = m_prefix + QStringLiteral("/opt/ht-meter");
    m_entry = m_prefix + QStringLiteral("/share/applications/") + QStringLiteral(METER_APP_ID)
        + QStringLiteral(".desktop");
    const Run r = install(m_prefix);
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
}

void TstPackaging::layout_data()
{
    QTest::addColumn<QString>("path");
    const QString id = QStringLiteral(METER_APP_ID);
    const QStringList files {
        QStringLiteral("opt/ht-meter/ht-meter"),
        QStringLiteral("opt/ht-meter/Lib/libsimulator.so"),
        QStringLiteral("opt/ht-meter/translations/qt_zh_CN.qm"),
        QStringLiteral("opt/ht-meter/Software User Manual.pdf"),
        QStringLiteral("opt/ht-meter/ht-meter.png"),
        QStringLiteral("share/applications/%1.desktop").arg(id),
        QStringLiteral("share/metainfo/%1.metainfo.xml").arg(id),
        QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(id),
    };
    for (const QString &f : files)
        QTest::newRow(qPrintable(f)) << f;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString f = QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(id);
        QTest::newRow(qPrintable(f)) << f;
    }
    // The Chinese translation and manual go wherever the build made them.
    for (const QString &optional :
         {QStringLiteral("zh-CN.qm"), QStringLiteral("Software User Manual (Chinese).pdf")}) {
        if (QFile::exists(m_buildDir + QStringLiteral("/bin/") + optional))
            QTest::newRow(qPrintable(optional)) << QStringLiteral("opt/ht-meter/") + optional;
    }
}

void TstPackaging::layout()
{
    QFETCH(QString, path);
    const QFileInfo info(m_prefix + QLatin1Char('/') + path);
    QVERIFY2(info.isFile(), qPrintable(info.filePath()));
    QVERIFY(info.size() > 0);
    if (path.endsWith(QLatin1String(".png"))) {
        // Each theme size is drawn at its own size.
        const QString dir = info.dir().dirName() == QLatin1String("apps")
            ? info.dir().absolutePath().section(QLatin1Char('/'), -2, -2)
            : QString();
        QImage image(info.filePath());
        QVERIFY(!image.isNull());
        if (dir.contains(QLatin1Char('x')))
            QCOMPARE(QStringLiteral("%1x%2").arg(image.width()).arg(image.height()), dir);
    }
    if (path == QLatin1String("opt/ht-meter/ht-meter"))
        QVERIFY(info.isExecutable());
}

void TstPackaging::desktopEntryPointsIntoTheAppFolder()
{
    const QMap<QString, QString> keys = desktopEntry(m_entry);
    QVERIFY2(!keys.isEmpty(), qPrintable(m_entry));
    // The prefix holds a blank: the command is quoted as a whole.
    QCOMPARE(keys.value(QStringLiteral("Exec")), QStringLiteral("\"%1/ht-meter\"").arg(m_appDir));
    QCOMPARE(keys.value(QStringLiteral("TryExec")), m_appDir + QStringLiteral("/ht-meter"));
    // The working directory is the app folder, where the relative translation and manual
    // names resolve.
    QCOMPARE(keys.value(QStringLiteral("Path")), m_appDir);
    QVERIFY(QFileInfo(m_appDir + QStringLiteral("/Software User Manual.pdf")).isFile());
    const QString icon = keys.value(QStringLiteral("Icon"));
    QCOMPARE(icon, QStringLiteral(METER_APP_ID));
    QVERIFY(QFile::exists(
        QStringLiteral("%1/share/icons/hicolor/48x48/apps/%2.png").arg(m_prefix, icon)));
}

void TstPackaging::desktopEntryValidates()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (tool.isEmpty())
        QSKIP("desktop-file-validate is not installed (package desktop-file-utils)");
    const Run r = run(tool, {m_entry});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    // It reports errors and warnings on its output even when it exits with 0.
    QVERIFY2(!r.output.contains(QLatin1String("error:"))
                 && !r.output.contains(QLatin1String("warning:")),
             qPrintable(r.output));
}

void TstPackaging::metainfoValidates()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    if (tool.isEmpty())
        QSKIP("appstreamcli is not installed (package appstream)");
    const QString file = QStringLiteral("%1/share/metainfo/%2.metainfo.xml")
                             .arg(m_prefix, QStringLiteral(METER_APP_ID));
    const Run r = run(tool, {QStringLiteral("validate"), QStringLiteral("--no-net"), file});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    // The metadata names the installed desktop entry.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains(
        QByteArray("<launchable type=\"desktop-id\">" METER_APP_ID ".desktop</launchable>")));
}

void TstPackaging::manualIsPdf()
{
    QFile f(m_appDir + QStringLiteral("/Software User Manual.pdf"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    // A complete file, not one cut short by a failed build step.
    QVERIFY(pdf.right(32).contains("%%EOF"));
    QVERIFY2(pdf.size() > 100 * 1024, "the manual has lost its pictures");
}

void TstPackaging::installedPlugInLoadsWithoutTheBuildTree()
{
    // The installed module is still the meter plug-in the application looks for.
    QPluginLoader loader(m_appDir + QStringLiteral("/Lib/libsimulator.so"));
    QCOMPARE(loader.metaData().value(QStringLiteral("IID")).toString(),
             QStringLiteral("com.zr.IDmm"));

    const QString readelf = QStandardPaths::findExecutable(QStringLiteral("readelf"));
    if (readelf.isEmpty())
        QSKIP("readelf is not installed (package binutils)");
    const QString buildTree = QFileInfo(m_buildDir).canonicalFilePath();
    for (const QString &file : {m_appDir + QStringLiteral("/ht-meter"),
                                m_appDir + QStringLiteral("/Lib/libsimulator.so")}) {
        const Run r = run(readelf, {QStringLiteral("-d"), file});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        // No library search path into the build tree survives the installation.
        for (const QString &line : r.output.split(QLatin1Char('\n'))) {
            if (line.contains(QLatin1String("(RPATH)"))
                || line.contains(QLatin1String("(RUNPATH)")))
                QVERIFY2(!line.contains(buildTree) && !line.contains(m_buildDir),
                         qPrintable(file + QStringLiteral(": ") + line));
        }
    }
}

void TstPackaging::stagedInstallNamesTheFinalPrefix()
{
    // A packager installs into a staging folder (DESTDIR); the entry must name the final place.
    const QString stage = m_tmp.filePath(QStringLiteral("stage"));
    const Run r = install(QStringLiteral("/usr/local"), stage);
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    const QMap<QString, QString> keys
        = desktopEntry(stage + QStringLiteral("/usr/local/share/applications/")
                       + QStringLiteral(METER_APP_ID) + QStringLiteral(".desktop"));
    QCOMPARE(keys.value(QStringLiteral("Exec")),
             QStringLiteral("/usr/local/opt/ht-meter/ht-meter"));
    QCOMPARE(keys.value(QStringLiteral("Path")), QStringLiteral("/usr/local/opt/ht-meter"));
    QVERIFY(QFileInfo(stage + QStringLiteral("/usr/local/opt/ht-meter/ht-meter")).isExecutable());
}

void TstPackaging::uninstallLeavesTheUsersOptions()
{
    // A fresh installation, a user's options.xml in the folder, then the uninstall.
    const QString prefix = m_tmp.filePath(QStringLiteral("again"));
    Run r = install(prefix);
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    const QString appDir = prefix + QStringLiteral("/opt/ht-meter");
    QFile options(appDir + QStringLiteral("/options.xml"));
    QVERIFY(options.open(QIODevice::WriteOnly));
    options.write("<options/>\n");
    options.close();

    r = run(QStringLiteral(METER_CMAKE),
            {QStringLiteral("-DMANIFEST=%1/install_manifest_Unspecified.txt").arg(m_buildDir),
             QStringLiteral("-P"), QStringLiteral(METER_UNINSTALL_SCRIPT)});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    QVERIFY(!QFile::exists(appDir + QStringLiteral("/ht-meter")));
    QVERIFY(!QFile::exists(appDir + QStringLiteral("/Lib")));
    QVERIFY(!QFile::exists(prefix + QStringLiteral("/share/applications/")
                           + QStringLiteral(METER_APP_ID) + QStringLiteral(".desktop")));
    QVERIFY(options.exists());
}

QTEST_GUILESS_MAIN(TstPackaging)
#include "tst_packaging.moc"
