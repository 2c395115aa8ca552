// tervalo-sim on the emulated kit, in open loop, and its tuning commands
// (--surface, --identify, --suggest).
#include "engine/FuzzyController.h"
#include "engine/FuzzySurface.h"
#include "engine/StepFigures.h"
#include "engine/Terms.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

using namespace tervalo;

namespace {

struct Result {
    int status = -1;
    QStringList rows;
    QString err;
};

// Starts every run at once (they take a while on the emulated kit) and
// collects them in order.
std::vector<Result> simAll(const std::vector<QStringList> &runs)
{
    std::vector<std::unique_ptr<QProcess>> ps;
    for (const QStringList &args : runs) {
        ps.push_back(std::make_unique<QProcess>());
        ps.back()->start(QStringLiteral(TERVALO_SIM), args);
    }
    std::vector<Result> out;
    for (auto &p : ps) {
        p->waitForFinished(120000);
        Result r;
        r.status = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
        r.rows = QString::fromLocal8Bit(p->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        r.err = QString::fromLocal8Bit(p->readAllStandardError());
        out.push_back(r);
    }
    return out;
}

Result sim(const QStringList &args)
{
    return simAll({args}).front();
}

int column(const Result &r, int row, int col)
{
    return r.rows.value(row).split(',').value(col).toInt();
}

// "metric,value" lines as a map, and the names in their order.
std::map<QString, double> metrics(const Result &r, QStringList *names = nullptr)
{
    std::map<QString, double> m;
    for (const QString &line : r.rows) {
        const QStringList f = line.split(',');
        if (names)
            names->append(f.value(0));
        m[f.value(0)] = f.value(1).toDouble();
    }
    return m;
}

double iaeOf(const Result &csv)
{
    double sum = 0;
    for (int i = 1; i < csv.rows.size(); ++i)
        sum += std::fabs(column(csv, i, 4)) * 0.2;
    return sum;
}

// The emulated kit's steady speed at actuator value u, no load.
double kitSteady(int u)
{
    VirtualKitClock clock;
    KitEmulator kit(clock);
    return kit.steadySpeed(u);
}

} // namespace

TEST(SimulatorOnTheKit, EveryLoopSettlesAtTheReference)
{
    const std::vector<QStringList> loops = {
        {"--controller", "P", "--kp", "0.3"},
        {"--controller", "I", "--ki", "0.7"},
        {"--controller", "PI", "--kp", "0.1", "--ki", "0.5"},
        {"--controller", "PD", "--kp", "0.15", "--kd", "0.01"},
        {"--controller", "PID", "--kp", "0.1", "--ki", "0.3", "--kd", "0.01"},
        {"--controller", "fuzzy"},
    };
    std::vector<QStringList> runs;
    for (const QStringList &l : loops)
        runs.push_back(QStringList{"--mode", "kit", "--reference", "1500", "--cycles", "40"} + l);
    const std::vector<Result> results = simAll(runs);
    for (std::size_t k = 0; k < loops.size(); ++k) {
        const Result &r = results[k];
        SCOPED_TRACE(loops[k].join(' ').toStdString());
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        ASSERT_EQ(r.rows.size(), 41);
        EXPECT_EQ(r.rows.front(), "cycle,time_s,reference,output,error,actuator,fuzzy_step");
        for (int row = 31; row <= 40; ++row)
            EXPECT_NEAR(column(r, row, 3), 1500, 45) << r.rows[row].toStdString();
        // the kit's actuator never goes below its minimum
        for (int row = 1; row <= 40; ++row)
            EXPECT_GE(column(r, row, 5), 1300);
    }
}

TEST(SimulatorOnTheKit, OpenLoopReadsTheEmulatorsSteadySpeed)
{
    const int values[] = {1300, 2000, 4095};
    std::vector<QStringList> runs;
    for (int u : values)
        runs.push_back({"--mode", "kit", "--controller", "open", "--actuator", QString::number(u), "--cycles", "20"});
    const std::vector<Result> results = simAll(runs);
    for (std::size_t k = 0; k < runs.size(); ++k) {
        SCOPED_TRACE(values[k]);
        const Result &r = results[k];
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const double steady = kitSteady(values[k]);
        for (int row = 16; row <= 20; ++row) {
            EXPECT_NEAR(column(r, row, 3), steady, steady * 0.01 + 1e-9) << r.rows[row].toStdString();
            EXPECT_EQ(column(r, row, 5), values[k]);
        }
    }
    // a load step on the kit takes the load torque's share of full speed off
    const Result loaded =
        sim({"--mode", "kit", "--controller", "open", "--actuator", "4095", "--cycles", "30", "--load", "10:1:11"});
    ASSERT_EQ(loaded.status, 0) << loaded.err.toStdString();
    EXPECT_NEAR(column(loaded, 30, 3), kitSteady(4095) * 0.9, 5);
}

TEST(SimulatorOpenLoop, HoldsTheActuatorOnTheSimulatedPlant)
{
    const Result r = sim({"--controller", "open", "--actuator", "1000", "--cycles", "3", "--reference", "1500"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(column(r, row, 3), 1263); // 1.26302 x 1000
        EXPECT_EQ(column(r, row, 5), 1000);
    }
}

TEST(SimulatorSurface, EachPointIsTheControllersStep)
{
    QTemporaryDir dir;
    const QString rules = dir.filePath("rules.txt");
    {
        QFile f(rules);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const char *rows[] = {"NB NB NB NM NS ZE PS", "NB NB NM NS ZE PS PM", "NB NM NS ZE PS PM PB",
                              "NM NS ZE ZE ZE PS PM", "NM NS ZE PS PM PB PB", "NS ZE PS PM PB PB PB",
                              "ZE PS PM PB PB PB PB"};
        for (const char *row : rows)
            f.write(QByteArray(row) + "\n");
    }
    const QString path = dir.filePath("surface.csv");
    const Result r = sim(
        {"--surface", path, "--rules", rules, "--reference", "1200", "--error-divisor", "3", "--output-divisor", "8"});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 201 * 201);
    EXPECT_EQ(lines.front(), "e,de,du");

    const auto &english = Terms::names(Terms::English);
    std::array<std::string, 7> names;
    for (std::size_t t = 0; t < 7; ++t)
        names[t] = english[t];
    std::array<std::string, 49> cells;
    const char *rowsAgain[] = {"NB NB NB NM NS ZE PS", "NB NB NM NS ZE PS PM", "NB NM NS ZE PS PM PB",
                               "NM NS ZE ZE ZE PS PM", "NM NS ZE PS PM PB PB", "NS ZE PS PM PB PB PB",
                               "ZE PS PM PB PB PB PB"};
    for (int row = 0; row < 7; ++row) {
        const QStringList words = QString::fromLatin1(rowsAgain[row]).split(' ');
        for (int col = 0; col < 7; ++col)
            cells[static_cast<std::size_t>(FuzzyController::cellIndex(row, col))] = words[col].toStdString();
    }
    const FuzzyRanges ranges = FuzzyRanges::of(1200, 3, 8);
    EXPECT_EQ(ranges.delta.value(), 400);
    int checked = 0;
    for (int k = 1; k < lines.size(); k += 997) {
        const QStringList v = lines[k].split(',');
        ASSERT_EQ(v.size(), 3);
        const int e = v[0].toInt(), de = v[1].toInt();
        EXPECT_LE(std::abs(e), 1200);
        EXPECT_LE(std::abs(de), 400);
        const FuzzyResult step =
            FuzzyController::step(e, de, ranges.error, ranges.delta, ranges.output, cells, names, 0);
        EXPECT_EQ(v[2].toInt(), step.outputDelta.value()) << lines[k].toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 30);
    // the corners span the sets' full ranges
    EXPECT_TRUE(lines[1].startsWith("-1200,-400,"));
    EXPECT_TRUE(lines.back().startsWith("1200,400,"));

    // the defaults: reference 1000, divisors 2 and 10, the window's own table
    const QString plain = dir.filePath("plain.csv");
    const Result d = sim({"--surface", plain, "--controller", "fuzzy"});
    ASSERT_EQ(d.status, 0) << d.err.toStdString();
    QFile g(plain);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QList<QByteArray> plainLines = g.readAll().split('\n');
    EXPECT_TRUE(plainLines.value(1).startsWith("-1000,-500,"));
}

TEST(SimulatorIdentify, RecoversThePlants)
{
    const std::vector<Result> r = simAll({{"--identify", "500:1000"}, {"--identify", "1500:2000", "--mode", "kit"}});
    for (const Result &x : r) {
        ASSERT_EQ(x.status, 0) << x.err.toStdString();
        QStringList names;
        metrics(x, &names);
        EXPECT_EQ(names, (QStringList{"gain", "offset", "time_constant_s", "dead_time_s", "rmse"}));
    }
    // the simulated plant: a gain of 1.26302 with one cycle of delay
    const auto sim = metrics(r[0]);
    EXPECT_NEAR(sim.at("gain"), 1.26302, 0.005);
    EXPECT_NEAR(sim.at("dead_time_s"), 0.2, 1e-9);
    EXPECT_NEAR(sim.at("time_constant_s"), 0, 1e-9);
    // the emulated kit: 1.8 rpm per step through a 0.3 s lag
    const auto kit = metrics(r[1]);
    EXPECT_NEAR(kit.at("gain"), 1.8, 1.8 * 0.03);
    EXPECT_NEAR(kit.at("time_constant_s"), 0.3, 0.3 * 0.05);
    EXPECT_NEAR(kit.at("offset"), -1.8 * 1250, 1.8 * 1250 * 0.03);
    EXPECT_LT(kit.at("dead_time_s"), 0.05);
}

TEST(SimulatorSuggest, GainsOnTheSlidersThatKeepTheirPrediction)
{
    struct Case {
        QStringList suggest;
        QStringList gainNames;
        QStringList run; // mode and reference of the run
    };
    const Case cases[] = {
        {{"--suggest", "P"}, {"kp"}, {}},
        {{"--suggest", "PI", "--mode", "kit", "--reference", "1500", "--cycles", "40"},
         {"kp", "ki"},
         {"--mode", "kit", "--reference", "1500", "--cycles", "40"}},
    };
    std::vector<QStringList> runs;
    for (const Case &c : cases)
        runs.push_back(c.suggest);
    const std::vector<Result> results = simAll(runs);
    const double maxima[] = {1.2, 1.0}; // the P and PI panels' Kp sliders
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const Case &c = cases[k];
        const Result &r = results[k];
        SCOPED_TRACE(c.suggest.join(' ').toStdString());
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        QStringList names;
        const auto m = metrics(r, &names);
        QStringList expected = c.gainNames;
        for (const MetricInfo &info : kMetrics)
            expected << QString::fromLatin1(info.key);
        ASSERT_EQ(names, expected);
        EXPECT_GE(m.at("kp"), 0);
        EXPECT_LE(m.at("kp"), maxima[k]);
        EXPECT_LE(m.at("overshoot_pct"), 10);

        QStringList run = QStringList{"--controller", c.suggest[1]} + c.run;
        for (const QString &g : c.gainNames)
            run << "--" + g << QString::number(m.at(g), 'g', 6);
        const Result csv = sim(run);
        ASSERT_EQ(csv.status, 0) << csv.err.toStdString();
        EXPECT_NEAR(iaeOf(csv), m.at("iae"), m.at("iae") * 0.05);
    }
}

TEST(SimulatorTuning, RefusesBadCommands)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("s.csv");
    const std::vector<QStringList> bad = {
        {"--mode", "lab", "--controller", "P"},
        {"--mode", "kit", "--identify", "1000:2000"}, // below the kit's minimum
        {"--identify", "700:700"},
        {"--identify", "700-900"},
        {"--identify", "700:900", "--controller", "P"},
        {"--identify", "700:900", "--suggest", "P"},
        {"--surface", out, "--controller", "PI"},
        {"--surface", out, "--kp", "0.1"},
        {"--suggest", "fuzzy"},
        {"--controller", "P", "--overshoot", "5"},
        {"--suggest", "P", "--overshoot", "-1"},
        {"--reference", "1000"}, // no controller and no command
        {"--controller", "open", "--kp", "0.1"},
    };
    for (const QStringList &args : bad) {
        const Result r = sim(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.rows.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(out));
}

TEST(SimulatorTuning, RefusedBumpTestAndUnwritableSurfaceEndWithStatusOne)
{
    // 2 units move the simulated plant by 3 rpm: too small to see
    const Result small = sim({"--identify", "1000:1002"});
    EXPECT_EQ(small.status, 1);
    EXPECT_EQ(small.err.count('\n'), 1);
    EXPECT_TRUE(small.err.contains("step_too_small")) << small.err.toStdString();
    EXPECT_TRUE(small.err.contains("try a larger step, 1000:")) << small.err.toStdString();
    EXPECT_TRUE(small.rows.isEmpty());

    QTemporaryDir dir;
    const QString path = dir.filePath("missing/surface.csv");
    const Result r = sim({"--surface", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.count('\n'), 1);
    EXPECT_TRUE(r.err.contains(path)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromLocal8Bit(std::strerror(ENOENT)))) << r.err.toStdString();
}
