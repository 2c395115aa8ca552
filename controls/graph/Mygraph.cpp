#include "controls/graph/Mygraph.h"

#include "controls/graph/GraphColor.h"
#include "controls/graph/GraphFont.h"
#include "controls/graph/PictureFile.h"
#include "runtime/NumberText.h"
#include "runtime/Numeric.h"
#include "runtime/RuntimeError.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace tervalo {

namespace {

constexpr int kTwips = GraphFont::twipsPerPixel;

using namespace GraphDefaults;

std::int32_t nearest(Extended x)
{
    return CLng(x);
}

QString numbered(const char *stem, int k, const char *tail)
{
    return QString::fromLatin1(stem) + QString::number(k) + QString::fromLatin1(tail);
}

void checkIndex(int k, const char *what)
{
    if (k < 1 || k > 9)
        raiseError(RuntimeError::SubscriptOutOfRange, std::string(what) + " index " + std::to_string(k));
}

QString trimSpaces(const QString &s)
{
    int b = 0;
    int e = static_cast<int>(s.size());
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

// Stored entries: conversion to the property's type. A value that is not a
// number is a type mismatch, a number outside the type's range an overflow.
long long wholeFrom(const QVariant &v, long long lo, long long hi, const QString &name)
{
    long double x = 0;
    switch (v.typeId()) {
    case QMetaType::Bool: x = v.toBool() ? -1 : 0; break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong: x = static_cast<long double>(v.toLongLong()); break;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong: x = static_cast<long double>(v.toULongLong()); break;
    case QMetaType::Float:
    case QMetaType::Double: x = roundHalfEven(static_cast<long double>(v.toDouble())); break;
    case QMetaType::QString: {
        double d = 0;
        if (!NumberText::parse(v.toString().toStdString(), d))
            raiseError(RuntimeError::TypeMismatch, "stored entry " + name.toStdString() + " is not a number");
        x = roundHalfEven(static_cast<long double>(d));
        break;
    }
    default: raiseError(RuntimeError::TypeMismatch, "stored entry " + name.toStdString() + " is not a number");
    }
    if (std::isnan(x) || x < static_cast<long double>(lo) || x > static_cast<long double>(hi))
        raiseError(RuntimeError::Overflow, "stored entry " + name.toStdString() + " out of range");
    return static_cast<long long>(x);
}

bool boolFrom(const QVariant &v, const QString &name)
{
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return wholeFrom(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(), name) != 0;
}

std::uint32_t colourFrom(const QVariant &v, const QString &name)
{
    // Colours are kept as signed 32-bit values by some writers (0x80000001
    // reads as -2147483647) and as unsigned ones by others.
    const long long c =
        wholeFrom(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::uint32_t>::max(), name);
    return static_cast<std::uint32_t>(c);
}

QVariant colourVariant(std::uint32_t c)
{
    return QVariant(static_cast<uint>(c));
}

} // namespace

Mygraph::Mygraph(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// ---------------------------------------------------------------- sizing

void Mygraph::syncSize()
{
    // A hidden widget receives its resize event only when it is shown; a
    // control that its host has sized already draws at that size.
    if (!testAttribute(Qt::WA_Resized) && !isVisible())
        return;
    if (!sized_ || width() != widthPx || height() != heightPx)
        Resize();
}

void Mygraph::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!sized_ || width() != widthPx || height() != heightPx)
        Resize();
}

void Mygraph::Resize()
{
    sized_ = true;
    const long long widthTwips = static_cast<long long>(width()) * kTwips;
    const long long heightTwips = static_cast<long long>(height()) * kTwips;
    widthPx = nearest(static_cast<Extended>(widthTwips) / kTwips);
    heightPx = nearest(static_cast<Extended>(heightTwips) / kTwips);
    if (widthPx > 0 && heightPx > 0)
        image_ = QImage(widthPx, heightPx, QImage::Format_RGB32);
    else
        image_ = QImage();
    // The text font (GraphFont) is fixed; nothing to set per size.
    RedrawGrid();
}

void Mygraph::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect r = event->rect();
    const QColor back = QColor::fromRgb(GraphColor::toRgb(backColor_));
    if (image_.isNull()) {
        p.fillRect(r, back);
        return;
    }
    const QRect inside = r & image_.rect();
    if (!inside.isEmpty())
        p.drawImage(inside.topLeft(), image_, inside);
    if (inside != r) {
        const QRegion rest = QRegion(r) - QRegion(image_.rect());
        for (const QRect &part : rest)
            p.fillRect(part, back);
    }
}

const QImage &Mygraph::picture() const
{
    const_cast<Mygraph *>(this)->syncSize();
    return image_;
}

// ---------------------------------------------------------------- drawing

void Mygraph::applyBackColour()
{
    const QColor back = QColor::fromRgb(GraphColor::toRgb(backColor_));
    if (palette().color(QPalette::Window) != back) {
        QPalette pal = palette();
        pal.setColor(QPalette::Window, back);
        setPalette(pal);
    }
    if (!image_.isNull())
        image_.fill(back.rgb());
}

void Mygraph::RedrawGrid()
{
    applyBackColour(); // clears the picture to the background
    dirty_ = QRect();
    update();
    DrawGrid();
}

Mygraph::Scale Mygraph::scale() const
{
    const Extended G = gridSayisi_;
    const Extended Z = zeroPoint_;
    Scale sc;
    sc.S = static_cast<double>(divide(Z, G - Z) * ymax_ + ymax_);
    sc.T = static_cast<double>(sc.S - divide(sc.S, G) * Z);
    sc.zeroY = static_cast<double>(static_cast<Extended>(heightPx - 30) - zeroLineOffset);
    return sc;
}

std::int32_t Mygraph::rowOf(double v, const Scale &sc) const
{
    return nearest((1.0L - divide(v, sc.T)) * sc.zeroY);
}

void Mygraph::DrawGrid()
{
    const int G = gridSayisi_;
    const int Z = zeroPoint_;
    if (G <= 0 || G - Z == 0 || ymax_ == 0)
        return; // no scale to draw; stored settings are limited on reading
    const double W = widthPx - 30;
    const double H = heightPx - 30;

    // 1.
    zeroLineOffset = static_cast<double>(static_cast<Extended>(Z) * H / G);
    if (!plotAreaUsable() || image_.isNull())
        return; // a control this small shows its background only

    // Start of the time axis; a sweep count too large for it is an overflow.
    const std::int32_t sweepBase = mulLong(sweepCount, xaxisMax_);
    const double textH = GraphFont::lineHeightPx();

    // 2. Vertical grid lines, time ticks and time values.
    {
        const Extended step = static_cast<Extended>(W) / G;
        double p = 0;
        for (int i = 0; p <= 2 * W; ++i) {
            const double Xp = static_cast<double>(static_cast<Extended>(i) * W / G + 29.5L);
            const std::int32_t X = nearest(Xp);
            line(X, 0, X, nearest(H), gridColor_);
            int tick;
            if (i % 2 == 0) {
                tick = 10;
                const Extended value = static_cast<Extended>(xaxisMax_) / G * i + sweepBase;
                const QString label = QString::fromStdString(NumberText::axisValue(static_cast<double>(value)));
                const double tw = GraphFont::textWidthPx(label);
                const double th = GraphFont::textHeightPx(label);
                const Extended left = i == G ? Xp - tw : Xp - tw / 2;
                textRect = {nearest(left), nearest(heightPx - th), widthPx, heightPx};
                text(label, labelColor_);
            } else {
                tick = 6;
            }
            line(X, nearest(H), X, nearest(H + tick), xySideGridColor_);
            p = static_cast<double>(p + step);
        }
    }

    // 3. Horizontal grid lines.
    {
        const Extended step = static_cast<Extended>(H) / G;
        double p = 0;
        for (int i = 0; p <= H; ++i) {
            const std::int32_t y = nearest(static_cast<Extended>(i) * H / G);
            line(30, y, nearest(W + 29.5), y, gridColor_);
            p = static_cast<double>(p + step);
        }
    }

    // 4. Value ticks and values.
    {
        const Extended step = static_cast<Extended>(H) / G;
        double p = 0;
        for (int i = 0; p <= H + 1; ++i) {
            const Extended rowFromTop = static_cast<Extended>(i) * H / G;
            int tick;
            if (i % 2 == 0) {
                tick = 8;
                const Extended value = divide(ymax_, G - Z) * (i - Z);
                const QString label = QString::fromStdString(NumberText::axisValue(static_cast<double>(value)));
                const Extended top = i == G ? heightPx - 29.5L - rowFromTop : heightPx - 29.5L - rowFromTop - textH / 2;
                textRect = {0, nearest(top), widthPx, heightPx};
                text(label, labelColor_);
            } else {
                tick = 4;
            }
            const std::int32_t y = nearest(rowFromTop);
            line(30, y, nearest(29.5L - tick), y, xySideGridColor_);
            p = static_cast<double>(p + step);
        }
    }

    // 5. Zero line, to the right edge of the control.
    const std::int32_t rightEdge = nearest(static_cast<Extended>(widthPx) * kTwips / kTwips);
    {
        const std::int32_t y = nearest(static_cast<Extended>(H) - zeroLineOffset);
        line(30, y, rightEdge, y, xySideGridColor_);
    }

    // 6. Axes.
    line(30, 0, 30, nearest(H), xySideGridColor_);
    line(30, nearest(H), nearest(W + 29.5), nearest(H), xySideGridColor_);

    // 7. Axis titles.
    textRect = {31, 0, nearest(GraphFont::textWidthTwips(ylabel_)), nearest(GraphFont::textHeightTwips(ylabel_))};
    text(ylabel_, labelColor_);
    {
        const double tw = GraphFont::textWidthPx(xlabel_);
        const double th = GraphFont::textHeightPx(xlabel_);
        textRect = {nearest(widthPx - tw - 1), nearest(H - th), widthPx, heightPx};
        text(xlabel_, labelColor_);
    }

    // 8. Reference line. A row beyond the pixel range is far off the control.
    const Scale sc = scale();
    const auto inRange = [](Extended r) {
        return std::isfinite(r) && r >= std::numeric_limits<std::int32_t>::min()
            && r <= std::numeric_limits<std::int32_t>::max();
    };
    {
        const Extended r = sc.zeroY - static_cast<Extended>(RefValue) / sc.T * sc.zeroY;
        if (inRange(r)) {
            const std::int32_t y = nearest(r);
            line(30, y, rightEdge, y, refLineColor_);
        }
    }

    // 9. Trace 1 resumes from its last value at the current scale.
    {
        const Extended r = (1.0L - static_cast<Extended>(lastData1) / sc.T) * sc.zeroY;
        if (inRange(r))
            lastPoint[0].setY(nearest(r));
        else if (!std::isnan(r))
            lastPoint[0].setY(r < 0 ? std::numeric_limits<std::int32_t>::min()
                                    : std::numeric_limits<std::int32_t>::max());
    }
}

// One-pixel line from (x0, y0) up to, but not including, (x1, y1), clipped
// to the picture. Only the pixels inside the picture are visited, however far
// outside the end points lie.
void Mygraph::line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::uint32_t colour)
{
    if (image_.isNull())
        return;
    const long long dx = static_cast<long long>(x1) - x0;
    const long long dy = static_cast<long long>(y1) - y0;
    const long long adx = dx < 0 ? -dx : dx;
    const long long ady = dy < 0 ? -dy : dy;
    const long long n = std::max(adx, ady);
    if (n == 0)
        return;
    const bool xMajor = adx >= ady;
    const long long major0 = xMajor ? x0 : y0;
    const long long minor0 = xMajor ? y0 : x0;
    const long long dMajor = xMajor ? dx : dy;
    const long long dMinor = xMajor ? dy : dx;
    const long long w = image_.width();
    const long long h = image_.height();
    const long long majorLimit = xMajor ? w : h;
    const long long minorLimit = xMajor ? h : w;

    long long tLo = 0;
    long long tHi = n; // exclusive: the end point is not drawn
    if (dMajor > 0) {
        tLo = std::max(tLo, -major0);
        tHi = std::min(tHi, majorLimit - major0);
    } else {
        tLo = std::max(tLo, major0 - majorLimit + 1);
        tHi = std::min(tHi, major0 + 1);
    }
    if (tLo >= tHi)
        return;

    const QRgb rgb = GraphColor::toRgb(colour);
    uchar *bits = image_.bits();
    const qsizetype bpl = image_.bytesPerLine();
    const long long sMajor = dMajor > 0 ? 1 : -1;
    long long minX = w, minY = h, maxX = -1, maxY = -1;
    for (long long t = tLo; t < tHi; ++t) {
        const long long major = major0 + sMajor * t;
        // nearest minor coordinate, halves rounded away from the start
        const __int128 num = static_cast<__int128>(t) * dMinor;
        const __int128 twice = 2 * num + (num >= 0 ? n : -n);
        __int128 q = twice / (2 * n);
        const long long minor = minor0 + static_cast<long long>(q);
        if (minor < 0 || minor >= minorLimit)
            continue;
        const long long x = xMajor ? major : minor;
        const long long y = xMajor ? minor : major;
        reinterpret_cast<QRgb *>(bits + y * bpl)[x] = rgb;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    if (maxX >= 0)
        dirty_ |= QRect(QPoint(static_cast<int>(minX), static_cast<int>(minY)),
                        QPoint(static_cast<int>(maxX), static_cast<int>(maxY)));
}

// Text into textRect: leading and trailing spaces removed, no background,
// broken between words at the right edge and clipped to the rectangle.
void Mygraph::text(const QString &s, std::uint32_t colour)
{
    if (image_.isNull())
        return;
    const QString t = trimSpaces(s);
    if (t.isEmpty())
        return;
    long long l = textRect.left;
    long long tp = textRect.top;
    long long r = textRect.right;
    long long b = textRect.bottom;
    if (r <= l || b <= tp)
        return;
    if (l >= image_.width() || tp >= image_.height() || r <= 0 || b <= 0)
        return;
    constexpr long long far = 1 << 20;
    if (l < -far || tp < -far)
        return;
    r = std::min(r, far);
    b = std::min(b, far);
    const QRect rect(static_cast<int>(l), static_cast<int>(tp), static_cast<int>(r - l), static_cast<int>(b - tp));

    const QRect visible = rect & image_.rect();
    const QRgb pen = GraphColor::toRgb(colour) | 0xFF000000u;
    if (const std::vector<QPoint> *glyphs = textPixels(t, rect.width(), rect.height())) {
        // Text is drawn without antialiasing, so it is a set of pixels in
        // the pen colour that only depends on the text and the rectangle's
        // size: the legend captions change every cycle among few texts.
        for (const QPoint &g : *glyphs) {
            const int x = rect.x() + g.x();
            const int y = rect.y() + g.y();
            if (visible.contains(x, y))
                reinterpret_cast<QRgb *>(image_.scanLine(y))[x] = pen;
        }
    } else {
        QPainter p(&image_);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(GraphFont::font());
        p.setPen(QColor::fromRgb(pen));
        p.setClipRect(rect);
        p.drawText(rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, t);
    }
    dirty_ |= visible;
}

const std::vector<QPoint> *Mygraph::textPixels(const QString &t, int width, int height)
{
    // Rectangles far larger than any control are drawn directly.
    if (width > 4096 || height > 4096)
        return nullptr;
    const int w = width;
    const int h = height;
    const QString key = t + QLatin1Char('\n') + QString::number(w) + QLatin1Char('x') + QString::number(h);
    auto found = textCache_.constFind(key);
    if (found != textCache_.constEnd())
        return &found.value();
    if (textCache_.size() >= 512)
        textCache_.clear();
    // Render once into a scratch picture of the text's own extent.
    const QRect layout(0, 0, w, h);
    const QRect extent =
        QFontMetrics(GraphFont::font()).boundingRect(layout, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, t);
    const QRect area = extent.adjusted(-4, -4, 4, 4) & layout;
    std::vector<QPoint> pixels;
    if (!area.isEmpty()) {
        QImage scratch(area.size(), QImage::Format_RGB32);
        scratch.fill(0xFF000000u);
        QPainter p(&scratch);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        p.setFont(GraphFont::font());
        p.setPen(QColor(255, 255, 255));
        p.translate(-area.topLeft());
        p.setClipRect(layout);
        p.drawText(layout, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, t);
        p.end();
        for (int y = 0; y < scratch.height(); ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(scratch.constScanLine(y));
            for (int x = 0; x < scratch.width(); ++x)
                if ((line[x] & 0xFFFFFFu) != 0)
                    pixels.emplace_back(x + area.x(), y + area.y());
        }
    }
    return &textCache_.insert(key, std::move(pixels)).value();
}

std::uint32_t Mygraph::captionColour(int k) const
{
    return k == 1 ? refLineColor_ : graphColor_[static_cast<std::size_t>(k - 2)];
}

void Mygraph::drawCaption(int k, const QString &s, std::uint32_t colour)
{
    static constexpr int column[3] = {1, 5, 10};
    const int m = column[(k - 1) % 3];
    const int top = 20 * ((k - 1) / 3);
    const Extended widthTwips = static_cast<Extended>(widthPx) * kTwips;
    const std::int32_t left = nearest((widthTwips - 30) * m / kTwips / 20 + 60);
    if (k <= 2)
        textRect = {left, top, nearest(GraphFont::textWidthTwips(s)), nearest(GraphFont::textHeightTwips(s))};
    else
        textRect = {left, top, widthPx, heightPx};
    text(s, colour);
}

void Mygraph::notify(const char *name)
{
    emit PropertyChanged(QString::fromLatin1(name));
}

// ---------------------------------------------------------------- plotting

void Mygraph::PlotGraph1(double Data1, double Data2, double Data3, double Data4, double Data5, double Data6,
                         double Data7, double Data8, double Data9, std::int16_t DataPlot_1_to_9)
{
    syncSize();
    const std::array<double, 9> data = {Data1, Data2, Data3, Data4, Data5, Data6, Data7, Data8, Data9};
    const int shown = DataPlot_1_to_9 >= 2 && DataPlot_1_to_9 <= 9 ? DataPlot_1_to_9 : 1;
    const double W = widthPx - 30;
    const bool newSweep = !(sweepX > 1 && sweepX < W);

    // Rows of every value used by this call. A value whose row lies beyond
    // the pixel range is an overflow, raised before anything changes.
    const Scale sc = scale();
    std::array<std::int32_t, 9> row{};
    const int used = newSweep ? 9 : shown;
    for (int k = 0; k < used; ++k)
        row[static_cast<std::size_t>(k)] = rowOf(data[static_cast<std::size_t>(k)], sc);

    // 1., 2.
    lastData1 = Data1;
    const double xStep = static_cast<double>(divide(timeDivision_, mulLong(xaxisMax_, 1000)) * W);

    dirty_ = QRect();
    // 3. A new sweep.
    if (newSweep) {
        sweepX = 1;
        if (autoSaveGraph_ && sweepCount != 0)
            SaveGraph();
        RedrawGrid();
        sweepCount = addLong(sweepCount, 1);
        for (std::size_t k = 0; k < 9; ++k)
            lastPoint[k] = QPoint(30, row[k]);
    }

    // 4. - 6.
    const std::int32_t x = nearest(static_cast<Extended>(sweepX) + 30);
    for (int k = 0; k < shown; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QPoint to(x, row[i]);
        line(lastPoint[i].x(), lastPoint[i].y(), to.x(), to.y(), graphColor_[i]);
        lastPoint[i] = to;
    }

    // 7., 8.
    sweepX = static_cast<double>(static_cast<Extended>(sweepX) + xStep);
    if (!newSweep && !dirty_.isEmpty())
        update(dirty_);
    dirty_ = QRect();
}

void Mygraph::stepRefValue(double value)
{
    const double old = RefValue;
    RefValue = value;
    syncSize();
    if (sweepX == 0 || old == value || image_.isNull() || !plotAreaUsable())
        return;
    const Scale sc = scale();
    const auto rowOfRef = [&sc](double v) -> std::optional<std::int32_t> {
        const Extended r = sc.zeroY - static_cast<Extended>(v) / sc.T * sc.zeroY;
        if (!std::isfinite(r) || r < std::numeric_limits<std::int32_t>::min()
            || r > std::numeric_limits<std::int32_t>::max())
            return std::nullopt;
        return nearest(r);
    };
    const std::optional<std::int32_t> oldRow = rowOfRef(old);
    const std::optional<std::int32_t> newRow = rowOfRef(value);

    // The picture the sweep started with, at the new value: right of the
    // last sample nothing but that has been drawn on the two rows yet
    // (captions aside, which the next cycle writes again).
    QImage grid(image_.size(), image_.format());
    grid.fill(QColor::fromRgb(GraphColor::toRgb(backColor_)).rgb());
    std::swap(image_, grid);
    const QPoint keepPoint = lastPoint[0];
    const TextRect keepRect = textRect;
    const std::int32_t keepCount = sweepCount;
    const double keepOffset = zeroLineOffset;
    sweepCount = sweepCount > 0 ? sweepCount - 1 : 0; // the count the sweep's grid was drawn with
    DrawGrid();
    sweepCount = keepCount;
    lastPoint[0] = keepPoint;
    textRect = keepRect;
    zeroLineOffset = keepOffset;
    std::swap(image_, grid);

    const std::int32_t x = std::max<std::int32_t>(lastPoint[0].x(), 0);
    for (const std::optional<std::int32_t> &row : {oldRow, newRow})
        if (row && *row >= 0 && *row < image_.height())
            for (std::int32_t c = x; c < image_.width(); ++c)
                image_.setPixel(c, *row, grid.pixel(c, *row));
    dirty_ = QRect();
    if (oldRow && newRow)
        line(x, *oldRow, x, *newRow, refLineColor_);
    update();
}

void Mygraph::Resetle()
{
    sweepX = 0;
    lastData1 = 0;
    sweepCount = 0;
}

QPoint Mygraph::lastPointOf(int k) const
{
    checkIndex(k, "trace");
    return lastPoint[static_cast<std::size_t>(k - 1)];
}

// ---------------------------------------------------------------- saving

QString Mygraph::saveFolder() const
{
    return saveFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : saveFolder_;
}

void Mygraph::setClock(std::function<QDateTime()> utcClock)
{
    clock_ = std::move(utcClock);
}

QString Mygraph::saveFileName(const QDateTime &utc)
{
    const QDateTime t = utc.toUTC();
    const QDate d = t.date();
    const QTime c = t.time();
    return QStringLiteral("%1_%2_%3_%4_%5_%6.jpeg")
        .arg(d.month())
        .arg(d.day())
        .arg(d.year())
        .arg(c.hour())
        .arg(c.minute())
        .arg(c.second());
}

void Mygraph::SaveGraph()
{
    syncSize();
    const QDateTime now = clock_ ? clock_() : QDateTime::currentDateTimeUtc();
    const QString path = saveFolder() + QLatin1Char('/') + saveFileName(now);
    const FileError failure =
        image_.isNull() ? FileError{path, QStringLiteral("the control has no picture")} : writeBitmapFile(image_, path);
    if (failure)
        raiseError(RuntimeError::FileAccess, "cannot save the graph picture to " + failure.message().toStdString());
    emit GraphSaved(path);
}

// ---------------------------------------------------------------- properties

std::uint8_t Mygraph::GridSayisi() const
{
    return gridSayisi_;
}

void Mygraph::setGridSayisi(int New_GrdX)
{
    if (New_GrdX < 0 || New_GrdX > 255)
        raiseError(RuntimeError::Overflow, "GridSayisi " + std::to_string(New_GrdX));
    int g = std::clamp(New_GrdX, 6, 30);
    g = g / 2 * 2;
    gridSayisi_ = static_cast<std::uint8_t>(g);
    if (zeroPoint_ > g / 2)
        zeroPoint_ = static_cast<std::int16_t>(g / 2);
    RedrawGrid();
    notify("GridSayisi");
}

std::int16_t Mygraph::ZeroPoint() const
{
    return zeroPoint_;
}

void Mygraph::setZeroPoint(int Karenoktasi)
{
    if (Karenoktasi < std::numeric_limits<std::int16_t>::min()
        || Karenoktasi > std::numeric_limits<std::int16_t>::max())
        raiseError(RuntimeError::Overflow, "ZeroPoint " + std::to_string(Karenoktasi));
    int z = Karenoktasi;
    if (static_cast<double>(gridSayisi_) / 2 < z)
        z = gridSayisi_ / 2;
    if (z <= 0)
        z = 0;
    zeroPoint_ = static_cast<std::int16_t>(z);
    RedrawGrid();
    notify("ZeroPoint");
}

std::int32_t Mygraph::Ymax() const
{
    return ymax_;
}

void Mygraph::setYmax(std::int32_t New_Val)
{
    ymax_ = New_Val < 10 ? 10 : New_Val;
    RedrawGrid();
    notify("Ymax");
}

std::int32_t Mygraph::TimeDivision() const
{
    return timeDivision_;
}

void Mygraph::setTimeDivision(std::int32_t Milisecond)
{
    timeDivision_ = Milisecond;
    RedrawGrid();
    notify("TimeDivision");
}

std::int32_t Mygraph::XaxisMax() const
{
    return xaxisMax_;
}

void Mygraph::setXaxisMax(std::int32_t second)
{
    xaxisMax_ = second;
    RedrawGrid();
    notify("XaxisMax");
}

std::uint32_t Mygraph::GridColor() const
{
    return gridColor_;
}

void Mygraph::setGridColor(std::uint32_t New_Val)
{
    gridColor_ = New_Val;
    RedrawGrid();
    notify("GridColor");
}

std::uint32_t Mygraph::RefLineColor() const
{
    return refLineColor_;
}

void Mygraph::setRefLineColor(std::uint32_t New_Val)
{
    refLineColor_ = New_Val;
    notify("RefLineColor");
}

std::uint32_t Mygraph::GraphColor(int k) const
{
    checkIndex(k, "Graph colour");
    return graphColor_[static_cast<std::size_t>(k - 1)];
}

void Mygraph::setGraphColor(int k, std::uint32_t New_Val)
{
    checkIndex(k, "Graph colour");
    graphColor_[static_cast<std::size_t>(k - 1)] = New_Val;
    emit PropertyChanged(numbered("Graph", k, "Color"));
}

std::uint32_t Mygraph::LabelColor() const
{
    return labelColor_;
}

void Mygraph::setLabelColor(std::uint32_t New_Val)
{
    labelColor_ = New_Val;
    RedrawGrid();
    notify("LabelColor");
}

std::uint32_t Mygraph::BackColor() const
{
    return backColor_;
}

void Mygraph::setBackColor(std::uint32_t New_Val)
{
    backColor_ = New_Val;
    syncSize();
    applyBackColour();
    RedrawGrid();
    notify("BackColor");
}

std::uint32_t Mygraph::XYsidegridColor() const
{
    return xySideGridColor_;
}

void Mygraph::setXYsidegridColor(std::uint32_t New_Val)
{
    xySideGridColor_ = New_Val;
    RedrawGrid();
    notify("XYsidegridColor");
}

bool Mygraph::AutoSaveGraph() const
{
    return autoSaveGraph_;
}

void Mygraph::setAutoSaveGraph(bool New_Val)
{
    autoSaveGraph_ = New_Val;
    notify("AutoSaveGraph");
}

QString Mygraph::Ylabel() const
{
    return ylabel_;
}

void Mygraph::setYlabel(const QString &New_txt)
{
    ylabel_ = New_txt;
    RedrawGrid();
    notify("Ylabel");
}

QString Mygraph::Xlabel() const
{
    return xlabel_;
}

void Mygraph::setXlabel(const QString &New_txt)
{
    xlabel_ = New_txt;
    RedrawGrid();
    notify("Xlabel");
}

QString Mygraph::GraphCaption(int k) const
{
    checkIndex(k, "Graph caption");
    return caption_[static_cast<std::size_t>(k - 1)];
}

void Mygraph::setGraphCaption(int k, const QString &New_txt)
{
    checkIndex(k, "Graph caption");
    syncSize();
    const auto i = static_cast<std::size_t>(k - 1);
    dirty_ = QRect();
    drawCaption(k, caption_[i], backColor_);
    caption_[i] = New_txt;
    drawCaption(k, caption_[i], captionColour(k));
    if (!dirty_.isEmpty())
        update(dirty_);
    dirty_ = QRect();
    emit PropertyChanged(numbered("Graph", k, "Caption"));
}

// ---------------------------------------------------------------- persistence

void Mygraph::InitProperties()
{
    gridSayisi_ = kGridSayisi;
    gridColor_ = kGridColor;
    labelColor_ = kLabelColor;
    backColor_ = kBackColor;
    xySideGridColor_ = kXYsidegridColor;
    ymax_ = kYmax;
    timeDivision_ = kTimeDivision;
    setXaxisMax(kXaxisMax);
    xlabel_ = QString::fromLatin1(kXlabel);
    ylabel_ = QString::fromLatin1(kYlabel);
    graphColor_ = kGraphColor;
    refLineColor_ = kRefLineColor;
    autoSaveGraph_ = false;
    zeroPoint_ = kZeroPoint;
}

void Mygraph::ReadProperties(const PropertyBag &bag)
{
    const auto whole = [&](const char *name, long long def, long long lo, long long hi) {
        const QString n = QString::fromLatin1(name);
        return wholeFrom(bag.ReadProperty(n, QVariant(def)), lo, hi, n);
    };
    const auto colour = [&](const QString &name, std::uint32_t def) {
        return colourFrom(bag.ReadProperty(name, colourVariant(def)), name);
    };
    const auto str = [&](const char *name, const QString &def) {
        return bag.ReadProperty(QString::fromLatin1(name), def).toString();
    };
    constexpr long long i16min = std::numeric_limits<std::int16_t>::min();
    constexpr long long i16max = std::numeric_limits<std::int16_t>::max();
    constexpr long long i32min = std::numeric_limits<std::int32_t>::min();
    constexpr long long i32max = std::numeric_limits<std::int32_t>::max();

    gridSayisi_ = static_cast<std::uint8_t>(whole("GridSayisi", kGridSayisi, 0, 255));
    gridColor_ = colour(QStringLiteral("GridColor"), kGridColor);
    ylabel_ = str("Ylabel", QString::fromLatin1(kYlabel));
    xlabel_ = str("Xlabel", QString::fromLatin1(kXlabel));
    for (int k = 1; k <= 3; ++k)
        setGraphCaption(k, bag.ReadProperty(numbered("Graph", k, "Caption"), QString()).toString());
    for (int k = 1; k <= 9; ++k)
        graphColor_[static_cast<std::size_t>(k - 1)] =
            colour(numbered("Graph", k, "Color"), kGraphColor[static_cast<std::size_t>(k - 1)]);
    labelColor_ = colour(QStringLiteral("LabelColor"), kLabelColor);
    backColor_ = colour(QStringLiteral("BackColor"), kBackColor);
    xySideGridColor_ = colour(QStringLiteral("XYsidegridColor"), kXYsidegridColor);
    ymax_ = static_cast<std::int32_t>(whole("Ymax", kYmax, i32min, i32max));
    timeDivision_ = static_cast<std::int32_t>(whole("TimeDivision", kTimeDivision, i32min, i32max));
    xaxisMax_ = static_cast<std::int32_t>(whole("XaxisMax", kXaxisMax, i32min, i32max));
    zeroPoint_ = static_cast<std::int16_t>(whole("ZeroPoint", kZeroPoint, i16min, i16max));
    autoSaveGraph_ =
        boolFrom(bag.ReadProperty(QStringLiteral("AutoSaveGraph"), QVariant(false)), QStringLiteral("AutoSaveGraph"));
    refLineColor_ = colour(QStringLiteral("RefLineColor"), kRefLineColor);

    // Settings the setters can never produce (a grid count off its range,
    // the zero line at or above the top, a value axis of zero height) are
    // limited as the setters limit them, so that the scale always exists.
    int g = std::clamp(static_cast<int>(gridSayisi_), 6, 30) / 2 * 2;
    gridSayisi_ = static_cast<std::uint8_t>(g);
    zeroPoint_ = static_cast<std::int16_t>(std::clamp(static_cast<int>(zeroPoint_), 0, g / 2));
    if (ymax_ < 10)
        ymax_ = 10;
}

void Mygraph::WriteProperties(PropertyBag &bag) const
{
    const auto colour = [&](const QString &name, std::uint32_t v, std::uint32_t def) {
        bag.WriteProperty(name, colourVariant(v), colourVariant(def));
    };
    bag.WriteProperty(QStringLiteral("GridSayisi"), QVariant(static_cast<int>(gridSayisi_)),
                      QVariant(static_cast<int>(kGridSayisi)));
    bag.WriteProperty(QStringLiteral("Ylabel"), ylabel_, QString::fromLatin1(kYlabel));
    bag.WriteProperty(QStringLiteral("Xlabel"), xlabel_, QString::fromLatin1(kXlabel));
    for (int k = 1; k <= 3; ++k)
        bag.WriteProperty(numbered("Graph", k, "Caption"), caption_[static_cast<std::size_t>(k - 1)], QString());
    bag.WriteProperty(QStringLiteral("Ymax"), QVariant(ymax_), QVariant(kYmax));
    colour(QStringLiteral("GridColor"), gridColor_, kGridColor);
    for (int k = 1; k <= 9; ++k)
        colour(numbered("Graph", k, "Color"), graphColor_[static_cast<std::size_t>(k - 1)],
               kGraphColor[static_cast<std::size_t>(k - 1)]);
    colour(QStringLiteral("LabelColor"), labelColor_, kLabelColor);
    colour(QStringLiteral("BackColor"), backColor_, kBackColor);
    colour(QStringLiteral("XYsidegridColor"), xySideGridColor_, kXYsidegridColor);
    bag.WriteProperty(QStringLiteral("TimeDivision"), QVariant(timeDivision_), QVariant(kTimeDivision));
    bag.WriteProperty(QStringLiteral("XaxisMax"), QVariant(xaxisMax_), QVariant(kXaxisMax));
    bag.WriteProperty(QStringLiteral("ZeroPoint"), QVariant(static_cast<int>(zeroPoint_)),
                      QVariant(static_cast<int>(kZeroPoint)));
    bag.WriteProperty(QStringLiteral("AutoSaveGraph"), QVariant(autoSaveGraph_), QVariant(false));
    colour(QStringLiteral("RefLineColor"), refLineColor_, kRefLineColor);
}

} // namespace tervalo
