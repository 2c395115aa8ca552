#pragma once
// A label (or picture) the user can click: transparent click areas over the
// run buttons, the ABOUT link, the title strip and its buttons. It only
// forwards the mouse to the window's handlers.

#include <QLabel>

#include <functional>

namespace tervalo {

class ClickLabel : public QLabel {
public:
    explicit ClickLabel(const QString &text = QString(), QWidget *parent = nullptr);

    std::function<void()> onClick;
    // The left button went down on the label, and came up (after onClick
    // when it was a click).
    std::function<void()> onPress, onRelease;

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
};

} // namespace tervalo
