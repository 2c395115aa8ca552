#pragma once
// The instructor's window on the class library: every run the role may read
// in a sortable, filterable table; per experiment the spread of a figure
// over the class (a box a experiment, its outliers marked, the instructor's
// own latest run of it as a line); tries and time on task per student; each
// kit's identified gain and time constant over time with a drifting kit
// marked; the chosen runs overlaid in the Run window's comparison; the table
// as CSV.

#include "engine/ClassStatistics.h"
#include "store/ClassServer.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QTableWidget;

namespace tervalo {

class ClassRunsModel;
class RunWindow;

class ClassWindow : public QWidget {
    Q_OBJECT
public:
    enum class Text {
        Title,
        Signed,
        SignedStudent,
        Filter,
        Experiment,
        AllExperiments,
        Figure,
        RunsTab,
        SpreadTab,
        StudentsTab,
        KitsTab,
        Compare,
        ExportCsv,
        Shown,
        Baseline,
        Outliers,
        Tries,
        Sittings,
        TimeOnTask,
        First,
        Last,
        Kit,
        Date,
        Gain,
        TimeConstant,
        GainDrift,
        TimeConstantDrift,
        Drifting,
        NoBumpTests,
        CsvFiles,
        CompareTitle,
        OtherLanguage,
        NoExperiment,
        Count
    };
    static QString text(Text t, bool english);

    // A run whole from the server (the overlay, a bump test's rows); nullptr
    // when it cannot be had.
    using Loader = std::function<std::unique_ptr<RunRecord>(const QString &uuid)>;

    // runs: what the server listed; login: whose window it is (the runs it
    // sent without a student's name are the baselines, not the class's);
    // instructor: whether the role reads the whole class.
    ClassWindow(std::vector<ClassRunLine> runs, Loader loader, QString login, bool instructor,
                QWidget *parent = nullptr);
    ~ClassWindow() override;

    // Connects to the class server and opens the window on the runs its
    // role reads, the server kept for loading runs. A server that wants a
    // password it was not given, or refuses the one found, asks askPassword
    // (nothing: give up).
    // nullptr with the reason in why.
    static std::unique_ptr<ClassWindow>
    openOn(const ClassServerAddress &address, const std::function<std::optional<QString>()> &askPassword, QString *why);

    void setLanguage(bool english);
    bool english() const { return english_; }

    // ---- what the window shows, for its buttons and for tests -----------------
    QTableView *table() const { return table_; }
    QSortFilterProxyModel *proxy() const { return proxy_; }
    void setFilter(const QString &text);
    // The experiment the spread and the students' tab are about ("" all).
    void setExperiment(const QString &experiment);
    QString experiment() const { return experiment_; }
    void setFigure(Metric m);
    QStringList experiments() const;
    // The spread drawn: one box each experiment, by its name.
    std::map<QString, BoxStats> spread() const;
    // The students' tries and time at the chosen experiment.
    std::vector<StudentEffort> effort() const;
    // Each kit's identifications by bump test, fitted from their rows (made
    // at the first look and kept).
    const std::map<QString, KitDrift> &kits();
    // The table as shown (filtered and sorted) as the class report's CSV.
    QByteArray csv() const;
    bool exportCsv(const QString &path, QString *why);
    // Opens the Run window comparing the chosen runs; false with fewer than one.
    bool compareSelected();
    RunWindow *compareWindow() const { return compare_; }

    // Asked for the file to save the CSV in (a dialog in the program).
    std::function<QString(const QString &suggested)> askSavePath;
    std::function<void(const QString &)> showError;

private:
    void build();
    void retranslate();
    void refreshSpread();
    void refreshStudents();
    void refreshKits();
    std::vector<const ClassRunLine *> runsOf(const QString &experiment) const;
    // An experiment's runs of the class for the chosen figure, their values
    // and box, and the instructor's own latest run of it (the baseline).
    struct Spread {
        std::vector<const ClassRunLine *> runs;
        std::vector<double> values;
        const ClassRunLine *mine = nullptr;
        BoxStats box;
    };
    Spread spreadOf(const QString &experiment) const;

    std::unique_ptr<ClassServer> server_; // when opened by openOn
    std::unique_ptr<ClassRunsModel> model_;
    Loader loader_;
    QString login_;
    bool instructor_ = false;
    bool english_ = true;
    QString experiment_;
    Metric figure_ = Metric::Overshoot;
    std::optional<std::map<QString, KitDrift>> kits_;
    std::map<QString, std::vector<QString>> kitDates_;

    QLabel *who_ = nullptr;
    QLineEdit *filter_ = nullptr;
    QLabel *filterLabel_ = nullptr, *experimentLabel_ = nullptr, *figureLabel_ = nullptr, *shown_ = nullptr;
    QComboBox *experimentBox_ = nullptr, *figureBox_ = nullptr;
    QPushButton *compareButton_ = nullptr, *exportButton_ = nullptr, *languageButton_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    QTableView *table_ = nullptr;
    QSortFilterProxyModel *proxy_ = nullptr;
    QChart *chart_ = nullptr;
    QChartView *chartView_ = nullptr;
    QTableWidget *students_ = nullptr, *kitTable_ = nullptr;
    RunWindow *compare_ = nullptr;
};

} // namespace tervalo
