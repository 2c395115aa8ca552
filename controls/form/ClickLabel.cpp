#include "controls/form/ClickLabel.h"

#include <QMouseEvent>

namespace tervalo {

ClickLabel::ClickLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setMouseTracking(true);
}

void ClickLabel::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && onPress)
        onPress();
    QLabel::mousePressEvent(e);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *e)
{
    // a click is a left press and release over the label
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick)
        onClick();
    if (e->button() == Qt::LeftButton && onRelease)
        onRelease();
    QLabel::mouseReleaseEvent(e);
}

} // namespace tervalo
