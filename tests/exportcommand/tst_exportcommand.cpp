#include "exportanswers.h"
#include "modalwatcher.h"
#include "progresswatcher.h"
#include "readings.h"
#include "windowfixture.h"

#include "backgroundtask.h"
#include "chartpicturenames.h"
#include "dmmchart.h"
#include "pdfreport.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImageReader>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const QString emptyText = QStringLiteral("The data are empty.");
const QString pdfDoneText = QStringLiteral("The data are exported successfully.");

QTabWidget *tabs(const Widget *w)
{
    return child<QTabWidget>(w, "tabWidget");
}

// The page count pdfinfo reads from a file; -1 when the file is no complete PDF.
int pdfPages(const QString &fileName)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {fileName});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return -1;
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"),
                             QRegularExpression::MultilineOption)
              .match(QString::fromUtf8(process.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Reading rows on one page of the report as the window writes it (A4 at the writer's defaults).
int reportRowsPerPage()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QPageSize::A4));
    QStandardItemModel model(0, 6);
    QPainter painter(&writer);
    return PdfReport(&model).layoutFor(painter).rowsPerPage;
}

// Pages of the report of `readings` readings.
int reportPagesFor(int readings)
{
    const int perPage = reportRowsPerPage();
    // The summary page, then the reading table.
    return 1 + (readings + perPage - 1) / perPage;
}

// With EXPORT_TEST_KEEP set, the written files stay for a look.
void keepIfAsked(QTemporaryDir &dir)
{
    if (qEnvironmentVariableIsSet("EXPORT_TEST_KEEP")) {
        dir.setAutoRemove(false);
        qInfo("files kept in %s", qPrintable(dir.path()));
    }
}

} // namespace

class TestExportCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pathsEndWithTheNormalCursor_data();
    void pathsEndWithTheNormalCursor();
    void chartPictures_data();
    void chartPictures();
    void chartTabsShownOnce_data();
    void chartTabsShownOnce();
    void unwritablePictures_data();
    void unwritablePictures();
    void pdfReport_data();
    void pdfReport();
    void pdfNotWritten();
    void longReportShowsProgress();
    void exportCancelled_data();
    void exportCancelled();
    void windowLivesDuringExport();
    void waitKeepsTheWindowAlive();
};

void TestExportCommand::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
}

void TestExportCommand::pathsEndWithTheNormalCursor_data()
{
    QTest::addColumn<ExportChoice>("choice");
    QTest::addColumn<int>("readings");
    QTest::addColumn<bool>("fileDialog"); // shown, and cancelled
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("export dialog cancelled") << ExportChoice::Cancel << 5 << false << QStringList();
    QTest::newRow("table of an empty item")
        << ExportChoice::Table << 0 << false << QStringList {emptyText};
    QTest::newRow("report of an empty item")
        << ExportChoice::Pdf << 0 << false << QStringList {emptyText};
    QTest::newRow("table, file dialog cancelled")
        << ExportChoice::Table << 5 << true << QStringList();
    QTest::newRow("pictures of empty charts, file dialog cancelled")
        << ExportChoice::Chart << 0 << true << QStringList();
    QTest::newRow("report, file dialog cancelled")
        << ExportChoice::Pdf << 5 << true << QStringList();
}

void TestExportCommand::pathsEndWithTheNormalCursor()
{
    QFETCH(ExportChoice, choice);
    QFETCH(int, readings);
    QFETCH(bool, fileDialog);
    QFETCH(QStringList, messages);

    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), readings);

    ModalWatcher modals;
    expectExportDialog(modals, choice);
    if (fileDialog)
        modals.expectFileCancel();
    for (int i = 0; i < messages.size(); ++i)
        modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify());

    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QStringList shown;
    for (const ModalWatcher::Seen &seen : modals.seen()) {
        if (seen.className != QLatin1String("QMessageBox"))
            continue;
        shown << seen.text;
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.title, QString());
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QCOMPARE(shown, messages);
}

void TestExportCommand::chartPictures_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<int>("readings");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QByteArray>("format");

    QTest::newRow("jpg") << "run.jpg" << 300 << "run" << QByteArray("jpeg");
    // Without a suffix the pictures still get one, and with it an image format.
    QTest::newRow("no suffix") << "run" << 300 << "run" << QByteArray("jpeg");
    QTest::newRow("several dots") << "a.b.jpg" << 300 << "a" << QByteArray("jpeg");
    QTest::newRow("png") << "run.png" << 300 << "run" << QByteArray("png");
    QTest::newRow("empty charts") << "empty.jpg" << 0 << "empty" << QByteArray("jpeg");
}

void TestExportCommand::chartPictures()
{
    QFETCH(QString, chosen);
    QFETCH(int, readings);
    QFETCH(QString, base);
    QFETCH(QByteArray, format);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), readings);
    tabs(window.get())->setCurrentIndex(1);

    ModalWatcher modals;
    expectExportDialog(modals, ExportChoice::Chart);
    modals.expectFile(dir.filePath(chosen));
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify()); // no message on success
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(tabs(window.get())->currentIndex(), 1);

    const QString suffix = format == "png" ? QStringLiteral("png") : QStringLiteral("jpg");
    QStringList expected;
    for (int k = 0; k < ChartPictureNames::ChartCount; ++k) {
        const QString name
            = QStringLiteral("%1_%2.%3").arg(base, ChartPictureNames::words().at(k), suffix);
        expected << name;
        QImageReader picture(dir.filePath(name));
        QCOMPARE(picture.format(), format);
        // Painted at the chart's size, also for the tabs that were hidden.
        QCOMPARE(picture.size(), chart(window.get(), k)->size());
    }
    expected.sort();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    keepIfAsked(dir);
}

void TestExportCommand::chartTabsShownOnce_data()
{
    QTest::addColumn<ExportChoice>("choice");
    QTest::addColumn<bool>("shownBeforeTheFileDialog");

    // The report flips the tabs first; the pictures only once a name was chosen.
    QTest::newRow("report") << ExportChoice::Pdf << true;
    QTest::newRow("pictures") << ExportChoice::Chart << false;
}

void TestExportCommand::chartTabsShownOnce()
{
    QFETCH(ExportChoice, choice);
    QFETCH(bool, shownBeforeTheFileDialog);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), 20);
    QTabWidget *tabWidget = tabs(window.get());
    QCOMPARE(tabWidget->count(), 4);
    tabWidget->setCurrentIndex(2);

    QList<int> shown;
    connect(tabWidget, &QTabWidget::currentChanged, this, [&shown](int i) { shown << i; });
    const QList<int> everyTabThenBack {0, 1, 2, 3, 2};

    QList<int> atFileDialog;
    ModalWatcher modals;
    expectExportDialog(modals, choice);
    modals.expectDialog(QStringLiteral("QFileDialog"), [&](QDialog *dialog) {
        atFileDialog = shown;
        auto *files = qobject_cast<QFileDialog *>(dialog);
        ModalWatcher::typeFileName(files, dir.path(), QStringLiteral("tabs.jpg"));
        // The report is cancelled here; the pictures go on.
        if (choice == ExportChoice::Pdf)
            files->reject();
        else
            dialog->accept();
    });
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify());

    QCOMPARE(atFileDialog, shownBeforeTheFileDialog ? everyTabThenBack : QList<int>());
    QCOMPARE(shown, everyTabThenBack);
    QCOMPARE(tabWidget->currentIndex(), 2);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestExportCommand::unwritablePictures_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("blockedName"); // a folder that takes a picture's name
    QTest::addColumn<QList<int>>("failed");

    QTest::newRow("missing folder") << "missing/run.jpg" << QString() << QList<int> {0, 1, 2, 3};
    QTest::newRow("one name taken by a folder") << "run.jpg"
                                                << "run_DewPoint.jpg" << QList<int> {2};
}

void TestExportCommand::unwritablePictures()
{
    QFETCH(QString, chosen);
    QFETCH(QString, blockedName);
    QFETCH(QList<int>, failed);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!blockedName.isEmpty())
        QVERIFY(QDir(dir.path()).mkdir(blockedName));
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), 10);

    ModalWatcher modals;
    expectExportDialog(modals, ExportChoice::Chart);
    modals.expectTypedFile(dir.path(), chosen);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify());
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    const ChartPictureNames names(dir.filePath(chosen));
    QStringList failedPaths;
    for (int k : failed)
        failedPaths << names.path(k);
    QCOMPARE(modals.last().icon, QMessageBox::Warning);
    QCOMPARE(modals.last().text, ChartPictureNames::failureMessage(failedPaths));
    // The other pictures were still written.
    for (int k = 0; k < ChartPictureNames::ChartCount; ++k) {
        if (!failed.contains(k))
            QVERIFY2(QFileInfo(names.path(k)).isFile(), qPrintable(names.path(k)));
    }
}

void TestExportCommand::pdfReport_data()
{
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("pages");

    const int perPage = reportRowsPerPage();
    QVERIFY(perPage > 1);
    // The summary page comes first.
    QTest::newRow("one reading") << 1 << 2;
    QTest::newRow("one page and a row") << perPage + 1 << 3;
}

void TestExportCommand::pdfReport()
{
    QFETCH(int, readings);
    QFETCH(int, pages);
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("report.pdf"));
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), readings);

    int pagesWhenTold = -2;
    ModalWatcher modals;
    expectExportDialog(modals, ExportChoice::Pdf);
    modals.expectFile(fileName);
    modals.expectDialog(QStringLiteral("QMessageBox"), [&](QDialog *box) {
        // The success is told once the document is complete.
        pagesWhenTold = pdfPages(fileName);
        qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify());

    QCOMPARE(modals.last().text, pdfDoneText);
    QCOMPARE(modals.last().icon, QMessageBox::Information);
    QCOMPARE(pagesWhenTold, pages);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    keepIfAsked(dir);
}

void TestExportCommand::pdfNotWritten()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString typed = QStringLiteral("missing/report.pdf");
    const QString fileName = dir.filePath(typed);
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), 10);

    ModalWatcher modals;
    expectExportDialog(modals, ExportChoice::Pdf);
    modals.expectTypedFile(dir.path(), typed);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify()); // one box only: no success after the failure

    QCOMPARE(modals.last().icon, QMessageBox::Warning);
    QVERIFY2(modals.last().text.startsWith(QLatin1String("The report could not be written.\n")),
             qPrintable(modals.last().text));
    QVERIFY(modals.last().text.size()
            > QStringLiteral("The report could not be written.\n").size());
    QVERIFY(!QFileInfo::exists(fileName));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestExportCommand::longReportShowsProgress()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("long.pdf"));
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), 20000);

    ProgressWatcher progress;
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    expectExportDialog(modals, ExportChoice::Pdf);
    modals.expectFile(fileName);
    modals.expectMessageBox(QMessageBox::Ok);
    // The report of 20 000 readings may take less than the usual moment before the dialog.
    BackgroundTask::setDialogDelay(0);
    action(window.get(), "actionExport")->trigger();
    BackgroundTask::setDialogDelay(1000);
    QVERIFY(modals.verify());

    QCOMPARE(modals.last().text, pdfDoneText);
    // Shown over the window, with Cancel.
    QVERIFY(progress.seen());
    QVERIFY(progress.windowModal());
    QCOMPARE(progress.over(), window.get());
    QVERIFY(progress.cancelOffered());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// Cancel while the file is being written: no message, no file, no scrap beside it, and a
// file of that name from before stays as it was.
void TestExportCommand::exportCancelled_data()
{
    QTest::addColumn<ExportChoice>("choice");
    QTest::addColumn<QString>("name");
    QTest::newRow("workbook") << ExportChoice::Table << "readings.xlsx";
    QTest::newRow("report") << ExportChoice::Pdf << "report.pdf";
}

void TestExportCommand::exportCancelled()
{
    QFETCH(ExportChoice, choice);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(name);
    const QByteArray before("a good file from an earlier export");
    {
        QFile old(fileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(before);
    }
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), 20000);

    BackgroundTask::setDialogDelay(0);
    ProgressWatcher progress;
    // Past the copying of the readings: the worker is writing.
    progress.whenPassed(150, &ProgressWatcher::pressCancel);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    expectExportDialog(modals, choice);
    modals.expectFile(fileName);
    modals.expectMessageBox(QMessageBox::Yes); // replace the file that is there
    action(window.get(), "actionExport")->trigger();
    BackgroundTask::setDialogDelay(1000);
    QVERIFY(modals.verify()); // and no message
    QVERIFY(progress.acted());

    QFile old(fileName);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {name});
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

// While the report is written the window goes on: a reading the meter sends from its own
// thread is recorded into the very item being exported, and the report holds the readings
// of the moment the export began.
void TestExportCommand::windowLivesDuringExport()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("live.pdf"));
    auto window = makeTestWindow({}, true);
    setSampling(window.get(), 0);
    QVERIFY(connectMeter(window.get()));
    action(window.get(), "actionStart")->trigger();
    const int readings = 20000;
    fillActiveItem(window.get(), readings);
    ItemData *item = window->activeItem();

    BackgroundTask::setDialogDelay(0);
    int countWhileUp = -1;
    bool stillUp = false;
    ProgressWatcher progress;
    progress.whenPassed(150, [&](QProgressDialog *dialog) {
        scriptableMeter()->emitDisplayFromThread(21.5, 45.0, 9.1, 14.2);
        QElapsedTimer clock;
        clock.start();
        while (item->count() == readings && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        countWhileUp = item->count();
        stillUp = dialog->isVisible();
    });
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    expectExportDialog(modals, ExportChoice::Pdf);
    modals.expectFile(fileName);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionExport")->trigger();
    BackgroundTask::setDialogDelay(1000);
    QVERIFY(modals.verify());

    QCOMPARE(modals.last().text, pdfDoneText);
    QVERIFY(progress.acted());
    QVERIFY(stillUp);
    QCOMPARE(countWhileUp, readings + 1);
    QCOMPARE(pdfPages(fileName), reportPagesFor(readings));
}

void TestExportCommand::waitKeepsTheWindowAlive()
{
    // A deadline past midnight ends the wait at once; that is no subject here.
    if (QTime::currentTime().msecsTo(QTime(23, 59, 59, 999)) < 1000)
        QSKIP("too close to midnight");
    auto window = makeTestWindow();
    bool delivered = false;
    QTimer::singleShot(0, this, [&delivered] { delivered = true; });
    QElapsedTimer clock;
    clock.start();
    window->waitMs(50);
    QVERIFY(delivered);
    QVERIFY(clock.elapsed() >= 49);
    QVERIFY(clock.elapsed() < 1000);
}

QTEST_MAIN(TestExportCommand)
#include "tst_exportcommand.moc"
