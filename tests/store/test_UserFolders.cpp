// Where the program writes: Auto Save folder choice, run library and
// experiment folders.
//
// Unwritable folders are made from paths no user can write, root included
// (a regular file where a folder is expected, a path below /proc), since the
// tests also run as root, where permission bits stop nothing.

#include "store/UserFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tervalo;

namespace {

class Folders : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QFile f(path("a-file"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QString path(const QString &name) const { return tmp.filePath(name); }
    UserFolders::Locations at(const QString &program, const QString &pictures) const
    {
        return {program, QString(), pictures, path(QStringLiteral("data/tervalo")), path(QStringLiteral("docs"))};
    }
    // No probe file may be left behind in a folder that was looked at.
    static bool holdsOnlyItsOwn(const QString &folder, int entries)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size() == entries;
    }
    QTemporaryDir tmp;
};

TEST_F(Folders, WritableProgramFolderKeepsThePicturesBesideTheProgram)
{
    const QString program = path(QStringLiteral("portable"));
    ASSERT_TRUE(QDir().mkpath(program));
    const UserFolders folders(at(program, path(QStringLiteral("Pictures"))));

    const UserFolders::AutoSave choice = folders.autoSaveFolder();
    EXPECT_EQ(choice.folder, program);
    EXPECT_TRUE(choice.portable);
    EXPECT_TRUE(choice.notice.isEmpty());
    EXPECT_TRUE(holdsOnlyItsOwn(program, 0));
    // the pictures folder is not made when it is not used
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Pictures"))));
    EXPECT_TRUE(UserFolders::autoSaveToolTip(choice).endsWith(program));
}

TEST_F(Folders, UnwritableProgramFolderSendsThePicturesToThePicturesFolder)
{
    struct Case {
        const char *what;
        QString program;
    };
    const Case cases[] = {
        {"a file where the folder should be", path(QStringLiteral("a-file"))},
        {"a folder below a file", path(QStringLiteral("a-file/bin"))},
        {"a folder below /proc", QStringLiteral("/proc/tervalo-no-such-folder")},
        {"no folder known", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString pictures = path(QStringLiteral("home/Pictures"));
        const UserFolders::AutoSave choice = UserFolders(at(c.program, pictures)).autoSaveFolder();
        EXPECT_EQ(choice.folder, pictures + QStringLiteral("/Tervalo"));
        EXPECT_FALSE(choice.portable);
        EXPECT_TRUE(QFileInfo(choice.folder).isDir()) << "the subfolder and its parents are made";
        EXPECT_TRUE(holdsOnlyItsOwn(choice.folder, 0));
        EXPECT_TRUE(UserFolders::autoSaveToolTip(choice).contains(choice.folder));
    }
}

TEST_F(Folders, AnInstalledProgramNeverSavesBesideItself)
{
    // e.g. /usr/bin run as root: writable, but no user looks there
    const QString bin = path(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("usr/bin")), path(QStringLiteral("bin"))));
    UserFolders::Locations where = at(path(QStringLiteral("bin")), path(QStringLiteral("P")));
    where.installed = bin;
    const UserFolders::AutoSave choice = UserFolders(where).autoSaveFolder();
    EXPECT_EQ(choice.folder, path(QStringLiteral("P/Tervalo")));
    EXPECT_FALSE(choice.portable);

    // a copy elsewhere still keeps its pictures beside it
    where.program = path(QStringLiteral("usr"));
    EXPECT_TRUE(UserFolders(where).autoSaveFolder().portable);
}

TEST_F(Folders, ReadOnlyProgramFolderByPermissions)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    const QString program = path(QStringLiteral("installed"));
    ASSERT_TRUE(QDir().mkpath(program));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    const UserFolders::AutoSave choice = UserFolders(at(program, path(QStringLiteral("P")))).autoSaveFolder();
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(choice.folder, path(QStringLiteral("P/Tervalo")));
}

TEST_F(Folders, NeitherWritableGivesOneNoticeNamingBothFoldersAndWhy)
{
    const QString program = path(QStringLiteral("a-file"));
    const UserFolders::AutoSave choice =
        UserFolders(at(program, QStringLiteral("/proc/tervalo-no-pictures"))).autoSaveFolder();
    EXPECT_TRUE(choice.folder.isEmpty());
    EXPECT_FALSE(choice.portable);
    EXPECT_TRUE(choice.notice.startsWith(QStringLiteral("Auto Save is off"))) << choice.notice.toStdString();
    EXPECT_TRUE(choice.notice.contains(program + QStringLiteral(": not a folder")));
    EXPECT_TRUE(choice.notice.contains(QStringLiteral("/proc/tervalo-no-pictures/Tervalo: No such file or directory")))
        << choice.notice.toStdString();
    EXPECT_EQ(UserFolders::autoSaveToolTip(choice), choice.notice);

    // an installed program's folder is named with its reason
    UserFolders::Locations where = at(path(QStringLiteral("tmp-bin")), QStringLiteral("/proc/tervalo-no-pictures"));
    ASSERT_TRUE(QDir().mkpath(where.program));
    where.installed = where.program;
    EXPECT_TRUE(UserFolders(where).autoSaveFolder().notice.contains(QStringLiteral("the installed program's folder")));

    // a system that names no pictures folder
    const UserFolders::AutoSave none = UserFolders(at(program, QString())).autoSaveFolder();
    EXPECT_TRUE(none.folder.isEmpty());
    EXPECT_TRUE(none.notice.contains(QStringLiteral("(no pictures folder)"))) << none.notice.toStdString();
}

TEST_F(Folders, DataAndExperimentFoldersAreMadeWhenNeeded)
{
    const UserFolders folders(at(path(QStringLiteral("a-file")), QString()));

    const UserFolders::Folder library = folders.runLibraryFolder();
    EXPECT_TRUE(library.usable()) << library.reason.toStdString();
    EXPECT_EQ(library.path, path(QStringLiteral("data/tervalo")));
    EXPECT_TRUE(QFileInfo(library.path).isDir());
    EXPECT_TRUE(holdsOnlyItsOwn(library.path, 0));

    const UserFolders::Folder experiments = folders.experimentFolder();
    EXPECT_TRUE(experiments.usable());
    EXPECT_EQ(experiments.path, path(QStringLiteral("docs/Tervalo")));
    EXPECT_TRUE(QFileInfo(experiments.path).isDir());
}

TEST_F(Folders, ExperimentFilesFallBackToTheDataFolder)
{
    UserFolders::Locations where = at(QString(), QString());
    where.documents = path(QStringLiteral("a-file"));
    const UserFolders::Folder experiments = UserFolders(where).experimentFolder();
    EXPECT_TRUE(experiments.usable());
    EXPECT_EQ(experiments.path, where.appData);

    where.appData = QStringLiteral("/proc/tervalo-no-data");
    const UserFolders::Folder nowhere = UserFolders(where).experimentFolder();
    EXPECT_FALSE(nowhere.usable());
    EXPECT_EQ(nowhere.path, path(QStringLiteral("a-file/Tervalo")));
    EXPECT_FALSE(nowhere.reason.isEmpty());
    EXPECT_FALSE(UserFolders(where).runLibraryFolder().usable());
}

TEST(UserFoldersSystem, ProgramFolderIsTheExecutablesFolder)
{
    const UserFolders::Locations l = UserFolders::systemLocations();
    EXPECT_EQ(l.program, QCoreApplication::applicationDirPath());
    EXPECT_FALSE(l.appData.isEmpty());
    EXPECT_TRUE(QDir::isAbsolutePath(l.installed)) << l.installed.toStdString();
    // a copy run from a build folder the user can write keeps saving beside itself
    EXPECT_EQ(UserFolders().autoSaveFolder().portable, QFileInfo(l.program).isWritable());
}

} // namespace
