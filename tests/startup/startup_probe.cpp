// A stand-in for the application's start-up that the start-up tests run as real processes.
//
//   startup_probe guard <semaphore key> <marker key> [start at, ms since the epoch]
//       takes the single-instance guard and prints "first" or "second". A second copy exits
//       at once with 0; the first keeps the guard until its standard input ends.
//   startup_probe user-guard <semaphore key> <marker key>
//       the same with the keys made the running user's, as the application makes them.
//   startup_probe hold-semaphore <semaphore key>
//       acquires the semaphore, prints "holding" and keeps it until killed.
//   startup_probe language
//       reads the language from options.xml beside this executable, installs the
//       translations and prints what they give.

#include "singleinstanceguard.h"
#include "startup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QSystemSemaphore>
#include <QThread>
#include <QTranslator>

#include <iostream>
#include <string>

static void say(const QString &line)
{
    std::cout << line.toStdString() << std::endl;
}

static int runGuard(const QString &semaphoreKey, const QString &markerKey, qint64 startAt)
{
    // Copies started together wait for a common moment so that they really compete.
    const qint64 wait = startAt - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0)
        QThread::msleep(static_cast<unsigned long>(wait));

    SingleInstanceGuard guard(semaphoreKey, markerKey);
    if (!guard.isFirstInstance()) {
        say(QStringLiteral("second"));
        return 0;
    }
    say(QStringLiteral("first"));
    std::string line;
    while (std::getline(std::cin, line)) { }
    return 0;
}

static int holdSemaphore(const QString &semaphoreKey)
{
    QSystemSemaphore semaphore(semaphoreKey, 1, QSystemSemaphore::Open);
    if (!semaphore.acquire())
        return 2;
    say(QStringLiteral("holding"));
    for (;;)
        QThread::sleep(60);
}

static int runLanguage(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString localeBefore = QLocale().name();
    const QString language = readOptionLanguage();
    QTranslator appTranslator;
    QTranslator toolkitTranslator;
    const TranslationSetup setup
        = installTranslations(app, language, appTranslator, toolkitTranslator);
    say(QStringLiteral("language=") + language);
    say(QStringLiteral("found=") + QString::number(setup.fileFound));
    say(QStringLiteral("hello=") + QCoreApplication::translate("StartupProbe", "Hello"));
    say(QStringLiteral("toolkit=") + QCoreApplication::translate("ToolkitProbe", "Cancel"));
    say(QStringLiteral("localeChanged=") + QString::number(QLocale().name() != localeBefore));
    say(QStringLiteral("locale=") + QLocale().name());
    return 0;
}

int main(int argc, char *argv[])
{
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("guard") && argc >= 4)
        return runGuard(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                        argc > 4 ? QByteArray(argv[4]).toLongLong() : 0);
    if (mode == QLatin1String("user-guard") && argc >= 4)
        return runGuard(SingleInstanceGuard::userKey(QString::fromLocal8Bit(argv[2])),
                        SingleInstanceGuard::userKey(QString::fromLocal8Bit(argv[3])), 0);
    if (mode == QLatin1String("hold-semaphore") && argc >= 3)
        return holdSemaphore(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("language"))
        return runLanguage(argc, argv);
    std::cerr << "usage: startup_probe guard|user-guard|hold-semaphore|language ..." << std::endl;
    return 2;
}
