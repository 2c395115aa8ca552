#include "ui/main/RunSession.h"

#include "controls/form/OptionButton.h"
#include "controls/form/RuleCell.h"
#include "controls/form/ScrollBar.h"
#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "engine/ClassicPanels.h"
#include "store/ExportNames.h"
#include "ui/main/Form2.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/RunWindow.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include <chrono>

namespace tervalo {

namespace {

using Both = TextPair;

enum class SessionText { NoRun, BesideFailed };

// The texts of the session's own messages, in the order of SessionText.
const Both kSessionTexts[] = {
    {"No run recorded yet.", "Henüz kaydedilmiş deney yok."},
    {"Auto Save could not write the run data beside the graph picture:\n",
     "Otomatik kayıt deney verilerini grafik resminin yanına yazamadı:\n"},
};

QString sessionText(SessionText t, bool english)
{
    return kSessionTexts[static_cast<std::size_t>(t)].in(english);
}

RunController controllerOf(ClassicLaw law)
{
    switch (law) {
    case ClassicLaw::P: return RunController::P;
    case ClassicLaw::I: return RunController::I;
    case ClassicLaw::PI: return RunController::PI;
    case ClassicLaw::PD: return RunController::PD;
    case ClassicLaw::PID: break;
    }
    return RunController::PID;
}

} // namespace

RunSession::RunSession(Form2 &form)
    : form_(form), files_(this, [this](const FileError &e, std::uint64_t run) { besideFailed(e, run); })
{
    form_.cycle().addObserver(&recorder_);
    recorder_.onRow = [this] {
        // a window following the run takes the new row; cheap when shown
        if (window_ && window_->isVisible())
            window_->update();
    };
    form_.addRunListener([this](bool start) {
        if (start)
            started();
        else
            recorder_.stop();
    });
    form_.addLoadListener([this](int from, int to) { recorder_.loadMoved(from, to); });
    form_.addLanguageListener([this](bool english) { retranslate(english); });

    runAction_ = new QAction(&form_);
    runAction_->setShortcut(RunWindow::shortcut());
    runAction_->setShortcutContext(Qt::WindowShortcut);
    connect(runAction_, &QAction::triggered, this, [this] { showRunWindow(); });
    saveAction_ = new QAction(&form_);
    connect(saveAction_, &QAction::triggered, this, [this] { saveRunDataAsked(); });
    form_.addAction(runAction_); // the shortcut works anywhere on the window
    form_.graphMenu()->addAction(runAction_);
    form_.graphMenu()->addAction(saveAction_);
    connect(form_.graphMenu(), &QMenu::aboutToShow, this, [this] { saveAction_->setEnabled(record().started()); });

    connect(form_.c_.Mygraph1, &Mygraph::GraphSaved, this, [this](const QString &path) { sweepSaved(path); });

    askPath = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(&form_, title, suggested, filter);
    };
    showError = [this](const QString &title, const QString &message) { QMessageBox::warning(&form_, title, message); };
    retranslate(form_.english());
}

RunSession::~RunSession()
{
    form_.cycle().removeObserver(&recorder_);
    delete window_.data(); // it reads the record, which goes with the session
}

RunSettings RunSession::currentSettings() const
{
    const Form2Controls &c = form_.c_;
    const ExperimentState &s = form_.state();
    RunSettings r;
    r.start = std::chrono::system_clock::now();
    r.mode = c.Acik->isChecked() ? RunMode::OpenLoop : c.Kapalii->isChecked() ? RunMode::Kit : RunMode::Simulation;
    r.kp = r.ki = r.kd = kNoValue;
    if (c.Bulanik->isChecked()) {
        r.controller = RunController::Fuzzy;
    } else {
        for (const ClassicPanel &panel : ClassicPanels::all()) {
            if (!static_cast<OptionButton *>(c.named(panel.option))->isChecked())
                continue;
            r.controller = controllerOf(panel.law);
            // the gains as the bars show them (gain x 1000)
            for (std::size_t k = 0; k < panel.sliderCount; ++k) {
                const GainSlider &g = panel.sliders[k];
                const double v = static_cast<ScrollBar *>(c.named(g.bar))->Value() / 1000.0;
                (g.gain == Gain::Kp ? r.kp : g.gain == Gain::Ki ? r.ki : r.kd) = v;
            }
            break;
        }
    }
    r.errorDivisor = c.Slider9->Value();
    r.outputDivisor = c.Slider10->Value();
    r.errorRange = s.controlReference.value();
    r.deltaRange = s.errorDeltaRange.value();
    r.outputRange = s.outputDeltaRange.value();
    for (int i = 0; i < 49; ++i)
        r.rules[static_cast<std::size_t>(i)] = c.Combo1(i)->Text().toStdString();
    r.termNames = s.termNames();
    r.reference = s.reference.value();
    r.actuatorMin = c.Slider1->Min();
    r.actuatorMax = c.Slider1->Max();
    r.load = c.Slider11->Value();
    return r;
}

void RunSession::started()
{
    besideFailureTold_ = false;
    recorder_.start(currentSettings());
    if (window_)
        window_->update();
}

void RunSession::retranslate(bool english)
{
    english_ = english;
    runAction_->setText(RunWindow::text(RunWindow::Text::MenuRun, english));
    saveAction_->setText(RunWindow::text(RunWindow::Text::MenuSaveRunData, english));
    if (window_)
        window_->setLanguage(english);
}

void RunSession::showRunWindow()
{
    if (!window_) {
        window_ = new RunWindow(record(), &form_);
        window_->setLanguage(english_);
    }
    window_->update();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void RunSession::saveRunDataAsked()
{
    const QString title = RunWindow::text(RunWindow::Text::SaveData, english_);
    if (!record().started()) {
        if (showError)
            showError(title, sessionText(SessionText::NoRun, english_));
        return;
    }
    const QString chosen =
        askPath ? askPath(title, RunWindow::text(RunWindow::Text::DataFilter, english_), suggestedName()) : QString();
    if (chosen.isEmpty())
        return;
    const FileError e = saveRunData(chosen);
    if (e && showError)
        showError(RunWindow::text(RunWindow::Text::SaveFailed, english_), e.message());
}

QString RunSession::suggestedName() const
{
    QString folder = form_.autoSaveChoice().folder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return ExportNames::runFile(folder, QString::fromStdString(utcText(record().settings().start)));
}

FileError RunSession::saveRunData(const QString &chosen)
{
    return RunFiles::save(record(), chosen);
}

int RunSession::sweepRows() const
{
    const Mygraph *g = form_.c_.Mygraph1;
    const long long period = g->TimeDivision();
    const long long rows = period > 0 ? static_cast<long long>(g->XaxisMax()) * 1000 / period : 0;
    return rows > 0 ? static_cast<int>(rows) : 1;
}

bool RunSession::sweepSaved(const QString &picturePath)
{
    if (!record().started())
        return true;
    const std::size_t end = record().size();
    const std::size_t rows = static_cast<std::size_t>(sweepRows());
    const std::size_t begin = end > rows ? end - rows : 0;
    return files_.submit(record(), begin, end, RunFiles::besidePicture(picturePath));
}

void RunSession::besideFailed(const FileError &e, std::uint64_t run)
{
    // told once a run, without holding up the cycle; the pictures go on
    if (besideFailureTold_ || run != record().runNumber())
        return;
    besideFailureTold_ = true;
    if (form_.notifyUser)
        form_.notifyUser(sessionText(SessionText::BesideFailed, english_) + e.message());
}

} // namespace tervalo
