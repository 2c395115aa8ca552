#include "ui/main/HoverColours.h"

#include "controls/form/ClickLabel.h"
#include "controls/form/Shape.h"

#include <QEvent>
#include <QMouseEvent>

namespace tervalo {

namespace {

struct Paint {
    const char *name; // the control that is painted
    QRgb normal;
};

// Normal colours of everything the scheme paints.
const Paint kNormal[] = {
    {"Pcontrol", qRgb(192, 192, 192)},  {"Icontrol", qRgb(192, 192, 192)},   {"PIcontrol", qRgb(192, 192, 192)},
    {"PDcontrol", qRgb(192, 192, 192)}, {"PIDcontrol", qRgb(192, 192, 192)}, {"Bulanik", qRgb(0, 128, 128)},
    {"Acik", qRgb(0, 0, 192)},          {"Kapalii", qRgb(0, 0, 0)},          {"simulasyon", qRgb(0, 192, 192)},
    {"Shape5", qRgb(0, 192, 0)},        {"Shape8", qRgb(191, 0, 0)},         {"Shape9", qRgb(0, 0, 255)},
    {"Label27", qRgb(255, 255, 0)},
};

struct Hover {
    const char *trigger; // the control under the mouse
    const char *painted; // the control it paints
    QRgb hover;
    std::initializer_list<const char *> neighbours; // painted normal on a move
};

const Hover kHover[] = {
    {"Pcontrol", "Pcontrol", qRgb(224, 224, 224), {"Icontrol", "PIcontrol", "PIDcontrol", "simulasyon"}},
    {"Icontrol", "Icontrol", qRgb(224, 224, 224), {"Pcontrol", "PIcontrol"}},
    {"PIcontrol", "PIcontrol", qRgb(224, 224, 224), {"Icontrol", "PIDcontrol", "PDcontrol"}},
    {"PDcontrol", "PDcontrol", qRgb(224, 224, 224), {"PIcontrol", "PIDcontrol"}},
    {"PIDcontrol", "PIDcontrol", qRgb(224, 224, 224), {"Pcontrol", "Icontrol", "PIcontrol", "Bulanik", "PDcontrol"}},
    {"Bulanik", "Bulanik", qRgb(0, 192, 0), {"Pcontrol", "Icontrol", "PIcontrol", "PIDcontrol"}},
    {"Acik", "Acik", qRgb(0, 0, 255), {"Kapalii"}},
    {"Kapalii", "Kapalii", qRgb(128, 128, 128), {"simulasyon", "Acik"}},
    {"simulasyon", "simulasyon", qRgb(0, 224, 192), {"Pcontrol"}},
    {"Label32", "Shape5", qRgb(0, 240, 0), {"Shape8", "Shape9"}},
    {"Label33", "Shape8", qRgb(255, 0, 0), {"Shape5", "Shape9"}},
    {"Label34", "Shape9", qRgb(192, 192, 255), {"Shape5", "Shape8"}},
    {"Label27", "Label27", qRgb(255, 255, 192), {}},
};

struct Container {
    const char *name;
    std::initializer_list<const char *> restored;
};

const Container kContainers[] = {
    {"Frame1",
     {"Pcontrol", "Icontrol", "PIcontrol", "PDcontrol", "PIDcontrol", "Bulanik", "Acik", "Kapalii", "simulasyon"}},
    {"Frame2", {"Pcontrol", "Icontrol", "PIcontrol", "PIDcontrol", "Bulanik"}},
    {"Frame6", {"Acik", "Kapalii", "simulasyon"}},
    {"Label39",
     {"Shape5", "Shape8", "Shape9", "Label27", "Pcontrol", "Icontrol", "PIcontrol", "PIDcontrol", "Bulanik"}},
    {"Frame3", {"Shape5", "Shape8", "Shape9", "Label27", "Pcontrol", "Icontrol", "PIcontrol", "PIDcontrol", "Bulanik"}},
};

QRgb normalOf(const QString &name)
{
    for (const Paint &p : kNormal)
        if (name == QLatin1String(p.name))
            return p.normal;
    return qRgb(0, 0, 0);
}

void setBackColour(QWidget *w, const QColor &c)
{
    QPalette pal = w->palette();
    if (pal.color(w->backgroundRole()) == c && w->autoFillBackground())
        return;
    pal.setColor(QPalette::Window, c);
    pal.setColor(w->backgroundRole(), c);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

HoverColours::HoverColours(QWidget &form) : QObject(&form), form_(form) { }

void HoverColours::install(QWidget &form)
{
    auto *scheme = new HoverColours(form);
    scheme->setObjectName(QStringLiteral("HoverColours"));
    for (const Hover &h : kHover) {
        QWidget *w = form.findChild<QWidget *>(QLatin1String(h.trigger));
        w->setMouseTracking(true);
        w->installEventFilter(scheme);
    }
    for (const Container &c : kContainers) {
        QWidget *w = form.findChild<QWidget *>(QLatin1String(c.name));
        w->setMouseTracking(true);
        w->installEventFilter(scheme);
    }
}

QWidget *HoverColours::control(const QString &name)
{
    auto it = controls_.find(name);
    if (it == controls_.end())
        it = controls_.insert(name, form_.findChild<QWidget *>(name));
    return it.value();
}

void HoverColours::paint(const QString &name, QRgb rgb)
{
    QWidget *w = control(name);
    if (!w)
        return;
    const QColor c(rgb);
    if (auto *shape = dynamic_cast<Shape *>(w)) {
        shape->setFillColor(c);
        return;
    }
    setBackColour(w, c);
    // the ABOUT link fills the yellow box around it
    if (name == QLatin1String("Label27"))
        if (QWidget *box = control(QStringLiteral("Picture4")))
            setBackColour(box, c);
}

bool HoverColours::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);

    if (!widget->isEnabled()) {
        // A disabled control takes no mouse: the move belongs to the frame
        // that holds it.
        if (type == QEvent::MouseMove)
            for (QWidget *p = widget->parentWidget(); p; p = p->parentWidget())
                if (restoreFor(p))
                    break;
        return false;
    }

    const QString name = widget->objectName();
    for (const Hover &h : kHover) {
        if (name != QLatin1String(h.trigger))
            continue;
        const QString painted = QLatin1String(h.painted);
        if (type == QEvent::MouseButtonPress) {
            paint(painted, normalOf(painted));
        } else if (type == QEvent::MouseButtonRelease) {
            paint(painted, h.hover);
        } else {
            paint(painted, h.hover);
            for (const char *n : h.neighbours)
                paint(QLatin1String(n), normalOf(QLatin1String(n)));
        }
        return false;
    }

    if (type != QEvent::MouseMove)
        return false;
    // A move that reached a frame from an enabled control inside it belongs
    // to that control, not to the frame.
    QWidget *child = widget->childAt(mouse->position().toPoint());
    if (child && child->isEnabled())
        return false;
    restoreFor(widget);
    return false;
}

bool HoverColours::restoreFor(QWidget *container)
{
    const QString name = container->objectName();
    for (const Container &c : kContainers) {
        if (name != QLatin1String(c.name))
            continue;
        for (const char *n : c.restored)
            paint(QLatin1String(n), normalOf(QLatin1String(n)));
        return true;
    }
    return false;
}

} // namespace tervalo
