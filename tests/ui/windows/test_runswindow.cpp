// The Runs window on a library of three runs: the list and its sorting in
// both languages, rename, note, delete, export, open, compare and pin, with
// every dialog answered by the test; and the run window's comparison.
#include "engine/RunRecord.h"
#include "engine/StepFigures.h"
#include "store/RunLibrary.h"
#include "tests/support/ScratchHome.h"
#include "ui/texts/LabTexts.h"
#include "ui/windows/RunWindow.h"
#include "ui/windows/RunsWindow.h"

#include <QAbstractAxis>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace tervalo;
using Column = RunsTableModel::Column;

namespace {

const auto kStart = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796870000);

RunSettings piSettings()
{
    RunSettings s;
    s.start = kStart;
    s.mode = RunMode::Simulation;
    s.controller = RunController::PI;
    s.kp = 0.75;
    s.ki = 0.125;
    s.kd = kNoValue;
    s.reference = 1000;
    s.load = 1;
    return s;
}

RunSettings fuzzySettings()
{
    RunSettings s;
    s.start = kStart + std::chrono::seconds(100);
    s.mode = RunMode::Kit;
    s.controller = RunController::Fuzzy;
    s.kp = s.ki = s.kd = kNoValue;
    s.errorDivisor = 3;
    s.outputDivisor = 12;
    s.errorRange = 1200;
    s.deltaRange = 400;
    s.outputRange = 100;
    const char *terms[] = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
    for (std::size_t k = 0; k < 7; ++k)
        s.termNames[k] = terms[k];
    for (std::size_t k = 0; k < 49; ++k)
        s.rules[k] = terms[k % 7];
    s.reference = 1200;
    s.load = 3;
    return s;
}

RunSettings openSettings()
{
    RunSettings s = piSettings();
    s.start = kStart + std::chrono::seconds(200);
    s.mode = RunMode::OpenLoop;
    s.kp = s.ki = s.kd = kNoValue;
    return s;
}

// A first-order response at the given pace toward the reference (pace 0:
// the output never moves, so the figures of a step cannot be had).
void fill(RunRecord &record, const RunSettings &s, int cycles, double pace)
{
    record.start(s);
    double y = 0;
    for (int k = 1; k <= cycles; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = s.reference;
        row.y = std::round(y);
        row.e = s.reference - row.y;
        row.u = std::round(row.e * 2);
        record.append(row);
        y += (s.reference - y) * pace;
    }
    record.stop();
}

class RunsWindowTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::vector<std::int64_t> ids; // pi, fuzzy, open
    std::unique_ptr<RunsWindow> w;
    std::vector<std::pair<QString, QString>> errors;
    std::vector<QString> questions;

    QString path() const { return dir.filePath(QStringLiteral("runs.sqlite")); }

    void SetUp() override
    {
        RunLibrary library(path());
        const std::tuple<RunSettings, int, double> runs[] = {
            {piSettings(), 120, 0.2}, {fuzzySettings(), 90, 0.08}, {openSettings(), 40, 0}};
        for (const auto &[settings, cycles, pace] : runs) {
            RunRecord r(200);
            fill(r, settings, cycles, pace);
            const std::optional<std::int64_t> id = library.store(r);
            ASSERT_TRUE(id) << library.error().message().toStdString();
            ids.push_back(*id);
        }
        w = std::make_unique<RunsWindow>(path());
        w->showError = [this](const QString &t, const QString &m) { errors.emplace_back(t, m); };
        w->confirm = [](const QString &, const QString &) {
            ADD_FAILURE() << "no question expected";
            return false;
        };
        w->askText = [](const QString &, const QString &, const QString &) -> std::optional<QString> {
            ADD_FAILURE() << "no text expected";
            return std::nullopt;
        };
        w->askNote = [](const QString &, const QString &, const QString &) -> std::optional<QString> {
            ADD_FAILURE() << "no note expected";
            return std::nullopt;
        };
        w->refresh();
    }

    // The shown text of a run's cell.
    QString cell(std::int64_t id, Column c) const
    {
        const QSortFilterProxyModel *m = w->sorted();
        for (int row = 0; row < m->rowCount(); ++row)
            if (m->index(row, 0).data(RunsTableModel::IdRole).toLongLong() == id)
                return m->index(row, c).data().toString();
        return QStringLiteral("<no such run>");
    }
    std::vector<std::int64_t> shownOrder() const
    {
        std::vector<std::int64_t> out;
        for (int row = 0; row < w->sorted()->rowCount(); ++row)
            out.push_back(w->sorted()->index(row, 0).data(RunsTableModel::IdRole).toLongLong());
        return out;
    }
    StoredRun storedRun(std::int64_t id)
    {
        for (const StoredRun &r : RunLibrary(path()).list())
            if (r.id == id)
                return r;
        return {};
    }
};

TEST_F(RunsWindowTest, ListsTheRunsNewestFirstAndSortsFiguresAsNumbers)
{
    ASSERT_EQ(w->model()->rowCount(), 3);
    EXPECT_EQ(shownOrder(), (std::vector<std::int64_t>{ids[2], ids[1], ids[0]}));

    const StoredRun pi = storedRun(ids[0]);
    EXPECT_EQ(cell(ids[0], Column::Date),
              QDateTime::fromString(QStringLiteral("2026-12-10T02:33:20Z"), Qt::ISODate)
                  .toLocalTime()
                  .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    EXPECT_EQ(pi.startUtc, QStringLiteral("2026-12-10T02:33:20Z"));
    EXPECT_EQ(cell(ids[0], Column::Mode), QStringLiteral("Feedback Simulation"));
    EXPECT_EQ(cell(ids[0], Column::Controller), QStringLiteral("PI"));
    EXPECT_EQ(cell(ids[0], Column::Settings), QStringLiteral("Kp=0.75 Ki=0.125"));
    // three significant digits and the unit, the whole value in the tooltip
    EXPECT_EQ(cell(ids[0], Column::RiseTime), LabTexts::significant(pi.riseTime) + QStringLiteral(" s"));
    EXPECT_EQ(cell(ids[0], Column::Iae), LabTexts::significant(pi.iae) + QStringLiteral(" Volt·s"));
    EXPECT_EQ(cell(ids[1], Column::Mode), QStringLiteral("Feedback Implementation"));
    EXPECT_EQ(cell(ids[1], Column::Controller), QStringLiteral("Fuzzy Logic"));
    EXPECT_EQ(cell(ids[1], Column::Settings), QStringLiteral("3 / 12"));
    EXPECT_EQ(cell(ids[2], Column::Mode), QStringLiteral("Open Loop"));
    EXPECT_EQ(cell(ids[2], Column::Controller), QStringLiteral("–"));
    EXPECT_EQ(cell(ids[2], Column::RiseTime), QStringLiteral("–"));
    EXPECT_TRUE(w->status()->text().contains(path()));

    // the quicker PI run rises first; the flat run has no rise time and comes last
    ASSERT_LT(pi.riseTime, storedRun(ids[1]).riseTime);
    w->table()->sortByColumn(Column::RiseTime, Qt::AscendingOrder);
    EXPECT_EQ(shownOrder(), (std::vector<std::int64_t>{ids[0], ids[1], ids[2]}));
    w->table()->sortByColumn(Column::Overshoot, Qt::DescendingOrder);
    EXPECT_EQ(shownOrder().front(), ids[2]); // a missing overshoot above every number

    w->setLanguage(false);
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Çalışmalar"));
    EXPECT_EQ(w->sorted()->headerData(Column::Date, Qt::Horizontal).toString(), QStringLiteral("Tarih"));
    EXPECT_EQ(w->sorted()->headerData(Column::RiseTime, Qt::Horizontal).toString(),
              QString::fromUtf8("Yükselme süresi (s)"));
    EXPECT_EQ(cell(ids[0], Column::Mode), QStringLiteral("Simulasyon"));
    EXPECT_EQ(cell(ids[1], Column::Controller), QString::fromUtf8("Bulanık Mantık"));
    EXPECT_EQ(w->action(RunsWindow::Text::Compare)->text(), QString::fromUtf8("Karşılaştır"));
    EXPECT_TRUE(w->status()->text().contains(QString::fromUtf8("kayıtlı çalışma")));
}

TEST_F(RunsWindowTest, RenamesAndNotesAreKeptInTheLibrary)
{
    std::vector<QString> asked;
    std::optional<QString> answer = QStringLiteral("PI, quick");
    w->askText = [&](const QString &, const QString &label, const QString &current) {
        asked.push_back(label + QLatin1Char('|') + current);
        return answer;
    };
    w->select({ids[0]});
    w->action(RunsWindow::Text::Rename)->trigger();
    EXPECT_EQ(storedRun(ids[0]).name, QStringLiteral("PI, quick"));
    EXPECT_EQ(cell(ids[0], Column::Name), QStringLiteral("PI, quick"));
    EXPECT_EQ(w->selectedIds(), std::vector<std::int64_t>{ids[0]}); // the selection stays

    answer.reset(); // cancelled
    w->action(RunsWindow::Text::Rename)->trigger();
    EXPECT_EQ(storedRun(ids[0]).name, QStringLiteral("PI, quick"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1], QStringLiteral("Name of the run:|PI, quick"));

    answer = QStringLiteral("load moved\nat cycle 40");
    w->askNote = w->askText; // the note's editor answers the same way
    w->action(RunsWindow::Text::EditNote)->trigger();
    EXPECT_EQ(storedRun(ids[0]).note, QStringLiteral("load moved\nat cycle 40"));
    EXPECT_EQ(cell(ids[0], Column::Note), QStringLiteral("load moved at cycle 40")); // one line

    // edited in the table itself
    const QModelIndex name = w->sorted()->index(0, Column::Name); // newest: the open run
    EXPECT_TRUE(w->sorted()->flags(name) & Qt::ItemIsEditable);
    EXPECT_FALSE(w->sorted()->flags(w->sorted()->index(0, Column::Mode)) & Qt::ItemIsEditable);
    EXPECT_TRUE(w->sorted()->setData(name, QStringLiteral("open, flat")));
    EXPECT_EQ(storedRun(ids[2]).name, QStringLiteral("open, flat"));
    EXPECT_TRUE(errors.empty());
}

// "Edit note…" asks through the editor of several lines, starting at the
// run's note; a cancelled editor leaves the note as it was.
TEST_F(RunsWindowTest, TheNoteIsEditedOnSeveralLines)
{
    std::vector<QString> asked;
    std::optional<QString> answer = QStringLiteral("load moved at cycle 40\nspeed fell to 800 rpm\nback at 60");
    w->askNote = [&](const QString &title, const QString &label, const QString &current) {
        asked.push_back(title + '|' + label + '|' + current);
        return answer;
    };
    w->select({ids[1]});
    w->action(RunsWindow::Text::EditNote)->trigger();
    EXPECT_EQ(storedRun(ids[1]).note, *answer);
    EXPECT_EQ(cell(ids[1], Column::Note), QStringLiteral("load moved at cycle 40 speed fell to 800 rpm back at 60"));

    const QString kept = *answer;
    answer.reset(); // cancelled
    w->setLanguage(false);
    w->action(RunsWindow::Text::EditNote)->trigger();
    EXPECT_EQ(storedRun(ids[1]).note, kept);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], QStringLiteral("Runs|Note on the run:|"));
    EXPECT_EQ(asked[1], QString::fromUtf8("Çalışmalar|Çalışmayla ilgili not:|") + kept);

    // a double click on a note opens its editor, not an editor of one line
    answer = QStringLiteral("flat\nas expected");
    for (int row = 0; row < w->sorted()->rowCount(); ++row) {
        const QModelIndex at = w->sorted()->index(row, Column::Note);
        if (at.data(RunsTableModel::IdRole).toLongLong() != ids[2])
            continue;
        EXPECT_FALSE(w->sorted()->flags(at) & Qt::ItemIsEditable);
        emit w->table()->doubleClicked(at);
    }
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(storedRun(ids[2]).note, *answer);
    EXPECT_EQ(w->selectedIds(), std::vector<std::int64_t>{ids[2]});
    EXPECT_EQ(w->runWindow(), nullptr); // nothing opened
    EXPECT_TRUE(errors.empty());
}

// The name and note columns as wide as their texts (the note on one line) up
// to a cap, the tooltip whole; a width the student set stays until the texts
// change.
TEST_F(RunsWindowTest, NameAndNoteColumnsFitTheirTexts)
{
    const QHeaderView *header = w->table()->horizontalHeader();
    const QFontMetrics fm = w->table()->fontMetrics();
    const auto width = [header](Column c) { return header->sectionSize(c); };
    const auto tooltip = [this](std::int64_t id, Column c) {
        for (int row = 0; row < w->sorted()->rowCount(); ++row) {
            const QModelIndex at = w->sorted()->index(row, c);
            if (at.data(RunsTableModel::IdRole).toLongLong() == id)
                return at.data(Qt::ToolTipRole).toString();
        }
        return QString();
    };
    const int nameAlone = width(Column::Name); // no names yet: the heading's
    EXPECT_GE(nameAlone, fm.horizontalAdvance(QStringLiteral("Name")));

    const QString name = QStringLiteral("Group 3: PI, quick response with load");
    ASSERT_TRUE(w->renameRun(ids[0], name));
    EXPECT_GE(width(Column::Name), fm.horizontalAdvance(name) + 6);
    const QString note = QStringLiteral("load moved at 40\nspeed fell to 800 rpm");
    ASSERT_TRUE(w->setNote(ids[1], note));
    EXPECT_GE(width(Column::Note), fm.horizontalAdvance(QString(note).replace('\n', ' ')) + 6);

    // past the cap: cut short, whole in the tooltip
    const QString essay = QStringLiteral("The load was moved by hand at cycle 40; ").repeated(8);
    ASSERT_TRUE(w->setNote(ids[2], essay));
    EXPECT_LT(width(Column::Note), fm.horizontalAdvance(essay) / 2);
    EXPECT_LE(width(Column::Note), 400);
    EXPECT_EQ(tooltip(ids[2], Column::Note), essay);
    EXPECT_EQ(tooltip(ids[0], Column::Name), name);

    // the student's width stays over a refresh, and goes when the names want another
    const int fitted = width(Column::Name);
    w->table()->horizontalHeader()->resizeSection(Column::Name, nameAlone);
    w->refresh();
    EXPECT_EQ(width(Column::Name), nameAlone);
    const QString shorter = QStringLiteral("Group 3: PI, quick");
    ASSERT_TRUE(w->renameRun(ids[0], shorter));
    EXPECT_GE(width(Column::Name), fm.horizontalAdvance(shorter) + 6);
    EXPECT_LT(width(Column::Name), fitted);
    EXPECT_TRUE(errors.empty());
}

TEST_F(RunsWindowTest, DeletesOnlyWhatTheQuestionWasAnsweredFor)
{
    bool yes = false;
    w->confirm = [&](const QString &, const QString &question) {
        questions.push_back(question);
        return yes;
    };
    w->select({ids[0], ids[2]});
    w->action(RunsWindow::Text::Delete)->trigger();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              QStringLiteral("Delete these 2 stored runs? This cannot be undone.\n• #%1 Open Loop\n"
                             "• #%2 PI Kp=0.75 Ki=0.125")
                  .arg(ids[2])
                  .arg(ids[0]));
    EXPECT_EQ(RunLibrary(path()).list().size(), 3u);

    yes = true;
    w->action(RunsWindow::Text::Delete)->trigger();
    const std::vector<StoredRun> left = RunLibrary(path()).list();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].id, ids[1]);
    EXPECT_EQ(w->model()->rowCount(), 1);
    EXPECT_TRUE(w->selectedIds().empty());
    EXPECT_FALSE(w->action(RunsWindow::Text::Delete)->isEnabled());
}

// The delete question names the runs it deletes, by name or label, in the
// window's language; a long selection names its first ten.
TEST_F(RunsWindowTest, TheDeleteQuestionNamesTheRuns)
{
    ASSERT_TRUE(w->renameRun(ids[1], QStringLiteral("Group 3: fuzzy")));
    {
        RunLibrary library(path());
        for (int k = 0; k < 10; ++k) {
            RunRecord r(200);
            RunSettings s = piSettings();
            s.start += std::chrono::hours(1 + k);
            fill(r, s, 20, 0.2);
            const std::optional<std::int64_t> id = library.store(r);
            ASSERT_TRUE(id);
            ids.push_back(*id);
        }
    }
    w->refresh();
    const auto pi = [this](std::size_t k) { return QStringLiteral("#%1 PI Kp=0.75 Ki=0.125").arg(ids[k]); };
    QStringList firstTen; // newest first: the ten added
    for (std::size_t k = 12; k >= 3; --k)
        firstTen << QString::fromUtf8("• ") + pi(k);

    struct Case {
        std::vector<std::int64_t> runs;
        bool english;
        QString question;
    };
    const Case cases[] = {
        {{ids[0]}, true, QString::fromUtf8("Delete the stored run “%1”? This cannot be undone.").arg(pi(0))},
        {{ids[1]}, true, QString::fromUtf8("Delete the stored run “Group 3: fuzzy”? This cannot be undone.")},
        {{ids[1]}, false, QString::fromUtf8("Kayıtlı çalışma “Group 3: fuzzy” silinsin mi? Bu geri alınamaz.")},
        {{ids[1], ids[2]},
         false,
         QString::fromUtf8("Bu 2 kayıtlı çalışma silinsin mi? Bu geri alınamaz.\n• #%1 Denetimsiz\n• Group 3: fuzzy")
             .arg(ids[2])},
        {ids, true,
         QString::fromUtf8("Delete these 13 stored runs? This cannot be undone.\n%1\n… and 3 more")
             .arg(firstTen.join('\n'))},
    };
    std::vector<QString> asked;
    w->confirm = [&asked](const QString &, const QString &question) {
        asked.push_back(question);
        return false;
    };
    for (const Case &c : cases) {
        w->setLanguage(c.english);
        w->select(c.runs);
        asked.clear();
        w->action(RunsWindow::Text::Delete)->trigger();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].toStdString(), c.question.toStdString());
    }
    EXPECT_EQ(RunLibrary(path()).list().size(), 13u); // all answered no
}

TEST_F(RunsWindowTest, ExportsCsvAndJsonOrSaysWhyNot)
{
    test::ScratchHome home;
    QString chosen = dir.filePath(QStringLiteral("exported"));
    QString suggested;
    w->askPath = [&](const QString &, const QString &, const QString &s) {
        suggested = s;
        return chosen;
    };
    w->select({ids[1]});
    w->action(RunsWindow::Text::Export)->trigger();
    // an unnamed run: its mode, controller and local start, in the experiment folder
    const QString start = QDateTime::fromString(QStringLiteral("2026-12-10T02:35:00Z"), Qt::ISODate)
                              .toLocalTime()
                              .toString(QStringLiteral("yyyy-MM-dd-HHmm"));
    EXPECT_EQ(suggested, home.experimentFolder() + "/kit-fuzzy-" + start + ".csv");
    QFile csv(dir.filePath(QStringLiteral("exported.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), 91); // the header and 90 rows
    QFile json(dir.filePath(QStringLiteral("exported.json")));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(json.readAll()).object();
    EXPECT_EQ(o.value(QStringLiteral("controller")).toString(), QStringLiteral("fuzzy"));
    EXPECT_TRUE(errors.empty());

    EXPECT_FALSE(o.contains(QStringLiteral("name")));

    // a named run offers its name and carries it and its note
    ASSERT_TRUE(w->renameRun(ids[1], QStringLiteral("Group 3: fuzzy, slow")));
    ASSERT_TRUE(w->setNote(ids[1], QStringLiteral("load moved\nat cycle 40")));
    chosen = dir.filePath(QStringLiteral("named.csv"));
    w->action(RunsWindow::Text::Export)->trigger();
    EXPECT_EQ(suggested, home.experimentFolder() + "/Group 3_ fuzzy, slow.csv");
    QFile named(dir.filePath(QStringLiteral("named.json")));
    ASSERT_TRUE(named.open(QIODevice::ReadOnly));
    const QJsonObject n = QJsonDocument::fromJson(named.readAll()).object();
    EXPECT_EQ(n.value(QStringLiteral("name")).toString(), QStringLiteral("Group 3: fuzzy, slow"));
    EXPECT_EQ(n.value(QStringLiteral("note")).toString(), QStringLiteral("load moved\nat cycle 40"));
    // opened, the Run window's header and report carry the name and note
    ASSERT_TRUE(w->openRun(ids[1]));
    EXPECT_TRUE(w->runWindow()->headerLine().endsWith(QString::fromUtf8("“Group 3: fuzzy, slow”")))
        << w->runWindow()->headerLine().toStdString();
    EXPECT_TRUE(
        w->runWindow()->reportHtml(QStringLiteral("p.png")).contains(QStringLiteral("load moved<br>at cycle 40")));
    EXPECT_EQ(n.value(QStringLiteral("controller")).toString(), QStringLiteral("fuzzy"));

    chosen = dir.filePath(QStringLiteral("no-such-folder/run.csv"));
    w->action(RunsWindow::Text::Export)->trigger();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].second.startsWith(dir.filePath(QStringLiteral("no-such-folder/run."))))
        << errors[0].second.toStdString();
    EXPECT_TRUE(errors[0].second.contains(QLatin1String("No such file or directory")))
        << errors[0].second.toStdString();
}

TEST_F(RunsWindowTest, OpensOneRunAndComparesSeveral)
{
    w->select({ids[0]});
    w->action(RunsWindow::Text::Open)->trigger();
    RunWindow *rw = w->runWindow();
    ASSERT_NE(rw, nullptr);
    EXPECT_TRUE(rw->isVisible());
    EXPECT_FALSE(rw->comparing());
    EXPECT_EQ(rw->plottedRows(), 120u);
    EXPECT_EQ(rw->windowTitle(), QStringLiteral("Run — #%1 PI Kp=0.75 Ki=0.125").arg(ids[0]));

    w->select({ids[0], ids[1], ids[2]});
    EXPECT_FALSE(w->action(RunsWindow::Text::Open)->isEnabled());
    w->action(RunsWindow::Text::Compare)->trigger();
    ASSERT_TRUE(rw->comparing());
    EXPECT_EQ(w->runWindow(), rw);
    const QStringList labels{QStringLiteral("#%1 Open Loop").arg(ids[2]),
                             QStringLiteral("#%1 Fuzzy Logic 3 / 12").arg(ids[1]),
                             QStringLiteral("#%1 PI Kp=0.75 Ki=0.125").arg(ids[0])};
    EXPECT_EQ(rw->legendNames(), labels);
    EXPECT_EQ(rw->windowTitle(), QStringLiteral("Compared runs"));
    EXPECT_FALSE(rw->button(RunWindow::Text::SaveData)->isEnabled());
    // the comparison is saved: its figures side by side, the overlay as a picture
    ASSERT_TRUE(rw->button(RunWindow::Text::SaveFigures));
    EXPECT_FALSE(rw->button(RunWindow::Text::SaveFigures)->isHidden());
    const QString figures = dir.filePath(QStringLiteral("compared"));
    ASSERT_FALSE(rw->saveComparedFigures(figures));
    QFile csv(figures + QStringLiteral(".csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    EXPECT_EQ(lines[0].trimmed(), (QStringLiteral("figure,") + labels.join(QLatin1Char(','))).toUtf8());
    EXPECT_TRUE(lines[1].startsWith("rise_time_s,")) << lines[1].toStdString();
    ASSERT_FALSE(rw->savePlot(dir.filePath(QStringLiteral("compared.pdf"))));
    QFile pdf(dir.filePath(QStringLiteral("compared.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
    EXPECT_TRUE(rw->button(RunWindow::Text::SavePlot)->isEnabled());

    // each run in its own colour, its output drawn whole
    std::set<QRgb> colours;
    for (QAbstractSeries *s : rw->compareView()->chart()->series())
        if (auto *line = qobject_cast<QLineSeries *>(s); line && !line->name().isEmpty())
            colours.insert(line->pen().color().rgb());
    EXPECT_EQ(colours.size(), 3u);
    const std::size_t rows[] = {40, 90, 120};
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(rw->comparedPoints(k).size(), static_cast<qsizetype>(rows[k]));
    // the simulated run in volts on an axis of its own, the kit's in rpm on the left
    for (QAbstractSeries *s : rw->compareView()->chart()->series()) {
        auto *line = qobject_cast<QLineSeries *>(s);
        if (!line || line->name().isEmpty())
            continue;
        const bool simulated = line->name() == labels[2];
        bool onTheRight = false;
        for (QAbstractAxis *axis : line->attachedAxes())
            if (axis->alignment() == Qt::AlignRight) {
                onTheRight = true;
                EXPECT_TRUE(axis->titleText().contains(QStringLiteral("Volt"))) << axis->titleText().toStdString();
            } else if (axis->alignment() == Qt::AlignLeft) {
                EXPECT_TRUE(axis->titleText().contains(QStringLiteral("rpm"))) << axis->titleText().toStdString();
            }
        EXPECT_EQ(onTheRight, simulated) << line->name().toStdString();
    }

    // figures side by side, one column a run
    QTableWidget *t = rw->figureTable();
    ASSERT_EQ(t->columnCount(), 4);
    const std::int64_t shown[] = {ids[2], ids[1], ids[0]};
    for (int c = 1; c < 4; ++c) {
        EXPECT_EQ(t->horizontalHeaderItem(c)->text(), QStringLiteral("#%1").arg(shown[c - 1]));
        EXPECT_EQ(t->horizontalHeaderItem(c)->toolTip(), labels[c - 1]);
    }
    // three significant digits and the unit side by side, whole in the tooltip
    const StoredRun pi = storedRun(ids[0]);
    EXPECT_EQ(t->item(0, 3)->toolTip(), QString::fromStdString(shortestDecimal(pi.riseTime)));
    EXPECT_EQ(t->item(0, 3)->text(), LabTexts::significant(pi.riseTime) + QStringLiteral(" s"));
    EXPECT_EQ(t->item(0, 1)->text(), QStringLiteral("n/a"));

    // the language switch and a rename reach the names shown
    w->setLanguage(false);
    EXPECT_EQ(rw->windowTitle(), QString::fromUtf8("Karşılaştırılan çalışmalar"));
    EXPECT_EQ(t->item(0, 1)->text(), QStringLiteral("yok"));
    EXPECT_EQ(t->horizontalHeaderItem(0)->text(), QString::fromUtf8("Ölçüt"));
    EXPECT_EQ(rw->legendNames()[1], QString::fromUtf8("#%1 Bulanık Mantık 3 / 12").arg(ids[1]));
    w->setLanguage(true);
    EXPECT_TRUE(w->renameRun(ids[1], QStringLiteral("fuzzy, slow")));
    EXPECT_EQ(rw->legendNames()[1], QStringLiteral("fuzzy, slow"));
    EXPECT_EQ(t->horizontalHeaderItem(2)->text(), QStringLiteral("fuzzy, slow"));

    const QImage plot = rw->plotImage();
    EXPECT_FALSE(plot.isNull());

    // one run again: the single plot and two columns
    w->select({ids[1]});
    w->openSelected();
    EXPECT_FALSE(rw->comparing());
    EXPECT_EQ(t->columnCount(), 2);
    EXPECT_TRUE(rw->legendNames().contains(QStringLiteral("Y(t) output")));
    EXPECT_EQ(rw->plottedRows(), 90u);
    EXPECT_TRUE(rw->button(RunWindow::Text::SaveData)->isEnabled());
}

TEST_F(RunsWindowTest, PinningHandsOverTheSelectedRunsRecord)
{
    EXPECT_FALSE(w->action(RunsWindow::Text::Pin)->isVisible()); // nobody takes it yet
    std::vector<std::vector<double>> pinned;
    int unpinned = 0;
    w->pinBaseline = [&](const RunRecord *r, const QString &) {
        if (!r) {
            ++unpinned;
            return;
        }
        std::vector<double> y;
        for (const RunRow &row : r->rows())
            y.push_back(row.y);
        pinned.push_back(y);
    };
    w->select({ids[1]});
    EXPECT_TRUE(w->action(RunsWindow::Text::Pin)->isVisible());
    EXPECT_FALSE(w->action(RunsWindow::Text::Unpin)->isEnabled());
    w->action(RunsWindow::Text::Pin)->trigger();
    ASSERT_EQ(pinned.size(), 1u);
    RunRecord expected(200);
    fill(expected, fuzzySettings(), 90, 0.08);
    ASSERT_EQ(pinned[0].size(), 90u);
    for (std::size_t k = 0; k < 90; ++k)
        EXPECT_EQ(pinned[0][k], expected.row(k).y);
    EXPECT_TRUE(w->action(RunsWindow::Text::Unpin)->isEnabled());
    // the list marks the pinned run
    const auto bold = [&](std::int64_t id) {
        for (int r = 0; r < w->model()->rowCount(); ++r) {
            const QModelIndex at = w->model()->index(r, 0);
            if (at.data(RunsTableModel::IdRole).toLongLong() == id)
                return at.data(Qt::FontRole).value<QFont>().bold();
        }
        return false;
    };
    EXPECT_TRUE(bold(ids[1]));
    EXPECT_FALSE(bold(ids[0]));
    w->action(RunsWindow::Text::Unpin)->trigger();
    EXPECT_EQ(unpinned, 1);
    EXPECT_FALSE(w->action(RunsWindow::Text::Unpin)->isEnabled());
    EXPECT_FALSE(bold(ids[1]));

    // deleting the pinned run unpins it
    w->select({ids[1]});
    w->action(RunsWindow::Text::Pin)->trigger();
    ASSERT_TRUE(w->removeRuns({ids[1]}));
    EXPECT_EQ(unpinned, 2);
    EXPECT_FALSE(w->action(RunsWindow::Text::Unpin)->isEnabled());
    EXPECT_FALSE(w->model()->pinned().has_value());
}

// An hour-long run is thinned for drawing, its peaks kept, its figures exact.
TEST(RunWindowCompare, ThinnedOutputsKeepTheirPeaks)
{
    auto longRun = std::make_shared<RunRecord>(18000);
    longRun->start(piSettings());
    for (int k = 1; k <= 18000; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = 1000;
        row.y = k == 7777 ? 1500 : 1000 + (k % 7); // one narrow spike
        row.e = row.reference - row.y;
        row.u = 900;
        longRun->append(row);
    }
    longRun->stop();
    auto shortRun = std::make_shared<RunRecord>(100);
    fill(*shortRun, piSettings(), 100, 0.2);
    RunWindow rw(shortRun);
    rw.compare({{QStringLiteral("hour"), longRun, {}}, {QStringLiteral("short"), shortRun, {}}});
    const QList<QPointF> points = rw.comparedPoints(0);
    EXPECT_LT(points.size(), 2500);
    const auto peak = std::max_element(points.begin(), points.end(),
                                       [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
    EXPECT_EQ(peak->y(), 1500);
    EXPECT_DOUBLE_EQ(peak->x(), 7777 / 5.0);
    EXPECT_EQ(points.back().x(), 18000 / 5.0);
    EXPECT_EQ(rw.figureTable()->item(6, 1)->toolTip(),
              QString::fromStdString(shortestDecimal(longRun->figures()[Metric::Iae].value)));
}

} // namespace
