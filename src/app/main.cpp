#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::fputs("ht-meter: the main window is not built yet.\n", stderr);
    return 0;
}
