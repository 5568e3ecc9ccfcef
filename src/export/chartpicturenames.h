#ifndef CHARTPICTURENAMES_H
#define CHARTPICTURENAMES_H

#include "dmmdata.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The four picture files written for one file name chosen by the user: the chosen name
// itself is not written; each chart gets "<base>_<word>.<suffix>" in the chosen directory.
class ChartPictureNames
{
public:
    // Charts in channel order: temperature, humidity, dew point, wet bulb.
    enum { ChartCount = Channel::Count };

    // A chosen name without a suffix ("run", "run.") takes fallbackSuffix, so that the
    // pictures still get an image format.
    explicit ChartPictureNames(const QString &chosenName,
                               const QString &fallbackSuffix = QStringLiteral("jpg"));

    QString dir() const { return m_dir; }
    QString base() const { return m_base; }
    QString suffix() const { return m_suffix; }

    // The word naming each chart in its file name (shipped spelling, not translated).
    static QStringList words();

    QString path(int chart) const;
    QStringList paths() const;

    // The paths whose save result is false; results are in the order of paths.
    static QStringList failedPaths(const QStringList &paths, const QVector<bool> &saved);
    // Warning text for the main window naming the pictures that were not written, or an
    // empty string when there are none.
    static QString failureMessage(const QStringList &failedPaths);

private:
    QString m_dir;
    QString m_base;
    QString m_suffix;
};

#endif // CHARTPICTURENAMES_H
