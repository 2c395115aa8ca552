// The run record of the main window: filled by a run, saved from the graph's
// menu and beside Auto Save's pictures, shown in the run window.
#include "ui/main/Form2Fixture.h"

#include "engine/RunRecord.h"
#include "ui/main/RunSession.h"
#include "ui/windows/RunWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimeZone>

#include <clocale>
#include <cmath>

using namespace tervalo;

namespace {

class RunSessionTest : public Form2Fixture {
protected:
    RunSession &session() { return form->runSession(); }
    const RunRecord &record() { return form->lab().record(); }

    void pid()
    {
        selectSimulation();
        form->selectController("PID");
        form->setGainBar("Slider6", 100);
        form->setGainBar("Slider7", 20);  // kd
        form->setGainBar("Slider8", 200); // ki
    }
    void fuzzy()
    {
        selectSimulation();
        form->selectController("fuzzy");
        form->setDivisors(3, 12);
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(RunSessionTest, ASimulatedPidRunFillsTheRecord)
{
    pid();
    form->setReference(1200);
    int uBefore = -1;
    std::vector<int> actuator;
    run(30, [&](int cycle) {
        if (cycle == 1)
            uBefore = form->actuatorValue();
        if (cycle == 12)
            form->moveLoad(1, 9);
        if (cycle > 1)
            actuator.push_back(form->actuatorValue());
    });
    actuator.push_back(form->actuatorValue()); // STOP leaves the actuator at its minimum: read before

    const RunSettings &s = record().settings();
    EXPECT_EQ(s.mode, RunMode::Simulation);
    EXPECT_EQ(s.controller, RunController::PID);
    EXPECT_DOUBLE_EQ(s.kp, 0.1);
    EXPECT_DOUBLE_EQ(s.ki, 0.2);
    EXPECT_DOUBLE_EQ(s.kd, 0.02);
    EXPECT_EQ(s.reference, 1200);
    EXPECT_EQ(s.actuatorMin, 0);
    EXPECT_EQ(s.actuatorMax, 4095);
    EXPECT_EQ(s.load, 1);
    ASSERT_EQ(s.loadChanges.size(), 1u);
    EXPECT_EQ(s.loadChanges[0].cycle, 12);
    EXPECT_EQ(s.loadChanges[0].from, 1);
    EXPECT_EQ(s.loadChanges[0].to, 9);
    const auto age = std::chrono::system_clock::now() - s.start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(age).count(), 60);

    EXPECT_FALSE(record().running());
    ASSERT_EQ(record().size(), 30u);
    double previous = uBefore;
    for (std::size_t k = 0; k < record().size(); ++k) {
        SCOPED_TRACE(k);
        const RunRow &r = record().row(k);
        EXPECT_EQ(r.cycle, static_cast<std::int64_t>(k + 1));
        EXPECT_EQ(r.reference, 1200);
        EXPECT_EQ(r.e, r.reference - r.y);
        EXPECT_TRUE(std::isnan(r.du));
        ASSERT_FALSE(std::isnan(r.p) || std::isnan(r.i) || std::isnan(r.d));
        // the actuator moved by the whole part of the parts' sum, or not at
        // all when that leaves its range (except in the cycle the load
        // moved it too)
        if (r.cycle != 12) {
            const double target = previous + std::floor(r.p + r.i + r.d);
            EXPECT_EQ(r.u, target < 0 || target > 4095 ? previous : target);
        }
        previous = r.u;
    }
    EXPECT_GT(record().row(29).y, 0);

    // kept after STOP, cleared by the next START
    run(3);
    EXPECT_EQ(record().size(), 3u);
    EXPECT_TRUE(record().settings().loadChanges.empty());
}

TEST_F(RunSessionTest, AFuzzyRunKeepsItsStepsRulesAndRanges)
{
    fuzzy();
    form->setRuleTerm(0, 3);
    std::vector<int> steps;
    run(12, [&](int cycle) {
        if (cycle > 1)
            steps.push_back(form->state().outputDelta.value());
    });
    ASSERT_EQ(record().size(), 12u);
    const RunSettings &s = record().settings();
    EXPECT_EQ(s.controller, RunController::Fuzzy);
    EXPECT_TRUE(std::isnan(s.kp));
    EXPECT_EQ(s.errorDivisor, 3);
    EXPECT_EQ(s.outputDivisor, 12);
    EXPECT_EQ(s.errorRange, 1000);
    EXPECT_EQ(s.deltaRange, 333);
    EXPECT_EQ(s.outputRange, 83);
    EXPECT_EQ(s.termNames[0], "NB");
    EXPECT_EQ(s.rules[0], s.termNames[3]);
    EXPECT_EQ(s.rules[48], ctl(*form).Combo1(48)->Text().toStdString());
    for (std::size_t k = 0; k + 1 < record().size(); ++k) {
        EXPECT_EQ(record().row(k).du, steps[k]);
        EXPECT_TRUE(std::isnan(record().row(k).p));
    }
}

TEST_F(RunSessionTest, GraphMenuSavesTheRunDataUnderACommaLocale)
{
    auto menu = form->graphMenu()->actions();
    ASSERT_EQ(menu.size(), 2);
    EXPECT_EQ(menu[0], session().runAction());
    EXPECT_EQ(menu[1], session().saveAction());

    QTemporaryDir dir;
    std::vector<QString> errors;
    QString answer = dir.filePath("run");
    QString offered;
    session().askPath = [&](const QString &, const QString &, const QString &suggested) {
        offered = suggested;
        return answer;
    };
    session().showError = [&](const QString &, const QString &m) { errors.push_back(m); };

    session().saveAction()->trigger(); // nothing recorded yet: said so
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("run.csv")));
    errors.clear();

    pid();
    const char *comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    run(10);
    session().saveAction()->trigger();
    std::setlocale(LC_NUMERIC, "C");
    (void)comma;
    EXPECT_TRUE(errors.empty());
    // the dialog offers a name after the run's start (UTC)
    QString start = QString::fromStdString(utcText(record().settings().start));
    start.replace('T', '_').replace(':', '-').chop(1);
    EXPECT_TRUE(offered.endsWith("/run_" + start + ".csv")) << offered.toStdString();

    const QList<QByteArray> lines = read(dir.filePath("run.csv")).split('\n');
    ASSERT_GE(lines.size(), 11);
    EXPECT_EQ(lines[0], "cycle,time_s,reference,output,error,actuator,fuzzy_step,p_part,i_part,d_part\r");
    EXPECT_TRUE(lines[1].startsWith("1,0.2,1000,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[10].startsWith("10,2,1000,")) << lines[10].toStdString();
    const QJsonObject json = QJsonDocument::fromJson(read(dir.filePath("run.json"))).object();
    EXPECT_EQ(json.value("controller").toString(), "PID");
    EXPECT_EQ(json.value("mode").toString(), "simulation");

    // a folder that cannot be written: one message naming the path, the
    // record stays for another try
    answer = QStringLiteral("/proc/tervalo-no-such/run.csv");
    session().saveAction()->trigger();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].startsWith("/proc/tervalo-no-such/run.")) << errors[0].toStdString();
    EXPECT_EQ(record().size(), 10u);
    answer = dir.filePath("again.csv");
    session().saveAction()->trigger();
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(read(dir.filePath("again.csv")), read(dir.filePath("run.csv")));

    answer.clear(); // cancelled: nothing written, nothing said
    session().saveAction()->trigger();
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(RunSessionTest, AutoSaveWritesEachSweepsRowsBesideItsPicture)
{
    QTemporaryDir dir;
    form->setAutoSaveChoice({dir.path(), false, QString()});
    int second = 0;
    ctl(*form).Mygraph1->setClock(
        [&] { return QDateTime(QDate(2026, 12, 10), QTime(5, 0, 0), QTimeZone::utc()).addSecs(++second); });
    ctl(*form).Check1->setChecked(true);
    form->Check1_Click();
    pid();
    ASSERT_EQ(session().sweepRows(), 100);
    run(230);
    session().waitForFiles(); // written off the cycle
    QCoreApplication::processEvents();

    const QString first = dir.filePath("12_10_2026_5_0_1.csv");
    const QString secondSweep = dir.filePath("12_10_2026_5_0_2.csv");
    ASSERT_TRUE(QFileInfo::exists(dir.filePath("12_10_2026_5_0_1.jpeg")));
    const QList<QByteArray> a = read(first).split('\n');
    const QList<QByteArray> b = read(secondSweep).split('\n');
    ASSERT_EQ(a.size(), 102); // header, 100 rows, the empty rest after the last line end
    EXPECT_TRUE(a[1].startsWith("1,0.2,"));
    EXPECT_TRUE(a[100].startsWith("100,20,"));
    ASSERT_EQ(b.size(), 102);
    EXPECT_TRUE(b[1].startsWith("101,20.2,"));
    EXPECT_TRUE(b[100].startsWith("200,40,"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("12_10_2026_5_0_1.json")));
    EXPECT_TRUE(notices.empty());
}

TEST_F(RunSessionTest, AutoSaveThatCannotWriteTheRowsSaysSoOnce)
{
    QTemporaryDir dir;
    form->setAutoSaveChoice({dir.path(), false, QString()});
    ctl(*form).Mygraph1->setClock([] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc()); });
    // a folder where the CSV would go
    ASSERT_TRUE(QDir(dir.path()).mkdir("1_2_2026_3_4_5.csv"));
    ctl(*form).Check1->setChecked(true);
    form->Check1_Click();
    pid();
    run(320);                 // three saved sweeps
    session().waitForFiles(); // written off the cycle, told through the event loop
    QCoreApplication::processEvents();

    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].contains(dir.filePath("1_2_2026_3_4_5.csv"))) << notices[0].toStdString();
    EXPECT_TRUE(ctl(*form).Check1->isChecked()); // the pictures go on
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("1_2_2026_3_4_5.jpeg")));
}

TEST_F(RunSessionTest, RunWindowFromTheMenuFollowsTheRunInBothLanguages)
{
    EXPECT_EQ(session().runAction()->shortcut(), RunWindow::shortcut());
    EXPECT_TRUE(form->actions().contains(session().runAction()));
    EXPECT_EQ(session().runAction()->text(), QStringLiteral("Run…"));
    EXPECT_EQ(session().runWindow(), nullptr);

    pid();
    std::vector<std::size_t> plotted;
    run(40, [&](int cycle) {
        if (cycle == 6)
            session().runAction()->trigger(); // opened during the run
        if (cycle > 6)
            plotted.push_back(session().runWindow()->plottedRows());
    });
    RunWindow *w = session().runWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    ASSERT_FALSE(plotted.empty());
    EXPECT_EQ(plotted.front(), 6u);
    EXPECT_EQ(w->plottedRows(), 40u);

    ctl(*form).Dil(1)->setValue(true);
    EXPECT_FALSE(w->english());
    EXPECT_EQ(session().runAction()->text(), RunWindow::text(RunWindow::Text::MenuRun, false));
    EXPECT_EQ(session().saveAction()->text(), QString::fromUtf8("Çalışma verilerini kaydet…"));
    ctl(*form).Dil(0)->setValue(true);
    EXPECT_TRUE(w->english());

    // the same window again, brought up to the next run
    run(5);
    session().runAction()->trigger();
    EXPECT_EQ(session().runWindow(), w);
    EXPECT_EQ(w->plottedRows(), 5u);
}

TEST_F(RunSessionTest, ReportOfASimulatedFuzzyRun)
{
    fuzzy();
    run(60);
    session().showRunWindow();
    const QByteArray pdf = session().runWindow()->reportPdf();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_GT(pdf.size(), 5000);
}
