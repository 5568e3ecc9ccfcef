#include "windowfixture.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

// Stands in for the desktop's document viewer: records what the window asks to open.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class tst_ManualCommand : public QObject
{
    Q_OBJECT

private slots:
    // The manual is the file of that name in the working directory, whichever folder the
    // application was started from, and a missing file is no error of the window's.
    void opensManualOfWorkingDirectory_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("manual present") << true;
        QTest::newRow("manual missing") << false;
    }
    void opensManualOfWorkingDirectory()
    {
        QFETCH(bool, present);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString manual = folder.filePath(QStringLiteral("Software User Manual.pdf"));
        if (present) {
            QFile file(manual);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        UrlRecorder recorder;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));

        auto window = makeTestWindow();
        action(window.get(), "actionManual")->trigger();

        QDir::setCurrent(previous);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(recorder.opened.size(), 1);
        QCOMPARE(recorder.opened.first(), QUrl::fromLocalFile(manual));
    }
};

QTEST_MAIN(tst_ManualCommand)
#include "tst_manualcommand.moc"
