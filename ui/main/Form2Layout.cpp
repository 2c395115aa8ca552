#include "ui/main/Form2Layout.h"

#include "controls/common/OleColor.h"
#include "controls/common/PropertyBag.h"
#include "controls/form/CheckBox.h"
#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/form/Shape.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "engine/ClassicPanels.h"
#include "engine/FuzzyController.h"
#include "engine/Terms.h"
#include "ui/main/Captions.h"
#include "ui/main/Fonts.h"
#include "ui/main/Form2Controls.h"
#include "ui/main/Pictures.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionComboBox>

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace tervalo {

namespace {

// ---- the window description ------------------------------------------------

enum class Kind {
    Label,        // QLabel
    Click,        // ClickLabel
    Picture,      // QLabel showing a bitmap
    ClickPicture, // ClickLabel showing a bitmap
    Frame,        // QGroupBox, caption in the border
    Box,          // plain filled box holding other controls
    Option,       // OptionButton
    Check,        // QCheckBox
    Button,       // QPushButton
    Text,         // QLineEdit
    Bar,          // ScrollBar
    Slider,       // Myslider
    Graph,        // Mygraph
    Rect,         // Shape rectangle
    Oval,         // Shape oval
    Circle,       // Shape circle
    Cell,         // RuleCell
    Line,         // line from (left, top) to (width, height) as an end point
    Arrow,        // the same with an arrow head at the end point
};

enum Flag : unsigned {
    Center = 1u << 0,  // text centred horizontally
    RightAl = 1u << 1, // text on the right
    Wrap = 1u << 2,    // word wrap
    Hand = 1u << 3,    // hand pointer
    Dotted = 1u << 4,  // dotted border (shapes)
    Hollow = 1u << 5,  // transparent fill (shapes)
    Checked = 1u << 6, // selected option
    VMid = 1u << 7,    // text centred vertically
    VBottom = 1u << 8, // text at the bottom
    Border = 1u << 9,  // single line border
    ReadOnly = 1u << 10,
    Covered = 1u << 11, // frame caption lies under a heading label: drawn in the back colour
};

// 0x00BBGGRR like the stored colours; kNone leaves the control transparent
// (back) or at its style's colour (fore).
constexpr auto rgb = &OleColor::rgb;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

constexpr std::uint32_t kFormBack = rgb(192, 185, 207);
constexpr std::uint32_t kLavender = rgb(192, 192, 255);
constexpr std::uint32_t kGrey = rgb(192, 192, 192);
constexpr std::uint32_t kBlockText = rgb(64, 64, 64);
constexpr std::uint32_t kWhite = rgb(255, 255, 255);
constexpr std::uint32_t kBlack = rgb(0, 0, 0);
constexpr std::uint32_t kYellow = rgb(255, 255, 0);
constexpr std::uint32_t kDarkBlue = rgb(0, 0, 192);
constexpr std::uint32_t kGainText = rgb(0, 0, 128);
constexpr std::uint32_t kLedDark = rgb(255, 192, 192);
constexpr std::uint32_t kHighlightText = kWhite;

QColor colour(std::uint32_t v)
{
    return OleColor::toQColor(v);
}

struct Row {
    QString name; // control name; empty for decorations
    Kind kind;
    QString parent;               // empty: the window itself
    int left, top, width, height; // twips
    QString caption;
    std::uint32_t back;
    std::uint32_t fore;
    Fonts::Key font;
    unsigned flags;
};

using F = Fonts;

// The text at the right end of a gain bar, from the controller panel table.
QString rangeLabel(const char *bar)
{
    const GainSlider *slider = ClassicPanels::slider(bar);
    return slider ? QString::fromLatin1(slider->rangeLabel) : QString();
}

// Rows in back-to-front order: a row is drawn over the rows before it.
std::vector<Row> windowDescription()
{
    std::vector<Row> rows = {
        // ---- title strip
        {"Picture9", Kind::ClickPicture, "", 0, 0, 10005, 450, "", kNone, kNone, F::Standard, 0},
        {"Image1", Kind::Picture, "Picture9", 120, 90, 240, 240, "", kNone, kNone, F::Standard, 0},
        {"Label47", Kind::Click, "Picture9", 1470, 30, 7065, 435, "Tervalo", kNone, kWhite, F::Title, Center | VMid},
        {"Picture12", Kind::ClickPicture, "Picture9", 9240, 0, 315, 450, "", kNone, kNone, F::Standard, Hand},
        {"Picture14", Kind::ClickPicture, "Picture9", 9600, 0, 315, 435, "", kNone, kNone, F::Standard, Hand},

        // ---- panel area: open loop
        {"Frame4", Kind::Frame, "", 120, 480, 4815, 4095, "Denetimsiz", kFormBack, kBlack, F::Standard, 0},
        {"Picture6", Kind::Picture, "Frame4", 120, 240, 4650, 3825, "", kNone, kNone, F::Standard, 0},
        {"Label1", Kind::Label, "Picture6", 3120, 120, 735, 255, "", kBlack, rgb(255, 0, 0), F::Heading, Center | VMid},
        {"Shape1(29)", Kind::Oval, "Picture6", 1560, 3200, 255, 255, "", kLedDark, kBlack, F::Standard, 0},

        // ---- P
        {"Pdenetim", Kind::Frame, "", 120, 450, 4815, 4095, "P Denetim", kFormBack, kBlack, F::Standard, 0},
        {"", Kind::Arrow, "Pdenetim", 840, 727, 1560, 727, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Pdenetim", 2775, 727, 3600, 727, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "Pdenetim", 240, 600, 555, 255, "e(t)", kNone, kBlockText, F::Standard, RightAl},
        {"", Kind::Rect, "Pdenetim", 1560, 480, 1215, 495, "", kGrey, kBlockText, F::Standard, 0},
        {"", Kind::Label, "Pdenetim", 1575, 600, 1185, 255, "Kp", kNone, kBlack, F::Heading, Center},
        {"", Kind::Label, "Pdenetim", 3660, 600, 615, 255, "U(t)", kNone, kBlockText, F::Standard, 0},
        {"Label40", Kind::Label, "Pdenetim", 1320, 1230, 2295, 495, "Kp=", kNone, kGainText, F::Gain, VMid},
        {"", Kind::Label, "Pdenetim", 120, 2460, 495, 255, "Kp", kNone, kBlack, F::Standard, RightAl},
        {"Slider2", Kind::Bar, "Pdenetim", 660, 2430, 3915, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "Pdenetim", 660, 2790, 495, 255, "0", kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "Pdenetim", 4080, 2790, 495, 255, rangeLabel("Slider2"), kNone, kBlack, F::Standard, RightAl},
        {"Label46", Kind::Label, "Pdenetim", 1200, 3360, 2295, 495, "U=", kNone, kGainText, F::Output, VMid},

        // ---- I
        {"Idenetim", Kind::Frame, "", 120, 450, 4815, 4095, "I Denetim", kFormBack, kBlack, F::Standard, 0},
        {"", Kind::Arrow, "Idenetim", 1560, 1330, 3120, 1330, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Idenetim", 3780, 1330, 4560, 1330, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "Idenetim", 1560, 1020, 555, 255, "e(t)", kNone, kBlockText, F::Standard, 0},
        {"Picture5", Kind::Picture, "Idenetim", 3120, 910, 660, 840, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "Idenetim", 3900, 1020, 615, 255, "U(t)", kNone, kBlockText, F::Standard, 0},
        {"Label49", Kind::Label, "Idenetim", 1200, 1800, 2295, 495, "Ki=", kNone, kGainText, F::Gain, VMid},
        {"", Kind::Label, "Idenetim", 120, 2520, 495, 255, "Ki", kNone, kBlack, F::Standard, RightAl},
        {"Slider3", Kind::Bar, "Idenetim", 630, 2490, 3885, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "Idenetim", 630, 2850, 495, 255, "0", kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "Idenetim", 4020, 2850, 495, 255, rangeLabel("Slider3"), kNone, kBlack, F::Standard, RightAl},
        {"Label50", Kind::Label, "Idenetim", 1200, 3360, 2295, 495, "U=", kNone, kGainText, F::Output, VMid},

        // ---- PI
        {"PIdenetim", Kind::Frame, "", 120, 450, 4815, 4095, "PI Denetim", kFormBack, kBlack, F::Standard, 0},
        {"Label64", Kind::Label, "PIdenetim", 120, 420, 1440, 375, "Kp=", kNone, kGainText, F::Output, VMid},
        {"Label61", Kind::Label, "PIdenetim", 120, 900, 1440, 375, "Ki=", kNone, kGainText, F::Output, VMid},
        {"", Kind::Label, "PIdenetim", 1560, 660, 480, 255, "e(t)", kNone, kBlockText, F::Standard, 0},
        {"Picture7", Kind::Picture, "PIdenetim", 1800, 300, 2520, 1350, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PIdenetim", 4020, 660, 480, 255, "U(t)", kNone, kBlockText, F::Standard, 0},
        {"Label54", Kind::Label, "PIdenetim", 1200, 1740, 2295, 495, "U=", kNone, kGainText, F::Output, VMid},
        {"", Kind::Label, "PIdenetim", 120, 2400, 615, 255, "Kp", kNone, kBlack, F::Standard, RightAl},
        {"Slider4", Kind::Bar, "PIdenetim", 780, 2370, 3765, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PIdenetim", 780, 2715, 495, 255, "0", kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "PIdenetim", 4050, 2715, 495, 255, rangeLabel("Slider4"), kNone, kBlack, F::Standard,
         RightAl},
        {"", Kind::Label, "PIdenetim", 120, 3180, 615, 255, "Ki", kNone, kBlack, F::Standard, RightAl},
        {"Slider5", Kind::Bar, "PIdenetim", 780, 3150, 3735, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PIdenetim", 780, 3495, 495, 255, "0", kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "PIdenetim", 4020, 3495, 495, 255, rangeLabel("Slider5"), kNone, kBlack, F::Standard,
         RightAl},

        // ---- PD
        {"PDdenetim", Kind::Frame, "", 120, 450, 4815, 4095, "PD Denetim", kFormBack, kBlack, F::Standard, 0},
        {"", Kind::Line, "PDdenetim", 1920, 975, 2160, 975, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Line, "PDdenetim", 2160, 600, 2160, 1350, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "PDdenetim", 2160, 600, 2400, 600, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "PDdenetim", 2160, 1350, 2400, 1350, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Line, "PDdenetim", 3450, 600, 3960, 600, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "PDdenetim", 3960, 600, 3960, 900, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Line, "PDdenetim", 3450, 1350, 3960, 1350, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "PDdenetim", 3960, 1350, 3960, 1050, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "PDdenetim", 4035, 975, 4680, 975, "", kNone, kNone, F::Standard, 0},
        {"Label14", Kind::Label, "PDdenetim", 120, 420, 1440, 375, "Kp=", kNone, kGainText, F::Output, VMid},
        {"Label10", Kind::Label, "PDdenetim", 120, 900, 1440, 375, "Kd=", kNone, kGainText, F::Output, VMid},
        {"", Kind::Label, "PDdenetim", 1560, 660, 480, 255, "e(t)", kNone, kBlockText, F::Standard, 0},
        {"", Kind::Rect, "PDdenetim", 2400, 420, 1050, 360, "", kGrey, kBlockText, F::Standard, 0},
        {"", Kind::Label, "PDdenetim", 2415, 480, 1020, 255, "Kp", kNone, kBlack, F::Standard, Center},
        {"Label48(56)", Kind::Label, "PDdenetim", 2400, 1170, 1050, 360, "Türev", kGrey, kBlockText, F::Standard,
         Center | VMid | Border},
        {"", Kind::Circle, "PDdenetim", 3885, 900, 150, 150, "", kGrey, kBlockText, F::Standard, 0},
        {"", Kind::Label, "PDdenetim", 4200, 660, 480, 255, "U(t)", kNone, kBlockText, F::Standard, 0},
        {"Label13", Kind::Label, "PDdenetim", 1200, 1740, 2295, 495, "U=", kNone, kGainText, F::Output, VMid},
        {"", Kind::Label, "PDdenetim", 120, 2430, 615, 255, "Kp", kNone, kBlack, F::Standard, RightAl},
        {"Slider12", Kind::Bar, "PDdenetim", 780, 2400, 3885, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PDdenetim", 780, 2745, 495, 255, "0", kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "PDdenetim", 4170, 2745, 495, 255, rangeLabel("Slider12"), kNone, kBlack, F::Standard,
         RightAl},
        {"", Kind::Label, "PDdenetim", 120, 3240, 615, 255, "Kd", kNone, kBlack, F::Standard, RightAl},
        {"Slider13", Kind::Bar, "PDdenetim", 780, 3210, 3855, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PDdenetim", 780, 3555, 495, 255, "0", kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "PDdenetim", 4140, 3555, 495, 255, rangeLabel("Slider13"), kNone, kBlack, F::Standard,
         RightAl},

        // ---- PID
        {"PIDDenetim", Kind::Frame, "", 120, 450, 4815, 4095, "PID Denetim", kFormBack, kBlack, F::Standard, 0},
        {"Label6", Kind::Label, "PIDDenetim", 120, 360, 1440, 330, "Kp=", kNone, kGainText, F::Output, VMid},
        {"Label3", Kind::Label, "PIDDenetim", 120, 720, 1440, 330, "Ki=", kNone, kGainText, F::Output, VMid},
        {"Label9", Kind::Label, "PIDDenetim", 120, 1080, 1440, 330, "Kd=", kNone, kGainText, F::Output, VMid},
        {"", Kind::Label, "PIDDenetim", 1560, 660, 480, 255, "e(t)", kNone, kBlockText, F::Standard, 0},
        {"Picture8", Kind::Picture, "PIDDenetim", 1800, 300, 2520, 1350, "", kNone, kNone, F::Standard, 0},
        {"Label48(41)", Kind::Label, "PIDDenetim", 2400, 1260, 1065, 345, "Türev", kGrey, kBlockText, F::Standard,
         Center | VMid | Border},
        {"", Kind::Label, "PIDDenetim", 4020, 660, 480, 255, "U(t)", kNone, kBlockText, F::Standard, 0},
        {"Label5", Kind::Label, "PIDDenetim", 1200, 1740, 2295, 495, "U=", kNone, kGainText, F::Output, VMid},
        {"", Kind::Label, "PIDDenetim", 60, 2400, 495, 255, "Kp", kNone, kBlack, F::Standard, RightAl},
        {"Slider6", Kind::Bar, "PIDDenetim", 600, 2370, 3345, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PIDDenetim", 3990, 2400, 780, 255, rangeLabel("Slider6"), kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "PIDDenetim", 60, 2880, 495, 255, "Kd", kNone, kBlack, F::Standard, RightAl},
        {"Slider7", Kind::Bar, "PIDDenetim", 600, 2850, 3345, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PIDDenetim", 3990, 2880, 780, 255, rangeLabel("Slider7"), kNone, kBlack, F::Standard, 0},
        {"", Kind::Label, "PIDDenetim", 60, 3360, 495, 255, "Ki", kNone, kBlack, F::Standard, RightAl},
        {"Slider8", Kind::Bar, "PIDDenetim", 600, 3330, 3345, 315, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Label, "PIDDenetim", 3990, 3360, 780, 255, rangeLabel("Slider8"), kNone, kBlack, F::Standard, 0},

        // ---- fuzzy rule table (cells and headings are added below)
        {"Frame5", Kind::Frame, "", 120, 480, 4815, 4095, "Bulanık Mantık ( Kural Atama Tablosu (e\\de) )", kFormBack,
         kBlack, F::Standard, 0},
        {"", Kind::Line, "Frame5", 120, 240, 480, 480, "", kNone, kNone, F::Standard, 0},
        {"Label11(14)", Kind::Label, "Frame5", 135, 330, 240, 150, "E", kNone, kBlack, F::Small, 0},
        {"Label11(15)", Kind::Label, "Frame5", 255, 225, 225, 150, "dE", kNone, kBlack, F::Small, RightAl},
        {"Label21", Kind::Label, "Frame5", 120, 3120, 1335, 375, "", kWhite, kBlack, F::Heading, VMid | Border},
        {"Label23", Kind::Label, "Frame5", 120, 3600, 1335, 375, "", kWhite, kBlack, F::Heading, VMid | Border},
        {"Label2(0)", Kind::Label, "Frame5", 1680, 3120, 1185, 255, "dEm = Em /", kNone, kBlack, F::Standard, RightAl},
        {"Text1", Kind::Text, "Frame5", 2880, 3170, 375, 195, "2", kWhite, kBlack, F::Standard, ReadOnly},
        {"Slider9", Kind::Slider, "Frame5", 3270, 3150, 1410, 240, "", kNone, kNone, F::Standard, 0},
        {"Label12", Kind::Label, "Frame5", 1680, 3600, 1185, 255, "dUm = Em /", kNone, kBlack, F::Standard, RightAl},
        {"Text2", Kind::Text, "Frame5", 2880, 3660, 375, 195, "10", kWhite, kBlack, F::Standard, ReadOnly},
        {"Slider10", Kind::Slider, "Frame5", 3270, 3600, 1410, 240, "", kNone, kNone, F::Standard, 0},

        // ---- graph
        {"Mygraph1", Kind::Graph, "", 4950, 450, 4995, 4125, "", kNone, kNone, F::Standard, 0},
        {"Check1", Kind::Check, "", 4950 + 3990, 450 + 3120, 195, 195, "", kNone, kNone, F::Standard, Hand},
        {"Label24", Kind::Label, "", 4950 + 4200, 450 + 3120, 780, 195, "Auto Save", kNone, kBlack, F::Standard, VMid},

        // ---- selection column
        {"Frame1", Kind::Frame, "", 0, 4590, 2835, 3015, "Denetleyici Seçimi", kLavender, kDarkBlue, F::Standard,
         Covered},
        {"Label25", Kind::Label, "Frame1", 120, 120, 2055, 255, "Denetleyici Seçimi", kLavender, kDarkBlue, F::Heading,
         VMid},
        {"Frame2", Kind::Frame, "Frame1", 200, 480, 2685, 2415, "", kLavender, kDarkBlue, F::Standard, 0},
        {"Frame6", Kind::Frame, "Frame2", 0, 0, 2745, 975, "", kWhite, kBlack, F::Standard, 0},
        {"Acik", Kind::Option, "Frame6", 0, 0, 2685, 270, "Denetimsiz", kDarkBlue, kWhite, F::Standard, Hand},
        {"Kapalii", Kind::Option, "Frame6", 0, 330, 2685, 255, "Kapalı Çevrim", kBlack, kWhite, F::Standard, Hand},
        {"simulasyon", Kind::Option, "Frame6", 0, 600, 2745, 255, "Simülasyon", rgb(0, 192, 192), kWhite, F::Standard,
         Hand},
        {"Pcontrol", Kind::Option, "Frame2", 120, 960, 2625, 195, "P", kGrey, kBlack, F::Standard, Hand | Checked},
        {"Icontrol", Kind::Option, "Frame2", 120, 1200, 2625, 195, "I", kGrey, kBlack, F::Standard, Hand},
        {"PIcontrol", Kind::Option, "Frame2", 120, 1440, 2625, 195, "PI", kGrey, kBlack, F::Standard, Hand},
        {"PDcontrol", Kind::Option, "Frame2", 120, 1680, 2625, 195, "PD", kGrey, kBlack, F::Standard, Hand},
        {"PIDcontrol", Kind::Option, "Frame2", 120, 1920, 2625, 195, "PID", kGrey, kBlack, F::Standard, Hand},
        {"Bulanik", Kind::Option, "Frame2", 120, 2160, 2625, 195, "Bulanık Mantık", rgb(0, 128, 0), kWhite, F::Standard,
         Hand},

        // ---- run column
        {"Shape7", Kind::Rect, "", 2850, 4590, 1350, 3015, "", rgb(192, 255, 255), kBlack, F::Standard, 0},
        {"Label39", Kind::Click, "", 2880, 4620, 1305, 2955, "", kNone, kBlack, F::Standard, 0},
        {"Shape5", Kind::Oval, "", 2940, 4740, 1215, 585, "", rgb(0, 192, 0), kBlack, F::Standard, 0},
        {"Shape8", Kind::Oval, "", 2940, 5460, 1185, 585, "", rgb(192, 0, 0), kBlack, F::Standard, 0},
        {"Shape9", Kind::Oval, "", 2940, 6180, 1215, 555, "", rgb(0, 0, 255), kBlack, F::Standard, 0},
        {"Label28", Kind::Label, "", 3000, 4920, 1095, 255, "BAŞLA", kNone, kHighlightText, F::Standard, Center},
        {"Label29", Kind::Label, "", 3030, 5640, 1065, 255, "DUR", kNone, kHighlightText, F::Standard, Center},
        {"Label30", Kind::Label, "", 3030, 6360, 1095, 255, "RESET", kNone, kHighlightText, F::Standard, Center},
        {"Label32", Kind::Click, "", 2940, 4740, 1215, 585, "", kNone, kBlack, F::Standard, Hand},
        {"Label33", Kind::Click, "", 2940, 5460, 1185, 585, "", kNone, kBlack, F::Standard, Hand},
        {"Label34", Kind::Click, "", 2940, 6180, 1215, 555, "", kNone, kBlack, F::Standard, Hand},
        {"Dil(0)", Kind::Option, "", 3030, 6810, 1155, 225, "English", kLavender, rgb(0, 0, 255), F::Standard, Hand},
        {"Dil(1)", Kind::Option, "", 3030, 7050, 1155, 225, "Turkish", kLavender, rgb(0, 0, 255), F::Standard, Hand},
        {"Picture4", Kind::Box, "", 3030, 7290, 1035, 285, "", kYellow, kBlack, F::Standard, Border},
        {"Label27", Kind::Click, "Picture4", 15, 15, 1005, 255, "ABOUT", kYellow, kBlack, F::Small,
         Center | VMid | Hand},

        // ---- block diagram
        {"Frame3", Kind::Frame, "", 4200, 4590, 5775, 3015, "", kLavender, kBlack, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 607, 1245, 607, 1500, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 735, 1627, 1320, 1627, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 2535, 1627, 3120, 1627, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 4095, 1627, 4320, 1627, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 5200, 1627, 5700, 1627, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Line, "Frame3", 5460, 1627, 5460, 2587, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 5460, 2587, 3615, 2587, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Line, "Frame3", 2160, 2587, 607, 2587, "", kNone, kNone, F::Standard, 0},
        {"", Kind::Arrow, "Frame3", 607, 2587, 607, 1755, "", kNone, kNone, F::Standard, 0},
        {"Shape6", Kind::Rect, "Frame3", 75, 660, 2565, 1395, "", kNone, kBlack, F::Standard, Dotted | Hollow},
        {"Label48(18)", Kind::Label, "Frame3", 660, 210, 1215, 255, "Bilgisayar", kGrey, kBlockText, F::Standard,
         Center | VMid},
        {"Label48(19)", Kind::Label, "Frame3", 120, 780, 1935, 225, "Referans Hız", kNone, kBlockText, F::Standard, 0},
        {"Myslider1", Kind::Bar, "Frame3", 120, 1020, 1125, 225, "", kNone, kNone, F::Standard, 0},
        {"Text6", Kind::Text, "Frame3", 1320, 1020, 735, 285, "", kWhite, kBlack, F::Standard, ReadOnly | Center},
        {"Label48(13)", Kind::Label, "Frame3", 2100, 1020, 525, 225, "d/dk", kNone, kBlockText, F::Standard, 0},
        {"Shape1(30)", Kind::Circle, "Frame3", 480, 1500, 255, 255, "", kGrey, kBlockText, F::Standard, 0},
        {"Label48(24)", Kind::Label, "Frame3", 345, 1290, 180, 210, "+", kNone, kBlack, F::Standard, Center},
        {"Label48(25)", Kind::Label, "Frame3", 345, 1755, 180, 210, "-", kNone, kBlack, F::Standard, Center},
        {"Label48(20)", Kind::Label, "Frame3", 795, 1410, 480, 210, "e(t) ", kNone, kBlockText, F::Standard, 0},
        {"Shape2", Kind::Rect, "Frame3", 1320, 1380, 1215, 495, "", kGrey, kBlockText, F::Standard, 0},
        {"Label48(21)", Kind::Label, "Frame3", 1335, 1395, 1185, 465, "Denetleyici", kGrey, kBlockText, F::Standard,
         Center | VMid},
        {"Label48(23)", Kind::Label, "Frame3", 2610, 1410, 480, 210, "U(t)", kNone, kBlockText, F::Standard, 0},
        {"Shape3", Kind::Rect, "Frame3", 3120, 1200, 975, 795, "", kGrey, kBlockText, F::Standard, 0},
        {"Label48(14)", Kind::Label, "Frame3", 3135, 1215, 945, 390, "Güç", kGrey, kBlockText, F::Standard,
         Center | VBottom | Wrap},
        {"Label48(15)", Kind::Label, "Frame3", 3135, 1605, 945, 375, "Kaynağı", kGrey, kBlockText, F::Standard,
         Center | Wrap},
        {"Label48(16)", Kind::Label, "Frame3", 4080, 660, 1380, 225, "DC Motor", kNone, kBlockText, F::Standard,
         Center},
        {"Picture1", Kind::Picture, "Frame3", 4320, 900, 880, 1440, "", kNone, kNone, F::Standard, 0},
        {"Label48(17)", Kind::Label, "Frame3", 5235, 1380, 495, 210, "Y(t)", kNone, kBlockText, F::Standard, 0},
        {"Shape4", Kind::Rect, "Frame3", 2160, 2340, 1455, 495, "", kGrey, kBlockText, F::Standard, 0},
        {"Label17", Kind::Label, "Frame3", 2280, 2430, 1215, 315, "", kWhite, kBlack, F::Standard,
         Center | VMid | Border},
        {"Label48(22)", Kind::Label, "Frame3", 1830, 2100, 2310, 225, "Hız Algılayıcı (d/dk)", kGrey, kBlockText,
         F::Standard, Center | VMid},
        {"Label48(57)", Kind::Label, "Frame3", 2820, 30, 1440, 225, "Yük", kNone, kBlockText, F::Standard, Center},
        {"Label48(45)", Kind::Label, "Frame3", 2520, 300, 1020, 225, "Azalt", kNone, kBlockText, F::Standard, 0},
        {"Label48(44)", Kind::Label, "Frame3", 3660, 300, 900, 225, "Artır", kNone, kBlockText, F::Standard, 0},
        {"Slider11", Kind::Slider, "Frame3", 2820, 570, 1440, 240, "", kNone, kNone, F::Standard, 0},

        // ---- actuator bar and bottom strip
        {"Label22", Kind::Label, "", 60, 7620, 9975, 1035, "", kYellow, kBlack, F::Standard, 0},
        {"Slider1", Kind::Bar, "", 60, 7770, 9885, 315, "", kNone, kNone, F::Standard, 0},
        {"Picture11", Kind::Picture, "", 0, 8220, 10005, 450, "", kNone, kNone, F::Standard, 0},
        {"Picture13", Kind::Picture, "Picture11", 270, 60, 9300, 375, "", kNone, kNone, F::Standard, 0},
        {"Picture10(0)", Kind::Picture, "", 0, 450, 60, 7830, "", kNone, kNone, F::Standard, 0},
        {"Picture10(1)", Kind::Picture, "", 9945, 450, 60, 8040, "", kNone, kNone, F::Standard, 0},

        // ---- below the visible region
        {"Command1", Kind::Button, "", 90, 8970, 855, 375, "Set", kNone, kNone, F::Standard, 0},
    };

    // Open-loop panel: the LED row, most significant bit on the left.
    for (int i = 0; i < 12; ++i)
        rows.push_back({QStringLiteral("Shape(%1)").arg(i), Kind::Oval, "Picture6", 315 + 240 * (11 - i), 130, 135, 135,
                        "", kLedDark, kBlack, F::Standard, 0});

    // Rule table: the row is the error term, the column the change term;
    // the headings start in Turkish.
    const QStringList terms = Captions::termNames(Terms::Turkish);
    for (int r = 0; r < 7; ++r)
        rows.push_back({QStringLiteral("Label11(%1)").arg(r), Kind::Label, "Frame5", 105, 480 + 360 * r + 30, 360, 255,
                        terms.at(r), kNone, kBlack, F::Standard, RightAl | VMid});
    for (int c = 0; c < 7; ++c)
        rows.push_back({QStringLiteral("Label11(%1)").arg(7 + c), Kind::Label, "Frame5", 480 + 600 * c, 240, 615, 225,
                        terms.at(c), kNone, kBlack, F::Standard, Center});
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 7; ++c)
            rows.push_back({QStringLiteral("Combo1(%1)").arg(FuzzyController::cellIndex(r, c)), Kind::Cell, "Frame5",
                            480 + 600 * c, 480 + 360 * r, 615, 315, "", kWhite, kBlack, F::Standard, Hand});
    return rows;
}

// ---- widgets the table needs beyond the shared control classes -------------

// The signal lines of a diagram, drawn under the other controls of a frame.
class DiagramLines : public QWidget {
public:
    struct Segment {
        QPointF from, to;
        bool arrow;
    };
    explicit DiagramLines(QWidget *parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, 0, parent->width(), parent->height());
    }
    void add(const Segment &s) { segments_.push_back(s); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink(64, 64, 64);
        for (const Segment &s : segments_) {
            p.setPen(QPen(ink, 1.2));
            p.drawLine(s.from, s.to);
            if (!s.arrow)
                continue;
            const double ang = std::atan2(s.to.y() - s.from.y(), s.to.x() - s.from.x());
            const double len = 6, spread = 0.42;
            QPolygonF head;
            head << s.to << QPointF(s.to.x() - len * std::cos(ang - spread), s.to.y() - len * std::sin(ang - spread))
                 << QPointF(s.to.x() - len * std::cos(ang + spread), s.to.y() - len * std::sin(ang + spread));
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawPolygon(head);
        }
    }

private:
    std::vector<Segment> segments_;
};

// The rule cells are narrow: a slim drop-down button leaves the term room
// to show in full.
class CellStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex *opt, SubControl sc,
                         const QWidget *widget) const override
    {
        if (cc == CC_ComboBox && (sc == SC_ComboBoxArrow || sc == SC_ComboBoxEditField)) {
            const QRect r = opt->rect;
            const int button = 11;
            if (sc == SC_ComboBoxArrow)
                return QRect(r.right() - button, r.top() + 1, button, r.height() - 2);
            return QRect(r.left() + 2, r.top() + 2, r.width() - button - 4, r.height() - 4);
        }
        return QProxyStyle::subControlRect(cc, opt, sc, widget);
    }
};

// Frames are an etched line round the frame's own back colour: no shading
// of the interior by the style.
class FrameStyle : public QProxyStyle {
public:
    void drawPrimitive(PrimitiveElement pe, const QStyleOption *opt, QPainter *p, const QWidget *widget) const override
    {
        if (pe != PE_FrameGroupBox) {
            QProxyStyle::drawPrimitive(pe, opt, p, widget);
            return;
        }
        const QRect r = opt->rect;
        p->save();
        p->setPen(QColor(128, 128, 128));
        p->setBrush(Qt::NoBrush);
        p->drawRect(r.adjusted(0, 0, -2, -2));
        p->setPen(QColor(255, 255, 255));
        p->drawLine(r.left() + 1, r.top() + 1, r.right() - 2, r.top() + 1);
        p->drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 2);
        p->drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        p->drawLine(r.right(), r.top(), r.right(), r.bottom());
        p->restore();
    }
};

void setBack(QWidget *w, std::uint32_t back)
{
    if (back == kNone)
        return;
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour(back));
    if (qobject_cast<QLineEdit *>(w))
        pal.setColor(QPalette::Base, colour(back));
    pal.setColor(w->backgroundRole(), colour(back)); // buttons fill with their Button role
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void setFore(QWidget *w, std::uint32_t fore)
{
    if (fore == kNone)
        return;
    QPalette pal = w->palette();
    // An option's indicator draws its dot in the Text colour: that stays
    // dark on the white indicator whatever the caption's colour.
    const bool option = qobject_cast<QAbstractButton *>(w) != nullptr;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            if (!(option && r == QPalette::Text))
                pal.setColor(g, r, colour(fore));
    // disabled options keep a readable grey caption on their coloured back
    if (qobject_cast<QAbstractButton *>(w))
        pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
    w->setPalette(pal);
}

Qt::Alignment alignment(unsigned flags)
{
    Qt::Alignment a = (flags & Center) ? Qt::AlignHCenter : ((flags & RightAl) ? Qt::AlignRight : Qt::AlignLeft);
    a |= (flags & VMid) ? Qt::AlignVCenter : ((flags & VBottom) ? Qt::AlignBottom : Qt::AlignTop);
    return a;
}

QWidget *create(const Row &row, QWidget *parent)
{
    switch (row.kind) {
    case Kind::Label:
    case Kind::Picture: return new QLabel(row.caption, parent);
    case Kind::Click:
    case Kind::ClickPicture: return new ClickLabel(row.caption, parent);
    case Kind::Frame: return new QGroupBox(row.caption, parent);
    case Kind::Box: return new QFrame(parent);
    case Kind::Option: return new OptionButton(row.caption, parent);
    case Kind::Check: return new CheckBox(row.caption, parent);
    case Kind::Button: return new QPushButton(row.caption, parent);
    case Kind::Text: return new QLineEdit(row.caption, parent);
    case Kind::Bar: return new ScrollBar(parent);
    case Kind::Slider: return new Myslider(parent);
    case Kind::Graph: return new Mygraph(parent);
    case Kind::Rect: return new Shape(Shape::Rectangle, parent);
    case Kind::Oval: return new Shape(Shape::Oval, parent);
    case Kind::Circle: return new Shape(Shape::Circle, parent);
    case Kind::Cell: return new RuleCell(parent);
    case Kind::Line:
    case Kind::Arrow: break;
    }
    return nullptr;
}

void dress(const Row &row, QWidget *w)
{
    w->setFont(Fonts::font(row.font));
    if (row.flags & Hand)
        w->setCursor(Qt::PointingHandCursor);
    if (auto *shape = dynamic_cast<Shape *>(w)) {
        if (row.back != kNone)
            shape->setFillColor(colour(row.back));
        if (row.fore != kNone)
            shape->setBorderColor(colour(row.fore));
        shape->setFilled(!(row.flags & Hollow));
        shape->setBorderStyleDotted(row.flags & Dotted);
        return;
    }
    if (auto *cell = dynamic_cast<RuleCell *>(w)) {
        cell->setBackColor(colour(row.back));
        cell->setForeColor(colour(row.fore));
        return;
    }
    if (auto *label = dynamic_cast<QLabel *>(w)) {
        label->setAlignment(alignment(row.flags));
        label->setWordWrap(row.flags & Wrap);
        if (row.flags & Border) {
            label->setFrameShape(QFrame::Box);
            label->setLineWidth(1);
        }
    }
    if (auto *frame = dynamic_cast<QFrame *>(w); frame && !dynamic_cast<QLabel *>(w) && (row.flags & Border)) {
        frame->setFrameShape(QFrame::Box);
        frame->setLineWidth(1);
    }
    if (auto *edit = dynamic_cast<QLineEdit *>(w)) {
        edit->setReadOnly(row.flags & ReadOnly);
        edit->setFrame(false);
        edit->setAlignment((row.flags & Center) ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
        edit->setTextMargins(1, 0, 1, 0);
    }
    if (auto *option = dynamic_cast<OptionButton *>(w)) {
        if (row.flags & Checked)
            option->setChecked(true); // stored selection: no click handler runs
    }
    setBack(w, row.back);
    setFore(w, row.fore);
    if ((row.flags & Covered) && row.back != kNone) {
        // The frame's caption stays its stored text; its heading label is
        // what shows.
        QPalette pal = w->palette();
        pal.setColor(QPalette::Text, colour(row.back));
        pal.setColor(QPalette::WindowText, colour(row.back));
        w->setPalette(pal);
    }
    if (auto *label = dynamic_cast<QLabel *>(w))
        Fonts::fitCaption(*label);
}

// Pictures of the bitmap controls, drawn at the control's size.
void setPictures(const QHash<QString, QWidget *> &byName, Form2Controls &form)
{
    auto label = [&](const char *name) { return static_cast<QLabel *>(byName.value(QLatin1String(name))); };
    auto fill = [&](const char *name, QPixmap (*draw)(int, int)) {
        QLabel *l = label(name);
        l->setPixmap(draw(l->width(), l->height()));
    };
    fill("Picture9", &Pictures::titleStrip);
    fill("Picture11", &Pictures::bottomStrip);
    fill("Picture13", &Pictures::bottomInner);
    fill("Picture10(0)", &Pictures::sideStrip);
    fill("Picture10(1)", &Pictures::sideStrip);
    fill("Picture12", &Pictures::minimiseButton);
    fill("Picture14", &Pictures::closeButton);
    fill("Picture5", &Pictures::integratorBlock);
    fill("Picture7", &Pictures::piBlock);
    fill("Picture8", &Pictures::pidBlock);
    label("Picture6")->setPixmap(Pictures::ledPanel());
    label("Image1")->setPixmap(Pictures::icon(16));
    label("Image1")->setAlignment(Qt::AlignCenter);

    for (int k = 0; k < 4; ++k)
        form.pic[static_cast<std::size_t>(k)] = Pictures::motorFrame(k);
    form.pic[4] = Pictures::generator();
    label("Picture1")->setPixmap(form.pic[0]);
    label("Picture1")->setAlignment(Qt::AlignCenter);

    QIcon icon;
    icon.addPixmap(Pictures::icon(16));
    icon.addPixmap(Pictures::icon(32));
    form.window->setWindowIcon(icon);
}

// Stored settings of the graph and slider controls.
void loadStoredSettings(Form2Controls &form)
{
    form.Mygraph1->ReadProperties(Form2Layout::graphSettings());

    PropertyBag slider;
    slider.WriteProperty(QStringLiteral("BackColor"), 0x00FF8080);
    slider.WriteProperty(QStringLiteral("Orientation"), 0);
    slider.WriteProperty(QStringLiteral("RailStyle"), 99);
    slider.WriteProperty(QStringLiteral("ShowValueTip"), false);
    slider.WriteProperty(QStringLiteral("SliderIcon"), Myslider::uprightThumb());
    slider.WriteProperty(QStringLiteral("RailPicture"), QImage());
    for (Myslider *s : {form.Slider9, form.Slider10, form.Slider11})
        s->ReadProperties(slider);
}

template <typename T> void bind(T *&member, const QHash<QString, QWidget *> &byName, const QString &name)
{
    member = dynamic_cast<T *>(byName.value(name));
    if (!member)
        throw std::logic_error("window description lacks " + name.toStdString());
}

// Binds a control member to the control of the same name.
#define TERVALO_BIND(member) bind(form.member, byName, QStringLiteral(#member))

void bindMembers(Form2Controls &form, const QHash<QString, QWidget *> &byName)
{
    TERVALO_BIND(Mygraph1);
    TERVALO_BIND(Slider1);
    TERVALO_BIND(Slider2);
    TERVALO_BIND(Slider3);
    TERVALO_BIND(Slider4);
    TERVALO_BIND(Slider5);
    TERVALO_BIND(Slider6);
    TERVALO_BIND(Slider7);
    TERVALO_BIND(Slider8);
    TERVALO_BIND(Slider12);
    TERVALO_BIND(Slider13);
    TERVALO_BIND(Myslider1);
    TERVALO_BIND(Slider9);
    TERVALO_BIND(Slider10);
    TERVALO_BIND(Slider11);
    TERVALO_BIND(Acik);
    TERVALO_BIND(Kapalii);
    TERVALO_BIND(simulasyon);
    TERVALO_BIND(Pcontrol);
    TERVALO_BIND(Icontrol);
    TERVALO_BIND(PIcontrol);
    TERVALO_BIND(PDcontrol);
    TERVALO_BIND(PIDcontrol);
    TERVALO_BIND(Bulanik);
    bind(form.Shape1_29, byName, QStringLiteral("Shape1(29)"));
    bind(form.Shape1_30, byName, QStringLiteral("Shape1(30)"));
    TERVALO_BIND(Shape2);
    TERVALO_BIND(Shape3);
    TERVALO_BIND(Shape4);
    TERVALO_BIND(Shape5);
    TERVALO_BIND(Shape6);
    TERVALO_BIND(Shape7);
    TERVALO_BIND(Shape8);
    TERVALO_BIND(Shape9);
    TERVALO_BIND(Frame1);
    TERVALO_BIND(Frame2);
    TERVALO_BIND(Frame3);
    TERVALO_BIND(Frame4);
    TERVALO_BIND(Frame5);
    TERVALO_BIND(Frame6);
    TERVALO_BIND(Pdenetim);
    TERVALO_BIND(Idenetim);
    TERVALO_BIND(PIdenetim);
    TERVALO_BIND(PDdenetim);
    TERVALO_BIND(PIDDenetim);
    TERVALO_BIND(Label1);
    bind(form.Label2_0, byName, QStringLiteral("Label2(0)"));
    TERVALO_BIND(Label3);
    TERVALO_BIND(Label5);
    TERVALO_BIND(Label6);
    TERVALO_BIND(Label9);
    TERVALO_BIND(Label10);
    TERVALO_BIND(Label12);
    TERVALO_BIND(Label13);
    TERVALO_BIND(Label14);
    TERVALO_BIND(Label17);
    TERVALO_BIND(Label21);
    TERVALO_BIND(Label22);
    TERVALO_BIND(Label23);
    TERVALO_BIND(Label24);
    TERVALO_BIND(Label25);
    TERVALO_BIND(Label28);
    TERVALO_BIND(Label29);
    TERVALO_BIND(Label30);
    TERVALO_BIND(Label40);
    TERVALO_BIND(Label46);
    TERVALO_BIND(Label49);
    TERVALO_BIND(Label50);
    TERVALO_BIND(Label54);
    TERVALO_BIND(Label61);
    TERVALO_BIND(Label64);
    TERVALO_BIND(Label27);
    TERVALO_BIND(Label32);
    TERVALO_BIND(Label33);
    TERVALO_BIND(Label34);
    TERVALO_BIND(Label39);
    TERVALO_BIND(Label47);
    TERVALO_BIND(Picture9);
    TERVALO_BIND(Picture12);
    TERVALO_BIND(Picture14);
    TERVALO_BIND(Picture1);
    TERVALO_BIND(Picture5);
    TERVALO_BIND(Picture6);
    TERVALO_BIND(Picture7);
    TERVALO_BIND(Picture8);
    TERVALO_BIND(Picture11);
    TERVALO_BIND(Picture13);
    TERVALO_BIND(Image1);
    TERVALO_BIND(Picture4);
    TERVALO_BIND(Text1);
    TERVALO_BIND(Text2);
    TERVALO_BIND(Text6);
    TERVALO_BIND(Check1);
    TERVALO_BIND(Command1);

    for (std::size_t i = 0; i < form.Picture10.size(); ++i)
        bind(form.Picture10[i], byName, QStringLiteral("Picture10(%1)").arg(i));
    for (std::size_t i = 0; i < form.DilArray.size(); ++i)
        bind(form.DilArray[i], byName, QStringLiteral("Dil(%1)").arg(i));
    for (std::size_t i = 0; i < form.ShapeArray.size(); ++i)
        bind(form.ShapeArray[i], byName, QStringLiteral("Shape(%1)").arg(i));
    for (std::size_t i = 0; i < form.Combo1Array.size(); ++i)
        bind(form.Combo1Array[i], byName, QStringLiteral("Combo1(%1)").arg(i));
    for (std::size_t i = 0; i < form.Label11Array.size(); ++i)
        bind(form.Label11Array[i], byName, QStringLiteral("Label11(%1)").arg(i));
    // The block-diagram caption array holds only the indexes the window uses.
    for (std::size_t i = 0; i < form.Label48Array.size(); ++i)
        form.Label48Array[i] = dynamic_cast<QLabel *>(byName.value(QStringLiteral("Label48(%1)").arg(i)));
}

#undef TERVALO_BIND

} // namespace

PropertyBag Form2Layout::graphSettings()
{
    PropertyBag graph;
    graph.WriteProperty(QStringLiteral("Graph1Color"), 0x00FF0000);
    graph.WriteProperty(QStringLiteral("Graph2Color"), 0x0000C000);
    for (int k = 3; k <= 7; ++k)
        graph.WriteProperty(QStringLiteral("Graph%1Color").arg(k), 0x000000C0);
    graph.WriteProperty(QStringLiteral("TimeDivision"), 200);
    graph.WriteProperty(QStringLiteral("XaxisMax"), 20);
    return graph;
}

int Form2Layout::pixels(int twips)
{
    return static_cast<int>(std::lround(twips / static_cast<double>(kTwipsPerPixel)));
}

void Form2Layout::build(QWidget &window, Form2Controls &form)
{
    window.setObjectName(QStringLiteral("Form2"));
    window.setWindowTitle(QStringLiteral("Dervani"));
    window.resize(pixels(10005), pixels(9675));
    {
        QPalette pal = window.palette();
        pal.setColor(QPalette::Window, colour(kFormBack));
        window.setPalette(pal);
        window.setAutoFillBackground(true);
        window.setFont(Fonts::font(Fonts::Standard));
    }

    QHash<QString, QWidget *> byName;
    QHash<QWidget *, DiagramLines *> lines;
    for (const Row &row : windowDescription()) {
        QWidget *parent = row.parent.isEmpty() ? &window : byName.value(row.parent);
        if (!parent)
            throw std::logic_error("window description: no parent " + row.parent.toStdString());
        if (row.kind == Kind::Line || row.kind == Kind::Arrow) {
            DiagramLines *&overlay = lines[parent];
            if (!overlay)
                overlay = new DiagramLines(parent);
            const double px = kTwipsPerPixel;
            overlay->add({QPointF(row.left / px, row.top / px), QPointF(row.width / px, row.height / px),
                          row.kind == Kind::Arrow});
            continue;
        }
        QWidget *w = create(row, parent);
        w->setObjectName(row.name);
        if (row.kind != Kind::Graph) // the graph is sized after its stored settings are read
            w->setGeometry(pixels(row.left), pixels(row.top), pixels(row.width), pixels(row.height));
        dress(row, w);
        if (!row.name.isEmpty())
            byName.insert(row.name, w);
    }

    // Option groups: the options sharing a container. Explicit groups,
    // because a container's automatic group would also take in the options
    // of the frames nested in it.
    QHash<QWidget *, QButtonGroup *> groups;
    for (QRadioButton *option : window.findChildren<QRadioButton *>()) {
        QWidget *container = option->parentWidget();
        QButtonGroup *&group = groups[container];
        if (!group) {
            group = new QButtonGroup(container);
            group->setObjectName(container->objectName() + QStringLiteral(".options"));
            group->setExclusive(true);
        }
        group->addButton(option);
    }

    auto *frameStyle = new FrameStyle;
    frameStyle->setParent(&window);
    for (QGroupBox *frame : window.findChildren<QGroupBox *>())
        frame->setStyle(frameStyle);

    bindMembers(form, byName);
    form.byName = byName;
    setPictures(byName, form);

    // Graph: stored settings first, then its size, which draws it.
    loadStoredSettings(form);
    form.Mygraph1->setGeometry(pixels(4950), pixels(450), pixels(4995), pixels(4125));

    // Stored item lists of the rule cells: the Turkish terms.
    const QStringList stored = Captions::termNames(Terms::Turkish);
    auto *cellStyle = new CellStyle;
    cellStyle->setParent(form.Frame5);
    for (RuleCell *cell : form.Combo1Array) {
        cell->setStyle(cellStyle);
        cell->setItems(stored);
    }
}

} // namespace tervalo
