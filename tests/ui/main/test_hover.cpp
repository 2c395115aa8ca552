// Hover colours: pressing, releasing and moving over the option buttons, the
// run buttons and the ABOUT link, and moving over the frames around them.
#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/form/Shape.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Probe.h"

#include <QApplication>
#include <QMouseEvent>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

using namespace tervalo;

namespace {

const QColor kMark(255, 0, 255); // "not painted by the event"

const char *const kPainted[] = {"Pcontrol", "Icontrol",   "PIcontrol", "PDcontrol", "PIDcontrol", "Bulanik", "Acik",
                                "Kapalii",  "simulasyon", "Shape5",    "Shape8",    "Shape9",     "Label27"};

enum Event { Press, Release, Move };

struct Case {
    const char *control;
    Event event;
    QPoint at;                              // where, in the control
    std::map<std::string, QColor> expected; // the rest keep the mark
};

const QColor grey(192, 192, 192), light(224, 224, 224);

const Case kCases[] = {
    {"Pcontrol", Press, {3, 3}, {{"Pcontrol", grey}}},
    {"Pcontrol", Release, {3, 3}, {{"Pcontrol", light}}},
    {"Pcontrol",
     Move,
     {3, 3},
     {{"Pcontrol", light},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"PIDcontrol", grey},
      {"simulasyon", QColor(0, 192, 192)}}},
    {"Icontrol", Move, {3, 3}, {{"Icontrol", light}, {"Pcontrol", grey}, {"PIcontrol", grey}}},
    {"PIcontrol", Move, {3, 3}, {{"PIcontrol", light}, {"Icontrol", grey}, {"PIDcontrol", grey}, {"PDcontrol", grey}}},
    {"PDcontrol", Move, {3, 3}, {{"PDcontrol", light}, {"PIcontrol", grey}, {"PIDcontrol", grey}}},
    {"PIDcontrol",
     Move,
     {3, 3},
     {{"PIDcontrol", light},
      {"Pcontrol", grey},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"Bulanik", QColor(0, 128, 128)},
      {"PDcontrol", grey}}},
    {"Bulanik", Press, {3, 3}, {{"Bulanik", QColor(0, 128, 128)}}},
    {"Bulanik", Release, {3, 3}, {{"Bulanik", QColor(0, 192, 0)}}},
    {"Bulanik",
     Move,
     {3, 3},
     {{"Bulanik", QColor(0, 192, 0)},
      {"Pcontrol", grey},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"PIDcontrol", grey}}},
    {"Acik", Press, {3, 3}, {{"Acik", QColor(0, 0, 192)}}},
    {"Acik", Move, {3, 3}, {{"Acik", QColor(0, 0, 255)}, {"Kapalii", QColor(0, 0, 0)}}},
    {"Kapalii", Release, {3, 3}, {{"Kapalii", QColor(128, 128, 128)}}},
    {"Kapalii",
     Move,
     {3, 3},
     {{"Kapalii", QColor(128, 128, 128)}, {"simulasyon", QColor(0, 192, 192)}, {"Acik", QColor(0, 0, 192)}}},
    {"simulasyon", Move, {3, 3}, {{"simulasyon", QColor(0, 224, 192)}, {"Pcontrol", grey}}},
    {"Label32", Press, {40, 20}, {{"Shape5", QColor(0, 192, 0)}}},
    {"Label32", Release, {40, 20}, {{"Shape5", QColor(0, 240, 0)}}},
    {"Label32",
     Move,
     {40, 20},
     {{"Shape5", QColor(0, 240, 0)}, {"Shape8", QColor(191, 0, 0)}, {"Shape9", QColor(0, 0, 255)}}},
    {"Label33", Press, {40, 20}, {{"Shape8", QColor(191, 0, 0)}}},
    {"Label33",
     Move,
     {40, 20},
     {{"Shape8", QColor(255, 0, 0)}, {"Shape5", QColor(0, 192, 0)}, {"Shape9", QColor(0, 0, 255)}}},
    {"Label34", Release, {40, 20}, {{"Shape9", QColor(192, 192, 255)}}},
    {"Label34",
     Move,
     {40, 20},
     {{"Shape9", QColor(192, 192, 255)}, {"Shape5", QColor(0, 192, 0)}, {"Shape8", QColor(191, 0, 0)}}},
    {"Label27", Press, {5, 5}, {{"Label27", QColor(255, 255, 0)}}},
    {"Label27", Move, {5, 5}, {{"Label27", QColor(255, 255, 192)}}},
    // containers, at points that no control covers
    {"Frame1",
     Move,
     {3, 100},
     {{"Pcontrol", grey},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"PDcontrol", grey},
      {"PIDcontrol", grey},
      {"Bulanik", QColor(0, 128, 128)},
      {"Acik", QColor(0, 0, 192)},
      {"Kapalii", QColor(0, 0, 0)},
      {"simulasyon", QColor(0, 192, 192)}}},
    {"Frame2",
     Move,
     {3, 150},
     {{"Pcontrol", grey},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"PIDcontrol", grey},
      {"Bulanik", QColor(0, 128, 128)}}},
    {"Frame6",
     Move,
     {100, 61},
     {{"Acik", QColor(0, 0, 192)}, {"Kapalii", QColor(0, 0, 0)}, {"simulasyon", QColor(0, 192, 192)}}},
    {"Label39",
     Move,
     {40, 190},
     {{"Shape5", QColor(0, 192, 0)},
      {"Shape8", QColor(191, 0, 0)},
      {"Shape9", QColor(0, 0, 255)},
      {"Label27", QColor(255, 255, 0)},
      {"Pcontrol", grey},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"PIDcontrol", grey},
      {"Bulanik", QColor(0, 128, 128)}}},
    {"Frame3",
     Move,
     {380, 196},
     {{"Shape5", QColor(0, 192, 0)},
      {"Shape8", QColor(191, 0, 0)},
      {"Shape9", QColor(0, 0, 255)},
      {"Label27", QColor(255, 255, 0)},
      {"Pcontrol", grey},
      {"Icontrol", grey},
      {"PIcontrol", grey},
      {"PIDcontrol", grey},
      {"Bulanik", QColor(0, 128, 128)}}},
};

class Hover : public ::testing::Test {
protected:
    std::unique_ptr<Form2> form = std::make_unique<Form2>();

    QWidget *find(const char *name) const { return form->findChild<QWidget *>(QLatin1String(name)); }

    QColor colourOf(const char *name) const
    {
        QWidget *w = find(name);
        if (auto *s = dynamic_cast<Shape *>(w))
            return s->FillColor();
        return w->palette().color(w->backgroundRole());
    }

    void mark()
    {
        for (const char *name : kPainted) {
            QWidget *w = find(name);
            if (auto *s = dynamic_cast<Shape *>(w)) {
                s->setFillColor(kMark);
            } else {
                QPalette pal = w->palette();
                pal.setColor(w->backgroundRole(), kMark);
                w->setPalette(pal);
            }
        }
    }

    static void send(QWidget *w, Event event, QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        const QEvent::Type type = event == Press ? QEvent::MouseButtonPress
                                                 : (event == Release ? QEvent::MouseButtonRelease : QEvent::MouseMove);
        const Qt::MouseButton b = event == Move ? Qt::NoButton : button;
        const Qt::MouseButtons held = event == Press ? Qt::MouseButtons(button) : Qt::NoButton;
        QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), b, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    void expectColours(const std::map<std::string, QColor> &expected) const
    {
        for (const char *name : kPainted) {
            auto it = expected.find(name);
            EXPECT_EQ(colourOf(name), it == expected.end() ? kMark : it->second) << name;
        }
    }
};

TEST_F(Hover, EventsPaintTheControlAndItsNeighbours)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(std::string(c.control)
                     + (c.event == Press         ? " press"
                            : c.event == Release ? " release"
                                                 : " move"));
        mark();
        send(find(c.control), c.event, c.at);
        expectColours(c.expected);
    }
}

TEST_F(Hover, AboutLinkPaintsItsBoxToo)
{
    send(ctl(*form).Label27, Move, {5, 5});
    EXPECT_EQ(ctl(*form).Picture4->palette().color(ctl(*form).Picture4->backgroundRole()), QColor(255, 255, 192));
    send(ctl(*form).Frame3, Move, {380, 196});
    EXPECT_EQ(ctl(*form).Picture4->palette().color(ctl(*form).Picture4->backgroundRole()), QColor(255, 255, 0));
}

TEST_F(Hover, FuzzyOptionStartsGreenAndReturnsTeal)
{
    EXPECT_EQ(colourOf("Bulanik"), QColor(0, 128, 0));
    send(ctl(*form).Bulanik, Move, {3, 3});
    send(ctl(*form).Frame2, Move, {3, 150});
    EXPECT_EQ(colourOf("Bulanik"), QColor(0, 128, 128));
}

TEST_F(Hover, MoveOverAnEnabledControlIsNotTheFramesMove)
{
    // reaching the frame through an enabled option: the option's own move
    mark();
    send(ctl(*form).Frame2, Move, ctl(*form).Pcontrol->geometry().center());
    expectColours({});
    // a disabled option takes no mouse: the frame under it restores
    ctl(*form).Pcontrol->setEnabled(false);
    form->show();
    QTest::mouseMove(form.get(), QPoint(0, 0));
    mark();
    QTest::mouseMove(ctl(*form).Pcontrol, QPoint(3, 3));
    expectColours({{"Pcontrol", grey},
                   {"Icontrol", grey},
                   {"PIcontrol", grey},
                   {"PIDcontrol", grey},
                   {"Bulanik", QColor(0, 128, 128)}});
}

TEST_F(Hover, ColoursLeaveTheClickHandlersAlone)
{
    int clicks = 0;
    ctl(*form).Label32->onClick = [&] { ++clicks; };
    send(ctl(*form).Label32, Press, {40, 20});
    send(ctl(*form).Label32, Release, {40, 20});
    EXPECT_EQ(clicks, 1);
    int selected = 0;
    ctl(*form).Icontrol->onClick = [&] { ++selected; };
    send(ctl(*form).Icontrol, Press, {3, 3});
    send(ctl(*form).Icontrol, Release, {3, 3});
    EXPECT_TRUE(ctl(*form).Icontrol->isChecked());
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(colourOf("Icontrol"), QColor(224, 224, 224));
}

} // namespace
