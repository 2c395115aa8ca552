// tervalo-sim: the window's session without a display.
#include "tervalo_version.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {
struct Result {
    int status = -1;
    QStringList rows; // stdout lines
    QString err;
};

Result sim(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(TERVALO_SIM), args);
    p.waitForFinished(60000);
    Result r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.rows = out.split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QStringList field(const Result &r, int cycle)
{
    return r.rows.value(cycle).split(',', Qt::KeepEmptyParts);
}
} // namespace

TEST(Simulator, ProportionalLoopFollowsTheWorkedExample)
{
    const Result r = sim({"--controller", "P", "--kp", "0.5", "--cycles", "3"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_EQ(r.rows.size(), 4);
    EXPECT_EQ(r.rows[0], "cycle,time_s,reference,output,error,actuator,fuzzy_step");
    EXPECT_EQ(r.rows[1], "1,0.2,1000,0,1000,500,");
    EXPECT_EQ(r.rows[2], "2,0.4,1000,632,368,684,");
    EXPECT_EQ(r.rows[3], "3,0.6,1000,864,136,752,");
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST(Simulator, FuzzyRowsCarryTheOutputStep)
{
    const Result r = sim({"--controller", "fuzzy", "--cycles", "2"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    ASSERT_EQ(r.rows.size(), 3);
    EXPECT_EQ(r.rows[1], "1,0.2,1000,0,1000,100,100");
    EXPECT_EQ(field(r, 2).value(6).isEmpty(), false);
}

TEST(Simulator, LoadStepMovesTheDriveBeforeItsCycle)
{
    // all gains 0: the actuator holds, so only the load moves it
    const Result r = sim({"--controller", "P", "--actuator", "2000", "--cycles", "3", "--load", "2:1:11"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(field(r, 1).value(5), "2000");
    EXPECT_EQ(field(r, 2).value(5), "1800");
    EXPECT_EQ(field(r, 3).value(3), "2273"); // round(1.26302 x 1800)
}

TEST(Simulator, RulesFileFillsTheTable)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rules.txt");
    std::ofstream f(path.toStdString());
    for (int r = 0; r < 7; ++r)
        f << "NB NB NB NB NB NB NB\n";
    f.close();
    const Result r = sim({"--controller", "fuzzy", "--cycles", "1", "--rules", path, "--actuator", "3000"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    // every rule drives down; from the minimum the output is held there
    EXPECT_EQ(field(r, 1).value(6), "-100");
    EXPECT_EQ(field(r, 1).value(5), "0");
}

TEST(Simulator, PictureOfTheGraphIsWrittenAsABitmap)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.bmp");
    const Result r = sim({"--controller", "PI", "--kp", "0.2", "--ki", "1", "--cycles", "40", "--picture", path});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    std::ifstream f(path.toStdString(), std::ios::binary);
    char magic[2] = {};
    f.read(magic, 2);
    EXPECT_EQ(magic[0], 'B');
    EXPECT_EQ(magic[1], 'M');
}

TEST(Simulator, BadArgumentsGiveOneLineAndStatus2)
{
    QTemporaryDir dir;
    const QString badRules = dir.filePath("bad.txt");
    std::ofstream(badRules.toStdString()) << "NB NB\n";
    const QString wrongTerm = dir.filePath("term.txt");
    {
        std::ofstream f(wrongTerm.toStdString());
        for (int r = 0; r < 7; ++r)
            f << (r == 3 ? "NB NB NB SS NB NB NB\n" : "NB NB NB NB NB NB NB\n");
    }
    const std::vector<QStringList> cases = {
        {"--controller", "PIDD"},
        {},
        {"--controller", "P", "--kp", "1.3"},        // beyond the P slider
        {"--controller", "PID", "--kp", "0.3"},      // beyond the PID Kp slider
        {"--controller", "P", "--kp", "0.0005"},     // between two slider steps
        {"--controller", "P", "--ki", "1"},          // no Ki on the P panel
        {"--controller", "P", "--reference", "499"},
        {"--controller", "P", "--reference", "2001"},
        {"--controller", "P", "--load", "2:1"},
        {"--controller", "P", "--load", "0:1:5"},
        {"--controller", "P", "--load", "2:0:5"},
        {"--controller", "fuzzy", "--rules", badRules},
        {"--controller", "fuzzy", "--rules", wrongTerm},
        {"--controller", "fuzzy", "--rules", dir.filePath("missing.txt")},
        {"--controller", "P", "--cycles", "x"},
        {"--controller", "P", "--error-divisor", "0"},
    };
    for (const QStringList &args : cases) {
        const Result r = sim(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.rows.isEmpty()) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
}

TEST(Simulator, VersionIsTheProjects)
{
    const Result r = sim({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.rows, QStringList{QStringLiteral("tervalo-sim " TERVALO_VERSION)});
}
