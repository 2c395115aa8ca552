#include "controls/form/RuleCell.h"

#include <QLineEdit>

namespace tervalo {

RuleCell::RuleCell(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // A typed text is the rule as typed: no inline completion, and without a
    // completer the list only takes over a text that matches an item
    // exactly, case included.
    setCompleter(nullptr);
    setMaxVisibleItems(7);
    applyColours();
}

void RuleCell::setText(const QString &t)
{
    setEditText(t);
}

void RuleCell::setItems(const QStringList &items)
{
    const QString keep = currentText();
    blockSignals(true);
    clear();
    addItems(items);
    setEditText(keep);
    blockSignals(false);
}

void RuleCell::setListIndex(int i)
{
    setCurrentIndex(i);
    setEditText(itemText(i));
}

void RuleCell::setBackColor(const QColor &c)
{
    if (c == back_)
        return;
    back_ = c;
    applyColours();
}

void RuleCell::setForeColor(const QColor &c)
{
    if (c == fore_)
        return;
    fore_ = c;
    applyColours();
}

void RuleCell::applyColours()
{
    QPalette pal = palette();
    pal.setColor(QPalette::Base, back_);
    pal.setColor(QPalette::Button, back_);
    pal.setColor(QPalette::Text, fore_);
    pal.setColor(QPalette::ButtonText, fore_);
    setPalette(pal);
    if (lineEdit())
        lineEdit()->setPalette(pal);
}

} // namespace tervalo
