#include "controls/slider/frmValueTip.h"

#include "controls/common/OleColor.h"

#include <QFontDatabase>
#include <QPainter>

namespace tervalo {

frmValueTip *frmValueTip::shared_ = nullptr;

frmValueTip *frmValueTip::instance()
{
    return shared_;
}

frmValueTip *frmValueTip::obtain()
{
    if (!shared_)
        shared_ = new frmValueTip();
    return shared_;
}

void frmValueTip::unload()
{
    delete shared_; // the destructor clears shared_
}

QFont frmValueTip::tipFont()
{
    static const QString family =
        QFontDatabase::hasFamily(QStringLiteral("Verdana")) ? QStringLiteral("Verdana") : QStringLiteral("DejaVu Sans");
    QFont f(family);
    f.setPixelSize(9); // 6.75 pt at 96 pixels per inch
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    return f;
}

frmValueTip::frmValueTip() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setFont(tipFont());

    lblTip = new QLabel(this);
    lblTip->setFont(tipFont());
    lblTip->setAutoFillBackground(false);
    lblTip->setContentsMargins(0, 0, 0, 0);
    lblTip->setMargin(0);
    lblTip->setIndent(0);
    lblTip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTip->setFocusPolicy(Qt::NoFocus);
    QPalette pal = lblTip->palette();
    pal.setColor(QPalette::WindowText, OleColor::toQColor(OleColor::system(OleColor::WindowText)));
    lblTip->setPalette(pal);
    lblTip->move(2, 1);
    lblTip->resize(0, QFontMetrics(tipFont()).height());
}

frmValueTip::~frmValueTip()
{
    if (shared_ == this)
        shared_ = nullptr;
}

void frmValueTip::resizeEvent(QResizeEvent *)
{
    Form_Resize();
}

// Clears the surface to the background colour and draws the raised frame:
// light at the top and left, dark shadow at the right and bottom.
void frmValueTip::Form_Resize()
{
    const int sw = width();
    const int sh = height();
    if (sw <= 0 || sh <= 0) {
        surface_ = QImage();
        return;
    }
    surface_ = QImage(sw, sh, QImage::Format_RGB32);
    surface_.fill(backColor());
    const QRgb light = OleColor::toQColor(OleColor::system(OleColor::Light3D)).rgb();
    const QRgb dark = OleColor::toQColor(OleColor::system(OleColor::DarkShadow3D)).rgb();
    for (int x = 0; x < sw; ++x)
        surface_.setPixel(x, 0, light);
    for (int y = 0; y < sh; ++y)
        surface_.setPixel(0, y, light);
    for (int y = 0; y < sh; ++y)
        surface_.setPixel(sw - 1, y, dark);
    for (int x = 0; x < sw; ++x)
        surface_.setPixel(x, sh - 1, dark);
    ++frameDraws_;
    update();
}

void frmValueTip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!surface_.isNull())
        p.drawImage(0, 0, surface_);
}

} // namespace tervalo
