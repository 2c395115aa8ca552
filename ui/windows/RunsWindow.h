#pragma once
// The Runs window: the runs stored in the run library as a sortable table
// (date, mode, controller, gains or divisors, rise time, overshoot, settling
// time, IAE, name, note). A run can be renamed, given a note, deleted (after
// a question), exported as CSV + JSON, opened in a run window of its own,
// pinned as the graph's baseline; several runs are compared in that run
// window (overlaid, figures side by side).
//
// The window reads and edits the library through a connection of its own on
// the window's thread, opened when the list is first wanted and again after
// a failure. Dialogs and questions go through std::function hooks, so that
// tests answer them without a display.

#include "store/RunFiles.h"
#include "store/RunLibrary.h"
#include "ui/windows/RunWindow.h"

#include <QAbstractTableModel>
#include <QKeySequence>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QShowEvent;
class QSortFilterProxyModel;
class QTableView;
class QToolBar;

namespace tervalo {

class Lab;

class RunRecord;
class ClassWindow;

// The library's list as a table; sorting is done by a proxy on SortRole
// (numbers as numbers, a missing figure after every number).
class RunsTableModel : public QAbstractTableModel {
public:
    // ClassServer: whether the class server has the run (shown while the lab forwards)
    enum Column {
        Date,
        Mode,
        Controller,
        Settings,
        RiseTime,
        Overshoot,
        SettlingTime,
        Iae,
        Name,
        Note,
        ClassServer,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole + 1;
    static constexpr int IdRole = Qt::UserRole + 2;
    static constexpr int KindRole = Qt::UserRole + 3; // "run" or "bump_test"

    explicit RunsTableModel(QObject *parent = nullptr);

    void setRuns(std::vector<StoredRun> runs);
    const std::vector<StoredRun> &runs() const { return runs_; }
    const StoredRun *run(std::int64_t id) const;
    void setLanguage(bool english);
    // The run pinned as the baseline (its row in bold), or none.
    void setPinned(std::optional<std::int64_t> id);
    std::optional<std::int64_t> pinned() const { return pinned_; }

    // An edit of a name or note cell; true when the library took it (and
    // the text was put in with setText).
    std::function<bool(std::int64_t id, Column column, const QString &text)> edit;
    void setText(std::int64_t id, Column column, const QString &text);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The start as local time ("2026-12-10 07:22:14").
    static QString localTime(const QString &startUtc);

private:
    std::vector<StoredRun> runs_;
    bool english_ = true;
    std::optional<std::int64_t> pinned_;
};

class RunsWindow : public QWidget {
public:
    enum class Text {
        Title,
        MenuRuns,
        Date,
        Mode,
        Controller,
        Settings,
        Name,
        Note,
        Open,
        Compare,
        Rename,
        EditNote,
        Delete,
        Export,
        Pin,
        Unpin,
        Retry,
        Refresh,
        RenamePrompt,
        NotePrompt,
        DeleteQuestion, // several runs; %1: how many, %2: their names, one a line
        DeleteOne,      // one run; %1: its name
        DeleteMore,     // after the names listed: "and %1 more"
        ExportTitle,
        Failed,
        CannotOpen,
        Listed,  // %1 runs, %2 the database
        Unsaved, // %1 runs
        NoticeNotStored,
        NoLibrary,
        OpenLoop,
        ClassColumn,
        ForwardLocal,
        ForwardSent,
        ForwardRefused,
        DeleteKeepsServerCopy,
        ClassServerEntry,
        ClassServerTitle,
        ClassServerPrompt, // %1: where the server now comes from
        StudentPrompt,
        ClassServerNone,
        BumpTests,   // the entry that shows the bump tests instead of the runs
        BumpTest,    // "bump test"
        BumpSummary, // "%1 → %2, K = %3, τ = %4 s"
        ClassEntry,  // the instructor's window on the class server
        PinnedTip,   // the pinned run's row
        Count
    };

    // path: the library's database.
    explicit RunsWindow(const QString &path, QWidget *parent = nullptr);
    // The lab's library: pinning sets the lab's baseline, Unpin follows it
    // however it was set or cleared, and Retry saving tries the lab's kept
    // runs again.
    explicit RunsWindow(Lab &lab, QWidget *parent = nullptr);
    ~RunsWindow() override;

    // The key that opens the window from the main window (Ctrl+L).
    static QKeySequence shortcut();
    static QString text(Text t, bool english);
    QString text(Text t) const { return text(t, english_); }
    void setLanguage(bool english);
    bool english() const { return english_; }

    const QString &path() const { return path_; }
    // Reads the list again (keeps the selection where the runs remain).
    void refresh();
    // Why the library could not be read at the last refresh ("" = it could).
    const QString &problem() const { return problem_; }

    // Runs kept in memory that the library has not taken yet, and the way to
    // try them again (set by the owner of the writer).
    void setUnsaved(std::size_t count);
    std::function<void()> retrySaving;

    // "Class server…": the class server the runs go on to and the student
    // they are stored for, kept in the user's settings (never a password);
    // an empty server turns the lab's off for this account. The answers
    // come from askText; false when nothing was changed.
    bool classServerAsked();
    // "Class…": the Class window on the lab's class server (the whole class
    // for an instructor's login, one's own runs for a student's); false
    // (after showError) when it cannot be opened.
    bool classWindowAsked();
    ClassWindow *classWindow() const { return classWindow_.get(); }

    // The bump tests of the Tuning window are kept apart from the runs: the
    // list shows one kind at a time.
    void showBumpTests(bool bumpTests);
    bool showingBumpTests() const;

    // The selection, by run id, in the table's order.
    std::vector<std::int64_t> selectedIds() const;
    void select(const std::vector<std::int64_t> &ids);

    // The actions' work on given runs; false (after showError) on a failure.
    bool renameRun(std::int64_t id, const QString &name);
    bool setNote(std::int64_t id, const QString &note);
    bool removeRuns(const std::vector<std::int64_t> &ids); // without asking
    FileError exportRun(std::int64_t id, const QString &chosen);
    bool openRun(std::int64_t id);
    bool compareRuns(const std::vector<std::int64_t> &ids);
    bool pinRun(std::int64_t id);
    // Whether a baseline is pinned: the lab's, or the one handed to
    // pinBaseline by a window without a lab.
    bool pinned() const;

    // The actions on the selection, with their questions (as the buttons).
    void renameAsked();
    void noteAsked();
    void deleteAsked();
    void exportAsked();
    // The question before deleting runs, naming them (as label() does).
    QString deleteQuestion(const std::vector<std::int64_t> &ids) const;
    void openSelected();
    void compareSelected();
    void pinSelected();
    void unpin();

    // The name of a run in the legend and the figures' header: its name, or
    // "#id controller settings".
    static QString label(const StoredRun &run, bool english);
    // A stored run read back (nullptr after showError).
    std::shared_ptr<const RunRecord> loadRun(std::int64_t id);

    // ---- hooks -------------------------------------------------------------
    // A line of text (current: what the field starts with); nothing = cancelled.
    std::function<std::optional<QString>(const QString &title, const QString &label, const QString &current)> askText;
    // A run's note, in an editor of several lines; as askText.
    std::function<std::optional<QString>(const QString &title, const QString &label, const QString &current)> askNote;
    // A yes/no question; true = go ahead.
    std::function<bool(const QString &title, const QString &question)> confirm;
    // A file name to save to ("" = cancelled).
    std::function<QString(const QString &title, const QString &filter, const QString &suggested)> askPath;
    std::function<void(const QString &title, const QString &message)> showError;
    // A password for the class server (the prompt names it); nothing = cancelled.
    std::function<std::optional<QString>(const QString &prompt)> askPassword;
    // "Pin as baseline": the selected run's record, valid during the call;
    // "Unpin baseline": nullptr.
    std::function<void(const RunRecord *, const QString &label)> pinBaseline;

    // For tests and the benchmark.
    QTableView *table() const { return view_; }
    RunsTableModel *model() const { return model_; }
    QSortFilterProxyModel *sorted() const { return proxy_; }
    RunWindow *runWindow() const { return runWindow_; }
    QAction *action(Text t) const;
    QLabel *status() const { return status_; }

private:
    void build();
    void retranslate();
    void updateActions();
    void updateStatus();
    void fitColumns();
    void fitTextColumns(); // the name and the note, to their texts
    void showEvent(QShowEvent *event) override;
    RunLibrary *library();
    void failed(const LibraryError &e);
    RunWindow *ensureRunWindow(std::shared_ptr<const RunRecord> first, const QString &label);
    std::int64_t currentId() const;
    void relabelRunWindow();
    void setColumnsShown(); // the class server's column while the lab forwards

    QString path_;
    QPointer<Lab> lab_;
    bool english_ = true;
    std::unique_ptr<RunLibrary> library_;
    QString problem_;
    std::size_t unsaved_ = 0;
    bool pinned_ = false; // without a lab
    bool refreshPosted_ = false;

    RunsTableModel *model_ = nullptr;
    QSortFilterProxyModel *proxy_ = nullptr;
    QTableView *view_ = nullptr;
    QToolBar *tools_ = nullptr, *libraryTools_ = nullptr;
    QLabel *status_ = nullptr;
    std::vector<std::pair<Text, QAction *>> actions_;
    QPointer<RunWindow> runWindow_;
    std::unique_ptr<ClassWindow> classWindow_; // made at the first "Class…"
    std::vector<std::int64_t> shownIds_;       // the runs the run window shows
    static constexpr int kNameColumnMost = 240, kNoteColumnMost = 360;
    static constexpr std::size_t kDeleteListed = 10; // names in the delete question
    int textWidths_[2] = {-1, -1};                   // the name's and the note's, as last fitted
};

} // namespace tervalo
