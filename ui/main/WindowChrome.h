#pragma once
// The main window's own chrome: no system frame, a rounded visible region,
// and dragging by the title strip (any mouse button, from the strip or the
// title text, not from the icon or the strip's two buttons).

#include <QObject>
#include <QPoint>
#include <QRegion>

namespace tervalo {

struct Form2Controls;

class WindowChrome : public QObject {
public:
    // Frameless window of 10005 x 9675 twips clipped to the rounded region,
    // and the title-strip drag. The installer is owned by the window.
    static void install(QWidget &form, const Form2Controls &controls);

    // Clips a window to the rounded region of 668 x 580 pixels.
    static void clipToRoundedRegion(QWidget &window);

    // The region of a rounded rectangle from (0, 0) to (width, height),
    // right and bottom edges excluded, with a corner ellipse of
    // ellipseWidth x ellipseHeight: pixel (x, y) belongs to it when its
    // centre lies inside the rounded outline.
    static QRegion roundedRegion(int width, int height, int ellipseWidth, int ellipseHeight);

    static constexpr int kRegionWidth = 668;
    static constexpr int kRegionHeight = 580;
    static constexpr int kCornerEllipse = 15;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    WindowChrome(QWidget &form, QWidget *strip);
    QWidget &form_;
    QWidget *strip_;        // the title strip
    bool dragging_ = false; // moving by hand (no system move available)
    QPoint grabOffset_;     // mouse position within the window at the press
};

} // namespace tervalo
