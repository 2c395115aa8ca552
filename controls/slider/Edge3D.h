#pragma once
// Three-dimensional rectangle edges in the desktop's usual layout. Each
// border flag is one line of pixels inside the rectangle (right and bottom
// exclusive), all four sides, no fill:
//   RaisedOuter: light at top/left, dark shadow at bottom/right;
//   SunkenOuter: button shadow at top/left, button highlight at bottom/right;
//   RaisedInner: button highlight at top/left, button shadow at bottom/right;
//   SunkenInner: dark shadow at top/left, light at bottom/right.
// The outer line lies on the rectangle's border and the inner one a pixel
// further in; an inner flag given alone takes the outer line. The top and
// left lines are drawn first, so the bottom/right colour owns the top-right
// and bottom-left corner pixels.

#include <QImage>
#include <QPalette>

namespace tervalo {

class Edge3D {
public:
    enum Flags : unsigned {
        RaisedOuter = 0x1,
        SunkenOuter = 0x2,
        RaisedInner = 0x4,
        SunkenInner = 0x8,
        Raised = RaisedOuter | RaisedInner, // 5
        Sunken = SunkenOuter | SunkenInner, // 10
    };

    // Pixels outside the image are left out.
    static void draw(QImage &image, int left, int top, int right, int bottom, unsigned flags, const QPalette &palette);
};

} // namespace tervalo
