// The lab on controls with no window: what it tells, in which order, and
// what the record, the test program, the baseline and the library hold at
// each of those moments.
#include "store/RunLibrary.h"
#include "tests/support/FakeLab.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

using tervalo::Lab;
using tervalo::RunRecord;
using tervalo::TestEvent;
using tervalo::TestProgram;
using tervalo::test::FakeLab;

namespace {

// Every signal of the lab as one line, with what the record holds then.
struct Journal {
    explicit Journal(Lab &lab)
    {
        QObject::connect(&lab, &Lab::started, [this, &lab] {
            lines.push_back(std::string("started, record ") + (lab.record().running() ? "running" : "idle"));
        });
        QObject::connect(&lab, &Lab::stopped, [this, &lab] {
            lines.push_back(std::string("stopped, record ") + (lab.record().running() ? "running" : "closed") + ", "
                            + std::to_string(lab.record().size()) + " rows");
        });
        QObject::connect(&lab, &Lab::loadMoved, [this](int from, int to) {
            lines.push_back("load " + std::to_string(from) + "→" + std::to_string(to));
        });
        QObject::connect(&lab, &Lab::setupChanged, [this] { lines.push_back("set-up"); });
        QObject::connect(&lab, &Lab::baselineChanged,
                         [this, &lab] { lines.push_back("baseline " + std::to_string(lab.baselineCycles())); });
        QObject::connect(&lab, &Lab::languageChanged,
                         [this](bool english) { lines.push_back(english ? "english" : "turkish"); });
        QObject::connect(&lab, &Lab::notice,
                         [this](const QString &t) { lines.push_back("notice " + t.toStdString()); });
        QObject::connect(&lab, &Lab::noLibrary,
                         [this](const QString &why) { lines.push_back("no library: " + why.toStdString()); });
    }
    std::vector<std::string> lines;
};

// A watcher that notes the reference each cycle ran with.
struct Watcher : tervalo::CycleObserver {
    std::vector<int> references;
    std::vector<std::size_t> recordedRows;
    const Lab *lab = nullptr;
    void cycleDone(const tervalo::ExperimentState &, const tervalo::CycleSample &sample) override
    {
        references.push_back(sample.reference);
        recordedRows.push_back(lab->record().size());
    }
};

} // namespace

TEST(Lab, TellsOfARunAfterItsOwnPartIsDone)
{
    FakeLab f;
    f.lab.openLibrary(QString(), 1000, QStringLiteral("no data folder"));
    Journal j(f.lab);
    f.start();
    f.cycleOnce();
    f.cycleOnce();
    f.moveLoad(0, 30);
    f.cycleOnce();
    f.lab.reportSetup();
    f.stop();
    f.start(); // a second run without a library is not told again
    f.cycleOnce();
    f.stop();
    f.lab.reportLanguage(false);
    EXPECT_EQ(j.lines,
              (std::vector<std::string>{
                  "started, record running",
                  "load 0→30",
                  "set-up",
                  "no library: no data folder",
                  "stopped, record closed, 3 rows",
                  "started, record running",
                  "stopped, record closed, 1 rows",
                  "turkish",
              }));
    EXPECT_FALSE(f.lab.english());
    EXPECT_TRUE(f.lab.record().settings().loadChanges.empty()); // the second run had none
}

// The record takes each cycle first; the other watchers see it there; the
// test program's events for the next cycle come last, so no watcher sees a
// value of the next cycle in this one.
TEST(Lab, TheTestProgramActsAfterEveryWatcher)
{
    FakeLab f;
    Watcher w;
    w.lab = &f.lab;
    f.lab.watchCycles(&w);
    TestProgram program;
    program.add({1, TestEvent::Kind::Reference, 1200});
    program.add({3, TestEvent::Kind::Reference, 1500});
    program.add({3, TestEvent::Kind::Load, 20});
    f.lab.testProgram().setProgram(program);
    f.start();
    for (int k = 0; k < 4; ++k)
        f.cycleOnce();
    f.stop();
    f.lab.unwatchCycles(&w);
    EXPECT_EQ(w.references, (std::vector<int>{1200, 1200, 1500, 1500}));
    EXPECT_EQ(w.recordedRows, (std::vector<std::size_t>{1, 2, 3, 4}));
    // in simulation a load event moves the load slider, through the controls
    EXPECT_NE(std::find(f.log.begin(), f.log.end(), "load 0 20"), f.log.end());
    ASSERT_EQ(f.lab.record().size(), 4u);
    EXPECT_EQ(f.lab.record().row(2).reference, 1500);
}

// Once STOP has been handled (everyone heard of it), a reference the test
// program stepped goes back to the run's start value through the controls,
// so that a second run repeats the first; a run that stepped nothing leaves
// the reference as the student set it.
TEST(Lab, STOPPutsBackTheReferenceATestProgramStepped)
{
    using Kind = TestEvent::Kind;
    const struct {
        const char *what;
        std::vector<TestEvent> events;
        std::vector<std::string> fromStop; // the log from STOP on
    } cases[] = {
        {"a step", {{2, Kind::Reference, 1500}}, {"STOP", "stopped", "reference 1200"}},
        {"two steps", {{2, Kind::Reference, 1500}, {3, Kind::Reference, 800}}, {"STOP", "stopped", "reference 1200"}},
        {"a step at START", {{1, Kind::Reference, 700}}, {"STOP", "stopped", "reference 1200"}},
        {"a load change only", {{2, Kind::Load, 12}}, {"STOP", "stopped"}},
        {"a step after the run's last cycle", {{9, Kind::Reference, 1500}}, {"STOP", "stopped"}},
        {"no program", {}, {"STOP", "stopped"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FakeLab f;
        f.setReference(1200);
        QObject::connect(&f.lab, &Lab::stopped, [&f] { f.log.push_back("stopped"); });
        TestProgram program;
        for (const TestEvent &e : c.events)
            program.add(e);
        f.lab.testProgram().setProgram(program);
        std::vector<std::vector<std::string>> runs;
        for (int run = 0; run < 2; ++run) {
            f.log.clear();
            f.start();
            for (int k = 0; k < 3; ++k)
                f.cycleOnce();
            f.stop();
            EXPECT_EQ(f.reference, 1200);
            runs.push_back(f.log);
        }
        const auto stop = std::find(runs[0].begin(), runs[0].end(), "STOP");
        EXPECT_EQ(std::vector<std::string>(stop, runs[0].end()), c.fromStop);
        // the second run steps as the first did
        auto steps = [](const std::vector<std::string> &log) {
            std::vector<std::string> out;
            std::copy_if(log.begin(), log.end(), std::back_inserter(out),
                         [](const std::string &line) { return line.rfind("step ", 0) == 0; });
            return out;
        };
        std::vector<std::string> stepped;
        for (const TestEvent &e : c.events)
            if (e.kind == Kind::Reference && e.cycle <= 3)
                stepped.push_back("step " + std::to_string(e.value));
        EXPECT_EQ(steps(runs[0]), stepped);
        EXPECT_EQ(steps(runs[1]), stepped);
    }
}

// On the kit a load event goes to the plant's hook; with none the student
// is told; on the way out nobody is told anything.
TEST(Lab, ALoadEventOnTheKitGoesToThePlantOrToTheStudent)
{
    FakeLab f;
    f.mode = tervalo::RunMode::Kit;
    Journal j(f.lab);
    TestProgram program;
    program.add({2, TestEvent::Kind::Load, 25});
    f.lab.testProgram().setProgram(program);
    f.start();
    f.cycleOnce();
    f.stop();
    const std::vector<std::string> firstRun(j.lines);
    ASSERT_GE(firstRun.size(), 3u);
    EXPECT_EQ(firstRun[1], "notice Test program, cycle 2: set the kit's load to 25 now.");

    std::vector<int> levels;
    f.lab.testProgram().kitLoad = [&levels](int level) { levels.push_back(level); };
    f.start();
    f.cycleOnce();
    f.lab.reportEnding();
    f.lab.notify(QStringLiteral("not shown"));
    f.stop();
    EXPECT_EQ(levels, (std::vector<int>{25}));
    EXPECT_EQ(
        std::count_if(j.lines.begin(), j.lines.end(), [](const std::string &l) { return l.rfind("notice", 0) == 0; }),
        1);
}

// The baseline a run draws is the one pinned when it started; clearing it
// ends the trace at once.
TEST(Lab, TheBaselineIsTakenAtStartAndClearedAtOnce)
{
    FakeLab f;
    Journal j(f.lab);
    RunRecord stored(10);
    tervalo::RunSettings s;
    stored.start(s);
    for (long long c : {1, 2, 4}) {
        tervalo::RunRow row;
        row.cycle = c;
        row.y = 100.0 * static_cast<double>(c);
        stored.append(row);
    }
    f.lab.setBaseline(stored, QStringLiteral("try 1"));
    EXPECT_EQ(f.lab.runBaseline(), nullptr); // no run has started since
    f.start();
    ASSERT_NE(f.lab.runBaseline(), nullptr);
    EXPECT_EQ(*f.lab.runBaseline(), (std::vector<double>{100, 200, 0, 400}));
    f.lab.setBaseline(std::vector<double>{1, 2}, QStringLiteral("try 2")); // from the next run on
    EXPECT_EQ(f.lab.runBaseline()->size(), 4u);
    f.lab.clearBaseline();
    EXPECT_EQ(f.lab.runBaseline(), nullptr);
    f.stop();
    f.lab.setBaseline(std::vector<double>{}, QStringLiteral("empty")); // an empty list clears
    EXPECT_FALSE(f.lab.hasBaseline());
    EXPECT_EQ(j.lines,
              (std::vector<std::string>{"baseline 4", "started, record running", "baseline 2", "baseline 0",
                                        "stopped, record closed, 0 rows", "baseline 0"}));
}

// At STOP the closed record goes to the library with the lab's context; a
// run still going at the end is stored on the way out.
TEST(Lab, RunsReachTheLibraryAtStopAndAtTheEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    {
        FakeLab f;
        f.lab.openLibrary(path);
        tervalo::RunContext context = f.lab.context();
        context.student = QStringLiteral("Ayşe");
        f.lab.setContext(context);
        QSignalSpy stored(&f.lab, &Lab::runStored);
        f.start();
        f.cycleOnce();
        f.cycleOnce();
        f.stop();
        f.lab.waitForLibrary();
        EXPECT_TRUE(stored.wait(5000) || stored.count() == 1);
        f.start();
        f.cycleOnce(); // no STOP: the program ends
        f.lab.finish();
        EXPECT_EQ(f.lab.unsaved(), 0u);
    }
    tervalo::RunLibrary library(path);
    const std::vector<tervalo::StoredRun> runs = library.list();
    ASSERT_EQ(runs.size(), 2u);
    std::vector<std::size_t> rows;
    for (const tervalo::StoredRun &r : runs)
        rows.push_back(static_cast<std::size_t>(r.rows));
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<std::size_t>{1, 2}));
}

// Past the record's bound the cycles are no longer recorded: said once a
// run, from the event loop, in the window's language and on the log.
TEST(Lab, TheRecordsBoundIsToldOnceARun)
{
    FakeLab f(false, 5);
    Journal j(f.lab);
    std::vector<QString> lines;
    f.lab.reportLine = [&lines](const QString &line) { lines.push_back(line); };
    for (int run = 0; run < 2; ++run) {
        f.start();
        for (int k = 0; k < 8; ++k)
            f.cycleOnce();
        EXPECT_TRUE(lines.size() == static_cast<std::size_t>(run)); // not on the cycle
        QCoreApplication::processEvents();
        f.stop();
    }
    EXPECT_EQ(f.lab.record().size(), 5u);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].contains(QLatin1String("bound of 5 rows"))) << lines[0].toStdString();
    const auto notices = std::count_if(j.lines.begin(), j.lines.end(),
                                       [](const std::string &l) { return l.rfind("notice Bu deney", 0) == 0; });
    EXPECT_EQ(notices, 2);
}
