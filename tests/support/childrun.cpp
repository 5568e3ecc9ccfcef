#include "childrun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
const char childMarker[] = "METER_TEST_CHILD";
}

bool isChildRun()
{
    return qEnvironmentVariableIsSet(childMarker);
}

ChildRun rerunInChild(const QString &testRow, const QStringList &environment,
                      const QStringList &prefix)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(childMarker), QStringLiteral("1"));
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));

    QStringList command = prefix;
    command << QCoreApplication::applicationFilePath() << testRow;
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.takeFirst(), command);

    ChildRun run;
    run.started = process.waitForStarted(10000);
    if (run.started && !process.waitForFinished(120000))
        process.kill();
    process.waitForFinished(10000);
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromLocal8Bit(process.readAll());
    if (!run.started)
        run.output += process.errorString();
    return run;
}

QStringList otherUserPrefix(unsigned id)
{
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        return {};
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        return {};
    return {setpriv, QStringLiteral("--reuid=%1").arg(id), QStringLiteral("--regid=%1").arg(id),
            QStringLiteral("--clear-groups")};
#else
    Q_UNUSED(id)
    return {};
#endif
}
