#include "optionsfile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <functional>

// The options room stands on its own: its diagnostics have a category of their own, switched on
// with the others by "meter.*=true".
Q_LOGGING_CATEGORY(lcOptions, "meter.options", QtInfoMsg)

namespace {

const QString rootName = QStringLiteral("options");
// What the window writes is a few kilobytes; a file of megabytes is none of ours, and reading
// it (its blobs are decoded whole) would hold up the start.
constexpr qint64 largestFile = 1024 * 1024;

bool openForReading(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() <= largestFile)
        return true;
    qCWarning(lcOptions) << "options file" << file.fileName() << "of" << file.size()
                         << "bytes ignored";
    return false;
}

int parseInt(const QString &text)
{
    // Text that is not a base-10 number counts as 0.
    return text.toInt(nullptr, 10);
}

QByteArray parseBlob(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

// The token loop both readers share: the name of the latest start element other than the root
// is remembered, and every text that is not only white space is handed over with it. The
// handler says whether the name stays remembered. Elements are picked up wherever they sit and
// whatever the root is called; reading stops at the end or at the first parse error. Returns
// false after a parse error.
bool walkTexts(QIODevice *device,
               const std::function<bool(const QString &element, const QString &text)> &handle)
{
    QXmlStreamReader xml(device);
    QString current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() != rootName)
                current = xml.name().toString();
        } else if (xml.isCharacters() && !xml.isWhitespace()) {
            if (!handle(current, xml.text().toString()))
                current.clear();
        }
    }
    return !xml.hasError();
}

void applyElement(OptionsFound &found, const QString &name, const QString &text)
{
    if (name == QLatin1String("Geometry"))
        found.geometry = parseBlob(text);
    else if (name == QLatin1String("State"))
        found.state = parseBlob(text);
    else if (name == QLatin1String("SplitterState"))
        found.splitterState = parseBlob(text);
    else if (name == QLatin1String("Splitter2State"))
        found.splitter2State = parseBlob(text);
    else if (name == QLatin1String("Language")) {
        if (OptionsFile::isLanguageCode(text))
            found.language = text;
    } else if (name == QLatin1String("SamplePoints")) {
        // A negative count or period means nothing: the value is treated as missing.
        if (parseInt(text) >= 0)
            found.samplePoints = parseInt(text);
    } else if (name == QLatin1String("Infinite"))
        found.infinite = parseInt(text) != 0;
    else if (name == QLatin1String("SampleRate")) {
        if (parseInt(text) >= 0)
            found.sampleRate = parseInt(text);
    } else if (name == QLatin1String("SkipRepeat"))
        found.skipRepeat = parseInt(text) != 0;
}

} // namespace

bool OptionsFound::isEmpty() const
{
    return !geometry && !state && !splitterState && !splitter2State && !language && !samplePoints
        && !infinite && !sampleRate && !skipRepeat;
}

void OptionsFound::applyTo(MeterOptions &options) const
{
    if (language)
        options.Language = *language;
    if (samplePoints)
        options.SamplePoints = *samplePoints;
    if (infinite)
        options.Infinite = *infinite;
    if (sampleRate)
        options.SampleRate = *sampleRate;
    if (skipRepeat)
        options.SkipRepeat = *skipRepeat;
}

bool OptionsFile::isLanguageCode(const QString &text)
{
    // The code names a translation file beside the executable: letters, digits, '-' and '_'
    // only, so that it can never lead out of that folder.
    if (text.isEmpty() || text.size() > 32)
        return false;
    for (const QChar c : text) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-')
            && c != QLatin1Char('_'))
            return false;
    }
    return true;
}

QString OptionsFile::defaultPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/options.xml");
}

namespace {

QByteArray document(const OptionsRecord &record)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(rootName);
    const MeterOptions &o = record.options;
    xml.writeTextElement(QStringLiteral("Geometry"), QString::fromLatin1(record.geometry.toHex()));
    xml.writeTextElement(QStringLiteral("State"), QString::fromLatin1(record.state.toHex()));
    xml.writeTextElement(QStringLiteral("SplitterState"),
                         QString::fromLatin1(record.splitterState.toHex()));
    xml.writeTextElement(QStringLiteral("Splitter2State"),
                         QString::fromLatin1(record.splitter2State.toHex()));
    xml.writeTextElement(QStringLiteral("Language"), o.Language);
    xml.writeTextElement(QStringLiteral("SamplePoints"), QString::number(o.SamplePoints, 10));
    xml.writeTextElement(QStringLiteral("Infinite"), QString::number(o.Infinite ? 1 : 0, 10));
    xml.writeTextElement(QStringLiteral("SampleRate"), QString::number(o.SampleRate, 10));
    xml.writeTextElement(QStringLiteral("SkipRepeat"), QString::number(o.SkipRepeat ? 1 : 0, 10));
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}

// Over the existing file, for a folder in which no new file can be made. Every step is
// checked, down to the flush and the close that hand the bytes to the system; a failure
// after the truncation leaves the file cut short, which the caller reports.
bool writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCWarning(lcOptions) << "cannot open" << path << "for writing:" << file.errorString();
        return false;
    }
    bool written = file.write(bytes) == bytes.size() && file.flush();
    QString error = file.errorString();
    file.close();
    if (written && file.error() != QFileDevice::NoError) {
        written = false;
        error = file.errorString();
    }
    if (!written)
        qCWarning(lcOptions) << "writing" << path << "in place failed:" << error;
    return written;
}

} // namespace

bool OptionsFile::write(const QString &path, const OptionsRecord &record)
{
    const QByteArray bytes = document(record);

    // A save file keeps the previous options.xml until the new one is complete, so a crash
    // or a full disk never leaves a truncated file behind.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(bytes) != bytes.size()) {
            qCWarning(lcOptions) << "writing" << path << "failed:" << file.errorString();
            file.cancelWriting(); // the temporary file goes, the old options.xml stays
            return false;
        }
        if (!file.commit()) {
            qCWarning(lcOptions) << "cannot replace" << path << ":" << file.errorString();
            return false;
        }
        return true;
    }

    // The save file is made beside options.xml. An application folder the user may not add
    // files to can still hold an options.xml the user may write: then it is written over.
    // (The save file's own direct-write fallback is not used: its commit reports success
    // even when the disk filled up.)
    const QFileInfo target(path);
    if (target.isFile() && target.isWritable()) {
        qCDebug(lcOptions) << "no temporary file beside" << path << "(" << file.errorString()
                           << "); writing it in place";
        return writeInPlace(path, bytes);
    }
    qCWarning(lcOptions) << "cannot open" << path << "for writing:" << file.errorString();
    return false;
}

OptionsFound OptionsFile::read(const QString &path)
{
    OptionsFound found;
    QFile file(path);
    if (!openForReading(file))
        return found;

    // Elements are picked up wherever they sit and whatever the root is called; the first
    // text of an element is its value, and a later element of the same name wins.
    const bool complete = walkTexts(&file, [&found](const QString &element, const QString &text) {
        if (!element.isEmpty())
            applyElement(found, element, text);
        return false; // the first text of an element is its value
    });
    if (!complete)
        qCDebug(lcOptions) << "options file" << path << "read up to a parse error";
    return found;
}

QString OptionsFile::readLanguage(const QString &path)
{
    QString language;
    QFile file(path);
    if (!openForReading(file))
        return language;

    walkTexts(&file, [&language](const QString &element, const QString &text) {
        // Start-up's own reading: the name stays remembered after a match, so a later text of
        // the same element replaces the language; any other text forgets the name.
        if (element != QLatin1String("Language"))
            return false;
        if (isLanguageCode(text))
            language = text;
        return true;
    });
    return language;
}
