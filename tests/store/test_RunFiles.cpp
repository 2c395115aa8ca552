// The run files: CSV and settings JSON of a simulated run, ranges of rows,
// and saves that fail.

#include "store/RunFiles.h"

#include "engine/ClassicController.h"
#include "engine/FuzzyController.h"
#include "engine/SimulatedPlant.h"
#include "fileio/AtomicFile.h"
#include "runtime/NumberText.h"
#include "store/ExportNames.h"
#include "store/RunLibrary.h"
#include "store/RunSettingsJson.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tervalo;

namespace {

// A P loop against the simulated plant, recorded as the cycle records it:
// reference 1000, kp 0.5, the actuator at 0 before START.
void recordProportionalRun(RunRecord &record, int cycles)
{
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796876534);
    s.mode = RunMode::Simulation;
    s.controller = RunController::P;
    s.kp = 0.5;
    s.ki = s.kd = kNoValue;
    s.reference = 1000;
    s.load = 1;
    record.start(s);
    Integer actuator = 0, prevError = 0;
    Long held = 0;
    ClassicWorking w;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const Integer y = held.value();
        const Integer error = Integer(1000) - y;
        ClassicController::updateWorkingValues(w, error, prevError, 0.2f);
        const ClassicParts parts = ClassicController::parts(ClassicLaw::P, w, error, prevError, 0.5f, 0, 0);
        actuator = Integer::fromExtended(Int(parts.sum()) + actuator.ld());
        held = SimulatedPlant::output(actuator);
        prevError = error;
        RunRow row;
        row.cycle = cycle;
        row.reference = 1000;
        row.y = y.value();
        row.e = error.value();
        row.u = actuator.value();
        row.p = static_cast<double>(parts.p);
        record.append(row);
        if (cycle == 6)
            record.addLoadChange({7, 1, 12});
    }
    record.stop();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(readAll(path)).object();
}

// Files of a folder, temporary ones included.
QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// A comma-decimal regional setting for the test's duration, both Qt's and
// the program's own.
class CommaLocale {
public:
    CommaLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        NumberText::setDecimalSeparator(',');
    }
    ~CommaLocale()
    {
        QLocale::setDefault(QLocale::c());
        NumberText::setDecimalSeparator('.');
    }
};

// A limit on the size of files this process writes; over it writes fail
// with "File too large".
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r{bytes, old_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit old_{};
    void (*previous_)(int) = nullptr;
};

class RunFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        recordProportionalRun(record, 30);
    }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    RunRecord record{1000};
};

} // namespace

TEST_F(RunFilesTest, CsvOfASimulatedRunUnderACommaLocale)
{
    CommaLocale comma;
    ASSERT_FALSE(RunFiles::save(record, path("run.csv")));
    EXPECT_EQ(filesIn(dir.path()), (QStringList{"run.csv", "run.json"}));

    const QList<QByteArray> lines = readAll(path("run.csv")).split('\n');
    ASSERT_EQ(lines.size(), 32); // header, 30 rows, nothing after the last line end
    EXPECT_EQ(lines[0], "cycle,time_s,reference,output,error,actuator,fuzzy_step,p_part,i_part,d_part\r");
    EXPECT_EQ(lines[1], "1,0.2,1000,0,1000,500,,500,,\r");
    EXPECT_EQ(lines[2], "2,0.4,1000,632,368,684,,184,,\r");
    EXPECT_EQ(lines[5], "5,1,1000,981,19,786,,9.5,,\r"); // Int(9.5) = 9: the part stays unrounded
    EXPECT_EQ(lines[30], "30,6,1000,999,1,791,,0.5,,\r");
    EXPECT_TRUE(lines[31].isEmpty());
    for (const QByteArray &line : lines)
        EXPECT_EQ(line.count(','), line.isEmpty() ? 0 : 9) << line.constData();

    const QJsonObject o = readJson(path("run.json"));
    EXPECT_EQ(o["start_utc"].toString(), "2026-12-10T04:22:14Z");
    EXPECT_EQ(o["mode"].toString(), "simulation");
    EXPECT_EQ(o["controller"].toString(), "P");
    EXPECT_EQ(o["reference"].toInt(), 1000);
    EXPECT_EQ(o["gains"].toObject()["kp"].toDouble(), 0.5);
    EXPECT_TRUE(o["gains"].toObject()["ki"].isNull());
    EXPECT_FALSE(o.contains("fuzzy"));
    EXPECT_EQ(o["rows"].toInt(), 30);
    EXPECT_EQ(o["first_cycle"].toInt(), 1);
    EXPECT_EQ(o["last_cycle"].toInt(), 30);
    EXPECT_EQ(o["load_changes"].toArray().at(0).toObject()["cycle"].toInt(), 7);
    EXPECT_EQ(o["columns"].toArray().size(), 10);
    const QJsonObject figures = o["figures"].toObject();
    EXPECT_EQ(figures.size(), 11);
    EXPECT_EQ(figures["peak"].toDouble(), 999);
    EXPECT_EQ(figures["steady_state_error"].toDouble(), 1);
    EXPECT_TRUE(o["figures_not_available"].toObject().isEmpty());
    // the JSON text itself keeps the decimal point
    EXPECT_TRUE(readAll(path("run.json")).contains("\"cycle_period_s\": 0.2"));
}

TEST_F(RunFilesTest, NamesOfTheFilePair)
{
    struct Case {
        const char *chosen, *csv, *json;
    };
    const Case cases[] = {
        {"/a/run.csv", "/a/run.csv", "/a/run.json"},      {"/a/run.CSV", "/a/run.csv", "/a/run.json"},
        {"/a/run.json", "/a/run.csv", "/a/run.json"},     {"/a/run", "/a/run.csv", "/a/run.json"},
        {"/a/run.v2", "/a/run.v2.csv", "/a/run.v2.json"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RunFiles::csvPath(c.chosen), c.csv);
        EXPECT_EQ(RunFiles::jsonPath(c.chosen), c.json);
    }
    EXPECT_EQ(RunFiles::besidePicture("/a/3_9_2026_14_5_7.jpeg"), "/a/3_9_2026_14_5_7.csv");
}

// Auto Save writes one sweep's rows beside its picture.
TEST_F(RunFilesTest, RangeOfRows)
{
    ASSERT_FALSE(RunFiles::saveRows(record, path("sweep.csv"), 2, 5));
    const QList<QByteArray> lines = readAll(path("sweep.csv")).split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_TRUE(lines[1].startsWith("3,0.6,"));
    EXPECT_TRUE(lines[3].startsWith("5,1,"));
    const QJsonObject o = readJson(path("sweep.json"));
    EXPECT_EQ(o["rows"].toInt(), 3);
    EXPECT_EQ(o["first_cycle"].toInt(), 3);
    EXPECT_EQ(o["last_cycle"].toInt(), 5);
    // three rows have no final value: the figures say why
    EXPECT_TRUE(o["figures"].toObject()["rise_time_s"].isNull());
    EXPECT_EQ(o["figures_not_available"].toObject()["rise_time_s"].toString(), "fewer than 10 rows");

    // a range past the end is cut; an empty one is a header alone
    EXPECT_EQ(RunFiles::csv(record, 28, 100).count('\n'), 3);
    EXPECT_EQ(RunFiles::csv(record, 40, 50).count('\n'), 1);
}

TEST_F(RunFilesTest, FuzzyRunKeepsTheRuleTable)
{
    RunSettings s;
    s.controller = RunController::Fuzzy;
    s.kp = s.ki = s.kd = kNoValue;
    s.errorDivisor = 2;
    s.outputDivisor = 10;
    s.termNames = {"NB", "NO", "NK", "SS", "PK", "PO", "PB"};
    for (int cell = 0; cell < 49; ++cell)
        s.rules[static_cast<std::size_t>(cell)] =
            s.termNames[static_cast<std::size_t>(FuzzyController::defaultListIndex(cell))];
    s.rules[3] = "PB"; // row NB, column NS
    record.start(s);
    RunRow row;
    row.cycle = 1;
    row.du = -20;
    record.append(row);
    ASSERT_FALSE(RunFiles::save(record, path("fuzzy")));
    const QJsonObject f = readJson(path("fuzzy.json"))["fuzzy"].toObject();
    EXPECT_EQ(f["output_divisor"].toInt(), 10);
    EXPECT_EQ(f["term_names"].toArray().at(1).toString(), "NO");
    const QJsonArray rules = f["rules"].toArray();
    ASSERT_EQ(rules.size(), 7);
    EXPECT_EQ(rules.at(0).toArray().at(2).toString(), "PB");
    EXPECT_EQ(rules.at(3).toArray().at(3).toString(), "SS");
    EXPECT_TRUE(readAll(path("fuzzy.csv")).contains("\r\n1,0.2,0,0,0,0,-20,,,\r\n"));
}

// A folder that cannot be written: the reason names the path, nothing is
// left behind and the record is as it was.
TEST_F(RunFilesTest, SaveIntoAFolderThatCannotBeWritten)
{
    QFile blocker(path("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    struct Case {
        QString chosen;
        const char *reason;
    };
    const Case cases[] = {
        {path("missing/run.csv"), "No such file or directory"},
        {path("file/run.csv"), "Not a directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        const FileError e = RunFiles::save(record, c.chosen);
        ASSERT_TRUE(e.failed());
        EXPECT_EQ(e.reason, c.reason);
        EXPECT_TRUE(e.message().startsWith(e.path + ": "));
        EXPECT_TRUE(e.path.endsWith("run.json") || e.path.endsWith("run.csv"));
    }
    EXPECT_EQ(filesIn(dir.path()), QStringList{"file"});
    EXPECT_EQ(record.size(), 30u);
    // another try into a good folder works
    EXPECT_FALSE(RunFiles::save(record, path("run.csv")));
}

// The disk fills up while the rows are written: the earlier file of that
// name stays whole, no temporary file remains, no settings without rows.
TEST_F(RunFilesTest, DiskFullDuringTheSave)
{
    ASSERT_FALSE(writeFileAtomically(path("old.csv"), "older rows\r\n"));
    RunRecord big(5000);
    recordProportionalRun(big, 5000);
    FileError e;
    {
        FileSizeLimit limit(20000); // room for the settings, not for the rows
        e = RunFiles::save(big, path("old.csv"));
    }
    ASSERT_TRUE(e.failed());
    EXPECT_EQ(e.path, path("old.csv"));
    EXPECT_EQ(e.reason, "File too large");
    EXPECT_EQ(readAll(path("old.csv")), "older rows\r\n");
    EXPECT_EQ(filesIn(dir.path()), QStringList{"old.csv"});
    EXPECT_EQ(big.size(), 5000u);
    EXPECT_FALSE(RunFiles::save(big, path("old.csv")));
}

// A full device: the system's own reason, and the device stays a device.
TEST(RunFilesDevice, WritingToAFullDevice)
{
    struct stat before { };
    if (stat("/dev/full", &before) != 0 || !S_ISCHR(before.st_mode))
        GTEST_SKIP() << "no /dev/full device here";
    const FileError e = writeFileAtomically("/dev/full", QByteArray(100, 'x'));
    ASSERT_TRUE(e.failed());
    EXPECT_EQ(e.path, "/dev/full");
    EXPECT_EQ(e.reason, "No space left on device");
    struct stat after { };
    ASSERT_EQ(stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}

// The JSON beside a run's CSV reads back as the run's settings (the library
// keeps the same JSON), and carries the run's name and note when given.
TEST_F(RunFilesTest, TheSettingsFileReadsBackAndCarriesTheLabel)
{
    ASSERT_FALSE(RunFiles::save(record, path("run"), {QStringLiteral("Group 3"), QStringLiteral("load at 7")}));
    const QByteArray json = readAll(path("run.json"));
    RunSettings back;
    ASSERT_TRUE(RunSettingsJson::read(json, back));
    const RunSettings &s = record.settings();
    EXPECT_EQ(back.start, s.start);
    EXPECT_EQ(back.controller, s.controller);
    EXPECT_EQ(back.kp, 0.5);
    EXPECT_TRUE(std::isnan(back.ki));
    ASSERT_EQ(back.loadChanges.size(), 1u);
    EXPECT_EQ(back.loadChanges[0].to, 12);
    const QJsonObject o = readJson(path("run.json"));
    EXPECT_EQ(o["name"].toString(), "Group 3");
    EXPECT_EQ(o["note"].toString(), "load at 7");

    ASSERT_FALSE(RunFiles::save(record, path("bare")));
    EXPECT_FALSE(readJson(path("bare.json")).contains("name"));
    EXPECT_FALSE(readJson(path("bare.json")).contains("note"));
    for (const char *bad : {"[]", "{}", "{\"start_utc\": \"2026-12-10T04:22:14Z\", \"mode\": \"moon\"}"})
        EXPECT_FALSE(RunSettingsJson::read(QByteArray(bad), back)) << bad;
}

TEST(ExportNames, OfferedNamesAndAddedEndings)
{
    struct Case {
        const char *name, *offered;
    };
    const Case cases[] = {
        {"", "/d/run_2026-12-10_05-50-00.csv"},
        {"PI, quick", "/d/PI, quick.csv"},
        {"Group 3: PI/PID?", "/d/Group 3_ PI_PID_.csv"},
        {"  ..hidden. ", "/d/hidden.csv"},
        {"line\nbreak", "/d/line_break.csv"},
        {"...", "/d/run_2026-12-10_05-50-00.csv"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ExportNames::runFile("/d", "2026-12-10T05:50:00Z", QString::fromUtf8(c.name)), c.offered) << c.name;
    EXPECT_EQ(ExportNames::runFile("/d", "x", QString(200, 'a')).size(), QStringLiteral("/d/.csv").size() + 100);

    const std::pair<const char *, const char *> endings[] = {
        {"/d/report", "/d/report.pdf"},   {"/d/report.pdf", "/d/report.pdf"},   {"/d/report.PDF", "/d/report.PDF"},
        {"/d/report.v2", "/d/report.v2"}, {"/d.v1/report", "/d.v1/report.pdf"},
    };
    for (const auto &[chosen, written] : endings)
        EXPECT_EQ(ExportNames::withEnding(chosen, "pdf"), written) << chosen;
}

// The name of an unnamed run: its mode, controller (none in open loop) and
// local start to the minute; what the file holds after; its own name first.
TEST(ExportNames, NamesFromTheModeControllerAndStart)
{
    // 2026-12-11 13:30:25 UTC, as the local clock tells it
    const QString utc = QStringLiteral("2026-12-11T13:30:25Z");
    const QString local =
        QDateTime::fromString(utc, Qt::ISODate).toLocalTime().toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    struct Case {
        const char *mode, *controller, *name, *what, *ending, *offered; // %1: the local start
    };
    const Case cases[] = {
        {"kit", "PI", "", "", "csv", "/d/kit-PI-%1.csv"},
        {"simulation", "fuzzy", "", "", "pdf", "/d/simulation-fuzzy-%1.pdf"},
        {"open", "P", "", "", "png", "/d/open-%1.png"},
        {"simulation", "fuzzy", "", "surface", "png", "/d/simulation-fuzzy-%1-surface.png"},
        {"kit", "PID", "Group 3: PI", "", "csv", "/d/Group 3_ PI.csv"},
        {"kit", "PID", "...", "", "csv", "/d/kit-PID-%1.csv"},
        {"", "PI", "", "", "csv", "/d/run_2026-12-11_13-30-25.csv"}, // no mode known
    };
    for (const Case &c : cases) {
        const ExportNames::RunNaming run{utc, c.mode, c.controller, QString::fromUtf8(c.name), c.what};
        EXPECT_EQ(ExportNames::runFile("/d", run, c.ending), QString::fromUtf8(c.offered).arg(local)) << c.offered;
    }

    // from the settings of a run and from a stored one
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796995825); // 2026-12-11 13:30:25
    s.mode = RunMode::Kit;
    s.controller = RunController::PI;
    EXPECT_EQ(ExportNames::runFile("/d", ExportNames::naming(s)), "/d/kit-PI-" + local + ".csv");
    StoredRun stored;
    stored.startUtc = utc;
    stored.mode = QStringLiteral("open");
    stored.controller = QStringLiteral("PID");
    EXPECT_EQ(ExportNames::runFile("/d", ExportNames::naming(stored), "csv"), "/d/open-" + local + ".csv");
    stored.name = QStringLiteral("flat");
    EXPECT_EQ(ExportNames::runFile("/d", ExportNames::naming(stored), "csv"), "/d/flat.csv");
}
