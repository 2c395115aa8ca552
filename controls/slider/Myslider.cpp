#include "controls/slider/Myslider.h"

// Placeholder bodies; the slider control is filled in separately.
namespace tervalo {
Myslider::Myslider(QWidget *parent) : QWidget(parent) {}
bool Myslider::Enabled() const { return true; }
void Myslider::setEnabled(bool) {}
std::uint32_t Myslider::BackColor() const { return 0; }
void Myslider::setBackColor(std::uint32_t) {}
std::int32_t Myslider::Max() const { return max_; }
void Myslider::setMax(std::int32_t v) { max_ = v; }
std::int32_t Myslider::Min() const { return min_; }
void Myslider::setMin(std::int32_t v) { min_ = v; setValue(v); }
std::int32_t Myslider::Value() const { return value_; }
void Myslider::setValue(std::int32_t v)
{
    v = v < min_ ? min_ : (v > max_ ? max_ : v);
    if (v == value_)
        return;
    value_ = v;
    emit Change();
}
std::int32_t Myslider::Orientation() const { return 0; }
void Myslider::setOrientation(std::int32_t) {}
std::int32_t Myslider::RailStyle() const { return 0; }
void Myslider::setRailStyle(std::int32_t) {}
QImage Myslider::SliderIcon() const { return {}; }
void Myslider::setSliderIcon(const QImage &) {}
QImage Myslider::RailPicture() const { return {}; }
void Myslider::setRailPicture(const QImage &) {}
bool Myslider::ShowValueTip() const { return false; }
void Myslider::setShowValueTip(bool) {}
void Myslider::InitProperties() {}
void Myslider::ReadProperties(const PropertyBag &) {}
void Myslider::WriteProperties(PropertyBag &) const {}
} // namespace tervalo
