// The run window: the whole run plotted, live updates, figures, both
// languages, and its saves with the dialogs answered by the test.

#include "ui/windows/RunWindow.h"

#include "engine/FuzzyController.h"
#include "engine/SimulatedPlant.h"
#include "tests/support/ScratchHome.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QValueAxis>

#include <gtest/gtest.h>

using namespace tervalo;
using Text = RunWindow::Text;

namespace {

const std::array<std::string, 7> kTerms = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};

RunSettings fuzzySettings()
{
    RunSettings s;
    s.mode = RunMode::Simulation;
    s.controller = RunController::Fuzzy;
    s.kp = s.ki = s.kd = kNoValue;
    s.reference = 1000;
    s.errorDivisor = 2;
    s.outputDivisor = 10;
    s.errorRange = 1000;
    s.deltaRange = 500;
    s.outputRange = 100;
    s.termNames = kTerms;
    for (int c = 0; c < 49; ++c)
        s.rules[static_cast<std::size_t>(c)] = kTerms[static_cast<std::size_t>(FuzzyController::defaultListIndex(c))];
    s.load = 1;
    return s;
}

// A fuzzy loop against the simulated plant with the default rule table.
void recordFuzzyRun(RunRecord &record, int cycles)
{
    const RunSettings s = fuzzySettings();
    record.start(s);
    Integer u = 0, prevError = 0, du = 0;
    Long held = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const Integer y = held.value();
        const Integer e = Integer(1000) - y;
        const FuzzyResult r = FuzzyController::step(e, e - prevError, 1000, 500, 100, s.rules, kTerms, du);
        du = r.outputDelta;
        u = Integer(std::clamp(u.value() + du.value(), 0, 4095));
        held = SimulatedPlant::output(u);
        prevError = e;
        RunRow row;
        row.cycle = cycle;
        row.reference = 1000;
        row.y = y.value();
        row.e = e.value();
        row.u = u.value();
        row.du = du.value();
        record.append(row);
    }
}

RunRow rowOf(std::int64_t cycle, double y, double u)
{
    RunRow r;
    r.cycle = cycle;
    r.reference = 1000;
    r.y = y;
    r.e = 1000 - y;
    r.u = u;
    return r;
}

QLineSeries *seriesNamed(QChart *chart, const QString &name)
{
    for (QAbstractSeries *s : chart->series())
        if (s->name() == name)
            return qobject_cast<QLineSeries *>(s);
    return nullptr;
}

QAreaSeries *shading(QChart *chart)
{
    for (QAbstractSeries *s : chart->series())
        if (auto *a = qobject_cast<QAreaSeries *>(s))
            return a;
    return nullptr;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RunWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QString figureText(const RunWindow &w, Metric m) const
    {
        return w.figureTable()->item(static_cast<int>(m), 1)->text();
    }
    QTemporaryDir dir;
    RunRecord record{20000};
};

} // namespace

// An hour of cycles: every row is taken, the plot stays small, the figures
// are there, and the shown window paints.
TEST_F(RunWindowTest, OpensAnHourLongRun)
{
    recordFuzzyRun(record, 18000);
    RunWindow w(record);
    EXPECT_EQ(w.plottedRows(), 18000u);
    EXPECT_NE(seriesNamed(w.chartView()->chart(), w.text(Text::Output)), nullptr);
    const QList<QPointF> y = w.plottedPoints(RunWindow::Series::Output);
    EXPECT_LE(y.size(), 2001);
    EXPECT_EQ(y.back().x(), 3600.0);
    for (int k = 1; k < y.size(); ++k)
        ASSERT_LT(y[k - 1].x(), y[k].x());
    // the thinned trace keeps the extremes of the run
    double top = 0;
    for (const QPointF &p : y)
        top = std::max(top, p.y());
    double recordTop = 0;
    for (const RunRow &r : record.rows())
        recordTop = std::max(recordTop, r.y);
    EXPECT_EQ(top, recordTop);
    EXPECT_NE(figureText(w, Metric::Peak), QString());
    EXPECT_FALSE(figureText(w, Metric::Peak).startsWith("n/a"));
    w.show();
    EXPECT_FALSE(w.plotImage().isNull());
}

TEST_F(RunWindowTest, FollowsARunningRunAndANewStart)
{
    record.start(fuzzySettings());
    RunWindow w(record);
    EXPECT_EQ(w.plottedRows(), 0u);
    EXPECT_TRUE(figureText(w, Metric::Iae).startsWith("n/a"));
    auto u = [&] { return w.plottedPoints(RunWindow::Series::Actuator); };
    for (int k = 1; k <= 300; ++k) {
        record.append(rowOf(k, k > 2 ? 1000 : 0, 500 + k));
        w.update();
        ASSERT_EQ(w.plottedRows(), static_cast<std::size_t>(k));
        ASSERT_EQ(u().size(), k);
        ASSERT_EQ(u()[k - 1], QPointF(k / 5.0, 500 + k));
    }
    // every row drawn once, in order, across the pieces of the trace
    for (int k = 0; k < 300; ++k)
        ASSERT_EQ(u()[k].y(), 501 + k);
    EXPECT_EQ(figureText(w, Metric::Peak), "1000 Volt");
    EXPECT_EQ(figureText(w, Metric::ActuatorMax), "800");
    // the axes hold the data
    auto *time = qobject_cast<QValueAxis *>(w.chartView()->chart()->axes(Qt::Horizontal).at(0));
    EXPECT_GE(time->max(), 300 / 5.0);

    // past a bucket's worth of rows the plot thins, yet keeps every row's time span
    for (int k = 301; k <= 1100; ++k) {
        record.append(rowOf(k, 1000, 500));
        w.update();
    }
    EXPECT_EQ(w.plottedRows(), 1100u);
    // buckets of two rows: two points while U moves (rows 1..300), one while
    // it stays (rows 301..1100), and the newest row
    EXPECT_EQ(u().size(), 150 * 2 + 400 + 1);
    EXPECT_EQ(u().back().x(), 220.0);

    record.start(fuzzySettings());
    w.update();
    EXPECT_EQ(w.plottedRows(), 0u);
    EXPECT_TRUE(u().isEmpty());
}

// Past ten minutes of a run still going, the figures follow within a
// second, off the cycle; once the run is over they are exact at once.
TEST_F(RunWindowTest, ALongRunsFiguresFollowWithinASecond)
{
    record.start(fuzzySettings());
    for (int k = 1; k <= 3500; ++k)
        record.append(rowOf(k, 900, 500));
    RunWindow w(record);
    EXPECT_EQ(figureText(w, Metric::Peak), "900 Volt");
    record.append(rowOf(3501, 1200, 500));
    w.update();
    EXPECT_EQ(figureText(w, Metric::Peak), "900 Volt"); // not on this cycle
    QElapsedTimer clock;
    clock.start();
    while (figureText(w, Metric::Peak) != "1200 Volt" && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(figureText(w, Metric::Peak), "1200 Volt");

    record.append(rowOf(3502, 1300, 500));
    record.stop();
    w.update();
    EXPECT_EQ(figureText(w, Metric::Peak), "1300 Volt");
}

TEST_F(RunWindowTest, LimitsMarkedAndSaturatedStretchesShaded)
{
    RunSettings s = fuzzySettings();
    s.actuatorMin = 1300;
    s.actuatorMax = 4095;
    s.mode = RunMode::Kit;
    record.start(s);
    for (int k = 1; k <= 30; ++k) {
        const double u = (k >= 5 && k <= 9) ? 4095 : (k == 20 || k == 21) ? 1300 : 2000;
        record.append(rowOf(k, 900, u));
    }
    RunWindow w(record);
    QChart *chart = w.chartView()->chart();
    QLineSeries *low = seriesNamed(chart, w.text(Text::ActuatorMin));
    QLineSeries *high = seriesNamed(chart, w.text(Text::ActuatorMax));
    ASSERT_TRUE(low && high);
    for (const QPointF &p : low->points())
        EXPECT_EQ(p.y(), 1300);
    for (const QPointF &p : high->points())
        EXPECT_EQ(p.y(), 4095);
    EXPECT_EQ(high->points().back().x(), 6.0);

    QAreaSeries *area = shading(chart);
    ASSERT_NE(area, nullptr);
    const QList<QPointF> pts = area->upperSeries()->points();
    ASSERT_EQ(pts.size(), 8); // two stretches, four corners each
    EXPECT_NEAR(pts[0].x(), 0.9, 1e-12);
    EXPECT_NEAR(pts[3].x(), 1.9, 1e-12);
    EXPECT_NEAR(pts[4].x(), 3.9, 1e-12);
    EXPECT_NEAR(pts[7].x(), 4.3, 1e-12);
    EXPECT_LT(pts[0].y(), 1300);
    EXPECT_GT(pts[1].y(), 4095);
    // three significant digits and the unit, whole in the tooltip
    EXPECT_EQ(figureText(w, Metric::SaturatedPct), "23.3 %");
    EXPECT_EQ(w.figureTable()->item(static_cast<int>(Metric::SaturatedPct), 1)->toolTip(),
              QString::fromStdString(shortestDecimal(100.0 * 7 / 30)));
}

TEST_F(RunWindowTest, SignalsLookAsOnTheMainGraphAndTheLegendNamesWhatIsDrawn)
{
    RunSettings s = fuzzySettings();
    s.actuatorMin = 1300;
    s.actuatorMax = 4095;
    s.mode = RunMode::Kit;
    record.start(s);
    for (int k = 1; k <= 10; ++k)
        record.append(rowOf(k, 900, 2000));
    RunWindow w(record);
    w.show(); // a marker is visible only in a legend that is
    QChart *chart = w.chartView()->chart();
    // the main graph's colours: R red, Y blue, E green
    EXPECT_EQ(seriesNamed(chart, w.text(Text::Reference))->pen().color(), QColor(200, 0, 0));
    EXPECT_EQ(seriesNamed(chart, w.text(Text::Output))->pen().color(), QColor(0, 0, 200));
    EXPECT_EQ(seriesNamed(chart, w.text(Text::Error))->pen().color(), QColor(0, 140, 0));
    // U and its limits each their own
    EXPECT_NE(seriesNamed(chart, w.text(Text::Actuator))->pen().color(),
              seriesNamed(chart, w.text(Text::ActuatorMin))->pen().color());
    // the window's legend wraps and names what is drawn
    const auto saturationShown = [&] { return w.legendText().contains(w.text(Text::Saturated)); };
    EXPECT_TRUE(w.legendText().contains(w.text(Text::Reference)));
    EXPECT_TRUE(w.legendText().contains(w.text(Text::ActuatorLimits)));
    EXPECT_FALSE(w.legendText().contains(w.text(Text::ActuatorMax)));
    EXPECT_FALSE(saturationShown()) << "no stretch at a limit yet";
    record.append(rowOf(11, 900, 4095));
    w.update();
    EXPECT_TRUE(saturationShown());
}

TEST_F(RunWindowTest, BothLanguages)
{
    for (int t = 0; t < static_cast<int>(Text::Count); ++t)
        for (bool english : {true, false})
            EXPECT_FALSE(RunWindow::text(static_cast<Text>(t), english).isEmpty()) << t << english;
    for (const MetricInfo &m : kMetrics)
        EXPECT_NE(RunWindow::metricText(m.metric, true), RunWindow::metricText(m.metric, false) + "x");

    record.start(fuzzySettings());
    record.append(rowOf(1, 0, 0));
    RunWindow w(record);
    EXPECT_EQ(figureText(w, Metric::RiseTime), "n/a (fewer than 10 rows)");
    w.setLanguage(false);
    // the title names the run in its header line
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Çalışma — ") + w.headerLine());
    EXPECT_TRUE(w.headerLine().startsWith(QStringLiteral("Simulasyon · Bulanık Mantık")))
        << w.headerLine().toStdString();
    EXPECT_EQ(w.button(Text::SaveReport)->text(), QString::fromUtf8("Raporu kaydet…"));
    EXPECT_EQ(w.figureTable()->item(0, 0)->text(), QString::fromUtf8("Yükselme süresi (s)"));
    EXPECT_EQ(figureText(w, Metric::RiseTime), QString::fromUtf8("yok (10 satırdan az)"));
    EXPECT_NE(seriesNamed(w.chartView()->chart(), QString::fromUtf8("Y(t) çıkış")), nullptr);
    w.setLanguage(true);
    EXPECT_EQ(w.button(Text::SaveReport)->text(), QString::fromUtf8("Save report…"));
    EXPECT_EQ(figureText(w, Metric::RiseTime), "n/a (fewer than 10 rows)");
}

// A reference step during the run: each stretch of constant reference gets a
// column of its own figures, its times counted from its step; the columns
// follow the running record and the language.
TEST_F(RunWindowTest, FiguresOfEachReferenceBesideTheWholeRun)
{
    record.start(fuzzySettings());
    const auto rowAt = [](std::int64_t cycle, double reference, double y) {
        RunRow r = rowOf(cycle, y, 1500);
        r.reference = reference;
        r.e = reference - y;
        return r;
    };
    for (int k = 1; k <= 30; ++k)
        record.append(rowAt(k, 1000, k < 3 ? 500 * k : 1000));
    RunWindow w(record);
    QTableWidget *t = w.figureTable();
    EXPECT_EQ(t->columnCount(), 2);

    for (int k = 31; k <= 60; ++k)
        record.append(rowAt(k, 1500, k < 33 ? 1000 + 250 * (k - 30) : 1500));
    w.update();
    // each stretch first, then the whole run
    ASSERT_EQ(t->columnCount(), 4);
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), "R = 1000 from cycle 1");
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), "R = 1500 from cycle 31");
    EXPECT_EQ(t->horizontalHeaderItem(3)->text(), "Whole run");
    const auto figure = [&](Metric m, int column) { return t->item(static_cast<int>(m), column)->text(); };
    EXPECT_EQ(figure(Metric::Peak, 1), "1000 Volt");
    EXPECT_EQ(figure(Metric::Peak, 2), "1500 Volt");
    EXPECT_EQ(figure(Metric::Peak, 3), "1500 Volt");
    // the second step rises 1000 -> 1500 over its first two cycles, counted from the step
    EXPECT_EQ(figure(Metric::PeakTime, 2), "0.400 s");

    w.setLanguage(false);
    EXPECT_EQ(t->columnCount(), 4);
    EXPECT_EQ(t->horizontalHeaderItem(3)->text(), QString::fromUtf8("Tüm çalışma"));
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), QString::fromUtf8("R = 1500, çevrim 31'den"));

    // a new run with one reference: back to one column of values
    record.start(fuzzySettings());
    for (int k = 1; k <= 20; ++k)
        record.append(rowAt(k, 1000, 1000));
    w.update();
    EXPECT_EQ(t->columnCount(), 2);
    EXPECT_EQ(t->horizontalHeaderItem(1)->text(), QString::fromUtf8("Değer"));
}

TEST_F(RunWindowTest, SavesThePlotByTheChosenName)
{
    recordFuzzyRun(record, 300);
    RunWindow w(record);
    ASSERT_FALSE(w.savePlot(path("plot.png")));
    EXPECT_TRUE(readAll(path("plot.png")).startsWith("\x89PNG"));
    ASSERT_FALSE(w.savePlot(path("plot.svg")));
    const QByteArray svg = readAll(path("plot.svg"));
    EXPECT_TRUE(svg.contains("<svg"));
    EXPECT_TRUE(svg.contains("<path") || svg.contains("<polyline"));
    ASSERT_FALSE(w.savePlot(path("bare")));
    EXPECT_TRUE(QFile::exists(path("bare.png")));

    const FileError e = w.savePlot(path("missing/plot.png"));
    ASSERT_TRUE(e.failed());
    EXPECT_EQ(e.reason, "No such file or directory");

    w.copyPlot();
    EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
}

TEST_F(RunWindowTest, ReportOfAFuzzyRun)
{
    recordFuzzyRun(record, 200);
    record.addLoadChange({50, 1, 10});
    RunWindow w(record);
    ASSERT_FALSE(w.saveReport(path("report.pdf")));
    const QByteArray pdf = readAll(path("report.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    const auto pages = pdf.count(QByteArray("/Type /Page\n")) + pdf.count(QByteArray("/Type /Page\r"))
        + pdf.count(QByteArray("/Type /Page "));
    EXPECT_GE(pages, 1);
    EXPECT_LE(pages, 2);
    EXPECT_TRUE(pdf.contains("/Subtype /Image")); // the plot

    // the run in one line, the plot under its heading before the tables, the
    // events, each stretch's figures beside the whole run's, the rule table
    w.setNameAndNote(QStringLiteral("fuzzy, slow"), QStringLiteral("first try"));
    const QString html = w.reportHtml(QStringLiteral("plot.png"));
    EXPECT_TRUE(html.contains(w.headerLine().toHtmlEscaped()));
    EXPECT_TRUE(w.headerLine().contains(QString::fromUtf8("“fuzzy, slow”"))) << w.headerLine().toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("first try")));
    const auto at = [&](const QString &t) { return html.indexOf(t); };
    EXPECT_LT(at(QStringLiteral("plot.png")), at(w.text(RunWindow::Text::Settings)));
    EXPECT_GT(at(QStringLiteral("<li>load 10 from cycle 50</li>")), 0) << html.toStdString();
    EXPECT_GT(at(w.text(RunWindow::Text::WholeRun)), at(QStringLiteral("load 10 from cycle 50</th>")));
    EXPECT_GT(at(w.text(RunWindow::Text::RuleTable)), 0);
}

// The buttons ask for a name through the hook and tell a failure through
// the other; a cancelled dialog does nothing.
TEST_F(RunWindowTest, ButtonsUseTheDialogHooks)
{
    recordFuzzyRun(record, 40);
    RunWindow w(record);
    QString answer;
    std::vector<RunWindow::Purpose> asked;
    QStringList errors;
    w.askPath = [&](RunWindow::Purpose p, const QString &, const QString &, const QString &) {
        asked.push_back(p);
        return answer;
    };
    w.showError = [&](const QString &title, const QString &message) { errors << title + "|" + message; };

    answer = path("data");
    w.button(Text::SaveData)->click();
    EXPECT_TRUE(QFile::exists(path("data.csv")));
    EXPECT_TRUE(QFile::exists(path("data.json")));
    answer = path("report.pdf");
    w.button(Text::SaveReport)->click();
    EXPECT_TRUE(QFile::exists(path("report.pdf")));
    answer = path("typed"); // no ending typed: a PDF is a .pdf
    w.button(Text::SaveReport)->click();
    EXPECT_TRUE(readAll(path("typed.pdf")).startsWith("%PDF"));
    EXPECT_FALSE(QFile::exists(path("typed")));
    answer = QString();
    w.button(Text::SavePlot)->click();
    EXPECT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1], RunWindow::Purpose::Report);
    EXPECT_TRUE(errors.isEmpty());

    answer = path("missing/data.csv");
    w.button(Text::SaveData)->click();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("Could not save|" + path("missing/data.")));
    EXPECT_TRUE(errors[0].endsWith(": No such file or directory"));
    EXPECT_EQ(record.size(), 40u);
}

// Every save offers the run's mode, controller and local start in the
// experiment folder, ending as its file; a comparison offers the first run's.
TEST_F(RunWindowTest, SaveDialogsOfferTheRunsNameInTheExperimentFolder)
{
    test::ScratchHome home;
    RunSettings s = fuzzySettings();
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796995825); // 2026-12-11 13:30:25 UTC
    s.mode = RunMode::Kit;
    s.controller = RunController::PI;
    s.kp = 0.5;
    record.start(s);
    for (int k = 1; k <= 20; ++k)
        record.append(rowOf(k, 50 * k, 1500));
    const QString local = QDateTime::fromString(QStringLiteral("2026-12-11T13:30:25Z"), Qt::ISODate)
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd-HHmm"));

    RunWindow w(record);
    std::vector<std::pair<RunWindow::Purpose, QString>> offered;
    w.askPath = [&](RunWindow::Purpose p, const QString &, const QString &, const QString &suggested) {
        offered.emplace_back(p, suggested);
        return QString(); // cancelled: nothing saved
    };
    const std::tuple<Text, RunWindow::Purpose, const char *> buttons[] = {
        {Text::SaveData, RunWindow::Purpose::Data, "csv"},
        {Text::SavePlot, RunWindow::Purpose::Plot, "png"},
        {Text::SaveReport, RunWindow::Purpose::Report, "pdf"},
    };
    for (const auto &[button, purpose, ending] : buttons) {
        offered.clear();
        w.button(button)->click();
        ASSERT_EQ(offered.size(), 1u);
        EXPECT_EQ(offered[0].first, purpose);
        EXPECT_EQ(offered[0].second, home.experimentFolder() + "/kit-PI-" + local + "." + ending);
    }
    EXPECT_TRUE(QDir(home.experimentFolder()).exists()); // made for the dialog
    EXPECT_TRUE(QDir(home.experimentFolder()).isEmpty());

    RunSettings open = s;
    open.mode = RunMode::OpenLoop;
    open.start += std::chrono::hours(24);
    auto second = std::make_shared<RunRecord>(100);
    second->start(open);
    second->append(rowOf(1, 0, 0));
    second->stop();
    w.compare({{"open", second}, {"kit", std::make_shared<RunRecord>(record)}});
    offered.clear();
    w.button(Text::SavePlot)->click();
    ASSERT_EQ(offered.size(), 1u);
    const QString nextDay = QDateTime::fromString(QStringLiteral("2026-12-12T13:30:25Z"), Qt::ISODate)
                                .toLocalTime()
                                .toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    EXPECT_EQ(offered[0].second, home.experimentFolder() + "/open-" + nextDay + ".png");
}
