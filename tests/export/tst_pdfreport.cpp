#include "pdfreport.h"
#include "recordingdevice.h"
#include "reportsummary.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

// A page area like the PDF writer's A4 at its default resolution.
const int pageWidth = 9921;
const int pageHeight = 14031;
const int pageDpi = 1200;

// Rows as the reading table shows them: an integer number, then texts.
void fillModel(QStandardItemModel &model, int rows)
{
    model.clear();
    model.setColumnCount(6);
    model.setRowCount(rows);
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    for (int row = 0; row < rows; ++row) {
        model.setData(model.index(row, 0), row + 1);
        model.setData(model.index(row, 1), start.addSecs(row).toString("yyyy-MM-dd hh:mm:ss"));
        model.setData(model.index(row, 2), QStringLiteral("%1 ℃").arg(20.0 + row % 50 / 10.0));
        model.setData(model.index(row, 3), QStringLiteral("%1 %RH").arg(40 + row % 30));
        model.setData(model.index(row, 4), QStringLiteral("12.3 ℃"));
        model.setData(model.index(row, 5), QStringLiteral("15.6 ℃"));
    }
}

int rowsPerPageOn(QPaintDevice *device)
{
    QStandardItemModel model(0, 6);
    QPainter painter(device);
    return PdfReport(&model).layoutFor(painter).rowsPerPage;
}

// Translates every text, as an interface in another language would.
class EverythingTranslator : public QTranslator
{
public:
    QString translate(const char *, const char *, const char * = nullptr, int = -1) const override
    {
        return QStringLiteral("译文");
    }
    bool isEmpty() const override { return false; }
};

bool isVertical(const QLineF &line)
{
    return qFuzzyCompare(line.x1(), line.x2()) && !qFuzzyCompare(line.y1(), line.y2());
}

QString runTool(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TstPdfReport : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void pages_data();
    void pages();
    void stampTakenPerPage();
    void cellText_data();
    void cellText();
    void englishTitlesUnderTranslation();
    void pdfFile();
    void summaryPage_data();
    void summaryPage();
    void unwritableFileFails_data();
    void unwritableFileFails();
    void stoppedReportLeavesNoFile();
};

void TstPdfReport::layout_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("rowsPerPage");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("lastPageRows");

    // 1000 x 1000 with a 10-unit line: r = 20, R = (1000 - 100) / 20 = 45.
    QTest::newRow("one row") << 1000 << 1 << 45 << 1 << 1;
    QTest::newRow("exactly full") << 1000 << 45 << 45 << 1 << 45;
    QTest::newRow("one more") << 1000 << 46 << 45 << 2 << 1;
    QTest::newRow("two full") << 1000 << 90 << 45 << 2 << 45;
    QTest::newRow("two and one") << 1000 << 91 << 45 << 3 << 1;
    QTest::newRow("remainder drops") << 1019 << 46 << 45 << 2 << 1;
    // An empty table still makes one page with its header; a tiny page still holds a row.
    QTest::newRow("empty") << 1000 << 0 << 45 << 1 << 0;
    QTest::newRow("tiny page") << 50 << 3 << 1 << 3 << 1;
}

void TstPdfReport::layout()
{
    QFETCH(int, height);
    QFETCH(int, rows);
    QFETCH(int, rowsPerPage);
    QFETCH(int, pages);
    QFETCH(int, lastPageRows);

    const QVector<int> weights {2, 3, 2, 2, 2, 2};
    const PdfReport::Layout l = PdfReport::computeLayout(1000, height, 10, rows, weights);
    QCOMPARE(l.margin, 50);
    QCOMPARE(l.rowHeight, 20);
    QCOMPARE(l.rowsPerPage, rowsPerPage);
    QCOMPARE(l.pageCount, pages);
    QCOMPARE(l.rowsOnPage(pages - 1), lastPageRows);
    QCOMPARE(l.rowsOnPage(pages), 0);
    int printed = 0;
    for (int p = 0; p < pages; ++p)
        printed += l.rowsOnPage(p);
    QCOMPARE(printed, rows);

    // Columns follow each other; truncation leaves the last one short of the right edge
    // by less than one unit per column.
    QCOMPARE(l.unit, 900.0 / 13);
    QCOMPARE(l.columnLefts.first(), l.margin);
    QCOMPARE(l.columnWidths.at(1), int(3 * 900.0 / 13));
    for (int j = 1; j < weights.size(); ++j)
        QCOMPARE(l.columnLefts.at(j), l.columnLefts.at(j - 1) + l.columnWidths.at(j - 1));
    const int end = l.columnLefts.last() + l.columnWidths.last();
    QVERIFY(end <= l.tableRight() && end > l.tableRight() - weights.size());
}

void TstPdfReport::pages_data()
{
    QTest::addColumn<int>("extraRows"); // beyond the rows of one page
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("lastPageRows");

    QTest::newRow("N = R") << 0 << 1 << -1;
    QTest::newRow("N = R + 1") << 1 << 2 << 1;
    QTest::newRow("N = R - 3") << -3 << 1 << -4;
}

void TstPdfReport::pages()
{
    QFETCH(int, extraRows);
    QFETCH(int, pages);
    QFETCH(int, lastPageRows);

    RecordingDevice device(pageWidth, pageHeight, pageDpi);
    const int R = rowsPerPageOn(&device);
    QVERIFY(R > 10);
    if (lastPageRows < 0)
        lastPageRows += R + 1;

    QStandardItemModel model;
    fillModel(model, R + extraRows);
    PdfReport report(&model);
    QVector<QPair<int, int>> progress;
    report.setProgress([&](int done, int total) { progress.append({done, total}); });

    RecordingEngine &engine = device.engine();
    QPainter painter(&device);
    QVERIFY(report.paint(painter, [&] { return ++engine.page, true; }));
    painter.end();

    const PdfReport::Layout l = report.layout();
    const int r = l.rowHeight;
    QCOMPARE(l.rowsPerPage, R);
    QCOMPARE(l.pageCount, pages);
    QCOMPARE(engine.page, pages - 1);
    QCOMPARE(progress.size(), pages);
    QCOMPARE(progress.last(), qMakePair(pages, pages));

    const QStringList titles {"No.", "Time", "Temperature", "Humidity", "Dew Point", "Wet Bulb"};
    for (int p = 0; p < pages; ++p) {
        // The page number keeps its height on every page, a short last page included.
        const QString number = QStringLiteral("%1/%2").arg(p + 1).arg(pages);
        const RecordingEngine::Text *t = engine.find(p, number);
        QVERIFY2(t, qPrintable(number));
        QVERIFY(t->baseline.y() > l.pageNumberTop() && t->baseline.y() <= l.pageNumberTop() + r);
        QVERIFY(qAbs(t->baseline.x() + t->width - l.tableRight()) <= 2);

        for (int j = 0; j < titles.size(); ++j) {
            const RecordingEngine::Text *title = engine.find(p, titles.at(j));
            QVERIFY2(title, qPrintable(titles.at(j)));
            const qreal centre = l.columnLefts.at(j) + l.columnWidths.at(j) / 2.0;
            QVERIFY(qAbs(title->baseline.x() + title->width / 2 - centre) <= 2);
            QVERIFY(title->baseline.y() > 3 * r && title->baseline.y() <= 4 * r);
        }
    }

    // Every header and cell text stays between the rules of its column.
    for (const RecordingEngine::Text &t : engine.texts) {
        if (t.baseline.y() <= 3 * r || t.baseline.y() > l.pageNumberTop())
            continue; // stamp and page number
        const auto column = std::upper_bound(l.columnLefts.begin(), l.columnLefts.end(),
                                             t.baseline.x() + t.width / 2)
            - l.columnLefts.begin() - 1;
        QVERIFY(column >= 0);
        QVERIFY2(t.baseline.x() >= l.columnLefts.at(column)
                     && t.baseline.x() + t.width
                         <= l.columnLefts.at(column) + l.columnWidths.at(column),
                 qPrintable(t.text));
    }

    // The last page's rules end under its last row.
    const int last = pages - 1;
    const int n = l.rowsOnPage(last);
    QCOMPARE(n, lastPageRows);
    int verticals = 0;
    int horizontals = 0;
    qreal lowest = 0;
    for (const QLineF &line : engine.linesOn(last)) {
        lowest = qMax(lowest, qMax(line.y1(), line.y2()));
        if (isVertical(line)) {
            ++verticals;
            QCOMPARE(qMin(line.y1(), line.y2()), qreal(3 * r));
            QCOMPARE(qMax(line.y1(), line.y2()), qreal((n + 4) * r));
        } else {
            ++horizontals;
            QCOMPARE(qMax(line.x1(), line.x2()), qreal(l.tableRight()));
        }
    }
    QCOMPARE(verticals, titles.size() + 1);
    QCOMPARE(horizontals, 2 + n);
    QCOMPARE(lowest, qreal((n + 4) * r));

    // The last page starts with the row after the previous pages' rows.
    const QString firstNumber = QString::number(last * R + 1);
    const RecordingEngine::Text *cell = engine.find(last, firstNumber);
    QVERIFY(cell);
    QVERIFY(cell->baseline.y() > 4 * r && cell->baseline.y() <= 5 * r);
    QVERIFY(engine.find(last, QString::number(R + extraRows)));
    QVERIFY(!engine.find(last, QString::number(last * R)));
}

void TstPdfReport::stampTakenPerPage()
{
    RecordingDevice device(pageWidth, pageHeight, pageDpi);
    const int R = rowsPerPageOn(&device);
    QStandardItemModel model;
    fillModel(model, 2 * R + 1);

    PdfReport report(&model);
    const QDateTime start(QDate(2023, 12, 31), QTime(23, 59, 58));
    int calls = 0;
    report.setClock([&] { return start.addSecs(calls++); });

    RecordingEngine &engine = device.engine();
    QPainter painter(&device);
    QVERIFY(report.paint(painter, [&] { return ++engine.page, true; }));
    painter.end();

    const PdfReport::Layout l = report.layout();
    QCOMPARE(calls, 3);
    const QStringList expected {"2023-12-31 23:59:58", "2023-12-31 23:59:59",
                                "2024-01-01 00:00:00"};
    for (int p = 0; p < 3; ++p) {
        const RecordingEngine::Text *stamp = engine.find(p, expected.at(p));
        QVERIFY2(stamp, qPrintable(expected.at(p)));
        // Ends at the table's right edge, just above the header.
        QVERIFY(qAbs(stamp->baseline.x() + stamp->width - l.tableRight()) <= 2);
        QVERIFY(stamp->baseline.y() > 2 * l.rowHeight && stamp->baseline.y() <= 3 * l.rowHeight);
    }
}

void TstPdfReport::cellText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("int") << QVariant(120) << "120";
    QTest::newRow("64-bit") << QVariant(qint64(-5)) << "-5";
    QTest::newRow("char") << QVariant::fromValue(char('A')) << "65";
    QTest::newRow("value text kept") << QVariant(" 21.5 ℃") << " 21.5 ℃";
    // A downloaded record's time arrives as the table's minute-precision text.
    QTest::newRow("stored time kept") << QVariant("2024-03-05 14:07") << "2024-03-05 14:07";
    QTest::newRow("date-time") << QVariant(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)))
                               << "2024-03-05 14:07:09";
    QTest::newRow("bool") << QVariant(true) << "true";
}

void TstPdfReport::cellText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QCOMPARE(PdfReport::cellText(value), text);
}

void TstPdfReport::englishTitlesUnderTranslation()
{
    EverythingTranslator translator;
    QCoreApplication::installTranslator(&translator);

    QStandardItemModel model;
    fillModel(model, 3);
    model.setHorizontalHeaderLabels({"编号", "时间", "温度", "湿度", "露点", "湿球"});
    RecordingDevice device(pageWidth, pageHeight, pageDpi);
    PdfReport report(&model);
    QPainter painter(&device);
    QVERIFY(report.paint(painter, [] { return true; }));
    painter.end();
    QCoreApplication::removeTranslator(&translator);

    const RecordingEngine &engine = device.engine();
    const QStringList titles {"No.", "Time", "Temperature", "Humidity", "Dew Point", "Wet Bulb"};
    for (const QString &title : titles)
        QVERIFY2(engine.find(0, title), qPrintable(title));
    for (const RecordingEngine::Text &t : engine.texts)
        QVERIFY2(!t.text.contains(QChar(0x8bd1)) && !t.text.contains("温度"), qPrintable(t.text));
}

void TstPdfReport::pdfFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath("report.pdf");
    QFile old(fileName);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older file of the same name");
    old.close();

    QStandardItemModel model;
    fillModel(model, 60);
    PdfReport report(&model);
    QVERIFY2(report.writeFile(fileName), qPrintable(report.errorString()));
    const int pages = report.layout().pageCount;
    QVERIFY(pages >= 2);

    QFile written(fileName);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));

    if (QStandardPaths::findExecutable("pdfinfo").isEmpty()
        || QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("poppler's pdfinfo and pdftotext are not installed");

    const QString info = runTool("pdfinfo", {fileName});
    QVERIFY(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages))));
    const QRegularExpressionMatch size
        = QRegularExpression("Page size:\\s+([\\d.]+) x ([\\d.]+) pts").match(info);
    QVERIFY2(size.hasMatch(), qPrintable(info));
    QCOMPARE(qRound(size.captured(1).toDouble()), 595);
    QCOMPARE(qRound(size.captured(2).toDouble()), 842);

    const QString text = runTool("pdftotext", {"-layout", fileName, "-"});
    for (const QString &expected :
         {QStringLiteral("No."), QStringLiteral("Wet Bulb"), QStringLiteral("Dew Point"),
          QStringLiteral("1/%1").arg(pages), QStringLiteral("%1/%1").arg(pages),
          QStringLiteral("2024-03-05 14:07:09"), QStringLiteral("%RH"), QStringLiteral("℃")})
        QVERIFY2(text.contains(expected), qPrintable(expected));

    // Where the words landed on the first page: every cell's text between its column's
    // rules and inside its row. The report draws in the writer's page area, in its units.
    const PdfReport::Layout l = report.layout();
    QBuffer scratch;
    scratch.open(QIODevice::WriteOnly);
    QPdfWriter writer(&scratch);
    writer.setPageSize(QPageSize(QPageSize::A4));
    const QPoint area = writer.pageLayout().paintRectPixels(writer.resolution()).topLeft();
    const qreal points = 72.0 / writer.resolution();
    const QString boxes = runTool("pdftotext", {"-bbox", "-f", "1", "-l", "1", fileName, "-"});
    const QRegularExpression word(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                                                 "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)<"));
    int cells = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const qreal xMin = m.captured(1).toDouble() / points - area.x();
        const qreal yMin = m.captured(2).toDouble() / points - area.y();
        const qreal xMax = m.captured(3).toDouble() / points - area.x();
        const qreal yMax = m.captured(4).toDouble() / points - area.y();
        if (yMin < l.rowTop(0) || yMin > l.pageNumberTop())
            continue; // stamp, titles and page number
        const int row = int(yMin / l.rowHeight) - 4;
        QVERIFY2(yMax <= l.rowTop(row) + l.rowHeight, qPrintable(m.captured(5)));
        const auto column
            = std::upper_bound(l.columnLefts.begin(), l.columnLefts.end(), (xMin + xMax) / 2)
            - l.columnLefts.begin() - 1;
        QVERIFY(column >= 0);
        QVERIFY2(xMin >= l.columnLefts.at(column)
                     && xMax <= l.columnLefts.at(column) + l.columnWidths.at(column),
                 qPrintable(m.captured(5)));
        ++cells;
    }
    QVERIFY(cells >= 6 * l.rowsPerPage);
}

// The summary page as pdftotext reads it, and its four charts as a rendering shows them; the
// reading table follows on the pages after it, numbered among all pages.
void TstPdfReport::summaryPage_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QStringList>("lines"); // each line of the page's text, blanks squeezed

    // 60 rows a second apart: temperatures 20 .. 24.9 (shown "20", "20.1" ...), humidity 40
    // .. 69, dew point and wet bulb constant.
    QTest::newRow("celsius") << 60 << false
                             << QStringList {"Item name Kitchen shelf",
                                             "First reading 2024-03-05 14:07:09",
                                             "Last reading 2024-03-05 14:08:08",
                                             "Duration 00:00:59",
                                             "Readings 60",
                                             "Minimum Maximum Average",
                                             "Temperature (℃) 20.0 24.9 22.12",
                                             "Humidity (%RH) 40 69 54.5",
                                             "Dew Point (℃) 12.3 12.3 12.30",
                                             "Wet Bulb (℃) 15.6 15.6 15.60"};
    // Over a day (the last reading a day later); the unit follows the table.
    QTest::newRow("fahrenheit, a day and more")
        << 3 << true << QStringList {"Last reading 2024-03-06 15:08:10",
                                     "Duration 1 d 01:01:01",
                                     "Readings 3",
                                     "Temperature (℉) 20.0 20.2 20.10",
                                     "Humidity (%RH) 40 42 41.0",
                                     "Dew Point (℉) 12.3 12.3 12.30"};
}

void TstPdfReport::summaryPage()
{
    QFETCH(int, rows);
    QFETCH(bool, fahrenheit);
    QFETCH(QStringList, lines);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()
        || QStandardPaths::findExecutable("pdftoppm").isEmpty())
        QSKIP("poppler's pdftotext and pdftoppm are not installed");

    QStandardItemModel model;
    fillModel(model, rows);
    if (fahrenheit) {
        model.setData(model.index(rows - 1, 1), QStringLiteral("2024-03-06 15:08:10"));
        for (int row = 0; row < rows; ++row) {
            for (int column : {2, 4, 5}) {
                const QModelIndex index = model.index(row, column);
                model.setData(index, model.data(index).toString().replace("℃", "℉"));
            }
        }
    }
    // Four charts, each of one colour, to be found again on the rendered page.
    const QVector<QColor> colours {Qt::red, Qt::green, Qt::blue, Qt::magenta};
    QVector<QImage> charts;
    for (const QColor &colour : colours) {
        QImage chart(710, 400, QImage::Format_RGB32);
        chart.fill(colour);
        charts << chart;
    }

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath("summary.pdf");
    PdfReport report(&model);
    report.setSummary(QStringLiteral("Kitchen shelf"), charts);
    QVERIFY2(report.writeFile(fileName), qPrintable(report.errorString()));
    const int pages = report.layout().pageCount + 1;

    QStringList text;
    for (QString line : runTool("pdftotext", {"-layout", "-f", "1", "-l", "1", fileName, "-"})
                            .split(QLatin1Char('\n'))) {
        line = line.simplified();
        if (!line.isEmpty())
            text << line;
    }
    for (const QString &line : lines)
        QVERIFY2(text.contains(line),
                 qPrintable(line + QStringLiteral(" not in:\n") + text.join('\n')));
    // The name heads the page, level with the stamp.
    QVERIFY(!text.isEmpty() && text.first().startsWith(QStringLiteral("Kitchen shelf 20")));
    QVERIFY(text.contains(QStringLiteral("1/%1").arg(pages)));
    // The table begins on the second page, its rows from the first reading on.
    const QString second = runTool("pdftotext", {"-layout", "-f", "2", "-l", "2", fileName, "-"});
    QVERIFY(second.contains("Wet Bulb"));
    QVERIFY(second.contains("2024-03-05 14:07:09"));
    QVERIFY(second.contains(QStringLiteral("2/%1").arg(pages)));
    const QString last = runTool(
        "pdftotext", {"-f", QString::number(pages), "-l", QString::number(pages), fileName, "-"});
    QVERIFY(last.contains(QStringLiteral("%1/%1").arg(pages)));

    // The charts: each colour covers a good part of its quarter of the lower page, in order.
    runTool(
        "pdftoppm",
        {"-png", "-r", "30", "-f", "1", "-l", "1", "-singlefile", fileName, dir.filePath("page")});
    const QImage page(dir.filePath("page.png"));
    QVERIFY(!page.isNull());
    QVector<QPoint> centres(colours.size());
    for (int i = 0; i < colours.size(); ++i) {
        int count = 0;
        qint64 sx = 0;
        qint64 sy = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QColor c = page.pixelColor(x, y);
                if (qAbs(c.red() - colours.at(i).red()) < 40
                    && qAbs(c.green() - colours.at(i).green()) < 40
                    && qAbs(c.blue() - colours.at(i).blue()) < 40) {
                    ++count;
                    sx += x;
                    sy += y;
                }
            }
        }
        QVERIFY2(count > page.width() * page.height() / 40, qPrintable(colours.at(i).name()));
        centres[i] = QPoint(int(sx / count), int(sy / count));
        QVERIFY(centres[i].y() > page.height() / 3);
    }
    // Two rows of two: temperature and humidity above, dew point and wet bulb below.
    QVERIFY(centres[0].x() < centres[1].x() && centres[2].x() < centres[3].x());
    QVERIFY(centres[0].y() < centres[2].y() && centres[1].y() < centres[3].y());
}

void TstPdfReport::unwritableFileFails_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << "no/such/folder/report.pdf";
    QTest::newRow("folder is a file") << "plain.txt/report.pdf";
    QTest::newRow("name is a folder") << "sub";
}

void TstPdfReport::unwritableFileFails()
{
    QFETCH(QString, relative);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile plain(dir.filePath("plain.txt"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    const QStringList before = QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);

    QStandardItemModel model;
    fillModel(model, 5);
    PdfReport report(&model);
    int pagesDone = 0;
    report.setProgress([&](int done, int) { pagesDone = done; });
    QVERIFY(!report.writeFile(dir.filePath(relative)));
    QVERIFY(!report.errorString().isEmpty());
    QCOMPARE(pagesDone, 0);
    // Nothing is left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), before);
    QVERIFY(QDir(dir.filePath("sub")).isEmpty());
}

// Stopped after its second page, the report replaces nothing and leaves nothing behind.
void TstPdfReport::stoppedReportLeavesNoFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fileName = dir.filePath("report.pdf");
    {
        QFile old(fileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier report");
    }
    QStandardItemModel model;
    fillModel(model, 200);
    PdfReport report(&model);
    int pagesDone = 0;
    report.setProgress([&](int done, int) { pagesDone = done; });
    report.setStop([&] { return pagesDone >= 2; });
    QVERIFY(!report.writeFile(fileName));
    QVERIFY(report.wasStopped());
    QCOMPARE(pagesDone, 2);
    QFile old(fileName);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("an earlier report"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {"report.pdf"});
}

QTEST_MAIN(TstPdfReport)
#include "tst_pdfreport.moc"
