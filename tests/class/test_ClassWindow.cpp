// The instructor's Class window on a real class server: the table, its
// filter and sorting, the spread, the students' tries, the kits' drift, the
// CSV and the overlay, and what a student's role sees of it.
#include "ClassFixture.h"

#include "engine/StepFigures.h"
#include "tests/support/FakeLab.h"
#include "ui/models/ClassRunsModel.h"
#include "ui/windows/ClassWindow.h"
#include "ui/windows/RunWindow.h"
#include "ui/windows/RunsWindow.h"

#include <QAction>

#include <QDir>
#include <QFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>

using namespace tervalo;
using namespace classtest;

namespace {

ClassRunContext contextFor(const QString &student, const QString &experiment, const QString &host = "lab-pc-1",
                           const QString &kind = "run", const QString &plant = "simulation")
{
    ClassRunContext c;
    c.uuid = newUuid();
    c.student = student;
    c.host = host;
    c.plantKind = plant;
    c.programVersion = QStringLiteral("1.0");
    c.kind = kind;
    c.experiment = experiment;
    return c;
}

// A bump test on the kit from 1500 to 1700 of a first-order plant with gain
// K and time constant 1 s, started at the given second.
RunRecord bumpTest(double gain, int startSecond)
{
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796870000 + startSecond);
    s.mode = RunMode::OpenLoop;
    s.controller = RunController::P;
    s.reference = 0;
    RunRecord r;
    r.start(s);
    double y = gain * 1500;
    const double a = std::exp(-0.2);
    for (int c = 1; c <= 90; ++c) {
        RunRow row;
        row.cycle = c;
        row.u = c < 30 ? 1500 : 1700;
        row.y = 5 * std::round(y / 5);
        r.append(row);
        y = a * y + (1 - a) * gain * row.u;
    }
    r.stop();
    return r;
}

class ClassWindowTest : public ClassTest {
protected:
    void SetUp() override
    {
        ClassTest::SetUp();
        // the lab PCs send as one login of their own; the instructor's
        // window reads as the superuser, whose own runs are the baselines
        lab = addStudent(QStringLiteral("lab"));
        const auto server = open(&lab);
        int second = 0;
        for (const char *student : {"Ayşe", "Berk", "Cem"})
            for (int k = 0; k < 2; ++k) {
                ASSERT_TRUE(server->send(contextFor(QString::fromUtf8(student), "step-pi.json"),
                                         makeRun(150 + 10 * k, false, second)));
                second += 300; // five minutes apart: one sitting
            }
        ASSERT_TRUE(server->send(contextFor("Ayşe", "fuzzy.json"), makeRun(200, true, 9000)));
        // a kit identified three times: the third 20 % off in gain
        ASSERT_TRUE(server->send(contextFor("", "", "lab-pc-2", "bump_test", "kit"), bumpTest(0.50, 100)));
        ASSERT_TRUE(server->send(contextFor("", "", "lab-pc-2", "bump_test", "kit"), bumpTest(0.52, 86400)));
        ASSERT_TRUE(server->send(contextFor("", "", "lab-pc-2", "bump_test", "kit"), bumpTest(0.60, 2 * 86400)));
        ASSERT_TRUE(open()->send(contextFor("", "step-pi.json"), makeRun(150, false, 20000)));
    }

    std::unique_ptr<ClassWindow> openWindow(const Login *as = nullptr)
    {
        QString why;
        auto w = ClassWindow::openOn(
            as ? address(database, as->login) : address(database),
            [as]() -> std::optional<QString> { return as ? std::optional<QString>(as->password) : std::nullopt; },
            &why);
        EXPECT_TRUE(w) << why.toStdString();
        return w;
    }

    Login lab;
};

TEST_F(ClassWindowTest, TableFilterSortAndCsvOfEveryStudentsRuns)
{
    const auto w = openWindow();
    ASSERT_TRUE(w);
    QSortFilterProxyModel *table = w->proxy();
    EXPECT_EQ(table->rowCount(), 11); // 7 students' runs, 3 bump tests, the instructor's baseline
    w->setFilter(QStringLiteral("berk"));
    EXPECT_EQ(table->rowCount(), 2);
    for (int r = 0; r < 2; ++r)
        EXPECT_EQ(table->index(r, ClassRunsModel::Student).data().toString(), QStringLiteral("Berk"));
    // the CSV is the table as shown: the header and Berk's two runs
    const QByteArray csv = w->csv();
    EXPECT_EQ(csv.count("\r\n"), 3);
    EXPECT_TRUE(csv.startsWith(classReportHeader()));
    QTemporaryDir dir;
    QString why;
    ASSERT_TRUE(w->exportCsv(dir.filePath("class.csv"), &why)) << why.toStdString();
    QFile file(dir.filePath("class.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), csv);
    EXPECT_FALSE(w->exportCsv(dir.filePath("no-such-folder/class.csv"), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("no-such-folder"))) << why.toStdString();

    // sorted by a figure, by its value, not its text
    w->setFilter(QString());
    const int duration = ClassRunsModel::Duration;
    table->sort(duration, Qt::DescendingOrder);
    for (int r = 1; r < table->rowCount(); ++r)
        EXPECT_GE(table->index(r - 1, duration).data(ClassRunsModel::SortRole).toDouble(),
                  table->index(r, duration).data(ClassRunsModel::SortRole).toDouble());
    // a figure shows three significant digits and its unit; the tooltip is whole
    const QModelIndex iae = table->index(0, ClassRunsModel::FirstFigure + static_cast<int>(Metric::Iae));
    EXPECT_TRUE(iae.data().toString().endsWith(QStringLiteral("Volt·s"))) << iae.data().toString().toStdString();
    EXPECT_EQ(iae.data(Qt::ToolTipRole).toString().toDouble(), iae.data(ClassRunsModel::SortRole).toDouble());

    // both languages
    w->setLanguage(false);
    EXPECT_EQ(table->headerData(ClassRunsModel::Student, Qt::Horizontal).toString(), QStringLiteral("Öğrenci"));
    w->setLanguage(true);
    EXPECT_EQ(table->headerData(ClassRunsModel::Student, Qt::Horizontal).toString(), QStringLiteral("Student"));
}

TEST_F(ClassWindowTest, SpreadStudentsAndKits)
{
    const auto w = openWindow();
    ASSERT_TRUE(w);
    EXPECT_EQ(w->experiments(), (QStringList{"fuzzy.json", "step-pi.json"}));
    w->setFigure(Metric::Iae);
    const std::map<QString, BoxStats> spread = w->spread();
    EXPECT_EQ(spread.at("step-pi.json").count, 6u); // the baseline is not one of the class
    EXPECT_EQ(spread.at("fuzzy.json").count, 1u);

    w->setExperiment(QStringLiteral("step-pi.json"));
    const std::vector<StudentEffort> effort = w->effort();
    ASSERT_EQ(effort.size(), 3u);
    EXPECT_EQ(effort[0].student, "Ayşe");
    EXPECT_EQ(effort[0].tries, 2); // the fuzzy run is another experiment
    EXPECT_EQ(effort[0].sittings, 1);
    EXPECT_DOUBLE_EQ(effort[0].timeOnTaskS, 300 + 160 * 0.2);

    const std::map<QString, KitDrift> &kits = w->kits();
    ASSERT_EQ(kits.size(), 1u);
    const KitDrift &kit = kits.begin()->second;
    EXPECT_EQ(kits.begin()->first, QStringLiteral("lab-pc-2, kit"));
    ASSERT_EQ(kit.series.size(), 3u);
    EXPECT_NEAR(kit.series[0].gain, 0.50, 0.02);
    EXPECT_EQ(kit.beyondLimit, (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(kit.drifting);
}

TEST_F(ClassWindowTest, ChosenRunsOverlaidInTheRunWindow)
{
    const auto w = openWindow();
    ASSERT_TRUE(w);
    w->setFilter(QStringLiteral("Cem"));
    EXPECT_FALSE(w->compareSelected()); // nothing chosen
    w->table()->selectAll();
    ASSERT_TRUE(w->compareSelected());
    ASSERT_TRUE(w->compareWindow());
    ASSERT_EQ(w->compareWindow()->comparedRuns().size(), 2u);
    EXPECT_TRUE(w->compareWindow()->comparedRuns()[0].label.startsWith(QStringLiteral("Cem, ")));
    EXPECT_EQ(w->compareWindow()->comparedRuns()[1].record->size(), 160u);
}

TEST_F(ClassWindowTest, AStudentSeesOnlyTheirOwnRuns)
{
    const Login dilek = addStudent(QStringLiteral("Dilek"));
    {
        const auto asDilek = open(&dilek);
        ASSERT_TRUE(asDilek->send(contextFor("Dilek", "step-pi.json"), makeRun(100)));
    }
    const auto w = openWindow(&dilek);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->proxy()->rowCount(), 1);
    EXPECT_EQ(w->proxy()->index(0, ClassRunsModel::Student).data().toString(), QStringLiteral("Dilek"));

    // the superuser reads as one who sees the class
    const auto all = open();
    const auto role = all->role();
    ASSERT_TRUE(role);
    EXPECT_TRUE(role->instructor);
    const auto own = open(&dilek)->role();
    ASSERT_TRUE(own);
    EXPECT_FALSE(own->instructor);
    EXPECT_EQ(own->login, dilek.login);
}

} // namespace

namespace {

// The Runs window's "Class…" entry: on the lab's class server, asking for
// the password the server wants.
TEST_F(ClassWindowTest, TheRunsWindowOpensItOnTheLabsServer)
{
    const Login dilek = addStudent(QStringLiteral("Dilek"));
    tervalo::test::FakeLab fake;
    RunsWindow runs(fake.lab);
    QAction *entry = runs.action(RunsWindow::Text::ClassEntry);
    ASSERT_TRUE(entry);
    EXPECT_FALSE(entry->isEnabled()) << "no class server yet";
    EXPECT_FALSE(runs.classWindowAsked());

    fake.lab.useClassServer(address(database, dilek.login));
    runs.refresh();
    EXPECT_TRUE(entry->isEnabled());
    int asked = 0;
    runs.askPassword = [&](const QString &) -> std::optional<QString> {
        ++asked;
        return dilek.password;
    };
    QStringList errors;
    runs.showError = [&](const QString &, const QString &m) { errors << m; };
    ASSERT_TRUE(runs.classWindowAsked()) << errors.join('\n').toStdString();
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(runs.classWindow());
    EXPECT_EQ(runs.classWindow()->proxy()->rowCount(), 0); // Dilek has sent nothing
    runs.setLanguage(false);
    EXPECT_FALSE(runs.classWindow()->english());
    fake.lab.useClassServer(std::nullopt);
}

} // namespace
