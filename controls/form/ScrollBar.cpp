#include "controls/form/ScrollBar.h"

#include "runtime/RuntimeError.h"

#include <QResizeEvent>
#include <QScrollBar>

namespace tervalo {

ScrollBar::ScrollBar(QWidget *parent) : QWidget(parent), bar_(new QScrollBar(Qt::Horizontal, this))
{
    bar_->setRange(0, 32767);
    bar_->setSingleStep(1);
    bar_->setPageStep(1);
    bar_->setTracking(false); // a drag reports Scroll while moving and Change once at release
    setFocusProxy(bar_);
    connect(bar_, &QScrollBar::valueChanged, this, [this](int) {
        if (!programmatic_ && onChange)
            onChange();
    });
    connect(bar_, &QScrollBar::sliderMoved, this, [this](int) {
        if (onScroll)
            onScroll();
    });
}

int ScrollBar::Min() const
{
    return bar_->minimum();
}
int ScrollBar::Max() const
{
    return bar_->maximum();
}
int ScrollBar::Value() const
{
    return bar_->value();
}
bool ScrollBar::isSliderDown() const
{
    return bar_->isSliderDown();
}
int ScrollBar::sliderPosition() const
{
    return bar_->sliderPosition();
}
void ScrollBar::triggerAction(QAbstractSlider::SliderAction action)
{
    bar_->triggerAction(action);
}

void ScrollBar::resizeEvent(QResizeEvent *event)
{
    bar_->setGeometry(0, 0, event->size().width(), event->size().height());
}

void ScrollBar::setValue(int v)
{
    if (v < bar_->minimum() || v > bar_->maximum())
        raiseError(RuntimeError::InvalidPropertyValue, objectName().toStdString());
    if (v == bar_->value())
        return;
    programmatic_ = true;
    bar_->setValue(v);
    bar_->setSliderPosition(v);
    programmatic_ = false;
    if (onChange)
        onChange();
}

void ScrollBar::rangeMoved(int before)
{
    programmatic_ = false;
    if (bar_->value() != before && onChange)
        onChange();
}

void ScrollBar::setMin(int v)
{
    if (v < -32768 || v > 32767)
        raiseError(RuntimeError::InvalidPropertyValue, objectName().toStdString());
    const int before = bar_->value();
    programmatic_ = true;
    bar_->setMinimum(v);
    rangeMoved(before);
}

void ScrollBar::setMax(int v)
{
    if (v < -32768 || v > 32767)
        raiseError(RuntimeError::InvalidPropertyValue, objectName().toStdString());
    const int before = bar_->value();
    programmatic_ = true;
    bar_->setMaximum(v);
    rangeMoved(before);
}

} // namespace tervalo
