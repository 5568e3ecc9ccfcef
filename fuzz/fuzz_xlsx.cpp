// The .xlsx reader on arbitrary bytes. An input that starts like a zip archive is read as
// one; any other input is a worksheet's XML (and, after a line "--", its shared strings),
// which the harness packs with a fixed workbook into a stored archive with correct
// checksums, so that the XML reaches the parser instead of failing the checksum.
#include "cellvisitor.h"
#include "xlsxreader.h"

#include <QBuffer>
#include <QByteArray>
#include <QLoggingCategory>
#include <QtEndian>

#include <zlib.h>

#include <cstddef>
#include <cstdint>

namespace {

void put16(QByteArray &out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void put32(QByteArray &out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

// A zip archive of stored (uncompressed) entries.
QByteArray storedZip(const QList<QPair<QByteArray, QByteArray>> &entries)
{
    QByteArray out;
    QByteArray central;
    for (const auto &entry : entries) {
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(entry.second.data()),
                                          uInt(entry.second.size())));
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034B50);
        put16(out, 20);
        put16(out, 0); // flags
        put16(out, 0); // stored
        put32(out, 0); // time and date
        put32(out, crc);
        put32(out, quint32(entry.second.size()));
        put32(out, quint32(entry.second.size()));
        put16(out, quint16(entry.first.size()));
        put16(out, 0);
        out.append(entry.first).append(entry.second);

        put32(central, 0x02014B50);
        put16(central, 20);
        put16(central, 20);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, crc);
        put32(central, quint32(entry.second.size()));
        put32(central, quint32(entry.second.size()));
        put16(central, quint16(entry.first.size()));
        put16(central, 0); // extra
        put16(central, 0); // comment
        put16(central, 0); // disk
        put16(central, 0); // internal attributes
        put32(central, 0); // external attributes
        put32(central, offset);
        central.append(entry.first);
    }
    const quint32 centralOffset = quint32(out.size());
    out.append(central);
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(central.size()));
    put32(out, centralOffset);
    put16(out, 0);
    return out;
}

QByteArray package(const QByteArray &sheet, const QByteArray &strings)
{
    const QByteArray relNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const QByteArray workbook
        = "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
          "xmlns:r=\""
        + relNs
        + "\"><workbookPr/><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
          "</workbook>";
    const QByteArray rels
        = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\""
        + relNs + "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\""
        + relNs + "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId3\" Type=\""
        + relNs + "/styles\" Target=\"styles.xml\"/></Relationships>";
    const QByteArray styles
        = "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd hh:mm:ss\"/>"
          "</numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"49\"/>"
          "</cellXfs></styleSheet>";
    return storedZip({{"xl/workbook.xml", workbook},
                      {"xl/_rels/workbook.xml.rels", rels},
                      {"xl/styles.xml", styles},
                      {"xl/sharedStrings.xml", strings},
                      {"xl/worksheets/sheet1.xml", sheet}});
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("meter.warning=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    if (!bytes.startsWith("PK")) {
        const int split = bytes.indexOf("\n--\n");
        const QByteArray sheet = split < 0 ? bytes : bytes.left(split);
        const QByteArray strings = split < 0 ? QByteArray("<sst/>") : bytes.mid(split + 4);
        bytes = package(sheet, strings);
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CellVisitor visitor;
    XlsxReader::read(&buffer, &visitor, WorkbookReader::defaultColumns);
    return 0;
}
