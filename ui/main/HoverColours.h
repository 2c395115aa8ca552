#pragma once
// Hover colours of the option buttons, the run buttons and the ABOUT link.
// Pressing a control paints it in its normal colour, releasing it in its
// hover colour; moving over it paints it in its hover colour and its listed
// neighbours in their normal colours. Moving over the frames around them
// (or the empty run column) paints the listed controls back in their normal
// colours. The run buttons are painted through the fill of the shapes under
// their transparent labels.

#include <QColor>
#include <QHash>
#include <QObject>
#include <QString>

class QWidget;

namespace tervalo {

class HoverColours : public QObject {
public:
    // Installs the scheme on the window's controls (after the layout is
    // built). The installer is owned by the window.
    static void install(QWidget &form);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit HoverColours(QWidget &form);
    void paint(const QString &name, QRgb colour);
    bool restoreFor(QWidget *container); // false when it is no such frame
    QWidget *control(const QString &name);
    QWidget &form_;
    QHash<QString, QWidget *> controls_;
};

} // namespace tervalo
