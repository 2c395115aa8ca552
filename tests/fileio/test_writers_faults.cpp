// Every writer of a user's files against the faults a lab PC meets: a full
// disk, a FIFO nobody reads, a folder where a file should be, a folder that
// cannot be written, a full device. A save is whole or not made, an older
// file stays as it was, nothing temporary is left, and the failure names the
// path and the system's reason.

#include "controls/graph/PictureFile.h"
#include "fileio/AtomicFile.h"
#include "store/ExperimentFile.h"
#include "store/RunFiles.h"
#include "support/ScratchDisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace tervalo;
using tervalo::test::ScratchDisk;

namespace {

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

RunRecord &someRun()
{
    static RunRecord record(200);
    if (record.empty()) {
        RunSettings s;
        s.controller = RunController::P;
        s.kp = 0.5;
        s.ki = s.kd = kNoValue;
        s.reference = 1000;
        record.start(s);
        for (int k = 1; k <= 200; ++k) {
            RunRow row;
            row.cycle = k;
            row.reference = 1000;
            row.y = 999;
            record.append(row);
        }
        record.stop();
    }
    return record;
}

struct Writer {
    const char *what;
    const char *name; // the file it is given
    std::function<FileError(const QString &)> write;
    const char *besides = nullptr; // a second file it writes beside the first
};

const Writer kWriters[] = {
    {"run data", "run.csv", [](const QString &p) { return RunFiles::save(someRun(), p); }, "run.json"},
    {"experiment", "lab.json", [](const QString &p) { return ExperimentFile::write(Experiment{}, p); }},
    {"picture", "graph.bmp",
     [](const QString &p) {
         QImage image(64, 48, QImage::Format_RGB888);
         image.fill(Qt::white);
         return writeBitmapFile(image, p);
     }},
    {"one file (surface, plot, report)", "surface.csv",
     [](const QString &p) { return writeFileAtomically(p, QByteArray(3000, 's')); }},
};

// Every writer gives up on a FIFO nobody reads instead of waiting for a
// reader: a hang ends the test program.
class Deadline {
public:
    Deadline() { ::alarm(20); }
    ~Deadline() { ::alarm(0); }
};

} // namespace

TEST(WritersOnAFullOrUnwritableDisk, NothingIsMadeAndTheOldFilesStay)
{
    struct Fault {
        const char *what;
        bool (ScratchDisk::*make)() const;
        int error;
    };
    const Fault faults[] = {
        {"full filesystem", &ScratchDisk::fill, ENOSPC},
        {"read-only folder", &ScratchDisk::makeReadOnly, EROFS},
    };
    for (const Fault &fault : faults)
        for (const Writer &w : kWriters) {
            SCOPED_TRACE(std::string(fault.what) + ", " + w.what);
            ScratchDisk disk;
            if (!disk.usable())
                GTEST_SKIP() << disk.why();
            const QString name = QString::fromLatin1(w.name);
            ASSERT_TRUE(disk.put(name, "older contents"));
            if (w.besides) {
                ASSERT_TRUE(disk.put(QString::fromLatin1(w.besides), "older settings"));
            }
            ASSERT_TRUE((disk.*fault.make)());
            const QStringList files = disk.files();

            const FileError e = w.write(disk.filePath(name));
            ASSERT_TRUE(e.failed());
            EXPECT_EQ(e.reason, reason(fault.error));
            EXPECT_TRUE(e.path.startsWith(disk.path() + "/")) << e.path.toStdString();
            EXPECT_EQ(e.message(), e.path + ": " + e.reason);
            EXPECT_EQ(disk.contents(name), "older contents");
            if (w.besides) {
                EXPECT_EQ(disk.contents(QString::fromLatin1(w.besides)), "older settings");
            }
            EXPECT_EQ(disk.files(), files) << "nothing temporary left behind";
        }
}

// Room for the first of two files but not for both: neither is replaced.
TEST(WritersOnAFullOrUnwritableDisk, RunDataIsWrittenAsAPairOrNotAtAll)
{
    ScratchDisk disk("16k");
    if (!disk.usable())
        GTEST_SKIP() << disk.why();
    ASSERT_TRUE(disk.put("run.csv", "older rows"));
    ASSERT_TRUE(disk.put("run.json", "older settings"));
    RunRecord big(2000);
    big.start(someRun().settings());
    for (int k = 1; k <= 2000; ++k) {
        RunRow row;
        row.cycle = k;
        row.y = k;
        big.append(row);
    }
    ASSERT_GT(RunFiles::csv(big, 0, big.size()).size(), 16 * 1024);
    ASSERT_LT(RunFiles::settingsJson(big, 0, big.size()).size(), 8 * 1024);
    const FileError e = RunFiles::save(big, disk.filePath("run.csv"));
    ASSERT_TRUE(e.failed());
    EXPECT_EQ(e.path, disk.filePath("run.csv"));
    EXPECT_EQ(e.reason, reason(ENOSPC));
    EXPECT_EQ(disk.contents("run.csv"), "older rows");
    EXPECT_EQ(disk.contents("run.json"), "older settings");
    EXPECT_EQ(disk.files(), (QStringList{"run.csv", "run.json"}));
}

TEST(WritersOnBadNames, RefusedAtOnceWithTheReason)
{
    struct Fault {
        const char *what;
        std::function<bool(const QString &)> make; // at the writer's name
        QString says;
    };
    const Fault faults[] = {
        {"FIFO nobody reads", [](const QString &p) { return ::mkfifo(QFile::encodeName(p).constData(), 0600) == 0; },
         QStringLiteral("no reader")},
        {"folder given as the file", [](const QString &p) { return QDir().mkdir(p); }, reason(EISDIR)},
        {"inside a missing folder", [](const QString &) { return true; }, reason(ENOENT)},
    };
    for (const Fault &fault : faults)
        for (const Writer &w : kWriters) {
            SCOPED_TRACE(std::string(fault.what) + ", " + w.what);
            QTemporaryDir dir;
            const QString name = fault.says == reason(ENOENT) ? dir.filePath("missing/" + QString(w.name))
                                                              : dir.filePath(QString::fromLatin1(w.name));
            ASSERT_TRUE(fault.make(name));
            const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
            const Deadline deadline;
            const FileError e = w.write(name);
            ASSERT_TRUE(e.failed());
            // a pair names the file that failed, the settings beside the rows or the rows
            const QString beside = QFileInfo(name).dir().filePath(QString::fromLatin1(w.besides ? w.besides : w.name));
            EXPECT_TRUE(e.path == name || e.path == beside) << e.path.toStdString();
            EXPECT_EQ(e.reason, fault.says);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
        }
}

// A FIFO someone reads is written into as it is, like a device.
TEST(WritersOnBadNames, AFifoWithAReaderGetsTheContents)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const Deadline deadline;
    EXPECT_FALSE(writeFileAtomically(fifo, "through the pipe\n"));
    char buffer[64] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 17);
    EXPECT_STREQ(buffer, "through the pipe\n");
    ::close(reader);
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(WritersOnBadNames, AFullDeviceStaysADevice)
{
    struct stat before { };
    if (::stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode))
        GTEST_SKIP() << "no /dev/full device here";
    for (const Writer &w : kWriters) {
        SCOPED_TRACE(w.what);
        if (w.besides)
            continue; // a pair of names, never a device
        const FileError e = w.write(QStringLiteral("/dev/full"));
        ASSERT_TRUE(e.failed());
        EXPECT_EQ(e.message(), "/dev/full: " + reason(ENOSPC));
    }
    struct stat after { };
    ASSERT_EQ(::stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}
