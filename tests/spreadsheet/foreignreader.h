#ifndef FOREIGNREADER_H
#define FOREIGNREADER_H

#include <QJsonObject>
#include <QString>

// Asks readers we did not write what they see in a file: xlrd through
// read_workbook.py, and LibreOffice (when installed) through a CSV conversion.
class ForeignReader
{
public:
    // The first worksheet as xlrd reads it (see read_workbook.py); empty with *error set
    // when the reader fails.
    static QJsonObject sheet(const QString &fileName, int headRows, QString *error);
    // Every worksheet as xlrd reads it: {"sheets": [{"name", "nrows", "first", "second",
    // "last"}]} with the values of those rows.
    static QJsonObject book(const QString &fileName, QString *error);
    // The streams of a compound file as xlrd's compound-document reader finds them.
    static QJsonObject streams(const QString &fileName, QString *error);

    // The soffice program, or empty when LibreOffice is not installed.
    static QString libreOffice();
    // The first worksheet converted to CSV text by LibreOffice; empty on failure.
    static QString libreOfficeCsv(const QString &fileName, QString *error);
    // A UTF-8 CSV file opened by LibreOffice and saved as an .xlsx workbook in `folder`; the
    // workbook's path, or empty on failure.
    static QString libreOfficeWorkbook(const QString &csvFile, const QString &folder,
                                       QString *error);

private:
    static QJsonObject run(const QStringList &arguments, QString *error);
};

#endif // FOREIGNREADER_H
