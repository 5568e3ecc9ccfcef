#include "childrun.h"
#include "singleinstanceguard.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSharedMemory>
#include <QSystemSemaphore>
#include <QTest>

#include <memory>
#include <vector>

using ProcessPtr = std::unique_ptr<QProcess>;

// The user id of the second user the suite runs copies as (nobody).
constexpr unsigned otherUserId = 65534;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void secondGuardInSameProcess();
    void secondProcessLeavesFirstRunning();
    void startAfterCrash_data();
    void startAfterCrash();
    void simultaneousStarts_data();
    void simultaneousStarts();
    void otherUsersAreNotKeptOut_data();
    void otherUsersAreNotKeptOut();
    void realApplication();

private:
    ProcessPtr startGuard(qint64 startAt = 0) const;
    // A copy that takes the keys of the user it runs as, behind `prefix` (otherUserPrefix()).
    ProcessPtr startUserGuard(const QStringList &prefix) const;
    static QString firstLine(QProcess &process, int timeoutMs = 10000);
    void removeLeftovers() const;
    static void removeLeftovers(const QString &semaphoreKey, const QString &markerKey);

    // Keys of their own per build tree, so that the suite never meets a running application
    // or a suite run from another build.
    QString m_semaphoreKey;
    QString m_markerKey;
};

void TestSingleInstance::initTestCase()
{
    const QByteArray tree = qgetenv("METER_BUILD_DIR");
    const QString tag = QString::fromLatin1(
        QCryptographicHash::hash(tree, QCryptographicHash::Sha1).toHex().left(8));
    m_semaphoreKey = QStringLiteral("VOXKey-test-") + tag;
    m_markerKey = QStringLiteral("HT905-test-") + tag;
    QVERIFY(QFileInfo(QStringLiteral(STARTUP_PROBE)).isExecutable());
}

void TestSingleInstance::init()
{
    removeLeftovers();
}

void TestSingleInstance::cleanupTestCase()
{
    removeLeftovers();
}

void TestSingleInstance::removeLeftovers() const
{
    removeLeftovers(m_semaphoreKey, m_markerKey);
    // The keys of this user and of the other user the suite runs copies as.
    for (const QString &suffix :
         {SingleInstanceGuard::userKey(QString()), QStringLiteral("-%1").arg(otherUserId)})
        removeLeftovers(m_semaphoreKey + suffix, m_markerKey + suffix);
}

void TestSingleInstance::removeLeftovers(const QString &semaphoreKey, const QString &markerKey)
{
    // Segments and semaphores of killed probes outlive them; clear them so each case starts
    // from a machine on which nothing runs, and so nothing is left behind.
    QSharedMemory marker(markerKey);
    if (marker.attach())
        marker.detach();
    // Create mode resets the count and removes the semaphore when the object goes.
    QSystemSemaphore semaphore(semaphoreKey, 1, QSystemSemaphore::Create);
}

ProcessPtr TestSingleInstance::startGuard(qint64 startAt) const
{
    ProcessPtr process(new QProcess);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments {QStringLiteral("guard"), m_semaphoreKey, m_markerKey};
    if (startAt > 0)
        arguments << QString::number(startAt);
    process->start(QStringLiteral(STARTUP_PROBE), arguments);
    return process;
}

ProcessPtr TestSingleInstance::startUserGuard(const QStringList &prefix) const
{
    ProcessPtr process(new QProcess);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList command = prefix;
    command << QStringLiteral(STARTUP_PROBE) << QStringLiteral("user-guard") << m_semaphoreKey
            << m_markerKey;
    process->start(command.takeFirst(), command);
    return process;
}

QString TestSingleInstance::firstLine(QProcess &process, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine() && !deadline.hasExpired()) {
        if (!process.waitForReadyRead(50) && process.state() == QProcess::NotRunning)
            break;
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}

void TestSingleInstance::secondGuardInSameProcess()
{
    auto first = std::make_unique<SingleInstanceGuard>(m_semaphoreKey, m_markerKey);
    QVERIFY(first->isFirstInstance());
    {
        SingleInstanceGuard second(m_semaphoreKey, m_markerKey);
        QVERIFY(!second.isFirstInstance());
    }
    // The refused guard must not have taken the marker away from the first.
    SingleInstanceGuard third(m_semaphoreKey, m_markerKey);
    QVERIFY(!third.isFirstInstance());

    first.reset();
    SingleInstanceGuard fourth(m_semaphoreKey, m_markerKey);
    QVERIFY(fourth.isFirstInstance());
}

void TestSingleInstance::secondProcessLeavesFirstRunning()
{
    ProcessPtr first = startGuard();
    QCOMPARE(firstLine(*first), QStringLiteral("first"));

    ProcessPtr second = startGuard();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(second->readAll()).trimmed(), QStringLiteral("second"));
    QCOMPARE(first->state(), QProcess::Running);

    // A normal end frees the marker for the next start.
    first->closeWriteChannel();
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(first->exitCode(), 0);
    ProcessPtr next = startGuard();
    QCOMPARE(firstLine(*next), QStringLiteral("first"));
    next->closeWriteChannel();
    QVERIFY(next->waitForFinished(10000));
}

void TestSingleInstance::startAfterCrash_data()
{
    QTest::addColumn<QString>("victim");
    QTest::addColumn<int>("crashes");

    QTest::newRow("killed while running") << QStringLiteral("guard") << 1;
    QTest::newRow("killed three times in a row") << QStringLiteral("guard") << 3;
    QTest::newRow("killed while holding the semaphore") << QStringLiteral("hold-semaphore") << 1;
}

void TestSingleInstance::startAfterCrash()
{
    QFETCH(QString, victim);
    QFETCH(int, crashes);

    for (int i = 0; i < crashes; ++i) {
        ProcessPtr crashed;
        if (victim == QLatin1String("guard")) {
            crashed = startGuard();
            QCOMPARE(firstLine(*crashed), QStringLiteral("first"));
        } else {
            crashed.reset(new QProcess);
            crashed->start(QStringLiteral(STARTUP_PROBE),
                           {QStringLiteral("hold-semaphore"), m_semaphoreKey});
            QCOMPARE(firstLine(*crashed), QStringLiteral("holding"));
        }
        crashed->kill();
        QVERIFY(crashed->waitForFinished(10000));
        QCOMPARE(crashed->exitStatus(), QProcess::CrashExit);
    }

    // The next start must neither hang on the semaphore nor take the left-over marker for a
    // running copy.
    ProcessPtr next = startGuard();
    QCOMPARE(firstLine(*next), QStringLiteral("first"));

    // ...and the marker it made excludes the copy after it, as before.
    ProcessPtr another = startGuard();
    QVERIFY(another->waitForFinished(10000));
    QCOMPARE(another->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(another->readAll()).trimmed(), QStringLiteral("second"));
    QCOMPARE(next->state(), QProcess::Running);

    next->closeWriteChannel();
    QVERIFY(next->waitForFinished(10000));
}

void TestSingleInstance::simultaneousStarts_data()
{
    QTest::addColumn<bool>("afterCrash");

    QTest::newRow("nothing ran before") << false;
    QTest::newRow("a crashed copy left its marker") << true;
}

void TestSingleInstance::simultaneousStarts()
{
    QFETCH(bool, afterCrash);
    const int rounds = 5;
    const int copies = 4;

    for (int round = 0; round < rounds; ++round) {
        removeLeftovers();
        if (afterCrash) {
            ProcessPtr crashed = startGuard();
            QCOMPARE(firstLine(*crashed), QStringLiteral("first"));
            crashed->kill();
            QVERIFY(crashed->waitForFinished(10000));
        }

        const qint64 startAt = QDateTime::currentMSecsSinceEpoch() + 400;
        std::vector<ProcessPtr> started;
        for (int i = 0; i < copies; ++i)
            started.push_back(startGuard(startAt));

        int firsts = 0;
        for (ProcessPtr &process : started) {
            const QString said = firstLine(*process);
            if (said == QLatin1String("first")) {
                ++firsts;
            } else {
                QCOMPARE(said, QStringLiteral("second"));
                QVERIFY(process->waitForFinished(10000));
                QCOMPARE(process->exitCode(), 0);
            }
        }
        QCOMPARE(firsts, 1);
        for (ProcessPtr &process : started) {
            process->closeWriteChannel();
            process->waitForFinished(10000);
        }
    }
}

void TestSingleInstance::otherUsersAreNotKeptOut_data()
{
    QTest::addColumn<bool>("crashed");
    QTest::newRow("a copy of root's runs") << false;
    QTest::newRow("a copy of root's crashed") << true;
}

// Each user has a copy of their own: what root's copy holds, or left behind when it crashed
// (private to root), keeps nobody else out; the other user still gets only one copy.
void TestSingleInstance::otherUsersAreNotKeptOut()
{
    QFETCH(bool, crashed);
    const QStringList asOtherUser = otherUserPrefix(otherUserId);
    if (asOtherUser.isEmpty())
        QSKIP("starting a copy as another user needs root and setpriv");

    ProcessPtr rootCopy = startUserGuard({});
    QCOMPARE(firstLine(*rootCopy), QStringLiteral("first"));
    if (crashed) {
        rootCopy->kill();
        QVERIFY(rootCopy->waitForFinished(10000));
    }

    ProcessPtr other = startUserGuard(asOtherUser);
    QCOMPARE(firstLine(*other), QStringLiteral("first"));
    ProcessPtr otherAgain = startUserGuard(asOtherUser);
    QVERIFY(otherAgain->waitForFinished(10000));
    QCOMPARE(otherAgain->exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(otherAgain->readAll()).trimmed(), QStringLiteral("second"));

    // Root's own keys work as before: one copy, or a new one after the crash.
    ProcessPtr rootAgain = startUserGuard({});
    QCOMPARE(firstLine(*rootAgain), crashed ? QStringLiteral("first") : QStringLiteral("second"));
    for (ProcessPtr *process : {&rootCopy, &other, &rootAgain}) {
        (*process)->closeWriteChannel();
        (*process)->waitForFinished(10000);
    }
}

void TestSingleInstance::realApplication()
{
    const QString runtimeDir = qEnvironmentVariable("METER_BUILD_DIR") + QStringLiteral("/bin");
    const QString program = runtimeDir + QStringLiteral("/ht-meter");
    if (!QFileInfo(program).isExecutable())
        QSKIP("the application is not built in this tree");

    auto launch = [&] {
        ProcessPtr process(new QProcess);
        process->setWorkingDirectory(runtimeDir);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(program, QStringList());
        process->waitForStarted(10000);
        return process;
    };

    ProcessPtr first = launch();
    if (first->waitForFinished(3000))
        QSKIP("ht-meter ended by itself (another copy runs on this machine?)");

    ProcessPtr second = launch();
    QVERIFY2(second->waitForFinished(10000), "a second copy must leave at once");
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);

    first->kill();
    first->waitForFinished(10000);
    ProcessPtr afterCrash = launch();
    QVERIFY2(!afterCrash->waitForFinished(3000), "a crashed copy must not keep the next out");
    afterCrash->kill();
    afterCrash->waitForFinished(10000);

    // Clear the marker the killed copy left; a copy started by someone else keeps its own.
    SingleInstanceGuard tidy(SingleInstanceGuard::userKey(QStringLiteral("VOXKey")),
                             SingleInstanceGuard::userKey(QStringLiteral("HT905")));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
