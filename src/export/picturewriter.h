#ifndef PICTUREWRITER_H
#define PICTUREWRITER_H

#include <QImage>
#include <QString>

// Writes a picture file in the format its suffix names (JPEG for .jpg), the way no failure
// can damage a file already there: the picture is made in memory first, then written beside
// the destination, checked and renamed over it (SafeFile).
class PictureWriter
{
public:
    // False for a null picture, a suffix without an image format, or a file that could not be
    // written; the destination is then as it was.
    static bool save(const QImage &picture, const QString &fileName);
};

#endif // PICTUREWRITER_H
