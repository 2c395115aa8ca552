#pragma once
// GraphFont: the one text font of the graph control and its measurements.
//
// The control's texts are small bitmap-like labels 7 points high at 96 dots
// per inch. DejaVu Sans (installed with the program's packages) stands in for
// them at a fixed pixel size, drawn without antialiasing so that every text
// pixel has exactly the text colour and drawing over a text in the background
// colour erases it. The pixel size makes the metrics independent of the
// screen's resolution.
//
// Text measurements are given in twips as the control's layout expects them:
// pixels * twipsPerPixel.

#include <QFont>
#include <QString>

namespace tervalo {

class GraphFont {
public:
    static constexpr int twipsPerPixel = 15;
    static constexpr int pixelSize = 9; // 7 pt at 96 dpi is 9.33 px

    static const QFont &font();

    // Width of the widest line and height of all lines, in twips.
    static int textWidthTwips(const QString &text);
    static int textHeightTwips(const QString &text);

    // The same in pixels (twips divided by twips per pixel, not rounded).
    static double textWidthPx(const QString &text);
    static double textHeightPx(const QString &text);

    // Height of one line of text in pixels.
    static int lineHeightPx();
};

} // namespace tervalo
