#pragma once
// The tests' view of the main window's controls, which the window keeps to
// itself.

#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "ui/ClickLabel.h"
#include "ui/Form2.h"
#include "ui/Form2Controls.h"
#include "ui/OptionButton.h"
#include "ui/RuleCell.h"
#include "ui/ScrollBar.h"
#include "ui/Shape.h"
#include "ui/Timer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tervalo {
class Form2Probe {
public:
    static Form2Controls &controls(Form2 &form) { return form.c_; }
};
} // namespace tervalo

inline tervalo::Form2Controls &ctl(tervalo::Form2 &form)
{
    return tervalo::Form2Probe::controls(form);
}
