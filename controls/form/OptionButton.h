#pragma once
// An option button: setting it True selects it (its group's others clear) and
// runs its click handler, as a user's click that selects it does.

#include <QRadioButton>

#include <functional>

namespace tervalo {

class OptionButton : public QRadioButton {
public:
    explicit OptionButton(const QString &caption = QString(), QWidget *parent = nullptr);

    bool Value() const { return isChecked(); }
    void setValue(bool v);

    std::function<void()> onClick;

protected:
    // The whole coloured bar takes the click, not only the dot and caption.
    bool hitButton(const QPoint &pos) const override;

private:
    bool programmatic_ = false;
};

} // namespace tervalo
