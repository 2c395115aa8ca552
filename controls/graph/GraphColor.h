#pragma once
// GraphColor: turns a stored colour value into the pixel value drawn.
// Stored colours are 0x00BBGGRR (red in the low byte); a value with the top
// bit set, 0x800000nn, names system colour nn of the desktop; the mapping of
// system colours is the controls' shared one (OleColor).

#include <QRgb>

#include <cstdint>

namespace tervalo {

class GraphColor {
public:
    static QRgb toRgb(std::uint32_t colour);
    static bool isSystemColour(std::uint32_t colour) { return (colour & 0x80000000u) != 0; }
};

} // namespace tervalo
