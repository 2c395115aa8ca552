#pragma once
// Myslider: a slider control with its own rail and thumb drawing, change
// events and a value tip while dragged. Coordinates are pixels.
//
// Colours are 0x00BBGGRR values; 0x800000nn names a system colour.

#include "controls/common/PropertyBag.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace tervalo {

class Myslider : public QWidget {
    Q_OBJECT
public:
    explicit Myslider(QWidget *parent = nullptr);

    bool Enabled() const;
    void setEnabled(bool New_Enabled); // the property; the widget itself stays enabled
    std::uint32_t BackColor() const;
    void setBackColor(std::uint32_t New_BackColor);
    std::int32_t Max() const;
    void setMax(std::int32_t New_Max);  // raises 380 when not above Min
    std::int32_t Min() const;
    void setMin(std::int32_t New_Min);  // raises 380 when not below Max
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

signals:
    void Click();
    void ArrivedFirst();
    void ArrivedLast();
    void Change();
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);
    void PropertyChanged(const QString &name);

private:
    std::int32_t min_ = 0, max_ = 10, value_ = 0;
};

} // namespace tervalo
