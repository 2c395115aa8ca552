// tervalo-sim: the window's session without a display.
#include "support/ScratchDisk.h"
#include "tervalo_version.h"
#include <QDir>
#include <QFile>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <sys/stat.h>

namespace {
struct Result {
    int status = -1;
    QStringList rows; // stdout lines
    QString err;
};

// Runs program (the simulator unless a shell is put in front of it); setup
// may redirect the output or change the environment first.
Result run(const QString &program, const QStringList &args, const std::function<void(QProcess &)> &setup = {})
{
    QProcess p;
    if (setup)
        setup(p);
    p.start(program, args);
    p.waitForFinished(60000);
    Result r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.rows = out.split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

Result sim(const QStringList &args, const std::function<void(QProcess &)> &setup = {})
{
    return run(QStringLiteral(TERVALO_SIM), args, setup);
}

// The simulator through sh: script sees the simulator as "$0" and args as
// "$@".
Result shell(const QString &script, const QStringList &args)
{
    return run(QStringLiteral("/bin/sh"),
               QStringList{QStringLiteral("-c"), script, QStringLiteral(TERVALO_SIM)} + args);
}

QString writeFile(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

QByteArray rulesOf(const char *row) // seven equal rows
{
    QByteArray t;
    for (int r = 0; r < 7; ++r)
        t += QByteArray(row) + "\n";
    return t;
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

// The Run window's report, headless: a PDF of one or two pages, .pdf added.
TEST(Simulator, ReportOfTheRunIsWrittenAsThePdfTheWindowSaves)
{
    QTemporaryDir dir;
    const Result r = sim({"--controller", "fuzzy", "--cycles", "120", "--at", "60:reference=1500", "--summary",
                          "--report", dir.filePath("lab3")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile f(dir.filePath("lab3.pdf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray pdf = f.readAll();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    const auto pages = pdf.count(QByteArray("/Type /Page\n")) + pdf.count(QByteArray("/Type /Page\r"))
        + pdf.count(QByteArray("/Type /Page "));
    EXPECT_GE(pages, 1);
    EXPECT_LE(pages, 2);
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
    const QString goodRules = writeFile(dir, "good.txt", rulesOf("NB NB NB NB NB NB NB"));
    const QString tooLarge = writeFile(dir, "large.txt", rulesOf("NB NB NB NB NB NB NB") + QByteArray(64 * 1024, ' '));
    const QString longLine = writeFile(dir, "line.txt", QByteArray(1100, ' ') + rulesOf("NB NB NB NB NB NB NB"));
    const QString withNul = writeFile(dir, "nul.txt", rulesOf("NB NB NB NB NB NB NB") + QByteArray(1, '\0'));
    const QString notUtf8 = writeFile(dir, "latin1.txt", rulesOf("NB NB NB NB NB NB NB") + "\xE7\n");
    const std::vector<QStringList> cases = {
        {"--controller", "PIDD"},
        {},
        {"--controller", "P", "--kp", "1.3"},    // beyond the P slider
        {"--controller", "PID", "--kp", "0.3"},  // beyond the PID Kp slider
        {"--controller", "P", "--kp", "0.0005"}, // between two slider steps
        {"--controller", "P", "--ki", "1"},      // no Ki on the P panel
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
        {"--controller", "fuzzy", "--error-divisor", "0"},
        // empty values
        {"--controller", "P", "--kp", ""},
        {"--controller", "P", "--kp", " "},
        {"--controller", "P", "--cycles", ""},
        {"--controller", "fuzzy", "--rules", ""},
        {"--controller", "P", "--picture", ""},
        {"--controller", "P", "--load", ""},
        // options of the fuzzy controller given to a classic law
        {"--controller", "P", "--rules", goodRules},
        {"--controller", "PID", "--error-divisor", "3"},
        {"--controller", "PI", "--output-divisor", "10"},
        {"--controller", "fuzzy", "--kp", "0.5"},
        // one load step per cycle
        {"--controller", "P", "--load", "2:1:5", "--load", "2:5:9"},
        // rule-table files that are no rule table
        {"--controller", "fuzzy", "--rules", dir.path()},
        {"--controller", "fuzzy", "--rules", "/dev/zero"},
        {"--controller", "fuzzy", "--rules", tooLarge},
        {"--controller", "fuzzy", "--rules", longLine},
        {"--controller", "fuzzy", "--rules", withNul},
        {"--controller", "fuzzy", "--rules", notUtf8},
        {"--controller", "fuzzy", "--rules", QStringLiteral(TERVALO_SIM)},
    };
    for (const QStringList &args : cases) {
        const Result r = sim(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.rows.isEmpty()) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
}

TEST(Simulator, RefusalsNameWhatIsWrong)
{
    QTemporaryDir dir;
    const QString rules = writeFile(dir, "rules.txt", rulesOf("NB NB NB NB NB NB NB"));
    struct Case {
        QStringList args;
        QString line; // the whole of stderr after "tervalo-sim: "
    };
    const Case cases[] = {
        // one event of a kind at a cycle: the second would undo the first
        {{"--controller", "P", "--at", "5:reference=1500", "--at", "5:reference=700"},
         "--at 5:reference=700: cycle 5: a second reference event at this cycle"},
        {{"--controller", "P", "--at", "5:load=3", "--at", "5:load=9"},
         "--at 5:load=9: cycle 5: a second load event at this cycle"},
        {{"--suggest", "PI", "--overshoot", "nan"}, "--overshoot: not a number: nan"},
        {{"--suggest", "PI", "--overshoot", "-nan"}, "--overshoot: not a number: -nan"},
        {{"--suggest", "PI", "--overshoot", "inf"}, "--overshoot: not a number: inf"},
        {{"--suggest", "PI", "--summary"},
         "--summary: --suggest prints the figures of the loop it suggests without it"},
        {{"--identify", "1500:1700", "--summary"}, "--summary: --identify makes no run that takes it"},
        {{"--suggest", "P", "--rules", rules}, "--rules: only the fuzzy controller takes it, not P"},
        {{"--suggest", "PID", "--error-divisor", "3"}, "--error-divisor: only the fuzzy controller takes it, not PID"},
        {{"--identify", "1500:1700", "--output-divisor", "3"},
         "--output-divisor: only the fuzzy controller takes it, not open"},
        {{"--controller", "PI", "--rules", rules}, "--rules: only the fuzzy controller takes it, not PI"},
    };
    for (const Case &c : cases) {
        const Result r = sim(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.rows.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.err, "tervalo-sim: " + c.line + "\n") << c.args.join(' ').toStdString();
    }
}

TEST(Simulator, RulesFilesAreRefusedWithTheirReason)
{
    QTemporaryDir dir;
    struct Case {
        QString path;
        const char *says;
    };
    const Case cases[] = {
        {dir.path(), "is a directory"},
        {QStringLiteral("/dev/zero"), "larger than 64 KiB"},
        {writeFile(dir, "line.txt", QByteArray(1025, 'N') + "\n"), "line 1: longer than 1 KiB"},
        {writeFile(dir, "nul.txt", QByteArray("NB NB\0", 6)), "not a text file"},
        {writeFile(dir, "bin.txt",
                   QByteArray("\x7F"
                              "ELF\x02\x01")),
         "not a text file"},
        {dir.filePath("missing.txt"), "No such file or directory"},
    };
    for (const Case &c : cases) {
        const Result r = sim({"--controller", "fuzzy", "--rules", c.path});
        EXPECT_EQ(r.status, 2) << c.path.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.says))) << r.err.toStdString();
    }
}

TEST(Simulator, RulesFileWithAByteOrderMarkReadsAsWithout)
{
    QTemporaryDir dir;
    const QByteArray table = rulesOf("NB NB NB NB NB NB NB");
    const QStringList args = {"--controller", "fuzzy", "--cycles", "2", "--actuator", "3000", "--rules"};
    const Result plain = sim(args + QStringList{writeFile(dir, "plain.txt", table)});
    const Result marked = sim(args + QStringList{writeFile(dir, "bom.txt", "\xEF\xBB\xBF" + table)});
    ASSERT_EQ(marked.status, 0) << marked.err.toStdString();
    EXPECT_EQ(marked.rows, plain.rows);
    EXPECT_EQ(field(marked, 1).value(6), "-100");
}

TEST(Simulator, BlanksAroundANumberCountAlikeOnBothSides)
{
    const Result bare = sim({"--controller", "P", "--kp", "0.5", "--cycles", "3", "--load", "2:1:11"});
    ASSERT_EQ(bare.status, 0) << bare.err.toStdString();
    const std::vector<QStringList> cases = {
        {"--controller", "P", "--kp", " 0.5", "--cycles", " 3", "--load", " 2:1:11"},
        {"--controller", "P", "--kp", "0.5 ", "--cycles", "3 ", "--load", "2:1:11 "},
        {"--controller", "P", "--kp", "\t0.5 ", "--cycles=  3  ", "--load", " 2:1:11\t"},
    };
    for (const QStringList &args : cases) {
        const Result r = sim(args);
        EXPECT_EQ(r.status, 0) << args.join('|').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.rows, bare.rows) << args.join('|').toStdString();
    }
}

TEST(Simulator, RunsHeadlessWhateverPlatformTheSessionNames)
{
    const auto noDisplay = [](QProcess &p) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        p.setProcessEnvironment(env);
    };
    const Result help = sim({"--help"}, noDisplay);
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    EXPECT_TRUE(help.rows.join('\n').contains("--controller"));
    const Result r = sim({"--controller", "P", "--kp", "0.5", "--cycles", "3"}, noDisplay);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.rows.value(3), "3,0.6,1000,864,136,752,");
}

// Every failed write ends the program with one line naming the system's
// reason and status 1.
TEST(Simulator, FailedWritesGiveTheReasonAndStatus1)
{
    QTemporaryDir dir;
    const auto toFull = [](QProcess &p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); };
    struct Case {
        const char *what;
        std::function<Result()> run;
        QString says;
    };
    const QString missingFolder = dir.filePath("missing/run.bmp");
    const Case cases[] = {
        {"table to a full disk, at the last flush",
         [&] {
             return sim({"--controller", "P", "--cycles", "3"}, toFull);
         },
         "standard output: " + reason(ENOSPC)},
        {"table to a full disk, during the run",
         [&] {
             return sim({"--controller", "P", "--cycles", "5000"}, toFull);
         },
         "standard output: " + reason(ENOSPC)},
        {"usage to a full disk", [&] { return sim({"--help"}, toFull); }, "standard output: " + reason(ENOSPC)},
        {"standard output closed",
         [&] {
             return shell(QStringLiteral("exec \"$0\" \"$@\" >&-"), {"--controller", "P", "--cycles", "3"});
         },
         "standard output: " + reason(EBADF)},
        {"reader gone",
         [&] {
             return run(QStringLiteral("/bin/bash"),
                        {"-c", "set -o pipefail; \"$0\" \"$@\" | head -c 10 >/dev/null", QStringLiteral(TERVALO_SIM),
                         "--controller", "P", "--cycles", "5000"});
         },
         "standard output: " + reason(EPIPE)},
        {"picture to a full device",
         [&] {
             return sim({"--controller", "P", "--cycles", "3", "--picture", "/dev/full"});
         },
         "/dev/full: " + reason(ENOSPC)},
        {"picture into a missing folder",
         [&] {
             return sim({"--controller", "P", "--cycles", "3", "--picture", missingFolder});
         },
         missingFolder + ": " + reason(ENOENT)},
        {"report into a missing folder",
         [&] {
             return sim({"--controller", "P", "--cycles", "3", "--report", dir.filePath("missing/lab.pdf")});
         },
         dir.filePath("missing/lab.pdf") + ": " + reason(ENOENT)},
        {"picture onto a folder",
         [&] {
             return sim({"--controller", "P", "--cycles", "3", "--picture", dir.path()});
         },
         dir.path() + ": " + reason(EISDIR)},
    };
    for (const Case &c : cases) {
        const Result r = c.run();
        EXPECT_EQ(r.status, 1) << c.what << ": " << r.err.toStdString();
        EXPECT_EQ(r.err, "tervalo-sim: " + c.says + "\n") << c.what;
    }
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());
}

// The files the simulator writes beside its table, on a full or read-only
// disk, onto a FIFO nobody reads or onto a folder: status 1 with the path and
// the system's reason, at once, and an older file stays as it was.
TEST(Simulator, FilesItWritesFailWholeWithThePathAndTheReason)
{
    struct Output {
        QStringList args; // the file's option comes last
        const char *name;
    };
    const Output outputs[] = {
        {{"--controller", "P", "--kp", "0.5", "--cycles", "3", "--save-experiment"}, "lab.json"},
        {{"--surface"}, "surface.csv"},
        {{"--controller", "P", "--cycles", "3", "--picture"}, "graph.bmp"},
    };
    enum class Fault { FullDisk, ReadOnly, Fifo, Folder };
    const struct {
        Fault fault;
        const char *what;
        QString says;
    } faults[] = {
        {Fault::FullDisk, "full disk", reason(ENOSPC)},
        {Fault::ReadOnly, "read-only folder", reason(EROFS)},
        {Fault::Fifo, "FIFO nobody reads", QStringLiteral("no reader")},
        {Fault::Folder, "folder given as the file", reason(EISDIR)},
    };
    for (const auto &f : faults)
        for (const Output &o : outputs) {
            SCOPED_TRACE(std::string(f.what) + ", " + o.args.last().toStdString());
            tervalo::test::ScratchDisk disk;
            QTemporaryDir dir;
            const bool onDisk = f.fault == Fault::FullDisk || f.fault == Fault::ReadOnly;
            if (onDisk && !disk.usable())
                GTEST_SKIP() << disk.why();
            const QString path = onDisk ? disk.filePath(o.name) : dir.filePath(o.name);
            switch (f.fault) {
            case Fault::FullDisk: ASSERT_TRUE(disk.put(o.name, "older") && disk.fill()); break;
            case Fault::ReadOnly: ASSERT_TRUE(disk.put(o.name, "older") && disk.makeReadOnly()); break;
            case Fault::Fifo: ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); break;
            case Fault::Folder: ASSERT_TRUE(QDir().mkdir(path)); break;
            }
            const QStringList before = onDisk ? disk.files() : QStringList();
            const Result r = sim(o.args + QStringList{path});
            EXPECT_EQ(r.status, 1) << r.err.toStdString();
            EXPECT_TRUE(r.err.endsWith("tervalo-sim: " + path + ": " + f.says + "\n")) << r.err.toStdString();
            if (onDisk) {
                EXPECT_EQ(disk.contents(o.name), "older");
                EXPECT_EQ(disk.files(), before);
            }
        }
}

// An experiment file that is not a file to read: refused at once.
TEST(Simulator, ExperimentFromAFifoNobodyWritesIsRefusedAtOnce)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("lab.json");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct {
        QString path;
        QString says;
    } cases[] = {{fifo, QStringLiteral("no writer")}, {dir.path(), reason(EISDIR)}};
    for (const auto &c : cases) {
        const Result r = sim({"--experiment", c.path});
        EXPECT_EQ(r.status, 2) << r.err.toStdString();
        EXPECT_EQ(r.err, "tervalo-sim: --experiment " + c.path + ": " + c.says + "\n");
    }
}

// A small filesystem of its own, in a mount namespace of its own (needs the
// right to mount; skipped without it).
TEST(Simulator, PictureOnAFullDiskLeavesNoPartOfItAndKeepsTheOldOne)
{
    QTemporaryDir dir;
    const QString probe =
        run(QStringLiteral("unshare"), {"-m", "mount", "-t", "tmpfs", "-o", "size=64k", "tervalo-probe", dir.path()})
                .status
            == 0
        ? QString()
        : QStringLiteral("no permission to mount a filesystem");
    if (!probe.isEmpty())
        GTEST_SKIP() << probe.toStdString();
    // 64 KiB hold an old picture but not a new one (about 270 KiB).
    const Result r = run(QStringLiteral("unshare"),
                         {"-m", "/bin/sh", "-c",
                          "mount -t tmpfs -o size=64k tervalo-full \"$1\" || exit 97\n"
                          "printf old > \"$1/run.bmp\"\n"
                          "\"$0\" --controller P --cycles 3 --picture \"$1/run.bmp\" >/dev/null\n"
                          "status=$?\n"
                          "ls -A \"$1\"; cat \"$1/run.bmp\"; echo\n"
                          "exit $status\n",
                          QStringLiteral(TERVALO_SIM), dir.path()});
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_EQ(r.err, "tervalo-sim: " + dir.filePath("run.bmp") + ": " + reason(ENOSPC) + "\n");
    EXPECT_EQ(r.rows, (QStringList{"run.bmp", "old"})) << "no temporary file left, the old picture whole";
}

TEST(Simulator, VersionIsTheProjects)
{
    const Result r = sim({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.rows, QStringList{QStringLiteral("tervalo-sim " TERVALO_VERSION)});
}

TEST(SimSummary, FiguresInsteadOfTheTable)
{
    const char *const keys[] = {"rise_time_s",        "peak", "peak_time_s", "overshoot_pct", "settling_time_s",
                                "steady_state_error", "iae",  "ise",         "actuator_max",  "saturated_pct",
                                "actuator_travel"};
    struct Case {
        const char *what;
        QStringList args;
        QStringList notAvailable;    // the figures reading n/a
        QStringList notSettled = {}; // those reading "n/a (not settled)"
    };
    const Case cases[] = {
        {"P loop that settles", {"--controller", "P", "--kp", "0.5"}, {}},
        {"fewer than 10 rows",
         {"--controller", "fuzzy", "--cycles", "5"},
         {"rise_time_s", "peak", "peak_time_s", "overshoot_pct", "settling_time_s", "steady_state_error"}},
        {"output never moves",
         {"--controller", "P", "--cycles", "20"},
         {"rise_time_s", "overshoot_pct", "settling_time_s"}},
        // still rising from 0 to 922 at 6.4 s: the peak is its last row
        {"stopped while still rising",
         {"--controller", "fuzzy", "--cycles", "32"},
         {},
         {"rise_time_s", "overshoot_pct", "settling_time_s", "steady_state_error"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = sim(c.args + QStringList{"--summary"});
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        ASSERT_EQ(r.rows.size(), 11);
        for (int k = 0; k < 11; ++k) {
            const QStringList parts = r.rows[k].split(',');
            ASSERT_EQ(parts.size(), 2) << r.rows[k].toStdString();
            EXPECT_EQ(parts[0], QString::fromLatin1(keys[k]));
            const bool na = parts[1] == "n/a";
            EXPECT_EQ(na, c.notAvailable.contains(parts[0])) << r.rows[k].toStdString();
            const bool notSettled = parts[1] == "n/a (not settled)";
            EXPECT_EQ(notSettled, c.notSettled.contains(parts[0])) << r.rows[k].toStdString();
            if (!na && !notSettled) {
                bool ok = false;
                parts[1].toDouble(&ok);
                EXPECT_TRUE(ok) << r.rows[k].toStdString();
            }
        }
    }
    // the P loop of 100 cycles: the figures of its 100 rows
    const Result p = sim({"--controller", "P", "--kp", "0.5", "--summary"});
    EXPECT_EQ(p.rows[1], "peak,999");
    EXPECT_EQ(p.rows[5], "steady_state_error,1");
    const Result rising = sim({"--controller", "fuzzy", "--cycles", "32", "--summary"});
    EXPECT_EQ(rising.rows[1], "peak,922");
    EXPECT_EQ(rising.rows[2], "peak_time_s,6.4");
}
