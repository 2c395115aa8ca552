#include "ui/windows/RunWindow.h"

#include "engine/FuzzyController.h"
#include "fileio/AtomicFile.h"
#include "store/ExportNames.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/SignalLook.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMessageBox>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTableWidget>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tervalo {

namespace {

using Both = TextPair;

// Every text of the window and the report, in the order of RunWindow::Text.
const Both kTexts[] = {
    {"Run", "Çalışma"},
    {"Save data…", "Verileri kaydet…"},
    {"Save plot…", "Grafiği kaydet…"},
    {"Copy plot", "Grafiği kopyala"},
    {"Save report…", "Raporu kaydet…"},
    {"R(t) reference", "R(t) referans"},
    {"Y(t) output", "Y(t) çıkış"},
    {"E(t) error", "E(t) hata"},
    {"U actuator", "U eyleyici"},
    {"U minimum", "U en küçük"},
    {"U maximum", "U en büyük"},
    {"U at a limit", "U sınırda"},
    {"Time (s)", "Zaman (s)"},
    {"", ""}, // the output's unit on the kit (LabTexts)
    {"", ""}, // and in simulation
    {"Figure", "Ölçüt"},
    {"Value", "Değer"},
    {"", ""}, // the lab's "not available"
    {"Tervalo run report", "Tervalo çalışma raporu"},
    {"Settings", "Ayarlar"},
    {"Figures", "Ölçütler"},
    {"Plot", "Grafik"},
    {"Rule table", "Kural tablosu"},
    {"error \\ change", "hata \\ değişim"},
    {"Start (UTC)", "Başlangıç (UTC)"},
    {"Mode", "Çalışma biçimi"},
    {"", ""}, // the modes' names (LabTexts)
    {"", ""},
    {"", ""},
    {"Controller", "Denetleyici"},
    {"", ""}, // the fuzzy controller's name (LabTexts)
    {"Gains", "Kazançlar"},
    {"Divisors (error change, output step)", "Bölenler (hata değişimi, çıkış adımı)"},
    {"Ranges (error, error change, output step)", "Aralıklar (hata, hata değişimi, çıkış adımı)"},
    {"Load at START", "BAŞLA anındaki yük"},
    {"Load changes", "Yük değişimleri"},
    {"cycle", "çevrim"},
    {"Rows", "Satırlar"},
    {"rows past the limit not kept", "sınırı aşan satır tutulmadı"},
    {"", ""}, // the lab's "no run yet"
    {"CSV files (*.csv)", "CSV dosyaları (*.csv)"},
    {"PNG image (*.png);;SVG image (*.svg);;PDF (*.pdf)", "PNG resmi (*.png);;SVG resmi (*.svg);;PDF (*.pdf)"},
    {"PDF document (*.pdf)", "PDF belgesi (*.pdf)"},
    {"Could not save", "Kaydedilemedi"},
    {"Run…", "Çalışma…"},
    {"Save run data…", "Çalışma verilerini kaydet…"},
    {"Compared runs", "Karşılaştırılan çalışmalar"},
    {"R dashed, Y solid", "R kesikli, Y düz"},
    {"Whole run", "Tüm çalışma"},
    {"R = %1 from cycle %2", "R = %1, çevrim %2'den"},
    {"Times from the reference step", "Süreler referans adımından itibaren"},
    {"load %1 from cycle %2", "yük %1, çevrim %2'den"},
    {"Times from the load change", "Süreler yük değişiminden itibaren"},
    {"Test program", "Test programı"},
    {"U limits", "U sınırları"},
    {"Save figures…", "Ölçütleri kaydet…"},
    {"CSV files (*.csv)", "CSV dosyaları (*.csv)"},
};
static_assert(std::size(kTexts) == static_cast<std::size_t>(RunWindow::Text::Count), "one text per entry");

QString pick(const Both &b, bool english)
{
    return b.in(english);
}

// Plotted points per series: runs longer than this many rows are drawn from
// buckets of rows, each giving its smallest and largest value.
constexpr std::size_t kBuckets = 1000;

// Points per drawn series piece: a line series rebuilds its outline from all
// its points whenever one changes.
constexpr int kChunk = 64;

// The window on a 1024 x 768 screen, title bar and panel included; the plot
// at least this big; a column of figures at most this wide.
constexpr QSize kInitialSize(1000, 660);
constexpr QSize kPlotMinimum(360, 240);
constexpr int kColumnMost = 150;

} // namespace

// The plot of one quantity, thinned (engine/PlotThinning), and its finished
// buckets' points as the chart takes them, added to as buckets close.
struct RunWindow::Trace {
    ThinnedTrace thinned;
    QList<QPointF> done;

    void add(double t, double v) { thinned.add(t, v); }
    void close()
    {
        thinned.close();
        const std::vector<PlotPoint> &d = thinned.done();
        for (std::size_t k = static_cast<std::size_t>(done.size()); k < d.size(); ++k)
            done.append(QPointF(d[k].t, d[k].v));
    }
    // The finished points and the open bucket's, for showing.
    QList<QPointF> points() const
    {
        QList<QPointF> out = done;
        std::vector<PlotPoint> open;
        if (!thinned.done().empty())
            open.push_back(thinned.done().back()); // what the open part follows
        thinned.appendOpen(open);
        for (std::size_t k = thinned.done().empty() ? 0 : 1; k < open.size(); ++k)
            out.append(QPointF(open[k].t, open[k].v));
        return out;
    }
};

RunWindow::RunWindow(std::shared_ptr<const RunRecord> record, QWidget *parent) : RunWindow(*record, parent)
{
    kept_ = std::move(record);
}

RunWindow::RunWindow(const RunRecord &record, QWidget *parent)
    : QWidget(parent, Qt::Window), record_(&record), tracesOwner_(new Trace[4]), traces_(tracesOwner_.get())
{
    askPath = [this](Purpose, const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };
    showError = [this](const QString &title, const QString &message) { QMessageBox::warning(this, title, message); };
    build();
    resize(kInitialSize); // before the figures, which size the table by it
    retranslate();
    reload();
}

RunWindow::~RunWindow() = default;

QKeySequence RunWindow::shortcut()
{
    return QKeySequence(Qt::CTRL | Qt::Key_R);
}

QString RunWindow::text(Text t, bool english)
{
    if (t == Text::NoRun)
        return LabTexts::noRun(english);
    if (t == Text::NotAvailable)
        return LabTexts::notAvailable(english);
    if (t == Text::ModeOpen || t == Text::ModeKit || t == Text::ModeSimulation)
        return LabTexts::modeName(t == Text::ModeOpen      ? RunMode::OpenLoop
                                      : t == Text::ModeKit ? RunMode::Kit
                                                           : RunMode::Simulation,
                                  english);
    if (t == Text::Fuzzy)
        return LabTexts::fuzzyName(english);
    if (t == Text::UnitKit || t == Text::UnitSimulation)
        return LabTexts::outputUnit(t == Text::UnitSimulation, english);
    return pick(kTexts[static_cast<std::size_t>(t)], english);
}

QString RunWindow::metricText(Metric m, bool english)
{
    return LabTexts::figure(m, english);
}

QString RunWindow::reasonText(FigureReason r, bool english)
{
    return LabTexts::reason(r, english);
}

QPushButton *RunWindow::button(Text t) const
{
    switch (t) {
    case Text::SaveData: return buttons_[0];
    case Text::SavePlot: return buttons_[1];
    case Text::CopyPlot: return buttons_[2];
    case Text::SaveReport: return buttons_[3];
    case Text::SaveFigures: return figuresButton_;
    default: return nullptr;
    }
}

void RunWindow::build()
{
    chart_ = new QChart;
    time_ = new QValueAxis;
    left_ = new QValueAxis;
    right_ = new QValueAxis;
    chart_->addAxis(time_, Qt::AlignBottom);
    chart_->addAxis(left_, Qt::AlignLeft);
    chart_->addAxis(right_, Qt::AlignRight);

    satUpper_ = new QLineSeries(this);
    satLower_ = new QLineSeries(this);
    sat_ = new QAreaSeries(satUpper_, satLower_);
    sat_->setColor(look::saturated());
    sat_->setBorderColor(Qt::transparent);

    r_ = new QLineSeries;
    y_ = new QLineSeries;
    e_ = new QLineSeries;
    u_ = new QLineSeries;
    uMin_ = new QLineSeries;
    uMax_ = new QLineSeries;
    r_->setPen(QPen(look::reference(), 1.5));
    y_->setPen(QPen(look::output(), 1.5));
    e_->setPen(QPen(look::error(), 1.2));
    u_->setPen(QPen(look::actuator(), 1.2));
    const QPen limit(look::actuatorLimit(), 1, Qt::DashLine);
    uMin_->setPen(limit);
    uMax_->setPen(limit);

    chart_->addSeries(sat_);
    sat_->attachAxis(time_);
    sat_->attachAxis(right_);
    QLineSeries *const main[4] = {r_, y_, e_, u_};
    for (int i = 0; i < 4; ++i) {
        chart_->addSeries(main[i]);
        main[i]->attachAxis(time_);
        main[i]->attachAxis(i < 3 ? left_ : right_);
        chunks_[i].push_back(main[i]);
    }
    for (QLineSeries *s : {uMin_, uMax_}) {
        chart_->addSeries(s);
        s->attachAxis(time_);
        s->attachAxis(right_);
    }
    time_->setLabelFormat(QStringLiteral("%g"));
    left_->setLabelFormat(QStringLiteral("%g"));
    right_->setLabelFormat(QStringLiteral("%g"));
    right_->setGridLineVisible(false); // one grid: the left axis's
    chart_->legend()->setAlignment(Qt::AlignBottom);
    // in the window the legend below the plots wraps (legend_); the chart's
    // own, which cuts long names short, is shown only in saved pictures
    chart_->legend()->setVisible(false);
    chart_->setMargins(QMargins(4, 4, 4, 4));

    view_ = new QChartView(chart_, this);
    // smooth lines cost a third more on every repaint of a live run; the
    // pictures saved or copied get them
    view_->setRenderHint(QPainter::Antialiasing, false);
    view_->setMinimumSize(kPlotMinimum);

    table_ = new QTableWidget(static_cast<int>(kMetricCount), 2, this);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false); // a long text ends in "…"; its tooltip has it whole
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    for (int k = 0; k < static_cast<int>(kMetricCount); ++k) {
        table_->setItem(k, 0, new QTableWidgetItem);
        table_->setItem(k, 1, new QTableWidgetItem);
    }

    auto *sidePanel = new QWidget(this);
    auto *side = new QVBoxLayout(sidePanel);
    side->setContentsMargins(0, 0, 0, 0);
    side->addWidget(table_, 1);
    for (int k = 0; k < 4; ++k) {
        buttons_[k] = new QPushButton(this);
        side->addWidget(buttons_[k]);
    }
    figuresButton_ = new QPushButton(this);
    figuresButton_->hide();
    side->addWidget(figuresButton_);
    connect(figuresButton_, &QPushButton::clicked, this, [this] {
        const QString path = askPath
            ? askPath(Purpose::Data, text(Text::SaveFigures), text(Text::FiguresFilter), suggestedPath(Purpose::Data))
            : QString();
        if (!path.isEmpty())
            report(saveComparedFigures(path));
    });
    connect(buttons_[0], &QPushButton::clicked, this, &RunWindow::onSaveData);
    connect(buttons_[1], &QPushButton::clicked, this, &RunWindow::onSavePlot);
    connect(buttons_[2], &QPushButton::clicked, this, &RunWindow::copyPlot);
    connect(buttons_[3], &QPushButton::clicked, this, &RunWindow::onSaveReport);

    // the plot and the figures side by side, the figures as wide as their
    // columns want when the window has room (fitFigures), the line between
    // them for the student to move
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    splitter_->addWidget(view_);
    splitter_->addWidget(sidePanel);
    splitter_->setStretchFactor(0, 3);
    splitter_->setStretchFactor(1, 1);
    // the run in one line above the plot and the figures
    header_ = new QLabel(this);
    header_->setWordWrap(true);
    header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    legend_ = new QLabel(this);
    legend_->setWordWrap(true);
    legend_->setTextFormat(Qt::RichText);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(header_);
    layout->addWidget(splitter_, 1);
    layout->addWidget(legend_);
}

// What the plot shown draws, each with its colour, in a line that wraps
// between entries (never inside one).
void RunWindow::refreshLegend()
{
    const QChart *chart = comparing() ? compareChart_ : chart_;
    QStringList entries;
    for (QAbstractSeries *s : chart->series()) {
        if (s->name().isEmpty() || s == uMax_) // the limits are one entry
            continue;
        QColor colour;
        if (auto *line = qobject_cast<QLineSeries *>(s))
            colour = line->pen().color();
        else if (auto *area = qobject_cast<QAreaSeries *>(s)) {
            if (saturated_.spans().empty())
                continue; // "U at a limit" once there is such a stretch
            colour = area->color();
            colour.setAlpha(255);
        }
        const QString name = s == uMin_ ? text(Text::ActuatorLimits) : s->name();
        entries << QStringLiteral("<span style='white-space:nowrap'><span style='color:%1'>■</span>&nbsp;%2</span>")
                       .arg(colour.name(), name.toHtmlEscaped());
    }
    const QString shown = entries.join(QStringLiteral(" &nbsp; "));
    if (legend_->text() != shown) // a live run's cycles mostly leave it as it is
        legend_->setText(shown);
}

QString RunWindow::legendText() const
{
    return legend_->text();
}

// The chart's own legend for a picture: the picture has no wrapping one.
class RunWindow::PictureLegend {
public:
    explicit PictureLegend(QChart *chart) : chart_(chart) { chart_->legend()->setVisible(true); }
    ~PictureLegend() { chart_->legend()->setVisible(false); }
    PictureLegend(const PictureLegend &) = delete;
    PictureLegend &operator=(const PictureLegend &) = delete;

private:
    QChart *chart_;
};

bool RunWindow::fitDue() const
{
    return fitted_ != std::pair<int, bool>(table_->columnCount(), english_);
}

void RunWindow::fitFigures()
{
    // the figure names whole (never cut), the other columns at most
    // kColumnMost wide: a long "n/a (why)" is cut short, its tooltip has it
    table_->resizeColumnsToContents();
    int wanted = 2 * table_->frameWidth() + table_->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < table_->columnCount(); ++c) {
        if (c > 0 && table_->columnCount() > 2)
            table_->setColumnWidth(c, std::min(table_->columnWidth(c), kColumnMost));
        wanted += table_->columnWidth(c);
    }
    // the line between the plot and the table is put again when the columns
    // or the language change, not at every new run: where the student moved
    // it, it stays
    if (!fitDue())
        return;
    fitted_ = {table_->columnCount(), english_};
    // the plot keeps its share; the table scrolls sideways past it
    const int room = std::max(splitter_->width(), width() - 24);
    const int plot = std::max(kPlotMinimum.width(), room * 3 / 5);
    const int side = std::max(std::min(wanted, room - plot), room / 4);
    QList<int> sizes;
    for (int k = 0; k < splitter_->count(); ++k)
        sizes << (k == splitter_->count() - 1 ? side : room - side); // the figures last
    splitter_->setSizes(sizes);
}

void RunWindow::setLanguage(bool english)
{
    if (english == english_)
        return;
    english_ = english;
    retranslate();
}

void RunWindow::retranslate()
{
    if (comparing()) {
        retranslateCompare();
        return;
    }
    header_->setText(headerLine());
    header_->setVisible(true);
    setWindowTitle(text(Text::Title) + QStringLiteral(" — ") + (label_.isEmpty() ? headerLine() : label_));
    buttons_[0]->setText(text(Text::SaveData));
    buttons_[1]->setText(text(Text::SavePlot));
    buttons_[2]->setText(text(Text::CopyPlot));
    buttons_[3]->setText(text(Text::SaveReport));
    figuresButton_->setText(text(Text::SaveFigures));
    r_->setName(text(Text::Reference));
    y_->setName(text(Text::Output));
    e_->setName(text(Text::Error));
    u_->setName(text(Text::Actuator));
    uMin_->setName(text(Text::ActuatorMin));
    uMax_->setName(text(Text::ActuatorMax));
    sat_->setName(text(Text::Saturated));
    refreshLegend();
    time_->setTitleText(text(Text::TimeAxis));
    const bool sim = record_->settings().mode == RunMode::Simulation;
    left_->setTitleText(QStringLiteral("R, Y, E (%1)").arg(text(sim ? Text::UnitSimulation : Text::UnitKit)));
    right_->setTitleText(QStringLiteral("U"));
    table_->setHorizontalHeaderLabels({text(Text::Figure), text(Text::Value)});
    for (std::size_t k = 0; k < kMetricCount; ++k)
        table_->item(static_cast<int>(k), 0)->setText(metricText(kMetrics[k].metric, english_));
    shownFigures_.fill(QString());
    shownStretches_ = 0;
    if (!comparing())
        table_->setColumnCount(2);
    refreshFigures();
}

void RunWindow::update()
{
    if (comparing())
        return; // the compared runs are finished runs
    if (record_->runNumber() != run_ || record_->size() < shown_) {
        reload();
        return;
    }
    if (record_->size() == shown_)
        return;
    if (record_->size() > kBuckets * stride_) {
        reload(); // a coarser bucket keeps the plot small
        return;
    }
    const std::size_t from = shown_;
    take(from, record_->size());
    publish(from);
}

void RunWindow::reload()
{
    run_ = record_->runNumber();
    shown_ = 0;
    stride_ = plotStride(record_->size(), kBuckets);
    for (int i = 0; i < 4; ++i) {
        traces_[i] = Trace();
        published_[i] = 0;
        while (chunks_[i].size() > 1) {
            chart_->removeSeries(chunks_[i].back());
            delete chunks_[i].back();
            chunks_[i].pop_back();
        }
    }
    saturated_.clear();
    limitsSet_ = false;
    timeMax_ = 0;

    const RunSettings &s = record_->settings();
    const double span = std::max(1, s.actuatorMax - s.actuatorMin);
    uLow_ = s.actuatorMin - 0.05 * span;
    uHigh_ = s.actuatorMax + 0.05 * span;
    right_->setRange(uLow_, uHigh_);
    look::roundTicks(right_);
    retranslate();

    take(0, record_->size());
    publish(0);
}

void RunWindow::take(std::size_t from, std::size_t to)
{
    const RunSettings &s = record_->settings();
    for (std::size_t k = from; k < to; ++k) {
        const RunRow &row = record_->row(k);
        const double t = row.time_s();
        const double values[4] = {row.reference, row.y, row.e, row.u};
        for (int i = 0; i < 4; ++i)
            traces_[i].add(t, values[i]);
        if ((k + 1) % stride_ == 0)
            for (int i = 0; i < 4; ++i)
                traces_[i].close();

        for (int i = 0; i < 3; ++i) {
            if (!limitsSet_) {
                dataLow_ = dataHigh_ = values[i];
                limitsSet_ = true;
            }
            dataLow_ = std::min(dataLow_, values[i]);
            dataHigh_ = std::max(dataHigh_, values[i]);
        }

        // stretches at a limit; gaps shorter than a bucket are bridged
        saturated_.add(static_cast<long long>(k), t, row.u <= s.actuatorMin || row.u >= s.actuatorMax, stride_);
    }
    shown_ = to;
}

void RunWindow::publish(std::size_t from)
{
    for (int i = 0; i < 4; ++i) {
        const int done = static_cast<int>(traces_[i].done.size());
        const QList<QPointF> points = traces_[i].points();
        const int n = static_cast<int>(points.size());
        // piece c draws points c K .. (c + 1) K; pieces that end before the
        // first point that changed stay as they are
        const int pieces = std::max(1, (n - 1 + kChunk - 1) / kChunk);
        while (static_cast<int>(chunks_[i].size()) < pieces)
            addChunk(i);
        const int firstChanged = std::min(published_[i], done);
        for (int c = firstChanged > 0 ? (firstChanged - 1) / kChunk : 0; c < static_cast<int>(chunks_[i].size()); ++c) {
            const int begin = c * kChunk;
            chunks_[i][static_cast<std::size_t>(c)]->replace(
                begin < n ? points.mid(begin, std::min(kChunk + 1, n - begin)) : QList<QPointF>());
        }
        published_[i] = done;
    }
    if (from == 0 || saturated_.lastSaturated() >= static_cast<long long>(from)) {
        QList<QPointF> outline;
        outline.reserve(static_cast<qsizetype>(4 * saturated_.spans().size()));
        for (const TimeSpan &span : saturated_.spans())
            outline << QPointF(span.from, uLow_) << QPointF(span.from, uHigh_) << QPointF(span.to, uHigh_)
                    << QPointF(span.to, uLow_);
        satUpper_->replace(outline);
        // "U at a limit" in the legend only once there is such a stretch
        for (QLegendMarker *m : chart_->legend()->markers(sat_))
            m->setVisible(!saturated_.spans().empty());
        refreshLegend();
    }

    const double end = shown_ ? record_->row(shown_ - 1).time_s() : 0;
    const double start = shown_ ? record_->row(0).time_s() : 0;
    satLower_->replace({QPointF(start, uLow_), QPointF(end, uLow_)});
    const RunSettings &s = record_->settings();
    uMin_->replace({QPointF(start, s.actuatorMin), QPointF(end, s.actuatorMin)});
    uMax_->replace({QPointF(start, s.actuatorMax), QPointF(end, s.actuatorMax)});

    // Axes grow in steps, so that most cycles leave them as they are.
    if (end > timeMax_ || from == 0) {
        timeMax_ = std::max(20.0, std::ceil(end * 1.25 / 10) * 10);
        time_->setRange(0, timeMax_);
        look::roundTicks(time_);
    }
    const double low = limitsSet_ ? dataLow_ : 0, high = limitsSet_ ? dataHigh_ : 1;
    if (from == 0 || low < left_->min() || high > left_->max()) {
        const double margin = 0.1 * std::max(10.0, high - low);
        left_->setRange(low - margin, high + margin);
        look::roundTicks(left_);
    }
    figuresDue();
}

QLineSeries *RunWindow::addChunk(int trace)
{
    QLineSeries *first = chunks_[trace].front();
    auto *s = new QLineSeries;
    s->setPen(first->pen());
    chart_->addSeries(s);
    s->attachAxis(time_);
    s->attachAxis(trace < 3 ? left_ : right_);
    for (QLegendMarker *m : chart_->legend()->markers(s))
        m->setVisible(false);
    chunks_[trace].push_back(s);
    return s;
}

QList<QPointF> RunWindow::plottedPoints(Series which) const
{
    QList<QPointF> out;
    for (const QLineSeries *s : chunks_[static_cast<int>(which)]) {
        const QList<QPointF> p = s->points();
        // each piece begins where the one before ended
        out.append(out.isEmpty() ? p : p.mid(1));
    }
    return out;
}

// A figure's cell: three significant digits and the unit, whole in the
// tooltip; "n/a (why)" when it cannot be had.
void RunWindow::showFigure(QTableWidgetItem *item, const Figure &fig, Metric m) const
{
    const QString value = fig.available()
        ? LabTexts::figureValue(m, fig.value, record_->settings().mode == RunMode::Simulation, english_)
        : text(Text::NotAvailable) + QStringLiteral(" (") + reasonText(fig.reason, english_) + QLatin1Char(')');
    const QString tip = fig.available() ? QString::fromStdString(shortestDecimal(fig.value)) : value;
    if (item->text() != value)
        item->setText(value);
    if (item->toolTip() != tip)
        item->setToolTip(tip);
}

void RunWindow::figuresDue()
{
    // Every figure is computed from every row: past kLiveFiguresRows rows of
    // a run still going they are brought up to date at most once a second,
    // off the cycle; a finished run's at once.
    if (!record_->running() || record_->size() <= kLiveFiguresRows) {
        refreshFigures();
        return;
    }
    if (figuresPending_)
        return;
    figuresPending_ = true;
    QTimer::singleShot(kLiveFiguresEveryMs, this, [this] {
        figuresPending_ = false;
        refreshFigures();
    });
}

void RunWindow::refreshFigures()
{
    // A run with events (a reference step, a load change): the figures of
    // each stretch between them first, then the whole run's.
    std::vector<RunRecord::StretchFigures> stretches = record_->stretchFigures();
    if (stretches.size() < 2)
        stretches.clear();
    const std::size_t count = stretches.size();
    const int whole = 1 + static_cast<int>(count);
    const bool columnsChanged = count != shownStretches_;
    if (columnsChanged) {
        shownStretches_ = count;
        table_->setColumnCount(2 + static_cast<int>(count));
    }
    const auto itemAt = [this](int row, int column) {
        QTableWidgetItem *item = table_->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            table_->setItem(row, column, item);
        }
        return item;
    };
    const auto headAt = [this](int column) {
        QTableWidgetItem *head = table_->horizontalHeaderItem(column);
        if (!head) {
            head = new QTableWidgetItem;
            table_->setHorizontalHeaderItem(column, head);
        }
        return head;
    };
    headAt(whole)->setText(count ? text(Text::WholeRun) : text(Text::Value));
    headAt(whole)->setToolTip(QString());
    const StepFigures f = record_->figures();
    for (std::size_t k = 0; k < kMetricCount; ++k) {
        const Figure &fig = f[kMetrics[k].metric];
        QTableWidgetItem *item = itemAt(static_cast<int>(k), whole);
        showFigure(item, fig, kMetrics[k].metric);
        // the report gives the figures whole
        shownFigures_[k] = fig.available() ? QString::fromStdString(shortestDecimal(fig.value)) : item->text();
    }
    for (std::size_t c = 0; c < count; ++c) {
        const int column = 1 + static_cast<int>(c);
        const RunRecord::StretchFigures &st = stretches[c];
        QTableWidgetItem *head = headAt(column);
        head->setText(stretchHead(st));
        head->setToolTip(text(st.load >= 0 ? Text::StretchLoadTip : Text::StretchTip));
        for (std::size_t k = 0; k < kMetricCount; ++k)
            showFigure(itemAt(static_cast<int>(k), column), st.figures[kMetrics[k].metric], kMetrics[k].metric);
    }
    if (columnsChanged)
        table_->horizontalHeader()->setSectionResizeMode(
            0, count ? QHeaderView::Interactive : QHeaderView::ResizeToContents);
    // the columns side by side in view, as far as the window allows
    if (columnsChanged || fitDue())
        fitFigures();
}

void RunWindow::ensureLaidOut()
{
    if (!isVisible()) {
        if (!testAttribute(Qt::WA_WState_Polished))
            ensurePolished();
        layout()->activate();
        splitter_->refresh(); // a hidden splitter sizes its widgets only when asked
    }
}

QChartView *RunWindow::shownView() const
{
    return comparing() ? compareView_ : view_;
}

// The plot for the report: drawn at a fixed page-wide size, whatever the
// window's, so that it sits under its heading on the first page.
QImage RunWindow::reportPlotImage()
{
    ensureLaidOut();
    QChart *chart = shownView()->chart();
    const PictureLegend legend(chart);
    const QSizeF shown = chart->size();
    const QSizeF page(900, 480);
    chart->resize(page);
    if (chart->layout())
        chart->layout()->activate();
    QImage image(page.toSize(), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        chart->scene()->render(&painter, QRectF(QPointF(0, 0), page), QRectF(chart->pos(), page));
    }
    chart->resize(shown);
    if (chart->layout())
        chart->layout()->activate();
    return image;
}

QImage RunWindow::plotImage()
{
    ensureLaidOut();
    QChartView *view = shownView();
    const PictureLegend legend(view->chart());
    view->setRenderHint(QPainter::Antialiasing, true);
    const QImage image = view->grab().toImage();
    view->setRenderHint(QPainter::Antialiasing, false);
    return image;
}

QByteArray RunWindow::comparedFiguresCsv() const
{
    const auto field = [](const QString &v) {
        if (!v.contains(QLatin1Char(',')) && !v.contains(QLatin1Char('"')) && !v.contains(QLatin1Char('\n')))
            return v;
        return QLatin1Char('"') + QString(v).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    };
    QStringList head{QStringLiteral("figure")};
    for (const ComparedRun &r : compared_)
        head << field(r.label);
    QString out = head.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    std::vector<StepFigures> figures;
    for (const ComparedRun &r : compared_)
        figures.push_back(r.record->figures());
    for (const MetricInfo &m : kMetrics) {
        QStringList line{QLatin1String(m.key)};
        for (const StepFigures &f : figures)
            line << (f[m.metric].available() ? QString::fromStdString(shortestDecimal(f[m.metric].value)) : QString());
        out += line.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

FileError RunWindow::saveComparedFigures(const QString &chosen)
{
    return writeFileAtomically(ExportNames::withEnding(chosen, "csv"), comparedFiguresCsv());
}

FileError RunWindow::saveData(const QString &chosen)
{
    return RunFiles::save(*record_, chosen);
}

FileError RunWindow::savePlot(const QString &chosen)
{
    QString path = chosen;
    const QString suffix = QFileInfo(path).suffix().toLower();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (suffix == QLatin1String("svg")) {
        ensureLaidOut();
        QChartView *view = shownView();
        const PictureLegend legend(view->chart());
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view->size());
        svg.setViewBox(QRect(QPoint(0, 0), view->size()));
        svg.setTitle(windowTitle());
        QPainter painter(&svg);
        painter.setRenderHint(QPainter::Antialiasing);
        view->render(&painter);
    } else if (suffix == QLatin1String("pdf")) {
        ensureLaidOut();
        QChartView *view = shownView();
        const PictureLegend legend(view->chart());
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setTitle(windowTitle());
        pdf.setCreator(QStringLiteral("Tervalo"));
        QPainter painter(&pdf);
        painter.setRenderHint(QPainter::Antialiasing);
        view->render(&painter);
    } else {
        path = ExportNames::withEnding(path, "png");
        plotImage().save(&buffer, "PNG");
    }
    return writeFileAtomically(path, buffer.data());
}

void RunWindow::copyPlot()
{
    QGuiApplication::clipboard()->setImage(plotImage());
}

namespace {

QString cell(const QString &s, bool head = false)
{
    const char *tag = head ? "th" : "td";
    return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), s.toHtmlEscaped());
}

QString numberText(double v)
{
    return std::isnan(v) ? QStringLiteral("–") : QString::fromStdString(shortestDecimal(v));
}

// A classic run's gains, one "Kp = 0.5" each, for those its law has.
QStringList gainTexts(const RunSettings &s)
{
    QStringList gains;
    const std::pair<const char *, double> all[] = {{"Kp", s.kp}, {"Ki", s.ki}, {"Kd", s.kd}};
    for (const auto &g : all)
        if (!std::isnan(g.second))
            gains << QStringLiteral("%1 = %2").arg(QLatin1String(g.first), numberText(g.second));
    return gains;
}

} // namespace

QString RunWindow::stretchHead(const RunRecord::StretchFigures &st) const
{
    return st.load >= 0
        ? text(Text::StretchLoadHead).arg(st.load).arg(st.firstCycle)
        : text(Text::StretchHead).arg(QString::fromStdString(shortestDecimal(st.reference))).arg(st.firstCycle);
}

QString RunWindow::reportHtml(const QString &plotResource)
{
    // One or two pages: the run in one line, its name and note, the plot
    // under its heading at the top of the first page, then the settings,
    // the test program, the figures (each stretch beside the whole run) and
    // a fuzzy run's rule table.
    const RunSettings &s = record_->settings();
    const bool sim = s.mode == RunMode::Simulation;
    QString h;
    h += QStringLiteral("<html><body style='font-family: sans-serif'>");
    h += QStringLiteral("<h2>%1</h2>").arg(text(Text::ReportTitle).toHtmlEscaped());
    h += QStringLiteral("<p><b>%1</b></p>").arg(headerLine().toHtmlEscaped());
    if (!note_.isEmpty())
        h += QStringLiteral("<p>%1</p>").arg(note_.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));

    // the picture's own proportions (900 x 480)
    h +=
        QStringLiteral("<h3>%1</h3><p><img src='%2' width='600' height='320'></p>").arg(text(Text::Plot), plotResource);

    h += QStringLiteral("<h3>%1</h3><table border='1' cellspacing='0' cellpadding='3'>").arg(text(Text::Settings));
    auto line = [&](Text label, const QString &value) {
        h += QStringLiteral("<tr>") + cell(text(label), true) + cell(value) + QStringLiteral("</tr>");
    };
    line(Text::Start, QString::fromStdString(utcText(s.start)));
    line(Text::Mode, LabTexts::modeName(s.mode, english_));
    if (s.mode != RunMode::OpenLoop) {
        line(Text::Controller, s.fuzzy() ? text(Text::Fuzzy) : QString::fromLatin1(runControllerName(s.controller)));
        if (s.fuzzy()) {
            line(Text::Divisors, QStringLiteral("%1, %2").arg(s.errorDivisor).arg(s.outputDivisor));
            line(Text::Ranges, QStringLiteral("%1, %2, %3").arg(s.errorRange).arg(s.deltaRange).arg(s.outputRange));
        } else {
            line(Text::Gains, gainTexts(s).join(QStringLiteral(", ")));
        }
    }
    line(Text::Reference, QString::number(s.reference));
    line(Text::Load, QString::number(s.load));
    QString rows = QString::number(record_->size());
    if (record_->truncated())
        rows += QStringLiteral(" (%1 %2)").arg(record_->droppedRows()).arg(text(Text::RowsNotKept));
    line(Text::Rows, rows);
    h += QStringLiteral("</table>");

    // the test program: each event that began a stretch of the run
    const std::vector<RunRecord::StretchFigures> stretches = record_->stretchFigures();
    if (stretches.size() > 1) {
        h += QStringLiteral("<h3>%1</h3><ul>").arg(text(Text::TestProgram));
        for (const RunRecord::StretchFigures &st : stretches)
            h += QStringLiteral("<li>%1</li>").arg(stretchHead(st).toHtmlEscaped());
        h += QStringLiteral("</ul>");
    }

    // the figures by the tables' rule; a stretch's first, then the whole run's
    const StepFigures whole = record_->figures();
    const auto valueOf = [&](const Figure &f, Metric m) {
        return f.available()
            ? LabTexts::figureValue(m, f.value, sim, english_)
            : text(Text::NotAvailable) + QStringLiteral(" (") + reasonText(f.reason, english_) + QLatin1Char(')');
    };
    h += QStringLiteral("<h3>%1</h3><table border='1' cellspacing='0' cellpadding='3'><tr>").arg(text(Text::Figures));
    h += cell(text(Text::Figure), true);
    if (stretches.size() > 1)
        for (const RunRecord::StretchFigures &st : stretches)
            h += cell(stretchHead(st), true);
    h += cell(stretches.size() > 1 ? text(Text::WholeRun) : text(Text::Value), true) + QStringLiteral("</tr>");
    for (std::size_t k = 0; k < kMetricCount; ++k) {
        const Metric m = kMetrics[k].metric;
        h += QStringLiteral("<tr>") + cell(metricText(m, english_), true);
        if (stretches.size() > 1)
            for (const RunRecord::StretchFigures &st : stretches)
                h += cell(valueOf(st.figures[m], m));
        h += cell(valueOf(whole[m], m)) + QStringLiteral("</tr>");
    }
    h += QStringLiteral("</table>");

    if (s.fuzzy()) {
        h += QStringLiteral("<h3>%1</h3><table border='1' cellspacing='0' cellpadding='4'><tr>")
                 .arg(text(Text::RuleTable));
        h += cell(text(Text::RuleCorner), true);
        for (const std::string &term : s.termNames)
            h += cell(QString::fromStdString(term), true);
        h += QStringLiteral("</tr>");
        for (int r = 0; r < FuzzyController::termCount; ++r) {
            h += QStringLiteral("<tr>") + cell(QString::fromStdString(s.termNames[static_cast<std::size_t>(r)]), true);
            for (int c = 0; c < FuzzyController::termCount; ++c)
                h += cell(QString::fromStdString(s.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))]));
            h += QStringLiteral("</tr>");
        }
        h += QStringLiteral("</table>");
    }
    h += QStringLiteral("</body></html>");
    return h;
}

QByteArray RunWindow::reportPdf()
{
    update();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setResolution(150);
        pdf.setTitle(text(Text::ReportTitle));
        pdf.setCreator(QStringLiteral("Tervalo"));
        QTextDocument doc;
        const QUrl plot(QStringLiteral("tervalo://plot.png"));
        doc.addResource(QTextDocument::ImageResource, plot, reportPlotImage());
        doc.setHtml(reportHtml(plot.toString()));
        doc.print(&pdf);
    }
    return buffer.data();
}

FileError RunWindow::saveReport(const QString &path)
{
    return writeFileAtomically(ExportNames::withEnding(path, "pdf"), reportPdf());
}

void RunWindow::report(const FileError &e)
{
    if (e && showError)
        showError(text(Text::SaveFailed), e.message());
}

QString RunWindow::suggestedPath(Purpose p) const
{
    const RunRecord &run = comparing() ? *compared_.front().record : *record_;
    const char *ending = p == Purpose::Data ? "csv" : p == Purpose::Plot ? "png" : "pdf";
    return ExportNames::runFile(ExportNames::folder(), ExportNames::naming(run.settings()), ending);
}

QString RunWindow::asked(Purpose p, Text title, Text filter)
{
    return askPath ? askPath(p, text(title), text(filter), suggestedPath(p)) : QString();
}

void RunWindow::onSaveData()
{
    const QString path = asked(Purpose::Data, Text::SaveData, Text::DataFilter);
    if (!path.isEmpty())
        report(saveData(path));
}

void RunWindow::onSavePlot()
{
    const QString path = asked(Purpose::Plot, Text::SavePlot, Text::PlotFilter);
    if (!path.isEmpty())
        report(savePlot(path));
}

void RunWindow::onSaveReport()
{
    const QString path = asked(Purpose::Report, Text::SaveReport, Text::ReportFilter);
    if (!path.isEmpty())
        report(saveReport(path));
}

// ---------------------------------------------------------------------------
// a run kept by the window, and compared runs

namespace {

// One colour a compared run, in turn.
// A compared figure to three decimals at most ("3.245", "186.3", "0"): the
// columns stay narrow enough to be read side by side; the tooltip has it whole.

const QColor kCompareColours[] = {
    QColor(200, 0, 0),    QColor(0, 0, 200),   QColor(0, 140, 0),   QColor(230, 120, 0),
    QColor(120, 60, 160), QColor(0, 150, 150), QColor(140, 80, 20), QColor(200, 0, 160),
};

} // namespace

void RunWindow::setRecord(std::shared_ptr<const RunRecord> record, const QString &label)
{
    if (!record)
        return;
    kept_ = std::move(record);
    record_ = kept_.get();
    label_ = label;
    name_.clear();
    note_.clear();
    showCompare(false);
    reload();
}

void RunWindow::setNameAndNote(const QString &name, const QString &note)
{
    name_ = name;
    note_ = note;
    retranslate();
}

QString RunWindow::headerLine() const
{
    const RunSettings &s = record_->settings();
    QStringList parts;
    parts << LabTexts::modeName(s.mode, english_);
    if (s.mode != RunMode::OpenLoop) {
        if (s.fuzzy()) {
            parts << text(Text::Fuzzy) + QStringLiteral(" ÷ %1, %2").arg(s.errorDivisor).arg(s.outputDivisor);
        } else {
            parts << (QStringList{QString::fromLatin1(runControllerName(s.controller))} + gainTexts(s))
                         .join(QLatin1Char(' '));
        }
        parts << QStringLiteral("R = %1 %2")
                     .arg(s.reference)
                     .arg(text(s.mode == RunMode::Simulation ? Text::UnitSimulation : Text::UnitKit));
    }
    if (s.start != std::chrono::system_clock::time_point{})
        parts << QDateTime::fromSecsSinceEpoch(std::chrono::system_clock::to_time_t(s.start))
                     .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!name_.isEmpty())
        parts << QStringLiteral("“%1”").arg(name_);
    return parts.join(QStringLiteral(" · "));
}

void RunWindow::relabel(const QStringList &labels, const QStringList &headings)
{
    if (comparing()) {
        for (std::size_t k = 0; k < compared_.size() && k < static_cast<std::size_t>(labels.size()); ++k) {
            compared_[k].label = labels[static_cast<qsizetype>(k)];
            compared_[k].heading = headings.value(static_cast<qsizetype>(k));
        }
    } else if (!labels.isEmpty()) {
        label_ = labels.front();
    }
    retranslate();
}

void RunWindow::buildCompare()
{
    compareChart_ = new QChart;
    compareTime_ = new QValueAxis;
    compareLeft_ = new QValueAxis;
    compareChart_->addAxis(compareTime_, Qt::AlignBottom);
    compareChart_->addAxis(compareLeft_, Qt::AlignLeft);
    compareRight_ = new QValueAxis;
    compareChart_->addAxis(compareRight_, Qt::AlignRight);
    compareRight_->setLabelFormat(QStringLiteral("%g"));
    compareRight_->setVisible(false);
    compareTime_->setLabelFormat(QStringLiteral("%g"));
    compareLeft_->setLabelFormat(QStringLiteral("%g"));
    compareChart_->legend()->setAlignment(Qt::AlignBottom);
    compareChart_->legend()->setVisible(false); // the window's legend_ wraps
    compareChart_->setMargins(QMargins(4, 4, 4, 4));
    compareView_ = new QChartView(compareChart_, this);
    compareView_->setRenderHint(QPainter::Antialiasing, false);
    compareView_->setMinimumSize(kPlotMinimum);
    compareView_->hide();
    splitter_->insertWidget(1, compareView_);
    splitter_->setStretchFactor(1, 3);
    splitter_->setStretchFactor(2, 1);
}

void RunWindow::showCompare(bool on)
{
    shownStretches_ = 0;
    if (!on) {
        compared_.clear();
        if (compareView_)
            compareView_->hide();
        view_->show();
        table_->setColumnCount(2);
        table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        table_->horizontalHeader()->setStretchLastSection(true);
        for (int k = 0; k < static_cast<int>(kMetricCount); ++k)
            table_->item(k, 1)->setToolTip(QString());
    } else {
        view_->hide();
        compareView_->show();
        header_->hide(); // the legend and the figures' headings name the runs
    }
    buttons_[0]->setEnabled(!on); // the data and the report of one run
    buttons_[3]->setEnabled(!on);
    figuresButton_->setVisible(on); // a comparison saves its figures
}

void RunWindow::compare(std::vector<ComparedRun> runs)
{
    runs.erase(std::remove_if(runs.begin(), runs.end(), [](const ComparedRun &r) { return !r.record; }), runs.end());
    if (runs.empty())
        return;
    if (!compareChart_)
        buildCompare();
    for (QLineSeries *s : compareOutputs_)
        compareChart_->removeSeries(s);
    for (QLineSeries *s : compareReferences_)
        compareChart_->removeSeries(s);
    qDeleteAll(compareOutputs_);
    qDeleteAll(compareReferences_);
    compareOutputs_.clear();
    compareReferences_.clear();
    compared_ = std::move(runs);

    // Each run thinned as the single plot is: a bucket of rows gives its
    // smallest and largest value, so that a peak between pixels still shows.
    // Runs in volts beside runs in rpm go on an axis of their own.
    const bool mixed = mixedUnits(compared_);
    struct Span {
        double low = 0, high = 1;
        bool any = false;
    } spans[2];
    double end = 0;
    for (std::size_t k = 0; k < compared_.size(); ++k) {
        const RunRecord &r = *compared_[k].record;
        const bool right = mixed && r.settings().mode == RunMode::Simulation;
        Span &span = spans[right ? 1 : 0];
        const std::size_t stride = plotStride(r.size(), kBuckets);
        Trace reference, output;
        for (std::size_t i = 0; i < r.size(); ++i) {
            const RunRow &row = r.row(i);
            const double t = row.time_s();
            reference.add(t, row.reference);
            output.add(t, row.y);
            if ((i + 1) % stride == 0) {
                reference.close();
                output.close();
            }
            for (double v : {row.reference, row.y}) {
                span.low = span.any ? std::min(span.low, v) : v;
                span.high = span.any ? std::max(span.high, v) : v;
                span.any = true;
            }
            end = std::max(end, t);
        }
        const QList<QPointF> rPoints = reference.points(), yPoints = output.points();

        const QColor colour = kCompareColours[k % std::size(kCompareColours)];
        auto *y = new QLineSeries;
        y->setPen(QPen(colour, 1.5));
        y->replace(yPoints);
        auto *ref = new QLineSeries;
        ref->setPen(QPen(colour, 1, Qt::DashLine));
        ref->replace(rPoints);
        for (QLineSeries *s : {y, ref}) {
            compareChart_->addSeries(s);
            s->attachAxis(compareTime_);
            s->attachAxis(right ? compareRight_ : compareLeft_);
        }
        for (QLegendMarker *m : compareChart_->legend()->markers(ref))
            m->setVisible(false);
        compareOutputs_.push_back(y);
        compareReferences_.push_back(ref);
    }
    compareTime_->setRange(0, std::max(20.0, std::ceil(end * 1.05 / 10) * 10));
    look::roundTicks(compareTime_);
    QValueAxis *const axes[2] = {compareLeft_, compareRight_};
    for (int a = 0; a < 2; ++a) {
        const double margin = 0.1 * std::max(10.0, spans[a].high - spans[a].low);
        axes[a]->setRange(spans[a].low - margin, spans[a].high + margin);
        look::roundTicks(axes[a]);
    }
    compareRight_->setVisible(mixed);

    showCompare(true);
    const int columns = 1 + static_cast<int>(compared_.size());
    table_->setColumnCount(columns);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    for (int k = 0; k < static_cast<int>(kMetricCount); ++k)
        for (int c = 1; c < columns; ++c)
            if (!table_->item(k, c))
                table_->setItem(k, c, new QTableWidgetItem);
    for (std::size_t c = 0; c < compared_.size(); ++c) {
        const StepFigures f = compared_[c].record->figures();
        for (std::size_t k = 0; k < kMetricCount; ++k) {
            const Figure &fig = f[kMetrics[k].metric];
            table_->item(static_cast<int>(k), static_cast<int>(c) + 1)
                ->setData(Qt::UserRole, fig.available() ? QVariant(fig.value) : QVariant());
        }
    }
    retranslate();
}

void RunWindow::retranslateCompare()
{
    setWindowTitle(text(Text::CompareTitle));
    buttons_[0]->setText(text(Text::SaveData));
    buttons_[1]->setText(text(Text::SavePlot));
    buttons_[2]->setText(text(Text::CopyPlot));
    buttons_[3]->setText(text(Text::SaveReport));
    figuresButton_->setText(text(Text::SaveFigures));
    QStringList header{text(Text::Figure)};
    for (std::size_t k = 0; k < compared_.size(); ++k) {
        const ComparedRun &run = compared_[k];
        header << (run.heading.isEmpty() ? run.label : run.heading);
        compareOutputs_[k]->setName(run.label);
    }
    refreshLegend();
    table_->setHorizontalHeaderLabels(header);
    for (std::size_t k = 0; k < compared_.size(); ++k) {
        QTableWidgetItem *head = table_->horizontalHeaderItem(static_cast<int>(k) + 1);
        head->setToolTip(compared_[k].label);
        head->setForeground(kCompareColours[k % std::size(kCompareColours)]); // its trace's colour
    }
    for (int k = 0; k < static_cast<int>(kMetricCount); ++k) {
        table_->item(k, 0)->setText(metricText(kMetrics[static_cast<std::size_t>(k)].metric, english_));
        for (int c = 1; c < table_->columnCount(); ++c) {
            QTableWidgetItem *item = table_->item(k, c);
            const QVariant v = item->data(Qt::UserRole);
            const bool sim = compared_[static_cast<std::size_t>(c - 1)].record->settings().mode == RunMode::Simulation;
            item->setText(v.isNull() ? text(Text::NotAvailable)
                                     : LabTexts::figureValue(kMetrics[static_cast<std::size_t>(k)].metric, v.toDouble(),
                                                             sim, english_));
            item->setToolTip(v.isNull() ? QString() : QString::fromStdString(shortestDecimal(v.toDouble())));
        }
    }
    // the columns side by side in view, as far as the window allows
    fitFigures();
    compareTime_->setTitleText(text(Text::TimeAxis));
    // mixed: the kit's runs on the left, the simulated ones on the right
    const bool sim = !mixedUnits(compared_) && compared_.front().record->settings().mode == RunMode::Simulation;
    compareLeft_->setTitleText(
        QStringLiteral("%1 (%2)").arg(text(Text::CompareAxis), text(sim ? Text::UnitSimulation : Text::UnitKit)));
    compareRight_->setTitleText(QStringLiteral("%1 (%2)").arg(text(Text::CompareAxis), text(Text::UnitSimulation)));
}

bool RunWindow::mixedUnits(const std::vector<ComparedRun> &runs)
{
    bool kit = false, simulation = false;
    for (const ComparedRun &r : runs)
        (r.record->settings().mode == RunMode::Simulation ? simulation : kit) = true;
    return kit && simulation;
}

QStringList RunWindow::legendNames() const
{
    QStringList out;
    const QChart *chart = comparing() ? compareChart_ : chart_;
    // the pieces after a quantity's first and the compared references carry
    // no name and no marker
    for (QLegendMarker *m : chart->legend()->markers())
        if (!m->label().isEmpty())
            out << m->label();
    return out;
}

QList<QPointF> RunWindow::comparedPoints(std::size_t k) const
{
    return k < compareOutputs_.size() ? compareOutputs_[k]->points() : QList<QPointF>();
}

} // namespace tervalo
