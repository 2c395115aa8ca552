#include "ui/ClickLabel.h"

#include <QMouseEvent>

namespace tervalo {

ClickLabel::ClickLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setMouseTracking(true);
}

void ClickLabel::mousePressEvent(QMouseEvent *e)
{
    if (onMouseDown)
        onMouseDown(e->button());
    QLabel::mousePressEvent(e);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *e)
{
    if (onMouseUp)
        onMouseUp(e->button());
    // a click is a left press and release over the label
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onClick)
        onClick();
    QLabel::mouseReleaseEvent(e);
}

void ClickLabel::mouseMoveEvent(QMouseEvent *e)
{
    if (onMouseMove)
        onMouseMove();
    QLabel::mouseMoveEvent(e);
}

} // namespace tervalo
