#pragma once
// A small filesystem of its own for a test: a tmpfs mounted on a temporary
// folder (needs the right to mount; usable() says why not), which can be
// filled up or made read-only, to see what a writer does on a full or
// unwritable disk. Unmounted when the test ends.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace tervalo::test {

class ScratchDisk {
public:
    explicit ScratchDisk(const char *size = "64k") : options_(std::string("size=") + size)
    {
        if (!dir_.isValid()) {
            why_ = "no temporary folder";
            return;
        }
        if (::mount("tervalo-scratch", QFile::encodeName(dir_.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                    options_.c_str())
            != 0) {
            why_ = std::string("no permission to mount a filesystem here (") + std::strerror(errno) + ")";
            return;
        }
        mounted_ = true;
    }
    ~ScratchDisk()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    ScratchDisk(const ScratchDisk &) = delete;
    ScratchDisk &operator=(const ScratchDisk &) = delete;

    bool usable() const { return mounted_; }
    // Why the disk could not be made (for the skip).
    const std::string &why() const { return why_; }

    QString path() const { return dir_.path(); }
    QString filePath(const QString &name) const { return dir_.filePath(name); }

    // Writes a file (an older file a writer must leave as it was).
    bool put(const QString &name, const QByteArray &contents) const
    {
        QFile f(filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write(contents) == contents.size() && f.flush();
    }
    QByteArray contents(const QString &name) const
    {
        QFile f(filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Every file in it, hidden (temporary) ones included.
    QStringList files() const
    {
        return QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    // Takes the room that is left, in a file named "filler".
    bool fill() const
    {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                              O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        while (::write(fd, block.constData(), static_cast<std::size_t>(block.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        // the last partial page too
        while (::write(fd, block.constData(), 1) > 0) {
        }
        ::close(fd);
        return full;
    }
    // No more writes at all: "Read-only file system".
    bool makeReadOnly() const
    {
        return ::mount(nullptr, QFile::encodeName(dir_.path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                       options_.c_str())
            == 0;
    }

private:
    QTemporaryDir dir_;
    std::string options_;
    std::string why_;
    bool mounted_ = false;
};

} // namespace tervalo::test
