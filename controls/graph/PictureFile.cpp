#include "controls/graph/PictureFile.h"

#include "fileio/AtomicFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>

namespace tervalo {

FileError writeBitmapFile(const QImage &image, const QString &path)
{
    // Encoded in memory first, so that only the system's own calls can fail
    // on the way to the disk and each failure has its reason.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "bmp");
        if (!writer.write(image))
            return {path, writer.errorString()};
    }
    return writeFileAtomically(path, bytes);
}

} // namespace tervalo
