#include "shotdriver.h"
#include "startup.h"
#include "widget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QTest>
#include <QTranslator>

// manualshots [--lang <code>] <output folder>
// Starts the main window as the application does and takes the user manual's pictures on
// the simulated meter. Run it from the folder that holds the translations (the runtime
// folder) when --lang is given; its own folder must hold Lib/ with the simulated meter.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/image/app.png")));
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("folder for the PNGs"));
    const QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("language code"),
                                  QStringLiteral("code"));
    parser.addOption(lang);
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString out = parser.positionalArguments().constFirst();
    QDir().mkpath(out);

    QTranslator appTranslator;
    QTranslator toolkitTranslator;
    if (parser.isSet(lang))
        installTranslations(app, parser.value(lang), appTranslator, toolkitTranslator);

    // Pictures of a first start: no remembered layout or options.
    const QString options = QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
    QFile::remove(options);
    int failed = 0;
    {
        Widget window;
        window.show();
        // Room for the reading table below the charts.
        window.resize(1000, 700);
        QTest::qWait(800);
        ShotDriver driver(&window);
        failed = driver.run(out);
        window.close();
    }
    QFile::remove(options);
    return failed;
}
