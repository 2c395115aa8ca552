#include "store/UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tervalo {

namespace {

const QString kSubfolder = QStringLiteral("Tervalo");

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Makes and removes a file in folder: the only test that also holds for
// read-only mounts, access lists and root.
QString probe(const QString &folder)
{
    QByteArray pattern = QFile::encodeName(folder + QStringLiteral("/.tervalo-probe-XXXXXX"));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return systemReason(errno);
    ::close(fd);
    ::unlink(pattern.constData());
    return QString();
}

// Both name one existing folder (through links, as /bin and /usr/bin may).
bool sameFolder(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

QString below(const QString &base, const QString &name)
{
    return base.isEmpty() ? QString() : QDir::cleanPath(base + QLatin1Char('/') + name);
}

} // namespace

UserFolders::Locations UserFolders::systemLocations()
{
    Locations l;
    l.program = QCoreApplication::applicationDirPath();
#ifdef TERVALO_INSTALL_BINDIR
    l.installed = QStringLiteral(TERVALO_INSTALL_BINDIR);
#endif
    l.pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    l.appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    l.documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return l;
}

UserFolders::UserFolders(Locations where) : where_(std::move(where)) { }

UserFolders::Folder UserFolders::prepare(const QString &path)
{
    Folder f{path, QString()};
    if (path.isEmpty()) {
        f.reason = QStringLiteral("no such folder is known on this system");
        return f;
    }
    std::error_code ec;
    const std::filesystem::path p(QFile::encodeName(path).toStdString());
    if (!std::filesystem::is_directory(p, ec)) {
        ec.clear();
        std::filesystem::create_directories(p, ec);
        if (ec) {
            f.reason = QString::fromLocal8Bit(ec.message().c_str());
            return f;
        }
    }
    f.reason = probe(path);
    return f;
}

UserFolders::AutoSave UserFolders::autoSaveFolder() const
{
    AutoSave choice;
    // The program's folder is only used, never made.
    QString programReason;
    if (where_.program.isEmpty())
        programReason = QStringLiteral("not known");
    else if (!QFileInfo(where_.program).isDir())
        programReason = QStringLiteral("not a folder");
    else if (sameFolder(where_.program, where_.installed))
        programReason = QStringLiteral("the installed program's folder");
    else
        programReason = probe(where_.program);
    if (!where_.program.isEmpty() && programReason.isEmpty()) {
        choice.folder = where_.program;
        choice.portable = true;
        return choice;
    }
    const Folder pictures = prepare(below(where_.pictures, kSubfolder));
    if (pictures.usable()) {
        choice.folder = pictures.path;
        return choice;
    }
    const QString picturesPath = pictures.path.isEmpty() ? QStringLiteral("(no pictures folder)") : pictures.path;
    choice.notice = QStringLiteral("Auto Save is off: no folder can take the graph pictures.\n"
                                   "The program's folder %1: %2.\nThe pictures folder %3: %4.")
                        .arg(where_.program, programReason, picturesPath, pictures.reason);
    return choice;
}

UserFolders::Folder UserFolders::runLibraryFolder() const
{
    return prepare(where_.appData);
}

UserFolders::Folder UserFolders::experimentFolder() const
{
    const Folder documents = prepare(below(where_.documents, kSubfolder));
    if (documents.usable())
        return documents;
    const Folder data = prepare(where_.appData);
    return data.usable() ? data : documents;
}

QString UserFolders::autoSaveToolTip(const AutoSave &choice)
{
    if (choice.folder.isEmpty())
        return choice.notice;
    return QStringLiteral("Auto Save writes every finished sweep into %1").arg(QDir::toNativeSeparators(choice.folder));
}

} // namespace tervalo
