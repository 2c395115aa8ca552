#include "controls/common/OleColor.h"

#include <QGuiApplication>

namespace tervalo {

QColor OleColor::toQColor(std::uint32_t value)
{
    // the palette only for system colours: plain colours are drawn per line
    if (value & SystemFlag)
        return systemColor(static_cast<int>(value & 0xFFu), QGuiApplication::palette());
    return plain(value);
}

QColor OleColor::toQColor(std::uint32_t value, const QPalette &palette)
{
    if (value & SystemFlag)
        return systemColor(static_cast<int>(value & 0xFFu), palette);
    return plain(value);
}

QColor OleColor::plain(std::uint32_t value)
{
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

QColor OleColor::systemColor(int index, const QPalette &p)
{
    switch (index) {
    case ScrollBar: return p.color(QPalette::Button);
    case Desktop: return p.color(QPalette::Dark);
    case ActiveCaption: return p.color(QPalette::Active, QPalette::Highlight);
    case InactiveCaption: return p.color(QPalette::Mid);
    case Menu: return p.color(QPalette::Button);
    case Window: return p.color(QPalette::Base);
    case WindowFrame: return p.color(QPalette::Shadow);
    case MenuText: return p.color(QPalette::ButtonText);
    case WindowText: return p.color(QPalette::WindowText);
    case CaptionText: return p.color(QPalette::HighlightedText);
    case ActiveBorder: return p.color(QPalette::Button);
    case InactiveBorder: return p.color(QPalette::Button);
    case AppWorkspace: return p.color(QPalette::Dark);
    case Highlight: return p.color(QPalette::Highlight);
    case HighlightText: return p.color(QPalette::HighlightedText);
    case ButtonFace: return p.color(QPalette::Button);
    case ButtonShadow: return p.color(QPalette::Dark);
    case GrayText: return p.color(QPalette::Disabled, QPalette::Text);
    case ButtonText: return p.color(QPalette::ButtonText);
    case InactiveCaptionText: return p.color(QPalette::Disabled, QPalette::WindowText);
    case ButtonHighlight: return p.color(QPalette::Light);
    case DarkShadow3D: return p.color(QPalette::Shadow);
    case Light3D: return p.color(QPalette::Midlight);
    case InfoText: return p.color(QPalette::ToolTipText);
    case InfoBackground: return p.color(QPalette::ToolTipBase);
    default: return QColor(0, 0, 0);
    }
}

std::uint32_t OleColor::fromQColor(const QColor &c)
{
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8)
        | (static_cast<std::uint32_t>(c.blue()) << 16);
}

} // namespace tervalo
