#pragma once
// Experiment files and the baseline in the main window. The graph's context
// menu and the rule table's offer "Save experiment…" and "Open experiment…";
// the graph's also "Unpin baseline" (while one is pinned) and the loaded test
// program, which can be removed there. A file dropped on the window is
// opened as well. A file is refused whole - the message names the key and
// the reason and nothing is changed - and never opened while a run is in
// progress. The test program of the file opened last runs in every
// following run until it is removed; the graph's tooltip tells what is
// loaded and pinned.
//
//   ExperimentMenu experiments(lab, window.menuHost()); // lives no longer than the window
//   experiments.openFile(path);
//
// A file that selects the kit on a PC whose kit cannot be reached (its port
// could not be opened) is not applied as it is: START would drive U up with
// Y staying 0. The student is told at once and chooses simulation or
// cancel; the message says how to start the program on the emulated kit.
//
// Dialogs and messages go through askOpenPath, askSavePath, askNoKit and
// showError, so that tests answer them without a display.

#include "session/TestProgramRunner.h"
#include "ui/windows/MenuHost.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace tervalo {

class Lab;

class ExperimentMenu : public QObject {
public:
    ExperimentMenu(Lab &lab, const MenuHost &host);
    ~ExperimentMenu() override;

    // Reads, checks and applies a file; false when refused (told through
    // showError: the path, the key and the reason, or the run in progress)
    // and when a file for the kit was cancelled for want of a kit (asked
    // through askNoKit).
    bool openFile(const QString &path);
    // Writes the window's settings and the loaded test program; false when
    // they could not be written (told through showError).
    bool saveFile(const QString &path);
    // The menu's entries: ask for a path, then open or save.
    void openAsked();
    void saveAsked();
    // The graph's "Unpin baseline".
    void unpinBaseline();

    // Told of every file opened: its path and its bytes (the run library
    // keeps which assignment a run came from).
    std::function<void(const QString &path, const QByteArray &contents)> opened;

    // The lab's test program.
    TestProgramRunner &runner();
    // The file opened or saved last (empty when none).
    const QString &currentFile() const { return file_; }
    // The graph's tooltip: the experiment file, its test program and the
    // pinned baseline; empty when there is none of them.
    QString statusText() const;

    void setLanguage(bool english);

    enum class Text {
        MenuSave,
        MenuOpen,
        MenuUnpin,
        MenuProgram,
        MenuProgramNone,
        MenuRemoveProgram,
        EventReference,
        EventLoad,
        Filter,
        SaveTitle,
        OpenTitle,
        Refused,
        Running,
        SaveFailed,
        Unsavable,
        StatusFile,
        StatusProgram,
        StatusNoProgram,
        StatusBaseline,
        StatusBaselineUnnamed,
        NoKit,
        NoKitSimulation,
        NoKitCancel,
        Count
    };
    static QString text(Text t, bool english);

    // The entries, for those who look at the menus.
    QAction *saveAction() const { return save_; }
    QAction *openAction() const { return open_; }
    QAction *unpinAction() const { return unpin_; }
    QMenu *programMenu() const { return program_; }

    std::function<QString(const QString &title, const QString &filter)> askOpenPath;
    // suggested: the file opened or saved last, empty for none
    std::function<QString(const QString &title, const QString &filter, const QString &suggested)> askSavePath;
    std::function<void(const QString &title, const QString &message)> showError;
    // A file selects the kit and the kit cannot be reached: the file
    // applied in simulation instead, or nothing changed.
    enum class NoKitChoice { Simulation, Cancel };
    std::function<NoKitChoice(const QString &title, const QString &message)> askNoKit;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshEntries();
    void refreshStatus();
    QString eventText(const TestEvent &e) const;

    Lab &lab_;
    MenuHost host_;
    QAction *save_ = nullptr;
    QAction *open_ = nullptr;
    QAction *ruleSave_ = nullptr;
    QAction *ruleOpen_ = nullptr;
    QAction *unpin_ = nullptr;
    QMenu *program_ = nullptr;
    QAction *programEntry_ = nullptr;
    QString file_;
    bool english_ = true;
};

} // namespace tervalo
