// The main window as built from its description: every named control with
// its parent, rectangle (pixels), stored caption and colours; the rule grid,
// LED row and headings; stored settings of the graph and sliders; pictures;
// and that every caption fits inside its control.
#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/form/Shape.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "ui/main/Fonts.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Layout.h"
#include "ui/main/Form2Probe.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

using namespace tervalo;

namespace {

constexpr QRgb kAny = 0;  // colour not checked
constexpr int kFree = -1; // size not fixed by the window description

QString captionOf(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    return QString();
}

// The colour a control is filled with, or kAny when it is transparent.
QRgb backOf(const QWidget *w)
{
    if (auto *s = dynamic_cast<const Shape *>(w))
        return s->FillColor().rgb();
    if (!w->autoFillBackground())
        return kAny;
    return w->palette().color(w->backgroundRole()).rgb();
}

QRgb foreOf(const QWidget *w)
{
    return w->palette().color(QPalette::Active, QPalette::WindowText).rgb();
}

struct Expected {
    const char *name;
    const char *parent;
    int x, y, w, h; // pixels
    const char *caption;
    QRgb back, fore;
};

const QRgb lavender = qRgb(192, 192, 255);
const QRgb formBack = qRgb(192, 185, 207);
const QRgb white = qRgb(255, 255, 255);
const QRgb black = qRgb(0, 0, 0);
const QRgb grey = qRgb(192, 192, 192);

// Rectangles converted from twips at 15 to the pixel.
const Expected kControls[] = {
    {"Picture9", "Form2", 0, 0, 667, 30, "", kAny, kAny},
    {"Image1", "Picture9", 8, 6, 16, 16, "", kAny, kAny},
    {"Label47", "Picture9", 98, 2, 471, 29, "Tervalo", kAny, white},
    {"Picture12", "Picture9", 616, 0, 21, 30, "", kAny, kAny},
    {"Picture14", "Picture9", 640, 0, 21, 29, "", kAny, kAny},
    {"Picture10(0)", "Form2", 0, 30, 4, 522, "", kAny, kAny},
    {"Picture10(1)", "Form2", 663, 30, 4, 536, "", kAny, kAny},
    {"Frame4", "Form2", 8, 32, 321, 273, "Denetimsiz", formBack, kAny},
    {"Pdenetim", "Form2", 8, 30, 321, 273, "P Denetim", formBack, kAny},
    {"Idenetim", "Form2", 8, 30, 321, 273, "I Denetim", formBack, kAny},
    {"PIdenetim", "Form2", 8, 30, 321, 273, "PI Denetim", formBack, kAny},
    {"PDdenetim", "Form2", 8, 30, 321, 273, "PD Denetim", formBack, kAny},
    {"PIDDenetim", "Form2", 8, 30, 321, 273, "PID Denetim", formBack, kAny},
    {"Frame5", "Form2", 8, 32, 321, 273, "Bulanık Mantık ( Kural Atama Tablosu (e\\de) )", formBack, kAny},
    {"Mygraph1", "Form2", 330, 30, 333, 275, "", kAny, kAny},
    {"Check1", "Form2", 596, 238, 13, 13, "", kAny, kAny},
    {"Label24", "Form2", 610, 238, kFree, kFree, "Auto Save", kAny, kAny},
    // open-loop panel
    {"Picture6", "Frame4", 8, 16, 310, 255, "", kAny, kAny},
    {"Label1", "Picture6", 208, 8, 49, 17, "", kAny, kAny},
    {"Shape1(29)", "Picture6", 104, 213, kFree, kFree, "", qRgb(255, 192, 192), kAny},
    // controller panels
    {"Label40", "Pdenetim", 88, 82, 153, 33, "Kp=", kAny, kAny},
    {"Slider2", "Pdenetim", 44, 162, 261, 21, "", kAny, kAny},
    {"Label46", "Pdenetim", 80, 224, 153, 33, "U=", kAny, kAny},
    {"Picture5", "Idenetim", 208, 61, 44, 56, "", kAny, kAny},
    {"Label49", "Idenetim", kFree, 120, kFree, kFree, "Ki=", kAny, kAny},
    {"Slider3", "Idenetim", 42, 166, 259, 21, "", kAny, kAny},
    {"Label50", "Idenetim", kFree, 224, kFree, kFree, "U=", kAny, kAny},
    {"Picture7", "PIdenetim", kFree, 20, kFree, kFree, "", kAny, kAny},
    {"Label64", "PIdenetim", kFree, 28, kFree, kFree, "Kp=", kAny, kAny},
    {"Label61", "PIdenetim", kFree, 60, kFree, kFree, "Ki=", kAny, kAny},
    {"Slider4", "PIdenetim", 52, 158, 251, 21, "", kAny, kAny},
    {"Slider5", "PIdenetim", 52, 210, 249, 21, "", kAny, kAny},
    {"Label54", "PIdenetim", kFree, 116, kFree, kFree, "U=", kAny, kAny},
    {"Label14", "PDdenetim", kFree, 28, kFree, kFree, "Kp=", kAny, kAny},
    {"Label10", "PDdenetim", kFree, 60, kFree, kFree, "Kd=", kAny, kAny},
    {"Label48(56)", "PDdenetim", kFree, 78, kFree, kFree, "Türev", kAny, kAny},
    {"Slider12", "PDdenetim", 52, 160, 259, 21, "", kAny, kAny},
    {"Slider13", "PDdenetim", 52, 214, 257, 21, "", kAny, kAny},
    {"Label13", "PDdenetim", kFree, 116, kFree, kFree, "U=", kAny, kAny},
    {"Picture8", "PIDDenetim", kFree, 20, kFree, kFree, "", kAny, kAny},
    {"Label6", "PIDDenetim", kFree, 24, kFree, kFree, "Kp=", kAny, kAny},
    {"Label3", "PIDDenetim", kFree, 48, kFree, kFree, "Ki=", kAny, kAny},
    {"Label9", "PIDDenetim", kFree, 72, kFree, kFree, "Kd=", kAny, kAny},
    {"Label48(41)", "PIDDenetim", kFree, 84, kFree, kFree, "Türev", kAny, kAny},
    {"Slider6", "PIDDenetim", 40, 158, 223, 21, "", kAny, kAny},
    {"Slider7", "PIDDenetim", 40, 190, 223, 21, "", kAny, kAny},
    {"Slider8", "PIDDenetim", 40, 222, 223, 21, "", kAny, kAny},
    {"Label5", "PIDDenetim", kFree, 116, kFree, kFree, "U=", kAny, kAny},
    // fuzzy panel
    {"Label2(0)", "Frame5", 112, 208, kFree, kFree, "dEm = Em /", kAny, kAny},
    {"Text1", "Frame5", 192, 211, 25, 13, "2", kAny, kAny},
    {"Slider9", "Frame5", 218, 210, 94, 16, "", kAny, kAny},
    {"Label12", "Frame5", 112, 240, kFree, kFree, "dUm = Em /", kAny, kAny},
    {"Text2", "Frame5", 192, 244, 25, 13, "10", kAny, kAny},
    {"Slider10", "Frame5", 218, 240, 94, 16, "", kAny, kAny},
    {"Label21", "Frame5", 8, 208, 89, 25, "", white, kAny},
    {"Label23", "Frame5", 8, 240, 89, 25, "", white, kAny},
    {"Label11(14)", "Frame5", kFree, 22, kFree, kFree, "E", kAny, kAny},
    {"Label11(15)", "Frame5", kFree, 15, kFree, kFree, "dE", kAny, kAny},
    // selection column
    {"Frame1", "Form2", 0, 306, 189, 201, "Denetleyici Seçimi", lavender, kAny},
    {"Label25", "Frame1", 8, 8, 137, 17, "Denetleyici Seçimi", kAny, qRgb(0, 0, 192)},
    {"Frame2", "Frame1", 13, 32, 179, 161, "", kAny, kAny},
    {"Frame6", "Frame2", 0, 0, 183, 65, "", white, kAny},
    {"Acik", "Frame6", 0, 0, 179, 18, "Denetimsiz", qRgb(0, 0, 192), white},
    {"Kapalii", "Frame6", 0, 22, 179, 17, "Kapalı Çevrim", black, white},
    {"simulasyon", "Frame6", 0, 40, 183, 17, "Simülasyon", qRgb(0, 192, 192), white},
    {"Pcontrol", "Frame2", 8, 64, 175, 13, "P", grey, black},
    {"Icontrol", "Frame2", 8, 80, 175, 13, "I", grey, black},
    {"PIcontrol", "Frame2", 8, 96, 175, 13, "PI", grey, black},
    {"PDcontrol", "Frame2", 8, 112, 175, 13, "PD", grey, black},
    {"PIDcontrol", "Frame2", 8, 128, 175, 13, "PID", grey, black},
    {"Bulanik", "Frame2", 8, 144, 175, 13, "Bulanık Mantık", qRgb(0, 128, 0), white},
    // run column
    {"Shape7", "Form2", 190, 306, 90, 201, "", qRgb(192, 255, 255), kAny},
    {"Label39", "Form2", 192, 308, 87, 197, "", kAny, kAny},
    {"Shape5", "Form2", 196, 316, 81, 39, "", qRgb(0, 192, 0), kAny},
    {"Shape8", "Form2", 196, 364, 79, 39, "", qRgb(192, 0, 0), kAny},
    {"Shape9", "Form2", 196, 412, 81, 37, "", qRgb(0, 0, 255), kAny},
    {"Label28", "Form2", 200, 328, kFree, kFree, "BAŞLA", kAny, white},
    {"Label29", "Form2", 202, 376, kFree, kFree, "DUR", kAny, white},
    {"Label30", "Form2", 202, 424, kFree, kFree, "RESET", kAny, white},
    {"Label32", "Form2", 196, 316, 81, 39, "", kAny, kAny},
    {"Label33", "Form2", 196, 364, 79, 39, "", kAny, kAny},
    {"Label34", "Form2", 196, 412, 81, 37, "", kAny, kAny},
    {"Dil(0)", "Form2", 202, 454, 77, 15, "English", lavender, qRgb(0, 0, 255)},
    {"Dil(1)", "Form2", 202, 470, 77, 15, "Turkish", lavender, qRgb(0, 0, 255)},
    {"Picture4", "Form2", 202, 486, 69, 19, "", qRgb(255, 255, 0), kAny},
    {"Label27", "Picture4", kFree, 1, kFree, kFree, "ABOUT", qRgb(255, 255, 0), kAny},
    // block diagram
    {"Frame3", "Form2", 280, 306, 385, 201, "", lavender, kAny},
    {"Shape6", "Frame3", 5, 44, 171, 93, "", kAny, kAny},
    {"Label48(18)", "Frame3", 44, 14, kFree, kFree, "Bilgisayar", grey, qRgb(64, 64, 64)},
    {"Label48(19)", "Frame3", 8, 52, kFree, kFree, "Referans Hız", kAny, kAny},
    {"Myslider1", "Frame3", 8, 68, 75, 15, "", kAny, kAny},
    {"Text6", "Frame3", 88, 68, 49, 19, "", kAny, kAny},
    {"Label48(13)", "Frame3", 140, 68, kFree, kFree, "d/dk", kAny, kAny},
    {"Shape1(30)", "Frame3", 32, 100, 17, 17, "", grey, kAny},
    {"Label48(24)", "Frame3", kFree, 86, kFree, kFree, "+", kAny, kAny},
    {"Label48(25)", "Frame3", kFree, 117, kFree, kFree, "-", kAny, kAny},
    {"Label48(20)", "Frame3", kFree, 94, kFree, kFree, "e(t) ", kAny, kAny},
    {"Shape2", "Frame3", 88, 92, 81, 33, "", grey, kAny},
    {"Label48(21)", "Frame3", kFree, 93, kFree, kFree, "Denetleyici", grey, qRgb(64, 64, 64)},
    {"Label48(23)", "Frame3", kFree, 94, kFree, kFree, "U(t)", kAny, kAny},
    {"Shape3", "Frame3", 208, 80, 65, 53, "", grey, kAny},
    {"Label48(14)", "Frame3", kFree, 81, kFree, kFree, "Güç", grey, qRgb(64, 64, 64)},
    {"Label48(15)", "Frame3", kFree, 107, kFree, kFree, "Kaynağı", grey, qRgb(64, 64, 64)},
    {"Label48(16)", "Frame3", 272, 44, kFree, kFree, "DC Motor", kAny, kAny},
    {"Picture1", "Frame3", 288, 60, 59, 96, "", kAny, kAny},
    {"Label48(17)", "Frame3", kFree, 92, kFree, kFree, "Y(t)", kAny, kAny},
    {"Shape4", "Frame3", 144, 156, 97, 33, "", grey, kAny},
    {"Label17", "Frame3", kFree, 162, kFree, kFree, "", kAny, kAny},
    {"Label48(22)", "Frame3", 122, 140, kFree, kFree, "Hız Algılayıcı (d/dk)", grey, qRgb(64, 64, 64)},
    {"Label48(57)", "Frame3", 188, 2, kFree, kFree, "Yük", kAny, kAny},
    {"Label48(45)", "Frame3", 168, 20, kFree, kFree, "Azalt", kAny, kAny},
    {"Label48(44)", "Frame3", 244, 20, kFree, kFree, "Artır", kAny, kAny},
    {"Slider11", "Frame3", 188, 38, 96, 16, "", kAny, kAny},
    // actuator bar, bottom strip, hidden button
    {"Label22", "Form2", 4, 508, 665, 69, "", qRgb(255, 255, 0), kAny},
    {"Slider1", "Form2", 4, 518, 659, 21, "", kAny, kAny},
    {"Picture11", "Form2", 0, 548, 667, 30, "", kAny, kAny},
    {"Picture13", "Picture11", 18, 4, 620, 25, "", kAny, kAny},
    {"Command1", "Form2", 6, 598, 57, 25, "Set", kAny, kAny},
};

class Layout : public ::testing::Test {
protected:
    std::unique_ptr<Form2> form = std::make_unique<Form2>();

    QWidget *find(const QString &name) const { return form->findChild<QWidget *>(name); }
};

TEST_F(Layout, EveryNamedControlHasItsParentRectangleCaptionAndColours)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Dervani"));
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(192, 185, 207));
    for (const Expected &e : kControls) {
        SCOPED_TRACE(e.name);
        QWidget *w = find(QString::fromUtf8(e.name));
        ASSERT_NE(w, nullptr);
        ASSERT_NE(w->parentWidget(), nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QLatin1String(e.parent));
        const QRect g = w->geometry();
        if (e.x != kFree) {
            EXPECT_EQ(g.x(), e.x);
        }
        if (e.y != kFree) {
            EXPECT_EQ(g.y(), e.y);
        }
        if (e.w != kFree) {
            EXPECT_EQ(g.width(), e.w);
        }
        if (e.h != kFree) {
            EXPECT_EQ(g.height(), e.h);
        }
        EXPECT_EQ(captionOf(w), QString::fromUtf8(e.caption));
        if (e.back != kAny) {
            EXPECT_EQ(QColor(backOf(w)), QColor(e.back));
        }
        if (e.fore != kAny) {
            EXPECT_EQ(QColor(foreOf(w)), QColor(e.fore));
        }
    }
}

TEST_F(Layout, MembersPointAtTheNamedControls)
{
    const std::pair<QWidget *, const char *> members[] = {
        {ctl(*form).Slider1, "Slider1"},
        {ctl(*form).Myslider1, "Myslider1"},
        {ctl(*form).Slider9, "Slider9"},
        {ctl(*form).Slider11, "Slider11"},
        {ctl(*form).Acik, "Acik"},
        {ctl(*form).Bulanik, "Bulanik"},
        {ctl(*form).Shape1_29, "Shape1(29)"},
        {ctl(*form).Shape1_30, "Shape1(30)"},
        {ctl(*form).Label2_0, "Label2(0)"},
        {ctl(*form).Label27, "Label27"},
        {ctl(*form).Picture4, "Picture4"},
        {ctl(*form).Picture10[1], "Picture10(1)"},
        {ctl(*form).Mygraph1, "Mygraph1"},
        {ctl(*form).Frame5, "Frame5"},
        {ctl(*form).PIDDenetim, "PIDDenetim"},
        {ctl(*form).Text6, "Text6"},
        {ctl(*form).Command1, "Command1"},
        {ctl(*form).Image1, "Image1"},
    };
    for (const auto &[member, name] : members) {
        SCOPED_TRACE(name);
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(member->objectName(), QLatin1String(name));
    }
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ctl(*form).Dil(i)->objectName(), QStringLiteral("Dil(%1)").arg(i));
    for (int i = 0; i < 49; ++i)
        EXPECT_EQ(ctl(*form).Combo1(i)->objectName(), QStringLiteral("Combo1(%1)").arg(i));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(ctl(*form).Label11(i)->objectName(), QStringLiteral("Label11(%1)").arg(i));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ctl(*form).ShapeLed(i)->objectName(), QStringLiteral("Shape(%1)").arg(i));
    // the caption array holds the block captions only
    for (int i : {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 41, 44, 45, 56, 57})
        EXPECT_EQ(ctl(*form).Label48(i)->objectName(), QStringLiteral("Label48(%1)").arg(i));
    EXPECT_EQ(ctl(*form).Label48Array[0], nullptr);
}

TEST_F(Layout, RuleGridFollowsTheIndexMap)
{
    static const int index[7][7] = {
        {0, 1, 3, 4, 10, 11, 21},     {2, 5, 6, 12, 13, 22, 28},    {7, 8, 14, 15, 23, 29, 30},
        {9, 16, 17, 24, 31, 32, 39},  {18, 19, 25, 33, 34, 40, 41}, {20, 26, 35, 36, 42, 43, 46},
        {27, 37, 38, 44, 45, 47, 48},
    };
    const QStringList stored = {"NB", "NO", "NK", "SS", "PK", "PO", "PB"};
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 7; ++c) {
            RuleCell *cell = ctl(*form).Combo1(index[r][c]);
            SCOPED_TRACE(cell->objectName().toStdString());
            EXPECT_EQ(cell->parentWidget(), ctl(*form).Frame5);
            // 615 x 315 twips at (480 + 600 c, 480 + 360 r)
            EXPECT_EQ(cell->geometry(), QRect(32 + 40 * c, 32 + 24 * r, 41, 21));
            EXPECT_TRUE(cell->isEditable());
            EXPECT_EQ(cell->BackColor(), QColor(Qt::white));
            QStringList items;
            for (int k = 0; k < cell->count(); ++k)
                items << cell->itemText(k);
            EXPECT_EQ(items, stored);
        }
    // headings: rows left of the grid, columns above it, in list order
    for (int k = 0; k < 7; ++k) {
        QLabel *row = ctl(*form).Label11(k), *column = ctl(*form).Label11(7 + k);
        EXPECT_EQ(row->text(), stored.at(k));
        EXPECT_EQ(column->text(), stored.at(k));
        EXPECT_LE(row->geometry().right(), 32);
        EXPECT_EQ(row->geometry().center().y(), ctl(*form).Combo1(index[k][0])->geometry().center().y());
        EXPECT_LE(column->geometry().bottom(), 32);
        EXPECT_EQ(column->geometry().center().x(), ctl(*form).Combo1(index[0][k])->geometry().center().x());
    }
}

TEST_F(Layout, LedRowRunsFromBitElevenOnTheLeftToBitZero)
{
    for (int k = 0; k < 12; ++k) {
        Shape *led = ctl(*form).ShapeLed(k);
        SCOPED_TRACE(k);
        EXPECT_EQ(led->parentWidget(), ctl(*form).Picture6);
        // left 315 + 240 (11 - k), top 130, 135 x 135 twips
        EXPECT_EQ(led->geometry(), QRect(21 + 16 * (11 - k), 9, 9, 9));
        EXPECT_EQ(led->FillColor(), QColor(255, 192, 192));
        EXPECT_NE(led->kind(), Shape::Rectangle);
    }
}

TEST_F(Layout, StoredSettingsOfTheGraphAndSliderControls)
{
    EXPECT_EQ(ctl(*form).Mygraph1->GraphColor(1), 0x00FF0000u);
    EXPECT_EQ(ctl(*form).Mygraph1->GraphColor(2), 0x0000C000u);
    for (int k = 3; k <= 7; ++k)
        EXPECT_EQ(ctl(*form).Mygraph1->GraphColor(k), 0x000000C0u) << k;
    EXPECT_EQ(ctl(*form).Mygraph1->TimeDivision(), 200);
    EXPECT_EQ(ctl(*form).Mygraph1->XaxisMax(), 20);

    for (Myslider *s : {ctl(*form).Slider9, ctl(*form).Slider10, ctl(*form).Slider11}) {
        SCOPED_TRACE(s->objectName().toStdString());
        EXPECT_EQ(s->BackColor(), 0x00FF8080u);
        EXPECT_EQ(s->Orientation(), 0);
        EXPECT_EQ(s->RailStyle(), 99);
        EXPECT_FALSE(s->ShowValueTip());
        EXPECT_EQ(s->SliderIcon().size(), QSize(8, 16));
        EXPECT_TRUE(s->RailPicture().isNull());
        EXPECT_EQ(s->Min(), 0);
        EXPECT_EQ(s->Max(), 10);
        EXPECT_EQ(s->Value(), 0);
    }
}

TEST_F(Layout, PlantFramesAndPictures)
{
    for (std::size_t k = 0; k < ctl(*form).pic.size(); ++k) {
        EXPECT_EQ(ctl(*form).pic[k].size(), QSize(58, 96)) << k;
        for (std::size_t j = 0; j < k; ++j)
            EXPECT_NE(ctl(*form).pic[k].toImage(), ctl(*form).pic[j].toImage()) << j << " and " << k << " alike";
    }
    EXPECT_EQ(ctl(*form).Picture1->pixmap().toImage(), ctl(*form).pic[0].toImage());
    EXPECT_EQ(ctl(*form).Picture6->pixmap().size(), QSize(310, 255));
    for (QLabel *p :
         {ctl(*form).Picture5, ctl(*form).Picture7, ctl(*form).Picture8, static_cast<QLabel *>(ctl(*form).Picture9),
          static_cast<QLabel *>(ctl(*form).Picture12), static_cast<QLabel *>(ctl(*form).Picture14),
          ctl(*form).Picture11, ctl(*form).Picture13, ctl(*form).Picture10[0], ctl(*form).Picture10[1]}) {
        SCOPED_TRACE(p->objectName().toStdString());
        EXPECT_EQ(p->pixmap().size(), p->size());
    }
    EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(Layout, OptionGroupsAreSeparate)
{
    EXPECT_TRUE(ctl(*form).Pcontrol->isChecked()); // the stored selection
    ctl(*form).Kapalii->setChecked(true);
    ctl(*form).Bulanik->setChecked(true);
    ctl(*form).Dil(1)->setChecked(true);
    EXPECT_TRUE(ctl(*form).Kapalii->isChecked());
    EXPECT_TRUE(ctl(*form).Bulanik->isChecked());
    EXPECT_FALSE(ctl(*form).Pcontrol->isChecked());
    ctl(*form).Dil(0)->setChecked(true);
    EXPECT_FALSE(ctl(*form).Dil(1)->isChecked());
    EXPECT_TRUE(ctl(*form).Kapalii->isChecked());
    ctl(*form).Acik->setChecked(true);
    EXPECT_FALSE(ctl(*form).Kapalii->isChecked());
    EXPECT_TRUE(ctl(*form).Bulanik->isChecked());
}

// Every stored caption is drawn inside its control at the window's fonts.
TEST_F(Layout, CaptionsFitInsideTheirControls)
{
    for (QWidget *w : form->findChildren<QWidget *>()) {
        const QString text = captionOf(w);
        if (text.isEmpty() || qobject_cast<QLineEdit *>(w))
            continue;
        SCOPED_TRACE(w->objectName().isEmpty() ? text.toStdString() : w->objectName().toStdString());
        const QFontMetrics fm(w->font());
        if (auto *label = qobject_cast<QLabel *>(w)) {
            const QRect room = label->contentsRect();
            const QRect need =
                fm.boundingRect(room, int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0), text);
            EXPECT_LE(need.width(), room.width());
            EXPECT_LE(fm.height(), room.height() + 2);
            if (label->wordWrap()) {
                EXPECT_LE(need.height(), room.height() + 2);
            }
        } else if (auto *push = qobject_cast<QPushButton *>(w)) {
            EXPECT_LE(fm.horizontalAdvance(text) + 8, push->width());
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            EXPECT_LE(button->sizeHint().width(), button->width()); // indicator and caption
        } else if (auto *frame = qobject_cast<QGroupBox *>(w)) {
            EXPECT_LE(fm.horizontalAdvance(text) + 16, frame->width());
        }
    }
}

// The block captions and the Auto Save label are drawn at the standard
// 8.25 pt bold in every language and mode; a caption too wide for its label
// is drawn condensed, not smaller.
TEST_F(Layout, BlockCaptionsKeepTheStandardSizeAndFitInEveryLanguageAndMode)
{
    const int standard = Fonts::pixels(8.25);
    for (int language : {0, 1})
        for (OptionButton *mode : {ctl(*form).Kapalii, ctl(*form).simulasyon, ctl(*form).Acik}) {
            ctl(*form).Dil(language)->setChecked(true);
            mode->setChecked(true);
            std::vector<QLabel *> labels = {ctl(*form).Label24};
            for (QLabel *l : ctl(*form).Label48Array)
                if (l)
                    labels.push_back(l);
            for (QLabel *l : labels) {
                SCOPED_TRACE(l->objectName().toStdString() + " " + l->text().toStdString());
                EXPECT_EQ(l->font().pixelSize(), standard);
                EXPECT_TRUE(l->font().bold());
                const QFontMetrics fm(l->font());
                const QRect room = l->contentsRect();
                const QRect need =
                    fm.boundingRect(room, int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0), l->text());
                EXPECT_LE(need.width(), room.width());
                if (l->wordWrap()) {
                    EXPECT_LE(need.height(), room.height() + 2);
                }
            }
        }
}

TEST(Fonts, StoredFacesBecomeInstalledFacesAtFixedPixelSizes)
{
    struct Case {
        const char *face;
        double points;
        bool bold;
        int pixels;
    };
    const Case cases[] = {
        {"MS Sans Serif", 8.25, true, 11}, {"MS Sans Serif", 9.75, true, 13}, {"MS Sans Serif", 13.5, true, 18},
        {"MS Sans Serif", 18, true, 24},   {"Small Fonts", 6.75, true, 9},    {"Verdana", 8.25, false, 11},
        {"ms sans serif", 12, false, 16},  {"No Such Face", 8.25, true, 11},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.face);
        const QFont f = Fonts::fromStored(QLatin1String(c.face), c.points, c.bold);
        EXPECT_EQ(f.pixelSize(), c.pixels);
        EXPECT_EQ(f.bold(), c.bold);
        // a face that is really there, so every screen lays captions out alike
        EXPECT_TRUE(QFontInfo(f).family().startsWith(QStringLiteral("DejaVu Sans")))
            << QFontInfo(f).family().toStdString();
    }
    EXPECT_EQ(Fonts::font(Fonts::Standard), Fonts::fromStored(QStringLiteral("MS Sans Serif"), 8.25, true));
}

} // namespace
