#include "ui/windows/SurfaceWindow.h"

#include "fileio/AtomicFile.h"
#include "session/Lab.h"
#include "store/ExportNames.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TuningTexts.h"

#include <QAction>
#include <QBuffer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>

namespace tervalo {

namespace {

// Negative steps blue, positive red, zero white; the scale is symmetric so
// that white always means dU = 0.
QRgb colourOf(int du, int reach)
{
    const double t = std::clamp(static_cast<double>(du) / std::max(reach, 1), -1.0, 1.0);
    const int fade = static_cast<int>(std::lround(255 * (1 - std::abs(t))));
    return t >= 0 ? qRgb(255, fade, fade) : qRgb(fade, fade, 255);
}

int reachOf(const FuzzySurface &s)
{
    return std::max({std::abs(s.minimum()), std::abs(s.maximum()), 1});
}

} // namespace

// The painted part of the window.
class SurfaceView : public QWidget {
public:
    explicit SurfaceView(SurfaceWindow &w) : QWidget(&w), w_(w) { setMinimumSize(560, 440); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        w_.paintSurface(p, rect());
    }

private:
    SurfaceWindow &w_;
};

SurfaceWindow *SurfaceWindow::attach(Lab &lab, const MenuHost &host)
{
    auto *w = new SurfaceWindow(lab, host.window);
    w->setMenuAction(host.ruleTableMenu->addAction(QString()));
    QObject::connect(w->action_, &QAction::triggered, w, [w, &lab] {
        w->setLanguage(lab.english());
        w->show();
        w->raise();
        w->activateWindow();
    });
    return w;
}

SurfaceWindow::SurfaceWindow(Lab &lab, QWidget *parent) : QWidget(parent, Qt::Window), lab_(lab)
{
    view_ = new SurfaceView(*this);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    png_ = new QPushButton(this);
    csv_ = new QPushButton(this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(png_);
    buttons->addWidget(csv_);
    buttons->addWidget(status_, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_, 1);
    layout->addLayout(buttons);
    resize(720, 560);

    QObject::connect(png_, &QPushButton::clicked, this, [this] { saveWith(true); });
    QObject::connect(csv_, &QPushButton::clicked, this, [this] { saveWith(false); });

    askPath = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };

    lab_.watchCycles(this);
    connect(&lab_, &Lab::setupChanged, this, [this] { scheduleRecompute(); });
    connect(&lab_, &Lab::languageChanged, this, [this](bool english) {
        setLanguage(english);
        scheduleRecompute(); // the term names changed with the language
    });
    setLanguage(lab_.english());
}

SurfaceWindow::~SurfaceWindow()
{
    lab_.unwatchCycles(this);
}

void SurfaceWindow::setMenuAction(QAction *action)
{
    action_ = action;
    if (action_)
        action_->setText(tuneText(TuneText::SurfaceMenu, english_));
}

void SurfaceWindow::setLanguage(bool english)
{
    english_ = english;
    setWindowTitle(tuneText(TuneText::SurfaceTitle, english));
    png_->setText(tuneText(TuneText::SavePng, english));
    csv_->setText(tuneText(TuneText::SaveCsv, english));
    if (action_)
        action_->setText(tuneText(TuneText::SurfaceMenu, english));
    status_->clear();
    view_->update();
}

void SurfaceWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    recompute();
}

void SurfaceWindow::scheduleRecompute()
{
    if (pending_ || !isVisible())
        return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (pending_)
            recompute();
    });
}

void SurfaceWindow::recompute()
{
    pending_ = false;
    const FuzzySurfaceSettings settings = FuzzySurfaceSettings::of(lab_.controls().settings(), points_);
    try {
        surface_ = FuzzySurface::compute(settings);
        problem_.clear();
    } catch (const std::exception &e) {
        surface_.reset();
        problem_ = QString::fromUtf8(e.what());
    }
    buildImage();
    view_->update();
}

void SurfaceWindow::buildImage()
{
    map_ = QImage();
    if (!surface_)
        return;
    const FuzzySurface &s = *surface_;
    const int n = s.points();
    const int reach = reachOf(s);
    map_ = QImage(n, n, QImage::Format_RGB32);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            map_.setPixel(i, n - 1 - j, colourOf(s.du(i, j), reach)); // de upwards
}

void SurfaceWindow::cycleDone(const ExperimentState &state, const CycleSample &)
{
    last_ = std::make_pair(static_cast<int>(state.currentError.value()), static_cast<int>(state.errorDelta.value()));
    if (isVisible())
        view_->update();
}

void SurfaceWindow::paintSurface(QPainter &p, const QRect &area) const
{
    p.fillRect(area, Qt::white);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (!surface_) {
        p.setPen(Qt::black);
        p.drawText(area.adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                   tuneText(TuneText::SurfaceFailed, english_).arg(problem_));
        return;
    }
    const FuzzySurface &s = *surface_;
    const QFontMetrics fm = p.fontMetrics();
    const int scaleWidth = 70;
    const QRect plot = area.adjusted(fm.horizontalAdvance(QStringLiteral("-00000")) + 2 * fm.height(), fm.height(),
                                     -scaleWidth - 20, -3 * fm.height() - 4);
    if (plot.width() < 10 || plot.height() < 10)
        return;

    const double e0 = s.errors().front(), e1 = s.errors().back();
    const double d0 = s.deltas().front(), d1 = s.deltas().back();
    auto xOf = [&](double e) { return plot.left() + (e - e0) / std::max(e1 - e0, 1.0) * plot.width(); };
    auto yOf = [&](double d) { return plot.bottom() - (d - d0) / std::max(d1 - d0, 1.0) * plot.height(); };

    p.drawImage(plot, map_);

    // the sets' breakpoints; the set centres darker and labelled
    const auto eb = s.errorBreakpoints();
    const auto db = s.deltaBreakpoints();
    for (std::size_t k = 0; k < eb.size(); ++k) {
        const bool centre = k % 2 == 0;
        p.setPen(QPen(centre ? QColor(60, 60, 60) : QColor(140, 140, 140), 1, centre ? Qt::SolidLine : Qt::DotLine));
        const int x = static_cast<int>(std::lround(xOf(eb[k])));
        const int y = static_cast<int>(std::lround(yOf(db[k])));
        p.drawLine(x, plot.top(), x, plot.bottom());
        p.drawLine(plot.left(), y, plot.right(), y);
        if (centre) {
            p.setPen(Qt::black);
            const QString ex = QString::number(eb[k]);
            p.drawText(x - fm.horizontalAdvance(ex) / 2, plot.bottom() + fm.height() + 2, ex);
            const QString dy = QString::number(db[k]);
            p.drawText(plot.left() - fm.horizontalAdvance(dy) - 4, y + fm.ascent() / 2, dy);
        }
    }
    p.setPen(Qt::black);
    p.drawRect(plot.adjusted(0, 0, -1, -1));

    // axis titles
    // the error in the output's unit: rpm on the kit, Volt in simulation
    const QString unit = LabTexts::outputUnit(lab_.controls().settings().mode == RunMode::Simulation, english_);
    const QString ex = tuneText(TuneText::ErrorAxis, english_).arg(unit);
    p.drawText(plot.center().x() - fm.horizontalAdvance(ex) / 2, plot.bottom() + 2 * fm.height() + 6, ex);
    p.save();
    p.translate(area.left() + fm.height(), plot.center().y());
    p.rotate(-90);
    const QString dy = tuneText(TuneText::DeltaAxis, english_).arg(unit);
    p.drawText(-fm.horizontalAdvance(dy) / 2, 0, dy);
    p.restore();

    // the last cycle's point, held at the plot's edge when outside it
    if (last_) {
        const double e = std::clamp(static_cast<double>(last_->first), e0, e1);
        const double d = std::clamp(static_cast<double>(last_->second), d0, d1);
        const QPointF at(xOf(e), yOf(d));
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(Qt::white, 3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(at, 6, 6);
        p.setPen(QPen(Qt::black, 1.5));
        p.drawEllipse(at, 6, 6);
        p.drawText(at + QPointF(9, -6), tuneText(TuneText::LastCycle, english_));
        p.setRenderHint(QPainter::Antialiasing, false);
    }

    // the colour scale
    const int reach = reachOf(s);
    const QRect bar(plot.right() + 20, plot.top(), 18, plot.height());
    for (int y = 0; y < bar.height(); ++y) {
        const double v = reach * (1 - 2.0 * y / std::max(bar.height() - 1, 1));
        p.setPen(QColor(colourOf(static_cast<int>(std::lround(v)), reach)));
        p.drawLine(bar.left(), bar.top() + y, bar.right(), bar.top() + y);
    }
    p.setPen(Qt::black);
    p.drawRect(bar.adjusted(0, 0, -1, -1));
    const auto label = [&](int value, int y) {
        p.drawText(bar.right() + 4, y + fm.ascent() / 2, QString::number(value));
    };
    label(reach, bar.top());
    label(0, bar.center().y());
    label(-reach, bar.bottom());
    p.drawText(bar.left(), bar.top() - 4, tuneText(TuneText::OutputScale, english_));
}

QImage SurfaceWindow::picture(const QSize &size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    paintSurface(p, QRect(QPoint(0, 0), size));
    return image;
}

QString SurfaceWindow::savePng(const QString &path) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture(view_->size().expandedTo(QSize(560, 440))).save(&buffer, "PNG");
    const FileError err = writeFileAtomically(path, bytes);
    return err ? err.message() : QString();
}

QString SurfaceWindow::saveCsv(const QString &path) const
{
    if (!surface_)
        return path + QStringLiteral(": ") + problem_;
    const FileError err = writeFileAtomically(path, QByteArray::fromStdString(surface_->csv()));
    return err ? err.message() : QString();
}

QString SurfaceWindow::suggestedPath(bool png) const
{
    RunSettings now = lab_.controls().settings();
    now.start = std::chrono::system_clock::now();
    now.controller = RunController::Fuzzy;
    ExportNames::RunNaming naming = ExportNames::naming(now);
    naming.what = QStringLiteral("surface");
    return ExportNames::runFile(ExportNames::folder(), naming, png ? "png" : "csv");
}

void SurfaceWindow::saveWith(bool png)
{
    const QString path = askPath
        ? askPath(tuneText(png ? TuneText::SavePng : TuneText::SaveCsv, english_),
                  png ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)"), suggestedPath(png))
        : QString();
    if (path.isEmpty())
        return;
    const QString failure = png ? savePng(path) : saveCsv(path);
    status_->setText(failure.isEmpty() ? tuneText(TuneText::Saved, english_).arg(path)
                                       : tuneText(TuneText::SaveFailed, english_).arg(failure));
}

} // namespace tervalo
