#include "singleinstanceguard.h"
#include "startup.h"
#include "storesession.h"
#include "widget.h"

#include <QApplication>
#include <QIcon>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Checked before the application object exists: a second copy of the same user leaves
    // silently.
    SingleInstanceGuard guard(SingleInstanceGuard::userKey(QStringLiteral("VOXKey")),
                              SingleInstanceGuard::userKey(QStringLiteral("HT905")));
    if (!guard.isFirstInstance())
        return 0;

    readLocalTimeZoneOnce();
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/image/app.png")));
    // Lets desktop shells match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.htmeter.HtMeter"));

    const QString language = readOptionLanguage();
    QTranslator appTranslator;
    QTranslator toolkitTranslator;
    installTranslations(app, language, appTranslator, toolkitTranslator);

    // The window translates its texts while it is built, so the translators come first; it is
    // destroyed before them, and the marker is released last, after the application object.
    Widget w;
    // The measurement items of the last session come back before the window shows; from now on
    // they are kept in the application folder, beside options.xml.
    StoreSession store(&w, QCoreApplication::applicationDirPath());
    w.show();
    const int exitCode = app.exec();
    store.finish();
    return exitCode;
}
