#pragma once
// The run library of the main window: at STOP every run that completed a
// cycle is handed to a writer thread that stores it in the library's
// database, away from the control cycle. When the database cannot take it
// (locked by a second copy past the wait, unreadable, corrupt, disk full) the
// window tells so once, in a notice that does not stop anything, naming the
// database and the reason; the run stays in memory and is tried again at the
// next STOP and by "Retry saving" in the Runs window. A run still going when
// the program ends is stored on the way out.
//
// The graph's context menu gets "Runs…" (also on RunsWindow::shortcut()),
// which opens the Runs window on the same database.
//
//   LibrarySession::attach(form);   // TERVALO_LIBRARY or <data folder>/runs.sqlite

#include "store/ClassConfig.h"
#include "store/RunLibrary.h"
#include "store/RunLibraryWriter.h"
#include "ui/windows/RunsWindow.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QAction;

namespace tervalo {

class Form2;
class Lab;
class RunRecord;

class LibrarySession : public QObject {
public:
    // A session on path (empty: chosenPath()) that lives as long as the
    // form, stores what is left when the application quits.
    static LibrarySession *attach(Form2 &form, const QString &path = QString());
    // The environment's TERVALO_LIBRARY when set, else the user's
    // runs.sqlite; empty when no data folder can be made (reason says why).
    static QString chosenPath(QString *reason = nullptr);

    // path empty: no library (reason tells why, once, at the first run).
    LibrarySession(Form2 &form, const QString &path, int busyTimeoutMs = RunLibrary::kDefaultBusyTimeoutMs,
                   const QString &reason = QString());
    ~LibrarySession() override;

    const QString &path() const;
    // Runs kept in memory that are not in the library yet.
    std::size_t unsaved() const;
    // Tries the kept runs again.
    void retry();
    // What is stored with every run from now on besides its record (see
    // RunContext): the student, the plant, the experiment file.
    RunContext context() const;
    void setContext(const RunContext &context);
    // Waits until the writer has tried every run handed to it; the notices
    // and the list's refresh follow from the event loop.
    void waitIdle();
    // The program ends: a run still going (the way out does not pass STOP)
    // is handed over too, and the writer finishes before this returns; what
    // could not be stored is told on stderr. Runs once, from whichever way
    // out comes first (the application's end, or an ExitPaths duty).
    void finish();

    // The class server the runs go on to, and the student they are stored
    // for (see ClassConfig). A server that names no connection is told once
    // and nothing is forwarded; a student not named yet is asked for once,
    // from the event loop, and kept in the user's settings.
    void useClassServer(const ClassSetting &server, const ClassSetting &student);
    // The question for the student's name ("" back: not answered).
    std::function<QString(const QString &title, const QString &label)> askStudent;

    // Opens (or raises) the Runs window with a fresh list.
    void showRunsWindow();
    RunsWindow *runsWindow() const { return window_; }
    QAction *runsAction() const { return action_; }

private:
    void storeFailed(const QString &message);
    void storedOne();
    void retranslate(bool english);

    Form2 &form_;
    Lab &lab_;
    bool english_ = true;
    QAction *action_ = nullptr;
    QPointer<RunsWindow> window_;
};

} // namespace tervalo
