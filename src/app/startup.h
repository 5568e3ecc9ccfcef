#ifndef STARTUP_H
#define STARTUP_H

#include <QString>

class QCoreApplication;
class QTranslator;

// The language code stored in options.xml beside the executable; empty when the file cannot
// be read or holds no Language element.
QString readOptionLanguage();
QString readOptionLanguage(const QString &optionsFilePath);

// What installTranslations() did, for diagnostics and tests.
struct TranslationSetup
{
    QString fileName; // "<code>.qm", relative to the working directory
    bool fileFound = false; // the file exists; only then is anything installed
    bool appLoaded = false; // the application translator loaded the file
    bool toolkitTried = false; // the name contains "zh": the toolkit translation was installed
    bool toolkitLoaded = false; // ./translations/qt_zh_CN.qm loaded
};

// Installs the translations for a language code. When "<code>.qm" exists in the working
// directory the default locale becomes Chinese (China) and the application translator is
// installed, and for a "zh" name also the toolkit translator from
// ./translations/qt_zh_CN.qm. A translator is installed even when its file failed to load;
// an empty translator translates nothing.
TranslationSetup installTranslations(QCoreApplication &app, const QString &language,
                                     QTranslator &appTranslator, QTranslator &toolkitTranslator);

// Every conversion to or from local time makes the C library look at the system's zone file
// again (a stat call each time) unless TZ names the zone, and a million readings make a million
// conversions. When TZ is not set and the system has /etc/localtime, TZ is pointed at that
// file, so it is read once; the zone and every local time stay as they were. A change of the
// system's zone is then seen at the next start. True when TZ was set here.
bool readLocalTimeZoneOnce();

#endif // STARTUP_H
