#include "picturewriter.h"

#include "safefile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

bool PictureWriter::save(const QImage &picture, const QString &fileName)
{
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    if (picture.isNull() || format.isEmpty()
        || !QImageWriter::supportedImageFormats().contains(format))
        return false;
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        // The writer's default quality, as the chart's own save uses.
        QImageWriter writer(&buffer, format);
        if (!writer.write(picture))
            return false;
    }
    SafeFile file(fileName);
    return file.open() && file.write(bytes) && file.commit();
}
