#include "controls/form/CheckBox.h"

#include <QPainter>

namespace tervalo {

CheckBox::CheckBox(const QString &caption, QWidget *parent) : QCheckBox(caption, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CheckBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect box = rect();
    p.fillRect(box, isEnabled() ? QColor(255, 255, 255) : QColor(192, 192, 192));
    // sunken edge: dark grey above and left, black inside it; light grey
    // below and right, so that the square shows whole on a white ground
    p.setPen(QColor(128, 128, 128));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(QColor(64, 64, 64));
    p.drawLine(box.left() + 1, box.top() + 1, box.right() - 1, box.top() + 1);
    p.drawLine(box.left() + 1, box.top() + 1, box.left() + 1, box.bottom() - 1);
    if (!isChecked())
        return;
    // the tick, three pixels thick, inside the edge
    p.setPen(QColor(0, 0, 0));
    const int x = box.left() + 3, y = box.top() + box.height() / 2 - 1;
    const int w = box.width() - 6;
    for (int k = 0; k < 3; ++k) {
        p.drawLine(x, y + k, x + w / 3, y + w / 3 + k);
        p.drawLine(x + w / 3, y + w / 3 + k, box.right() - 3, y - w / 3 - 1 + k);
    }
}

bool CheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

} // namespace tervalo
