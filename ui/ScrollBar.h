#pragma once
// A horizontal scroll bar with the platform semantics the window relies on:
//  - setValue outside Min..Max raises error 380 and changes nothing;
//  - the change handler runs only when the value really changes, at once,
//    whoever changed it (program or user);
//  - a range change that moves the value into the new range runs it too;
//  - the scroll handler follows the thumb while the user drags it.

#include <QScrollBar>

#include <functional>

namespace tervalo {

class ScrollBar : public QScrollBar {
public:
    explicit ScrollBar(QWidget *parent = nullptr);

    int Min() const { return minimum(); }
    int Max() const { return maximum(); }
    int Value() const { return value(); }
    void setMin(int v);
    void setMax(int v);
    void setValue(int v); // raises 380 when outside Min..Max

    std::function<void()> onChange;
    std::function<void()> onScroll;

private:
    void rangeMoved(int before);
    bool programmatic_ = false;
};

} // namespace tervalo
