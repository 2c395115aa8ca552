#pragma once
// A filled shape of the window (rectangle, oval or circle): the LED
// row, lamps and the coloured run buttons.

#include <QColor>
#include <QWidget>

namespace tervalo {

class Shape : public QWidget {
public:
    enum Kind { Rectangle, Oval, Circle };

    explicit Shape(Kind kind = Rectangle, QWidget *parent = nullptr);

    QColor FillColor() const { return fill_; }
    void setFillColor(const QColor &c);
    QColor BorderColor() const { return border_; }
    void setBorderColor(const QColor &c);
    void setBorderStyleDotted(bool dotted);
    void setFilled(bool filled);
    Kind kind() const { return kind_; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    Kind kind_;
    QColor fill_ = Qt::white;
    QColor border_ = Qt::black;
    bool filled_ = true;
    bool dotted_ = false;
};

} // namespace tervalo
