#include "ui/main/LibrarySession.h"

#include "engine/RunRecord.h"
#include "session/Lab.h"
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
    : QObject(&form), form_(form), lab_(form.lab()), english_(form.lab().english())
{
    lab_.openLibrary(path, busyTimeoutMs, reason);
    connect(&lab_, &Lab::storeFailed, this, [this](const QString &message) { storeFailed(message); });
    connect(&lab_, &Lab::runStored, this, [this] { storedOne(); });
    connect(&lab_, &Lab::noLibrary, this,
            [this](const QString &why) { lab_.notify(RunsWindow::text(RunsWindow::Text::NoLibrary, english_) + why); });
    connect(&lab_, &Lab::languageChanged, this, [this](bool english) { retranslate(english); });

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
}

const QString &LibrarySession::path() const
{
    return lab_.libraryPath();
}

std::size_t LibrarySession::unsaved() const
{
    return lab_.unsaved();
}

void LibrarySession::retry()
{
    lab_.retrySaving();
}

RunContext LibrarySession::context() const
{
    return lab_.context();
}

void LibrarySession::setContext(const RunContext &context)
{
    lab_.setContext(context);
}

void LibrarySession::waitIdle()
{
    lab_.waitForLibrary();
}

void LibrarySession::finish()
{
    lab_.finish();
}

void LibrarySession::storeFailed(const QString &message)
{
    if (window_)
        window_->setUnsaved(unsaved());
    lab_.notify(RunsWindow::text(RunsWindow::Text::NoticeNotStored, english_) + message);
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
        window_ = new RunsWindow(lab_, &form_);
        window_->setLanguage(english_);
    }
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
