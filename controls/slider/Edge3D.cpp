#include "controls/slider/Edge3D.h"

#include "controls/common/OleColor.h"

namespace tervalo {

namespace {

struct EdgeLine {
    bool present = false;
    QRgb topLeft = 0, bottomRight = 0;
};

void setPixel(QImage &image, int x, int y, QRgb c)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        image.setPixel(x, y, c);
}

void frame(QImage &image, int l, int t, int r, int b, const EdgeLine &line)
{
    if (!line.present || r <= l || b <= t)
        return;
    for (int x = l; x < r; ++x)
        setPixel(image, x, t, line.topLeft);
    for (int y = t; y < b; ++y)
        setPixel(image, l, y, line.topLeft);
    for (int x = l; x < r; ++x)
        setPixel(image, x, b - 1, line.bottomRight);
    for (int y = t; y < b; ++y)
        setPixel(image, r - 1, y, line.bottomRight);
}

QRgb sys(int index, const QPalette &p)
{
    return OleColor::systemColor(index, p).rgb();
}

} // namespace

void Edge3D::draw(QImage &image, int left, int top, int right, int bottom, unsigned flags, const QPalette &p)
{
    if (image.isNull())
        return;
    EdgeLine outer, inner;
    switch (flags & (RaisedOuter | SunkenOuter)) {
    case RaisedOuter: outer = {true, sys(OleColor::Light3D, p), sys(OleColor::DarkShadow3D, p)}; break;
    case SunkenOuter: outer = {true, sys(OleColor::ButtonShadow, p), sys(OleColor::ButtonHighlight, p)}; break;
    default: break;
    }
    switch (flags & (RaisedInner | SunkenInner)) {
    case RaisedInner: inner = {true, sys(OleColor::ButtonHighlight, p), sys(OleColor::ButtonShadow, p)}; break;
    case SunkenInner: inner = {true, sys(OleColor::DarkShadow3D, p), sys(OleColor::Light3D, p)}; break;
    default: break;
    }
    if (!outer.present) {
        outer = inner;
        inner = EdgeLine{};
    }
    frame(image, left, top, right, bottom, outer);
    frame(image, left + 1, top + 1, right - 1, bottom - 1, inner);
}

} // namespace tervalo
