#include "idmm.h"
#include "imydmm.h"
#include "pluginloader.h"
#include "serialdeviceinf.h"
#include "serialrs232virinf.h"

#include <QtTest>

// Application folders are laid out in a temporary directory from the test plug-ins, copied
// under the names each case needs, and scanned as the application does at start-up.
class TestPluginLoader : public QObject
{
    Q_OBJECT

private slots:
    void load_data();
    void load();
};

namespace {

// Where a plug-in came from: its object name, or "-" when the interface was not found.
QString tagOf(QObject *object)
{
    return object ? object->objectName() : QStringLiteral("-");
}

QString tagsOf(const DevicePlugins &p)
{
    return QStringList {
        tagOf(p.serialDevice ? p.serialDevice->object() : nullptr),
        tagOf(dynamic_cast<QObject *>(p.portFinder)),
        tagOf(p.dmm ? p.dmm->object() : nullptr),
        tagOf(p.myDmm ? p.myDmm->object() : nullptr),
    }
        .join(QLatin1Char(','));
}

QString sourceFile(const QString &key)
{
    static const QHash<QString, QString> files {
        {QStringLiteral("full-a"), QStringLiteral(FULL_A_PLUGIN)},
        {QStringLiteral("full-b"), QStringLiteral(FULL_B_PLUGIN)},
        {QStringLiteral("link"), QStringLiteral(LINK_PLUGIN)},
        {QStringLiteral("meter"), QStringLiteral(METER_PLUGIN)},
        {QStringLiteral("plain"), QStringLiteral(PLAIN_LIBRARY)},
    };
    return files.value(key);
}

} // namespace

void TestPluginLoader::load_data()
{
    // layout: "path <- source" entries; a source "dir" makes a folder, "text" a text file.
    QTest::addColumn<QStringList>("layout");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("tags"); // serial device, port finder, meter, meter commands

    QTest::newRow("one plug-in with all four")
        << QStringList {"Lib/full.so <- full-a"} << true << "a,a,a,a";
    QTest::newRow("split, serial half first")
        << QStringList {"Lib/a_link.so <- link", "Lib/b_meter.so <- meter"} << true
        << "link,link,meter,meter";
    QTest::newRow("split, meter half first")
        << QStringList {"Lib/a_meter.so <- meter", "Lib/b_link.so <- link"} << true
        << "link,link,meter,meter";
    QTest::newRow("only the serial half")
        << QStringList {"Lib/link.so <- link"} << false << "link,link,-,-";
    QTest::newRow("empty Lib") << QStringList {"Lib <- dir"} << false << "-,-,-,-";
    QTest::newRow("no Lib folder: the application folder is scanned")
        << QStringList {"full.so <- full-a"} << true << "a,a,a,a";
    QTest::newRow("Lib folder present: the application folder is not scanned")
        << QStringList {"Lib <- dir", "full.so <- full-a"} << false << "-,-,-,-";
    QTest::newRow("suffix in capitals")
        << QStringList {"Lib/FULL.SO <- full-a"} << true << "a,a,a,a";
    QTest::newRow("name goes on after the suffix")
        << QStringList {"Lib/full.so.1 <- full-a"} << false << "-,-,-,-";
    QTest::newRow("other suffix") << QStringList {"Lib/full.dat <- full-a"} << false << "-,-,-,-";
    QTest::newRow("library that is not a plug-in is skipped")
        << QStringList {"Lib/a.so <- link", "Lib/b.so <- plain", "Lib/c.so <- meter"} << true
        << "link,link,meter,meter";
    QTest::newRow("only a library that is not a plug-in")
        << QStringList {"Lib/plain.so <- plain"} << false << "-,-,-,-";
    QTest::newRow("text file and folder with the suffix")
        << QStringList {"Lib/bogus.so <- text", "Lib/folder.so <- dir", "Lib/z.so <- full-b"}
        << true << "b,b,b,b";
    // The names sort without regard to case: "alpha" < "Beta", although 'B' < 'a'.
    QTest::newRow("later name wins (a last)")
        << QStringList {"Lib/alpha.so <- full-b", "Lib/Beta.so <- full-a"} << true << "a,a,a,a";
    QTest::newRow("later name wins (b last)")
        << QStringList {"Lib/alpha.so <- full-a", "Lib/Beta.so <- full-b"} << true << "b,b,b,b";
    QTest::newRow("later plug-in replaces only its own interfaces")
        << QStringList {"Lib/1.so <- full-a", "Lib/2.so <- meter"} << true << "a,a,meter,meter";
    QTest::newRow("upper-case name sorts by its letters")
        << QStringList {"Lib/LINK.so <- link", "Lib/full.so <- full-b"} << true << "link,link,b,b";
}

void TestPluginLoader::load()
{
    QFETCH(QStringList, layout);
    QFETCH(bool, complete);
    QFETCH(QString, tags);

    QTemporaryDir appDir;
    QVERIFY(appDir.isValid());
    const QDir root(appDir.path());
    for (const QString &entry : layout) {
        const QStringList parts = entry.split(QStringLiteral(" <- "));
        QCOMPARE(parts.size(), 2);
        const QString target = root.filePath(parts[0]);
        QVERIFY(root.mkpath(QFileInfo(target).path()));
        if (parts[1] == QLatin1String("dir")) {
            QVERIFY(root.mkpath(parts[0]));
        } else if (parts[1] == QLatin1String("text")) {
            QFile file(target);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("not a library\n");
        } else {
            const QString source = sourceFile(parts[1]);
            QVERIFY2(QFile::copy(source, target), qPrintable(source));
        }
    }

    DevicePlugins plugins;
    QCOMPARE(PluginLoader::load(appDir.path(), plugins), complete);
    QCOMPARE(plugins.complete(), complete);
    QCOMPARE(tagsOf(plugins), tags);
}

QTEST_GUILESS_MAIN(TestPluginLoader)
#include "tst_pluginloader.moc"
