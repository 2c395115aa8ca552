// The platform semantics of the window's plain controls.
#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "runtime/RuntimeError.h"

#include <QWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace tervalo;

TEST(ScrollBar, ChangeRunsOnlyOnARealChange)
{
    ScrollBar bar;
    bar.setMax(4095);
    bar.setMin(0);
    int changes = 0;
    bar.onChange = [&] { ++changes; };
    bar.setValue(10);
    bar.setValue(10);
    bar.setValue(11);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(bar.Value(), 11);
}

TEST(ScrollBar, OutOfRangeValueIsError380AndNothingChanges)
{
    ScrollBar bar;
    bar.setMax(4095);
    bar.setMin(1300);
    int changes = 0;
    bar.onChange = [&] { ++changes; };
    for (int bad : {1299, 4096, -1, 40000}) {
        try {
            bar.setValue(bad);
            FAIL() << bad << " accepted";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), RuntimeError::InvalidPropertyValue);
        }
    }
    EXPECT_EQ(bar.Value(), 1300);
    EXPECT_EQ(changes, 0);
    bar.setValue(4095); // the limits themselves are accepted
    bar.setValue(1300);
    EXPECT_EQ(changes, 2);
}

TEST(ScrollBar, RaisingTheMinimumAboveTheValueMovesItAndRunsChange)
{
    ScrollBar bar;
    bar.setMax(4095);
    bar.setMin(0);
    int changes = 0;
    bar.onChange = [&] { ++changes; };
    bar.setMin(1300);
    EXPECT_EQ(bar.Value(), 1300);
    EXPECT_EQ(changes, 1);
    bar.setMin(0); // lowering it leaves the value alone
    EXPECT_EQ(bar.Value(), 1300);
    EXPECT_EQ(changes, 1);
}

TEST(ScrollBar, UserStepRunsChange)
{
    QWidget host;
    auto *bar = new ScrollBar(&host);
    bar->setGeometry(0, 0, 200, 20);
    bar->setMax(10);
    bar->setMin(0);
    int changes = 0;
    bar->onChange = [&] { ++changes; };
    host.show();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->Value(), 1);
    EXPECT_EQ(changes, 1);
}

TEST(OptionButton, SettingTrueRunsClickEvenWhenAlreadySelected)
{
    QWidget group;
    auto *a = new OptionButton("a", &group);
    auto *b = new OptionButton("b", &group);
    int clicksA = 0, clicksB = 0;
    a->onClick = [&] { ++clicksA; };
    b->onClick = [&] { ++clicksB; };
    a->setValue(true);
    a->setValue(true);
    EXPECT_EQ(clicksA, 2);
    b->setValue(true);
    EXPECT_TRUE(b->Value());
    EXPECT_FALSE(a->Value()); // one selection per group
    EXPECT_EQ(clicksB, 1);
    EXPECT_EQ(clicksA, 2);
}

TEST(OptionButton, AUserClickThatSelectsRunsClickOnce)
{
    QWidget group;
    auto *a = new OptionButton("a", &group);
    auto *b = new OptionButton("b", &group);
    a->setGeometry(0, 0, 80, 20);
    b->setGeometry(0, 30, 80, 20);
    int clicksB = 0;
    b->onClick = [&] { ++clicksB; };
    group.show();
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, 10));
    EXPECT_TRUE(b->Value());
    EXPECT_EQ(clicksB, 1);
}

TEST(RuleCell, ItemsChangeWithoutLosingTheTypedText)
{
    RuleCell cell;
    cell.setItems({"NB", "NO", "NK", "SS", "PK", "PO", "PB"});
    cell.setListIndex(3);
    EXPECT_EQ(cell.Text(), "SS");
    cell.setText("XX");
    cell.setItems({"NB", "NM", "NS", "ZE", "PS", "PM", "PB"});
    EXPECT_EQ(cell.Text(), "XX");
    cell.setBackColor(QColor(0, 0, 255));
    EXPECT_EQ(cell.BackColor(), QColor(0, 0, 255));
}

TEST(ScrollBar, NoQtPathAroundItsRules)
{
    // The wrapper is no slider to Qt: nothing can set its value or range but
    // its own setters, which keep error 380 and the change handler.
    ScrollBar bar;
    bar.setMax(4095);
    bar.setMin(1300);
    int changes = 0;
    bar.onChange = [&] { ++changes; };
    QWidget *base = &bar;
    EXPECT_EQ(qobject_cast<QAbstractSlider *>(base), nullptr);
    EXPECT_FALSE(base->setProperty("value", 5000));
    EXPECT_FALSE(base->setProperty("minimum", 0));
    EXPECT_EQ(bar.Value(), 1300);
    EXPECT_EQ(bar.Min(), 1300);
    EXPECT_EQ(changes, 0);
    // the user's own steps still run the handler
    bar.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar.Value(), 1301);
    EXPECT_EQ(changes, 1);
}
