// The writer of Auto Save's files off the cycle: the same files as a save
// made at once, in order, failures told with the path and the reason, a
// bounded queue, and nothing queued lost when it goes.

#include "store/RunFileWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace tervalo;

namespace {

void recordRun(RunRecord &record, int rows)
{
    RunSettings s;
    s.controller = RunController::PI;
    s.kp = 0.5;
    s.ki = 0.1;
    s.kd = kNoValue;
    s.reference = 1000;
    record.start(s);
    for (int k = 1; k <= rows; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = 1000;
        row.y = std::min(k * 10, 1000);
        row.e = 1000 - row.y;
        row.u = 700;
        record.append(row);
    }
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Told {
    std::vector<FileError> errors;
    std::vector<std::uint64_t> runs;
    RunFileWriter::Failed callback()
    {
        return [this](const FileError &e, std::uint64_t run) {
            errors.push_back(e);
            runs.push_back(run);
        };
    }
};

} // namespace

TEST(RunFileWriter, WritesTheSameFilesAsASaveAtOnceAndTellsFailures)
{
    QTemporaryDir dir;
    RunRecord record(1000);
    recordRun(record, 250);
    QObject context;
    Told told;
    ASSERT_TRUE(QDir(dir.path()).mkdir("blocked.csv"));
    {
        RunFileWriter writer(&context, told.callback());
        EXPECT_TRUE(writer.submit(record, 0, 100, dir.filePath("one.jpeg.csv")));
        EXPECT_TRUE(writer.submit(record, 100, 200, dir.filePath("blocked")));
        EXPECT_TRUE(writer.submit(record, 150, 250, dir.filePath("two")));
        record.append(RunRow{}); // the record goes on; the copies are what is written
        writer.waitIdle();
        EXPECT_TRUE(told.errors.empty()) << "told through the event loop only";
        QCoreApplication::processEvents();
        ASSERT_EQ(told.errors.size(), 1u);
        EXPECT_EQ(told.errors[0].path, dir.filePath("blocked.csv"));
        EXPECT_EQ(told.errors[0].reason, QString::fromLocal8Bit(std::strerror(EISDIR)));
        EXPECT_EQ(told.runs[0], record.runNumber());
    }
    RunRecord same(1000);
    recordRun(same, 250);
    const QDir out(dir.path());
    EXPECT_EQ(readAll(out.filePath("one.jpeg.csv")), RunFiles::csv(same, 0, 100));
    EXPECT_EQ(readAll(out.filePath("one.jpeg.json")), RunFiles::settingsJson(same, 0, 100));
    EXPECT_EQ(readAll(out.filePath("two.csv")), RunFiles::csv(same, 150, 250));
    EXPECT_EQ(readAll(out.filePath("two.json")), RunFiles::settingsJson(same, 150, 250));
    EXPECT_FALSE(out.exists("blocked.json"));
}

// A writer held up (here by a pipe nobody empties yet) takes no more than its
// queue holds and says so; what it took is written, also when it goes.
TEST(RunFileWriter, TheQueueIsBoundedAndNothingTakenIsLost)
{
    QTemporaryDir dir;
    RunRecord record(6000);
    recordRun(record, 6000);
    const QString fifo = dir.filePath("slow.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const QByteArray through = RunFiles::csv(record, 0, record.size());
    ASSERT_GT(through.size(), 100000); // more than a pipe holds

    QObject context;
    Told told;
    int taken = 0;
    std::vector<int> later; // the later runs the writer took, whichever they are
    {
        RunFileWriter writer(&context, told.callback(), 2);
        ASSERT_TRUE(writer.submit(record, 0, record.size(), dir.filePath("slow")));
        ++taken;
        for (int k = 0; k < 4; ++k)
            if (writer.submit(record, 0, 10, dir.filePath(QStringLiteral("later%1").arg(k)))) {
                ++taken;
                later.push_back(k);
            }
        // the queue's two, and one more when the writer already took the
        // slow run off the queue (it cannot finish: nobody reads the pipe yet)
        EXPECT_GE(taken, 2);
        EXPECT_LE(taken, 3);
        QCoreApplication::processEvents();
        ASSERT_FALSE(told.errors.empty());
        EXPECT_TRUE(told.errors[0].reason.contains("still being written")) << told.errors[0].reason.toStdString();
        EXPECT_TRUE(told.errors[0].path.startsWith(dir.filePath("later")));

        QByteArray got;
        char buffer[65536];
        while (got.size() < through.size()) {
            const ssize_t n = ::read(reader, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, static_cast<int>(n));
            else
                ::usleep(1000);
        }
        EXPECT_EQ(got, through);
    } // the writer goes with files still queued
    ::close(reader);
    for (int k : later)
        EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("later%1.csv").arg(k)))) << k;
}
