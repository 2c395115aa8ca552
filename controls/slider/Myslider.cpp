#include "controls/slider/Myslider.h"

#include "controls/common/OleColor.h"
#include "controls/slider/Edge3D.h"
#include "controls/slider/frmValueTip.h"
#include "runtime/NumberText.h"
#include "runtime/Numeric.h"
#include "runtime/ResumeNext.h"
#include "runtime/RuntimeError.h"

#include <QMouseEvent>
#include <QPainter>

#include <limits>

namespace tervalo {

namespace {

// Edge flags of rail styles 0..4: sunken, raised, sunken outer line only,
// raised inner line only, none.
constexpr unsigned kRailEdges[] = {Edge3D::Sunken, Edge3D::Raised, Edge3D::SunkenOuter, Edge3D::RaisedInner, 0};

short buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

short buttonsMask(Qt::MouseButtons b)
{
    short m = 0;
    if (b & Qt::LeftButton)
        m |= 1;
    if (b & Qt::RightButton)
        m |= 2;
    if (b & Qt::MiddleButton)
        m |= 4;
    return m;
}

short shiftCode(Qt::KeyboardModifiers k)
{
    short m = 0;
    if (k & Qt::ShiftModifier)
        m |= 1;
    if (k & Qt::ControlModifier)
        m |= 2;
    if (k & Qt::AltModifier)
        m |= 4;
    return m;
}

// A stored whole number; anything that is not one is an invalid value.
std::int32_t readLong(const PropertyBag &bag, const char *name, std::int32_t def)
{
    bool ok = false;
    const qlonglong n = bag.ReadProperty(QString::fromLatin1(name), def).toLongLong(&ok);
    if (!ok)
        raiseError(RuntimeError::InvalidPropertyValue, name);
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        raiseError(RuntimeError::Overflow, name);
    return static_cast<std::int32_t>(n);
}

std::uint32_t readColor(const PropertyBag &bag, const char *name, std::uint32_t def)
{
    bool ok = false;
    const qlonglong n = bag.ReadProperty(QString::fromLatin1(name), QVariant::fromValue<quint32>(def)).toLongLong(&ok);
    if (!ok)
        raiseError(RuntimeError::InvalidPropertyValue, name);
    return static_cast<std::uint32_t>(static_cast<qulonglong>(n) & 0xFFFFFFFFull);
}

QImage readPicture(const PropertyBag &bag, const char *name)
{
    const QVariant v = bag.ReadProperty(QString::fromLatin1(name));
    if (!v.isValid())
        return QImage();
    if (!v.canConvert<QImage>())
        raiseError(RuntimeError::InvalidPropertyValue, name);
    return v.value<QImage>();
}

// An empty picture is the default "none" and is left out.
void writePicture(PropertyBag &bag, const char *name, const QImage &picture)
{
    const QString key = QString::fromLatin1(name);
    if (picture.isNull()) {
        const QVariant none = QVariant::fromValue(QImage());
        bag.WriteProperty(key, none, none);
    } else {
        bag.WriteProperty(key, QVariant::fromValue(picture), QVariant::fromValue(QImage()));
    }
}

QImage thumbPicture(bool upright)
{
    // Along the bar: outline, dark green, 3 light green, 6 yellow, 3 light
    // green, dark green, outline.
    const QRgb outline = qRgb(0, 0, 0);
    const QRgb dark = qRgb(7, 139, 20);
    const QRgb light = qRgb(62, 232, 57);
    const QRgb yellow = qRgb(237, 244, 87);
    QRgb along[16];
    along[0] = along[15] = outline;
    along[1] = along[14] = dark;
    for (int i = 2; i <= 4; ++i)
        along[i] = along[15 - i] = light;
    for (int i = 5; i <= 10; ++i)
        along[i] = yellow;

    const int length = 16, across = 8;
    QImage img(upright ? across : length, upright ? length : across, QImage::Format_ARGB32);
    for (int a = 0; a < length; ++a) {
        for (int c = 0; c < across; ++c) {
            const bool endOfBar = a == 0 || a == length - 1;
            const bool side = c == 0 || c == across - 1;
            QRgb px;
            if (endOfBar && side)
                px = qRgba(0, 0, 0, 0); // cut corner
            else if (side)
                px = outline;
            else
                px = along[a];
            if (upright)
                img.setPixel(c, a, px);
            else
                img.setPixel(a, c, px);
        }
    }
    return img;
}

// Runs a statement that must not let a run-time error out of a Qt event
// handler; the host's own handlers run inside it.
template <typename F> void guarded(F &&f)
{
    ResumeNext step;
    step(std::forward<F>(f));
}

} // namespace

QImage Myslider::defaultThumb()
{
    return thumbPicture(false);
}

QImage Myslider::uprightThumb()
{
    return thumbPicture(true);
}

Myslider::Myslider(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
    Slider_ = defaultThumb();
    InitProperties();
}

Myslider::~Myslider()
{
    if (isDragging_)
        frmValueTip::unload();
}

// ---- properties -------------------------------------------------------

// Enabled is the widget's own enabled flag, so that every way of setting
// it (this setter, QWidget's through a base pointer, a property write, a
// signal connection) is the same property with the same notification. A
// disabled control takes no mouse presses; its drawing stays the same.
bool Myslider::Enabled() const
{
    return !testAttribute(Qt::WA_ForceDisabled);
}

void Myslider::applyEnabled(bool on)
{
    settingEnabled_ = true;
    QWidget::setEnabled(on);
    settingEnabled_ = false;
    enabledSeen_ = Enabled();
}

void Myslider::setEnabled(bool New_Enabled)
{
    applyEnabled(New_Enabled);
    emit PropertyChanged(QStringLiteral("Enabled"));
}

bool Myslider::event(QEvent *event)
{
    // The platform drops the mouse of a disabled widget; this control only
    // refuses presses when disabled and still reports clicks.
    if (!isEnabled()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: mousePressEvent(static_cast<QMouseEvent *>(event)); return true;
        case QEvent::MouseMove: mouseMoveEvent(static_cast<QMouseEvent *>(event)); return true;
        case QEvent::MouseButtonRelease: mouseReleaseEvent(static_cast<QMouseEvent *>(event)); return true;
        default: break;
        }
    }
    return QWidget::event(event);
}

void Myslider::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !settingEnabled_ && Enabled() != enabledSeen_) {
        enabledSeen_ = Enabled();
        emit PropertyChanged(QStringLiteral("Enabled"));
    }
}

QPalette Myslider::drawingPalette() const
{
    QPalette p = palette();
    p.setCurrentColorGroup(QPalette::Active);
    return p;
}

std::uint32_t Myslider::BackColor() const
{
    return backColor_;
}

void Myslider::setBackColor(std::uint32_t New_BackColor)
{
    backColor_ = New_BackColor;
    RedrawSlider();
    emit PropertyChanged(QStringLiteral("BackColor"));
}

std::int32_t Myslider::Max() const
{
    return maxValue_;
}

void Myslider::setMax(std::int32_t New_Max)
{
    if (New_Max <= minValue_)
        raiseError(RuntimeError::InvalidPropertyValue, "Max");
    // A range wider than 32 bits is an overflow; nothing changes then.
    const std::int32_t range = subLong(New_Max, minValue_);
    maxValue_ = New_Max;
    valueRange_ = range;
    emit PropertyChanged(QStringLiteral("Max"));
}

std::int32_t Myslider::Min() const
{
    return minValue_;
}

void Myslider::setMin(std::int32_t New_Min)
{
    if (New_Min >= maxValue_)
        raiseError(RuntimeError::InvalidPropertyValue, "Min");
    const std::int32_t range = subLong(maxValue_, New_Min);
    minValue_ = New_Min;
    setValue(New_Min);
    valueRange_ = range;
    emit PropertyChanged(QStringLiteral("Min"));
}

std::int32_t Myslider::Value() const
{
    return currentValue_;
}

void Myslider::setValue(std::int32_t New_Value)
{
    std::int32_t v = New_Value;
    if (v < minValue_)
        v = minValue_;
    if (v > maxValue_)
        v = maxValue_;
    currentValue_ = v;
    if (v != lastValue_) {
        // While dragging, the mouse handler has already placed the thumb.
        if (!isDragging_) {
            if (orientationCode_ == Horizontal)
                thumbLeft_ = horizontalPosition(v);
            else if (orientationCode_ == Vertical)
                thumbTop_ = verticalPosition(v);
        }
        RedrawSlider();
        lastValue_ = currentValue_;
        emit Change();
        if (currentValue_ == maxValue_)
            emit ArrivedLast();
        if (currentValue_ == minValue_)
            emit ArrivedFirst();
    }
    emit PropertyChanged(QStringLiteral("Value"));
}

std::int32_t Myslider::Orientation() const
{
    return orientationCode_;
}

void Myslider::setOrientation(std::int32_t New_Orientation)
{
    orientationCode_ = New_Orientation;
    PlaceThumbAtStart();
    UserControl_Resize();
    emit PropertyChanged(QStringLiteral("Orientation"));
}

std::int32_t Myslider::RailStyle() const
{
    return railStyleCode_;
}

void Myslider::setRailStyle(std::int32_t New_RailStyle)
{
    railStyleCode_ = New_RailStyle;
    UserControl_Resize();
    emit PropertyChanged(QStringLiteral("RailStyle"));
}

QImage Myslider::SliderIcon() const
{
    return Slider_;
}

void Myslider::setSliderIcon(const QImage &New_SliderIcon)
{
    Slider_ = New_SliderIcon;
    UserControl_Resize();
    emit PropertyChanged(QStringLiteral("SliderIcon"));
}

QImage Myslider::RailPicture() const
{
    return iRailPicture_;
}

void Myslider::setRailPicture(const QImage &New_RailPicture)
{
    iRailPicture_ = New_RailPicture;
    UserControl_Resize();
    emit PropertyChanged(QStringLiteral("RailPicture"));
}

bool Myslider::ShowValueTip() const
{
    return showTipFlag_;
}

void Myslider::setShowValueTip(bool New_ShowValueTip)
{
    showTipFlag_ = New_ShowValueTip;
    emit PropertyChanged(QStringLiteral("ShowValueTip"));
}

// ---- stored settings --------------------------------------------------

void Myslider::InitProperties()
{
    applyEnabled(true);
    orientationCode_ = Vertical;
    railStyleCode_ = 0;
    showTipFlag_ = true;
    minValue_ = 0;
    maxValue_ = 10;
    currentValue_ = 0;
    valueRange_ = 10;
    PlaceThumbAtStart();
    backColor_ = DefaultBackColor;
}

void Myslider::ReadProperties(const PropertyBag &bag)
{
    // Everything is read before anything changes, so that an unreadable
    // entry leaves the control as it was.
    const std::uint32_t backColor = readColor(bag, "BackColor", DefaultBackColor);
    const bool enabled = bag.ReadProperty(QStringLiteral("Enabled"), true).toBool();
    const std::int32_t orientation = readLong(bag, "Orientation", Vertical);
    const std::int32_t railStyle = readLong(bag, "RailStyle", 0);
    const bool showTip = bag.ReadProperty(QStringLiteral("ShowValueTip"), true).toBool();
    std::int32_t lo = readLong(bag, "Min", 0);
    std::int32_t hi = readLong(bag, "Max", 10);
    const std::int32_t value = readLong(bag, "Value", 0);
    const QImage icon = readPicture(bag, "SliderIcon");
    const QImage rail = readPicture(bag, "RailPicture");

    // Stored data whose maximum is not above its minimum, or whose range
    // does not fit 32 bits, would divide by zero or overflow when the thumb
    // is placed: the minimum is kept and the maximum repaired.
    constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();
    if (hi <= lo) {
        if (lo < kLongMax) {
            hi = lo + 1;
        } else {
            hi = static_cast<std::int32_t>(kLongMax);
            lo = hi - 1;
        }
    }
    if (static_cast<std::int64_t>(hi) - lo > kLongMax)
        hi = static_cast<std::int32_t>(lo + kLongMax);

    backColor_ = backColor;
    applyEnabled(enabled);
    orientationCode_ = orientation;
    railStyleCode_ = railStyle;
    showTipFlag_ = showTip;
    minValue_ = lo;
    maxValue_ = hi;
    currentValue_ = value; // loaded as stored, not clamped
    Slider_ = icon;
    iRailPicture_ = rail;

    lastValue_ = minValue_;
    valueRange_ = maxValue_ - minValue_;
    ResumeNext step;
    step([&] { thumbLeft_ = horizontalPosition(currentValue_); });
    step([&] { thumbTop_ = verticalPosition(currentValue_); });
    // The loaded control is laid out at its present size at once; a host
    // that sizes it afterwards runs the same layout again.
    UserControl_Resize();
}

void Myslider::WriteProperties(PropertyBag &bag) const
{
    bag.WriteProperty(QStringLiteral("BackColor"), QVariant::fromValue<quint32>(backColor_),
                      QVariant::fromValue<quint32>(DefaultBackColor));
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
    writePicture(bag, "SliderIcon", Slider_);
    bag.WriteProperty(QStringLiteral("Orientation"), QVariant::fromValue<qint32>(orientationCode_),
                      QVariant::fromValue<qint32>(Vertical));
    writePicture(bag, "RailPicture", iRailPicture_);
    bag.WriteProperty(QStringLiteral("RailStyle"), QVariant::fromValue<qint32>(railStyleCode_),
                      QVariant::fromValue<qint32>(0));
    bag.WriteProperty(QStringLiteral("ShowValueTip"), showTipFlag_, true);
    bag.WriteProperty(QStringLiteral("Min"), QVariant::fromValue<qint32>(minValue_), QVariant::fromValue<qint32>(0));
    bag.WriteProperty(QStringLiteral("Max"), QVariant::fromValue<qint32>(maxValue_), QVariant::fromValue<qint32>(10));
    bag.WriteProperty(QStringLiteral("Value"), QVariant::fromValue<qint32>(currentValue_),
                      QVariant::fromValue<qint32>(0));
}

// ---- layout and drawing -----------------------------------------------

float Myslider::horizontalPosition(std::int32_t v) const
{
    const Extended track = static_cast<Extended>(width()) - thumbWidth();
    return CSng(divide(track * (static_cast<Extended>(v) - minValue_), valueRange_));
}

float Myslider::verticalPosition(std::int32_t v) const
{
    const Extended track = static_cast<Extended>(height()) - thumbHeight();
    return CSng(track - divide(track * (static_cast<Extended>(v) - minValue_), valueRange_));
}

bool Myslider::railPictureMode() const
{
    return railStyleCode_ == RailPictureStyle && !iRailPicture_.isNull();
}

void Myslider::PlaceThumbAtStart()
{
    if (orientationCode_ == Horizontal) {
        thumbLeft_ = 0;
        thumbTop_ = 0;
    } else if (orientationCode_ == Vertical) {
        thumbLeft_ = 0;
        thumbTop_ = static_cast<float>(height() - thumbHeight());
    }
}

void Myslider::UserControl_Resize()
{
    struct Depth {
        int &d;
        explicit Depth(int &x) : d(++x) { }
        ~Depth() { --d; }
    } depth(resizeDepth_);

    const int tw = thumbWidth(), th = thumbHeight();
    const int rw = iRailPicture_.width(), rh = iRailPicture_.height();
    const bool pictureMode = railPictureMode();
    ResumeNext step;

    // 1. Size the control. Resizing a shown control runs this handler again
    //    at once; that run finds the size right and lays out completely.
    step([&] {
        int w = width(), h = height();
        if (orientationCode_ == Horizontal) {
            if (pictureMode) {
                w = rw + 4;
                h = th >= rh ? th : rh;
            } else {
                if (w == 0)
                    w = tw;
                h = th;
            }
        } else if (orientationCode_ == Vertical) {
            if (pictureMode) {
                w = tw >= rw ? tw : rw;
                h = rh + 4;
            } else {
                if (h == 0)
                    h = th;
                w = tw;
            }
        }
        // A host layout that keeps overriding the size cannot make this loop.
        if ((w != width() || h != height()) && resizeDepth_ <= 2)
            resize(w, h);
    });

    // 2. Place the thumb.
    if (orientationCode_ == Horizontal) {
        step([&] { thumbTop_ = (pictureMode && th < rh) ? CSng((rh - th) * 0.5L) : 0.0f; });
        step([&] { thumbLeft_ = horizontalPosition(currentValue_); });
    } else if (orientationCode_ == Vertical) {
        step([&] { thumbLeft_ = (pictureMode && tw < rw) ? CSng((rw - tw) * 0.5L) : 0.0f; });
        step([&] { thumbTop_ = verticalPosition(currentValue_); });
    }

    // 3. The rail: four pixels thick on the thumb's axis, from the thumb
    //    centre at one end to the thumb centre at the other, two pixels
    //    further at each end.
    const Extended sw = width(), sh = height();
    if (orientationCode_ == Horizontal) {
        step([&] {
            railRect_.top = CLng((th - 4) * 0.5L);
            railRect_.bottom = addLong(railRect_.top, 4);
            railRect_.left = CLng(tw * 0.5L - 2);
            railRect_.right = CLng(sw + railRect_.left - tw + 4);
        });
    } else if (orientationCode_ == Vertical) {
        step([&] {
            railRect_.top = CLng(th * 0.5L - 2);
            railRect_.bottom = CLng(sh + railRect_.top - th + 4);
            railRect_.left = CLng((tw - 4) * 0.5L);
            railRect_.right = addLong(railRect_.left, 4);
        });
    }

    // 4.
    RedrawSlider();
}

void Myslider::RedrawSlider()
{
    ++redrawCount_;
    ResumeNext step;

    step([&] {
        if (surface_.size() != size())
            surface_ = size().isEmpty() ? QImage() : QImage(size(), QImage::Format_RGB32);
        if (!surface_.isNull())
            surface_.fill(OleColor::toQColor(backColor_, drawingPalette()));
    });

    step([&] {
        if (surface_.isNull())
            return;
        if (railStyleCode_ == RailPictureStyle) {
            if (iRailPicture_.isNull())
                return;
            QPoint at;
            if (orientationCode_ == Horizontal)
                at = QPoint(2, CLng((static_cast<Extended>(height()) - iRailPicture_.height()) * 0.5L));
            else if (orientationCode_ == Vertical)
                at = QPoint(CLng((static_cast<Extended>(width()) - iRailPicture_.width()) * 0.5L), 2);
            else
                return;
            QPainter p(&surface_);
            p.drawImage(at, iRailPicture_);
        } else if (railStyleCode_ >= 0 && railStyleCode_ <= 4) {
            Edge3D::draw(surface_, railRect_.left, railRect_.top, railRect_.right, railRect_.bottom,
                         kRailEdges[railStyleCode_], drawingPalette());
        }
    });

    step([&] {
        if (surface_.isNull() || Slider_.isNull())
            return;
        const QPoint at(CLng(thumbLeft_), CLng(thumbTop_));
        QPainter p(&surface_);
        p.drawImage(at, Slider_);
    });

    if (showTipFlag_ && isDragging_)
        ShowTip();
    update();
}

std::int32_t Myslider::ThumbToValue()
{
    std::int32_t v = 0;
    ResumeNext step;
    if (orientationCode_ == Horizontal) {
        const Extended track = static_cast<Extended>(width()) - thumbWidth();
        step([&] { v = CLng(divide(thumbLeft_, track) * valueRange_ + minValue_); });
        step([&] { thumbLeft_ = horizontalPosition(v); });
    } else if (orientationCode_ == Vertical) {
        const Extended track = static_cast<Extended>(height()) - thumbHeight();
        step([&] { v = CLng(divide(track - thumbTop_, track) * valueRange_ + minValue_); });
        step([&] { thumbTop_ = verticalPosition(v); });
    }
    return v;
}

void Myslider::ShowTip()
{
    ResumeNext step;
    QPoint screen;
    step([&] { screen = mapToGlobal(QPoint(0, 0)); });
    frmValueTip *tip = frmValueTip::obtain();

    int w = 0, h = 0;
    step([&] {
        const QString t = QString::fromStdString(NumberText::whole(currentValue_));
        tip->lblTip->resize(tip->lblTip->fontMetrics().horizontalAdvance(t), tip->lblTip->fontMetrics().height());
        tip->lblTip->setText(t);
        tip->lblTip->repaint();
        w = tip->lblTip->width();
        h = tip->lblTip->height();
    });

    std::int32_t x = 0, y = 0;
    const Extended sx = screen.x(), sy = screen.y();
    const Extended tw = thumbWidth(), th = thumbHeight();
    if (orientationCode_ == Horizontal) {
        step([&] { x = CLng(thumbLeft_ + sx + (tw - w - 4) * 0.5L); });
        step([&] { y = CLng(thumbTop_ + sy - h - 5); });
    } else if (orientationCode_ == Vertical) {
        step([&] { x = CLng(thumbLeft_ + sx - w - 6); });
        step([&] { y = CLng(thumbTop_ + sy + (th - h - 4) * 0.5L); });
    }

    step([&] { tip->setGeometry(x, y, w + 4, h + 3); });
    // Shown on top without taking the focus.
    step([&] {
        tip->show();
        tip->raise();
    });
}

// ---- mouse ------------------------------------------------------------

void Myslider::UserControl_MouseDown(short Button, short Shift, float X, float Y)
{
    if (!Enabled() || Button != 1)
        return;
    isDragging_ = true;
    const float right = CSng(static_cast<Extended>(thumbLeft_) + thumbWidth());
    const float bottom = CSng(static_cast<Extended>(thumbTop_) + thumbHeight());
    if (thumbLeft_ <= X && X < right && thumbTop_ <= Y && Y < bottom) {
        grabX_ = CSng(static_cast<Extended>(X) - thumbLeft_);
        grabY_ = CSng(static_cast<Extended>(Y) - thumbTop_);
    } else {
        // On the rail or the background: the thumb centres on the pointer.
        grabX_ = CSng(thumbWidth() / 2.0L);
        grabY_ = CSng(thumbHeight() / 2.0L);
        UserControl_MouseMove(Button, Shift, X, Y);
    }
    if (showTipFlag_)
        ShowTip();
    emit MouseDown(Button, Shift, X, Y);
}

void Myslider::UserControl_MouseMove(short, short, float X, float Y)
{
    if (!isDragging_)
        return;
    if (orientationCode_ == Horizontal) {
        const float p = CSng(static_cast<Extended>(X) - grabX_);
        const float limit = CSng(static_cast<Extended>(width()) - thumbWidth());
        if (p >= 0)
            thumbLeft_ = p <= limit ? p : limit;
        else
            thumbLeft_ = 0;
    } else if (orientationCode_ == Vertical) {
        const float p = CSng(static_cast<Extended>(Y) - grabY_);
        const float limit = CSng(static_cast<Extended>(height()) - thumbHeight());
        if (p >= 0)
            thumbTop_ = p <= limit ? p : limit;
        else
            thumbTop_ = 0;
    }
    setValue(ThumbToValue());
}

void Myslider::UserControl_MouseUp(short Button, short Shift, float X, float Y)
{
    if (0 <= X && X < width() && 0 <= Y && Y < height() && Button == 1)
        emit Click();
    if (isDragging_)
        emit MouseUp(Button, Shift, X, Y);
    isDragging_ = false;
    frmValueTip::unload();
}

// ---- Qt events --------------------------------------------------------

void Myslider::resizeEvent(QResizeEvent *)
{
    UserControl_Resize();
}

void Myslider::showEvent(QShowEvent *)
{
    RedrawSlider();
}

void Myslider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (surface_.size() != size())
        p.fillRect(rect(), OleColor::toQColor(backColor_, drawingPalette()));
    if (!surface_.isNull())
        p.drawImage(0, 0, surface_);
}

void Myslider::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    guarded([&] {
        UserControl_MouseDown(buttonCode(event->button()), shiftCode(event->modifiers()), static_cast<float>(pos.x()),
                              static_cast<float>(pos.y()));
    });
    event->accept();
}

void Myslider::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    guarded([&] {
        UserControl_MouseMove(buttonsMask(event->buttons()), shiftCode(event->modifiers()), static_cast<float>(pos.x()),
                              static_cast<float>(pos.y()));
    });
    event->accept();
}

void Myslider::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    guarded([&] {
        UserControl_MouseUp(buttonCode(event->button()), shiftCode(event->modifiers()), static_cast<float>(pos.x()),
                            static_cast<float>(pos.y()));
    });
    event->accept();
}

} // namespace tervalo
