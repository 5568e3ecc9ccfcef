#include <QFile>
#include <QImage>
#include <QTest>

#include <iterator>

// The icons are addressed by resource path all over the window's form; a missing or misnamed
// one only shows as an empty button, so the whole bundle is checked here.
class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void icon_data();
    void icon();
};

void TestResources::icon_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");

    const char *names[] = {
        "sync",       "print",         "live",      "active",   "play",       "new",     "function",
        "pcdownload", "close",         "import",    "export",   "options",    "about",   "rename",
        "chart",      "save",          "table",     "rom",      "disconnect", "item",    "stop",
        "connect",    "documentation", "calculate", "settings", "help",       "measure", "picture",
        "delete",     "text",          "exit"};
    QCOMPARE(int(std::size(names)), 31);
    for (const char *name : names)
        QTest::newRow(name) << QStringLiteral(":/image/%1.png").arg(QLatin1String(name)) << 32;
    QTest::newRow("application") << QStringLiteral(":/image/app.png") << 256;
}

void TestResources::icon()
{
    QFETCH(QString, path);
    QFETCH(int, size);

    QVERIFY2(QFile::exists(path), qPrintable(path));
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());

    // Drawn, not blank: a fair share of the square is covered.
    int covered = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            covered += qAlpha(image.pixel(x, y)) > 128;
    QVERIFY2(covered > size * size / 6, qPrintable(QString::number(covered)));
}

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
