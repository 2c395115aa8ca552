#pragma once
// GraphColor: turns a stored colour value into the pixel value drawn.
// Stored colours are 0x00BBGGRR (red in the low byte); a value with the top
// bit set, 0x800000nn, names system colour nn of the desktop (0 scroll bar,
// 1 desktop background, 5 window, 8 window text, 15 button face, ...).

#include <QRgb>

#include <cstdint>

namespace tervalo {

class GraphColor {
public:
    static QRgb toRgb(std::uint32_t colour);
    static bool isSystemColour(std::uint32_t colour) { return (colour & 0x80000000u) != 0; }

private:
    static QRgb systemColour(unsigned index);
};

} // namespace tervalo
