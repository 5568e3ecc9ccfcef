// A main window in a process of its own. Exit codes: 0 the application quit by itself,
// 3 the window was still there after a while, 4 a modal box appeared.
#include "widget.h"

#include <QApplication>
#include <QTimer>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
            std::_Exit(4);
    });
    watch.start(10);
    QTimer::singleShot(1500, [] { QCoreApplication::exit(3); });

    Widget window;
    window.show();
    return app.exec();
}
