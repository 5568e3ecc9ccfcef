// The acceptance driver: a library preloaded into the real ht-meter that walks the program
// through what a user does, phase by phase (METER_E2E_PHASE: road, restored, chinese). It
// finds the window and its widgets by object name, triggers actions, answers the dialogs,
// checks what the window shows and what was written, and logs a STEP line for each step. A
// failed step ends the process with an exit code of its own.

#include "drivertools.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTranslator>
#include <QTreeView>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace Drive;

namespace {

const QString windowTitle = QStringLiteral("HT905+/HT906+ v1.0 ");
const QString restartHint
    = QStringLiteral("Changes will take effect when you restart application.");
const QString celsius = QStringLiteral("℃");
const QString fahrenheit = QStringLiteral("℉");
constexpr int activeRole = Qt::UserRole + 1;

// The sampling options that the road sets in the options dialog and later starts must find.
constexpr int roadSampleRate = 100;
constexpr int roadSamplePoints = 12;

QString appDir()
{
    return QCoreApplication::applicationDirPath();
}

QString exportDir()
{
    return appDir() + QStringLiteral("/exports");
}

QString layoutFile()
{
    return appDir() + QStringLiteral("/e2e-layout.txt");
}

int storeCount()
{
    const int count = qEnvironmentVariableIntValue("METER_SIM_STORE_COUNT");
    return count > 0 ? count : 250;
}

// --- what the window shows -------------------------------------------------------------------

QAbstractItemModel *treeModel()
{
    return child<QTreeView>(mainWindow(), "tvItems")->model();
}

QAbstractItemModel *tableModel()
{
    return child<QTableView>(mainWindow(), "tv")->model();
}

int tableRows()
{
    return tableModel()->rowCount();
}

QString tableText(int row, int column)
{
    return tableModel()->index(row, column).data().toString();
}

// Columns 2 to 5 of a table row: the four values with their units.
QStringList tableValues(int row)
{
    QStringList values;
    for (int column = 2; column <= 5; ++column)
        values << tableText(row, column);
    return values;
}

QString gridText(int row, int column)
{
    auto *grid = child<QTableWidget>(mainWindow(), "twMath");
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

// NUM, MIN, MAX and AVG of one quantity (row 1 temperature ... row 4 wet bulb).
QStringList gridRow(int row)
{
    return {gridText(row, 1), gridText(row, 2), gridText(row, 3), gridText(row, 4)};
}

QString labelText(const char *name)
{
    return child<QLabel>(mainWindow(), name)->text();
}

bool enabled(const char *actionName)
{
    return action(actionName)->isEnabled();
}

double number(const QString &text, const QString &what)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    check(ok, QStringLiteral("%1 \"%2\" is no number").arg(what, text));
    return value;
}

// The row under "Live Data" that shows `name`; invalid when there is none.
QModelIndex liveItem(const QString &name)
{
    QAbstractItemModel *model = treeModel();
    const QModelIndex live = model->index(1, 0);
    for (int row = 0; row < model->rowCount(live); ++row) {
        const QModelIndex index = model->index(row, 0, live);
        if (index.data().toString() == name)
            return index;
    }
    return {};
}

// The name of the one row drawn as active; "" with none, "(several)" with more than one.
QString activeItemName()
{
    QAbstractItemModel *model = treeModel();
    QStringList active;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex top = model->index(row, 0);
        if (top.data(activeRole).toBool())
            active << top.data().toString();
        for (int c = 0; c < model->rowCount(top); ++c) {
            const QModelIndex index = model->index(c, 0, top);
            if (index.data(activeRole).toBool())
                active << index.data().toString();
        }
    }
    if (active.size() > 1)
        return QStringLiteral("(several: %1)").arg(active.join(QStringLiteral(", ")));
    return active.value(0);
}

bool visibleProgressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QProgressDialog *>(w) && w->isVisible())
            return true;
    }
    return false;
}

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

// --- what the program wrote ------------------------------------------------------------------

QMap<QString, QString> readOptionsFile()
{
    QMap<QString, QString> values;
    QFile file(appDir() + QStringLiteral("/options.xml"));
    check(file.open(QIODevice::ReadOnly), QStringLiteral("options.xml was not written"));
    QXmlStreamReader xml(&file);
    QString element;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement())
            element = xml.name().toString();
        else if (xml.isCharacters() && !xml.isWhitespace())
            values[element] = xml.text().toString();
    }
    check(!xml.hasError(),
          QStringLiteral("options.xml is no well-formed XML: %1").arg(xml.errorString()));
    return values;
}

void checkOptionsFile(const QString &language)
{
    const QMap<QString, QString> options = readOptionsFile();
    const QMap<QString, QString> wanted = {
        {QStringLiteral("Language"), language},
        {QStringLiteral("SampleRate"), QString::number(roadSampleRate)},
        {QStringLiteral("SamplePoints"), QString::number(roadSamplePoints)},
        {QStringLiteral("Infinite"), QStringLiteral("0")},
        {QStringLiteral("SkipRepeat"), QStringLiteral("0")},
    };
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it)
        check(options.value(it.key()) == it.value(),
              QStringLiteral("options.xml holds %1 \"%2\", expected \"%3\"")
                  .arg(it.key(), options.value(it.key()), it.value()));
    const QRegularExpression hex(QStringLiteral("^([0-9a-f]{2})+$"));
    for (const char *blob : {"Geometry", "State", "SplitterState", "Splitter2State"})
        check(hex.match(options.value(QLatin1String(blob))).hasMatch(),
              QStringLiteral("options.xml holds no layout in %1").arg(QLatin1String(blob)));
}

QByteArray fileStart(const QString &path, int bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(bytes);
}

void checkWritten(const QString &path, const QByteArray &magic, qint64 minimumSize)
{
    const QFileInfo info(path);
    check(info.exists(), QStringLiteral("%1 was not written").arg(path));
    check(info.size() >= minimumSize,
          QStringLiteral("%1 has only %2 bytes").arg(path).arg(info.size()));
    check(fileStart(path, magic.size()) == magic,
          QStringLiteral("%1 does not start like its format").arg(path));
}

// A picture with a drawing on it, not an empty or uniform area.
void checkPicture(const QString &path)
{
    const QImage image(path);
    check(!image.isNull(), QStringLiteral("%1 is missing or no readable picture").arg(path));
    check(image.width() >= 200 && image.height() >= 100,
          QStringLiteral("%1 is only %2 x %3 pixels")
              .arg(path)
              .arg(image.width())
              .arg(image.height()));
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3) {
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    }
    check(colours.size() > 16, QStringLiteral("%1 shows almost nothing").arg(path));
}

// Pages of a PDF by pdfinfo; -1 when pdfinfo is not installed.
int pdfPages(const QString &path)
{
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdfinfo.isEmpty())
        return -1;
    QProcess process;
    process.start(pdfinfo, {path});
    check(process.waitForFinished(20000) && process.exitCode() == 0,
          QStringLiteral("pdfinfo rejects %1: %2")
              .arg(path, QString::fromLocal8Bit(process.readAllStandardError())));
    const QRegularExpressionMatch pages
        = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
              .match(QString::fromLocal8Bit(process.readAllStandardOutput()));
    check(pages.hasMatch(), QStringLiteral("pdfinfo tells no page count for %1").arg(path));
    return pages.captured(1).toInt();
}

// --- user actions ----------------------------------------------------------------------------

// Replaces a spin box's text by typing, as a user does.
void typeInto(QSpinBox *spin, int value)
{
    spin->setFocus();
    spin->selectAll();
    QTest::keyClicks(spin, QString::number(value));
    check(spin->value() == value,
          QStringLiteral("%1 shows %2 after typing %3")
              .arg(spin->objectName())
              .arg(spin->value())
              .arg(value));
}

void pressOk(QWidget *dialog)
{
    QPushButton *ok = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
    check(ok, QStringLiteral("%1 has no OK button").arg(dialog->objectName()));
    ok->click();
}

void pressCancel(QWidget *dialog)
{
    QPushButton *cancel
        = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel);
    check(cancel, QStringLiteral("%1 has no Cancel button").arg(dialog->objectName()));
    cancel->click();
}

void connectMeter()
{
    trigger("actionConnect");
    waitOrFail([] { return enabled("actionDisconnect") && enabled("actionStart"); }, 5000,
               QStringLiteral("the link did not open (Disconnect and Start stay disabled)"));
    check(!enabled("actionConnect"), QStringLiteral("Connect stays enabled on an open link"));
    check(enabled("actionItemDownload") && enabled("actionSettings"),
          QStringLiteral("Download and Settings stay disabled on an open link"));
    // Readings reach the read-outs; the unit follows with the first parameter record.
    waitOrFail(
        [] {
            bool temp = false, humi = false;
            labelText("lcdTemp").toDouble(&temp);
            labelText("lcdHumi").toDouble(&humi);
            return temp && humi && labelText("lcdTempUnit") == celsius;
        },
        5000,
        QStringLiteral("no reading in the read-outs (TEMP \"%1\" %2, HUMI \"%3\")")
            .arg(labelText("lcdTemp"), labelText("lcdTempUnit"), labelText("lcdHumi")));
}

// New item; the name proposed must be `proposed`, the name typed `typed`.
void newItem(const QString &proposed, const QString &typed)
{
    auto input = answer("QInputDialog", [proposed, typed](QWidget *w) {
        auto *dialog = qobject_cast<QInputDialog *>(w);
        check(dialog->textValue() == proposed,
              QStringLiteral("New proposes \"%1\", expected \"%2\"")
                  .arg(dialog->textValue(), proposed));
        dialog->setTextValue(typed);
        dialog->accept();
    });
    trigger("actionItemNew");
    awaitAnswer(input, 1000);
    const QString name = typed.trimmed();
    check(liveItem(name).isValid(), QStringLiteral("no item \"%1\" under Live Data").arg(name));
    check(activeItemName() == name,
          QStringLiteral("active item is \"%1\", not the new \"%2\"").arg(activeItemName(), name));
    check(tableRows() == 0, QStringLiteral("the new item shows %1 rows").arg(tableRows()));
}

// Start, wait for the sample-point limit, check that it holds, Stop. Returns how long the
// readings took to come in.
qint64 recordToLimit()
{
    QElapsedTimer clock;
    clock.start();
    trigger("actionStart");
    check(!enabled("actionStart") && enabled("actionStop"),
          QStringLiteral("Start/Stop do not follow a running measurement"));
    waitOrFail([] { return tableRows() >= roadSamplePoints; }, 15000,
               QStringLiteral("only %1 readings recorded").arg(tableRows()));
    const qint64 took = clock.elapsed();
    pause(700);
    check(tableRows() == roadSamplePoints,
          QStringLiteral("the item holds %1 readings beyond the limit of %2 sample points")
              .arg(tableRows())
              .arg(roadSamplePoints));
    trigger("actionStop");
    check(enabled("actionStart") && !enabled("actionStop"),
          QStringLiteral("Start/Stop do not follow the stop"));
    return took;
}

// The settings dialog: switch the unit, write, confirm, close.
void switchUnit(int unitIndex)
{
    const QString unit = unitIndex == 1 ? fahrenheit : celsius;
    auto settings = answer("DlgSettings", [unitIndex, unit](QWidget *dialog) {
        auto *interval = child<QDoubleSpinBox>(dialog, "sbStorageInterval");
        waitOrFail([interval] { return interval->value() > 0; }, 5000,
                   QStringLiteral("the settings dialog never showed the meter's parameters"));
        auto *unitBox = child<QComboBox>(dialog, "cbbUnit");
        check(unitBox->currentIndex() == 1 - unitIndex,
              QStringLiteral("the dialog opens on unit %1").arg(unitBox->currentIndex()));
        unitBox->setCurrentIndex(unitIndex);
        check(child<QLabel>(dialog, "label_29")->text() == unit,
              QStringLiteral("the alarm unit label reads \"%1\" after the switch")
                  .arg(child<QLabel>(dialog, "label_29")->text()));
        // The simulated meter's high temperature limit is 35.0 ℃.
        const double high = child<QDoubleSpinBox>(dialog, "sbHighTemp")->value();
        const double wanted = unitIndex == 1 ? 95.0 : 35.0;
        check(std::abs(high - wanted) < 0.05,
              QStringLiteral("high temperature shows %1, expected %2").arg(high).arg(wanted));

        auto saved = answerBox(QStringLiteral("Parameters saved successfully."));
        auto *write = child<QPushButton>(dialog, "pushButton");
        write->click();
        awaitAnswer(saved, 5000);
        waitOrFail([write] { return write->isEnabled(); }, 2000,
                   QStringLiteral("Write stays disabled after the confirmation"));
        check(unitBox->currentIndex() == unitIndex,
              QStringLiteral("the meter's read-back shows unit %1").arg(unitBox->currentIndex()));
        child<QPushButton>(dialog, "pushButton_2")->click();
    });
    trigger("actionSettings");
    awaitAnswer(settings, 1000);
    waitOrFail(
        [unit] {
            return labelText("lcdTempUnit") == unit && labelText("lcdDPUnit") == unit
                && labelText("lcdWBUnit") == unit;
        },
        5000,
        QStringLiteral("the read-outs show \"%1\" after the meter changed to %2")
            .arg(labelText("lcdTempUnit"), unit));
    check(labelText("lcdHumiUnit") == QStringLiteral("%RH"),
          QStringLiteral("the humidity read-out shows \"%1\"").arg(labelText("lcdHumiUnit")));
    waitOrFail([unit] { return tableText(0, 2).endsWith(QLatin1Char(' ') + unit); }, 3000,
               QStringLiteral("the table shows \"%1\" after the unit became %2")
                   .arg(tableText(0, 2), unit));
}

// Export command: the format's radio button, then the file name; `done` is the message the
// command ends with (none for the pictures).
void exportAs(const char *radio, const QString &path, const QString &done)
{
    auto choose = answer("dlgExport", [radio](QWidget *dialog) {
        auto *button = child<QRadioButton>(dialog, radio);
        button->click();
        check(button->isChecked(),
              QStringLiteral("%1 does not stay checked").arg(QLatin1String(radio)));
        pressOk(dialog);
    });
    auto file = answerFile(path);
    AnswerPtr message = done.isEmpty() ? nullptr : answerBox(done);
    trigger("actionExport");
    awaitAnswer(choose, 1000);
    awaitAnswer(file, 1000);
    if (message)
        awaitAnswer(message, 1000);
    check(!QApplication::overrideCursor(),
          QStringLiteral("the wait cursor stays after the export"));
}

// Import command with `path`; the new item must be `name`, holding what "Store Data" held.
void importAs(const QString &path, const QString &name, const QList<QStringList> &storeGrid,
              const QStringList &firstRow, const QStringList &lastRow)
{
    auto file = answerFile(path);
    auto message = answerBox(QStringLiteral("The data is imported successfully."));
    trigger("actionImport");
    awaitAnswer(file, 1000);
    awaitAnswer(message, 1000);
    check(liveItem(name).isValid(), QStringLiteral("no item \"%1\" after the import").arg(name));
    check(activeItemName() == name,
          QStringLiteral("active item is \"%1\" after the import").arg(activeItemName()));
    check(child<QTreeView>(mainWindow(), "tvItems")->isEnabled(),
          QStringLiteral("the item tree stays disabled after the import"));
    check(tableRows() == storeCount(),
          QStringLiteral("%1 rows imported, %2 exported").arg(tableRows()).arg(storeCount()));
    check(tableValues(0) == firstRow && tableValues(tableRows() - 1) == lastRow,
          QStringLiteral("imported values differ: first %1, last %2; exported %3, %4")
              .arg(tableValues(0).join(QLatin1Char('|')),
                   tableValues(tableRows() - 1).join(QLatin1Char('|')),
                   firstRow.join(QLatin1Char('|')), lastRow.join(QLatin1Char('|'))));
    for (int row = 1; row <= 4; ++row) {
        const QStringList now = gridRow(row);
        check(now.value(0) == storeGrid[row - 1].value(0),
              QStringLiteral("statistics row %1 counts %2").arg(row).arg(now.value(0)));
        // The workbook holds the values as shown, to one decimal.
        for (int column = 1; column < 4; ++column)
            check(std::abs(number(now.value(column), QStringLiteral("statistic"))
                           - number(storeGrid[row - 1].value(column), QStringLiteral("statistic")))
                      <= 0.1 + 1e-9,
                  QStringLiteral("statistics row %1 reads %2 after the import, %3 before")
                      .arg(row)
                      .arg(now.join(QLatin1Char(' ')), storeGrid[row - 1].join(QLatin1Char(' '))));
    }
}

QList<QStringList> statisticsGrid()
{
    return {gridRow(1), gridRow(2), gridRow(3), gridRow(4)};
}

// --- window layout ---------------------------------------------------------------------------

// The window's place, the splitters and the tool bar's area, one per line. The offscreen
// platform's screen (800 x 600) cannot hold the window, and fitting a restored window into it
// moves it: there only the size is described.
QString describeLayout()
{
    QMainWindow *w = mainWindow();
    QRect g = w->geometry();
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        g.moveTo(0, 0);
    auto sizes = [w](const char *name) {
        QStringList list;
        for (int size : child<QSplitter>(w, name)->sizes())
            list << QString::number(size);
        return list.join(QLatin1Char(' '));
    };
    return QStringLiteral("geometry %1 %2 %3 %4\nsplitter %5\nsplitter_2 %6\ntoolbar %7\n")
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height())
        .arg(sizes("splitter"), sizes("splitter_2"))
        .arg(int(w->toolBarArea(child<QToolBar>(w, "mainToolBar"))));
}

// --- the phases ------------------------------------------------------------------------------

// The start of a phase; `active` is the item the window starts with.
void startPhase(const QString &active)
{
    step(QStringLiteral("start"));
    check(mainWindow()->windowTitle() == windowTitle,
          QStringLiteral("window title \"%1\"").arg(mainWindow()->windowTitle()));
    waitOrFail([] { return enabled("actionConnect"); }, 5000,
               QStringLiteral("Connect stays disabled (no simulated adapter?)"));
    check(!enabled("actionStart") && !enabled("actionItemDownload"),
          QStringLiteral("Start or Download enabled without a link"));
    check(activeItemName() == active,
          QStringLiteral("the active item at start is \"%1\", not \"%2\"")
              .arg(activeItemName(), active));
}

void closeWindow()
{
    step(QStringLiteral("close"));
    trigger("actionClose");
    check(!mainWindow()->isVisible(), QStringLiteral("the window stays open after Close"));
}

void road()
{
    check(!QFile::exists(appDir() + QStringLiteral("/options.xml")),
          QStringLiteral("options.xml exists before the first start"));
    startPhase(QStringLiteral("Measure1"));

    step(QStringLiteral("options"));
    auto restart = answerBox(restartHint);
    auto options = answer("DlgOption", [](QWidget *dialog) {
        auto *language = child<QComboBox>(dialog, "cbbLanguage");
        const int english = language->findData(QStringLiteral("en-US"));
        check(english >= 0, QStringLiteral("the language list has no English"));
        language->setCurrentIndex(english);
        typeInto(child<QSpinBox>(dialog, "spinSampleRate"), roadSampleRate);
        auto *infinite = child<QCheckBox>(dialog, "cbInfinite");
        auto *points = child<QSpinBox>(dialog, "spinSamplePoints");
        check(infinite->isChecked() && !points->isEnabled(),
              QStringLiteral("a first start does not offer unlimited sample points"));
        infinite->click();
        check(points->isEnabled(), QStringLiteral("Sample Points stays disabled without Infinite"));
        typeInto(points, roadSamplePoints);
        pressOk(dialog);
    });
    trigger("actionOption");
    awaitAnswer(options, 1000);
    awaitAnswer(restart, 1000);

    step(QStringLiteral("connect"));
    connectMeter();

    step(QStringLiteral("new-item"));
    newItem(QStringLiteral("Measure2"), QStringLiteral("  Road run  "));

    step(QStringLiteral("record"));
    const qint64 took = recordToLimit();
    // One reading per tick of the 100 ms sampling timer: twelve take at least eleven ticks;
    // at the default 500 ms they would take more than five seconds.
    check(took >= 900 && took < 5000,
          QStringLiteral("%1 readings took %2 ms at a sampling period of %3 ms")
              .arg(roadSamplePoints)
              .arg(took)
              .arg(roadSampleRate));
    for (int row = 1; row <= 4; ++row) {
        const QStringList stats = gridRow(row);
        check(stats.value(0) == QString::number(roadSamplePoints),
              QStringLiteral("statistics row %1 counts \"%2\"").arg(row).arg(stats.value(0)));
        const double min = number(stats.value(1), QStringLiteral("MIN"));
        const double max = number(stats.value(2), QStringLiteral("MAX"));
        const double avg = number(stats.value(3), QStringLiteral("AVG"));
        check(min <= avg && avg <= max,
              QStringLiteral("statistics row %1 reads %2")
                  .arg(row)
                  .arg(stats.join(QLatin1Char(' '))));
    }
    check(tableText(0, 2).endsWith(QStringLiteral(" ℃"))
              && tableText(0, 3).endsWith(QStringLiteral(" %RH")),
          QStringLiteral("table row reads %1").arg(tableValues(0).join(QLatin1Char('|'))));

    step(QStringLiteral("download"));
    auto downloaded = answerBox(QStringLiteral("All stored data have been downloaded."));
    trigger("actionItemDownload");
    awaitAnswer(downloaded, 20000);
    check(activeItemName() == QLatin1String("Store Data"),
          QStringLiteral("active item after the download is \"%1\"").arg(activeItemName()));
    waitOrFail([] { return tableRows() == storeCount(); }, 3000,
               QStringLiteral("the table shows %1 of %2 stored records")
                   .arg(tableRows())
                   .arg(storeCount()));
    for (int row = 1; row <= 4; ++row)
        check(gridText(row, 1) == QString::number(storeCount()),
              QStringLiteral("statistics row %1 counts \"%2\"").arg(row).arg(gridText(row, 1)));
    check(!visibleProgressDialog(), QStringLiteral("the progress dialog stays open"));
    check(enabled("actionItemDownload"),
          QStringLiteral("Download stays disabled after the transfer"));
    const QList<QStringList> storeGrid = statisticsGrid();
    const QStringList firstRow = tableValues(0);
    const QStringList lastRow = tableValues(storeCount() - 1);

    step(QStringLiteral("unit-fahrenheit"));
    switchUnit(1);
    for (int row = 1; row <= 4; ++row) {
        const QStringList now = gridRow(row);
        check(now.value(0) == storeGrid[row - 1].value(0),
              QStringLiteral("the count changed with the unit: %1").arg(now.value(0)));
        for (int column = 1; column < 4; ++column) {
            const double before
                = number(storeGrid[row - 1].value(column), QStringLiteral("statistic"));
            const double shown = number(now.value(column), QStringLiteral("statistic"));
            // Humidity (row 2) is never converted. Both grids show one decimal of the same
            // unrounded statistic: the ℃ text is off by up to 0.05, which becomes 0.09 in ℉,
            // and the ℉ text itself by up to 0.05.
            const double wanted = row == 2 ? before : before * 1.8 + 32;
            check(std::abs(shown - wanted) <= 0.14 + 1e-9,
                  QStringLiteral("statistics row %1 shows %2 in ℉ for %3 in ℃")
                      .arg(row)
                      .arg(now.join(QLatin1Char(' ')), storeGrid[row - 1].join(QLatin1Char(' '))));
        }
    }
    check(tableText(0, 3) == firstRow.value(1),
          QStringLiteral("humidity changed with the unit: %1").arg(tableText(0, 3)));

    step(QStringLiteral("unit-celsius"));
    switchUnit(0);
    waitOrFail([&storeGrid] { return statisticsGrid() == storeGrid; }, 3000,
               QStringLiteral("statistics differ after the unit came back"));
    check(tableValues(0) == firstRow && tableValues(storeCount() - 1) == lastRow,
          QStringLiteral("the table differs after the unit came back"));

    QDir().mkpath(exportDir());
    const QString xls = exportDir() + QStringLiteral("/road.xls");
    const QString xlsx = exportDir() + QStringLiteral("/road.xlsx");

    step(QStringLiteral("export-xls"));
    exportAs("rbTable", xls, QStringLiteral("The datas is exported successfully."));
    checkWritten(xls, QByteArray::fromHex("d0cf11e0a1b11ae1"), 8192);

    step(QStringLiteral("export-xlsx"));
    exportAs("rbTable", xlsx, QStringLiteral("The datas is exported successfully."));
    checkWritten(xlsx, QByteArray("PK\x03\x04", 4), 4096);

    step(QStringLiteral("export-charts"));
    exportAs("rbChart", exportDir() + QStringLiteral("/road.jpg"), QString());
    for (const char *word : {"Temperature", "Tumidity", "DewPoint", "WetBulb"})
        checkPicture(exportDir() + QStringLiteral("/road_%1.jpg").arg(QLatin1String(word)));
    check(!QFile::exists(exportDir() + QStringLiteral("/road.jpg")),
          QStringLiteral("the chosen picture name itself was written"));
    check(child<QTabWidget>(mainWindow(), "tabWidget")->currentIndex() == 0,
          QStringLiteral("the chart tab did not return to the first one"));

    step(QStringLiteral("export-pdf"));
    const QString pdf = exportDir() + QStringLiteral("/road.pdf");
    exportAs("rbPdf", pdf, QStringLiteral("The data are exported successfully."));
    checkWritten(pdf, QByteArray("%PDF"), 4096);
    const int pages = pdfPages(pdf);
    if (pages < 0)
        note(QStringLiteral("pdfinfo not installed: page count not checked"));
    else
        check(pages >= 2 && pages <= storeCount(),
              QStringLiteral("%1 pages for %2 rows").arg(pages).arg(storeCount()));

    step(QStringLiteral("import-xls"));
    importAs(xls, QStringLiteral("Import1"), storeGrid, firstRow, lastRow);

    step(QStringLiteral("import-xlsx"));
    importAs(xlsx, QStringLiteral("Import2"), storeGrid, firstRow, lastRow);

    step(QStringLiteral("disconnect"));
    trigger("actionDisconnect");
    waitOrFail([] { return enabled("actionConnect"); }, 5000,
               QStringLiteral("Connect stays disabled after Disconnect"));
    for (const char *linked :
         {"actionDisconnect", "actionStart", "actionItemDownload", "actionSettings"})
        check(!enabled(linked),
              QStringLiteral("%1 stays enabled without a link").arg(QLatin1String(linked)));

    step(QStringLiteral("layout"));
    QMainWindow *window = mainWindow();
    window->resize(900, 660);
    window->move(40, 30);
    window->addToolBar(Qt::LeftToolBarArea, child<QToolBar>(window, "mainToolBar"));
    pause(50);
    auto *inner = child<QSplitter>(window, "splitter");
    auto *outer = child<QSplitter>(window, "splitter_2");
    const int innerTotal = inner->sizes().value(0) + inner->sizes().value(1);
    const int outerTotal = outer->sizes().value(0) + outer->sizes().value(1);
    inner->setSizes({innerTotal * 45 / 100, innerTotal - innerTotal * 45 / 100});
    outer->setSizes({outerTotal * 70 / 100, outerTotal - outerTotal * 70 / 100});
    pause(50);
    QFile layout(layoutFile());
    check(layout.open(QIODevice::WriteOnly | QIODevice::Truncate),
          QStringLiteral("cannot write %1").arg(layoutFile()));
    layout.write(describeLayout().toUtf8());
    layout.close();

    closeWindow();
    checkOptionsFile(QStringLiteral("en-US"));
}

// Activates an item as a user does: selects its row and presses Set to active.
void activateItem(const QModelIndex &row)
{
    child<QTreeView>(mainWindow(), "tvItems")->setCurrentIndex(row);
    trigger("actionItemSetToActive");
    check(activeItemName() == row.data().toString(),
          QStringLiteral("\"%1\" is active instead of \"%2\"")
              .arg(activeItemName(), row.data().toString()));
}

void restored()
{
    // The road ended with its second import active.
    startPhase(QStringLiteral("Import2"));

    step(QStringLiteral("items-restored"));
    QStringList names;
    for (int row = 0; row < treeModel()->rowCount(treeModel()->index(1, 0)); ++row)
        names << treeModel()->index(row, 0, treeModel()->index(1, 0)).data().toString();
    check(names
              == QStringList {QStringLiteral("Measure1"), QStringLiteral("Road run"),
                              QStringLiteral("Import1"), QStringLiteral("Import2")},
          QStringLiteral("the items under Live Data are %1").arg(names.join(QLatin1String(", "))));
    waitOrFail(
        [] { return tableRows() == storeCount(); }, 5000,
        QStringLiteral("Import2 shows %1 of %2 readings").arg(tableRows()).arg(storeCount()));
    const QList<std::pair<QModelIndex, int>> recorded {
        {liveItem(QStringLiteral("Road run")), roadSamplePoints},
        {treeModel()->index(0, 0), storeCount()},
        {liveItem(QStringLiteral("Measure1")), 0},
    };
    for (const auto &item : recorded) {
        activateItem(item.first);
        check(tableRows() == item.second && gridText(1, 1) == QString::number(item.second),
              QStringLiteral("\"%1\" shows %2 rows and counts %3, recorded were %4")
                  .arg(item.first.data().toString())
                  .arg(tableRows())
                  .arg(gridText(1, 1))
                  .arg(item.second));
    }
    check(mainWindow()->statusBar()->currentMessage().isEmpty(),
          QStringLiteral("the status bar says \"%1\" after a normal end")
              .arg(mainWindow()->statusBar()->currentMessage()));

    step(QStringLiteral("layout-restored"));
    QFile layout(layoutFile());
    check(layout.open(QIODevice::ReadOnly), QStringLiteral("the road left no layout to compare"));
    const QString wanted = QString::fromUtf8(layout.readAll());
    waitOrFail([&wanted] { return describeLayout() == wanted; }, 3000,
               QStringLiteral("layout after the restart:\n%1\ninstead of:\n%2")
                   .arg(describeLayout(), wanted));

    step(QStringLiteral("options-restored"));
    auto options = answer("DlgOption", [](QWidget *dialog) {
        const QString language = child<QComboBox>(dialog, "cbbLanguage")->currentData().toString();
        const int rate = child<QSpinBox>(dialog, "spinSampleRate")->value();
        auto *points = child<QSpinBox>(dialog, "spinSamplePoints");
        const bool infinite = child<QCheckBox>(dialog, "cbInfinite")->isChecked();
        check(language == QLatin1String("en-US") && rate == roadSampleRate
                  && points->value() == roadSamplePoints && points->isEnabled() && !infinite,
              QStringLiteral("the options read %1, %2 ms, %3 points%4")
                  .arg(language)
                  .arg(rate)
                  .arg(points->value())
                  .arg(infinite ? QStringLiteral(", infinite") : QString()));
        pressCancel(dialog);
    });
    trigger("actionOption");
    awaitAnswer(options, 1000);

    step(QStringLiteral("english"));
    check(action("actionConnect")->text() == QLatin1String("Connect")
              && gridText(0, 1) == QLatin1String("NUM")
              && treeModel()->index(0, 0).data().toString() == QLatin1String("Store Data"),
          QStringLiteral("the interface is not in English: \"%1\", \"%2\"")
              .arg(action("actionConnect")->text(), gridText(0, 1)));

    step(QStringLiteral("connect"));
    connectMeter();

    step(QStringLiteral("record-limit"));
    newItem(QStringLiteral("Measure2"), QStringLiteral("Measure2"));
    recordToLimit();

    step(QStringLiteral("choose-chinese"));
    auto restart = answerBox(restartHint);
    auto chinese = answer("DlgOption", [](QWidget *dialog) {
        auto *language = child<QComboBox>(dialog, "cbbLanguage");
        const int index = language->findData(QStringLiteral("zh-CN"));
        check(index >= 0, QStringLiteral("the language list has no Chinese"));
        language->setCurrentIndex(index);
        pressOk(dialog);
    });
    trigger("actionOption");
    awaitAnswer(chinese, 1000);
    awaitAnswer(restart, 1000);
    check(action("actionConnect")->text() == QLatin1String("Connect"),
          QStringLiteral("the language changed before the restart"));

    closeWindow();
    checkOptionsFile(QStringLiteral("zh-CN"));
}

void chinese()
{
    step(QStringLiteral("start"));
    check(mainWindow()->windowTitle() == windowTitle,
          QStringLiteral("window title \"%1\" in Chinese").arg(mainWindow()->windowTitle()));

    step(QStringLiteral("chinese-texts"));
    QTranslator application;
    check(application.load(appDir() + QStringLiteral("/zh-CN.qm")),
          QStringLiteral("zh-CN.qm does not load"));
    auto expectChinese
        = [&application](const char *context, const char *source, const QString &shown) {
              const QString wanted = application.translate(context, source);
              check(hasChinese(wanted),
                    QStringLiteral("zh-CN.qm has no Chinese for %1 \"%2\"")
                        .arg(QLatin1String(context), QLatin1String(source)));
              check(shown == wanted,
                    QStringLiteral("\"%1\" shows \"%2\", expected \"%3\"")
                        .arg(QLatin1String(source), shown, wanted));
          };
    QMainWindow *window = mainWindow();
    expectChinese("Widget", "Connect", action("actionConnect")->text());
    expectChinese("Widget", "Start", action("actionStart")->text());
    expectChinese("Widget", "Download", action("actionItemDownload")->text());
    expectChinese("Widget", "&File", window->menuBar()->actions().value(0)->text());
    expectChinese("Widget", "TEMP", labelText("label_2"));
    expectChinese("Widget", "NUM", gridText(0, 1));
    expectChinese("Widget", "Temperature", child<QTabWidget>(window, "tabWidget")->tabText(0));
    expectChinese("Widget", "Store Data", treeModel()->index(0, 0).data().toString());
    expectChinese("Widget", "Live Data", treeModel()->index(1, 0).data().toString());

    step(QStringLiteral("options-chinese"));
    QTranslator toolkit;
    check(toolkit.load(appDir() + QStringLiteral("/translations/qt_zh_CN.qm")),
          QStringLiteral("translations/qt_zh_CN.qm does not load (are the catalogues it names "
                         "beside it?)"));
    const QString ok = toolkit.translate("QPlatformTheme", "OK");
    check(hasChinese(ok), QStringLiteral("the toolkit translation has no Chinese OK"));
    auto options = answer("DlgOption", [&application, ok](QWidget *dialog) {
        auto *language = child<QComboBox>(dialog, "cbbLanguage");
        check(language->currentData().toString() == QLatin1String("zh-CN"),
              QStringLiteral("the options open on %1").arg(language->currentData().toString()));
        check(language->currentText() == application.translate("DlgOption", "Chinese")
                  && dialog->windowTitle() == application.translate("DlgOption", "Options"),
              QStringLiteral("the options dialog is not in Chinese: \"%1\", \"%2\"")
                  .arg(dialog->windowTitle(), language->currentText()));
        QPushButton *okButton
            = child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
        check(okButton && okButton->text() == ok,
              QStringLiteral("the toolkit's OK button reads \"%1\"")
                  .arg(okButton ? okButton->text() : QString()));
        pressCancel(dialog);
    });
    trigger("actionOption");
    awaitAnswer(options, 1000);

    step(QStringLiteral("connect"));
    connectMeter();

    step(QStringLiteral("download-chinese"));
    auto downloaded
        = answerBox(application.translate("Widget", "All stored data have been downloaded."));
    trigger("actionItemDownload");
    awaitAnswer(downloaded, 20000);
    check(tableRows() == storeCount(),
          QStringLiteral("the table shows %1 of %2 stored records")
              .arg(tableRows())
              .arg(storeCount()));

    closeWindow();
}

void runPhase(const QString &phase)
{
    const int limitSeconds = qEnvironmentVariableIsSet("METER_E2E_PHASE_LIMIT_S")
        ? qEnvironmentVariableIntValue("METER_E2E_PHASE_LIMIT_S")
        : 45;
    if (phase == QLatin1String("road")) {
        beginPhase(phase, 20, limitSeconds * 1000);
        road();
    } else if (phase == QLatin1String("restored")) {
        beginPhase(phase, 60, limitSeconds * 1000);
        restored();
    } else if (phase == QLatin1String("chinese")) {
        beginPhase(phase, 90, limitSeconds * 1000);
        chinese();
    } else {
        std::fprintf(stdout, "PHASE %s UNKNOWN\n", qPrintable(phase));
        std::fflush(stdout);
        std::_Exit(2);
    }
    endPhase();
}

// The script starts once the window is up and the event loop runs.
void runWhenShown(const QString &phase, int attempt)
{
    QMainWindow *window = mainWindow();
    if (window && window->isVisible()) {
        runPhase(phase);
        return;
    }
    if (attempt > 200) {
        std::fprintf(stdout, "PHASE %s FAILED: the main window never appeared\n",
                     qPrintable(phase));
        std::fflush(stdout);
        std::_Exit(3);
    }
    QTimer::singleShot(50, qApp, [phase, attempt] { runWhenShown(phase, attempt + 1); });
}

void startDriver()
{
    const QString phase = qEnvironmentVariable("METER_E2E_PHASE");
    if (phase.isEmpty())
        return;
    // Tools started from here (pdfinfo) must not load the driver again.
    qunsetenv("LD_PRELOAD");
    QTimer::singleShot(0, qApp, [phase] { runWhenShown(phase, 0); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)
