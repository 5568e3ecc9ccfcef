#include "childrun.h"
#include "optionsfile.h"
#include "scratchfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The fields a read found, in file order, as "Name=value" joined by ';'.
QString describe(const OptionsFound &f)
{
    QStringList parts;
    if (f.geometry)
        parts << QStringLiteral("Geometry=") + QString::fromLatin1(f.geometry->toHex());
    if (f.state)
        parts << QStringLiteral("State=") + QString::fromLatin1(f.state->toHex());
    if (f.splitterState)
        parts << QStringLiteral("SplitterState=") + QString::fromLatin1(f.splitterState->toHex());
    if (f.splitter2State)
        parts << QStringLiteral("Splitter2State=") + QString::fromLatin1(f.splitter2State->toHex());
    if (f.language)
        parts << QStringLiteral("Language=") + *f.language;
    if (f.samplePoints)
        parts << QStringLiteral("SamplePoints=%1").arg(*f.samplePoints);
    if (f.infinite)
        parts << QStringLiteral("Infinite=%1").arg(int(*f.infinite));
    if (f.sampleRate)
        parts << QStringLiteral("SampleRate=%1").arg(*f.sampleRate);
    if (f.skipRepeat)
        parts << QStringLiteral("SkipRepeat=%1").arg(int(*f.skipRepeat));
    return parts.join(QLatin1Char(';'));
}

bool writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

OptionsRecord sampleRecord()
{
    OptionsRecord r;
    r.geometry = QByteArray::fromHex("01ab");
    r.splitterState = QByteArray::fromHex("ff");
    r.splitter2State = QByteArray::fromHex("0010");
    r.options.Language = QStringLiteral("zh-CN");
    r.options.SamplePoints = -5;
    r.options.Infinite = false;
    r.options.SampleRate = 250;
    r.options.SkipRepeat = true;
    return r;
}

} // namespace

class TestOptionsFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileFindsNothing();
    void read_data();
    void read();
    void readLanguage_data();
    void readLanguage();
    void writeIsByteExact();
    void writeThenReadGivesEveryValueBack();
    void writeFailureKeepsOldFile_data();
    void writeFailureKeepsOldFile();
    void interruptedWrite_data();
    void interruptedWrite();

private:
    // Permissions do not bind root: as root the row runs again as another user. True when it
    // did (its result is the row's) or had to be skipped.
    bool handedToAnotherUser();
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("options.xml")); }
    QStringList entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

void TestOptionsFile::init()
{
    QVERIFY(m_dir.isValid());
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir dir(m_dir.path());
    for (const QString &name : entries()) {
        QFileInfo info(dir.filePath(name));
        QVERIFY(info.isDir() ? QDir(info.filePath()).removeRecursively() : dir.remove(name));
    }
}

bool TestOptionsFile::handedToAnotherUser()
{
    if (::geteuid() != 0)
        return false;
    const QStringList asOtherUser = otherUserPrefix();
    if (asOtherUser.isEmpty()) {
        QTest::qSkip("permissions do not bind root, and setpriv is missing", __FILE__, __LINE__);
        return true;
    }
    const QString row = QStringLiteral("%1:%2").arg(QLatin1String(QTest::currentTestFunction()),
                                                    QLatin1String(QTest::currentDataTag()));
    const ChildRun run = rerunInChild(row, {}, asOtherUser);
    QTest::qVerify(run.passed(), "run.passed()", qPrintable(run.output), __FILE__, __LINE__);
    return true;
}

void TestOptionsFile::missingFileFindsNothing()
{
    QVERIFY(OptionsFile::read(path()).isEmpty());
    QVERIFY(OptionsFile::readLanguage(path()).isNull());

    // Nor does a file far larger than any the window writes, however it begins.
    QByteArray huge = "<options><Language>en-US</Language><SampleRate>9</SampleRate><State>";
    huge += QByteArray(2 * 1024 * 1024, 'a') + "</State></options>";
    QVERIFY(writeText(path(), huge));
    QVERIFY(OptionsFile::read(path()).isEmpty());
    QVERIFY(OptionsFile::readLanguage(path()).isEmpty());
    QVERIFY(QFile::remove(path()));

    MeterOptions options;
    OptionsFile::read(path()).applyTo(options);
    QCOMPARE(options.Language, QStringLiteral("Default"));
    QCOMPARE(options.SampleRate, 500);
}

void TestOptionsFile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("found");

    QTest::newRow("only SampleRate")
        << QByteArray("<?xml version=\"1.0\"?><options><SampleRate>1000</SampleRate></options>")
        << "SampleRate=1000";
    QTest::newRow("reordered and nested")
        << QByteArray("<options><SkipRepeat>1</SkipRepeat><group><deeper><Language>en-US"
                      "</Language></deeper></group><Geometry>0aff</Geometry></options>")
        << "Geometry=0aff;Language=en-US;SkipRepeat=1";
    QTest::newRow("other root name")
        << QByteArray("<settings><SamplePoints>42</SamplePoints></settings>") << "SamplePoints=42";
    QTest::newRow("repeated element, last wins")
        << QByteArray("<options><SampleRate>100</SampleRate><SampleRate>200</SampleRate></options>")
        << "SampleRate=200";
    QTest::newRow("empty elements ignored")
        << QByteArray("<options><SampleRate></SampleRate><Language/><Infinite>\n  </Infinite>"
                      "</options>")
        << "";
    QTest::newRow("Infinite 2 is true, text is not a number")
        << QByteArray("<options><Infinite>2</Infinite><SkipRepeat>true</SkipRepeat></options>")
        << "Infinite=1;SkipRepeat=0";
    QTest::newRow("Infinite true is false")
        << QByteArray("<options><Infinite>true</Infinite></options>") << "Infinite=0";
    QTest::newRow("numbers that do not parse are 0")
        << QByteArray("<options><SamplePoints>12abc</SamplePoints><SampleRate>0x10</SampleRate>"
                      "</options>")
        << "SamplePoints=0;SampleRate=0";
    QTest::newRow("names are case-sensitive")
        << QByteArray("<options><language>en-US</language><SAMPLERATE>9</SAMPLERATE></options>")
        << "";
    QTest::newRow("unknown element's text is not carried over")
        << QByteArray("<options><Unknown>x</Unknown>stray<Language>zh-CN</Language></options>")
        << "Language=zh-CN";
    QTest::newRow("values before a parse error are kept")
        << QByteArray("<options><SampleRate>300</SampleRate><Language>en-US</Language><<broken/>"
                      "<SamplePoints>5</SamplePoints></options>")
        << "Language=en-US;SampleRate=300";
    QTest::newRow("unterminated document")
        << QByteArray("<options><Infinite>0</Infinite><SampleRate>7</SampleRate><Sample")
        << "Infinite=0;SampleRate=7";
    // Values that cannot be meant are treated as missing, so an earlier one stays.
    QTest::newRow("negative period and count")
        << QByteArray("<options><SampleRate>250</SampleRate><SampleRate>-1</SampleRate>"
                      "<SamplePoints>-1</SamplePoints><Infinite>0</Infinite></options>")
        << "Infinite=0;SampleRate=250";
    QTest::newRow("language that is not a plain name")
        << QByteArray("<options><Language>zh-CN</Language><Language>../x</Language>"
                      "<Language>/tmp/zh-CN</Language><Language>a b</Language></options>")
        << "Language=zh-CN";
    QTest::newRow("all four blobs")
        << QByteArray("<options><State>00</State><Splitter2State>beef</Splitter2State>"
                      "<SplitterState>CAFE</SplitterState><Geometry>01</Geometry></options>")
        << "Geometry=01;State=00;SplitterState=cafe;Splitter2State=beef";
}

void TestOptionsFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, found);
    QVERIFY(writeText(path(), content));
    const OptionsFound result = OptionsFile::read(path());
    QCOMPARE(describe(result), found);

    // Options the file did not hold keep the caller's values.
    MeterOptions options;
    options.SampleRate = 123;
    options.Language = QStringLiteral("keep");
    result.applyTo(options);
    QCOMPARE(options.SampleRate, result.sampleRate.value_or(123));
    QCOMPARE(options.Language, result.language.value_or(QStringLiteral("keep")));
    QCOMPARE(options.Infinite, result.infinite.value_or(true));
}

void TestOptionsFile::readLanguage_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("language");

    QTest::newRow("written file") << QByteArray("<options><Geometry>01</Geometry><Language>en-US"
                                                "</Language><SampleRate>5</SampleRate></options>")
                                  << "en-US";
    QTest::newRow("no Language") << QByteArray("<options><SampleRate>5</SampleRate></options>")
                                 << "";
    QTest::newRow("lower case") << QByteArray("<options><language>en-US</language></options>")
                                << "";
    QTest::newRow("last wins") << QByteArray("<x><Language>zh-CN</Language><Language>en-US"
                                             "</Language></x>")
                               << "en-US";
    QTest::newRow("a path is no language")
        << QByteArray("<options><Language>../x</Language></options>") << "";
    QTest::newRow("a path after a plain name")
        << QByteArray("<options><Language>en-US</Language><Language>..\\x</Language></options>")
        << "en-US";
    QTest::newRow("parse error after it")
        << QByteArray("<options><Language>zh-CN</Language><</options>") << "zh-CN";
}

void TestOptionsFile::readLanguage()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, language);
    QVERIFY(writeText(path(), content));
    QCOMPARE(OptionsFile::readLanguage(path()), language);
}

void TestOptionsFile::writeIsByteExact()
{
    QVERIFY(OptionsFile::write(path(), sampleRecord()));
    const QByteArray expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<options>\n"
                                "    <Geometry>01ab</Geometry>\n"
                                "    <State></State>\n"
                                "    <SplitterState>ff</SplitterState>\n"
                                "    <Splitter2State>0010</Splitter2State>\n"
                                "    <Language>zh-CN</Language>\n"
                                "    <SamplePoints>-5</SamplePoints>\n"
                                "    <Infinite>0</Infinite>\n"
                                "    <SampleRate>250</SampleRate>\n"
                                "    <SkipRepeat>1</SkipRepeat>\n"
                                "</options>\n";
    QCOMPARE(readBytes(path()), expected);

    // The defaults of a first run.
    QVERIFY(OptionsFile::write(path(), OptionsRecord()));
    const QByteArray defaults = readBytes(path());
    QVERIFY(defaults.contains("    <Language>Default</Language>\n"
                              "    <SamplePoints>1000</SamplePoints>\n"
                              "    <Infinite>1</Infinite>\n"
                              "    <SampleRate>500</SampleRate>\n"
                              "    <SkipRepeat>0</SkipRepeat>\n"));
    QCOMPARE(entries(), QStringList {QStringLiteral("options.xml")});
}

void TestOptionsFile::writeThenReadGivesEveryValueBack()
{
    OptionsRecord record = sampleRecord();
    QByteArray blob(256, '\0');
    for (int i = 0; i < blob.size(); ++i)
        blob[i] = char(i);
    record.state = blob;
    record.options.Language = QStringLiteral("<&\"é>");
    record.options.SamplePoints = 5;
    QVERIFY(OptionsFile::write(path(), record));

    const OptionsFound found = OptionsFile::read(path());
    QCOMPARE(found.geometry.value_or(QByteArray()), record.geometry);
    QCOMPARE(found.state.value_or(QByteArray()), blob);
    QCOMPARE(found.splitterState.value_or(QByteArray()), record.splitterState);
    QCOMPARE(found.splitter2State.value_or(QByteArray()), record.splitter2State);
    MeterOptions options;
    found.applyTo(options);
    QCOMPARE(options.SamplePoints, 5);
    QCOMPARE(options.Infinite, false);
    QCOMPARE(options.SampleRate, 250);
    QCOMPARE(options.SkipRepeat, true);
}

void TestOptionsFile::writeFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("missing directory") << "missing-dir";
    QTest::newRow("target is a directory") << "target-is-dir";
    QTest::newRow("read-only file") << "readonly-file";
    QTest::newRow("read-only file in a read-only directory") << "readonly-dir";
}

void TestOptionsFile::writeFailureKeepsOldFile()
{
    QFETCH(QString, how);
    QString target = path();
    const QByteArray old = "<options><SampleRate>77</SampleRate></options>";

    if (how == QLatin1String("missing-dir")) {
        target = m_dir.filePath(QStringLiteral("nowhere/options.xml"));
    } else if (how == QLatin1String("target-is-dir")) {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("options.xml")));
        QVERIFY(writeText(m_dir.filePath(QStringLiteral("options.xml/keep")), old));
    } else {
        if (handedToAnotherUser())
            return;
        QVERIFY(writeText(target, old));
        QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));
        if (how == QLatin1String("readonly-dir"))
            QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    }

    const QStringList before = entries();
    const bool written = OptionsFile::write(target, sampleRecord());
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!written);
    QCOMPARE(entries(), before); // no temporary file left behind
    if (how == QLatin1String("target-is-dir"))
        QCOMPARE(readBytes(m_dir.filePath(QStringLiteral("options.xml/keep"))), old);
    else if (how != QLatin1String("missing-dir"))
        QCOMPARE(readBytes(target), old);
}

void TestOptionsFile::interruptedWrite_data()
{
    QTest::addColumn<QString>("how");
    // The file size limit makes the writes fail part-way, as a disk that fills up does.
    QTest::newRow("the old file stays") << "limit";
    // No temporary file can be made there: a writable options.xml is written over.
    QTest::newRow("in a read-only folder, written in place") << "limit, read-only folder";
    // A small file system that is really full.
    QTest::newRow("full disk") << "full disk";
}

void TestOptionsFile::interruptedWrite()
{
    QFETCH(QString, how);
    const bool readOnlyFolder = how.endsWith(QLatin1String("read-only folder"));
    if (readOnlyFolder && handedToAnotherUser())
        return;
    const bool full = how == QLatin1String("full disk");
    std::optional<ScratchFolder> disk;
    if (full) {
        disk.emplace(ScratchFolder::Small, 64 * 1024);
        if (!disk->isReady())
            QSKIP(qPrintable(disk->reason()));
    }
    const QString folder = full ? disk->path() : m_dir.path();
    const QString target = QDir(folder).filePath(QStringLiteral("options.xml"));
    QVERIFY(OptionsFile::write(target, sampleRecord()));
    const QByteArray old = readBytes(target);
    if (readOnlyFolder)
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));

    OptionsRecord big = sampleRecord();
    big.geometry = QByteArray(8192, '\x5a');

    bool written = false;
    if (full) {
        QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(1024, 'f');
        while (filler.write(block) == block.size() && filler.flush()) { }
        filler.close();
        written = OptionsFile::write(target, big);
        QVERIFY(filler.remove());
    } else {
        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 512;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        written = OptionsFile::write(target, big);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

    QVERIFY(!written);
    if (!readOnlyFolder)
        QCOMPARE(readBytes(target), old);
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList {QStringLiteral("options.xml")});

    // With room again the same write goes through.
    QVERIFY(OptionsFile::write(target, big));
    QCOMPARE(OptionsFile::read(target).geometry.value_or(QByteArray()), big.geometry);
}

QTEST_GUILESS_MAIN(TestOptionsFile)
#include "tst_optionsfile.moc"
