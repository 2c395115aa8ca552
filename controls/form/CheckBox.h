#pragma once
// A check box drawn by itself as the window's small square box: a white
// square with a dark edge on all four sides and a black tick when checked,
// the same at every size and under every style. The whole square takes the
// click.

#include <QCheckBox>

namespace tervalo {

class CheckBox : public QCheckBox {
public:
    explicit CheckBox(const QString &caption = QString(), QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

} // namespace tervalo
