#pragma once
// The main window's controls as the window description gives them: every
// control with its name, place, caption, colours and font, built from one
// table. Rectangles are kept in twips (15 twips to the pixel) relative to
// the parent's client area.

#include "controls/common/PropertyBag.h"

class QWidget;

namespace tervalo {

struct Form2Controls;

class Form2Layout {
public:
    // Creates every control of the window, names each after its control
    // ("Slider1", "Label48(22)", "Combo1(24)"), sets the stored captions,
    // colours, fonts and pictures, and fills the record of the controls.
    static void build(QWidget &window, Form2Controls &controls);

    // The stored settings of the window's graph Mygraph1 (everything else
    // at the control's defaults).
    static PropertyBag graphSettings();

    static constexpr int kTwipsPerPixel = 15;
    // Twips to whole pixels, halves away from zero.
    static int pixels(int twips);
};

} // namespace tervalo
