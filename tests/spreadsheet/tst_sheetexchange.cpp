// The workbook exchange: what our files hold as other readers see them, what our import
// makes of our files and of files other programs wrote, and the rows it must not accept.
#include "cfbwriter.h"
#include "csvreader.h"
#include "foreignreader.h"
#include "localzone.h"
#include "readingtable.h"
#include "sheetexport.h"
#include "sheetimport.h"
#include "sheetlayout.h"
#include "tablesource.h"
#include "taskprogress.h"
#include "workbookreader.h"
#include "xlswriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <ctime>

Q_DECLARE_METATYPE(SheetExport::Format)
Q_DECLARE_METATYPE(WorkbookReader::Error)

namespace {

const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));

QString suffix(SheetExport::Format format)
{
    switch (format) {
    case SheetExport::Xls:
        return QStringLiteral(".xls");
    case SheetExport::Xlsx:
        return QStringLiteral(".xlsx");
    case SheetExport::Csv:
        break;
    }
    return QStringLiteral(".csv");
}

// A CSV file of ours as a spreadsheet program with a decimal comma saves it: semicolons
// between the fields, commas in the numbers, no byte-order mark.
QByteArray withSemicolons(QByteArray csv)
{
    if (csv.startsWith("\xEF\xBB\xBF"))
        csv.remove(0, 3);
    csv.replace(',', ';');
    csv.replace('.', ',');
    // The header's "No." keeps its dot.
    csv.replace("No,;", "No.;");
    return csv;
}

// The default locale for the rest of a test.
class DefaultLocale
{
public:
    explicit DefaultLocale(const QString &name)
    {
        if (!name.isEmpty())
            QLocale::setDefault(QLocale(name));
    }
    ~DefaultLocale() { QLocale::setDefault(m_old); }

private:
    QLocale m_old;
};

QString fixture(const QString &name)
{
    return QDir(qEnvironmentVariable("METER_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/spreadsheet/fixtures/") + name);
}

QJsonObject cellAt(const QJsonObject &sheet, int row, int column)
{
    return sheet.value(QStringLiteral("head")).toArray().at(row).toArray().at(column).toObject();
}

// A time as the import keeps it: its wall-clock digits in a Qt::UTC time.
QDateTime wallClock(const QDateTime &time)
{
    return QDateTime(time.date(), time.time(), Qt::UTC);
}

QDateTime wallClock(int year, int month, int day, int h, int m, int s)
{
    return QDateTime(QDate(year, month, day), QTime(h, m, s), Qt::UTC);
}

// BIFF8 records by hand, for what our writer never writes.
class Biff
{
public:
    Biff &record(quint16 id, const QByteArray &data)
    {
        m_bytes += le16(id) + le16(quint16(data.size())) + data;
        return *this;
    }
    QByteArray &bytes() { return m_bytes; }

    static QByteArray le16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        return QByteArray(b, 2);
    }
    static QByteArray le32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        return QByteArray(b, 4);
    }
    static QByteArray f64(double v)
    {
        quint64 bits;
        memcpy(&bits, &v, sizeof bits);
        char b[8];
        qToLittleEndian(bits, b);
        return QByteArray(b, 8);
    }
    static QByteArray utf16(const QString &text)
    {
        QByteArray out;
        for (QChar c : text)
            out += le16(c.unicode());
        return out;
    }
    // Row, column and cell style of a cell record.
    static QByteArray cell(int row, int column, int style = 0)
    {
        return le16(quint16(row)) + le16(quint16(column)) + le16(quint16(style));
    }

private:
    QByteArray m_bytes;
};

void compareReading(const ImportedReading &got, int storeIndex, const QDateTime &time,
                    const QVector<double> &values)
{
    QCOMPARE(got.storeIndex, storeIndex);
    QCOMPARE(got.time, time);
    QCOMPARE(got.time.timeSpec(), Qt::UTC);
    for (int channel = 0; channel < 4; ++channel)
        QVERIFY2(std::abs(got.values[size_t(channel)] - values.at(channel)) < 1e-9,
                 qPrintable(QStringLiteral("channel %1: %2 instead of %3")
                                .arg(channel)
                                .arg(got.values[size_t(channel)], 0, 'g', 17)
                                .arg(values.at(channel), 0, 'g', 17)));
}

} // namespace

class TestSheetExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void roundTrip_data();
    void roundTrip();
    void layoutSeenByXlrd_data();
    void layoutSeenByXlrd();
    void unicodeTexts_data();
    void unicodeTexts();
    void layoutSeenByLibreOffice_data();
    void layoutSeenByLibreOffice();
    void csvSeenByOtherReaders_data();
    void csvSeenByOtherReaders();
    void csvFields_data();
    void csvFields();
    void exportFailure_data();
    void exportFailure();
    void continuationSheets_data();
    void continuationSheets();
    void laterSheetOfAnotherTable();
    void exportStops_data();
    void exportStops();
    void importStops();

    void importFixtures_data();
    void importFixtures();
    void sameTableFromOtherPrograms_data();
    void sameTableFromOtherPrograms();
    void importCounts_data();
    void importCounts();
    void timesInDaylightSavingGaps_data();
    void timesInDaylightSavingGaps();
    void usedRangeFirstColumn_data();
    void usedRangeFirstColumn();
    void biffRecords();
    void importErrors_data();
    void importErrors();
    void convertRow_data();
    void convertRow();
    void skippedRowsMessage();

    void dateSerials_data();
    void dateSerials();
    void isDateFormat_data();
    void isDateFormat();

private:
    QTemporaryDir m_dir;
};

void TestSheetExchange::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // For a look at the files afterwards.
    if (qEnvironmentVariableIsSet("METER_KEEP_TEST_FILES")) {
        m_dir.setAutoRemove(false);
        qInfo() << "Files kept in" << m_dir.path();
    }
}

// Export and import give back what the table showed: values to the shown tenth, times to
// the second (stored records: to the minute), Fahrenheit tables back in Celsius.
void TestSheetExchange::roundTrip_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("semicolons");
    for (SheetExport::Format format : {SheetExport::Xls, SheetExport::Xlsx, SheetExport::Csv}) {
        const QByteArray f = suffix(format).mid(1).toLatin1();
        QTest::newRow(f + " live") << format << false << false << QString() << false;
        QTest::newRow(f + " stored") << format << true << false << QString() << false;
        QTest::newRow(f + " fahrenheit") << format << false << true << QString() << false;
        QTest::newRow(f + " stored fahrenheit") << format << true << true << QString() << false;
    }
    // Written where numbers have a decimal comma, the file keeps the dot.
    for (const char *locale : {"de_DE", "fr_FR"}) {
        QTest::newRow(QByteArray("csv in ") + locale)
            << SheetExport::Csv << false << false << QString::fromLatin1(locale) << false;
        QTest::newRow(QByteArray("csv fahrenheit in ") + locale)
            << SheetExport::Csv << true << true << QString::fromLatin1(locale) << false;
    }
    // Saved again by a spreadsheet program with decimal commas.
    QTest::newRow("csv with semicolons")
        << SheetExport::Csv << false << false << QStringLiteral("de_DE") << true;
    QTest::newRow("csv with semicolons, fahrenheit")
        << SheetExport::Csv << true << true << QString() << true;
}

void TestSheetExchange::roundTrip()
{
    QFETCH(SheetExport::Format, format);
    QFETCH(bool, stored);
    QFETCH(bool, fahrenheit);
    QFETCH(QString, locale);
    QFETCH(bool, semicolons);
    const DefaultLocale inLocale(locale);
    QVector<ReadingTable::Reading> readings = ReadingTable::sample(300, start);
    for (int i = 0; i < readings.size(); ++i)
        readings[i].storeIndex = 57 + 3 * i;
    const ReadingTable table(readings, stored, fahrenheit);
    const QString file = m_dir.filePath(QStringLiteral("round") + suffix(format));

    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);
    if (semicolons) {
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadWrite));
        const QByteArray changed = withSemicolons(csv.readAll());
        QVERIFY(csv.resize(0));
        QCOMPARE(csv.write(changed), qint64(changed.size()));
    }
    const SheetImport::Result result = SheetImport::importFile(file);
    QCOMPARE(result.error, WorkbookReader::NoError);
    QCOMPARE(result.skippedRows, 0);
    QCOMPARE(result.readings.size(), readings.size());
    for (int row = 0; row < readings.size(); ++row) {
        const ImportedReading &got = result.readings.at(row);
        QCOMPARE(got.storeIndex, stored ? readings.at(row).storeIndex : row + 1);
        QDateTime expected = wallClock(readings.at(row).time);
        if (stored)
            expected.setTime(QTime(expected.time().hour(), expected.time().minute()));
        QCOMPARE(got.time, expected);
        for (int channel = 0; channel < 4; ++channel) {
            const double want = table.shownValue(row, channel);
            if (std::abs(got.values[size_t(channel)] - want) > 1e-9)
                QFAIL(qPrintable(QStringLiteral("row %1 channel %2: %3 instead of %4")
                                     .arg(row)
                                     .arg(channel)
                                     .arg(got.values[size_t(channel)], 0, 'g', 17)
                                     .arg(want, 0, 'g', 17)));
        }
    }
}

// Ten readings as xlrd sees them: the headers, integer numbers, date cells in
// "yyyy-MM-dd hh:mm:ss", text cells in "@" with their unit signs, fitted widths.
void TestSheetExchange::layoutSeenByXlrd_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("fahrenheit");
    for (SheetExport::Format format : {SheetExport::Xls, SheetExport::Xlsx}) {
        const QByteArray f = format == SheetExport::Xls ? "xls" : "xlsx";
        QTest::newRow(f + " celsius") << format << false << false;
        QTest::newRow(f + " fahrenheit") << format << false << true;
        QTest::newRow(f + " stored to the minute") << format << true << false;
    }
}

void TestSheetExchange::layoutSeenByXlrd()
{
    QFETCH(SheetExport::Format, format);
    QFETCH(bool, stored);
    QFETCH(bool, fahrenheit);
    const ReadingTable table(ReadingTable::sample(10, start), stored, fahrenheit);
    const QString file = m_dir.filePath(QStringLiteral("layout") + suffix(format));
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);

    QString error;
    const QJsonObject sheet = ForeignReader::sheet(file, 11, &error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    QCOMPARE(sheet.value(QStringLiteral("sheets")).toArray().at(0).toString(),
             QStringLiteral("Sheet1"));
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 11);
    QCOMPARE(sheet.value(QStringLiteral("ncols")).toInt(), 6);
    QCOMPARE(sheet.value(QStringLiteral("datemode")).toInt(), 0);
    const QStringList headers = SheetLayout::headerTexts();
    for (int column = 0; column < 6; ++column) {
        const QJsonObject cell = cellAt(sheet, 0, column);
        QCOMPARE(cell.value(QStringLiteral("type")).toString(), QStringLiteral("text"));
        QCOMPARE(cell.value(QStringLiteral("value")).toString(), headers.at(column));
    }
    const QString unit = fahrenheit ? QStringLiteral(" ℉") : QStringLiteral(" ℃");
    for (int row = 1; row <= 10; ++row) {
        const QJsonObject number = cellAt(sheet, row, 0);
        QCOMPARE(number.value(QStringLiteral("type")).toString(), QStringLiteral("number"));
        QCOMPARE(number.value(QStringLiteral("value")).toDouble(), double(row));

        const QJsonObject time = cellAt(sheet, row, 1);
        QCOMPARE(time.value(QStringLiteral("type")).toString(), QStringLiteral("date"));
        QCOMPARE(time.value(QStringLiteral("format")).toString(),
                 QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QString shown = table.data(table.index(row - 1, 1)).toString();
        if (stored)
            shown += QStringLiteral(":00");
        QCOMPARE(time.value(QStringLiteral("value")).toString(), shown);

        for (int column = 2; column < 6; ++column) {
            const QJsonObject cell = cellAt(sheet, row, column);
            QCOMPARE(cell.value(QStringLiteral("type")).toString(), QStringLiteral("text"));
            QCOMPARE(cell.value(QStringLiteral("format")).toString(), QStringLiteral("@"));
            const QString text = cell.value(QStringLiteral("value")).toString();
            QCOMPARE(text, table.data(table.index(row - 1, column)).toString());
            QVERIFY2(text.endsWith(column == 3 ? QStringLiteral(" %RH") : unit), qPrintable(text));
        }
    }
    // Widths fit the longest text of each column, the 19 characters of a time included.
    const QJsonArray widths = sheet.value(QStringLiteral("widths")).toArray();
    QVERIFY(widths.at(1).toDouble() >= 19.0 && widths.at(1).toDouble() < 23.0);
    QVERIFY(widths.at(2).toDouble() >= 11.0 && widths.at(2).toDouble() < 15.0);
}

// Chinese, ℃/℉, characters beyond the 16-bit range and texts that are not numbers survive
// both formats, as xlrd and our own reader see them.
void TestSheetExchange::unicodeTexts_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::newRow("xls") << SheetExport::Xls;
    QTest::newRow("xlsx") << SheetExport::Xlsx;
}

void TestSheetExchange::unicodeTexts()
{
    QFETCH(SheetExport::Format, format);
    QStandardItemModel model(3, 6);
    const QStringList texts = {QStringLiteral("温度 25.3 ℃"),
                               QStringLiteral("湿度 45.0 %RH"),
                               QStringLiteral("露点 -1.5 ℉"),
                               QStringLiteral("湿球 😀 ok"),
                               QStringLiteral("Ünïcødé ÿ"),
                               QStringLiteral("plain ascii"),
                               QStringLiteral("长文本") + QString(60, QChar(0x6C34)),
                               QStringLiteral("末"),
                               QStringLiteral("25.0 ℃"),
                               QStringLiteral("45 %RH"),
                               QStringLiteral("-"),
                               QStringLiteral("无效")};
    for (int row = 0; row < 3; ++row) {
        model.setData(model.index(row, 0), row + 1);
        model.setData(model.index(row, 1), QStringLiteral("2024-03-05 14:07:0%1").arg(row));
        for (int column = 2; column < 6; ++column)
            model.setData(model.index(row, column), texts.at(row * 4 + column - 2));
    }
    const QString file = m_dir.filePath(QStringLiteral("unicode") + suffix(format));
    QCOMPARE(SheetExport::exportModel(&model, file), SheetExport::Success);

    QString error;
    const QJsonObject sheet = ForeignReader::sheet(file, 4, &error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    const WorkbookReader::Sheet ours = WorkbookReader::readFirstSheet(file);
    QCOMPARE(ours.error, WorkbookReader::NoError);
    QCOMPARE(ours.rows.size(), 4);
    for (int row = 0; row < 3; ++row) {
        for (int column = 2; column < 6; ++column) {
            const QString want = texts.at(row * 4 + column - 2);
            QCOMPARE(cellAt(sheet, row + 1, column).value(QStringLiteral("value")).toString(),
                     want);
            QCOMPARE(ours.rows.at(row + 1).at(column).toString(), want);
        }
    }
    // The wide characters count twice in the fitted width.
    const double width = sheet.value(QStringLiteral("widths")).toArray().at(4).toDouble();
    QVERIFY2(width >= 126.0 && width < 130.0, qPrintable(QString::number(width)));
}

void TestSheetExchange::layoutSeenByLibreOffice_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::newRow("xls") << SheetExport::Xls;
    QTest::newRow("xlsx") << SheetExport::Xlsx;
}

void TestSheetExchange::layoutSeenByLibreOffice()
{
    if (ForeignReader::libreOffice().isEmpty())
        QSKIP("LibreOffice is not installed");
    QFETCH(SheetExport::Format, format);
    const ReadingTable table(ReadingTable::sample(10, start), false, true);
    const QString file = m_dir.filePath(QStringLiteral("office") + suffix(format));
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);
    QString error;
    const QString csv = ForeignReader::libreOfficeCsv(file, &error);
    QVERIFY2(!csv.isEmpty(), qPrintable(error));
    const QStringList lines = csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines.at(0).trimmed(), SheetLayout::headerTexts().join(QLatin1Char(',')));
    for (int row = 0; row < 10; ++row) {
        QStringList want;
        for (int column = 0; column < 6; ++column)
            want << table.data(table.index(row, column)).toString();
        QCOMPARE(lines.at(row + 1).trimmed(), want.join(QLatin1Char(',')));
    }
}

// Our CSV file as Python's csv module and LibreOffice read it: the header with the unit shown,
// the times, and every value a number with a dot, also where the locale has a decimal comma.
void TestSheetExchange::csvSeenByOtherReaders_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("fahrenheit");
    QTest::addColumn<QString>("header");
    const QString celsius
        = QStringLiteral("No.,Time,Temperature (℃),Humidity (%RH),Dew Point (℃),Wet Bulb (℃)");
    const QString fahrenheit
        = QStringLiteral("No.,Time,Temperature (℉),Humidity (%RH),Dew Point (℉),Wet Bulb (℉)");
    QTest::newRow("celsius") << false << false << celsius;
    QTest::newRow("fahrenheit, stored") << true << true << fahrenheit;
}

void TestSheetExchange::csvSeenByOtherReaders()
{
    QFETCH(bool, stored);
    QFETCH(bool, fahrenheit);
    QFETCH(QString, header);
    const DefaultLocale inLocale(QStringLiteral("de_DE"));
    const ReadingTable table(ReadingTable::sample(10, start), stored, fahrenheit);
    const QString file = m_dir.filePath(QStringLiteral("others.csv"));
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);

    // Each row as the table shows it, the numbers without their units.
    QStringList want {header};
    for (int row = 0; row < 10; ++row) {
        QStringList fields;
        for (int column = 0; column < 6; ++column) {
            QString text = table.data(table.index(row, column)).toString();
            if (column == 1 && stored)
                text += QStringLiteral(":00");
            fields << (column >= 2 ? text.section(QLatin1Char(' '), 0, 0) : text);
        }
        want << fields.join(QLatin1Char(','));
    }

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, sys\n"
                                 "with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                 "    rows = list(csv.reader(f))\n"
                                 "for r in rows[1:]:\n"
                                 "    [float(v) for v in r[2:]]\n"
                                 "sys.stdout.buffer.write('\\n'.join(','.join(r) for r in "
                                 "rows).encode())\n"),
                  file});
    if (!python.waitForStarted())
        QSKIP("no Python here");
    QVERIFY(python.waitForFinished(60000));
    QVERIFY2(python.exitCode() == 0, python.readAllStandardError().constData());
    QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n')), want);

    // LibreOffice finds numbers and times in it: saved as a workbook, it reads back the same.
    if (ForeignReader::libreOffice().isEmpty())
        QSKIP("LibreOffice is not installed");
    QString error;
    const QString workbook = ForeignReader::libreOfficeWorkbook(file, m_dir.path(), &error);
    QVERIFY2(!workbook.isEmpty(), qPrintable(error));
    const SheetImport::Result ours = SheetImport::importFile(file);
    const SheetImport::Result office = SheetImport::importFile(workbook);
    QCOMPARE(office.error, WorkbookReader::NoError);
    QCOMPARE(office.skippedRows, 0);
    QCOMPARE(office.readings.size(), 10);
    for (int row = 0; row < 10; ++row) {
        const ImportedReading &want = ours.readings.at(row);
        compareReading(office.readings.at(row), want.storeIndex, want.time,
                       QVector<double>(want.values.cbegin(), want.values.cend()));
    }
}

// What the CSV reader makes of the fields of a file: quotes, line ends, separators, and the
// files it refuses.
void TestSheetExchange::csvFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<WorkbookReader::Error>("error");
    QTest::addColumn<QVector<QVariantList>>("rows");
    using Rows = QVector<QVariantList>;
    const auto ok = WorkbookReader::NoError;
    QTest::newRow("byte-order mark, CRLF") << QByteArray("\xEF\xBB\xBFNo.,Time\r\n1,a\r\n") << ok
                                           << Rows {{"No.", "Time"}, {"1", "a"}};
    QTest::newRow("LF, CR, no end")
        << QByteArray("a,b\nc,d\re,f") << ok << Rows {{"a", "b"}, {"c", "d"}, {"e", "f"}};
    QTest::newRow("quoted separators, quotes and line breaks")
        << QByteArray("h\n\"x,y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\n") << ok
        << Rows {{"h"}, {"x,y", "say \"hi\"", "two\r\nlines"}};
    QTest::newRow("empty fields and lines")
        << QByteArray("a,,c\n\n,,\n,b\n") << ok
        << Rows {{"a", QVariant(), "c"}, {}, {}, {QVariant(), "b"}};
    QTest::newRow("semicolons, decimal commas")
        << QByteArray("No.;T (℃);x\n1;-23,4;1,2,3\n") << ok
        << Rows {{"No.", "T (℃)", "x"}, {"1", "-23.4", "1,2,3"}};
    QTest::newRow("commas win a tie") << QByteArray("a;b,c\n") << ok << Rows {{"a;b", "c"}};
    QTest::newRow("only the first columns")
        << QByteArray("1,2,3,4,5,6,7,8\n1,2,3,4,5,6,,\n") << ok
        << Rows {{"1", "2", "3", "4", "5", "6"}, {"1", "2", "3", "4", "5", "6"}};
    QTest::newRow("unclosed quote") << QByteArray("a,\"b\nc") << ok << Rows {{"a", "b\nc"}};
    QTest::newRow("empty") << QByteArray() << WorkbookReader::NotAWorkbook << Rows();
    QTest::newRow("blank lines only")
        << QByteArray("\xEF\xBB\xBF\r\n\r\n") << WorkbookReader::NotAWorkbook << Rows();
    QTest::newRow("NUL byte") << QByteArray("a,b\n1,\0\n", 8) << WorkbookReader::NotAWorkbook
                              << Rows();
    QTest::newRow("giant field") << (QByteArray("a,\"")
                                     + QByteArray(CsvReader::maxFieldBytes + 1, 'x'))
                                 << WorkbookReader::NotAWorkbook << Rows();
}

void TestSheetExchange::csvFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(WorkbookReader::Error, error);
    QFETCH(QVector<QVariantList>, rows);
    const QString file = m_dir.filePath(QStringLiteral("fields.csv"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(bytes), qint64(bytes.size()));
    }
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(file);
    QCOMPARE(sheet.error, error);
    QCOMPARE(sheet.rows, rows);
    // Under another name the same text is no workbook.
    const QString renamed = m_dir.filePath(QStringLiteral("fields.xlsx"));
    QFile::remove(renamed);
    QVERIFY(QFile::rename(file, renamed));
    QCOMPARE(WorkbookReader::readFirstSheet(renamed).error, WorkbookReader::NotAWorkbook);
}

// A file that cannot be written is a failure, and an older file of that name stays as it was.
void TestSheetExchange::exportFailure_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::newRow("xls") << SheetExport::Xls;
    QTest::newRow("xlsx") << SheetExport::Xlsx;
    QTest::newRow("csv") << SheetExport::Csv;
}

void TestSheetExchange::exportFailure()
{
    QFETCH(SheetExport::Format, format);
    const ReadingTable table(ReadingTable::sample(5, start), false, false);
    const QString missingDir = m_dir.filePath(QStringLiteral("no/such/dir/t") + suffix(format));
    QCOMPARE(SheetExport::exportModel(&table, missingDir), SheetExport::WriteFailed);
    QVERIFY(!QFile::exists(missingDir));

    // A read-only folder: the old file survives the failed export.
    const QString folder = m_dir.filePath(QStringLiteral("locked") + suffix(format));
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/old") + suffix(format);
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(folder).isWritable()) {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("running with rights that ignore folder permissions");
    }
    const SheetExport::Result result = SheetExport::exportModel(&table, file);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(result, SheetExport::WriteFailed);
    QFile old(file);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old content"));
}

// A table longer than a worksheet goes on to "Sheet2", "Sheet3" ..., each with the header
// row, none empty; the import reads them back in order. (The sheet's size is made small.)
void TestSheetExchange::continuationSheets_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::addColumn<int>("readings");
    QTest::addColumn<QVector<int>>("sheetRows"); // header included
    for (SheetExport::Format format : {SheetExport::Xls, SheetExport::Xlsx}) {
        const QByteArray f = format == SheetExport::Xls ? "xls" : "xlsx";
        QTest::newRow(f + ", one short sheet") << format << 4 << QVector<int> {5};
        QTest::newRow(f + ", exactly one sheet") << format << 5 << QVector<int> {6};
        QTest::newRow(f + ", two full sheets") << format << 10 << QVector<int> {6, 6};
        QTest::newRow(f + ", four sheets") << format << 17 << QVector<int> {6, 6, 6, 3};
    }
}

void TestSheetExchange::continuationSheets()
{
    QFETCH(SheetExport::Format, format);
    QFETCH(int, readings);
    QFETCH(QVector<int>, sheetRows);
    const ReadingTable table(ReadingTable::sample(readings, start), false, true);
    const QString file = m_dir.filePath(QStringLiteral("sheets%1").arg(readings) + suffix(format));
    SheetExport::Options options;
    options.sheetReadings = 5;
    QCOMPARE(SheetExport::exportModel(&table, file, format, options), SheetExport::Success);

    QString error;
    const QJsonArray sheets = ForeignReader::book(file, &error).value("sheets").toArray();
    QVERIFY2(!sheets.isEmpty(), qPrintable(error));
    QCOMPARE(sheets.size(), sheetRows.size());
    int firstReading = 1;
    for (int i = 0; i < sheets.size(); ++i) {
        const QJsonObject sheet = sheets.at(i).toObject();
        QCOMPARE(sheet.value("name").toString(), SheetExport::sheetName(i));
        QCOMPARE(sheet.value("nrows").toInt(), sheetRows.at(i));
        QCOMPARE(sheet.value("first").toVariant().toStringList(), SheetLayout::headerTexts());
        QCOMPARE(sheet.value("second").toArray().at(0).toDouble(), double(firstReading));
        firstReading += sheetRows.at(i) - 1;
    }

    const SheetImport::Result back = SheetImport::importFile(file);
    QCOMPARE(back.error, WorkbookReader::NoError);
    QCOMPARE(back.sheets, sheetRows.size());
    QCOMPARE(back.skippedRows, 0);
    QCOMPARE(back.readings.size(), readings);
    for (int row = 0; row < readings; ++row) {
        QCOMPARE(back.readings.at(row).storeIndex, row + 1);
        QCOMPARE(back.readings.at(row).time, wallClock(start.addSecs(row)));
        QCOMPARE(back.readings.at(row).values[0], table.shownValue(row, 0));
    }
}

// A later worksheet with a header of its own holds another table: it and the sheets after it
// stay out, even one that would go on with the first.
void TestSheetExchange::laterSheetOfAnotherTable()
{
    const QStringList headers = SheetLayout::headerTexts();
    XlsWriter writer;
    auto fill = [&](const QStringList &header, int firstNumber) {
        for (int column = 0; column < header.size(); ++column)
            writer.setText(0, column, header.at(column));
        for (int row = 1; row <= 2; ++row) {
            writer.setNumber(row, 0, firstNumber + row - 1);
            writer.setText(row, 1, QStringLiteral("2024-03-05 14:07:0%1").arg(row));
            for (int column = 2; column < 6; ++column)
                writer.setText(row, column,
                               column == 3 ? QStringLiteral("45.0 %RH") : QStringLiteral("21.5 ℃"));
        }
    };
    fill(headers, 1);
    QVERIFY(writer.addSheet(QStringLiteral("Notes")));
    fill({QStringLiteral("Remark"), QStringLiteral("By")}, 100);
    QVERIFY(writer.addSheet(QStringLiteral("Sheet3")));
    fill(headers, 3);
    const QString file = m_dir.filePath(QStringLiteral("two tables.xls"));
    QVERIFY(writer.save(file));

    const SheetImport::Result back = SheetImport::importFile(file);
    QCOMPARE(back.error, WorkbookReader::NoError);
    QCOMPARE(back.sheets, 1);
    QCOMPARE(back.readings.size(), 2);
    QCOMPARE(back.readings.last().storeIndex, 2);
}

namespace {

// A table that asks the export to stop once a given row has been read.
class StoppingTable : public TableSource
{
public:
    StoppingTable(const QAbstractItemModel *model, int stopAt, TaskProgress *progress)
        : m_source(model)
        , m_stopAt(stopAt)
        , m_progress(progress)
    {
    }
    int rowCount() const override { return m_source.rowCount(); }
    QVariant cell(int row, int column) const override
    {
        if (row >= m_stopAt)
            m_progress->cancel();
        return m_source.cell(row, column);
    }

private:
    ModelSource m_source;
    int m_stopAt;
    TaskProgress *m_progress;
};

} // namespace

// Stopped part-way, an export writes nothing: a file of the name from before stays as it was
// and nothing is left beside it.
void TestSheetExchange::exportStops_data()
{
    QTest::addColumn<SheetExport::Format>("format");
    QTest::addColumn<int>("stopAt");
    QTest::newRow("xls, first sheet") << SheetExport::Xls << 2000;
    QTest::newRow("xls, third sheet") << SheetExport::Xls << 9000;
    QTest::newRow("xlsx") << SheetExport::Xlsx << 2000;
    QTest::newRow("csv") << SheetExport::Csv << 7000;
}

void TestSheetExchange::exportStops()
{
    QFETCH(SheetExport::Format, format);
    QFETCH(int, stopAt);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("kept") + suffix(format));
    {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("a good file");
    }
    const ReadingTable table(ReadingTable::sample(10000, start), false, false);
    TaskProgress progress;
    const StoppingTable stopping(&table, stopAt, &progress);
    SheetExport::Options options;
    options.progress = &progress;
    options.sheetReadings = 4000;
    QCOMPARE(SheetExport::exportTable(stopping, file, format, options), SheetExport::Cancelled);
    QFile old(file);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("a good file"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList {QFileInfo(file).fileName()});
}

// Stopped while reading, an import gives no readings.
void TestSheetExchange::importStops()
{
    const ReadingTable table(ReadingTable::sample(3000, start), false, false);
    for (SheetExport::Format format : {SheetExport::Xls, SheetExport::Xlsx, SheetExport::Csv}) {
        const QString file = m_dir.filePath(QStringLiteral("stopped") + suffix(format));
        QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);
        TaskProgress progress;
        progress.cancel();
        const SheetImport::Result back = SheetImport::importFile(file, &progress);
        QCOMPARE(back.error, WorkbookReader::Cancelled);
        QVERIFY(back.readings.isEmpty());
        QVERIFY(progress.total() > 0);
    }
}

// Workbooks written by other programs (see fixtures/make_fixtures.py).
void TestSheetExchange::importFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<int>("index"); // of the reading checked below
    QTest::addColumn<int>("storeIndex");
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QVector<double>>("values");

    const auto at = [](int h, int m, int s) { return wallClock(2024, 3, 5, h, m, s); };
    const auto c = [](double f) { return (f - 32.0) / 1.8; };
    QTest::newRow("xlwt date cells")
        << fixture(QStringLiteral("xlwt_celsius.xls")) << 3 << 0 << 2 << 3 << at(14, 7, 11)
        << QVector<double> {-3.5, 99.9, -10.0, -4.2};
    QTest::newRow("version 4 compound file, 4096-byte sectors")
        << fixture(QStringLiteral("v4_celsius.xls")) << 3 << 0 << 2 << 3 << at(14, 7, 11)
        << QVector<double> {-3.5, 99.9, -10.0, -4.2};
    QTest::newRow("xlwt fahrenheit, time text to the minute")
        << fixture(QStringLiteral("xlwt_fahrenheit.xls")) << 3 << 0 << 0 << 57 << at(14, 7, 0)
        << QVector<double> {25.0, 45.0, c(54.5), c(64.6)};
    QTest::newRow("xlwt fahrenheit, time text to the second")
        << fixture(QStringLiteral("xlwt_fahrenheit.xls")) << 3 << 0 << 1 << 58 << at(14, 8, 30)
        << QVector<double> {0.0, 50.0, -10.0, -20.0};
    QTest::newRow("xlwt fahrenheit, bare date serial")
        << fixture(QStringLiteral("xlwt_fahrenheit.xls")) << 3 << 0 << 2 << 59 << at(12, 0, 0)
        << QVector<double> {100.0, 10.0, 10.0, 20.0};
    QTest::newRow("xlwt value without unit keeps its digits")
        << fixture(QStringLiteral("xlwt_edge.xls")) << 2 << 3 << 0 << 1 << at(14, 7, 9)
        << QVector<double> {25.3, 45.0, 12.5, 18.1};
    QTest::newRow("xlwt number cells as values")
        << fixture(QStringLiteral("xlwt_edge.xls")) << 2 << 3 << 1 << 4 << at(14, 7, 12)
        << QVector<double> {25.5, 44.8, 12.7, 18.3};
    QTest::newRow("xlwt range starting at C4")
        << fixture(QStringLiteral("xlwt_offset.xls")) << 1 << 0 << 0 << 7
        << wallClock(2024, 1, 31, 23, 59, 59) << QVector<double> {20.0, 40.0, 6.0, 12.0};
    QTest::newRow("xlsx shared strings, custom date format")
        << fixture(QStringLiteral("hand_shared.xlsx")) << 2 << 0 << 0 << 1 << at(14, 7, 9)
        << QVector<double> {25.3, 45.0, 12.5, 18.1};
    QTest::newRow("xlsx rich text, formula, inline and string cells")
        << fixture(QStringLiteral("hand_shared.xlsx")) << 2 << 0 << 1 << 2 << at(14, 7, 10)
        << QVector<double> {25.4, 44.9, 12.6, 18.2};
    QTest::newRow("xlsx inline strings, 1904 dates, fahrenheit")
        << fixture(QStringLiteral("hand_inline_1904.xlsx")) << 2 << 0 << 1 << 101 << at(14, 8, 0)
        << QVector<double> {20.0, 50.5, 10.0, 15.0};
    QTest::newRow("xlwt °C and °F typed as two characters")
        << fixture(QStringLiteral("xlwt_degree_signs.xls")) << 3 << 0 << 1 << 2 << at(14, 7, 10)
        << QVector<double> {25.0, 45.0, c(54.5), c(64.6)};
    QTest::newRow("xlwt °C beside ℃ in one row")
        << fixture(QStringLiteral("xlwt_degree_signs.xls")) << 3 << 0 << 2 << 3 << at(14, 7, 11)
        << QVector<double> {25.5, 44.8, 12.7, 18.3};
    QTest::newRow("xlwt formulas without results: the row with a number")
        << fixture(QStringLiteral("xlwt_formula_no_result.xls")) << 1 << 2 << 0 << 3
        << at(14, 7, 11) << QVector<double> {25.5, 44.8, 12.7, 18.3};
}

void TestSheetExchange::importFixtures()
{
    QFETCH(QString, file);
    QFETCH(int, count);
    QFETCH(int, skipped);
    QFETCH(int, index);
    QFETCH(int, storeIndex);
    QFETCH(QDateTime, time);
    QFETCH(QVector<double>, values);

    const SheetImport::Result result = SheetImport::importFile(file);
    QCOMPARE(result.error, WorkbookReader::NoError);
    QCOMPARE(result.readings.size(), count);
    QCOMPARE(result.skippedRows, skipped);
    compareReading(result.readings.at(index), storeIndex, time, values);
}

// One table of five readings (Celsius, Fahrenheit, "°C", a daylight-saving gap, a leap day)
// as other programs saved it; every value must come back, through the file and from memory.
void TestSheetExchange::sameTableFromOtherPrograms_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xlwt .xls") << fixture(QStringLiteral("xlwt_canon.xls"));
    QTest::newRow("openpyxl .xlsx") << fixture(QStringLiteral("openpyxl_canon.xlsx"));
    QTest::newRow("gnumeric .xls") << fixture(QStringLiteral("gnumeric_canon.xls"));
    QTest::newRow("gnumeric .xlsx") << fixture(QStringLiteral("gnumeric_canon.xlsx"));
    QTest::newRow("LibreOffice .xls, formula results")
        << fixture(QStringLiteral("office_row_formula.xls"));
    QTest::newRow("LibreOffice .xlsx, formula results")
        << fixture(QStringLiteral("office_row_formula.xlsx"));
}

void TestSheetExchange::sameTableFromOtherPrograms()
{
    QFETCH(QString, file);
    const auto f = [](double v) { return (v - 32.0) / 1.8; };
    const QVector<QDateTime> times
        = {wallClock(2024, 3, 5, 14, 7, 9), wallClock(2024, 3, 5, 14, 7, 10),
           wallClock(2024, 12, 31, 23, 59, 59), wallClock(2024, 3, 31, 2, 30, 0),
           wallClock(2000, 2, 29, 0, 0, 0)};
    const QVector<QVector<double>> values = {{25.3, 45.0, 12.5, 18.1},
                                             {-3.5, 99.9, -10.0, -4.2},
                                             {25.0, 45.0, f(54.5), f(64.6)},
                                             {20.0, 50.0, 9.3, 14.0},
                                             {0.0, 0.0, 0.0, 0.0}};
    const QStringList texts
        = {"25.3 ℃", "45.0 %RH", "12.5 ℃",   "18.1 ℃",  "-3.5 ℃", "99.9 %RH", "-10.0 ℃",
           "-4.2 ℃", "77.0 ℉",   "45.0 %RH", "54.5 ℉",  "64.6 ℉", "20.0 °C",  "50.0 %RH",
           "9.3 °C", "14.0 °C",  "0.0 ℃",    "0.0 %RH", "0.0 ℃",  "0.0 ℃"};

    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QBuffer memory;
    memory.setData(in.readAll());
    QVERIFY(memory.open(QIODevice::ReadOnly));
    for (const SheetImport::Result &result :
         {SheetImport::importFile(file), SheetImport::importDevice(&memory)}) {
        QCOMPARE(result.error, WorkbookReader::NoError);
        QCOMPARE(result.rowsSeen, 5);
        QCOMPARE(result.skippedRows, 0);
        QCOMPARE(result.formulasWithoutResult, 0);
        QCOMPARE(result.readings.size(), 5);
        for (int row = 0; row < 5; ++row) {
            compareReading(result.readings.at(row), row + 1, times.at(row), values.at(row));
            if (QTest::currentTestFailed())
                QFAIL(qPrintable(QStringLiteral("reading %1").arg(row)));
        }
    }

    // The cells as the reader gives them.
    const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(file);
    QCOMPARE(sheet.error, WorkbookReader::NoError);
    QCOMPARE(sheet.rows.size(), 6);
    const QStringList headers = SheetLayout::headerTexts();
    QCOMPARE(sheet.rows.first(), QVariantList(headers.cbegin(), headers.cend()));
    for (int row = 0; row < 5; ++row) {
        const QVariantList &cells = sheet.rows.at(row + 1);
        QCOMPARE(cells.size(), 6);
        QCOMPARE(cells.at(0).toDouble(), double(row + 1));
        QCOMPARE(cells.at(1).toDateTime(), times.at(row));
        for (int column = 2; column < 6; ++column)
            QCOMPARE(cells.at(column).toString(), texts.at(4 * row + column - 2));
    }
}

// What the window is told besides the readings: rows seen and skipped, formulas without a
// saved result, and whether rows were there of which none could be read.
void TestSheetExchange::importCounts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rowsSeen");
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("formulas");
    QTest::addColumn<bool>("noRowReadable");
    // A table without readings writes the headers only: an import with nothing to read.
    QTest::newRow("our xls, header only") << QStringLiteral("empty.xls") << 0 << 0 << 0 << false;
    QTest::newRow("our xlsx, header only") << QStringLiteral("empty.xlsx") << 0 << 0 << 0 << false;
    QTest::newRow("xlwt, header only")
        << fixture(QStringLiteral("xlwt_header_only.xls")) << 0 << 0 << 0 << false;
    QTest::newRow("hand xlsx, header only")
        << fixture(QStringLiteral("hand_header_only.xlsx")) << 0 << 0 << 0 << false;
    QTest::newRow("every row unreadable")
        << fixture(QStringLiteral("xlwt_all_rows_bad.xls")) << 3 << 0 << 0 << true;
    QTest::newRow("formulas without results")
        << fixture(QStringLiteral("xlwt_formula_no_result.xls")) << 3 << 1 << 2 << false;
    QTest::newRow("some rows unreadable")
        << fixture(QStringLiteral("xlwt_edge.xls")) << 5 << 2 << 0 << false;
    // A cell in the last column on every row: read as six columns, not 16,384.
    QTest::newRow("cells in column XFD")
        << fixture(QStringLiteral("xfd_columns.xlsx")) << 20050 << 20000 << 0 << false;
}

void TestSheetExchange::importCounts()
{
    QFETCH(QString, file);
    QFETCH(int, rowsSeen);
    QFETCH(int, readings);
    QFETCH(int, formulas);
    QFETCH(bool, noRowReadable);
    if (!file.contains(QLatin1Char('/'))) {
        file = m_dir.filePath(file);
        const ReadingTable empty({}, false, false);
        QCOMPARE(SheetExport::exportModel(&empty, file), SheetExport::Success);
    }
    const SheetImport::Result result = SheetImport::importFile(file);
    QCOMPARE(result.error, WorkbookReader::NoError);
    QCOMPARE(result.rowsSeen, rowsSeen);
    QCOMPARE(result.readings.size(), readings);
    QCOMPARE(result.skippedRows, rowsSeen - readings);
    QCOMPARE(result.formulasWithoutResult, formulas);
    QCOMPARE(result.noRowReadable(), noRowReadable);
    if (rowsSeen == 0) {
        const WorkbookReader::Sheet sheet = WorkbookReader::readFirstSheet(file);
        QCOMPARE(sheet.rows.size(), 1);
        QCOMPARE(sheet.rows.first().size(), 6);
    }
}

// A meter's clock knows no daylight saving: times in a local spring-forward hour are read,
// shown and exported again with the digits they were written with.
void TestSheetExchange::timesInDaylightSavingGaps_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QDateTime>("gap"); // a local time the zone skips
    QTest::newRow("Berlin") << QByteArray("Europe/Berlin")
                            << QDateTime(QDate(2024, 3, 31), QTime(2, 30));
    QTest::newRow("New York") << QByteArray("America/New_York")
                              << QDateTime(QDate(2024, 3, 10), QTime(2, 15, 30));
}

void TestSheetExchange::timesInDaylightSavingGaps()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, gap);
    const LocalZone local(zone);
    QVERIFY2(!QDateTime(gap.date(), gap.time()).isValid(), "the time zone did not change");

    const QStringList written = {"2024-03-31 02:30:00", "2024-03-31 02:59:59",
                                 "2024-03-10 02:15:30", "2024-03-10 02:00:00"};
    const SheetImport::Result result
        = SheetImport::importFile(fixture(QStringLiteral("xlwt_dst_gap.xls")));
    QCOMPARE(result.error, WorkbookReader::NoError);
    QCOMPARE(result.skippedRows, 0);
    QCOMPARE(result.readings.size(), written.size());
    QVector<ReadingTable::Reading> readings;
    for (int i = 0; i < written.size(); ++i) {
        const ImportedReading &r = result.readings.at(i);
        QCOMPARE(r.time.toString(SheetLayout::timeFormat()), written.at(i));
        readings.append({r.storeIndex, r.time, r.values});
    }

    // Shown as the table shows them, exported and read back: the same digits everywhere.
    const ReadingTable table(readings, false, false);
    for (SheetExport::Format format : {SheetExport::Xls, SheetExport::Xlsx}) {
        const QString file = m_dir.filePath(QStringLiteral("gap") + suffix(format));
        QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);
        const SheetImport::Result back = SheetImport::importFile(file);
        QCOMPARE(back.readings.size(), written.size());
        for (int i = 0; i < written.size(); ++i) {
            QCOMPARE(table.data(table.index(i, 1)).toString(), written.at(i));
            QCOMPARE(back.readings.at(i).time.toString(SheetLayout::timeFormat()), written.at(i));
        }
        QString error;
        const QJsonObject sheet = ForeignReader::sheet(file, 5, &error);
        QVERIFY2(!sheet.isEmpty(), qPrintable(error));
        for (int i = 0; i < written.size(); ++i)
            QCOMPARE(cellAt(sheet, i + 1, 1).value(QStringLiteral("value")).toString(),
                     written.at(i));
    }
}

// The used range starts at the leftmost filled cell of the whole sheet, even when that cell
// turns up below rows that started further right: every row is read from there.
void TestSheetExchange::usedRangeFirstColumn_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xls") << QStringLiteral("stray.xls");
    QTest::newRow("xlsx") << fixture(QStringLiteral("hand_stray_left.xlsx"));
}

void TestSheetExchange::usedRangeFirstColumn()
{
    QFETCH(QString, file);
    const QStringList headers = SheetLayout::headerTexts();
    if (!file.contains(QLatin1Char('/'))) {
        // The table from C1 on, and one cell in A4.
        XlsWriter writer;
        for (int column = 0; column < 6; ++column)
            writer.setText(0, column + 2, headers.at(column));
        for (int row = 1; row <= 3; ++row) {
            for (int column = 0; column < 6; ++column)
                writer.setText(row, column + 2, QString::number(row * 10 + column));
        }
        writer.setText(3, 0, QStringLiteral("stray"));
        file = m_dir.filePath(file);
        QVERIFY(writer.save(file));
    }

    const WorkbookReader::Sheet six = WorkbookReader::readFirstSheet(file);
    QCOMPARE(six.error, WorkbookReader::NoError);
    QCOMPARE(six.rows.size(), 4);
    QCOMPARE(six.rows.at(0),
             (QVariantList {QVariant(), QVariant(), headers.at(0), headers.at(1), headers.at(2),
                            headers.at(3)}));
    QCOMPARE(six.rows.at(3).at(0).toString(), QStringLiteral("stray"));
    const WorkbookReader::Sheet eight = WorkbookReader::readFirstSheet(file, 8);
    QCOMPARE(eight.rows.at(0).size(), 8);
    QCOMPARE(eight.rows.at(0).at(7).toString(), headers.at(5));

    // Read from column A, no row is a reading: the import counts three unreadable rows.
    const SheetImport::Result result = SheetImport::importFile(file);
    QCOMPARE(result.rowsSeen, 3);
    QCOMPARE(result.skippedRows, 3);
    QVERIFY(result.noRowReadable());
}

// Every kind of cell record, strings that run on into CONTINUE records and switch between one
// and two bytes a character there, formulas with and without saved results, the 1904 date
// system: a workbook made record by record.
void TestSheetExchange::biffRecords()
{
    using B = Biff;
    const QByteArray formulaTail = B::le16(0) + B::le32(0) + B::le16(0); // flags, chain, no tokens
    const auto special = [](int type, int value) {
        return QByteArray(1, char(type)) + QByteArray(1, 0) + QByteArray(1, char(value))
            + QByteArray(3, 0) + QByteArray("\xFF\xFF", 2);
    };

    Biff sheet;
    sheet.record(0x0809, B::le16(0x0600) + B::le16(0x0010) + QByteArray(12, 0));
    // Row 0: shared strings, LABEL, NUMBER, RK (integer; hundredths), BOOLERR.
    sheet.record(0x00FD, B::cell(0, 0) + B::le32(0));
    sheet.record(0x0204,
                 B::cell(0, 1) + B::le16(7) + QByteArray(1, 1)
                     + B::utf16(QStringLiteral("label ℃")));
    sheet.record(0x0203, B::cell(0, 2) + B::f64(2.5));
    sheet.record(0x027E, B::cell(0, 3) + B::le32((7u << 2) | 2));
    sheet.record(0x027E, B::cell(0, 4) + B::le32((1234u << 2) | 3));
    sheet.record(0x0205, B::cell(0, 5) + QByteArray(1, 1) + QByteArray(1, 0));
    // Row 1: MULRK over three columns, an error, a blank, a date in the 1904 system.
    sheet.record(0x00BD,
                 B::le16(1) + B::le16(0) + B::le16(0) + B::le32((1u << 2) | 2) + B::le16(0)
                     + B::le32((2u << 2) | 2) + B::le16(0) + B::le32((3u << 2) | 2) + B::le16(2));
    sheet.record(0x0205, B::cell(1, 3) + QByteArray(1, 7) + QByteArray(1, 1));
    sheet.record(0x0201, B::cell(1, 4));
    sheet.record(0x0203, B::cell(1, 5, 1) + B::f64(45356.58829861111 - 1462.0));
    // Row 2: formulas with a number, a text (in a STRING record that runs on and switches to
    // two bytes a character), a boolean, an error, the empty-result marker, and a text
    // result whose STRING record never comes.
    sheet.record(0x0006, B::cell(2, 0) + B::f64(42.0) + formulaTail);
    sheet.record(0x0006, B::cell(2, 1) + special(0, 0) + formulaTail);
    sheet.record(0x0207, B::le16(8) + QByteArray(1, 0) + QByteArray("mixed "));
    sheet.record(0x003C, QByteArray(1, 1) + B::utf16(QStringLiteral("温度")));
    sheet.record(0x0006, B::cell(2, 2) + special(1, 1) + formulaTail);
    sheet.record(0x0006, B::cell(2, 3) + special(2, 0x2A) + formulaTail);
    sheet.record(0x0006, B::cell(2, 4) + special(3, 0) + formulaTail);
    sheet.record(0x0006, B::cell(2, 5) + special(0, 0) + formulaTail);
    sheet.record(0x000A, QByteArray());

    Biff globals;
    globals.record(0x0809, B::le16(0x0600) + B::le16(0x0005) + QByteArray(12, 0));
    globals.record(0x0022, B::le16(1));
    globals.record(
        0x041E, B::le16(164) + B::le16(19) + QByteArray(1, 0) + QByteArray("yyyy-mm-dd hh:mm:ss"));
    globals.record(0x00E0, B::le16(0) + B::le16(0) + QByteArray(16, 0));
    globals.record(0x00E0, B::le16(0) + B::le16(164) + QByteArray(16, 0));
    const int sheetOffsetAt = globals.bytes().size() + 4;
    globals.record(0x0085,
                   B::le32(0) + QByteArray(2, 0) + QByteArray(1, 6) + QByteArray(1, 0)
                       + QByteArray("Sheet1"));
    // String 0 starts with one byte a character and goes on with two after the break; string
    // 1 has a formatting run and phonetic data, the latter broken by a record boundary where
    // no flag byte is repeated.
    globals.record(0x00FC, B::le32(2) + B::le32(2) + B::le16(5) + QByteArray(1, 0) + "abc");
    globals.record(0x003C,
                   QByteArray(1, 1) + B::utf16(QStringLiteral("温度")) + B::le16(3)
                       + QByteArray(1, 0x0C) + B::le16(1) + B::le32(6) + "xyz" + QByteArray(4, 0)
                       + QByteArray(2, 0));
    globals.record(0x003C, QByteArray(4, 0));
    globals.record(0x000A, QByteArray());

    QByteArray stream = globals.bytes();
    qToLittleEndian(quint32(stream.size()), stream.data() + sheetOffsetAt);
    stream += sheet.bytes();
    CfbWriter container;
    QVERIFY(container.addStream(QStringLiteral("Workbook"), stream));
    const QString file = m_dir.filePath(QStringLiteral("records.xls"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(container.write(&out));
    }

    const WorkbookReader::Sheet read = WorkbookReader::readFirstSheet(file);
    QCOMPARE(read.error, WorkbookReader::NoError);
    QCOMPARE(read.formulasWithoutResult, 2);
    QCOMPARE(read.rows.size(), 3);
    QCOMPARE(read.rows.at(0),
             (QVariantList {QStringLiteral("abc温度"), QStringLiteral("label ℃"), 2.5, 7.0, 12.34,
                            true}));
    QCOMPARE(
        read.rows.at(1),
        (QVariantList {1.0, 2.0, 3.0, QVariant(), QVariant(), wallClock(2024, 3, 5, 14, 7, 9)}));
    QCOMPARE(read.rows.at(2), (QVariantList {42.0, QStringLiteral("mixed 温度"), true}));
}

void TestSheetExchange::importErrors_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<WorkbookReader::Error>("error");
    QTest::newRow("missing file") << QStringLiteral("/no/such/file.xls")
                                  << WorkbookReader::CannotOpen;
    QTest::newRow("text named .xls")
        << fixture(QStringLiteral("not_a_workbook.xls")) << WorkbookReader::NotAWorkbook;
    QTest::newRow("zip without workbook")
        << fixture(QStringLiteral("zip_without_workbook.xlsx")) << WorkbookReader::NotAWorkbook;
    QTest::newRow("workbook without sheets")
        << fixture(QStringLiteral("hand_no_sheet.xlsx")) << WorkbookReader::NoWorksheet;
    QTest::newRow("empty file") << QStringLiteral("empty") << WorkbookReader::NotAWorkbook;
    QTest::newRow("cut-off xls") << QStringLiteral("cut.xls") << WorkbookReader::NotAWorkbook;
    QTest::newRow("cut-off xlsx") << QStringLiteral("cut.xlsx") << WorkbookReader::NotAWorkbook;
    // Damaged and hostile files: refused, neither read past their end nor looped over.
    for (const char *name :
         {"bad_truncated.xls", "bad_fat_cycle.xls", "bad_directory_cycle.xls",
          "bad_difat_cycle.xls", "bad_huge_stream.xls", "bad_huge_fat_count.xls",
          "bad_sheet_offset.xls", "bad_v4_root_size.xls", "bad_truncated.xlsx",
          "bomb_declared.xlsx", "bomb_understated.xlsx", "bomb_shared_strings.xlsx",
          "bad_giant_value.xlsx", "bad_deep_nesting.xlsx", "bad_rows_backwards.xlsx"}) {
        QTest::newRow(name) << fixture(QString::fromLatin1(name)) << WorkbookReader::NotAWorkbook;
    }
}

void TestSheetExchange::importErrors()
{
    QFETCH(QString, file);
    QFETCH(WorkbookReader::Error, error);
    if (!file.contains(QLatin1Char('/'))) {
        // Made here: an empty file, and good workbooks cut off in the middle.
        QByteArray bytes;
        if (file.startsWith(QLatin1String("cut"))) {
            QFile good(fixture(file.endsWith(QLatin1String("x"))
                                   ? QStringLiteral("hand_shared.xlsx")
                                   : QStringLiteral("xlwt_celsius.xls")));
            QVERIFY(good.open(QIODevice::ReadOnly));
            bytes = good.read(good.size() / 2);
        }
        file = m_dir.filePath(file);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    QCOMPARE(WorkbookReader::readFirstSheet(file).error, error);
    const SheetImport::Result result = SheetImport::importFile(file);
    QCOMPARE(result.error, error);
    QVERIFY(result.readings.isEmpty());
}

// One row by position: what is read, what is converted, what makes the row unreadable.
void TestSheetExchange::convertRow_data()
{
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QVector<double>>("values");

    const QVariant time = QStringLiteral("2024-03-05 14:07:09");
    const auto f = [](double v) { return (v - 32.0) / 1.8; };
    QTest::newRow("celsius texts")
        << QVariantList {1, time, "25.3 ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << true
        << QVector<double> {25.3, 45.0, 12.5, 18.1};
    QTest::newRow("fahrenheit: humidity stays")
        << QVariantList {1, time, "77.0 ℉", "45.0 %RH", "54.5 ℉", "-4.0 ℉"} << true
        << QVector<double> {25.0, 45.0, f(54.5), -20.0};
    QTest::newRow("no units keep every digit")
        << QVariantList {1, time, "25.3", "45.7", "12.55", "-18.125"} << true
        << QVector<double> {25.3, 45.7, 12.55, -18.125};
    QTest::newRow("blanks around value and unit")
        << QVariantList {1, time, "  25.3℃ ", " 45.0%RH", "12.5  ℃", "\t18.1 ℃"} << true
        << QVector<double> {25.3, 45.0, 12.5, 18.1};
    QTest::newRow("degree sign and letter")
        << QVariantList {1, time, "25.3 °C", "45.0 %RH", "12.5°C", "18.1 °c"} << true
        << QVector<double> {25.3, 45.0, 12.5, 18.1};
    QTest::newRow("degree sign and F: converted")
        << QVariantList {1, time, "77.0 °F", "45.0 %RH", "54.5°F", "-4.0 ℉"} << true
        << QVector<double> {25.0, 45.0, f(54.5), -20.0};
    QTest::newRow("date cell of another zone keeps its digits") << QVariantList {
        1,     QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9), Qt::OffsetFromUTC, 3600),
        "1 ℃", "2 %RH",
        "3 ℃", "4 ℃"} << true << QVector<double> {1, 2, 3, 4};
    QTest::newRow("numbers as values") << QVariantList {1, time, 25.25, 45, 12.5, 18.0} << true
                                       << QVector<double> {25.25, 45.0, 12.5, 18.0};
    QTest::newRow("number text as index") << QVariantList {"17", time, "1 ℃", "2 %RH", "3 ℃", "4 ℃"}
                                          << true << QVector<double> {1, 2, 3, 4};
    QTest::newRow("cells beyond the sixth are ignored")
        << QVariantList {1, time, "1 ℃", "2 %RH", "3 ℃", "4 ℃", "note"} << true
        << QVector<double> {1, 2, 3, 4};
    QTest::newRow("five cells") << QVariantList {1, time, "25.3 ℃", "45.0 %RH", "12.5 ℃"} << false
                                << QVector<double> {};
    QTest::newRow("value not a number")
        << QVariantList {1, time, "warm ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
    QTest::newRow("blank value") << QVariantList {1, time, "25.3 ℃", QVariant(), "12.5 ℃", "18.1 ℃"}
                                 << false << QVector<double> {};
    QTest::newRow("unit of another column")
        << QVariantList {1, time, "25.3 %RH", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
    QTest::newRow("index not a number")
        << QVariantList {"x", time, "25.3 ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
    QTest::newRow("index not whole")
        << QVariantList {1.5, time, "25.3 ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
    QTest::newRow("time text not a time")
        << QVariantList {1, "yesterday", "25.3 ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
    QTest::newRow("time serial out of range")
        << QVariantList {1, -5.0, "25.3 ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
    QTest::newRow("infinite value")
        << QVariantList {1, time, "inf ℃", "45.0 %RH", "12.5 ℃", "18.1 ℃"} << false
        << QVector<double> {};
}

void TestSheetExchange::convertRow()
{
    QFETCH(QVariantList, row);
    QFETCH(bool, ok);
    QFETCH(QVector<double>, values);
    ImportedReading reading;
    QCOMPARE(SheetImport::convertRow(row, &reading), ok);
    if (!ok)
        return;
    QCOMPARE(reading.time, wallClock(2024, 3, 5, 14, 7, 9));
    for (int channel = 0; channel < 4; ++channel)
        QVERIFY2(std::abs(reading.values[size_t(channel)] - values.at(channel)) < 1e-12,
                 qPrintable(QString::number(reading.values[size_t(channel)], 'g', 17)));

    // Between a header and an empty row, the same row counts as a reading or as skipped.
    const SheetImport::Result result = SheetImport::convertRows(
        {QVariantList {"No."}, row, QVariantList {}, QVariantList {"", " "}});
    QCOMPARE(result.readings.size(), 1);
    QCOMPARE(result.skippedRows, 0);
}

void TestSheetExchange::skippedRowsMessage()
{
    const SheetImport::Result result = SheetImport::convertRows(
        {QVariantList {"No."}, QVariantList {1, 2}, QVariantList {1, "x", "a", "b", "c", "d"}});
    QCOMPARE(result.skippedRows, 2);
    const QString message = SheetImport::skippedRowsMessage(result.skippedRows);
    QVERIFY2(message.contains(QLatin1String("2 row")), qPrintable(message));
    QVERIFY(!message.contains(QLatin1String("%n")));
    QVERIFY(SheetExport::resultMessage(SheetExport::TooManyRowsForXls)
                .contains(QLatin1String(".xlsx")));
    QCOMPARE(SheetExport::resultMessage(SheetExport::Success),
             QStringLiteral("The datas is exported successfully."));
    QCOMPARE(SheetExport::resultMessage(SheetExport::WriteFailed),
             QStringLiteral("The datas is exported failed."));
    QCOMPARE(SheetImport::failureMessage(), QStringLiteral("The datas is imported failed."));
    const QString formulas = SheetImport::formulasWithoutResultMessage(2);
    QVERIFY2(formulas.contains(QLatin1String("2 formula")), qPrintable(formulas));
    QVERIFY(!formulas.contains(QLatin1String("%n")));
}

void TestSheetExchange::dateSerials_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<QDateTime>("time");
    QTest::newRow("epoch of the table's times")
        << 45356.58829861111 << wallClock(2024, 3, 5, 14, 7, 9);
    QTest::newRow("noon") << 45356.5 << wallClock(2024, 3, 5, 12, 0, 0);
    QTest::newRow("a hair before midnight rounds up")
        << 45356.999999999993 << wallClock(2024, 3, 6, 0, 0, 0);
    QTest::newRow("last second of the day")
        << 45356.0 + 86399.0 / 86400.0 << wallClock(2024, 3, 5, 23, 59, 59);
    QTest::newRow("before 1900") << 0.5 << QDateTime();
    QTest::newRow("after 9999") << 2958466.0 << QDateTime();
    QTest::newRow("not a number") << std::nan("") << QDateTime();
}

void TestSheetExchange::dateSerials()
{
    QFETCH(double, serial);
    QFETCH(QDateTime, time);
    QCOMPARE(SheetLayout::fromSerial(serial), time);
    QVERIFY(!time.isValid() || SheetLayout::fromSerial(serial).timeSpec() == Qt::UTC);
    if (time.isValid())
        QCOMPARE(SheetLayout::fromSerial(SheetLayout::toSerial(time)), time);
}

void TestSheetExchange::isDateFormat_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date");
    QTest::newRow("general") << 0 << QString() << false;
    QTest::newRow("built-in date") << 14 << QString() << true;
    QTest::newRow("built-in date-time") << 22 << QString() << true;
    QTest::newRow("built-in text") << 49 << QStringLiteral("@") << false;
    QTest::newRow("ours") << 164 << QStringLiteral("yyyy-MM-dd hh:mm:ss") << true;
    QTest::newRow("escaped dashes") << 164 << QStringLiteral("yyyy\\-mm\\-dd") << true;
    QTest::newRow("elapsed hours") << 165 << QStringLiteral("[h]:mm") << true;
    QTest::newRow("quoted unit letters") << 165 << QStringLiteral("0.0\" hrs, d\"") << false;
    QTest::newRow("colour and number") << 165 << QStringLiteral("[Red]0.00;[Blue]-0.00") << false;
    QTest::newRow("locale and date") << 165 << QStringLiteral("[$-409]d-mmm-yy") << true;
    QTest::newRow("scientific") << 11 << QStringLiteral("0.00E+00") << false;
    QTest::newRow("General spelled out") << 165 << QStringLiteral("General") << false;
}

void TestSheetExchange::isDateFormat()
{
    QFETCH(int, id);
    QFETCH(QString, code);
    QFETCH(bool, date);
    QCOMPARE(WorkbookReader::isDateFormat(id, code), date);
}

QTEST_MAIN(TestSheetExchange)
#include "tst_sheetexchange.moc"
