#pragma once
// The fuzzy control surface window: the output step dU the fuzzy controller
// gives over the whole (e, de) plane, for the main window's current rule
// texts, divisors and reference, as a colour map with axes in rpm, a colour
// scale and the sets' breakpoints as grid lines. The (e, de) of the last
// control cycle is marked while a run goes on. It follows every edit of the
// rule table, the divisors and the reference while it is open, and saves the
// picture (PNG) and the grid (CSV "e,de,du").
//
//   SurfaceWindow::attach(form);   // "Control surface…" on the rule table's menu

#include "engine/ControlCycle.h"
#include "engine/FuzzySurface.h"
#include "ui/windows/MenuHost.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

class QAction;
class QLabel;
class QPainter;
class QPushButton;
class QShowEvent;

namespace tervalo {

class Lab;

class SurfaceWindow : public QWidget, private CycleObserver {
public:
    // Builds the (hidden) window and its entry in the rule table's menu; the
    // window lives as long as the host's window.
    static SurfaceWindow *attach(Lab &lab, const MenuHost &host);

    // A hidden window on the lab's set-up; it watches the lab's cycles while
    // it lives.
    explicit SurfaceWindow(Lab &lab, QWidget *parent = nullptr);
    ~SurfaceWindow() override;
    // The menu entry that opens it, retitled with the language.
    void setMenuAction(QAction *action);

    void setLanguage(bool english);
    // Computes the surface now from the lab's current set-up.
    void recompute();
    // A recompute at the next turn of the event loop (edits come in bursts).
    void scheduleRecompute();
    // Grid points along each axis (201 unless set).
    void setGridPoints(int points) { points_ = points; }

    const std::optional<FuzzySurface> &surface() const { return surface_; }
    QString problem() const { return problem_; }
    // The (e, de) of the last cycle, if a cycle has run.
    std::optional<std::pair<int, int>> lastPoint() const { return last_; }

    // The window's picture at a size; the PNG save writes it.
    QImage picture(const QSize &size) const;
    void paintSurface(QPainter &p, const QRect &area) const;

    // Atomic saves; the empty text on success, else "path: reason".
    QString savePng(const QString &path) const;
    QString saveCsv(const QString &path) const;

    // The name a save offers: the lab's mode, the fuzzy controller and the
    // time now, then "surface", in the experiment folder
    // ("…/simulation-fuzzy-2026-12-11-1430-surface.png").
    QString suggestedPath(bool png) const;

    // The file dialog (a test answers it), starting at suggested: the chosen
    // name, "" = cancelled.
    std::function<QString(const QString &title, const QString &filter, const QString &suggested)> askPath;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void cycleDone(const ExperimentState &state, const CycleSample &sample) override;
    void saveWith(bool png);
    void buildImage();

    Lab &lab_;
    bool english_ = true;
    bool pending_ = false;
    int points_ = 201;
    std::optional<FuzzySurface> surface_;
    QImage map_;
    QString problem_;
    std::optional<std::pair<int, int>> last_;
    QWidget *view_ = nullptr;
    QLabel *status_ = nullptr;
    QPushButton *png_ = nullptr;
    QPushButton *csv_ = nullptr;
    QAction *action_ = nullptr;

    friend class SurfaceView;
};

} // namespace tervalo
