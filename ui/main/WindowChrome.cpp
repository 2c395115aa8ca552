#include "ui/main/WindowChrome.h"

#include "controls/form/ClickLabel.h"
#include "ui/main/Form2Controls.h"
#include "ui/main/Form2Layout.h"

#include <QMouseEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace tervalo {

WindowChrome::WindowChrome(QWidget &form, QWidget *strip) : QObject(&form), form_(form), strip_(strip) { }

QRegion WindowChrome::roundedRegion(int width, int height, int ellipseWidth, int ellipseHeight)
{
    if (width <= 0 || height <= 0)
        return QRegion();
    const double rx = std::min(ellipseWidth, width) / 2.0;
    const double ry = std::min(ellipseHeight, height) / 2.0;
    QRegion region;
    if (rx <= 0 || ry <= 0)
        return QRegion(0, 0, width, height);
    // Rows inside the corner band get an inset from the corner ellipse;
    // the band is mirrored at the bottom.
    const int band = static_cast<int>(std::ceil(ry));
    for (int y = 0; y < std::min(band, height); ++y) {
        const double dy = (y + 0.5) - ry; // from the ellipse centre, negative above it
        double inset = 0;
        if (dy < 0) {
            const double t = 1.0 - (dy * dy) / (ry * ry);
            inset = rx - rx * std::sqrt(std::max(0.0, t));
        }
        // first pixel whose centre is inside: x + 0.5 >= inset
        const int left = static_cast<int>(std::ceil(inset - 0.5));
        const int right = width - left; // exclusive
        if (right <= left)
            continue;
        region += QRect(left, y, right - left, 1);
        const int mirror = height - 1 - y;
        if (mirror >= band)
            region += QRect(left, mirror, right - left, 1);
    }
    if (height - 2 * band > 0)
        region += QRect(0, band, width, height - 2 * band);
    return region;
}

void WindowChrome::clipToRoundedRegion(QWidget &window)
{
    window.setMask(roundedRegion(kRegionWidth, kRegionHeight, kCornerEllipse, kCornerEllipse));
}

void WindowChrome::install(QWidget &form, const Form2Controls &controls)
{
    form.setWindowFlag(Qt::FramelessWindowHint, true);
    form.setFixedSize(Form2Layout::pixels(10005), Form2Layout::pixels(9675));
    clipToRoundedRegion(form);

    auto *chrome = new WindowChrome(form, controls.Picture9);
    chrome->setObjectName(QStringLiteral("WindowChrome"));
    for (QWidget *w : {static_cast<QWidget *>(controls.Picture9), static_cast<QWidget *>(controls.Label47)})
        if (w)
            w->installEventFilter(chrome);
}

bool WindowChrome::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::NoButton)
            return false;
        // On the strip itself only: the icon and the two buttons are not
        // grips, and a press on the title has been handled at the title.
        if (widget == strip_ && widget->childAt(mouse->position().toPoint()))
            return false;
        QWindow *handle = form_.window()->windowHandle();
        if (handle && handle->startSystemMove()) {
            dragging_ = false;
            return false;
        }
        dragging_ = true;
        grabOffset_ = mouse->globalPosition().toPoint() - form_.window()->frameGeometry().topLeft();
        return false;
    }
    case QEvent::MouseMove: {
        if (!dragging_)
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->buttons() == Qt::NoButton) {
            dragging_ = false;
            return false;
        }
        form_.window()->move(mouse->globalPosition().toPoint() - grabOffset_);
        return true;
    }
    case QEvent::MouseButtonRelease: dragging_ = false; return false;
    default: return false;
    }
}

} // namespace tervalo
