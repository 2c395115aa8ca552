#include "ui/main/LibrarySession.h"

#include "engine/RunRecord.h"
#include "ui/main/Form2.h"
#include "ui/windows/RunsWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <cstdio>

namespace tervalo {

QString LibrarySession::chosenPath(QString *reason)
{
    const QString fromEnvironment = qEnvironmentVariable("TERVALO_LIBRARY");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return RunLibrary::defaultPath(reason);
}

LibrarySession *LibrarySession::attach(Form2 &form, const QString &path)
{
    QString reason;
    const QString chosen = path.isEmpty() ? chosenPath(&reason) : path;
    auto *session = new LibrarySession(form, chosen, RunLibrary::kDefaultBusyTimeoutMs, reason);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, session, [session] { session->finish(); });
    return session;
}

LibrarySession::LibrarySession(Form2 &form, const QString &path, int busyTimeoutMs, const QString &reason)
    : QObject(&form), form_(form), path_(path), noLibraryReason_(reason), english_(form.english())
{
    if (!path_.isEmpty()) {
        RunLibraryWriter::Callbacks callbacks;
        callbacks.failed = [this](const QString &message) { storeFailed(message); };
        callbacks.stored = [this](std::int64_t) { storedOne(); };
        writer_ = std::make_unique<RunLibraryWriter>(path_, this, std::move(callbacks), busyTimeoutMs);
    }
    // after the run session's own listener: the record is stopped by then
    form_.addRunListener([this](bool started) {
        if (!started)
            stopped();
    });
    form_.addLanguageListener([this](bool english) { retranslate(english); });
    // the Runs window's Unpin follows the graph's baseline, however it was cleared
    form_.addBaselineListener([this] {
        if (window_)
            window_->setPinned(form_.hasBaseline());
    });

    action_ = new QAction(&form_);
    action_->setShortcut(RunsWindow::shortcut());
    action_->setShortcutContext(Qt::WindowShortcut);
    connect(action_, &QAction::triggered, this, [this] { showRunsWindow(); });
    form_.addAction(action_); // the shortcut works anywhere on the window
    form_.graphMenu()->addAction(action_);
    retranslate(english_);
}

LibrarySession::~LibrarySession()
{
    delete window_.data();
    writer_.reset(); // finishes the run being written
}

std::size_t LibrarySession::unsaved() const
{
    return writer_ ? writer_->pending() : 0;
}

void LibrarySession::retry()
{
    if (writer_)
        writer_->retry();
}

RunContext LibrarySession::context() const
{
    return context_;
}

void LibrarySession::setContext(const RunContext &context)
{
    context_ = context;
}

void LibrarySession::waitIdle()
{
    if (writer_)
        writer_->waitIdle();
}

void LibrarySession::stopped()
{
    const RunRecord &record = form_.runRecord();
    if (record.empty())
        return;
    if (!writer_) {
        if (!noLibraryTold_ && form_.notifyUser && !form_.ending()) {
            noLibraryTold_ = true;
            form_.notifyUser(RunsWindow::text(RunsWindow::Text::NoLibrary, english_) + noLibraryReason_);
        }
        return;
    }
    // a copy goes to the writer's thread; the cycle has stopped
    writer_->submit(record, context_);
}

void LibrarySession::finish()
{
    if (finished_)
        return;
    finished_ = true;
    const RunRecord &record = form_.runRecord();
    if (!writer_) {
        if (record.running() && !record.empty())
            std::fprintf(stderr, "tervalo: the run in progress could not be stored: no run library (%s)\n",
                         noLibraryReason_.toLocal8Bit().constData());
        return;
    }
    if (record.running() && !record.empty())
        writer_->submit(record, context_); // ended without STOP
    else
        writer_->retry();
    writer_->waitIdle();
    if (const std::size_t left = writer_->pending())
        std::fprintf(stderr, "tervalo: %zu run(s) could not be stored in the run library %s\n", left,
                     path_.toLocal8Bit().constData());
}

void LibrarySession::storeFailed(const QString &message)
{
    if (window_)
        window_->setUnsaved(unsaved());
    if (form_.notifyUser && !form_.ending())
        form_.notifyUser(RunsWindow::text(RunsWindow::Text::NoticeNotStored, english_) + message);
}

void LibrarySession::storedOne()
{
    if (!window_)
        return;
    window_->setUnsaved(unsaved());
    if (window_->isVisible())
        window_->refresh();
}

void LibrarySession::showRunsWindow()
{
    if (!window_) {
        window_ = new RunsWindow(path_, &form_);
        window_->setLanguage(english_);
        window_->retrySaving = [this] { retry(); };
    }
    // the pin entries are offered while someone takes the pinned run
    if (pinBaseline)
        window_->pinBaseline = [this](const RunRecord *r, const QString &label) {
            if (pinBaseline)
                pinBaseline(r, label);
        };
    else
        window_->pinBaseline = nullptr;
    window_->setPinned(form_.hasBaseline());
    window_->setUnsaved(unsaved());
    window_->refresh();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void LibrarySession::retranslate(bool english)
{
    english_ = english;
    action_->setText(RunsWindow::text(RunsWindow::Text::MenuRuns, english));
    if (window_)
        window_->setLanguage(english);
}

} // namespace tervalo
