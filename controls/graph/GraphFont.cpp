#include "controls/graph/GraphFont.h"

#include <QFontMetrics>
#include <QStringList>

#include <algorithm>

namespace tervalo {

const QFont &GraphFont::font()
{
    static const QFont f = [] {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(pixelSize);
        font.setStyleStrategy(QFont::NoAntialias);
        font.setHintingPreference(QFont::PreferFullHinting);
        font.setKerning(false);
        return font;
    }();
    return f;
}

static QStringList linesOf(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.split(QLatin1Char('\n'));
}

int GraphFont::textWidthTwips(const QString &text)
{
    const QFontMetrics fm(font());
    int widest = 0;
    for (const QString &line : linesOf(text))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest * twipsPerPixel;
}

int GraphFont::textHeightTwips(const QString &text)
{
    return static_cast<int>(linesOf(text).size()) * lineHeightPx() * twipsPerPixel;
}

double GraphFont::textWidthPx(const QString &text)
{
    return static_cast<double>(textWidthTwips(text)) / twipsPerPixel;
}

double GraphFont::textHeightPx(const QString &text)
{
    return static_cast<double>(textHeightTwips(text)) / twipsPerPixel;
}

int GraphFont::lineHeightPx()
{
    return QFontMetrics(font()).height();
}

} // namespace tervalo
