#pragma once
// The controls of the main window, bound by name when the window is built
// from its description. The window's handlers, its layout, captions, hover
// colours and chrome work on this record; nothing outside the window does.

#include <QHash>
#include <QPixmap>
#include <QString>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tervalo {

class ClickLabel;
class Mygraph;
class Myslider;
class OptionButton;
class RuleCell;
class ScrollBar;
class Shape;
class Timer;

struct Form2Controls {
    QWidget *window = nullptr;

    // Control arrays are reached by index; an index the window does not
    // hold raises error 9.
    QLabel *Label48(int i) const;
    QLabel *Label11(int i) const;
    Shape *ShapeLed(int i) const; // Shape(0) .. Shape(11)
    RuleCell *Combo1(int i) const;
    OptionButton *Dil(int i) const;

    Mygraph *Mygraph1 = nullptr;
    ScrollBar *Slider1 = nullptr, *Slider2 = nullptr, *Slider3 = nullptr, *Slider4 = nullptr, *Slider5 = nullptr,
              *Slider6 = nullptr, *Slider7 = nullptr, *Slider8 = nullptr, *Slider12 = nullptr, *Slider13 = nullptr,
              *Myslider1 = nullptr;
    Myslider *Slider9 = nullptr, *Slider10 = nullptr, *Slider11 = nullptr;
    OptionButton *Acik = nullptr, *Kapalii = nullptr, *simulasyon = nullptr, *Pcontrol = nullptr, *Icontrol = nullptr,
                 *PIcontrol = nullptr, *PDcontrol = nullptr, *PIDcontrol = nullptr, *Bulanik = nullptr;
    std::array<OptionButton *, 2> DilArray{};
    std::array<RuleCell *, 49> Combo1Array{};
    std::array<QLabel *, 16> Label11Array{};
    std::array<QLabel *, 58> Label48Array{};
    std::array<Shape *, 12> ShapeArray{};
    Shape *Shape1_29 = nullptr, *Shape1_30 = nullptr, *Shape2 = nullptr, *Shape3 = nullptr, *Shape4 = nullptr,
          *Shape5 = nullptr, *Shape6 = nullptr, *Shape7 = nullptr, *Shape8 = nullptr, *Shape9 = nullptr;
    QGroupBox *Frame1 = nullptr, *Frame2 = nullptr, *Frame3 = nullptr, *Frame4 = nullptr, *Frame5 = nullptr,
              *Frame6 = nullptr, *Pdenetim = nullptr, *Idenetim = nullptr, *PIdenetim = nullptr, *PDdenetim = nullptr,
              *PIDDenetim = nullptr;
    QLabel *Label1 = nullptr, *Label2_0 = nullptr, *Label3 = nullptr, *Label5 = nullptr, *Label6 = nullptr,
           *Label9 = nullptr, *Label10 = nullptr, *Label12 = nullptr, *Label13 = nullptr, *Label14 = nullptr,
           *Label17 = nullptr, *Label21 = nullptr, *Label22 = nullptr, *Label23 = nullptr, *Label24 = nullptr,
           *Label25 = nullptr, *Label28 = nullptr, *Label29 = nullptr, *Label30 = nullptr, *Label40 = nullptr,
           *Label46 = nullptr, *Label49 = nullptr, *Label50 = nullptr, *Label54 = nullptr, *Label61 = nullptr,
           *Label64 = nullptr;
    // clickable labels and pictures
    ClickLabel *Label27 = nullptr, *Label32 = nullptr, *Label33 = nullptr, *Label34 = nullptr, *Label39 = nullptr,
               *Label47 = nullptr, *Picture9 = nullptr, *Picture12 = nullptr, *Picture14 = nullptr;
    QLabel *Picture1 = nullptr, *Picture5 = nullptr, *Picture6 = nullptr, *Picture7 = nullptr, *Picture8 = nullptr,
           *Picture11 = nullptr, *Picture13 = nullptr, *Image1 = nullptr;
    std::array<QLabel *, 2> Picture10{};
    QWidget *Picture4 = nullptr; // the yellow box holding the ABOUT link
    std::array<QPixmap, 5> pic;  // plant frames: start-up, kit, animation, simulation
    QLineEdit *Text1 = nullptr, *Text2 = nullptr, *Text6 = nullptr;
    QCheckBox *Check1 = nullptr;
    QPushButton *Command1 = nullptr;
    Timer *Timer1 = nullptr, *Timer2 = nullptr, *Timer3 = nullptr;

    // A control by its name in the window ("Slider2", "Label40"); nullptr
    // when the window has none of that name.
    QWidget *named(const char *name) const { return byName.value(QLatin1String(name)); }
    QHash<QString, QWidget *> byName;
};

} // namespace tervalo
