#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

// iconrender <source.svg> <output folder> <name> <size>...
// Renders the application icon for the desktop's icon theme: <folder>/<size>x<size>/<name>.png
// for every size, each drawn from the vector source rather than scaled from one bitmap.
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        err << "usage: iconrender <source.svg> <output folder> <name> <size>...\n";
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        err << "iconrender: cannot read " << args.at(1) << '\n';
        return 1;
    }
    for (int i = 4; i < args.size(); ++i) {
        bool ok = false;
        const int size = args.at(i).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
            err << "iconrender: bad size " << args.at(i) << '\n';
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        const QString dir = QStringLiteral("%1/%2x%2").arg(args.at(2)).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, args.at(3));
        if (!QDir().mkpath(dir)
            || !image.convertToFormat(QImage::Format_ARGB32).save(file, "PNG")) {
            err << "iconrender: cannot write " << file << '\n';
            return 1;
        }
    }
    return 0;
}
