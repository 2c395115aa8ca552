#include "controls/form/OptionButton.h"

namespace tervalo {

OptionButton::OptionButton(const QString &caption, QWidget *parent) : QRadioButton(caption, parent)
{
    connect(this, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !programmatic_ && onClick)
            onClick();
    });
}

bool OptionButton::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void OptionButton::setValue(bool v)
{
    programmatic_ = true;
    setChecked(v);
    programmatic_ = false;
    if (v && onClick)
        onClick();
}

} // namespace tervalo
