// tervalo-sim's run library, experiment files and timed events: the real
// program run, its library read back through the window's own library class.
#include "store/RunLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

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
    r.rows = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// A run that must succeed without a word on stderr.
QStringList rowsOf(const QStringList &args)
{
    const Result r = sim(args);
    EXPECT_EQ(r.status, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << args.join(' ').toStdString() << ": " << r.err.toStdString();
    return r.rows;
}

QString column(const QStringList &rows, int cycle, int col)
{
    return rows.value(cycle).split(',').value(col);
}

enum Col { Cycle, Time, Reference, Output, Error, Actuator, FuzzyStep };

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        ADD_FAILURE() << "cannot write " << path.toStdString();
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The summary's value of a metric, "" when absent.
QString metric(const QStringList &rows, const QString &key)
{
    for (const QString &r : rows)
        if (r.startsWith(key + ','))
            return r.mid(key.size() + 1);
    return {};
}

// A valid experiment file's JSON, one key replaced when given (left out
// when the value is undefined).
QByteArray experimentJson(const QString &key = {}, const QJsonValue &value = QJsonValue::Undefined)
{
    QJsonArray rules;
    for (int r = 0; r < 7; ++r)
        rules.append(QJsonArray{"NB", "NM", "NS", "ZE", "PS", "PM", "PB"});
    QJsonObject o{{"format", "tervalo-experiment"},
                  {"version", 1},
                  {"mode", "simulation"},
                  {"controller", "P"},
                  {"gains", QJsonObject{{"kp", 0.5}, {"ki", 0}, {"kd", 0}}},
                  {"divisors", QJsonObject{{"error", 2}, {"output", 10}}},
                  {"reference", 1000},
                  {"rules", rules},
                  {"test_program", QJsonArray{QJsonObject{{"cycle", 30}, {"reference", 1500}}}}};
    if (!key.isEmpty()) {
        if (value.isUndefined())
            o.remove(key);
        else
            o[key] = value;
    }
    return QJsonDocument(o).toJson();
}

} // namespace

// ---- --library ---------------------------------------------------------------

TEST(SimLibrary, StoresEachRunWithAllItsRowsAndSettings)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("runs.sqlite");
    struct Case {
        QStringList args;
        const char *mode, *controller;
        double kp, ki; // NaN: none
        int errorDivisor;
    };
    const double none = tervalo::kNoValue;
    const Case cases[] = {
        {{"--controller", "PI", "--kp", "0.2", "--ki", "1", "--cycles", "40", "--at", "20:reference=1500"},
         "simulation",
         "PI",
         0.2,
         1,
         0},
        {{"--mode", "kit", "--controller", "fuzzy", "--error-divisor", "3", "--cycles", "25"},
         "kit",
         "fuzzy",
         none,
         none,
         3},
        {{"--mode", "kit", "--controller", "open", "--actuator", "2000", "--cycles", "12"}, "open", "P", none, none, 0},
    };
    std::size_t stored = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const QStringList plain = rowsOf(c.args);
        const QStringList rows = rowsOf(c.args + QStringList{"--library", db});
        EXPECT_EQ(rows, plain) << "the table is the same with the library";
        ++stored;

        tervalo::RunLibrary library(db);
        ASSERT_TRUE(library.usable()) << library.error().message().toStdString();
        const std::vector<tervalo::StoredRun> list = library.list();
        ASSERT_EQ(list.size(), stored) << "a second run is added beside the first";
        const tervalo::StoredRun &run = list.front(); // newest first
        EXPECT_EQ(run.mode, c.mode);
        EXPECT_EQ(run.controller, c.controller);
        EXPECT_EQ(run.rows, rows.size() - 1);
        if (std::isnan(c.kp)) {
            EXPECT_TRUE(std::isnan(run.ki));
        } else {
            EXPECT_DOUBLE_EQ(run.kp, c.kp);
            EXPECT_DOUBLE_EQ(run.ki, c.ki);
        }
        if (c.errorDivisor) {
            EXPECT_EQ(run.errorDivisor, c.errorDivisor);
        }

        const std::unique_ptr<tervalo::RunRecord> record = library.load(run.id);
        ASSERT_TRUE(record) << library.error().message().toStdString();
        ASSERT_EQ(record->size(), static_cast<std::size_t>(rows.size() - 1));
        for (int k = 1; k < rows.size(); ++k) {
            const tervalo::RunRow &row = record->row(static_cast<std::size_t>(k - 1));
            EXPECT_EQ(row.cycle, k);
            EXPECT_EQ(QString::number(row.reference), column(rows, k, Reference)) << "cycle " << k;
            EXPECT_EQ(QString::number(row.y), column(rows, k, Output)) << "cycle " << k;
            EXPECT_EQ(QString::number(row.e), column(rows, k, Error)) << "cycle " << k;
            EXPECT_EQ(QString::number(row.u), column(rows, k, Actuator)) << "cycle " << k;
        }
        EXPECT_EQ(record->settings().reference, 1000) << "the reference at START";
    }
}

TEST(SimLibrary, FiguresInTheLibraryAreTheSummarys)
{
    QTemporaryDir dir;
    const QString db = dir.filePath("runs.sqlite");
    const QStringList args = {"--controller", "PID", "--kp", "0.1", "--ki", "0.3", "--kd", "0.02", "--summary"};
    const QStringList summary = rowsOf(args + QStringList{"--library", db});
    tervalo::RunLibrary library(db);
    const std::vector<tervalo::StoredRun> list = library.list();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].iae, metric(summary, "iae").toDouble());
    EXPECT_EQ(list[0].riseTime, metric(summary, "rise_time_s").toDouble());
    EXPECT_EQ(list[0].settlingTime, metric(summary, "settling_time_s").toDouble());
}

// A library or experiment file that cannot be written: the table whole, then
// one line with the path and the reason, status 1.
TEST(SimLibrary, FilesThatCannotBeWrittenGiveThePathAndReason)
{
    QTemporaryDir dir;
    const QByteArray garbage = QByteArray("this is no database, only text\n").repeated(200);
    const QString corrupt = writeFile(dir, "corrupt.sqlite", garbage);
    const QString missingFolder = dir.filePath("missing/runs.sqlite");
    struct Case {
        const char *what;
        QStringList args;
        QString says; // the line after "tervalo-sim: "
    };
    const Case cases[] = {
        {"a file that is no database", {"--library", corrupt}, corrupt + ": file is not a database"},
        {"a library in a missing folder", {"--library", missingFolder}, missingFolder + ": "},
        {"a library that is a folder", {"--library", dir.path()}, dir.path() + ": "},
        {"an experiment into a missing folder",
         {"--save-experiment", dir.filePath("missing/lab.json")},
         dir.filePath("missing/lab.json") + ": " + reason(ENOENT)},
        {"an experiment onto a folder", {"--save-experiment", dir.path()}, dir.path() + ": "},
    };
    const QStringList run = {"--controller", "P", "--kp", "0.5", "--cycles", "30"};
    const QStringList plain = rowsOf(run);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = sim(run + c.args);
        EXPECT_EQ(r.status, 1) << r.err.toStdString();
        EXPECT_EQ(r.rows, plain) << "the table is still complete";
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        const QString line = "tervalo-sim: " + c.says;
        EXPECT_TRUE(r.err.startsWith(line)) << r.err.toStdString();
        if (c.says.endsWith(QStringLiteral(": "))) {
            EXPECT_FALSE(r.err.mid(line.size()).trimmed().isEmpty()) << "a reason follows the path";
        }
    }
    EXPECT_EQ(readFile(corrupt), garbage) << "a file that is no database is left as it was";
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

// ---- --experiment and --save-experiment -----------------------------------------

// Saving the experiment the options describe and running that file gives the
// very table of the options.
TEST(SimExperiment, SavedFileRunsAsTheOptionsDid)
{
    QTemporaryDir dir;
    const QString rules = writeFile(dir, "rules.txt", QByteArray("PB PB PM PS ZE NS NM\n").repeated(7));
    struct Case {
        const char *what;
        QStringList options; // described by the file
        QStringList besides; // given again: not kept in a file
    };
    const Case cases[] = {
        {"P with a test program",
         {"--controller", "P", "--kp", "0.6", "--at", "20:reference=1500", "--at", "35:load=12"},
         {"--cycles", "50"}},
        {"fuzzy with rules, divisors and reference",
         {"--controller", "fuzzy", "--rules", rules, "--error-divisor", "4", "--output-divisor", "7", "--reference",
          "1300"},
         {"--cycles", "40"}},
        {"PID on the kit",
         {"--mode", "kit", "--controller", "PID", "--kp", "0.1", "--ki", "0.3", "--kd", "0.02"},
         {"--cycles", "30"}},
        {"open loop on the kit",
         {"--mode", "kit", "--controller", "open", "--at", "10:load=20"},
         {"--cycles", "20", "--actuator", "2500"}},
        {"open loop in simulation", {"--controller", "open"}, {"--cycles", "20", "--actuator", "1500"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = dir.filePath(QString::fromLatin1(c.what).replace(' ', '-') + ".json");
        const QStringList plain = rowsOf(c.options + c.besides + QStringList{"--save-experiment", file});
        const QJsonObject saved = QJsonDocument::fromJson(readFile(file)).object();
        EXPECT_EQ(saved.value("format").toString(), "tervalo-experiment");
        const QStringList again = rowsOf(QStringList{"--experiment", file} + c.besides);
        EXPECT_EQ(again, plain);
        // and a file saved from the file is the same file (the modes that
        // map to other loops)
        if (c.options.contains(QStringLiteral("open"))) {
            const QString copy = file + ".copy";
            rowsOf(QStringList{"--experiment", file, "--save-experiment", copy} + c.besides);
            EXPECT_EQ(readFile(copy), readFile(file));
        }
    }
}

TEST(SimExperiment, OptionsBesideTheFileOverrideItsValues)
{
    QTemporaryDir dir;
    // P at 0.5, reference 1000, a step to 1500 at cycle 30
    const QString file = writeFile(dir, "lab.json", experimentJson());
    const QString rules = writeFile(dir, "rules.txt", QByteArray("NB NB NM NS PS PM PB\n").repeated(7));
    const QString fuzzy = writeFile(dir, "fuzzy.json", experimentJson("controller", "fuzzy"));
    const QString fileRules = writeFile(dir, "file-rules.txt", QByteArray("NB NM NS ZE PS PM PB\n").repeated(7));
    struct Case {
        QStringList besides;    // beside --experiment
        QStringList equivalent; // the same run without a file
    };
    const QStringList fromFile = {"--controller", "P", "--kp", "0.5", "--at", "30:reference=1500"};
    const Case cases[] = {
        {{}, fromFile},
        {{"--kp", "0.3"}, {"--controller", "P", "--kp", "0.3", "--at", "30:reference=1500"}},
        {{"--reference", "1200"}, fromFile + QStringList{"--reference", "1200"}},
        {{"--controller", "PI"}, {"--controller", "PI", "--kp", "0.5", "--ki", "0", "--at", "30:reference=1500"}},
        {{"--controller", "PI", "--ki", "1.5"},
         {"--controller", "PI", "--kp", "0.5", "--ki", "1.5", "--at", "30:reference=1500"}},
        {{"--mode", "kit"}, fromFile + QStringList{"--mode", "kit"}},
        {{"--at", "10:reference=800"}, {"--controller", "P", "--kp", "0.5", "--at", "10:reference=800"}},
        {{"--controller", "open", "--actuator", "1000"},
         {"--controller", "open", "--actuator", "1000", "--at", "30:reference=1500"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.besides.join(' ').toStdString());
        const QStringList run = {"--cycles", "45"};
        EXPECT_EQ(rowsOf(QStringList{"--experiment", file} + c.besides + run), rowsOf(c.equivalent + run));
    }
    // the fuzzy file's rule table and divisors, then each replaced
    const QStringList fuzzyPlain = {"--controller", "fuzzy", "--at", "30:reference=1500", "--cycles", "45"};
    EXPECT_EQ(rowsOf({"--experiment", fuzzy, "--cycles", "45"}),
              rowsOf(fuzzyPlain + QStringList{"--rules", fileRules}));
    EXPECT_EQ(rowsOf({"--experiment", fuzzy, "--cycles", "45", "--rules", rules, "--error-divisor", "5"}),
              rowsOf(fuzzyPlain + QStringList{"--rules", rules, "--error-divisor", "5"}));
}

// The open loop on the kit keeps the file's controller and gains selected,
// as the window does: they are saved again and recorded with the run.
TEST(SimExperiment, OpenLoopFileKeepsItsController)
{
    QTemporaryDir dir;
    QJsonObject o = QJsonDocument::fromJson(experimentJson("mode", "open")).object();
    o["controller"] = "PI";
    o["gains"] = QJsonObject{{"kp", 0.3}, {"ki", 1}, {"kd", 0}};
    const QString file = writeFile(dir, "open.json", QJsonDocument(o).toJson());
    const QString copy = dir.filePath("copy.json"), db = dir.filePath("runs.sqlite");
    const QStringList rows = rowsOf(
        {"--experiment", file, "--actuator", "2000", "--cycles", "35", "--save-experiment", copy, "--library", db});
    EXPECT_EQ(rows,
              rowsOf({"--mode", "kit", "--controller", "open", "--actuator", "2000", "--cycles", "35", "--at",
                      "30:reference=1500"}));
    EXPECT_EQ(QJsonDocument::fromJson(readFile(copy)).object(), QJsonDocument::fromJson(readFile(file)).object());
    tervalo::RunLibrary library(db);
    const std::vector<tervalo::StoredRun> list = library.list();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].mode, "open");
    EXPECT_EQ(list[0].controller, "PI");
    EXPECT_DOUBLE_EQ(list[0].kp, 0.3);
    EXPECT_DOUBLE_EQ(list[0].ki, 1);
}

// A file refused: one line naming the file, the key and the reason, status 2,
// no table.
TEST(SimExperiment, RefusedFilesNameTheKeyAndTheReason)
{
    QTemporaryDir dir;
    QJsonArray badRules;
    for (int r = 0; r < 7; ++r)
        badRules.append(QJsonArray{"NB", "NM", "NS", "ZE", "PS", r == 2 ? "XX" : "PM", "PB"});
    struct Case {
        const char *what;
        QByteArray contents;
        QStringList besides;
        QString says; // after "--experiment FILE: "
    };
    const Case cases[] = {
        {"not JSON", "{ \"format\": ", {}, "not JSON"},
        {"another format", experimentJson("format", "tervalo-run"), {}, "format: not \"tervalo-experiment\""},
        {"a later version", experimentJson("version", 2), {}, "version: unknown version"},
        {"a key missing", experimentJson("reference"), {}, "reference: missing"},
        {"a key empty", experimentJson("reference", QJsonValue()), {}, "reference: not a number"},
        {"an unknown key", experimentJson("speed", 3), {}, "speed: unknown key"},
        {"a reference off its slider", experimentJson("reference", 2500), {}, "reference: 2500 is outside 500..2000"},
        {"a gain off its slider",
         experimentJson("gains", QJsonObject{{"kp", 1.5}, {"ki", 0}, {"kd", 0}}),
         {},
         "gains.kp: 1.5 is outside"},
        {"a rule term unknown",
         experimentJson("rules", badRules),
         {},
         "rules: row NS, column PM: \"XX\" is no term name"},
        {"an event at cycle 0",
         experimentJson("test_program", QJsonArray{QJsonObject{{"cycle", 0}, {"load", 3}}}),
         {},
         "test_program[0].cycle: 0 is outside"},
        {"two steps at one cycle",
         experimentJson("test_program",
                        QJsonArray{QJsonObject{{"cycle", 30}, {"reference", 1500}},
                                   QJsonObject{{"cycle", 30}, {"reference", 700}}}),
         {},
         "test_program[1]: cycle 30: a second reference event at this cycle"},
        {"a key given twice",
         experimentJson().replace("\"reference\": 1000", "\"reference\": 1000, \"reference\": 900"),
         {},
         "reference: given twice"},
        {"the file's gain beyond the slider of the controller given beside it",
         experimentJson(),
         {"--controller", "PID"},
         "gains.kp: 0.5 is beyond the PID slider (0 to 0.2)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = writeFile(dir, "lab.json", c.contents);
        const Result r = sim(QStringList{"--experiment", file} + c.besides);
        EXPECT_EQ(r.status, 2) << r.err.toStdString();
        EXPECT_TRUE(r.rows.isEmpty());
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("tervalo-sim: --experiment " + file + ": " + c.says)) << r.err.toStdString();
    }
    const QString missing = dir.filePath("missing.json");
    const Result r = sim({"--experiment", missing});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tervalo-sim: --experiment " + missing + ": " + reason(ENOENT) + "\n");
}

// ---- --at ------------------------------------------------------------------------

TEST(SimTestProgram, ReferenceStepTakesEffectAtItsCycle)
{
    const QStringList run = {"--controller", "PI", "--kp", "0.2", "--ki", "1", "--cycles", "40"};
    const QStringList plain = rowsOf(run);
    const QStringList stepped = rowsOf(run + QStringList{"--at", "25:reference=1500"});
    ASSERT_EQ(stepped.size(), 41);
    for (int k = 1; k < 25; ++k)
        EXPECT_EQ(stepped[k], plain[k]) << "cycle " << k << " runs before the step";
    for (int k = 25; k <= 40; ++k)
        EXPECT_EQ(column(stepped, k, Reference), "1500") << "cycle " << k;
    EXPECT_EQ(column(stepped, 25, Error).toInt(), 1500 - column(stepped, 25, Output).toInt());
    EXPECT_GT(column(stepped, 40, Output).toInt(), 1400);

    // at cycle 1 the first cycle already runs with the new reference; on the
    // kit alike
    EXPECT_EQ(column(rowsOf(run + QStringList{"--at", "1:reference=700"}), 1, Reference), "700");
    const QStringList kit =
        rowsOf({"--mode", "kit", "--controller", "P", "--kp", "0.5", "--cycles", "12", "--at", "6:reference=1800"});
    EXPECT_EQ(column(kit, 5, Reference), "1000");
    EXPECT_EQ(column(kit, 6, Reference), "1800");
}

TEST(SimTestProgram, LoadChangeActsFromItsCycle)
{
    // simulation: the load slider, as --load moves it (from 1, where it starts)
    const QStringList held = {"--controller", "P", "--actuator", "2000", "--cycles", "3"};
    EXPECT_EQ(rowsOf(held + QStringList{"--at", "2:load=11"}), rowsOf(held + QStringList{"--load", "2:1:11"}));

    // the kit: the emulated motor's load from that cycle's period on
    const QStringList open = {"--mode", "kit", "--controller", "open", "--actuator", "2500", "--cycles", "40"};
    const QStringList plain = rowsOf(open);
    const QStringList loaded = rowsOf(open + QStringList{"--at", "20:load=30"});
    for (int k = 1; k < 20; ++k)
        EXPECT_EQ(loaded[k], plain[k]) << "cycle " << k;
    EXPECT_LT(column(loaded, 20, Output).toInt(), column(plain, 20, Output).toInt());
    // 29 % of full torque: about 29 x 51 rpm off the steady speed
    const int drop = column(plain, 40, Output).toInt() - column(loaded, 40, Output).toInt();
    EXPECT_GT(drop, 1200);
    EXPECT_LT(drop, 1800);
}

TEST(SimTestProgram, BadEventsAreRefused)
{
    const char *const events[] = {
        "5:reference=499", "5:reference=2001", "0:reference=1000", "-1:load=3", "5:load=0",
        "5:load=31",       "5:speed=3",        "x:load=3",         "5:load=",   "5:load=2.5",
        "5reference=1",    "5:reference",      "101:load=3",       "",          " ",
    };
    for (const char *e : events) {
        const Result r = sim({"--controller", "P", "--at", e});
        EXPECT_EQ(r.status, 2) << e;
        EXPECT_TRUE(r.rows.isEmpty()) << e;
        EXPECT_EQ(r.err.count('\n'), 1) << e << ": " << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("tervalo-sim: --at")) << r.err.toStdString();
    }
    const Result tuning = sim({"--surface", "/dev/null", "--at", "5:load=3"});
    EXPECT_EQ(tuning.status, 2);
    // blanks around an event are dropped as around numbers
    EXPECT_EQ(rowsOf({"--controller", "P", "--cycles", "5", "--at", " 3:reference=1500\t"}),
              rowsOf({"--controller", "P", "--cycles", "5", "--at", "3:reference=1500"}));
}

// --summary with reference steps: the figures of each stretch between
// events first, timed from its step, then the run's as always.
TEST(SimTestProgram, SummaryGivesTheFiguresOfEachStretch)
{
    const QStringList run = {"--controller", "PI", "--kp", "0.2", "--ki", "1", "--summary"};
    const QStringList rows = rowsOf(run + QStringList{"--cycles", "100", "--at", "50:reference=1500"});
    const char *const keys[] = {"rise_time_s",        "peak", "peak_time_s", "overshoot_pct", "settling_time_s",
                                "steady_state_error", "iae",  "ise",         "actuator_max",  "saturated_pct",
                                "actuator_travel"};
    ASSERT_EQ(rows.size(), 1 + 2 * 14 + 11);
    for (int k = 0; k < 11; ++k)
        EXPECT_TRUE(rows[29 + k].startsWith(QString::fromLatin1(keys[k]) + ',')) << rows[29 + k].toStdString();
    EXPECT_EQ(rows[0], "stretches,2");
    const QStringList heads[] = {{"first_cycle@1,1", "last_cycle@1,49", "reference@1,1000"},
                                 {"first_cycle@2,50", "last_cycle@2,100", "reference@2,1500"}};
    for (int s = 0; s < 2; ++s) {
        const int at = 1 + 14 * s;
        EXPECT_EQ(rows.mid(at, 3), heads[s]);
        for (int k = 0; k < 11; ++k)
            EXPECT_TRUE(rows[at + 3 + k].startsWith(QStringLiteral("%1@%2,").arg(keys[k]).arg(s + 1)))
                << rows[at + 3 + k].toStdString();
    }
    // the first stretch is the run of its 49 cycles
    const QStringList first = rowsOf(run + QStringList{"--cycles", "49"});
    for (const char *k : keys)
        EXPECT_EQ(metric(rows, QString::fromLatin1(k) + "@1"), metric(first, k)) << k;
    // the second is timed from its step and settles at the new reference
    EXPECT_LT(metric(rows, "settling_time_s@2").toDouble(), 10) << "from the step, not from START";
    EXPECT_GT(metric(rows, "peak@2").toDouble(), 1400);
    EXPECT_LT(std::fabs(metric(rows, "steady_state_error@2").toDouble()), 5);

    // a step back to the same reference is still a stretch of its own; a
    // "step" to the reference in force is none
    EXPECT_EQ(
        metric(rowsOf(run + QStringList{"--cycles", "60", "--at", "20:reference=1500", "--at", "40:reference=1000"}),
               "stretches"),
        "3");
    EXPECT_EQ(rowsOf(run + QStringList{"--cycles", "60", "--at", "20:reference=1000"}).size(), 11);
}
