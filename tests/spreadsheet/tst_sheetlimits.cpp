// The sizes where workbook files change shape: the last row an .xls sheet holds, compound
// files that need DIFAT sectors, shared strings spread over several records, a large .xlsx.
#include "cfbreader.h"
#include "cfbwriter.h"
#include "foreignreader.h"
#include "readingtable.h"
#include "sheetexport.h"
#include "sheetimport.h"
#include "workbookreader.h"
#include "xlswriter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cmath>

namespace {

const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));

// A table whose rows cost nothing: for the row limits, where the contents never get read.
class HugeTable : public QAbstractTableModel
{
public:
    explicit HugeTable(int rows)
        : m_rows(rows)
    {
    }
    int rowCount(const QModelIndex & = QModelIndex()) const override { return m_rows; }
    int columnCount(const QModelIndex & = QModelIndex()) const override { return 6; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(index.row() + 1) : QVariant();
    }

private:
    int m_rows;
};

quint32 headerField(const QString &file, int offset)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0xFFFFFFFF;
    const QByteArray header = f.read(512);
    return qFromLittleEndian<quint32>(header.constData() + offset);
}

// A time as the import keeps it: its wall-clock digits in a Qt::UTC time.
QDateTime wallClock(const QDateTime &time)
{
    return QDateTime(time.date(), time.time(), Qt::UTC);
}

QByteArray noise(int size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator generator(seed);
    for (char &b : bytes)
        b = char(generator.bounded(256));
    return bytes;
}

} // namespace

class TestSheetLimits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void xlsRowLimit_data();
    void xlsRowLimit();
    void xlsWorkbookLimit();
    void xlsxHundredThousand();
    void compoundFile_data();
    void compoundFile();
    void smallWorkbooks_data();
    void smallWorkbooks();
    void sharedStringsAcrossRecords();

private:
    QTemporaryDir m_dir;
};

void TestSheetLimits::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // For a look at the files afterwards.
    if (qEnvironmentVariableIsSet("METER_KEEP_TEST_FILES")) {
        m_dir.setAutoRemove(false);
        qInfo() << "Files kept in" << m_dir.path();
    }
}

// 65,535 readings and the header fill an .xls sheet to its last row, in a file over 7 MB
// whose allocation table needs DIFAT sectors; one reading more goes on to a second sheet,
// with its own header, instead of being cut off.
void TestSheetLimits::xlsRowLimit_data()
{
    QTest::addColumn<int>("readings");
    QTest::addColumn<QStringList>("sheets");
    QTest::newRow("65535 on one sheet") << 65535 << QStringList {"Sheet1"};
    QTest::newRow("65536 on two") << 65536 << QStringList {"Sheet1", "Sheet2"};
}

void TestSheetLimits::xlsRowLimit()
{
    QFETCH(int, readings);
    QFETCH(QStringList, sheets);
    const QString file = m_dir.filePath(QStringLiteral("limit%1.xls").arg(readings));
    const ReadingTable table(ReadingTable::sample(readings, start), false, false);
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);

    QVERIFY(QFileInfo(file).size() > 7 * 1024 * 1024);
    QVERIFY(headerField(file, 44) > quint32(CfbWriter::headerFatSlots)); // FAT sectors
    QVERIFY(headerField(file, 72) >= 1); // DIFAT sectors

    QString error;
    const QJsonObject sheet = ForeignReader::sheet(file, 2, &error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    QCOMPARE(sheet.value(QStringLiteral("sheets")).toVariant().toStringList(), sheets);
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), 65536);
    const QJsonArray last = sheet.value(QStringLiteral("last")).toArray();
    QCOMPARE(last.at(0).toObject().value(QStringLiteral("value")).toDouble(), 65535.0);
    QCOMPARE(last.at(1).toObject().value(QStringLiteral("value")).toString(),
             table.data(table.index(65534, 1)).toString());
    QCOMPARE(last.at(5).toObject().value(QStringLiteral("value")).toString(),
             table.data(table.index(65534, 5)).toString());

    const SheetImport::Result back = SheetImport::importFile(file);
    QCOMPARE(back.error, WorkbookReader::NoError);
    QCOMPARE(back.sheets, sheets.size());
    QCOMPARE(back.readings.size(), readings);
    QCOMPARE(back.skippedRows, 0);
    QCOMPARE(back.readings.last().storeIndex, readings);
    QCOMPARE(back.readings.last().time, wallClock(start.addSecs(readings - 1)));
    QCOMPARE(back.readings.last().values[3], table.shownValue(readings - 1, 3));
}

// More readings than the largest .xls workbook holds: refused at once, nothing written.
void TestSheetLimits::xlsWorkbookLimit()
{
    const QString file = m_dir.filePath(QStringLiteral("huge.xls"));
    const HugeTable table(SheetExport::maxXlsReadings + 1);
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::TooManyRowsForXls);
    QVERIFY(!QFile::exists(file));
}

void TestSheetLimits::xlsxHundredThousand()
{
    const int readings = 100000;
    const ReadingTable table(ReadingTable::sample(readings, start, 7), false, true);
    const QString file = m_dir.filePath(QStringLiteral("large.xlsx"));
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);

    const SheetImport::Result back = SheetImport::importFile(file);
    QCOMPARE(back.error, WorkbookReader::NoError);
    QCOMPARE(back.readings.size(), readings);
    for (int row : {0, 4711, readings - 1}) {
        QCOMPARE(back.readings.at(row).storeIndex, row + 1);
        QCOMPARE(back.readings.at(row).time, wallClock(start.addSecs(row)));
        for (int channel = 0; channel < 4; ++channel)
            QVERIFY(std::abs(back.readings.at(row).values[size_t(channel)]
                             - table.shownValue(row, channel))
                    < 1e-9);
    }

    QString error;
    const QJsonObject sheet = ForeignReader::sheet(file, 1, &error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), readings + 1);
    QCOMPARE(sheet.value(QStringLiteral("last"))
                 .toArray()
                 .at(4)
                 .toObject()
                 .value(QStringLiteral("value"))
                 .toString(),
             table.data(table.index(readings - 1, 4)).toString());
}

// Streams below and above the mini-stream cutoff, empty ones, a tree of many names, and
// one large enough to need DIFAT sectors, read back by xlrd's compound-document reader and
// by our own.
void TestSheetLimits::compoundFile_data()
{
    QTest::addColumn<QVector<int>>("sizes");
    QTest::addColumn<bool>("difat");
    QTest::newRow("one small stream") << QVector<int> {100} << false;
    QTest::newRow("just below the cutoff") << QVector<int> {4095} << false;
    QTest::newRow("at the cutoff") << QVector<int> {4096} << false;
    QTest::newRow("empty, small and large") << QVector<int> {0, 64, 65, 5000, 512 * 3} << false;
    QTest::newRow("fifteen names in the tree")
        << QVector<int> {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15} << false;
    QTest::newRow("nine names in the tree")
        << QVector<int> {9000, 1, 4096, 70, 3, 8000, 200, 5, 63} << false;
    QTest::newRow("8 MB with DIFAT") << QVector<int> {8 * 1024 * 1024, 1000} << true;
    // 109 allocation sectors in the header cover 13,843 sectors besides themselves.
    QTest::newRow("header's FAT places just enough") << QVector<int> {13842 * 512} << false;
    QTest::newRow("one sector more needs DIFAT") << QVector<int> {13843 * 512} << true;
}

void TestSheetLimits::compoundFile()
{
    QFETCH(QVector<int>, sizes);
    QFETCH(bool, difat);
    CfbWriter writer;
    QHash<QString, QByteArray> streams;
    for (int i = 0; i < sizes.size(); ++i) {
        const QString name
            = QStringLiteral("Stream %1 %2").arg(QChar('A' + i)).arg(QString(i % 4, 'x'));
        streams.insert(name, noise(sizes.at(i), quint32(i + 1)));
        QVERIFY(writer.addStream(name, streams.value(name)));
    }
    const QString file = m_dir.filePath(QStringLiteral("compound.bin"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(writer.write(&out));
    }
    QCOMPARE(QFileInfo(file).size() % CfbWriter::sectorSize, 0);

    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    CfbReader reader;
    QVERIFY2(reader.open(bytes), qPrintable(reader.errorString()));
    QCOMPARE(reader.streamNames().size(), streams.size());
    for (auto it = streams.cbegin(); it != streams.cend(); ++it) {
        CfbReader::Stream stream;
        QVERIFY(reader.stream(it.key().toLower(), &stream));
        QCOMPARE(stream.inMiniStream(), it.value().size() < CfbReader::miniStreamCutoff);
        QVERIFY(stream.readAll() == it.value());
    }

    QString error;
    const QJsonObject report = ForeignReader::streams(file, &error);
    QVERIFY2(!report.isEmpty(), qPrintable(error));
    QCOMPARE(report.value(QStringLiteral("warnings")).toString(), QString());
    QCOMPARE(report.value(QStringLiteral("difat_sectors")).toInt() > 0, difat);
    const QJsonObject found = report.value(QStringLiteral("streams")).toObject();
    QCOMPARE(found.size(), streams.size());
    for (auto it = streams.cbegin(); it != streams.cend(); ++it) {
        const QJsonObject stream = found.value(it.key()).toObject();
        QCOMPARE(stream.value(QStringLiteral("size")).toInt(), it.value().size());
        QCOMPARE(stream.value(QStringLiteral("sha1")).toString(),
                 QString::fromLatin1(
                     QCryptographicHash::hash(it.value(), QCryptographicHash::Sha1).toHex()));
    }
}

// A small workbook's stream is padded to the mini-stream cutoff, so that it lies in regular
// sectors, where every reader looks for it; xlrd and our import still read the sheet.
void TestSheetLimits::smallWorkbooks_data()
{
    QTest::addColumn<int>("readings");
    QTest::newRow("header only") << 0;
    QTest::newRow("one reading") << 1;
    QTest::newRow("ten readings") << 10;
}

void TestSheetLimits::smallWorkbooks()
{
    QFETCH(int, readings);
    const ReadingTable table(ReadingTable::sample(readings, start), false, false);
    const QString file = m_dir.filePath(QStringLiteral("small%1.xls").arg(readings));
    QCOMPARE(SheetExport::exportModel(&table, file), SheetExport::Success);

    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    CfbReader reader;
    QVERIFY(reader.open(bytes));
    CfbReader::Stream workbook;
    QVERIFY(reader.stream(QStringLiteral("Workbook"), &workbook));
    QVERIFY(workbook.size() >= CfbReader::miniStreamCutoff);
    QVERIFY(!workbook.inMiniStream());

    QString error;
    const QJsonObject sheet = ForeignReader::sheet(file, 1, &error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    QCOMPARE(sheet.value(QStringLiteral("nrows")).toInt(), readings + 1);
    const SheetImport::Result back = SheetImport::importFile(file);
    QCOMPARE(back.error, WorkbookReader::NoError);
    QCOMPARE(back.readings.size(), readings);
}

// Enough unique strings, short and long, one-byte and two-byte, that the shared string table
// runs over many records and breaks strings at record ends; every string must come back.
void TestSheetLimits::sharedStringsAcrossRecords()
{
    XlsWriter writer;
    QStringList texts;
    QRandomGenerator generator(42);
    const QString latin = QStringLiteral("abcdefghij ℃℉%RH 0123456789");
    for (int i = 0; i < 3000; ++i) {
        const bool wide = i % 3 == 0;
        int length = int(generator.bounded(1, 40));
        if (i % 97 == 0)
            length = wide ? std::min(3990, 2000 + i) : 2000 + i;
        QString text = QString::number(i) + QLatin1Char(':');
        for (int k = 0; k < length; ++k)
            text += wide ? QChar(0x4E00 + int(generator.bounded(2000)))
                         : latin.at(int(generator.bounded(latin.size() - 8)));
        texts << text;
        QVERIFY(writer.setText(i, i % 3, text));
    }
    // One string bigger than a record on top, spread over three.
    texts << QString(6000, QChar(0x6C34));
    QVERIFY(writer.setText(3000, 0, texts.last()));
    const QString file = m_dir.filePath(QStringLiteral("strings.xls"));
    QVERIFY(writer.save(file));

    const WorkbookReader::Sheet ours = WorkbookReader::readFirstSheet(file);
    QCOMPARE(ours.error, WorkbookReader::NoError);
    QCOMPARE(ours.rows.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        if (ours.rows.at(i).value(i % 3).toString() != texts.at(i))
            QFAIL(qPrintable(QStringLiteral("string %1 read back wrong").arg(i)));
    }

    QString error;
    const QJsonObject sheet = ForeignReader::sheet(file, texts.size(), &error);
    QVERIFY2(!sheet.isEmpty(), qPrintable(error));
    const QJsonArray rows = sheet.value(QStringLiteral("head")).toArray();
    QCOMPARE(rows.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        const QString seen
            = rows.at(i).toArray().at(i % 3).toObject().value(QStringLiteral("value")).toString();
        if (seen != texts.at(i))
            QFAIL(qPrintable(QStringLiteral("xlrd reads string %1 wrong").arg(i)));
    }
}

QTEST_GUILESS_MAIN(TestSheetLimits)
#include "tst_sheetlimits.moc"
