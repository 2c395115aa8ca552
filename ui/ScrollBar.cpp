#include "ui/ScrollBar.h"

#include "runtime/RuntimeError.h"

namespace tervalo {

ScrollBar::ScrollBar(QWidget *parent) : QScrollBar(Qt::Horizontal, parent)
{
    setRange(0, 32767);
    setSingleStep(1);
    setPageStep(1);
    setTracking(false); // a drag reports Scroll while moving and Change once at release
    connect(this, &QScrollBar::valueChanged, this, [this](int) {
        if (!programmatic_ && onChange)
            onChange();
    });
    connect(this, &QScrollBar::sliderMoved, this, [this](int) {
        if (onScroll)
            onScroll();
    });
}

void ScrollBar::setValue(int v)
{
    if (v < minimum() || v > maximum())
        raiseError(RuntimeError::InvalidPropertyValue, objectName().toStdString());
    if (v == value())
        return;
    programmatic_ = true;
    QScrollBar::setValue(v);
    QScrollBar::setSliderPosition(v);
    programmatic_ = false;
    if (onChange)
        onChange();
}

void ScrollBar::rangeMoved(int before)
{
    programmatic_ = false;
    if (value() != before && onChange)
        onChange();
}

void ScrollBar::setMin(int v)
{
    if (v < -32768 || v > 32767)
        raiseError(RuntimeError::InvalidPropertyValue, objectName().toStdString());
    const int before = value();
    programmatic_ = true;
    setMinimum(v);
    rangeMoved(before);
}

void ScrollBar::setMax(int v)
{
    if (v < -32768 || v > 32767)
        raiseError(RuntimeError::InvalidPropertyValue, objectName().toStdString());
    const int before = value();
    programmatic_ = true;
    setMaximum(v);
    rangeMoved(before);
}

} // namespace tervalo
