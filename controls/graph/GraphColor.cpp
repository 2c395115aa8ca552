#include "controls/graph/GraphColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace tervalo {

QRgb GraphColor::toRgb(std::uint32_t colour)
{
    if (isSystemColour(colour))
        return systemColour(colour & 0xFFu);
    const unsigned r = colour & 0xFFu;
    const unsigned g = (colour >> 8) & 0xFFu;
    const unsigned b = (colour >> 16) & 0xFFu;
    return qRgb(static_cast<int>(r), static_cast<int>(g), static_cast<int>(b));
}

QRgb GraphColor::systemColour(unsigned index)
{
    const QPalette pal = QGuiApplication::palette();
    const auto role = [&](QPalette::ColorGroup g, QPalette::ColorRole r) { return pal.color(g, r).rgb(); };
    switch (index) {
    case 0: return role(QPalette::Active, QPalette::Button);           // scroll bar
    case 1: return qRgb(58, 110, 165);                                  // desktop background
    case 2: return role(QPalette::Active, QPalette::Highlight);        // active title
    case 3: return role(QPalette::Inactive, QPalette::Highlight);      // inactive title
    case 4: return role(QPalette::Active, QPalette::Window);           // menu bar
    case 5: return role(QPalette::Active, QPalette::Base);             // window background
    case 6: return role(QPalette::Active, QPalette::Shadow);           // window frame
    case 7: return role(QPalette::Active, QPalette::WindowText);       // menu text
    case 8: return role(QPalette::Active, QPalette::Text);             // window text
    case 9: return role(QPalette::Active, QPalette::HighlightedText);  // title text
    case 10: return role(QPalette::Active, QPalette::Window);          // active border
    case 11: return role(QPalette::Inactive, QPalette::Window);        // inactive border
    case 12: return role(QPalette::Active, QPalette::Dark);            // application workspace
    case 13: return role(QPalette::Active, QPalette::Highlight);       // highlight
    case 14: return role(QPalette::Active, QPalette::HighlightedText); // highlighted text
    case 15: return role(QPalette::Active, QPalette::Button);          // button face
    case 16: return role(QPalette::Active, QPalette::Dark);            // button shadow
    case 17: return role(QPalette::Disabled, QPalette::Text);          // grey text
    case 18: return role(QPalette::Active, QPalette::ButtonText);      // button text
    case 19: return role(QPalette::Inactive, QPalette::HighlightedText); // inactive title text
    case 20: return role(QPalette::Active, QPalette::Light);           // button highlight
    case 21: return role(QPalette::Active, QPalette::Shadow);          // 3D dark shadow
    case 22: return role(QPalette::Active, QPalette::Midlight);        // 3D light
    case 23: return role(QPalette::Active, QPalette::ToolTipText);     // tip text
    case 24: return role(QPalette::Active, QPalette::ToolTipBase);     // tip background
    default: return qRgb(0, 0, 0);
    }
}

} // namespace tervalo
