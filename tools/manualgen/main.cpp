#include "manualtypesetter.h"

#include <QGuiApplication>
#include <QTextStream>

// manualgen <source.html> <output.pdf>
// Typesets the user manual at build time. It never shows a window, so it runs on the
// offscreen platform whatever display the build machine has.
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        err << "usage: manualgen <source.html> <output.pdf>\n";
        return 2;
    }
    ManualTypesetter typesetter;
    if (!typesetter.load(args.at(1)) || !typesetter.writePdf(args.at(2))) {
        err << "manualgen: " << typesetter.error() << '\n';
        return 1;
    }
    return 0;
}
