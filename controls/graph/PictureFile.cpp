#include "controls/graph/PictureFile.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tervalo {

namespace {

QString failed(const QString &path, int error)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

// Writes all of bytes to fd; false with errno set on failure.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<std::size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// A device or a pipe: nothing to replace, the bytes go straight in.
QString writeDirectly(const QByteArray &bytes, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failed(path, errno);
    const bool written = writeAll(fd, bytes);
    const int error = errno;
    if (::close(fd) != 0 && written)
        return failed(path, errno);
    return written ? QString() : failed(path, error);
}

// The permission bits a newly created file gets under the process's umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

QString writeBitmapFile(const QImage &image, const QString &path)
{
    // Encoded in memory first, so that only the system's own calls can fail
    // on the way to the disk and each failure has its reason.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "bmp");
        if (!writer.write(image))
            return path + QStringLiteral(": ") + writer.errorString();
    }

    const QByteArray given = QFile::encodeName(path);
    struct stat st { };
    if (::stat(given.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return failed(path, EISDIR);
        if (!S_ISREG(st.st_mode))
            return writeDirectly(bytes, path);
    }

    // A link to a picture is kept: its target is what gets replaced.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QString target = canonical.isEmpty() ? path : canonical;
    const QFileInfo info(target);
    QByteArray temp =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return failed(path, errno);
    const mode_t mode = S_ISREG(st.st_mode) ? (st.st_mode & 07777) : newFileMode();
    int error = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), QFile::encodeName(target).constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        return failed(path, error);
    }
    return QString();
}

} // namespace tervalo
