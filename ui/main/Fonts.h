#pragma once
// The window's fonts. The window description names fonts as they were
// designed ("MS Sans Serif" 8.25 pt bold and so on); this class is the one
// place that turns such a name and size into an installed font. Sizes are
// fixed pixel sizes (96 dots per inch) so that every screen and the headless
// test platform lay the captions out alike.

#include <QFont>
#include <QString>

class QLabel;

namespace tervalo {

class Fonts {
public:
    // The fonts the window uses, by role.
    enum Key {
        Standard, // "MS Sans Serif" 8.25 pt bold: most captions
        Heading,  // "MS Sans Serif" 9.75 pt bold: frame heading, readouts
        Gain,     // "MS Sans Serif" 13.5 pt bold: gain readouts of the panels
        Output,   // "MS Sans Serif" 12 pt bold: "U=" readouts of the panels
        Title,    // "MS Sans Serif" 18 pt bold: window title
        Small,    // "Small Fonts" 6.75 pt bold: the ABOUT link
        Plain,    // "Verdana" 8.25 pt: the About window's texts
    };

    static QFont font(Key key);

    // A stored font description turned into an installed one.
    static QFont fromStored(const QString &face, double points, bool bold);

    // The window's sans-serif face at a pixel size: the text drawn inside
    // the pictures.
    static QFont pixelFont(int pixels, bool bold);

    // Keeps a label's text inside the label at the size it was given: when
    // the text is too wide (or, wrapped, too tall) the same face is drawn
    // condensed, never smaller. Run whenever a label's text changes.
    static void fitCaption(QLabel &label);

    // Points at 96 dots per inch to whole pixels (8.25 pt -> 11 px).
    static int pixels(double points);
};

} // namespace tervalo
