#include "chartpicturenames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

ChartPictureNames::ChartPictureNames(const QString &chosenName, const QString &fallbackSuffix)
{
    // QFileInfo splits on the file name only, so a dot in a directory name is harmless.
    const QFileInfo info(chosenName);
    m_dir = info.absolutePath();
    m_base = info.baseName();
    m_suffix = info.suffix();
    if (m_suffix.isEmpty())
        m_suffix = fallbackSuffix;
}

QStringList ChartPictureNames::words()
{
    return {QStringLiteral("Temperature"), QStringLiteral("Tumidity"), QStringLiteral("DewPoint"),
            QStringLiteral("WetBulb")};
}

QString ChartPictureNames::path(int chart) const
{
    if (chart < 0 || chart >= ChartCount)
        return QString();
    const QString name = QStringLiteral("%1_%2").arg(m_base, words().at(chart));
    return QStringLiteral("%1/%2.%3").arg(m_dir, name, m_suffix);
}

QStringList ChartPictureNames::paths() const
{
    QStringList result;
    for (int chart = 0; chart < ChartCount; ++chart)
        result << path(chart);
    return result;
}

QStringList ChartPictureNames::failedPaths(const QStringList &paths, const QVector<bool> &saved)
{
    QStringList failed;
    for (int i = 0; i < paths.size(); ++i) {
        // A missing result counts as a failure rather than a silent success.
        if (i >= saved.size() || !saved.at(i))
            failed << paths.at(i);
    }
    return failed;
}

QString ChartPictureNames::failureMessage(const QStringList &failedPaths)
{
    if (failedPaths.isEmpty())
        return QString();
    QStringList shown;
    for (const QString &path : failedPaths)
        shown << QDir::toNativeSeparators(path);
    return QCoreApplication::translate("Widget", "These chart pictures could not be written:\n%1")
        .arg(shown.join(QLatin1Char('\n')));
}
