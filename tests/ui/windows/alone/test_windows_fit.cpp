// The secondary windows on a student's 1024 x 768 screen: in both languages
// each one's smallest and first size leave room for the title bar and the
// desktop's panel, and at its smallest size its one-line texts (labels,
// buttons, the figure names of the Run window's table) are whole.
#include "tests/support/FakeLab.h"
#include "ui/windows/RunWindow.h"
#include "ui/windows/RunsWindow.h"
#include "ui/windows/SurfaceWindow.h"
#include "ui/windows/TuningWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QTableWidget>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tervalo;
using tervalo::test::FakeLab;

namespace {

// 1024 x 768 less the desktop's panel, and the window's frame and title bar
// in that: what the window itself may take
constexpr QSize kScreen(1024, 720);
constexpr QSize kFrame(2 * 4, 30 + 4);
constexpr QSize kRoom = kScreen - kFrame;
// the smallest size well within that, for a window to share the screen
constexpr QSize kLeast(800, 600);

void settle(QWidget &w)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    w.layout()->activate();
}

std::string sizeText(const QSize &s)
{
    return std::to_string(s.width()) + "x" + std::to_string(s.height());
}

// A run with two reference steps: the figures of three stretches beside the
// whole run's.
std::shared_ptr<RunRecord> steppedRun(const RunSettings &settings)
{
    auto run = std::make_shared<RunRecord>(200);
    run->start(settings);
    for (int k = 1; k <= 60; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = k <= 20 ? 1000 : k <= 40 ? 1500 : 800;
        row.y = k % 20 == 1 ? row.reference / 2 : row.reference;
        row.e = row.reference - row.y;
        row.u = 1500;
        run->append(row);
    }
    run->stop();
    return run;
}

// The window's sizes, then its one-line texts at its smallest size.
void expectFits(QWidget &w, const std::string &what)
{
    w.show();
    settle(w);
    const QSize least = w.minimumSizeHint().expandedTo(w.minimumSize());
    EXPECT_LE(least.width(), kLeast.width()) << what << " at least " << sizeText(least);
    EXPECT_LE(least.height(), kLeast.height()) << what << " at least " << sizeText(least);
    EXPECT_LE(w.width(), kRoom.width()) << what << " opens " << sizeText(w.size());
    EXPECT_LE(w.height(), kRoom.height()) << what << " opens " << sizeText(w.size());
    EXPECT_GE(w.width(), least.width()) << what;
    EXPECT_GE(w.height(), least.height()) << what;
    // at its first size every entry of its tool bars shows, none behind "»"
    for (const QToolBar *bar : w.findChildren<QToolBar *>())
        for (QAction *a : bar->actions())
            if (a->isVisible() && !a->isSeparator()) {
                const QWidget *button = bar->widgetForAction(a);
                EXPECT_TRUE(button && button->isVisible()) << what << ": " << a->text().toStdString();
            }

    w.resize(least);
    settle(w);
    for (const QLabel *label : w.findChildren<QLabel *>())
        if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty())
            EXPECT_GE(label->width(), label->sizeHint().width()) << what << ": " << label->text().toStdString();
    for (const QAbstractButton *b : w.findChildren<QAbstractButton *>())
        if (b->isVisible() && !b->text().isEmpty())
            EXPECT_GE(b->width(), b->sizeHint().width()) << what << ": " << b->text().toStdString();
}

// The figure names of the Run window's table on one line and whole.
void expectFigureNamesWhole(const RunWindow &w, const std::string &what)
{
    const QTableWidget *t = w.figureTable();
    EXPECT_FALSE(t->wordWrap()) << what;
    const QFontMetrics fm(t->font());
    for (int row = 0; row < t->rowCount(); ++row) {
        const QString name = t->item(row, 0)->text();
        // the text and the cell's margins of the style
        EXPECT_GE(t->columnWidth(0), fm.horizontalAdvance(name) + 6) << what << ": " << name.toStdString();
    }
}

} // namespace

TEST(WindowsFit, OnAStudentsScreenInBothLanguages)
{
    for (const bool english : {true, false}) {
        const std::string language = english ? " (English)" : " (Turkish)";
        FakeLab f(english);
        f.lab.reportLanguage(english);

        RunWindow run(f.lab.record());
        run.setLanguage(english);
        expectFits(run, "Run window" + language);
        expectFigureNamesWhole(run, "Run window" + language);

        // the figures of each stretch take columns, a comparison one a run
        const std::shared_ptr<RunRecord> stepped = steppedRun(f.settings());
        RunWindow stretches(f.lab.record());
        stretches.setLanguage(english);
        stretches.setRecord(stepped, QStringLiteral("#12 P Kp=0.5"));
        ASSERT_EQ(stretches.figureTable()->columnCount(), 5);
        expectFits(stretches, "Run window with stretches" + language);
        expectFigureNamesWhole(stretches, "Run window with stretches" + language);

        RunWindow compared(f.lab.record());
        compared.setLanguage(english);
        std::vector<RunWindow::ComparedRun> runs;
        for (int k = 1; k <= 6; ++k)
            runs.push_back({QStringLiteral("#%1 P Kp=0.5").arg(k), stepped, QStringLiteral("#%1").arg(k)});
        compared.compare(runs);
        expectFits(compared, "Run window comparing" + language);
        expectFigureNamesWhole(compared, "Run window comparing" + language);

        RunsWindow list(f.lab);
        list.setLanguage(english);
        expectFits(list, "Runs window" + language);

        TuningWindow tuning(f.lab);
        tuning.setLanguage(english);
        expectFits(tuning, "Tuning window" + language);

        SurfaceWindow surface(f.lab);
        surface.setLanguage(english);
        expectFits(surface, "Surface window" + language);
    }
}
