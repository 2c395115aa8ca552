#include "fileio/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tervalo {

namespace {

const char *const kNoReader = "no reader";
const char *const kNoWriter = "no writer";
const char *const kNotRegular = "not a regular file";

FileError ownReason(const QString &path, const char *reason)
{
    return {path, QString::fromLatin1(reason)};
}

// Writes all of bytes to fd; false with errno set on failure. A short count
// is followed by another write, so that the system says why it stopped (a
// file-size limit first returns a short count).
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
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// The file descriptor goes back to blocking reads and writes once open.
void blocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// The permission bits a newly created file gets under the process's umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// One file on its way: either a temporary file, complete and on the disk,
// waiting to be renamed over its target, or an open pipe or device to write
// into.
struct Pending {
    const FileContents *file = nullptr;
    int fd = -1;       // the pipe or device, open
    QByteArray target; // what the temporary file replaces (a link's target)
    QByteArray temp;   // the temporary file; empty once renamed or gone
};

void discard(Pending &p)
{
    if (!p.temp.isEmpty())
        ::unlink(p.temp.constData());
    p.temp.clear();
    if (p.fd >= 0)
        ::close(p.fd);
    p.fd = -1;
}

// A pipe or a device, opened for writing without waiting: a FIFO nobody
// reads would hold the program.
FileError openDirect(const QString &path, const QByteArray &given, bool fifo, Pending &out)
{
    const int fd = ::open(given.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return fifo && errno == ENXIO ? ownReason(path, kNoReader) : FileError::system(path, errno);
    blocking(fd);
    out.fd = fd;
    return {};
}

// SIGPIPE held back while writing into a pipe: a reader that goes away is
// the write's failure (EPIPE), not the end of the program.
class PipeSignalHeld {
public:
    PipeSignalHeld()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~PipeSignalHeld()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld &) = delete;
    PipeSignalHeld &operator=(const PipeSignalHeld &) = delete;

private:
    sigset_t pipe_{}, old_{};
    bool wasPending_ = false;
};

FileError writeDirect(Pending &p)
{
    const PipeSignalHeld held;
    const bool written = writeAll(p.fd, p.file->contents);
    const int error = errno;
    const int closed = ::close(p.fd);
    const int closeError = errno;
    p.fd = -1;
    if (!written)
        return FileError::system(p.file->path, error);
    return closed == 0 ? FileError{} : FileError::system(p.file->path, closeError);
}

// Looks at the name: a pipe or device is opened, a file to be replaced gets
// its complete temporary file beside it.
FileError prepare(const FileContents &file, Pending &out)
{
    out.file = &file;
    const QByteArray given = QFile::encodeName(file.path);
    struct stat st { };
    const bool exists = ::stat(given.constData(), &st) == 0;
    if (!exists && errno != ENOENT)
        return FileError::system(file.path, errno);
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return FileError::system(file.path, EISDIR);
        if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))
            return openDirect(file.path, given, S_ISFIFO(st.st_mode), out);
        if (!S_ISREG(st.st_mode))
            return ownReason(file.path, kNotRegular);
    }

    // A link to a file is kept: its target is what gets replaced.
    out.target = given;
    if (exists) {
        char resolved[PATH_MAX];
        if (::realpath(given.constData(), resolved))
            out.target = QByteArray(resolved);
    }
    const QFileInfo info(QFile::decodeName(out.target));
    QByteArray temp =
        QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return FileError::system(file.path, errno);
    out.temp = temp;
    int error = 0;
    if (!writeAll(fd, file.contents))
        error = errno;
    if (error == 0) {
        // the file keeps the permissions (and, where allowed, the owner) it had
        if (::fchmod(fd, exists ? (st.st_mode & 07777) : newFileMode()) != 0)
            error = errno;
        else if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
            (void)!::fchown(fd, st.st_uid, st.st_gid);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        discard(out);
        return FileError::system(file.path, error);
    }
    return {};
}

} // namespace

FileError writeFileAtomically(const QString &path, const QByteArray &contents)
{
    return writeFilesAtomically({{path, contents}});
}

FileError writeFilesAtomically(const std::vector<FileContents> &files)
{
    std::vector<Pending> pending(files.size());
    const auto fail = [&pending](FileError e) {
        for (Pending &p : pending)
            discard(p);
        return e;
    };
    for (std::size_t k = 0; k < files.size(); ++k)
        if (FileError e = prepare(files[k], pending[k]))
            return fail(e);
    // Pipes and devices first: they can still fail while nothing is replaced.
    for (Pending &p : pending)
        if (p.fd >= 0)
            if (FileError e = writeDirect(p))
                return fail(e);
    for (Pending &p : pending) {
        if (p.temp.isEmpty())
            continue;
        if (::rename(p.temp.constData(), p.target.constData()) != 0)
            return fail(FileError::system(p.file->path, errno));
        p.temp.clear();
    }
    return {};
}

FileError readFileBounded(const QString &path, std::size_t limit, QByteArray &out, bool *tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    // Not waiting for a writer: a FIFO nobody writes into would hold the
    // program.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return FileError::system(path, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        return FileError::system(path, errno);
    if (S_ISDIR(st.st_mode))
        return FileError::system(path, EISDIR);
    const auto large = [&] {
        if (tooLarge)
            *tooLarge = true;
        return FileError{path, QStringLiteral("larger than %1 bytes").arg(limit)};
    };
    if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) > limit)
        return large();
    blocking(fd);

    QByteArray bytes;
    char buffer[8192];
    while (static_cast<std::size_t>(bytes.size()) <= limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileError::system(path, errno);
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<qsizetype>(n));
    }
    if (static_cast<std::size_t>(bytes.size()) > limit)
        return large();
    // A FIFO that gave nothing had no one writing into it.
    if (bytes.isEmpty() && S_ISFIFO(st.st_mode))
        return ownReason(path, kNoWriter);
    out = bytes;
    return {};
}

} // namespace tervalo
