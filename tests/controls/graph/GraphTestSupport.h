#pragma once
// Shared helpers of the graph control tests: the main window's instance,
// pixel queries and text shape comparison.

#include "controls/graph/GraphColor.h"
#include "controls/graph/GraphFont.h"
#include "controls/graph/Mygraph.h"
#include "runtime/Numeric.h"

#include <QImage>
#include <QPainter>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace tervalo::graphtest {

inline QRgb rgb(std::uint32_t colour)
{
    return GraphColor::toRgb(colour);
}

// Stored settings of the main window's graph; everything else default.
inline PropertyBag mainWindowBag()
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Graph1Color"), 0x00FF0000);
    bag.WriteProperty(QStringLiteral("Graph2Color"), 0x0000C000);
    for (int k = 3; k <= 7; ++k)
        bag.WriteProperty(QStringLiteral("Graph%1Color").arg(k), 0x000000C0);
    bag.WriteProperty(QStringLiteral("TimeDivision"), 200);
    bag.WriteProperty(QStringLiteral("XaxisMax"), 20);
    return bag;
}

// The main window creates its graph this way: stored settings, then size.
inline void loadMainWindowGraph(Mygraph &g)
{
    g.ReadProperties(mainWindowBag());
    g.resize(333, 275);
}

inline int countColour(const QImage &img, const QRect &area, QRgb colour)
{
    int n = 0;
    const QRect r = area & img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) == colour)
                ++n;
    return n;
}

inline std::int32_t nearest(double x)
{
    return CLng(x);
}

// True when `img` shows exactly `text` in `colour` with its top-left corner at
// `at`: every glyph pixel has the colour and no other pixel of the text's box
// has it.
inline ::testing::AssertionResult showsText(const QImage &img, const QString &text, QPoint at, QRgb colour)
{
    const int w = static_cast<int>(GraphFont::textWidthPx(text)) + 2;
    const int h = GraphFont::lineHeightPx();
    QImage mask(w, h, QImage::Format_RGB32);
    mask.fill(Qt::white);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(GraphFont::font());
        p.setPen(Qt::black);
        p.drawText(QRect(0, 0, w, h), Qt::AlignLeft | Qt::AlignTop, text);
    }
    int glyphPixels = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QPoint q = at + QPoint(x, y);
            if (!img.rect().contains(q))
                continue;
            const bool glyph = mask.pixel(x, y) == qRgb(0, 0, 0);
            glyphPixels += glyph;
            if (glyph != (img.pixel(q) == colour))
                return ::testing::AssertionFailure()
                    << "text \"" << text.toStdString() << "\" at (" << at.x() << "," << at.y() << ") differs at pixel ("
                    << q.x() << "," << q.y() << ")";
        }
    if (glyphPixels == 0)
        return ::testing::AssertionFailure() << "text \"" << text.toStdString() << "\" has no visible pixel";
    return ::testing::AssertionSuccess();
}

class MainGraph : public ::testing::Test {
protected:
    void SetUp() override { loadMainWindowGraph(g); }
    QRgb at(int x, int y) const { return g.picture().pixel(x, y); }
    void plot(double d1, double d2 = 0, std::int16_t n = 1) { g.PlotGraph1(d1, d2, 0, 0, 0, 0, 0, 0, 0, n); }

    Mygraph g;
    const QRgb back = rgb(0x00FFFFFF);
    const QRgb grid = rgb(0x00E0E0E0);
    const QRgb axis = rgb(0x00000000);
    const QRgb label = rgb(0x00FF0000);
    const QRgb refLine = rgb(0x000000FF);
    const QRgb trace1 = rgb(0x00FF0000);
    const QRgb trace2 = rgb(0x0000C000);
};

} // namespace tervalo::graphtest
