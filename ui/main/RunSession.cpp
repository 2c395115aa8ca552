#include "ui/main/RunSession.h"

#include "controls/graph/Mygraph.h"
#include "session/Lab.h"
#include "store/ExportNames.h"
#include "ui/main/Form2.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/RunWindow.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

namespace tervalo {

namespace {

using Both = TextPair;

enum class SessionText { BesideFailed };

// The texts of the session's own messages, in the order of SessionText.
const Both kSessionTexts[] = {
    {"Auto Save could not write the run data beside the graph picture:\n",
     "Otomatik kayıt çalışma verilerini grafik resminin yanına yazamadı:\n"},
};

QString sessionText(SessionText t, bool english)
{
    return kSessionTexts[static_cast<std::size_t>(t)].in(english);
}

} // namespace

RunSession::RunSession(Form2 &form)
    : form_(form), files_(this, [this](const FileError &e, std::uint64_t run) { besideFailed(e, run); })
{
    Lab &lab = form_.lab();
    lab.recorder().onRow = [this] {
        // a window following the run takes the new row; cheap when shown
        if (window_ && window_->isVisible())
            window_->update();
    };
    connect(&lab, &Lab::started, this, [this] { started(); });
    connect(&lab, &Lab::languageChanged, this, [this](bool english) { retranslate(english); });

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

    connect(static_cast<Mygraph *>(form_.graph()), &Mygraph::GraphSaved, this,
            [this](const QString &path) { sweepSaved(path); });

    askPath = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(&form_, title, suggested, filter);
    };
    showError = [this](const QString &title, const QString &message) { QMessageBox::warning(&form_, title, message); };
    retranslate(form_.english());
}

RunSession::~RunSession()
{
    form_.lab().recorder().onRow = nullptr;
    delete window_.data(); // it reads the record, which goes with the lab
}

const RunRecord &RunSession::record() const
{
    return form_.lab().record();
}

void RunSession::started()
{
    besideFailureTold_ = false;
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
            showError(title, LabTexts::noRun(english_));
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
    const auto *g = static_cast<const Mygraph *>(form_.graph());
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
    form_.lab().notify(sessionText(SessionText::BesideFailed, english_) + e.message());
}

} // namespace tervalo
