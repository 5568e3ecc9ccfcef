// Kills the real ht-meter (SIGKILL) while it records or downloads fast, starts it again and
// compares what came back with what the program held: every reading it held a second before
// the kill is back, in order, none twice. The program runs on the simulated meter in a
// runtime folder of the test's own, driven by a preloaded library (crashdriver.cpp), in an
// IPC namespace of its own when the test runs as root (ht-meter runs once per machine).

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

namespace {

struct Log
{
    QList<QByteArray> readings; // "R ..." lines, in order
    QList<QPair<qint64, int>> marks; // the time and the number of readings logged by then
    QByteArray status;
};

Log readLog(const QString &path)
{
    Log log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return log;
    // The last line may have been cut by the kill.
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (line.startsWith("R "))
            log.readings << line;
        else if (line == "C")
            log.readings.clear();
        else if (line.startsWith("M "))
            log.marks << qMakePair(line.split(' ').value(1).toLongLong(),
                                   line.split(' ').value(2).toInt());
        else if (line.startsWith("STATUS "))
            log.status = line.mid(7);
    }
    return log;
}

// Field n of a reading line: 1 the time, 2 the stored time, ... the store index last.
QByteArray field(const QByteArray &reading, int n)
{
    return reading.split(' ').value(n);
}

} // namespace

class TestStoreCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killed_data();
    void killed();

private:
    QProcess *start(const QString &phase, const QString &item, const QStringList &environment);

    QTemporaryDir runtime;
    QString program;
};

void TestStoreCrash::initTestCase()
{
    const QString built = qEnvironmentVariable("METER_BUILD_DIR") + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(runtime.filePath(QStringLiteral("Lib"))));
    program = runtime.filePath(QStringLiteral("ht-meter"));
    QVERIFY2(QFile::copy(built + QStringLiteral("/ht-meter"), program), qPrintable(built));
    QVERIFY(QFile::copy(built + QStringLiteral("/Lib/libsimulator.so"),
                        runtime.filePath(QStringLiteral("Lib/libsimulator.so"))));
    QVERIFY(QFileInfo::exists(QStringLiteral(CRASH_DRIVER)));
}

QProcess *TestStoreCrash::start(const QString &phase, const QString &item,
                                const QStringList &environment)
{
    auto *process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(PRELOAD_FIRST CRASH_DRIVER));
    env.insert(QStringLiteral("METER_SIM_PORT"), QStringLiteral("virtual"));
    env.insert(QStringLiteral("METER_CRASH_PHASE"), phase);
    env.insert(QStringLiteral("METER_CRASH_ITEM"), item);
    env.insert(QStringLiteral("METER_CRASH_LOG"), runtime.filePath(QStringLiteral("crash.log")));
    env.insert(QStringLiteral("METER_CRASH_DUMP"), runtime.filePath(QStringLiteral("dump.log")));
    // A program that is killed has no leaks to report; under the sanitizers it records at a
    // useful pace only with the quick stack walk.
    if (phase != QLatin1String("verify") && env.contains(QStringLiteral("ASAN_OPTIONS")))
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS"))
                       + QStringLiteral(":fast_unwind_on_malloc=1:detect_leaks=0"));
    for (const QString &setting : environment)
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(runtime.path());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // unshare replaces itself with the program: the process to kill is the program itself.
    if (::geteuid() == 0)
        process->start(QStringLiteral("unshare"), {QStringLiteral("--ipc"), program});
    else
        process->start(program, QStringList());
    return process;
}

void TestStoreCrash::killed_data()
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("killAfter");
    QTest::addColumn<QStringList>("environment");
    QTest::newRow("recording a reading a millisecond")
        << "record"
        << "Measure1" << 2500 << QStringList {"METER_SIM_INTERVAL_MS=1"};
    QTest::newRow("downloading") << "download"
                                 << "Store Data" << 3000
                                 << QStringList {"METER_SIM_INTERVAL_MS=1",
                                                 "METER_SIM_STORE_COUNT=1000000"};
}

void TestStoreCrash::killed()
{
    QFETCH(QString, phase);
    QFETCH(QString, item);
    QFETCH(int, killAfter);
    QFETCH(QStringList, environment);
    for (const char *name :
         {"measurements.db", "measurements.db-wal", "measurements.db-shm", "crash.log", "dump.log"})
        QFile::remove(runtime.filePath(QLatin1String(name)));
    // Every reading is recorded, however fast they come.
    QFile options(runtime.filePath(QStringLiteral("options.xml")));
    QVERIFY(options.open(QIODevice::WriteOnly));
    options.write("<options><SampleRate>0</SampleRate><Infinite>1</Infinite></options>\n");
    options.close();

    QProcess *running = start(phase, item, environment);
    QVERIFY(running->waitForStarted());
    const QString logPath = runtime.filePath(QStringLiteral("crash.log"));
    QVERIFY2(QTest::qWaitFor([&] { return readLog(logPath).readings.size() >= killAfter; }, 60000),
             qPrintable(
                 QStringLiteral("only %1 readings logged").arg(readLog(logPath).readings.size())));
    // Readings may come in large groups (a download): wait until some were held for a second.
    QVERIFY(QTest::qWaitFor(
        [&] {
            const qint64 heldBefore = QDateTime::currentMSecsSinceEpoch() - 1200;
            for (const auto &mark : readLog(logPath).marks) {
                if (mark.first <= heldBefore && mark.second > 0)
                    return true;
            }
            return false;
        },
        60000));
    QThread::msleep(QRandomGenerator::global()->bounded(300));
    const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
    running->kill();
    QVERIFY(running->waitForFinished());
    QCOMPARE(running->exitStatus(), QProcess::CrashExit);

    const Log before = readLog(logPath);
    int required = 0;
    for (const auto &mark : before.marks) {
        if (mark.first <= killedAt - 1000)
            required = mark.second;
    }
    QVERIFY2(required > 0, "nothing was held a second before the kill");

    QProcess *again = start(QStringLiteral("verify"), item, environment);
    QVERIFY(again->waitForFinished(60000));
    QCOMPARE(again->exitStatus(), QProcess::NormalExit);
    QCOMPARE(again->exitCode(), 0);
    const Log after = readLog(runtime.filePath(QStringLiteral("dump.log")));

    QVERIFY2(after.readings.size() >= required,
             qPrintable(QStringLiteral("%1 readings came back, %2 were held a second before the "
                                       "kill (%3 logged in all)")
                            .arg(after.readings.size())
                            .arg(required)
                            .arg(before.readings.size())));
    // The same readings in the same order, as far as the log reaches.
    const int compared = qMin(after.readings.size(), before.readings.size());
    for (int i = 0; i < compared; ++i)
        QVERIFY2(after.readings.at(i) == before.readings.at(i),
                 qPrintable(QStringLiteral("reading %1 came back as\n%2\ninstead of\n%3")
                                .arg(i)
                                .arg(QString::fromUtf8(after.readings.at(i)),
                                     QString::fromUtf8(before.readings.at(i)))));
    // Beyond it nothing is repeated or out of order either.
    for (int i = 1; i < after.readings.size(); ++i) {
        if (phase == QLatin1String("download"))
            QCOMPARE(field(after.readings.at(i), 16).toInt(),
                     field(after.readings.at(i - 1), 16).toInt() + 1);
        else
            QVERIFY(field(after.readings.at(i), 1).toLongLong()
                    >= field(after.readings.at(i - 1), 1).toLongLong());
    }
    QCOMPARE(after.status,
             QStringLiteral("The last session did not end normally: %1 readings were recovered.")
                 .arg(after.readings.size())
                 .toUtf8());
    qInfo("%s: %d readings logged, %d held a second before the kill, %d came back",
          qPrintable(phase), int(before.readings.size()), required, int(after.readings.size()));
}

QTEST_GUILESS_MAIN(TestStoreCrash)
#include "tst_storecrash.moc"
