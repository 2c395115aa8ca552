#include "ui/windows/RunWindow.h"

#include "engine/FuzzyController.h"
#include "fileio/AtomicFile.h"
#include "store/ExportNames.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TextPair.h"

#include <QAreaSeries>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
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
    {"Run", "Deney"},
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
    {"rpm", "d/dk"},
    {"Volt", "Volt"},
    {"Figure", "Ölçüt"},
    {"Value", "Değer"},
    {"", ""}, // the lab's "not available"
    {"Tervalo run report", "Tervalo deney raporu"},
    {"Settings", "Ayarlar"},
    {"Figures", "Ölçütler"},
    {"Plot", "Grafik"},
    {"Rule table", "Kural tablosu"},
    {"error \\ change", "hata \\ değişim"},
    {"Start (UTC)", "Başlangıç (UTC)"},
    {"Mode", "Çalışma biçimi"},
    {"Open Loop", "Denetimsiz"},
    {"Feedback Implementation", "Kapalı Çevrim"},
    {"Feedback Simulation", "Simulasyon"},
    {"Controller", "Denetleyici"},
    {"Fuzzy Logic", "Bulanık Mantık"},
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
    {"PNG image (*.png);;SVG image (*.svg)", "PNG resmi (*.png);;SVG resmi (*.svg)"},
    {"PDF document (*.pdf)", "PDF belgesi (*.pdf)"},
    {"Could not save", "Kaydedilemedi"},
    {"Run…", "Deney…"},
    {"Save run data…", "Deney verilerini kaydet…"},
    {"Compared runs", "Karşılaştırılan deneyler"},
    {"R dashed, Y solid", "R kesikli, Y düz"},
    {"Whole run", "Tüm deney"},
    {"R = %1 from cycle %2", "R = %1, çevrim %2'den"},
    {"Times from the reference step", "Süreler referans adımından itibaren"},
    {"load %1 from cycle %2", "yük %1, çevrim %2'den"},
    {"Times from the load change", "Süreler yük değişiminden itibaren"},
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

constexpr double kHalfCycle = 0.5 / kCyclesPerSecond;

// The window on a 1024 x 768 screen, title bar and panel included; the plot
// at least this big; a column of figures at most this wide.
constexpr QSize kInitialSize(1000, 660);
constexpr QSize kPlotMinimum(360, 240);
constexpr int kColumnMost = 150;

} // namespace

// The plot of one quantity, thinned into buckets of `stride` rows: each
// bucket gives its smallest and largest point in time order, and the open
// (last) bucket its last point too, so the trace reaches the newest row.
struct RunWindow::Trace {
    QList<QPointF> done; // points of the finished buckets
    QPointF low, high, last;
    bool open = false;

    void add(double t, double v)
    {
        last = QPointF(t, v);
        if (!open) {
            low = high = last;
            open = true;
        } else if (v < low.y()) {
            low = last;
        } else if (v > high.y()) {
            high = last;
        }
    }
    void appendBucket(QList<QPointF> &out, bool withLast) const
    {
        if (!open)
            return;
        QPointF p[3] = {low, high, last};
        const int n = withLast ? 3 : 2;
        std::sort(p, p + n, [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
        for (int k = 0; k < n; ++k)
            if (k == 0 || p[k].x() != p[k - 1].x())
                out.append(p[k]);
    }
    // The open bucket's points, for showing; with no open bucket the newest
    // point when its closed bucket left it out.
    void appendOpen(QList<QPointF> &out) const
    {
        if (open)
            appendBucket(out, true);
        else if (!out.isEmpty() && last.x() > out.back().x())
            out.append(last);
    }
    void close()
    {
        appendBucket(done, false);
        open = false;
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
    sat_->setColor(QColor(255, 170, 0, 60));
    sat_->setBorderColor(Qt::transparent);

    r_ = new QLineSeries;
    y_ = new QLineSeries;
    e_ = new QLineSeries;
    u_ = new QLineSeries;
    uMin_ = new QLineSeries;
    uMax_ = new QLineSeries;
    r_->setPen(QPen(QColor(0, 0, 200), 1.5));
    y_->setPen(QPen(QColor(200, 0, 0), 1.5));
    e_->setPen(QPen(QColor(0, 140, 0), 1.2));
    u_->setPen(QPen(QColor(120, 60, 160), 1.2));
    const QPen limit(QColor(120, 60, 160), 1, Qt::DashLine);
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
    chart_->legend()->setAlignment(Qt::AlignBottom);
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
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(splitter_);
}

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
    setWindowTitle(label_.isEmpty() ? text(Text::Title) : text(Text::Title) + QStringLiteral(" — ") + label_);
    buttons_[0]->setText(text(Text::SaveData));
    buttons_[1]->setText(text(Text::SavePlot));
    buttons_[2]->setText(text(Text::CopyPlot));
    buttons_[3]->setText(text(Text::SaveReport));
    r_->setName(text(Text::Reference));
    y_->setName(text(Text::Output));
    e_->setName(text(Text::Error));
    u_->setName(text(Text::Actuator));
    uMin_->setName(text(Text::ActuatorMin));
    uMax_->setName(text(Text::ActuatorMax));
    sat_->setName(text(Text::Saturated));
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
    stride_ = 1;
    while (record_->size() > kBuckets * stride_)
        stride_ *= 2;
    for (int i = 0; i < 4; ++i) {
        traces_[i] = Trace();
        published_[i] = 0;
        while (chunks_[i].size() > 1) {
            chart_->removeSeries(chunks_[i].back());
            delete chunks_[i].back();
            chunks_[i].pop_back();
        }
    }
    satPoints_.clear();
    lastSaturated_ = -1;
    limitsSet_ = false;
    timeMax_ = 0;

    const RunSettings &s = record_->settings();
    const double span = std::max(1, s.actuatorMax - s.actuatorMin);
    uLow_ = s.actuatorMin - 0.05 * span;
    uHigh_ = s.actuatorMax + 0.05 * span;
    right_->setRange(uLow_, uHigh_);
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
        if (row.u <= s.actuatorMin || row.u >= s.actuatorMax) {
            const auto kk = static_cast<long long>(k);
            if (lastSaturated_ >= 0 && kk - lastSaturated_ <= static_cast<long long>(stride_)) {
                const int n = static_cast<int>(satPoints_.size());
                satPoints_[n - 2] = QPointF(t + kHalfCycle, uHigh_);
                satPoints_[n - 1] = QPointF(t + kHalfCycle, uLow_);
            } else {
                satPoints_ << QPointF(t - kHalfCycle, uLow_) << QPointF(t - kHalfCycle, uHigh_)
                           << QPointF(t + kHalfCycle, uHigh_) << QPointF(t + kHalfCycle, uLow_);
            }
            lastSaturated_ = kk;
        }
    }
    shown_ = to;
}

void RunWindow::publish(std::size_t from)
{
    for (int i = 0; i < 4; ++i) {
        QList<QPointF> points = traces_[i].done;
        const int done = static_cast<int>(points.size());
        traces_[i].appendOpen(points);
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
    if (from == 0 || lastSaturated_ >= static_cast<long long>(from))
        satUpper_->replace(satPoints_);

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
    }
    const double low = limitsSet_ ? dataLow_ : 0, high = limitsSet_ ? dataHigh_ : 1;
    if (from == 0 || low < left_->min() || high > left_->max()) {
        const double margin = 0.1 * std::max(10.0, high - low);
        left_->setRange(low - margin, high + margin);
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

namespace {
QString comparedFigureText(double v);
} // namespace

// A figure's cell: the value to three decimals at most, whole in the
// tooltip; "n/a (why)" when it cannot be had.
void RunWindow::showFigure(QTableWidgetItem *item, const Figure &fig) const
{
    const QString value = fig.available()
        ? comparedFigureText(fig.value)
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
        showFigure(item, fig);
        // the report gives the figures whole
        shownFigures_[k] = fig.available() ? QString::fromStdString(shortestDecimal(fig.value)) : item->text();
    }
    for (std::size_t c = 0; c < count; ++c) {
        const int column = 1 + static_cast<int>(c);
        const RunRecord::StretchFigures &st = stretches[c];
        QTableWidgetItem *head = headAt(column);
        if (st.load >= 0) {
            head->setText(text(Text::StretchLoadHead).arg(st.load).arg(st.firstCycle));
            head->setToolTip(text(Text::StretchLoadTip));
        } else {
            head->setText(
                text(Text::StretchHead).arg(QString::fromStdString(shortestDecimal(st.reference))).arg(st.firstCycle));
            head->setToolTip(text(Text::StretchTip));
        }
        for (std::size_t k = 0; k < kMetricCount; ++k)
            showFigure(itemAt(static_cast<int>(k), column), st.figures[kMetrics[k].metric]);
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

QImage RunWindow::plotImage()
{
    ensureLaidOut();
    QChartView *view = shownView();
    view->setRenderHint(QPainter::Antialiasing, true);
    const QImage image = view->grab().toImage();
    view->setRenderHint(QPainter::Antialiasing, false);
    return image;
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
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view->size());
        svg.setViewBox(QRect(QPoint(0, 0), view->size()));
        svg.setTitle(windowTitle());
        QPainter painter(&svg);
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

} // namespace

QString RunWindow::reportHtml(const QString &plotResource)
{
    const RunSettings &s = record_->settings();
    QString h;
    h += QStringLiteral("<html><body style='font-family: sans-serif'>");
    h += QStringLiteral("<h2>%1</h2>").arg(text(Text::ReportTitle).toHtmlEscaped());

    h += QStringLiteral("<h3>%1</h3><table border='1' cellspacing='0' cellpadding='3'>").arg(text(Text::Settings));
    auto line = [&](Text label, const QString &value) {
        h += QStringLiteral("<tr>") + cell(text(label), true) + cell(value) + QStringLiteral("</tr>");
    };
    line(Text::Start, QString::fromStdString(utcText(s.start)));
    const Text mode = s.mode == RunMode::OpenLoop ? Text::ModeOpen
        : s.mode == RunMode::Kit                  ? Text::ModeKit
                                                  : Text::ModeSimulation;
    line(Text::Mode, text(mode));
    if (s.mode != RunMode::OpenLoop) {
        line(Text::Controller, s.fuzzy() ? text(Text::Fuzzy) : QString::fromLatin1(runControllerName(s.controller)));
        if (s.fuzzy()) {
            line(Text::Divisors, QStringLiteral("%1, %2").arg(s.errorDivisor).arg(s.outputDivisor));
            line(Text::Ranges, QStringLiteral("%1, %2, %3").arg(s.errorRange).arg(s.deltaRange).arg(s.outputRange));
        } else {
            QStringList gains;
            const std::pair<const char *, double> all[] = {{"Kp", s.kp}, {"Ki", s.ki}, {"Kd", s.kd}};
            for (const auto &g : all)
                if (!std::isnan(g.second))
                    gains << QStringLiteral("%1 = %2").arg(QLatin1String(g.first), numberText(g.second));
            line(Text::Gains, gains.join(QStringLiteral(", ")));
        }
    }
    line(Text::Reference, QString::number(s.reference));
    line(Text::Load, QString::number(s.load));
    if (!s.loadChanges.empty()) {
        QStringList changes;
        for (const LoadChange &c : s.loadChanges)
            changes << QStringLiteral("%1 %2: %3 → %4").arg(text(Text::Cycle)).arg(c.cycle).arg(c.from).arg(c.to);
        line(Text::LoadChanges, changes.join(QStringLiteral("; ")));
    }
    QString rows = QString::number(record_->size());
    if (record_->truncated())
        rows += QStringLiteral(" (%1 %2)").arg(record_->droppedRows()).arg(text(Text::RowsNotKept));
    line(Text::Rows, rows);
    h += QStringLiteral("</table>");

    h += QStringLiteral("<h3>%1</h3><table border='1' cellspacing='0' cellpadding='3'>").arg(text(Text::Figures));
    for (std::size_t k = 0; k < kMetricCount; ++k)
        h += QStringLiteral("<tr>") + cell(metricText(kMetrics[k].metric, english_), true) + cell(shownFigures_[k])
            + QStringLiteral("</tr>");
    h += QStringLiteral("</table>");

    h += QStringLiteral("<h3>%1</h3><img src='%2' width='640'>").arg(text(Text::Plot), plotResource);

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
        doc.addResource(QTextDocument::ImageResource, plot, plotImage());
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
QString comparedFigureText(double v)
{
    QString t = QString::number(v, 'f', 3);
    while (t.endsWith(QLatin1Char('0')))
        t.chop(1);
    if (t.endsWith(QLatin1Char('.')))
        t.chop(1);
    return t == QLatin1String("-0") ? QStringLiteral("0") : t;
}

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
    showCompare(false);
    reload();
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
    compareTime_->setLabelFormat(QStringLiteral("%g"));
    compareLeft_->setLabelFormat(QStringLiteral("%g"));
    compareChart_->legend()->setAlignment(Qt::AlignBottom);
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
    }
    buttons_[0]->setEnabled(!on); // the data and the report of one run
    buttons_[3]->setEnabled(!on);
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
    double low = 0, high = 1, end = 0;
    bool any = false;
    for (std::size_t k = 0; k < compared_.size(); ++k) {
        const RunRecord &r = *compared_[k].record;
        std::size_t stride = 1;
        while (r.size() > kBuckets * stride)
            stride *= 2;
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
                low = any ? std::min(low, v) : v;
                high = any ? std::max(high, v) : v;
                any = true;
            }
            end = std::max(end, t);
        }
        QList<QPointF> rPoints = reference.done, yPoints = output.done;
        reference.appendOpen(rPoints);
        output.appendOpen(yPoints);

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
            s->attachAxis(compareLeft_);
        }
        for (QLegendMarker *m : compareChart_->legend()->markers(ref))
            m->setVisible(false);
        compareOutputs_.push_back(y);
        compareReferences_.push_back(ref);
    }
    compareTime_->setRange(0, std::max(20.0, std::ceil(end * 1.05 / 10) * 10));
    const double margin = 0.1 * std::max(10.0, high - low);
    compareLeft_->setRange(low - margin, high + margin);

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
    QStringList header{text(Text::Figure)};
    for (std::size_t k = 0; k < compared_.size(); ++k) {
        const ComparedRun &run = compared_[k];
        header << (run.heading.isEmpty() ? run.label : run.heading);
        compareOutputs_[k]->setName(run.label);
    }
    table_->setHorizontalHeaderLabels(header);
    for (std::size_t k = 0; k < compared_.size(); ++k)
        table_->horizontalHeaderItem(static_cast<int>(k) + 1)->setToolTip(compared_[k].label);
    for (int k = 0; k < static_cast<int>(kMetricCount); ++k) {
        table_->item(k, 0)->setText(metricText(kMetrics[static_cast<std::size_t>(k)].metric, english_));
        for (int c = 1; c < table_->columnCount(); ++c) {
            QTableWidgetItem *item = table_->item(k, c);
            const QVariant v = item->data(Qt::UserRole);
            item->setText(v.isNull() ? text(Text::NotAvailable) : comparedFigureText(v.toDouble()));
            item->setToolTip(v.isNull() ? QString() : QString::fromStdString(shortestDecimal(v.toDouble())));
        }
    }
    // the columns side by side in view, as far as the window allows
    fitFigures();
    compareTime_->setTitleText(text(Text::TimeAxis));
    const bool sim = compared_.front().record->settings().mode == RunMode::Simulation;
    compareLeft_->setTitleText(
        QStringLiteral("%1 (%2)").arg(text(Text::CompareAxis), text(sim ? Text::UnitSimulation : Text::UnitKit)));
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
