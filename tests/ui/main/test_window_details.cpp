// What a student meets by hand on the main window: option buttons that take
// a click anywhere on their bar, the Auto Save box drawn whole, frames filled
// with their own colour, rule cells that keep what was typed, the plant at
// rest after STOP and a notice in the window when the kit's port fails.
#include "ui/main/Form2Fixture.h"

#include "controls/form/Shape.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTest>

using namespace tervalo;

namespace {

class ShownForm : public Form2Fixture {
protected:
    void SetUp() override
    {
        Form2Fixture::SetUp();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
};

TEST_F(ShownForm, OptionButtonsTakeAClickAtTheFarEndOfTheirBar)
{
    // in an order where each click changes the selection; the controllers
    // are enabled by the closed loop
    const std::vector<QAbstractButton *> order = {
        ctl(*form).Kapalii,    ctl(*form).Icontrol, ctl(*form).PIcontrol, ctl(*form).PDcontrol,
        ctl(*form).PIDcontrol, ctl(*form).Bulanik,  ctl(*form).Pcontrol,  ctl(*form).simulasyon,
        ctl(*form).Acik,       ctl(*form).Dil(1),   ctl(*form).Dil(0),
    };
    for (QAbstractButton *option : order) {
        SCOPED_TRACE(option->objectName().toStdString());
        ASSERT_TRUE(option->isEnabled());
        ASSERT_FALSE(option->isChecked());
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(option->width() - 2, option->height() / 2));
        EXPECT_TRUE(option->isChecked());
    }
    // the handlers ran: open loop disabled the controllers again
    EXPECT_FALSE(ctl(*form).Pcontrol->isEnabled());
}

QImage shot(QWidget *window, const QRect &r)
{
    return window->grab(r).toImage().convertToFormat(QImage::Format_RGB32);
}

TEST_F(ShownForm, AutoSaveBoxIsDrawnWholeOverTheGraph)
{
    QCheckBox *box = ctl(*form).Check1;
    box->raise();
    const QRect r = box->geometry();
    const QColor white(255, 255, 255);
    for (bool checked : {false, true}) {
        SCOPED_TRACE(checked);
        box->setChecked(checked);
        const QImage img = shot(form.get(), r);
        int edge = 0, perimeter = 0, inkInside = 0, notWhiteInside = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                const bool onEdge = x == 0 || y == 0 || x == img.width() - 1 || y == img.height() - 1;
                const bool inside = x >= 2 && y >= 2 && x <= img.width() - 3 && y <= img.height() - 3;
                if (onEdge) {
                    ++perimeter;
                    edge += c != white && c.lightness() < 160;
                } else if (inside) {
                    inkInside += c == QColor(0, 0, 0);
                    notWhiteInside += c != white && c != QColor(0, 0, 0);
                }
            }
        EXPECT_EQ(edge, perimeter) << "all four edges drawn";
        EXPECT_EQ(notWhiteInside, 0) << "nothing of the graph shows through";
        if (checked) {
            EXPECT_GT(inkInside, 10);
        } else {
            EXPECT_EQ(inkInside, 0);
        }
    }
    // the whole square takes the click, its far corner too
    box->setChecked(false);
    QSignalSpy clicked(box, &QCheckBox::clicked);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 1, box->height() - 1));
    EXPECT_EQ(clicked.count(), 1);
}

// Frames are filled with exactly their own back colour: no shading.
TEST_F(ShownForm, FrameInteriorsAreTheirOwnColour)
{
    const auto frames = form->findChildren<QGroupBox *>();
    ASSERT_GE(frames.size(), 10);
    for (QGroupBox *frame : frames) {
        SCOPED_TRACE(frame->objectName().toStdString());
        QImage img(frame->size(), QImage::Format_RGB32);
        img.fill(Qt::magenta);
        frame->render(&img, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        const QColor back = frame->palette().color(frame->backgroundRole());
        const int top = frame->title().isEmpty() ? 4 : QFontMetrics(frame->font()).height() + 4;
        int wrong = 0;
        for (int y = top; y < img.height() - 4; ++y)
            for (int x = 4; x < img.width() - 4; ++x)
                wrong += img.pixelColor(x, y) != back;
        EXPECT_EQ(wrong, 0) << back.name().toStdString();
    }
}

TEST_F(ShownForm, RuleCellsKeepTypedTextThroughFocusChanges)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    ctl(*form).Bulanik->setEnabled(true);
    ctl(*form).Kapalii->setValue(true);
    ctl(*form).Bulanik->setValue(true);
    RuleCell *cell = ctl(*form).Combo1(24);
    RuleCell *other = ctl(*form).Combo1(0);
    struct Case {
        const char *typed;
        bool english;
    };
    // English items NB NM NS ZE PS PM PB; Turkish NB NO NK SS PK PO PB
    const Case cases[] = {{"nm", true}, {"p", true},   {"Ps", true},  {"zz", true}, {"NM", true},
                          {"n", true},  {"no", false}, {"ss", false}, {"P", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        ctl(*form).Dil(c.english ? 0 : 1)->setValue(true);
        cell->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(cell->hasFocus());
        cell->lineEdit()->selectAll();
        QTest::keyClicks(cell->lineEdit(), QString::fromLatin1(c.typed));
        EXPECT_EQ(cell->Text(), QString::fromLatin1(c.typed)) << "no inline completion";
        other->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        EXPECT_EQ(cell->Text(), QString::fromLatin1(c.typed)) << "leaving the cell";
        cell->setFocus(Qt::TabFocusReason);
        other->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        EXPECT_EQ(cell->Text(), QString::fromLatin1(c.typed)) << "and once more";
    }

    // choosing from the list still sets the cell
    ctl(*form).Dil(0)->setValue(true);
    cell->lineEdit()->setText(QStringLiteral("xx"));
    cell->showPopup();
    QAbstractItemView *list = cell->view();
    ASSERT_TRUE(list->isVisible());
    const QRect item = list->visualRect(cell->model()->index(4, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QCoreApplication::processEvents();
    EXPECT_EQ(cell->Text(), QStringLiteral("PS"));
}

TEST_F(Form2Fixture, AfterStopTheMotorLampIsDarkAndThePlantAtRest)
{
    const QColor dark(255, 192, 192);
    struct Case {
        OptionButton *mode;
        std::size_t still;
    };
    const Case cases[] = {{ctl(*form).Kapalii, 1}, {ctl(*form).Acik, 1}, {ctl(*form).simulasyon, 4}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode->objectName().toStdString());
        c.mode->setValue(true);
        bool moved = false;
        run(3, [&](int) {
            ctl(*form).Picture1->setPixmap(ctl(*form).pic[2]); // an animation frame, lamp lit
            ctl(*form).Shape1_29->setFillColor(QColor(255, 0, 0));
            form->Timer2_Timer();
            moved = true;
        });
        ASSERT_TRUE(moved);
        EXPECT_EQ(ctl(*form).Shape1_29->FillColor(), dark);
        EXPECT_EQ(ctl(*form).Picture1->pixmap().toImage(), ctl(*form).pic[c.still].toImage());
    }
}

TEST_F(Form2Fixture, APortFailingInARunIsToldOnceInTheWindowAndTheRunGoesOn)
{
    for (bool english : {true, false}) {
        SCOPED_TRACE(english);
        makeForm(&port);
        notices.clear();
        portReports.clear();
        ctl(*form).Dil(english ? 0 : 1)->setValue(true);
        ctl(*form).Kapalii->setValue(true);
        ctl(*form).Pcontrol->setValue(true);
        ctl(*form).Slider2->setValue(500);
        int cycles = 0;
        port.failAfter(0);
        run(4, [&](int) { ++cycles; });
        QCoreApplication::processEvents();
        EXPECT_EQ(cycles, 4);
        EXPECT_FALSE(form->state().portDriverPresent);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(notices[0].contains(QStringLiteral("memory port: device gone"))) << notices[0].toStdString();
        EXPECT_TRUE(notices[0].startsWith(english ? QStringLiteral("The kit") : QStringLiteral("Sete")));
        EXPECT_EQ(portReports.size(), 1u);
        EXPECT_EQ(quits, 0);
        port.failAfter(-1);
    }
}

} // namespace
