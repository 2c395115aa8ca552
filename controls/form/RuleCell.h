#pragma once
// One cell of the rule table: an editable drop-down list whose text is the
// rule's output term. Colour setters do nothing when the colour is already
// the cell's, so that recolouring all 49 cells each cycle stays cheap.

#include <QColor>
#include <QComboBox>
#include <QStringList>

namespace tervalo {

class RuleCell : public QComboBox {
public:
    explicit RuleCell(QWidget *parent = nullptr);

    QString Text() const { return currentText(); }
    void setText(const QString &t);
    void setItems(const QStringList &items); // keeps the text as it stands
    void setListIndex(int i);

    QColor BackColor() const { return back_; }
    QColor ForeColor() const { return fore_; }
    void setBackColor(const QColor &c);
    void setForeColor(const QColor &c);

private:
    void applyColours();
    QColor back_ = Qt::white;
    QColor fore_ = Qt::black;
};

} // namespace tervalo
