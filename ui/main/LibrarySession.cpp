#include "ui/main/LibrarySession.h"

#include "engine/RunRecord.h"
#include "session/Lab.h"
#include "ui/main/Form2.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/RunsWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <cstdio>

namespace tervalo {

namespace {

enum class ClassText { Kept, NoServer, StudentTitle, StudentQuestion };

const TextPair kClassTexts[] = {
    {"The runs stay on this PC for now and are sent to the class server later:\n",
     "Çalışmalar şimdilik bu bilgisayarda kalıyor, sınıf sunucusuna sonra gönderilecek:\n"},
    {"No class server: ", "Sınıf sunucusu yok: "},
    {"Class library", "Sınıf kütüphanesi"},
    {"Your name or exam code, stored with every run you send to the class library:",
     "Sınıf kütüphanesine gönderdiğiniz her çalışmayla saklanacak adınız ya da sınav kodunuz:"},
};

QString classText(ClassText t, bool english)
{
    return kClassTexts[static_cast<std::size_t>(t)].in(english);
}

} // namespace

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
    connect(&lab_, &Lab::classServerFailed, this,
            [this](const QString &message) { lab_.notify(classText(ClassText::Kept, english_) + message); });
    askStudent = [this](const QString &title, const QString &label) {
        bool ok = false;
        const QString name = QInputDialog::getText(&form_, title, label, QLineEdit::Normal, QString(), &ok);
        return ok ? name.trimmed() : QString();
    };

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

void LibrarySession::useClassServer(const ClassSetting &server, const ClassSetting &student)
{
    if (!server.given()) {
        lab_.useClassServer(std::nullopt);
        return;
    }
    QString why;
    const std::optional<ClassServerAddress> address = ClassConfig::address(server, &why);
    if (!address) {
        std::fprintf(stderr, "tervalo: no class server: %s\n", why.toLocal8Bit().constData());
        lab_.notify(classText(ClassText::NoServer, english_) + why);
        return;
    }
    RunContext context = lab_.context();
    context.student = student.value;
    lab_.setContext(context);
    lab_.useClassServer(address);
    if (student.given())
        return;
    // asked once for this account, when the window is up
    QTimer::singleShot(0, this, [this] {
        if (!askStudent)
            return;
        const QString name =
            askStudent(classText(ClassText::StudentTitle, english_), classText(ClassText::StudentQuestion, english_));
        QString why;
        if (name.isEmpty() || !ClassConfig::acceptableStudent(name, &why))
            return;
        RunContext context = lab_.context();
        context.student = name;
        lab_.setContext(context);
        if (const QString failed = ClassConfig::saveStudent(name); !failed.isEmpty())
            lab_.notify(failed);
    });
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
