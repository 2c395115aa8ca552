#pragma once
// frmValueTip: the small borderless pop-up that shows a slider's value while
// its thumb is dragged. One instance is shared by every slider: created on
// first use, destroyed whenever a button pressed on a slider is released.
// It never takes the input focus. The slider fills, sizes and places it;
// the window itself only draws its raised one-pixel frame when its size
// changes, on a persistent surface that the paint handler shows.

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QWidget>

namespace tervalo {

class frmValueTip : public QWidget {
    Q_OBJECT
public:
    // The shared window, or nullptr when there is none.
    static frmValueTip *instance();
    // The shared window, created in its initial state when there is none.
    static frmValueTip *obtain();
    // Destroys the shared window; nothing happens when there is none.
    static void unload();

    // The tip's font: Verdana 6.75 pt (9 pixels at 96 dpi), regular; an
    // installed sans family stands in where Verdana is missing.
    static QFont tipFont();
    static QColor backColor() { return QColor(255, 255, 128); }

    QLabel *lblTip = nullptr; // at (2, 1), one line, sized by the slider

    const QImage &surface() const { return surface_; }
    int frameDrawCount() const { return frameDraws_; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    frmValueTip();
    ~frmValueTip() override;

    void Form_Resize();

    QImage surface_;
    int frameDraws_ = 0;
    static frmValueTip *shared_;
};

} // namespace tervalo
