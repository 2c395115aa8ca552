#pragma once
// The lab's run record in the main window. The graph's context menu offers the run window
// ("Run…", also on RunWindow::shortcut()) and saving the run's data; with
// Auto Save on, each sweep picture the graph saves gets that sweep's rows
// beside it as CSV (and the settings as JSON).
//
// Dialogs and messages go through askPath and showError, so that tests
// answer them without a display.

#include "store/RunFileWriter.h"
#include "store/RunFiles.h"
#include "ui/windows/RunWindow.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;

namespace tervalo {

class Form2;

class RunSession : public QObject {
public:
    explicit RunSession(Form2 &form);
    ~RunSession() override;

    // The lab's record.
    const RunRecord &record() const;

    // The graph menu's entries (the run entry also carries the shortcut).
    QAction *runAction() const { return runAction_; }
    QAction *saveAction() const { return saveAction_; }

    // Opens or raises the run window; nullptr until it was first opened.
    void showRunWindow();
    RunWindow *runWindow() const { return window_; }

    // "Save run data…": asks for a name, saves CSV + JSON, tells a failure.
    void saveRunDataAsked();
    FileError saveRunData(const QString &chosen);

    // Rows per sweep of the graph (100 for 20 s of 0.2 s cycles).
    int sweepRows() const;
    // After the graph saved a sweep picture: the sweep's rows beside it,
    // handed to the file writer (false when it could not take them).
    bool sweepSaved(const QString &picturePath);
    // Waits until the files handed to the writer are written (tests, exit);
    // a failure is told through the event loop afterwards.
    void waitForFiles() { files_.waitIdle(); }

    // The name the save dialog offers: "run_2026-12-10_05-50-00.csv" (the
    // UTC start) in the Auto Save folder, or the documents folder.
    QString suggestedName() const;

    // suggested: the name the dialog starts with; "" back = cancelled
    std::function<QString(const QString &title, const QString &filter, const QString &suggested)> askPath;
    std::function<void(const QString &title, const QString &message)> showError;

private:
    void started();
    void retranslate(bool english);
    void besideFailed(const FileError &e, std::uint64_t run);

    Form2 &form_;
    QAction *runAction_ = nullptr;
    QAction *saveAction_ = nullptr;
    QPointer<RunWindow> window_;
    bool english_ = true;
    bool besideFailureTold_ = false;
    // the CSV and JSON beside each sweep picture, written off the cycle
    RunFileWriter files_;
};

} // namespace tervalo
