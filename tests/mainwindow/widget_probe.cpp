// A main window in a process of its own. Exit codes: 0 the application quit by itself,
// 3 the window was still there after a while, 4 a modal box appeared.
// With the arguments "--grab <file.png>" the shown window is saved as a picture instead
// (exit code 5), for a look at it; with "--size" its size is printed as "<width>x<height>"
// once it is shown (exit code 6).
#include "widget.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int grabAt = args.indexOf(QStringLiteral("--grab"));
    const QString grabFile = grabAt > 0 ? args.value(grabAt + 1) : QString();
    const bool printSize = args.contains(QStringLiteral("--size"));

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
            std::_Exit(4);
    });
    watch.start(10);

    Widget window;
    window.show();
    if (printSize) {
        QTimer::singleShot(800, &window, [&window] {
            std::printf("%dx%d\n", window.width(), window.height());
            std::fflush(stdout);
            QCoreApplication::exit(6);
        });
    } else if (grabFile.isEmpty()) {
        QTimer::singleShot(1500, [] { QCoreApplication::exit(3); });
    } else {
        QTimer::singleShot(800, &window, [&window, grabFile] {
            window.grab().save(grabFile);
            QCoreApplication::exit(5);
        });
    }
    return app.exec();
}
