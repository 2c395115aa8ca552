#include "ui/main/Fonts.h"

#include <QFontMetrics>
#include <QLabel>

#include <cmath>

namespace tervalo {

namespace {

// Installed stand-ins of the designed faces. DejaVu Sans Condensed is close
// to the width of the narrow bitmap faces the window was drawn with.
struct Substitute {
    const char *stored;
    const char *family;
    QFont::Stretch stretch;
};

constexpr Substitute kSubstitutes[] = {
    {"MS Sans Serif", "DejaVu Sans Condensed", QFont::Unstretched},
    {"Small Fonts", "DejaVu Sans Condensed", QFont::Unstretched},
    {"Verdana", "DejaVu Sans", QFont::Unstretched},
};

} // namespace

int Fonts::pixels(double points)
{
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont Fonts::fromStored(const QString &face, double points, bool bold)
{
    QString family = QStringLiteral("DejaVu Sans Condensed");
    for (const Substitute &s : kSubstitutes) {
        if (face.compare(QLatin1String(s.stored), Qt::CaseInsensitive) == 0) {
            family = QLatin1String(s.family);
            break;
        }
    }
    QFont f(family);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels(points));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QFont Fonts::pixelFont(int pixels, bool bold)
{
    QFont f = fromStored(QStringLiteral("MS Sans Serif"), 8.25, bold);
    f.setPixelSize(pixels > 0 ? pixels : 1);
    return f;
}

namespace {

bool fits(const QLabel &label, const QFont &font)
{
    const QString text = label.text();
    const QRect room = label.contentsRect();
    const QFontMetrics fm(font);
    const int flags = int(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
    const QRect need = fm.boundingRect(room, flags, text);
    return need.width() <= room.width() && (!label.wordWrap() || need.height() <= room.height() + 2);
}

} // namespace

void Fonts::fitCaption(QLabel &label)
{
    if (label.text().isEmpty() || !label.pixmap().isNull())
        return;
    QFont f = label.font();
    f.setStretch(QFont::Unstretched);
    for (int stretch :
         {int(QFont::Unstretched), int(QFont::SemiCondensed), int(QFont::Condensed), int(QFont::ExtraCondensed)}) {
        f.setStretch(stretch);
        if (fits(label, f))
            break;
    }
    if (f != label.font())
        label.setFont(f);
}

QFont Fonts::font(Key key)
{
    switch (key) {
    case Standard: return fromStored(QStringLiteral("MS Sans Serif"), 8.25, true);
    case Heading: return fromStored(QStringLiteral("MS Sans Serif"), 9.75, true);
    case Gain: return fromStored(QStringLiteral("MS Sans Serif"), 13.5, true);
    case Output: return fromStored(QStringLiteral("MS Sans Serif"), 12, true);
    case Title: return fromStored(QStringLiteral("MS Sans Serif"), 18, true);
    case Small: return fromStored(QStringLiteral("Small Fonts"), 6.75, true);
    case Plain: return fromStored(QStringLiteral("Verdana"), 8.25, false);
    }
    return fromStored(QStringLiteral("MS Sans Serif"), 8.25, true);
}

} // namespace tervalo
