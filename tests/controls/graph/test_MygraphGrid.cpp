// Grid, ticks, axis values, titles, reference line and legend captions of
// the main window's graph (333 x 275 pixels).

#include "GraphTestSupport.h"

#include "runtime/NumberText.h"

using namespace tervalo;
using namespace tervalo::graphtest;

namespace {

const int kColumns[] = {60, 90, 120, 151, 181, 211, 242, 272, 302, 332};
const int kRows[] = {24, 49, 74, 98, 122, 147, 172, 220};

TEST_F(MainGraph, GridColumnsAndRowsAreThoseOfTheWorkedExample)
{
    const int probeRow = 110; // between grid rows 98 and 122
    for (int x : kColumns) {
        SCOPED_TRACE(x);
        EXPECT_EQ(at(x, probeRow), grid);
        EXPECT_EQ(at(x - 1, probeRow), back);
        if (x + 1 < 333) {
            EXPECT_EQ(at(x + 1, probeRow), back);
        }
        EXPECT_EQ(at(x, 12), grid);
        EXPECT_EQ(at(x, 244), grid);
    }
    EXPECT_EQ(countColour(g.picture(), QRect(31, probeRow, 302, 1), grid), 10);
    EXPECT_EQ(at(30, probeRow), axis); // value axis over the first grid column

    const int probeColumn = 200; // between grid columns 181 and 211
    for (int y : kRows) {
        SCOPED_TRACE(y);
        EXPECT_EQ(at(probeColumn, y), grid);
        EXPECT_EQ(at(probeColumn, y - 1), back);
        EXPECT_EQ(at(probeColumn, y + 1), back);
        EXPECT_EQ(at(31, y), grid);
        EXPECT_EQ(at(331, y), grid);
        EXPECT_EQ(at(332, y), grid); // crossing the last column
    }
    EXPECT_EQ(at(probeColumn, 0), grid);
    EXPECT_EQ(at(probeColumn, 245), axis); // time axis over the last grid row
    EXPECT_EQ(countColour(g.picture(), QRect(probeColumn, 0, 1, 246), grid), 9);
}

TEST_F(MainGraph, ZeroLineAndReferenceLine)
{
    // Reference value 0 lies on the zero line and is drawn over it.
    for (int x : {30, 100, 332})
        EXPECT_EQ(at(x, 196), refLine) << x;

    const QImage before = g.picture();
    g.RefValue = 5;
    EXPECT_EQ(g.picture(), before) << "setting RefValue alone draws nothing";
    g.setYmax(10);
    for (int x : {30, 31, 200, 332}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(at(x, 196), axis);
        EXPECT_EQ(at(x, 98), refLine);
    }
    EXPECT_EQ(at(200, 195), back);
    EXPECT_EQ(at(200, 197), back);

    // Above the top value the line is outside the control; below the bottom
    // value it falls into the time strip.
    g.RefValue = 11;
    g.setYmax(10);
    EXPECT_EQ(countColour(g.picture(), g.picture().rect(), refLine), 0);
    g.RefValue = -3;
    g.setYmax(10);
    EXPECT_EQ(at(200, nearest(196 + 0.3 * 196)), refLine);
}

TEST_F(MainGraph, TicksOnBothAxes)
{
    // time ticks: 10 pixels at even divisions, 6 at odd ones, below the axis
    EXPECT_EQ(at(90, 254), axis);
    EXPECT_EQ(at(90, 255), back);
    EXPECT_EQ(at(60, 250), axis);
    EXPECT_EQ(at(60, 251), back);
    // value ticks: 8 pixels at even divisions, 4 at odd ones, left of the axis
    EXPECT_EQ(at(23, 49), axis);
    EXPECT_EQ(at(22, 49), back);
    EXPECT_EQ(at(27, 24), axis);
    EXPECT_EQ(at(26, 24), back);
    EXPECT_EQ(at(23, 0), axis);
}

TEST_F(MainGraph, AxisValuesSitOnTheirGridLines)
{
    const double h = GraphFont::lineHeightPx();
    const char *values[] = {"-2.5", "0", "2.5", "5", "7.5", "10"};
    for (int j = 0; j <= 5; ++j) {
        const int i = 2 * j;
        const int top = i == 10 ? 0 : nearest(275 - 29.5 - i * 24.5 - h / 2);
        EXPECT_TRUE(showsText(g.picture(), QString::fromLatin1(values[j]), QPoint(0, top), label));
    }
    const double th = GraphFont::lineHeightPx();
    for (int j = 0; j <= 5; ++j) {
        const int i = 2 * j;
        const QString text = QString::number(4 * j);
        const double tw = GraphFont::textWidthPx(text);
        const double xp = i * 30.3 + 29.5;
        const int left = nearest(i == 10 ? xp - tw : xp - tw / 2);
        EXPECT_TRUE(showsText(g.picture(), text, QPoint(left, nearest(275 - th)), label));
    }
}

TEST_F(MainGraph, AxisTitles)
{
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("YLabel"), QPoint(31, 0), label));
    g.setXlabel(QStringLiteral("  Time (s)  ")); // surrounding spaces are not drawn
    const QString t = QStringLiteral("  Time (s)  ");
    const int left = nearest(333 - GraphFont::textWidthPx(t) - 1);
    const int top = nearest(245 - GraphFont::textHeightPx(t));
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("Time (s)"), QPoint(left, top), label));
}

TEST_F(MainGraph, LegendCaptionsInTheirColumnsAndColours)
{
    const int columns[3] = {77, 143, 226};
    // caption 1: reference line; caption k: trace k - 1
    const std::uint32_t colours[9] = {0x000000FF, 0x00FF0000, 0x0000C000, 0x000000C0, 0x000000C0,
                                      0x000000C0, 0x000000C0, 0x000000C0, 0x000080FF};
    for (int k = 1; k <= 9; ++k) {
        const QString text = QStringLiteral("Cap%1").arg(k);
        g.setGraphCaption(k, text);
        const QPoint where(columns[(k - 1) % 3], 20 * ((k - 1) / 3));
        const QRgb colour = rgb(colours[k - 1]);
        EXPECT_TRUE(showsText(g.picture(), text, where, colour)) << "caption " << k;
        EXPECT_EQ(g.GraphCaption(k), text);
    }
}

TEST_F(MainGraph, CaptionSetterErasesTheOldText)
{
    const QRgb colour = trace2; // caption 3 uses trace 2's colour
    const QRect legend(226, 0, 107, 18);
    g.setGraphCaption(3, QStringLiteral("Output and more"));
    const int longCount = countColour(g.picture(), legend, colour);
    g.setGraphCaption(3, QStringLiteral("E"));
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("E"), QPoint(226, 0), colour));
    const int shortCount = countColour(g.picture(), legend, colour);
    EXPECT_LT(shortCount, longCount);
    EXPECT_EQ(countColour(g.picture(), QRect(236, 0, 97, 18), colour), 0);
}

TEST_F(MainGraph, CaptionColourChangeShowsOnlyWhenDrawnAgain)
{
    g.setGraphCaption(4, QStringLiteral("Four"));
    const QImage before = g.picture();
    g.setGraphColor(3, 0x00123456);
    EXPECT_EQ(g.picture(), before);
    g.setGraphCaption(4, QStringLiteral("Four"));
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("Four"), QPoint(77, 20), rgb(0x00123456)));
}

TEST_F(MainGraph, RedrawRemovesCaptions)
{
    g.setGraphCaption(2, QStringLiteral("Output"));
    ASSERT_GT(countColour(g.picture(), QRect(143, 0, 60, 12), trace1), 0);
    g.setGridColor(0x00E0E0E0);
    EXPECT_EQ(countColour(g.picture(), QRect(143, 0, 60, 12), trace1), 0);
    EXPECT_EQ(g.GraphCaption(2), QStringLiteral("Output"));
}

TEST_F(MainGraph, ZeroPointZeroPutsZeroOnTheTimeAxis)
{
    g.RefValue = 5;
    g.setZeroPoint(0);
    for (int x : {31, 200, 332})
        EXPECT_EQ(at(x, 245), axis);
    EXPECT_EQ(at(200, 196), grid);
    const double h = GraphFont::lineHeightPx();
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("0"), QPoint(0, nearest(245.5 - h / 2)), label));
    EXPECT_TRUE(showsText(g.picture(), QStringLiteral("10"), QPoint(0, 0), label));
    EXPECT_EQ(at(200, nearest(245 - 0.5 * 245)), refLine);
}

TEST(MygraphSize, ControlsOfThirtyPixelsOrLessShowOnlyTheBackground)
{
    struct Case {
        int w, h;
    };
    const Case cases[] = {{30, 30}, {30, 275}, {333, 30}, {12, 8}, {1, 1}, {31, 31}, {40, 400}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        Mygraph g;
        loadMainWindowGraph(g);
        g.resize(c.w, c.h);
        g.setGridSayisi(30);
        for (int i = 0; i < 5; ++i)
            g.PlotGraph1(3, 2, 1, 0, 0, 0, 0, 0, 0, 9);
        g.setGraphCaption(9, QStringLiteral("x"));
        g.setXlabel(QStringLiteral("x")); // redraw
        EXPECT_EQ(g.picture().size(), QSize(c.w, c.h));
        if (c.w <= 30 || c.h <= 30) {
            EXPECT_EQ(countColour(g.picture(), g.picture().rect(), rgb(0x00FFFFFF)), c.w * c.h);
        }
    }
}

TEST(MygraphSize, ResizeRedrawsAtTheNewSize)
{
    Mygraph g;
    loadMainWindowGraph(g);
    g.resize(633, 275); // W = 603: columns every 60.3 pixels
    EXPECT_EQ(g.picture().size(), QSize(633, 275));
    EXPECT_EQ(g.picture().pixel(90, 110), rgb(0x00E0E0E0));
    EXPECT_EQ(g.picture().pixel(60, 110), rgb(0x00FFFFFF));
}

} // namespace
