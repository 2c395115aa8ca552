#pragma once
// The run window: the whole run recorded since START as a plot (R, Y and E
// against the left axis, the actuator value U against the right axis with its
// minimum and maximum marked and the stretches where it sits at a limit
// shaded), the run's figures beside it, and buttons to save the data (CSV and
// JSON), save the plot (PNG or SVG by the chosen name), copy the plot and save
// a PDF report. It follows a running run: the cycle calls update() after
// each row.
//
// The window can also show a run it keeps itself (a stored run read back
// from the library), or compare runs: the output and reference of each drawn
// in its own colour over a common time axis, a legend naming each run, and
// their figures side by side in the figures table.
//
// File dialogs and messages go through askPath and showError, so that a
// caller (or a test) can answer them without a display.

#include "engine/PlotThinning.h"
#include "engine/RunRecord.h"
#include "store/RunFiles.h"

#include <QImage>
#include <QKeySequence>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAreaSeries;
class QChart;
class QChartView;
class QLineSeries;
class QLabel;
class QPushButton;
class QSplitter;
class QTableWidget;
class QTableWidgetItem;
class QValueAxis;

namespace tervalo {

class RunWindow : public QWidget {
    Q_OBJECT
public:
    // The texts of the window and the report.
    enum class Text {
        Title,
        SaveData,
        SavePlot,
        CopyPlot,
        SaveReport,
        Reference,
        Output,
        Error,
        Actuator,
        ActuatorMin,
        ActuatorMax,
        Saturated,
        TimeAxis,
        UnitKit,
        UnitSimulation,
        Figure,
        Value,
        NotAvailable,
        ReportTitle,
        Settings,
        Figures,
        Plot,
        RuleTable,
        RuleCorner,
        Start,
        Mode,
        ModeOpen,
        ModeKit,
        ModeSimulation,
        Controller,
        Fuzzy,
        Gains,
        Divisors,
        Ranges,
        Load,
        LoadChanges,
        Cycle,
        Rows,
        RowsNotKept,
        NoRun,
        DataFilter,
        PlotFilter,
        ReportFilter,
        SaveFailed,
        MenuRun,         // the graph's context menu: open this window
        MenuSaveRunData, // the graph's context menu: save the record at once
        CompareTitle,
        CompareAxis,
        WholeRun,        // the figures' column of the whole run, beside those of each reference
        StretchHead,     // "R = %1 from cycle %2"
        StretchTip,      // what a stretch's column counts its times from
        StretchLoadHead, // "load %1 from cycle %2"
        StretchLoadTip,
        TestProgram,    // the report's list of the run's events
        ActuatorLimits, // the legend's one entry for both limits
        SaveFigures,    // a comparison's figures side by side
        FiguresFilter,
        Count
    };

    // The plotted quantities.
    enum class Series { Reference, Output, Error, Actuator };

    // What a file dialog is asked for.
    enum class Purpose { Data, Plot, Report };

    explicit RunWindow(const RunRecord &record, QWidget *parent = nullptr);
    // A window that keeps the run it shows.
    explicit RunWindow(std::shared_ptr<const RunRecord> record, QWidget *parent = nullptr);

    // One run of a comparison: named in the legend by its label, and in the
    // figures' header by its heading (its label when empty).
    struct ComparedRun {
        QString label;
        std::shared_ptr<const RunRecord> record;
        QString heading;
    };

    // The suggested key for opening the window (Ctrl+R).
    static QKeySequence shortcut();
    ~RunWindow() override;

    // English (true) or Turkish (false); the program's language switch.
    void setLanguage(bool english);
    bool english() const { return english_; }
    static QString text(Text t, bool english);
    QString text(Text t) const { return text(t, english_); }
    // A figure's name, and the reason one is not available.
    static QString metricText(Metric m, bool english);
    static QString reasonText(FigureReason r, bool english);

    // Brings the plot and figures up to the record: the rows added since the
    // last call are appended (cheap, for every cycle); a new run is drawn
    // from its start.
    void update();

    // Shows a run the window keeps (the title names it), leaving a comparison.
    void setRecord(std::shared_ptr<const RunRecord> record, const QString &label = QString());
    // The name and note a stored run was given: in the header and the report.
    void setNameAndNote(const QString &name, const QString &note);
    // The run in one line: mode, controller, gains (or divisors), reference,
    // start time and name, as the window's header and the report show it.
    QString headerLine() const;
    // The report as the PDF lays it out, its plot drawn from plotResource.
    QString reportHtml(const QString &plotResource);
    QImage reportPlotImage();
    // Draws the runs over each other (output solid, reference dashed, one
    // colour a run) with their figures side by side. The data and report
    // saves are about one run and wait until a run is shown again.
    void compare(std::vector<ComparedRun> runs);
    // Runs on the kit (rpm) and in simulation (volts) cannot share an axis:
    // true when these mix them (the comparison then draws the simulated
    // runs on an axis of their own, on the right).
    static bool mixedUnits(const std::vector<ComparedRun> &runs);
    bool comparing() const { return !compared_.empty(); }
    // New names for the runs shown (a rename, the language switch): one for
    // the run shown alone, or one each for the compared runs in their order.
    void relabel(const QStringList &labels, const QStringList &headings = QStringList());
    const std::vector<ComparedRun> &comparedRuns() const { return compared_; }
    // The names the legend of the shown plot carries.
    QStringList legendNames() const;
    // The legend under the plot as the window shows it (rich text).
    QString legendText() const;
    // The output points drawn for compared run k (thinned like the plot).
    QList<QPointF> comparedPoints(std::size_t k) const;
    QChartView *compareView() const { return compareView_; }

    // The buttons' work, callable without the dialogs.
    FileError saveData(const QString &chosen);
    FileError savePlot(const QString &chosen); // ".svg": SVG, ".pdf": PDF, otherwise PNG (".png" added if no ending)
    // A comparison's figures side by side as CSV (figure, then one column a
    // run by its label; whole values, empty where not available).
    QByteArray comparedFiguresCsv() const;
    FileError saveComparedFigures(const QString &chosen);
    void copyPlot();
    FileError saveReport(const QString &path);

    QImage plotImage();
    QByteArray reportPdf();

    // The name a save dialog offers: the run's (the first compared run's)
    // mode, controller and start in the experiment folder, ending as the
    // purpose's file ("…/kit-PI-2026-12-11-1430.png" for the plot).
    QString suggestedPath(Purpose p) const;

    // Dialog hooks: askPath returns the chosen name ("" = cancelled), the
    // dialog starting at suggested; showError shows a failure's message.
    std::function<QString(Purpose, const QString &title, const QString &filter, const QString &suggested)> askPath;
    std::function<void(const QString &title, const QString &message)> showError;

    // For tests and the benchmark.
    QChartView *chartView() const { return view_; }
    QTableWidget *figureTable() const { return table_; }
    std::size_t plottedRows() const { return shown_; }
    // The points drawn for a quantity (a long run is thinned into buckets).
    QList<QPointF> plottedPoints(Series s) const;
    QPushButton *button(Text t) const;

private:
    struct Trace;

    void build();
    void retranslate();
    void reload();
    void take(std::size_t from, std::size_t to);
    void publish(std::size_t from);
    QLineSeries *addChunk(int trace);
    void figuresDue();
    void refreshFigures();
    void showFigure(QTableWidgetItem *item, const Figure &fig, Metric m) const;
    void ensureLaidOut();
    void fitFigures(); // the table's columns and its share of the window
    bool fitDue() const;
    void report(const FileError &e);
    QString asked(Purpose p, Text title, Text filter); // askPath with the suggested name
    void onSaveData();
    void onSavePlot();
    void onSaveReport();
    void buildCompare();
    void retranslateCompare();
    void showCompare(bool on);
    QChartView *shownView() const;

    const RunRecord *record_;
    std::shared_ptr<const RunRecord> kept_; // when the window keeps its run
    QString label_;
    QString name_, note_;
    QLabel *header_ = nullptr;
    QLabel *legend_ = nullptr;
    class PictureLegend;
    void refreshLegend();
    // A stretch's heading: "R = 1500 from cycle 31", "load 10 from cycle 50".
    QString stretchHead(const RunRecord::StretchFigures &st) const;
    bool english_ = true;
    std::uint64_t run_ = 0;
    std::size_t shown_ = 0;  // rows taken into the plot
    std::size_t stride_ = 1; // rows per plotted bucket
    std::unique_ptr<Trace[]> tracesOwner_;
    Trace *traces_ = nullptr; // R, Y, E, U
    SaturatedStretches saturated_{0.5 / kCyclesPerSecond};
    bool limitsSet_ = false;
    double dataLow_ = 0, dataHigh_ = 0, uLow_ = 0, uHigh_ = 0, timeMax_ = 0;
    std::array<QString, kMetricCount> shownFigures_;
    std::size_t shownStretches_ = 0; // columns of the stretches of constant reference (0 for one)

    QChart *chart_ = nullptr;
    QChartView *view_ = nullptr;
    QLineSeries *r_ = nullptr, *y_ = nullptr, *e_ = nullptr, *u_ = nullptr;
    // Each quantity is drawn as a row of series of at most kChunk + 1 points,
    // so that a new cycle redraws only the last one or two; the first one
    // carries the name shown in the legend.
    std::vector<QLineSeries *> chunks_[4];
    int published_[4] = {}; // finished points drawn at the last update
    // the figures of a long run still going: at most once a second
    static constexpr std::size_t kLiveFiguresRows = 3000; // ten minutes of cycles
    static constexpr int kLiveFiguresEveryMs = 1000;
    bool figuresPending_ = false;
    QLineSeries *uMin_ = nullptr, *uMax_ = nullptr;
    QLineSeries *satUpper_ = nullptr, *satLower_ = nullptr;
    QAreaSeries *sat_ = nullptr;
    QValueAxis *time_ = nullptr, *left_ = nullptr, *right_ = nullptr;
    QTableWidget *table_ = nullptr;
    QPushButton *buttons_[4] = {};
    QPushButton *figuresButton_ = nullptr; // shown in a comparison
    QSplitter *splitter_ = nullptr;        // the plot (or the comparison) | the figures and buttons
    std::pair<int, bool> fitted_{0, true}; // the table's columns and language at the last fit

    // the comparison, made at the first compare()
    std::vector<ComparedRun> compared_;
    QChart *compareChart_ = nullptr;
    QChartView *compareView_ = nullptr;
    QValueAxis *compareTime_ = nullptr, *compareLeft_ = nullptr;
    QValueAxis *compareRight_ = nullptr; // volts beside runs in rpm; hidden otherwise
    std::vector<QLineSeries *> compareOutputs_, compareReferences_;
};

} // namespace tervalo
