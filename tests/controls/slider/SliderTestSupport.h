#pragma once
// Shared helpers of the slider tests: an event recorder and the slider as the
// main window stores it (horizontal, light blue, rail style 99 without a rail
// picture, no value tip, the upright 8 x 16 thumb).

#include "controls/common/PropertyBag.h"
#include "controls/slider/Myslider.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace tervalo::testing {

class EventLog {
public:
    explicit EventLog(Myslider &s)
    {
        QObject::connect(&s, &Myslider::Change, &s, [this] { events.push_back("Change"); });
        QObject::connect(&s, &Myslider::ArrivedFirst, &s, [this] { events.push_back("ArrivedFirst"); });
        QObject::connect(&s, &Myslider::ArrivedLast, &s, [this] { events.push_back("ArrivedLast"); });
        QObject::connect(&s, &Myslider::Click, &s, [this] { events.push_back("Click"); });
        QObject::connect(&s, &Myslider::MouseDown, &s, [this](short b, short sh, float x, float y) {
            events.push_back("MouseDown");
            last = {b, sh, x, y};
        });
        QObject::connect(&s, &Myslider::MouseUp, &s, [this](short b, short sh, float x, float y) {
            events.push_back("MouseUp");
            last = {b, sh, x, y};
        });
        QObject::connect(&s, &Myslider::PropertyChanged, &s,
                         [this](const QString &name) { notified.push_back(name.toStdString()); });
    }

    void clear()
    {
        events.clear();
        notified.clear();
    }

    int count(const std::string &name) const
    {
        int n = 0;
        for (const auto &e : events)
            n += e == name;
        return n;
    }

    struct MouseArgs {
        short button = 0, shift = 0;
        float x = 0, y = 0;
    };

    std::vector<std::string> events;   // Change, Arrived*, Click, Mouse*
    std::vector<std::string> notified; // PropertyChanged names
    MouseArgs last;
};

inline PropertyBag mainWindowSettings()
{
    PropertyBag bag;
    bag.WriteProperty("BackColor", QVariant::fromValue<quint32>(0x00FF8080u));
    bag.WriteProperty("Orientation", 0);
    bag.WriteProperty("RailStyle", 99);
    bag.WriteProperty("ShowValueTip", false);
    bag.WriteProperty("SliderIcon", QVariant::fromValue(Myslider::uprightThumb()));
    return bag;
}

// A horizontal slider as the main window holds it, `width` pixels wide.
inline std::unique_ptr<Myslider> mainWindowSlider(int width = 96, PropertyBag bag = mainWindowSettings())
{
    auto s = std::make_unique<Myslider>();
    s->resize(width, 40);
    s->ReadProperties(bag);
    return s;
}

} // namespace tervalo::testing
