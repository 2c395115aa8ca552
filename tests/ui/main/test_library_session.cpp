// The window's run library: a run is stored at STOP, databases that cannot
// take it are told once while the runs wait in memory, the program's end
// during a run, and the "Runs…" entry.
#include "ui/main/Form2Fixture.h"

#include "engine/RunRecord.h"
#include "store/RunLibrary.h"
#include "ui/main/LibrarySession.h"
#include "ui/windows/ExperimentMenu.h"
#include "ui/windows/RunWindow.h"
#include "ui/windows/RunsWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cmath>

using namespace tervalo;

namespace {

class LibrarySessionTest : public Form2Fixture {
protected:
    QTemporaryDir dir;
    LibrarySession *library = nullptr;

    QString path() const { return dir.filePath(QStringLiteral("runs.sqlite")); }

    void SetUp() override
    {
        Form2Fixture::SetUp();
        library = new LibrarySession(*form, path(), 50); // owned by the form
    }

    void pi()
    {
        selectSimulation();
        form->selectController("PI");
        form->setGainBar("Slider4", 250); // kp
        form->setGainBar("Slider5", 40);  // ki
    }
    // The writer's thread done and its answers delivered.
    void settle()
    {
        library->waitIdle();
        QCoreApplication::processEvents();
    }
    std::vector<StoredRun> stored() { return RunLibrary(path()).list(); }
};

// The whole run, rows and settings, as the window recorded it.
TEST_F(LibrarySessionTest, ARunIsStoredWholeAtStop)
{
    pi();
    form->setReference(1300);
    run(25);
    settle();
    const std::vector<StoredRun> runs = stored();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].mode, QStringLiteral("simulation"));
    EXPECT_EQ(runs[0].controller, QStringLiteral("PI"));
    EXPECT_EQ(runs[0].reference, 1300);
    EXPECT_DOUBLE_EQ(runs[0].kp, 0.25);
    EXPECT_DOUBLE_EQ(runs[0].ki, 0.04);
    EXPECT_EQ(runs[0].rows, 25);

    RunLibrary read(path());
    const std::unique_ptr<RunRecord> back = read.load(runs[0].id);
    ASSERT_TRUE(back);
    const RunRecord &shown = form->lab().record();
    ASSERT_EQ(back->size(), shown.size());
    for (std::size_t k = 0; k < shown.size(); ++k) {
        EXPECT_EQ(back->row(k).cycle, shown.row(k).cycle);
        EXPECT_EQ(back->row(k).y, shown.row(k).y);
        EXPECT_EQ(back->row(k).u, shown.row(k).u);
    }
    EXPECT_EQ(utcText(back->settings().start), utcText(shown.settings().start));
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(library->unsaved(), 0u);

    // a START with no cycle before STOP is no run; the next real one is
    run(0);
    run(3);
    settle();
    const std::vector<StoredRun> after = stored();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].rows, 3); // newest first
}

// A second copy holds the database: one notice naming it, the runs wait in
// memory, and "Retry saving" stores them once the lock is gone.
TEST_F(LibrarySessionTest, ALockedDatabaseKeepsTheRunsUntilRetried)
{
    {
        RunLibrary create(path());
        ASSERT_TRUE(create.usable());
    }
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("second-copy"));
    other.setDatabaseName(path());
    ASSERT_TRUE(other.open());
    auto hold = std::make_unique<QSqlQuery>(other);
    ASSERT_TRUE(hold->exec(QStringLiteral("BEGIN EXCLUSIVE")));

    pi();
    run(8);
    settle();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_TRUE(notices[0].startsWith(RunsWindow::text(RunsWindow::Text::NoticeNotStored, true)));
    EXPECT_TRUE(notices[0].contains(path())) << notices[0].toStdString();
    EXPECT_TRUE(notices[0].contains(QLatin1String("locked"))) << notices[0].toStdString();
    EXPECT_EQ(library->unsaved(), 1u);

    run(5); // tried again at this STOP: still locked, told no more
    settle();
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_EQ(library->unsaved(), 2u);

    library->showRunsWindow();
    RunsWindow *w = library->runsWindow();
    ASSERT_NE(w, nullptr);
    QAction *retry = w->action(RunsWindow::Text::Retry);
    EXPECT_TRUE(retry->isEnabled());
    EXPECT_TRUE(w->status()->text().contains(RunsWindow::text(RunsWindow::Text::Unsaved, true).arg(2)))
        << w->status()->text().toStdString();
    // the list is shown while the other copy writes
    EXPECT_TRUE(w->status()->text().startsWith(RunsWindow::text(RunsWindow::Text::Listed, true).arg(0).arg(path())))
        << w->status()->text().toStdString();

    ASSERT_TRUE(hold->exec(QStringLiteral("COMMIT")));
    hold.reset();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("second-copy"));

    retry->trigger();
    settle();
    EXPECT_EQ(library->unsaved(), 0u);
    EXPECT_FALSE(retry->isEnabled());
    EXPECT_EQ(notices.size(), 1u);
    ASSERT_EQ(w->model()->rowCount(), 2); // the open window took the new runs
    std::vector<std::int64_t> rows;
    for (const StoredRun &r : stored())
        rows.push_back(r.rows);
    EXPECT_EQ(rows, (std::vector<std::int64_t>{5, 8}));
}

// A file that is no database: told once in the window's language, the
// program goes on running, and the Runs window says why it has no list.
TEST_F(LibrarySessionTest, ACorruptDatabaseIsToldOnceInTheWindowsLanguage)
{
    struct Case {
        int language;
        bool english;
    };
    for (const Case c : {Case{0, true}, Case{1, false}}) {
        SCOPED_TRACE(c.english);
        notices.clear();
        const QString file = dir.filePath(QStringLiteral("corrupt-%1.sqlite").arg(c.language));
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        makeForm(&port);
        ctl(*form).Dil(c.language)->setValue(true);
        library = new LibrarySession(*form, file, 50);

        pi();
        run(6);
        run(6);
        settle();
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(notices[0].startsWith(RunsWindow::text(RunsWindow::Text::NoticeNotStored, c.english)));
        EXPECT_TRUE(notices[0].contains(file));
        EXPECT_TRUE(notices[0].contains(QLatin1String("not a database"))) << notices[0].toStdString();
        EXPECT_EQ(form->lab().record().size(), 6u); // the runs went on
        EXPECT_EQ(library->unsaved(), 2u);

        library->showRunsWindow();
        EXPECT_EQ(library->runsWindow()->model()->rowCount(), 0);
        EXPECT_TRUE(library->runsWindow()->problem().contains(QLatin1String("not a database")));
        EXPECT_TRUE(library->runsWindow()->status()->text().startsWith(
            RunsWindow::text(RunsWindow::Text::CannotOpen, c.english)));
    }
}

// The way out of the program does not pass STOP: the run still going is
// stored when the application quits.
TEST_F(LibrarySessionTest, TheRunGoingWhenTheProgramEndsIsStored)
{
    pi();
    int cycles = 0;
    run(30, [&](int cycle) {
        cycles = cycle;
        if (cycle == 12)
            form->endProgram();
    });
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(form->lab().record().running()); // no STOP reached the record
    settle();
    EXPECT_TRUE(stored().empty());

    library->finish();
    const std::vector<StoredRun> runs = stored();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].rows, static_cast<std::int64_t>(form->lab().record().size()));
    EXPECT_GE(runs[0].rows, 11);
    library->finish(); // once only
    EXPECT_EQ(stored().size(), 1u);
}

TEST_F(LibrarySessionTest, RunsEntryOnTheGraphMenuAndItsShortcut)
{
    QAction *a = library->runsAction();
    EXPECT_TRUE(form->graphMenu()->actions().contains(a));
    EXPECT_TRUE(form->actions().contains(a));
    EXPECT_EQ(a->shortcut(), RunsWindow::shortcut());
    for (QAction *other : form->actions()) {
        if (other != a) {
            EXPECT_NE(other->shortcut(), a->shortcut()) << other->text().toStdString();
        }
    }
    EXPECT_EQ(a->text(), QStringLiteral("Runs…"));

    pi();
    run(4);
    settle();
    a->trigger();
    RunsWindow *w = library->runsWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->model()->rowCount(), 1);

    run(7); // the list follows a new stored run
    settle();
    EXPECT_EQ(w->model()->rowCount(), 2);

    ctl(*form).Dil(1)->setValue(true);
    EXPECT_EQ(a->text(), QString::fromUtf8("Çalışmalar…"));
    EXPECT_FALSE(w->english());
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Çalışmalar"));
}

// The Runs window pins onto the lab: the pinned run's cycles become the
// lab's baseline, and Unpin clears it.
TEST_F(LibrarySessionTest, PinningIsHandedOnToTheLab)
{
    pi();
    run(9);
    settle();
    library->showRunsWindow();
    RunsWindow *w = library->runsWindow();
    EXPECT_TRUE(w->action(RunsWindow::Text::Pin)->isVisible());
    w->select({w->model()->runs().front().id});
    w->action(RunsWindow::Text::Pin)->trigger();
    EXPECT_TRUE(form->lab().hasBaseline());
    EXPECT_EQ(form->lab().baselineCycles(), 9u);
    w->action(RunsWindow::Text::Unpin)->trigger();
    EXPECT_FALSE(form->lab().hasBaseline());
}

// Unpinned from the graph's menu, the Runs window's Unpin goes grey as well.
TEST_F(LibrarySessionTest, TheRunsWindowFollowsTheGraphsBaseline)
{
    ExperimentMenu graphMenu(form->lab(), form->menuHost());
    pi();
    run(9);
    settle();
    library->showRunsWindow();
    RunsWindow *w = library->runsWindow();
    QAction *unpin = w->action(RunsWindow::Text::Unpin);
    EXPECT_FALSE(unpin->isEnabled());
    w->select({w->model()->runs().front().id});
    w->action(RunsWindow::Text::Pin)->trigger();
    EXPECT_TRUE(form->lab().hasBaseline());
    EXPECT_TRUE(unpin->isEnabled());

    emit form->graphMenu()->aboutToShow();
    graphMenu.unpinAction()->trigger();
    EXPECT_FALSE(form->lab().hasBaseline());
    EXPECT_FALSE(w->pinned());
    EXPECT_FALSE(unpin->isEnabled());

    // pinned elsewhere while the window is closed: known when it opens again
    w->close();
    form->lab().setBaseline({1000, 1010}, QStringLiteral("lab"));
    library->showRunsWindow();
    EXPECT_TRUE(unpin->isEnabled());
    unpin->trigger();
    EXPECT_FALSE(form->lab().hasBaseline());

    // one name for the baseline in both windows, in both languages
    for (bool english : {true, false}) {
        EXPECT_EQ(RunsWindow::text(RunsWindow::Text::Unpin, english),
                  ExperimentMenu::text(ExperimentMenu::Text::MenuUnpin, english));
        const QString name = english ? QStringLiteral("aseline") : QStringLiteral("Karşılaştırma eğrisi");
        for (QString t : {RunsWindow::text(RunsWindow::Text::Pin, english),
                          ExperimentMenu::text(ExperimentMenu::Text::StatusBaseline, english)})
            EXPECT_TRUE(t.contains(name, Qt::CaseInsensitive)) << t.toStdString();
    }
}

} // namespace
