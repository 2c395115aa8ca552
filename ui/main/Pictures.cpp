#include "ui/main/Pictures.h"

#include "ui/main/Fonts.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace tervalo {

namespace {

QPixmap blank(int width, int height, const QColor &fill = Qt::transparent)
{
    QPixmap pm(std::max(1, width), std::max(1, height));
    pm.fill(fill);
    return pm;
}

QFont pictureFont(int pixels, bool bold = true)
{
    return Fonts::pixelFont(pixels, bold);
}

const QColor kStripDark(56, 32, 96);
const QColor kStripLight(128, 104, 176);

// A box with a caption, the usual block of a block diagram.
void drawBlock(QPainter &p, const QRectF &r, const QString &text, int px)
{
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(QColor(224, 224, 224));
    p.drawRect(r);
    p.setFont(pictureFont(px));
    p.setPen(Qt::black);
    p.drawText(r, Qt::AlignCenter, text);
}

void drawArrow(QPainter &p, QPointF a, QPointF b)
{
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.drawLine(a, b);
    const double ang = std::atan2(b.y() - a.y(), b.x() - a.x());
    const double len = 5, spread = 0.45;
    QPolygonF head;
    head << b << QPointF(b.x() - len * std::cos(ang - spread), b.y() - len * std::sin(ang - spread))
         << QPointF(b.x() - len * std::cos(ang + spread), b.y() - len * std::sin(ang + spread));
    p.setBrush(QColor(64, 64, 64));
    p.drawPolygon(head);
}

// A fraction "num / den" drawn in a block.
void drawFractionBlock(QPainter &p, const QRectF &r, const QString &num, const QString &den, int px)
{
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(QColor(224, 224, 224));
    p.drawRect(r);
    p.setFont(pictureFont(px));
    p.setPen(Qt::black);
    const double mid = r.center().y();
    p.drawText(QRectF(r.left(), r.top(), r.width(), mid - r.top()), Qt::AlignHCenter | Qt::AlignBottom, num);
    p.drawLine(QPointF(r.left() + r.width() * 0.25, mid + 0.5), QPointF(r.right() - r.width() * 0.25, mid + 0.5));
    p.drawText(QRectF(r.left(), mid + 1, r.width(), r.bottom() - mid - 1), Qt::AlignHCenter | Qt::AlignTop, den);
}

// Parallel branches from an input line into a summing point.
QPixmap branchBlocks(int width, int height, const QStringList &labels)
{
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const int n = static_cast<int>(labels.size());
    const double inX = 4, splitX = width * 0.14, boxL = width * 0.24, boxR = width * 0.66;
    const double sumX = width * 0.80, outX = width - 2.0, sumR = 5;
    const double rowH = static_cast<double>(height) / n;
    const double midY = height / 2.0;
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.drawLine(QPointF(inX, midY), QPointF(splitX, midY));
    p.drawLine(QPointF(splitX, rowH / 2), QPointF(splitX, height - rowH / 2));
    for (int i = 0; i < n; ++i) {
        const double y = rowH * i + rowH / 2;
        drawArrow(p, QPointF(splitX, y), QPointF(boxL, y));
        const QRectF box(boxL, y - rowH * 0.38, boxR - boxL, rowH * 0.76);
        const QString &t = labels.at(i);
        const int slash = static_cast<int>(t.indexOf(QLatin1Char('/')));
        const int px = std::max(8, std::min(12, static_cast<int>(rowH * 0.38)));
        if (slash >= 0)
            drawFractionBlock(p, box, t.left(slash), t.mid(slash + 1), px);
        else
            drawBlock(p, box, t, px);
        p.setPen(QPen(QColor(64, 64, 64), 1));
        p.drawLine(QPointF(boxR, y), QPointF(sumX, y));
        drawArrow(p, QPointF(sumX, y), QPointF(sumX, midY + (y < midY ? -sumR : (y > midY ? sumR : 0))));
    }
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(QColor(192, 192, 192));
    p.drawEllipse(QPointF(sumX, midY), sumR, sumR);
    drawArrow(p, QPointF(sumX + sumR, midY), QPointF(outX, midY));
    return pm;
}

// The rotating disc and body shared by the motor and generator pictures.
void drawMachine(QPainter &p, double angleDegrees, const QString &letter, const QColor &body)
{
    p.setRenderHint(QPainter::Antialiasing);
    // base plate
    p.setPen(QPen(QColor(48, 48, 48), 1));
    p.setBrush(QColor(96, 96, 96));
    p.drawRect(QRectF(3.5, 88.5, 51, 6));
    // body
    QLinearGradient g(6, 0, 52, 0);
    g.setColorAt(0, body.darker(160));
    g.setColorAt(0.45, body.lighter(130));
    g.setColorAt(1, body.darker(180));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(8.5, 50.5, 41, 38), 4, 4);
    p.setFont(pictureFont(16));
    p.setPen(Qt::white);
    p.drawText(QRectF(8.5, 50.5, 41, 38), Qt::AlignCenter, letter);
    // shaft
    p.setPen(QPen(QColor(48, 48, 48), 1));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(26.5, 42.5, 5, 8));
    // disc with its mark
    const QPointF c(29, 24);
    const double r = 19;
    QRadialGradient rg(c, r);
    rg.setColorAt(0, QColor(235, 235, 235));
    rg.setColorAt(1, QColor(150, 150, 150));
    p.setBrush(rg);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(60, 60, 60));
    p.drawEllipse(c, 3, 3);
    const double a = angleDegrees * M_PI / 180.0;
    const QPointF tip(c.x() + (r - 3) * std::cos(a), c.y() - (r - 3) * std::sin(a));
    p.setPen(QPen(QColor(192, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(192, 0, 0));
    p.drawEllipse(tip, 3, 3);
}

} // namespace

QPixmap Pictures::titleStrip(int width, int height)
{
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, height);
    g.setColorAt(0, kStripLight);
    g.setColorAt(0.5, kStripDark);
    g.setColorAt(1, kStripDark.darker(130));
    p.fillRect(pm.rect(), g);
    p.setPen(kStripLight.lighter(130));
    p.drawLine(0, 0, width, 0);
    return pm;
}

QPixmap Pictures::bottomStrip(int width, int height)
{
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    QLinearGradient g(0, 0, 0, height);
    g.setColorAt(0, kStripDark.darker(130));
    g.setColorAt(0.5, kStripDark);
    g.setColorAt(1, kStripLight);
    p.fillRect(pm.rect(), g);
    return pm;
}

QPixmap Pictures::bottomInner(int width, int height)
{
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    QLinearGradient g(0, 0, width, 0);
    g.setColorAt(0, kStripDark);
    g.setColorAt(0.5, kStripLight);
    g.setColorAt(1, kStripDark);
    p.fillRect(pm.rect(), g);
    p.setPen(kStripDark.darker(150));
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

QPixmap Pictures::sideStrip(int width, int height)
{
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    QLinearGradient g(0, 0, width, 0);
    g.setColorAt(0, kStripDark.darker(130));
    g.setColorAt(1, kStripLight);
    p.fillRect(pm.rect(), g);
    return pm;
}

namespace {
// A title-strip button: a rounded box on the strip, its symbol drawn by the
// caller inside the returned box with a white two-pixel pen.
template <typename Symbol> QPixmap titleButton(int width, int height, const QColor &fill, Symbol symbol)
{
    QPixmap pm = Pictures::titleStrip(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width, height) - 8.0;
    const QRectF box((width - side) / 2, (height - side) / 2, side, side);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(fill);
    p.drawRoundedRect(box, 3, 3);
    p.setPen(QPen(Qt::white, 2));
    symbol(p, box);
    return pm;
}
} // namespace

QPixmap Pictures::minimiseButton(int width, int height)
{
    return titleButton(width, height, kStripLight.darker(120), [](QPainter &p, const QRectF &box) {
        p.drawLine(QPointF(box.left() + 4, box.bottom() - 5), QPointF(box.right() - 4, box.bottom() - 5));
    });
}

QPixmap Pictures::closeButton(int width, int height)
{
    return titleButton(width, height, QColor(192, 32, 32), [](QPainter &p, const QRectF &box) {
        const QRectF x = box.adjusted(4.5, 4.5, -4.5, -4.5);
        p.drawLine(x.topLeft(), x.bottomRight());
        p.drawLine(x.topRight(), x.bottomLeft());
    });
}

QPixmap Pictures::icon(int size)
{
    QPixmap pm = blank(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    p.setPen(QPen(Qt::white, s / 16.0));
    p.setBrush(QColor(0, 0, 192));
    p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
    p.setPen(QPen(QColor(255, 255, 0), s / 10.0, Qt::SolidLine, Qt::RoundCap));
    const QPointF c(s / 2, s / 2);
    p.drawLine(c, QPointF(s * 0.78, s * 0.28));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 0));
    p.drawEllipse(c, s / 10.0, s / 10.0);
    return pm;
}

QPixmap Pictures::motorFrame(int frame)
{
    QPixmap pm = blank(kPlantWidth, kPlantHeight);
    QPainter p(&pm);
    drawMachine(p, 90.0 - 90.0 * (((frame % 4) + 4) % 4), QStringLiteral("M"), QColor(40, 80, 160));
    return pm;
}

QPixmap Pictures::generator()
{
    QPixmap pm = blank(kPlantWidth, kPlantHeight);
    QPainter p(&pm);
    drawMachine(p, 45.0, QStringLiteral("G"), QColor(0, 128, 96));
    // the output terminals
    p.setPen(QPen(QColor(192, 0, 0), 2));
    p.drawLine(QPointF(49.5, 60), QPointF(56, 60));
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(49.5, 78), QPointF(56, 78));
    return pm;
}

QPixmap Pictures::integratorBlock(int width, int height)
{
    QPixmap pm = blank(width, height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawFractionBlock(p, QRectF(0.5, 0.5, width - 1.0, height - 1.0), QStringLiteral("Ki"), QStringLiteral("s"),
                      std::max(9, std::min(14, height / 4)));
    return pm;
}

QPixmap Pictures::piBlock(int width, int height)
{
    return branchBlocks(width, height, {QStringLiteral("Kp"), QStringLiteral("Ki/s")});
}

QPixmap Pictures::pidBlock(int width, int height)
{
    return branchBlocks(width, height, {QStringLiteral("Kp"), QStringLiteral("Ki/s"), QStringLiteral("Kd s")});
}

QPixmap Pictures::ledPanel()
{
    const int w = 310, h = 255;
    QPixmap pm = blank(w, h);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // board
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(0, 104, 72));
    g.setColorAt(1, QColor(0, 72, 48));
    p.fillRect(pm.rect(), g);
    p.setPen(QColor(0, 40, 24));
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    // LED row housing: the LEDs sit at 21 + 16 k pixels, 9 pixels wide, top 9
    p.setBrush(QColor(24, 24, 24));
    p.setPen(QPen(QColor(200, 200, 200), 1));
    p.drawRoundedRect(QRectF(15.5, 4.5, 199, 19), 3, 3);
    p.setFont(pictureFont(8, false));
    for (int k = 0; k < 12; ++k) {
        const double x = 21 + 16 * k + 4.5; // LED centre
        p.setPen(QColor(230, 230, 200));
        p.drawText(QRectF(x - 8, 25, 16, 10), Qt::AlignCenter, QString::number(11 - k));
        // traces down to the connector
        p.setPen(QPen(QColor(200, 170, 60), 1));
        const double px = 62 + 8.0 * k;
        p.drawLine(QPointF(x, 36), QPointF(x, 60 + 3 * k));
        p.drawLine(QPointF(x, 60 + 3 * k), QPointF(px, 110 + 3 * k));
        p.drawLine(QPointF(px, 110 + 3 * k), QPointF(px, 168));
    }
    // connector of the parallel port
    QPainterPath shell;
    shell.moveTo(44, 168);
    shell.lineTo(170, 168);
    shell.lineTo(162, 192);
    shell.lineTo(52, 192);
    shell.closeSubpath();
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(176, 176, 184));
    p.drawPath(shell);
    p.setBrush(QColor(200, 170, 60));
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 13; ++k)
        p.drawEllipse(QPointF(56 + 8.6 * k, 176), 2, 2);
    for (int k = 0; k < 12; ++k)
        p.drawEllipse(QPointF(60 + 8.6 * k, 185), 2, 2);
    // cable to the lamp
    p.setPen(QPen(QColor(30, 30, 30), 3));
    p.drawLine(QPointF(107, 192), QPointF(107, 212));
    return pm;
}

QPixmap Pictures::aboutPicture(int width, int height)
{
    QPixmap pm = blank(width, height, QColor(192, 185, 207));
    QPainter p(&pm);
    const QPixmap motor = motorFrame(0);
    const QPixmap gen = generator();
    const int y = std::max(0, (height - kPlantHeight) / 2);
    const int gap = std::max(0, (width - 2 * kPlantWidth) / 3);
    p.drawPixmap(gap, y, motor);
    p.drawPixmap(2 * gap + kPlantWidth, y, gen);
    return pm;
}

} // namespace tervalo
