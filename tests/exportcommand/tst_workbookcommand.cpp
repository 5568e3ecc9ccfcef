#include "exportanswers.h"
#include "modalwatcher.h"
#include "progresswatcher.h"
#include "readings.h"
#include "readingtable.h"
#include "windowfixture.h"

#include "backgroundtask.h"
#include "datamodel.h"
#include "itemdata.h"
#include "sheetexport.h"
#include "sheetimport.h"
#include "tvitemmodel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {

const QString exportedText = QStringLiteral("The datas is exported successfully.");
const QString importedText = QStringLiteral("The data is imported successfully.");
const QString importFailedText = QStringLiteral("The datas is imported failed.");

QString fixture(const QString &name)
{
    return qEnvironmentVariable("METER_SOURCE_DIR") + QStringLiteral("/tests/spreadsheet/fixtures/")
        + name;
}

// Exports the shown table through the export command; returns the message shown.
ModalWatcher::Seen exportTable(Widget *w, const QString &fileName)
{
    ModalWatcher modals;
    expectExportDialog(modals, ExportChoice::Table);
    modals.expectFile(fileName);
    modals.expectMessageBox(QMessageBox::Ok);
    action(w, "actionExport")->trigger();
    if (!modals.verify())
        return ModalWatcher::Seen();
    return modals.last();
}

// Imports through the Import command, answering `boxes` message boxes; returns their texts,
// or "(failed)" when the dialogs did not go as expected.
QStringList importWorkbook(Widget *w, const QString &fileName, int boxes = 1,
                           bool *treeEnabledAtFirstBox = nullptr)
{
    ModalWatcher modals;
    modals.expectFile(fileName);
    if (boxes > 0) {
        modals.expectDialog(QStringLiteral("QMessageBox"), [=](QDialog *box) {
            if (treeEnabledAtFirstBox)
                *treeEnabledAtFirstBox = itemTree(w)->isEnabled();
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
    }
    for (int i = 1; i < boxes; ++i)
        modals.expectMessageBox(QMessageBox::Ok);
    action(w, "actionImport")->trigger();
    if (!modals.verify())
        return {QStringLiteral("(failed)")};
    QStringList texts;
    for (const ModalWatcher::Seen &seen : modals.seen()) {
        if (seen.className == QLatin1String("QMessageBox"))
            texts << seen.text;
    }
    return texts;
}

QByteArray fileStart(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
}

const QByteArray compoundFileMagic("\xD0\xCF\x11\xE0", 4);
const QByteArray zipMagic("PK\x03\x04", 4);
const QByteArray csvMagic("\xEF\xBB\xBFN", 4);

} // namespace

class TestWorkbookCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void suffixFromTheChosenFilter_data();
    void suffixFromTheChosenFilter();
    void importNames();
    void headerOnly_data();
    void headerOnly();
    void cancelled_data();
    void cancelled();
    void importRefused_data();
    void importRefused();
    void unreadRowsAreTold_data();
    void unreadRowsAreTold();
    void importFilters();
    void importCancelled();
};

void TestWorkbookCommand::initTestCase()
{
    QVERIFY2(scriptableMeter(), "the scriptable test meter is missing from Lib/");
    QVERIFY2(QFile::exists(fixture(QStringLiteral("xlwt_celsius.xls"))),
             "METER_SOURCE_DIR does not lead to the workbook fixtures");
}

void TestWorkbookCommand::roundTrip_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("unit"); // -1: no parameter record yet, so no unit text

    for (const char *suffix : {"xls", "xlsx", "csv"}) {
        QTest::addRow("%s, Celsius", suffix) << QString(suffix) << 0;
        QTest::addRow("%s, Fahrenheit", suffix) << QString(suffix) << 1;
        QTest::addRow("%s, before any parameter record", suffix) << QString(suffix) << -1;
    }
}

void TestWorkbookCommand::roundTrip()
{
    QFETCH(QString, suffix);
    QFETCH(int, unit);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("readings.") + suffix);
    auto window = makeTestWindow();
    if (unit >= 0)
        QVERIFY(setUnit(window.get(), unit));
    fillActiveItem(window.get(), 60);
    const QList<QStringList> shown = tableCells(window.get());
    const ItemData *original = window->activeItem();

    const ModalWatcher::Seen told = exportTable(window.get(), fileName);
    QCOMPARE(told.text, exportedText);
    QCOMPARE(told.icon, QMessageBox::Information);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(fileStart(fileName),
             suffix == QLatin1String("xls")        ? compoundFileMagic
                 : suffix == QLatin1String("xlsx") ? zipMagic
                                                   : csvMagic);

    bool treeEnabled = false;
    QCOMPARE(importWorkbook(window.get(), fileName, 1, &treeEnabled), QStringList {importedText});
    QVERIFY(treeEnabled);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    const ItemData *imported = window->activeItem();
    QVERIFY(imported != original);
    QCOMPARE(imported->getName(), QStringLiteral("Import1"));
    QCOMPARE(imported->getType(), ItemData::Import);
    QCOMPARE(imported->count(), 60);
    QCOMPARE(imported->getStatistic(0)->count, 60);
    // The same table to the tenth, in the unit shown.
    QCOMPARE(tableCells(window.get()), shown);
    // Values go back into the item in the base unit, whatever unit the workbook shows.
    for (int i = 0; i < imported->count(); ++i) {
        for (int k = 0; k < 4; ++k) {
            const double was = original->getDataList().at(i)->value(k).value;
            const double is = imported->getDataList().at(i)->value(k).value;
            QVERIFY2(
                qAbs(was - is) < 0.05,
                qPrintable(
                    QStringLiteral("row %1 channel %2: %3 / %4").arg(i).arg(k).arg(was).arg(is)));
        }
    }
}

void TestWorkbookCommand::suffixFromTheChosenFilter_data()
{
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QByteArray>("magic");

    QTest::newRow("Excel File") << 0 << "run.xls" << compoundFileMagic;
    QTest::newRow("Excel Workbook") << 1 << "run.xlsx" << zipMagic;
    QTest::newRow("CSV File") << 2 << "run.csv" << csvMagic;
}

void TestWorkbookCommand::suffixFromTheChosenFilter()
{
    QFETCH(int, filter);
    QFETCH(QString, written);
    QFETCH(QByteArray, magic);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    auto window = makeTestWindow();
    fillActiveItem(window.get(), 3);

    QStringList filters;
    ModalWatcher modals;
    expectExportDialog(modals, ExportChoice::Table);
    modals.expectDialog(QStringLiteral("QFileDialog"), [&](QDialog *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        filters = files->nameFilters();
        // As a user picks the type: with the keyboard on the type box.
        auto *types = files->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; types && i < filter; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        ModalWatcher::typeFileName(files, dir.path(), QStringLiteral("run"));
        dialog->accept();
    });
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionExport")->trigger();
    QVERIFY(modals.verify());

    QCOMPARE(filters,
             (QStringList {"Excel File(*.xls)", "Excel Workbook(*.xlsx)", "CSV File(*.csv)"}));
    QCOMPARE(modals.last().text, exportedText);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList {written});
    QCOMPARE(fileStart(dir.filePath(written)), magic);
}

void TestWorkbookCommand::importNames()
{
    const QString file = fixture(QStringLiteral("xlwt_celsius.xls"));
    auto window = makeTestWindow();
    Widget *w = window.get();
    auto importOnce = [&] {
        if (importWorkbook(w, file) != QStringList {importedText})
            return QStringLiteral("(failed)");
        return w->activeItem()->getName();
    };

    QCOMPARE(importOnce(), QStringLiteral("Import1"));
    QCOMPARE(importOnce(), QStringLiteral("Import2"));
    // Lower case does not count.
    liveItem(w, 0)->setName("import1");
    QCOMPARE(importOnce(), QStringLiteral("Import3"));
    QCOMPARE(liveNames(w), (QStringList {"import1", "Import1", "Import2", "Import3*"}));

    // Names are counted, never compared: after a delete a number comes round again.
    itemTree(w)->setCurrentIndex(liveItemRow(w, 1));
    {
        ModalWatcher modals;
        modals.expectMessageBox(QMessageBox::Yes);
        action(w, "actionItemDelete")->trigger();
        QVERIFY(modals.verify());
    }
    QCOMPARE(importOnce(), QStringLiteral("Import3"));

    // Top-level rows count as well.
    TvItemModel::itemDataOf(liveRow(w))->setName("Imported data");
    QCOMPARE(importOnce(), QStringLiteral("Import5"));
    QCOMPARE(liveNames(w), (QStringList {"import1", "Import2", "Import3", "Import3", "Import5*"}));
    QCOMPARE(w->activeItem()->getType(), ItemData::Import);
    QCOMPARE(w->activeItem()->count(), 3);
}

void TestWorkbookCommand::headerOnly_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << fixture(QStringLiteral("xlwt_header_only.xls"));
    QTest::newRow("xlsx") << fixture(QStringLiteral("hand_header_only.xlsx"));
}

void TestWorkbookCommand::headerOnly()
{
    QFETCH(QString, file);
    auto window = makeTestWindow();
    fillActiveItem(window.get(), 5);

    QCOMPARE(importWorkbook(window.get(), file), QStringList {importedText});
    QCOMPARE(window->activeItem()->getName(), QStringLiteral("Import1"));
    QCOMPARE(window->activeItem()->count(), 0);
    QCOMPARE(window->dataModel()->rowCount(), 0);
}

void TestWorkbookCommand::cancelled_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("export") << "actionExport";
    QTest::newRow("import") << "actionImport";
}

void TestWorkbookCommand::cancelled()
{
    QFETCH(QString, command);
    auto window = makeTestWindow();
    fillActiveItem(window.get(), 5);
    const ItemData *active = window->activeItem();
    const QStringList names = liveNames(window.get());

    ModalWatcher modals;
    if (command == QLatin1String("actionExport"))
        expectExportDialog(modals, ExportChoice::Table);
    modals.expectFileCancel();
    action(window.get(), qPrintable(command))->trigger();
    QVERIFY(modals.verify()); // and no message

    QCOMPARE(window->activeItem(), active);
    QCOMPARE(liveNames(window.get()), names);
    QCOMPARE(window->dataModel()->rowCount(), 5);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestWorkbookCommand::importRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("told");

    QTest::newRow("text named .xls")
        << fixture(QStringLiteral("not_a_workbook.xls")) << importFailedText;
    QTest::newRow("zip without a workbook")
        << fixture(QStringLiteral("zip_without_workbook.xlsx")) << importFailedText;
    QTest::newRow("workbook without a sheet")
        << fixture(QStringLiteral("hand_no_sheet.xlsx")) << importFailedText;
    // Rows were there, but not one could be read: no empty item, and the count is told.
    QTest::newRow("every row unreadable")
        << fixture(QStringLiteral("xlwt_all_rows_bad.xls"))
        << importFailedText + '\n' + SheetImport::skippedRowsMessage(3);
}

void TestWorkbookCommand::importRefused()
{
    QFETCH(QString, file);
    QFETCH(QString, told);
    auto window = makeTestWindow();
    fillActiveItem(window.get(), 5);
    const ItemData *active = window->activeItem();
    const QStringList names = liveNames(window.get());

    ModalWatcher modals;
    modals.expectFile(file);
    modals.expectMessageBox(QMessageBox::Ok);
    action(window.get(), "actionImport")->trigger();
    QVERIFY(modals.verify());

    QCOMPARE(modals.last().text, told);
    QCOMPARE(modals.last().icon, QMessageBox::Warning);
    // No item, and the window as it was.
    QCOMPARE(liveNames(window.get()), names);
    QCOMPARE(window->activeItem(), active);
    QCOMPARE(window->dataModel()->rowCount(), 5);
    QVERIFY(itemTree(window.get())->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestWorkbookCommand::unreadRowsAreTold_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("readings");
    QTest::addColumn<QString>("told");

    QTest::newRow("some rows unreadable")
        << fixture(QStringLiteral("xlwt_edge.xls")) << 2 << SheetImport::skippedRowsMessage(3);
    // The formulas are the reason the rows could not be read; that is what the user learns.
    QTest::newRow("formulas without results")
        << fixture(QStringLiteral("xlwt_formula_no_result.xls")) << 1
        << SheetImport::formulasWithoutResultMessage(2);
}

void TestWorkbookCommand::unreadRowsAreTold()
{
    QFETCH(QString, file);
    QFETCH(int, readings);
    QFETCH(QString, told);
    auto window = makeTestWindow();
    QCOMPARE(importWorkbook(window.get(), file, 2), (QStringList {importedText, told}));
    QCOMPARE(window->activeItem()->getName(), QStringLiteral("Import1"));
    QCOMPARE(window->activeItem()->count(), readings);
}

void TestWorkbookCommand::importFilters()
{
    QStringList filters;
    ModalWatcher modals;
    modals.expectDialog(QStringLiteral("QFileDialog"), [&](QDialog *dialog) {
        filters = qobject_cast<QFileDialog *>(dialog)->nameFilters();
        dialog->reject();
    });
    auto window = makeTestWindow();
    action(window.get(), "actionImport")->trigger();
    QVERIFY(modals.verify());
    // Every format is shown at first; the narrower filters follow.
    QCOMPARE(filters,
             (QStringList {"Excel and CSV Files(*.xls *.xlsx *.csv)", "Excel Files(*.xls *.xlsx)",
                           "Excel File(*.xls)", "Excel Workbook(*.xlsx)", "CSV File(*.csv)"}));
}

// Cancel while a long workbook is read: no item, no message, the window as it was.
void TestWorkbookCommand::importCancelled()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath(QStringLiteral("long.xlsx"));
    {
        const ReadingTable table(
            ReadingTable::sample(300000, QDateTime(QDate(2024, 3, 5), QTime(), Qt::UTC)), false,
            false);
        QCOMPARE(SheetExport::exportModel(&table, fileName), SheetExport::Success);
    }
    auto window = makeTestWindow({}, true);
    fillActiveItem(window.get(), 20);
    const ItemData *active = window->activeItem();
    const QStringList names = liveNames(window.get());

    BackgroundTask::setDialogDelay(0);
    ProgressWatcher progress;
    progress.whenPassed(100, &ProgressWatcher::pressCancel);
    ModalWatcher modals;
    modals.tolerate(QStringLiteral("QProgressDialog"));
    modals.expectFile(fileName);
    action(window.get(), "actionImport")->trigger();
    BackgroundTask::setDialogDelay(1000);
    QVERIFY(modals.verify()); // and no message
    QVERIFY(progress.acted());
    QVERIFY(progress.cancelOffered());

    QCOMPARE(liveNames(window.get()), names);
    QCOMPARE(window->activeItem(), active);
    QCOMPARE(window->dataModel()->rowCount(), 20);
    QVERIFY(itemTree(window.get())->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

QTEST_MAIN(TestWorkbookCommand)
#include "tst_workbookcommand.moc"
