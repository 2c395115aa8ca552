#pragma once
// Colour values as the controls store them: 0x00BBGGRR, red in the low byte.
// A value 0x800000nn names system colour nn (15 button face, 16 button
// shadow, 20 button highlight, 21 3D dark shadow, 22 3D light, 8 window
// text, ...); system colours are taken from the application palette here and
// nowhere else.

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace tervalo {

class OleColor {
public:
    enum SystemColor : int {
        ScrollBar = 0,
        Desktop = 1,
        ActiveCaption = 2,
        InactiveCaption = 3,
        Menu = 4,
        Window = 5,
        WindowFrame = 6,
        MenuText = 7,
        WindowText = 8,
        CaptionText = 9,
        ActiveBorder = 10,
        InactiveBorder = 11,
        AppWorkspace = 12,
        Highlight = 13,
        HighlightText = 14,
        ButtonFace = 15,
        ButtonShadow = 16,
        GrayText = 17,
        ButtonText = 18,
        InactiveCaptionText = 19,
        ButtonHighlight = 20,
        DarkShadow3D = 21,
        Light3D = 22,
        InfoText = 23,
        InfoBackground = 24,
    };

    static constexpr std::uint32_t SystemFlag = 0x80000000u;
    static constexpr std::uint32_t system(int index) { return SystemFlag | static_cast<std::uint32_t>(index); }

    // The colour a stored value stands for; system colours through the
    // given palette (the application's by default). An unknown system
    // colour index gives black.
    static QColor toQColor(std::uint32_t value);
    static QColor toQColor(std::uint32_t value, const QPalette &palette);
    static QColor systemColor(int index, const QPalette &palette);

    // 0x00BBGGRR of a plain colour.
    static std::uint32_t fromQColor(const QColor &c);
    static constexpr std::uint32_t rgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

private:
    static QColor plain(std::uint32_t value);
};

} // namespace tervalo
