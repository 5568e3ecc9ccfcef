#include "foreignreader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

QString python()
{
    // The system interpreter has the Debian packages (xlrd) even where another python3
    // comes first in PATH.
    if (QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        return QStringLiteral("/usr/bin/python3");
    return QStringLiteral("python3");
}

QString script()
{
    return QDir(qEnvironmentVariable("METER_SOURCE_DIR"))
        .filePath(QStringLiteral("tests/spreadsheet/read_workbook.py"));
}

} // namespace

QJsonObject ForeignReader::run(const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(python(), QStringList {script()} + arguments);
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        *error
            = QStringLiteral("xlrd failed: ") + QString::fromUtf8(process.readAllStandardError());
        return QJsonObject();
    }
    QJsonParseError parseError;
    const QJsonDocument document
        = QJsonDocument::fromJson(process.readAllStandardOutput(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = parseError.errorString();
        return QJsonObject();
    }
    return document.object();
}

QJsonObject ForeignReader::sheet(const QString &fileName, int headRows, QString *error)
{
    return run({QStringLiteral("sheet"), fileName, QString::number(headRows)}, error);
}

QJsonObject ForeignReader::book(const QString &fileName, QString *error)
{
    return run({QStringLiteral("book"), fileName}, error);
}

QJsonObject ForeignReader::streams(const QString &fileName, QString *error)
{
    return run({QStringLiteral("streams"), fileName}, error);
}

QString ForeignReader::libreOffice()
{
    for (const char *name : {"soffice", "libreoffice"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

QString ForeignReader::libreOfficeCsv(const QString &fileName, QString *error)
{
    QTemporaryDir dir;
    QProcess process;
    // A profile of its own, so that a running office or the user's settings play no part.
    process.start(
        libreOffice(),
        {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"),
         dir.path(), fileName});
    if (!process.waitForFinished(180000) || process.exitCode() != 0) {
        *error = QString::fromUtf8(process.readAllStandardError());
        return QString();
    }
    QFile csv(dir.filePath(QFileInfo(fileName).completeBaseName() + QStringLiteral(".csv")));
    if (!csv.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("no CSV written: ")
            + QString::fromUtf8(process.readAllStandardOutput());
        return QString();
    }
    return QString::fromUtf8(csv.readAll());
}

QString ForeignReader::libreOfficeWorkbook(const QString &csvFile, const QString &folder,
                                           QString *error)
{
    QTemporaryDir dir;
    QProcess process;
    // Comma, quote, UTF-8, from the first line: the file's own layout.
    process.start(
        libreOffice(),
        {QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile")),
         QStringLiteral("--headless"), QStringLiteral("--infilter=CSV:44,34,76,1"),
         QStringLiteral("--convert-to"), QStringLiteral("xlsx"), QStringLiteral("--outdir"), folder,
         csvFile});
    const QString workbook
        = QDir(folder).filePath(QFileInfo(csvFile).completeBaseName() + QStringLiteral(".xlsx"));
    if (!process.waitForFinished(180000) || process.exitCode() != 0
        || !QFileInfo::exists(workbook)) {
        *error = QString::fromUtf8(process.readAllStandardError());
        return QString();
    }
    return workbook;
}
