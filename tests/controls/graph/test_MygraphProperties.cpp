// Property setters, their effects and notifications, and the stored
// settings (property bag).

#include "GraphTestSupport.h"

#include "runtime/RuntimeError.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>

#include <functional>

using namespace tervalo;
using namespace tervalo::graphtest;

namespace {

TEST_F(MainGraph, GridSayisiIsEvenBetweenSixAndThirty)
{
    const std::pair<int, int> cases[] = {{5, 6}, {31, 30}, {7, 6}, {29, 28}, {12, 12}, {0, 6}, {255, 30}};
    for (auto [in, out] : cases) {
        g.setGridSayisi(in);
        EXPECT_EQ(g.GridSayisi(), out) << in;
    }
    EXPECT_THROW(g.setGridSayisi(256), RuntimeError);
    EXPECT_THROW(g.setGridSayisi(-1), RuntimeError);
}

TEST_F(MainGraph, ZeroPointStaysWithinTheLowerHalf)
{
    const std::pair<int, int> cases[] = {{7, 5}, {-3, 0}, {5, 5}, {0, 0}, {2, 2}};
    for (auto [in, out] : cases) {
        g.setZeroPoint(in);
        EXPECT_EQ(g.ZeroPoint(), out) << in;
    }
    g.setGridSayisi(30);
    g.setZeroPoint(15);
    g.setGridSayisi(6);
    EXPECT_EQ(g.ZeroPoint(), 3);
    g.setGridSayisi(30);
    g.setZeroPoint(3);
    g.setGridSayisi(6);
    EXPECT_EQ(g.ZeroPoint(), 3);
    EXPECT_THROW(g.setZeroPoint(40000), RuntimeError);
}

TEST_F(MainGraph, YmaxIsAtLeastTen)
{
    const std::pair<int, int> cases[] = {{9, 10}, {-5, 10}, {10, 10}, {1800, 1800}};
    for (auto [in, out] : cases) {
        g.setYmax(in);
        EXPECT_EQ(g.Ymax(), out) << in;
    }
}

TEST_F(MainGraph, GridSettingsMoveTheGrid)
{
    g.setGridSayisi(6); // W / 6 = 50.5, H / 6 = 40.83
    EXPECT_EQ(at(80, 110), grid);
    EXPECT_EQ(at(60, 110), back);
    EXPECT_EQ(at(200, 41), grid);
    g.setZeroPoint(3);
    EXPECT_EQ(at(200, nearest(245 - 3 * 245.0 / 6)), refLine); // reference 0 on the zero line
}

struct SetterCase {
    const char *name;
    bool redraws;
    std::function<void(Mygraph &)> set;
};

class Setter : public MainGraph, public ::testing::WithParamInterface<SetterCase> { };

TEST_P(Setter, NotifiesAndRedrawsAsItShould)
{
    // a trace segment that only a redraw removes
    plot(2.5);
    plot(2.5);
    ASSERT_EQ(at(32, 147), trace1);
    const QImage before = g.picture();

    QSignalSpy spy(&g, &Mygraph::PropertyChanged);
    GetParam().set(g);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QString::fromLatin1(GetParam().name));
    if (GetParam().redraws)
        EXPECT_NE(at(32, 147), trace1);
    else
        EXPECT_EQ(g.picture(), before);
    EXPECT_EQ(g.sweepsStarted(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    All, Setter,
    ::testing::Values(SetterCase{"GridSayisi", true, [](Mygraph &g) { g.setGridSayisi(10); }},
                      SetterCase{"ZeroPoint", true, [](Mygraph &g) { g.setZeroPoint(2); }},
                      SetterCase{"Ymax", true, [](Mygraph &g) { g.setYmax(10); }},
                      SetterCase{"TimeDivision", true, [](Mygraph &g) { g.setTimeDivision(200); }},
                      SetterCase{"XaxisMax", true, [](Mygraph &g) { g.setXaxisMax(20); }},
                      SetterCase{"GridColor", true, [](Mygraph &g) { g.setGridColor(0x00E0E0E0); }},
                      SetterCase{"LabelColor", true, [](Mygraph &g) { g.setLabelColor(0x00FF0000); }},
                      SetterCase{"XYsidegridColor", true, [](Mygraph &g) { g.setXYsidegridColor(0); }},
                      SetterCase{"BackColor", true, [](Mygraph &g) { g.setBackColor(0x00FFFFFF); }},
                      SetterCase{"Ylabel", true, [](Mygraph &g) { g.setYlabel(QStringLiteral("YLabel")); }},
                      SetterCase{"Xlabel", true, [](Mygraph &g) { g.setXlabel(QStringLiteral("XLabel")); }},
                      SetterCase{"RefLineColor", false, [](Mygraph &g) { g.setRefLineColor(0x00123456); }},
                      SetterCase{"Graph1Color", false, [](Mygraph &g) { g.setGraphColor(1, 0x00123456); }},
                      SetterCase{"Graph9Color", false, [](Mygraph &g) { g.setGraphColor(9, 0x00123456); }},
                      SetterCase{"AutoSaveGraph", false, [](Mygraph &g) { g.setAutoSaveGraph(true); }},
                      SetterCase{"Graph6Caption", false, [](Mygraph &g) { g.setGraph6Caption(QString()); }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(MainGraph, BackColorFillsThePicture)
{
    g.setBackColor(0x00203040);
    EXPECT_EQ(at(100, 100), rgb(0x00203040));
    EXPECT_EQ(at(5, 270), rgb(0x00203040));
    EXPECT_EQ(at(90, 110), grid);
}

TEST(MygraphColour, StoredColoursAreRedInTheLowByte)
{
    EXPECT_EQ(GraphColor::toRgb(0x000000FF), qRgb(255, 0, 0));
    EXPECT_EQ(GraphColor::toRgb(0x0000C000), qRgb(0, 192, 0));
    EXPECT_EQ(GraphColor::toRgb(0x00FF0000), qRgb(0, 0, 255));
    EXPECT_EQ(GraphColor::toRgb(0x00004080), qRgb(128, 64, 0));
    // system colours come from the desktop, not from the low bytes
    EXPECT_NE(GraphColor::toRgb(0x80000001), qRgb(1, 0, 0));
    EXPECT_EQ(GraphColor::toRgb(0x80000005), QGuiApplication::palette().color(QPalette::Base).rgb());
}

TEST(MygraphStore, EmptyBagReadsDefaultsAndWritesNothing)
{
    Mygraph g;
    g.ReadProperties(PropertyBag());
    EXPECT_EQ(g.GridSayisi(), 10);
    EXPECT_EQ(g.ZeroPoint(), 2);
    EXPECT_EQ(g.Ymax(), 10);
    EXPECT_EQ(g.TimeDivision(), 100);
    EXPECT_EQ(g.XaxisMax(), 10);
    EXPECT_EQ(g.GridColor(), 0x00E0E0E0u);
    EXPECT_EQ(g.LabelColor(), 0x00FF0000u);
    EXPECT_EQ(g.BackColor(), 0x00FFFFFFu);
    EXPECT_EQ(g.XYsidegridColor(), 0u);
    EXPECT_EQ(g.RefLineColor(), 0x000000FFu);
    const std::uint32_t traces[9] = {0x000000FF, 0x00FF0000, 0x0000FF00, 0x00FFFF00, 0x00FF00FF,
                                     0x0000FFFF, 0x80000001, 0x000080FF, 0x00004080};
    for (int k = 1; k <= 9; ++k)
        EXPECT_EQ(g.GraphColor(k), traces[k - 1]) << k;
    EXPECT_FALSE(g.AutoSaveGraph());
    EXPECT_EQ(g.Xlabel(), QStringLiteral("XLabel"));
    EXPECT_EQ(g.Ylabel(), QStringLiteral("YLabel"));
    EXPECT_EQ(g.Graph1Caption(), QString());

    PropertyBag out;
    g.WriteProperties(out);
    EXPECT_EQ(out.count(), 0);
}

TEST(MygraphStore, InitPropertiesGivesTheDefaults)
{
    Mygraph g;
    g.resize(333, 275);
    g.setGridSayisi(20);
    g.setAutoSaveGraph(true);
    QSignalSpy spy(&g, &Mygraph::PropertyChanged);
    g.InitProperties();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("XaxisMax"));
    PropertyBag out;
    g.WriteProperties(out);
    EXPECT_EQ(out.count(), 0) << out.names().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(g.picture().pixel(90, 110), GraphColor::toRgb(0x00E0E0E0));
}

TEST(MygraphStore, MainWindowSettingsRoundTrip)
{
    Mygraph g;
    loadMainWindowGraph(g);
    EXPECT_EQ(g.GraphColor(1), 0x00FF0000u);
    EXPECT_EQ(g.GraphColor(2), 0x0000C000u);
    EXPECT_EQ(g.GraphColor(7), 0x000000C0u);
    EXPECT_EQ(g.GraphColor(8), 0x000080FFu);
    EXPECT_EQ(g.TimeDivision(), 200);
    EXPECT_EQ(g.XaxisMax(), 20);

    PropertyBag out;
    g.WriteProperties(out);
    const QStringList expected = {"Graph1Color", "Graph2Color", "Graph3Color",  "Graph4Color", "Graph5Color",
                                  "Graph6Color", "Graph7Color", "TimeDivision", "XaxisMax"};
    EXPECT_EQ(out.names(), expected);
}

TEST(MygraphStore, EverySettingRoundTrips)
{
    Mygraph a;
    a.setGridSayisi(20);
    a.setZeroPoint(4);
    a.setYmax(1800);
    a.setTimeDivision(50);
    a.setXaxisMax(30);
    a.setGridColor(0x00010203);
    a.setLabelColor(0x00040506);
    a.setBackColor(0x80000005);
    a.setXYsidegridColor(0x00070809);
    a.setRefLineColor(0x000A0B0C);
    for (int k = 1; k <= 9; ++k)
        a.setGraphColor(k, 0x00100000u + static_cast<std::uint32_t>(k));
    a.setAutoSaveGraph(true);
    a.setXlabel(QStringLiteral("Zaman (s)"));
    a.setYlabel(QStringLiteral("Hiz"));
    a.setGraph2Caption(QStringLiteral("Cikis"));
    a.setGraph3Caption(QStringLiteral("Hata"));
    a.setGraph4Caption(QStringLiteral("not stored"));
    PropertyBag bag;
    a.WriteProperties(bag);

    Mygraph b;
    b.ReadProperties(bag);
    EXPECT_EQ(b.GridSayisi(), 20);
    EXPECT_EQ(b.ZeroPoint(), 4);
    EXPECT_EQ(b.Ymax(), 1800);
    EXPECT_EQ(b.TimeDivision(), 50);
    EXPECT_EQ(b.XaxisMax(), 30);
    EXPECT_EQ(b.GridColor(), 0x00010203u);
    EXPECT_EQ(b.LabelColor(), 0x00040506u);
    EXPECT_EQ(b.BackColor(), 0x80000005u);
    EXPECT_EQ(b.XYsidegridColor(), 0x00070809u);
    EXPECT_EQ(b.RefLineColor(), 0x000A0B0Cu);
    for (int k = 1; k <= 9; ++k)
        EXPECT_EQ(b.GraphColor(k), 0x00100000u + static_cast<std::uint32_t>(k));
    EXPECT_TRUE(b.AutoSaveGraph());
    EXPECT_EQ(b.Xlabel(), QStringLiteral("Zaman (s)"));
    EXPECT_EQ(b.Ylabel(), QStringLiteral("Hiz"));
    EXPECT_EQ(b.Graph1Caption(), QString());
    EXPECT_EQ(b.Graph2Caption(), QStringLiteral("Cikis"));
    EXPECT_EQ(b.Graph3Caption(), QStringLiteral("Hata"));
    EXPECT_EQ(b.GraphCaption(4), QString());
}

TEST(MygraphStore, EntryNamesIgnoreCaseAndColoursMayBeSigned)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("gridsayisi"), 12);
    bag.WriteProperty(QStringLiteral("YMAX"), 50.5);                               // rounds half to even
    bag.WriteProperty(QStringLiteral("backcolor"), static_cast<int>(-2147483647)); // 0x80000001
    bag.WriteProperty(QStringLiteral("AutoSaveGraph"), -1);
    bag.WriteProperty(QStringLiteral("graph3caption"), QStringLiteral("E(t)"));
    Mygraph g;
    g.ReadProperties(bag);
    EXPECT_EQ(g.GridSayisi(), 12);
    EXPECT_EQ(g.Ymax(), 50);
    EXPECT_EQ(g.BackColor(), 0x80000001u);
    EXPECT_TRUE(g.AutoSaveGraph());
    EXPECT_EQ(g.Graph3Caption(), QStringLiteral("E(t)"));
}

TEST(MygraphStore, UnconvertibleEntriesFailTheLoad)
{
    struct Case {
        const char *name;
        QVariant value;
        int error;
    };
    const Case cases[] = {
        {"GridSayisi", 300, RuntimeError::Overflow},
        {"GridSayisi", -1, RuntimeError::Overflow},
        {"ZeroPoint", 40000, RuntimeError::Overflow},
        {"Ymax", QStringLiteral("abc"), 13},
        {"GridColor", QVariant(static_cast<qlonglong>(1) << 33), RuntimeError::Overflow},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PropertyBag bag;
        bag.WriteProperty(QString::fromLatin1(c.name), c.value);
        Mygraph g;
        try {
            g.ReadProperties(bag);
            ADD_FAILURE() << "no error";
        } catch (const RuntimeError &e) {
            EXPECT_EQ(e.number(), c.error);
        }
    }
}

TEST(MygraphStore, SettingsTheSettersNeverProduceAreLimitedOnReading)
{
    struct Case {
        int grid, zero, ymax;
        int gridRead, zeroRead, ymaxRead;
    };
    const Case cases[] = {
        {10, 10, 10, 10, 5, 10},                       // zero line at the top: no value span
        {10, 12, 10, 10, 5, 10},                       // zero line above the top
        {10, 2, 0, 10, 2, 10},                         // no value axis height
        {10, -4, -7, 10, 0, 10}, {0, 0, 10, 6, 0, 10}, // no grid divisions
        {3, 3, 10, 6, 3, 10},    {255, 2, 10, 30, 2, 10}, {7, 2, 10, 6, 2, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.grid << "/" << c.zero << "/" << c.ymax);
        PropertyBag bag = mainWindowBag();
        bag.WriteProperty(QStringLiteral("GridSayisi"), c.grid);
        bag.WriteProperty(QStringLiteral("ZeroPoint"), c.zero);
        bag.WriteProperty(QStringLiteral("Ymax"), c.ymax);
        Mygraph g;
        g.ReadProperties(bag);
        EXPECT_EQ(g.GridSayisi(), c.gridRead);
        EXPECT_EQ(g.ZeroPoint(), c.zeroRead);
        EXPECT_EQ(g.Ymax(), c.ymaxRead);
        g.resize(333, 275);
        for (int i = 0; i < 3; ++i)
            g.PlotGraph1(5, -1, 0, 0, 0, 0, 0, 0, 0, 2);
        EXPECT_EQ(g.sweepsStarted(), 1);
        const double zeroY = 245 - c.zeroRead * 245.0 / c.gridRead;
        EXPECT_EQ(g.lastPointOf(1).y(), nearest((1 - 5.0 / c.ymaxRead) * zeroY));
    }
}

TEST(MygraphStore, ShowingASizedControlKeepsWhatWasDrawn)
{
    // The host reads the settings, sizes the control, may draw on it, and
    // shows it afterwards.
    Mygraph g;
    PropertyBag bag = mainWindowBag();
    bag.WriteProperty(QStringLiteral("GridColor"), 0x00808080);
    g.ReadProperties(bag);
    g.resize(333, 275);
    g.setGraph1Caption(QStringLiteral("Ref"));
    const QImage drawn = g.picture();
    EXPECT_EQ(drawn.pixel(90, 110), GraphColor::toRgb(0x00808080));
    EXPECT_GT(countColour(drawn, QRect(77, 0, 30, 12), GraphColor::toRgb(0x000000FF)), 0);
    g.show();
    EXPECT_EQ(g.picture(), drawn);
    g.hide();
}

} // namespace
