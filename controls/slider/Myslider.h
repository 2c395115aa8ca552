#pragma once
// Myslider: a slider control with its own rail and thumb drawing, change
// events and a value tip while dragged. Coordinates are pixels.
//
// Colours are 0x00BBGGRR values; 0x800000nn names a system colour.
//
// The control draws on a persistent surface (an image the size of the
// widget) that the paint handler only shows; the surface is redrawn when the
// value, the size or a drawing property changes. The widget's pixel size is
// the inner size (ScaleWidth x ScaleHeight); sizes in twips are pixels x 15.
//
// Events are raised synchronously as Qt signals: a value change raises
// Change, then ArrivedLast when it ends at Max, then ArrivedFirst when it
// ends at Min. Every property setter ends with PropertyChanged(name).

#include "controls/common/PropertyBag.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace tervalo {

class Myslider : public QWidget {
    Q_OBJECT
public:
    explicit Myslider(QWidget *parent = nullptr);
    ~Myslider() override;

    bool Enabled() const;
    void setEnabled(bool New_Enabled); // hides QWidget's; both set the one flag
    std::uint32_t BackColor() const;
    void setBackColor(std::uint32_t New_BackColor);
    std::int32_t Max() const;
    void setMax(std::int32_t New_Max); // raises 380 when not above Min
    std::int32_t Min() const;
    void setMin(std::int32_t New_Min); // raises 380 when not below Max
    std::int32_t Value() const;
    void setValue(std::int32_t New_Value);
    std::int32_t Orientation() const;
    void setOrientation(std::int32_t New_Orientation);
    std::int32_t RailStyle() const;
    void setRailStyle(std::int32_t New_RailStyle);
    QImage SliderIcon() const;
    void setSliderIcon(const QImage &New_SliderIcon);
    QImage RailPicture() const;
    void setRailPicture(const QImage &New_RailPicture);
    bool ShowValueTip() const;
    void setShowValueTip(bool New_ShowValueTip);

    void InitProperties();
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // ---- pictures -------------------------------------------------------
    // The thumb of a new instance: 16 x 8, a horizontal bar (black outline,
    // transparent corners, dark green, light green and a yellow middle).
    static QImage defaultThumb();
    // The same design turned upright, 8 x 16, for horizontal sliders.
    static QImage uprightThumb();

    enum OrientationCode : std::int32_t { Horizontal = 0, Vertical = 1 };
    enum RailStyleCode : std::int32_t { RailPictureStyle = 99 };
    static constexpr std::uint32_t DefaultBackColor = 0x8000000Fu; // button face

    // ---- mouse handlers -------------------------------------------------
    // The Qt mouse events forward here. Button: 1 left, 2 right, 4 middle;
    // Shift: 1 shift, 2 ctrl, 4 alt; X, Y in pixels relative to the control
    // (negative or beyond the inner size while the pointer is captured).
    void UserControl_MouseDown(short Button, short Shift, float X, float Y);
    void UserControl_MouseMove(short Button, short Shift, float X, float Y);
    void UserControl_MouseUp(short Button, short Shift, float X, float Y);

    // ---- inspection -----------------------------------------------------
    struct Rect {
        std::int32_t left = 0, top = 0, right = 0, bottom = 0;
        bool operator==(const Rect &o) const
        {
            return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
        }
    };
    int ScaleWidth() const { return width(); }
    int ScaleHeight() const { return height(); }
    float thumbLeft() const { return thumbLeft_; }
    float thumbTop() const { return thumbTop_; }
    Rect railRect() const { return railRect_; }
    bool isDragging() const { return isDragging_; }
    const QImage &surface() const { return surface_; }
    int redrawCount() const { return redrawCount_; } // RedrawSlider runs so far

signals:
    void Click();
    void ArrivedFirst();
    void ArrivedLast();
    void Change();
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);
    void PropertyChanged(const QString &name);

protected:
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void UserControl_Resize();
    void RedrawSlider();
    std::int32_t ThumbToValue();
    void PlaceThumbAtStart();
    void ShowTip();

    // Thumb position of value v on the horizontal / vertical axis.
    float horizontalPosition(std::int32_t v) const;
    float verticalPosition(std::int32_t v) const;
    bool railPictureMode() const;
    int thumbWidth() const { return Slider_.width(); }
    int thumbHeight() const { return Slider_.height(); }

    QImage Slider_;       // thumb picture
    QImage iRailPicture_; // rail picture
    QImage surface_;
    float thumbLeft_ = 0, thumbTop_ = 0;

    bool isDragging_ = false;
    float grabX_ = 0, grabY_ = 0;
    Rect railRect_;
    std::int32_t valueRange_ = 10;
    std::int32_t lastValue_ = 0;
    void applyEnabled(bool on);
    QPalette drawingPalette() const;
    bool settingEnabled_ = false;
    bool enabledSeen_ = true;
    std::int32_t orientationCode_ = Vertical;
    std::int32_t railStyleCode_ = 0;
    bool showTipFlag_ = true;
    std::int32_t minValue_ = 0, maxValue_ = 10, currentValue_ = 0;
    std::uint32_t backColor_ = DefaultBackColor;

    int redrawCount_ = 0;
    int resizeDepth_ = 0;
};

} // namespace tervalo
