#include "startup.h"

#include "optionsfile.h"

#include "meterlog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

#include <ctime>

QString readOptionLanguage()
{
    return readOptionLanguage(QCoreApplication::applicationDirPath()
                              + QStringLiteral("/options.xml"));
}

QString readOptionLanguage(const QString &optionsFilePath)
{
    // The same lenient walk as the window's own reader: the element may sit anywhere, a later
    // one wins, and whatever follows a parse error is ignored.
    return OptionsFile::readLanguage(optionsFilePath);
}

TranslationSetup installTranslations(QCoreApplication &app, const QString &language,
                                     QTranslator &appTranslator, QTranslator &toolkitTranslator)
{
    TranslationSetup setup;
    // Only a plain name is looked up in the working directory, never a path out of it.
    if (!OptionsFile::isLanguageCode(language))
        return setup;
    setup.fileName = QStringLiteral("%1.qm").arg(language);
    setup.fileFound = QFile::exists(setup.fileName);
    if (!setup.fileFound) {
        qCDebug(lcMeter) << "no translation" << setup.fileName << "in the working directory";
        return setup;
    }

    // Only Chinese translations are shipped, so any translation file means a Chinese locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));

    setup.appLoaded = appTranslator.load(setup.fileName);
    app.installTranslator(&appTranslator);

    if (setup.fileName.contains(QLatin1String("zh"))) {
        setup.toolkitTried = true;
        setup.toolkitLoaded = toolkitTranslator.load(QStringLiteral("./translations/qt_zh_CN.qm"));
        app.installTranslator(&toolkitTranslator);
    }
    if (!setup.appLoaded || (setup.toolkitTried && !setup.toolkitLoaded))
        qCWarning(lcMeter) << "translation not loaded:" << setup.fileName << "application"
                           << setup.appLoaded << "toolkit" << setup.toolkitLoaded;
    return setup;
}

bool readLocalTimeZoneOnce()
{
#ifdef Q_OS_UNIX
    const QString zoneFile = QStringLiteral("/etc/localtime");
    if (qEnvironmentVariableIsSet("TZ") || !QFileInfo::exists(zoneFile))
        return false;
    qputenv("TZ", ":" + QFile::encodeName(zoneFile));
    tzset();
    return true;
#else
    return false;
#endif
}
