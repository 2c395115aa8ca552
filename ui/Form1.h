#pragma once
// The About window: the program's and the kit's names, a picture, a line of
// text scrolling from right to left on a 20 ms timer, and a text that
// closes the window. Modal when opened with exec().

#include <QDialog>

class QLabel;
class QTimer;

namespace tervalo {

class ClickLabel;

class Form1 : public QDialog {
public:
    explicit Form1(bool english, QWidget *parent = nullptr);

    // The scrolling text's left edge in the strip, in pixels.
    int scrollPosition() const { return scrollX_; }
    // One step of the scrolling text (what each tick does).
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void done(int result) override;

private:
    QLabel *picture_ = nullptr;
    QLabel *scroller_ = nullptr;
    ClickLabel *close_ = nullptr;
    QTimer *timer_ = nullptr;
    QWidget *strip_ = nullptr;
    int scrollX_ = 0;
};

} // namespace tervalo
