#pragma once
// The tests' view of the main window's controls, which the window keeps to
// itself.

#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/form/Shape.h"
#include "controls/form/Timer.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Controls.h"

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
