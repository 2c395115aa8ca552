#include "controls/form/Shape.h"

#include <QPainter>

namespace tervalo {

Shape::Shape(Kind kind, QWidget *parent) : QWidget(parent), kind_(kind)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setFillColor(const QColor &c)
{
    if (c == fill_)
        return;
    fill_ = c;
    update();
}

void Shape::setBorderColor(const QColor &c)
{
    border_ = c;
    update();
}

void Shape::setBorderStyleDotted(bool dotted)
{
    dotted_ = dotted;
    update();
}

void Shape::setFilled(bool filled)
{
    filled_ = filled;
    update();
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, kind_ != Rectangle);
    p.setPen(QPen(border_, 1, dotted_ ? Qt::DotLine : Qt::SolidLine));
    p.setBrush(filled_ ? QBrush(fill_) : Qt::NoBrush);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (kind_) {
    case Rectangle: p.drawRect(r); break;
    case Oval: p.drawEllipse(r); break;
    case Circle: {
        const qreal d = qMin(r.width(), r.height());
        p.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
        break;
    }
    }
}

} // namespace tervalo
