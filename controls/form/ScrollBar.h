#pragma once
// A horizontal scroll bar with the platform semantics the window relies on:
//  - setValue outside Min..Max raises error 380 and changes nothing;
//  - the change handler runs only when the value really changes, at once,
//    whoever changed it (program or user);
//  - a range change that moves the value into the new range runs it too;
//  - the scroll handler follows the thumb while the user drags it.
//
// The bar is held, not inherited: no call through a Qt base class, signal
// connection or property can set its value or range around these rules.

#include <QAbstractSlider>
#include <QWidget>

#include <functional>

class QScrollBar;

namespace tervalo {

class ScrollBar : public QWidget {
public:
    explicit ScrollBar(QWidget *parent = nullptr);

    int Min() const;
    int Max() const;
    int Value() const;
    void setMin(int v);
    void setMax(int v);
    void setValue(int v); // raises 380 when outside Min..Max

    // The user's side: the thumb while dragging, and the bar's own actions
    // (arrow, page and keyboard steps), which run the handlers as a user's do.
    bool isSliderDown() const;
    int sliderPosition() const;
    void triggerAction(QAbstractSlider::SliderAction action);

    std::function<void()> onChange;
    std::function<void()> onScroll;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void rangeMoved(int before);
    QScrollBar *bar_;
    bool programmatic_ = false;
};

} // namespace tervalo
