#include "ui/windows/ClassWindow.h"

#include "fileio/AtomicFile.h"
#include "ui/models/ClassRunsModel.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/RunWindow.h"

#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QSortFilterProxyModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <cmath>
#include <set>

namespace tervalo {

namespace {

constexpr TextPair kTexts[static_cast<int>(ClassWindow::Text::Count)] = {
    {"Class", "Sınıf"},
    {"Signed in as %1 (instructor): every student's runs",
     "%1 olarak bağlı (öğretim elemanı): bütün öğrencilerin çalışmaları"},
    {"Signed in as %1: only your own runs", "%1 olarak bağlı: yalnız kendi çalışmalarınız"},
    {"Filter:", "Süz:"},
    {"Experiment:", "Deney dosyası:"},
    {"(all)", "(hepsi)"},
    {"Figure:", "Ölçüt:"},
    {"Runs", "Çalışmalar"},
    {"Spread", "Dağılım"},
    {"Students", "Öğrenciler"},
    {"Kits", "Düzenekler"},
    {"Compare selected", "Seçilenleri karşılaştır"},
    {"Export CSV…", "CSV olarak kaydet…"},
    {"%1 of %2 runs", "%1 / %2 çalışma"},
    {"your baseline", "sizin referans çalışmanız"},
    {"outliers", "aykırı değerler"},
    {"Tries", "Deneme"},
    {"Sittings", "Oturum"},
    {"Time on task (min)", "Çalışma süresi (dk)"},
    {"First", "İlk"},
    {"Last", "Son"},
    {"Kit", "Düzenek"},
    {"Date", "Tarih"},
    {"Gain K (rpm per unit)", "Kazanç K (birim başına d/dk)"},
    {"Time constant τ (s)", "Zaman sabiti τ (s)"},
    {"K from the first", "K, ilkine göre"},
    {"τ from the first", "τ, ilkine göre"},
    {"drifting", "kayıyor"},
    {"No bump tests have reached the class server yet.", "Sınıf sunucusunda henüz basamak testi yok."},
    {"CSV files (*.csv)", "CSV dosyaları (*.csv)"},
    {"Class runs compared", "Sınıf çalışmaları karşılaştırması"},
    {"Türkçe", "English"},
    {"(no experiment file)", "(deney dosyası yok)"},
};

double startSeconds(const ClassRunLine &l)
{
    const QDateTime t = QDateTime::fromString(l.startUtc, Qt::ISODateWithMs);
    return t.isValid() ? static_cast<double>(t.toMSecsSinceEpoch()) / 1000.0 : 0.0;
}

// A run of the window's login that names no student (or the login itself)
// is the instructor's own: the baseline, not one of the class's.
bool isOwn(const ClassRunLine &l, const QString &login)
{
    return l.owner == login && (l.context.student.isEmpty() || l.context.student == login);
}

// A time in seconds since the epoch as the tables show it (local time).
QString when(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(seconds * 1000))
        .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool isBumpTest(const ClassRunLine &l)
{
    return l.context.kind == QLatin1String("bump_test");
}

QString percent(double share)
{
    return QStringLiteral("%1%2 %").arg(share > 0 ? QStringLiteral("+") : QString()).arg(100 * share, 0, 'f', 1);
}

} // namespace

QString ClassWindow::text(Text t, bool english)
{
    return kTexts[static_cast<int>(t)].in(english);
}

ClassWindow::ClassWindow(std::vector<ClassRunLine> runs, Loader loader, QString login, bool instructor, QWidget *parent)
    : QWidget(parent), model_(std::make_unique<ClassRunsModel>()), loader_(std::move(loader)), login_(std::move(login)),
      instructor_(instructor)
{
    model_->setRuns(std::move(runs));
    build();
    retranslate();
}

ClassWindow::~ClassWindow() = default;

std::unique_ptr<ClassWindow> ClassWindow::openOn(const ClassServerAddress &address,
                                                 const std::function<std::optional<QString>()> &askPassword,
                                                 QString *why)
{
    auto server = std::make_unique<ClassServer>(address);
    std::optional<std::vector<ClassRunLine>> runs = server->runs();
    // no password, or a wrong one from the environment or ~/.pgpass: ask
    const auto wantsPassword = [](const ClassServerError &e) {
        return e.kind == ClassServerError::Kind::NoPassword
            || e.reason.contains(QLatin1String("password authentication failed"));
    };
    if (!runs && wantsPassword(server->error()) && askPassword) {
        const std::optional<QString> password = askPassword();
        if (password) {
            server = std::make_unique<ClassServer>(address, *password);
            runs = server->runs();
        }
    }
    const std::optional<ClassServer::Role> role = runs ? server->role() : std::nullopt;
    if (!runs || !role) {
        if (why)
            *why = server->error().message();
        return nullptr;
    }
    ClassServer *s = server.get();
    auto w = std::make_unique<ClassWindow>(
        std::move(*runs), [s](const QString &uuid) { return s->load(uuid); }, role->login, role->instructor);
    w->server_ = std::move(server);
    return w;
}

void ClassWindow::build()
{
    setWindowFlag(Qt::Window);
    resize(1000, 680);
    auto *top = new QVBoxLayout(this);
    who_ = new QLabel(this);
    top->addWidget(who_);

    auto *bar = new QHBoxLayout;
    filterLabel_ = new QLabel(this);
    filter_ = new QLineEdit(this);
    filter_->setClearButtonEnabled(true);
    experimentLabel_ = new QLabel(this);
    experimentBox_ = new QComboBox(this);
    experimentBox_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    figureLabel_ = new QLabel(this);
    figureBox_ = new QComboBox(this);
    compareButton_ = new QPushButton(this);
    exportButton_ = new QPushButton(this);
    languageButton_ = new QPushButton(this);
    for (QWidget *w :
         std::initializer_list<QWidget *>{filterLabel_, filter_, experimentLabel_, experimentBox_, figureLabel_,
                                          figureBox_, compareButton_, exportButton_, languageButton_})
        bar->addWidget(w);
    bar->setStretchFactor(filter_, 1);
    top->addLayout(bar);

    tabs_ = new QTabWidget(this);
    table_ = new QTableView(this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_.get());
    proxy_->setSortRole(ClassRunsModel::SortRole);
    proxy_->setFilterKeyColumn(-1);
    proxy_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    table_->setModel(proxy_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(ClassRunsModel::Start, Qt::AscendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setResizeContentsPrecision(200); // the first rows, not all 10,000
    tabs_->addTab(table_, QString());

    chart_ = new QChart;
    chartView_ = new QChartView(chart_, this);
    chartView_->setRenderHint(QPainter::Antialiasing);
    tabs_->addTab(chartView_, QString());
    students_ = new QTableWidget(this);
    students_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    students_->verticalHeader()->hide();
    students_->setSortingEnabled(true);
    tabs_->addTab(students_, QString());
    kitTable_ = new QTableWidget(this);
    kitTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    kitTable_->verticalHeader()->hide();
    tabs_->addTab(kitTable_, QString());
    top->addWidget(tabs_, 1);
    shown_ = new QLabel(this);
    top->addWidget(shown_);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString &t) { setFilter(t); });
    connect(experimentBox_, &QComboBox::activated, this,
            [this](int i) { setExperiment(experimentBox_->itemData(i).toString()); });
    connect(figureBox_, &QComboBox::activated, this,
            [this](int i) { setFigure(kMetrics[static_cast<std::size_t>(figureBox_->itemData(i).toInt())].metric); });
    connect(languageButton_, &QPushButton::clicked, this, [this] { setLanguage(!english_); });
    connect(compareButton_, &QPushButton::clicked, this, [this] { compareSelected(); });
    connect(exportButton_, &QPushButton::clicked, this, [this] {
        if (!askSavePath)
            return;
        const QString path = askSavePath(QStringLiteral("class-runs.csv"));
        QString why;
        if (!path.isEmpty() && !exportCsv(path, &why) && showError)
            showError(why);
    });
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int i) {
        if (tabs_->widget(i) == kitTable_)
            refreshKits();
    });
}

void ClassWindow::retranslate()
{
    setWindowTitle(text(Text::Title, english_) + QStringLiteral(" — Tervalo"));
    who_->setText(text(instructor_ ? Text::Signed : Text::SignedStudent, english_).arg(login_));
    filterLabel_->setText(text(Text::Filter, english_));
    experimentLabel_->setText(text(Text::Experiment, english_));
    figureLabel_->setText(text(Text::Figure, english_));
    compareButton_->setText(text(Text::Compare, english_));
    exportButton_->setText(text(Text::ExportCsv, english_));
    languageButton_->setText(text(Text::OtherLanguage, english_));
    tabs_->setTabText(0, text(Text::RunsTab, english_));
    tabs_->setTabText(1, text(Text::SpreadTab, english_));
    tabs_->setTabText(2, text(Text::StudentsTab, english_));
    tabs_->setTabText(3, text(Text::KitsTab, english_));
    model_->setLanguage(english_);

    experimentBox_->clear();
    experimentBox_->addItem(text(Text::AllExperiments, english_), QString());
    for (const QString &e : experiments())
        experimentBox_->addItem(e.isEmpty() ? text(Text::NoExperiment, english_) : e, e);
    experimentBox_->setCurrentIndex(std::max(0, experimentBox_->findData(experiment_)));
    figureBox_->clear();
    for (std::size_t k = 0; k < kMetricCount; ++k)
        figureBox_->addItem(LabTexts::figure(kMetrics[k].metric, english_), static_cast<int>(k));
    for (std::size_t k = 0; k < kMetricCount; ++k)
        if (kMetrics[k].metric == figure_)
            figureBox_->setCurrentIndex(static_cast<int>(k));
    setFilter(filter_->text());
    table_->resizeColumnsToContents();
    refreshSpread();
    refreshStudents();
    if (kits_)
        refreshKits();
}

void ClassWindow::setLanguage(bool english)
{
    english_ = english;
    retranslate();
    if (compare_)
        compare_->setLanguage(english);
}

void ClassWindow::setFilter(const QString &t)
{
    if (filter_->text() != t)
        filter_->setText(t);
    proxy_->setFilterFixedString(t);
    shown_->setText(text(Text::Shown, english_).arg(proxy_->rowCount()).arg(model_->rowCount()));
}

void ClassWindow::setExperiment(const QString &experiment)
{
    experiment_ = experiment;
    const int i = experimentBox_->findData(experiment);
    if (i >= 0)
        experimentBox_->setCurrentIndex(i);
    refreshStudents();
}

void ClassWindow::setFigure(Metric m)
{
    figure_ = m;
    refreshSpread();
}

QStringList ClassWindow::experiments() const
{
    std::set<QString> names;
    for (const ClassRunLine &l : model_->runs())
        if (!isBumpTest(l))
            names.insert(l.context.experiment);
    return QStringList(names.begin(), names.end());
}

std::vector<const ClassRunLine *> ClassWindow::runsOf(const QString &experiment) const
{
    std::vector<const ClassRunLine *> out;
    for (const ClassRunLine &l : model_->runs())
        if (!isBumpTest(l) && (experiment.isEmpty() || l.context.experiment == experiment))
            out.push_back(&l);
    return out;
}

ClassWindow::Spread ClassWindow::spreadOf(const QString &experiment) const
{
    const auto k = static_cast<std::size_t>(figure_); // the figures are in the order of Metric
    Spread s;
    for (const ClassRunLine *l : runsOf(experiment)) {
        if (isOwn(*l, login_)) { // the instructor's own runs are the baseline, not the class
            if (std::isfinite(l->figures[k]))
                s.mine = l; // the latest, by start
            continue;
        }
        s.runs.push_back(l);
        s.values.push_back(l->figures[k]);
    }
    s.box = boxStats(s.values);
    return s;
}

std::map<QString, BoxStats> ClassWindow::spread() const
{
    std::map<QString, BoxStats> out;
    for (const QString &e : experiments())
        out[e] = spreadOf(e).box;
    return out;
}

void ClassWindow::refreshSpread()
{
    chart_->removeAllSeries();
    for (QAbstractAxis *axis : chart_->axes()) {
        chart_->removeAxis(axis); // the axis is ours again
        delete axis;
    }
    const auto k = static_cast<std::size_t>(figure_);
    chart_->setTitle(LabTexts::figure(figure_, english_));
    auto *boxes = new QBoxPlotSeries;
    boxes->setName(LabTexts::figure(figure_, english_));
    auto *outliers = new QScatterSeries;
    outliers->setName(text(Text::Outliers, english_));
    outliers->setMarkerSize(9);
    outliers->setColor(QColor(200, 0, 0));
    std::vector<QLineSeries *> baselines;
    std::vector<QString> whose; // an outlier tells whose run it is
    QStringList categories;
    const QStringList names = experiments();
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (int i = 0; i < names.size(); ++i) {
        const Spread spread = spreadOf(names[i]);
        const std::vector<const ClassRunLine *> &runs = spread.runs;
        const std::vector<double> &values = spread.values;
        const ClassRunLine *mine = spread.mine;
        const BoxStats &b = spread.box;
        categories << (names[i].isEmpty() ? text(Text::NoExperiment, english_) : names[i]);
        auto *set = new QBoxSet(categories.back());
        if (b.count > 0) {
            set->setValue(QBoxSet::LowerExtreme, b.lowWhisker);
            set->setValue(QBoxSet::LowerQuartile, b.q1);
            set->setValue(QBoxSet::Median, b.median);
            set->setValue(QBoxSet::UpperQuartile, b.q3);
            set->setValue(QBoxSet::UpperExtreme, b.highWhisker);
            lo = std::min(lo, b.lowWhisker);
            hi = std::max(hi, b.highWhisker);
        }
        boxes->append(set);
        for (std::size_t o : b.outliers) {
            outliers->append(i, values[o]);
            whose.push_back(runs[o]->context.student + QStringLiteral(", ") + ClassRunsModel::startText(*runs[o]));
            lo = std::min(lo, values[o]);
            hi = std::max(hi, values[o]);
        }
        if (mine) {
            auto *line = new QLineSeries;
            line->setName(text(Text::Baseline, english_));
            line->setPen(QPen(QColor(0, 0, 255), 2, Qt::DashLine));
            line->append(i - 0.45, mine->figures[k]);
            line->append(i + 0.45, mine->figures[k]);
            lo = std::min(lo, mine->figures[k]);
            hi = std::max(hi, mine->figures[k]);
            baselines.push_back(line);
        }
    }
    chart_->addSeries(boxes);
    chart_->addSeries(outliers);
    for (QLineSeries *l : baselines)
        chart_->addSeries(l);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    auto *y = new QValueAxis;
    if (lo <= hi) {
        const double pad = hi > lo ? 0.05 * (hi - lo) : std::max(1.0, std::fabs(hi) * 0.1);
        y->setRange(lo - pad, hi + pad);
        y->applyNiceNumbers();
    }
    y->setTitleText(LabTexts::figure(figure_, english_)); // the name carries its unit
    chart_->addAxis(x, Qt::AlignBottom);
    chart_->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries *s : chart_->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    // one legend entry for the baselines
    const auto markers = chart_->legend()->markers();
    bool baselineShown = false;
    for (QLegendMarker *m : markers)
        if (qobject_cast<QLineSeries *>(m->series())) {
            m->setVisible(!baselineShown);
            baselineShown = true;
        }
    connect(outliers, &QScatterSeries::hovered, this, [whose, outliers](const QPointF &p, bool on) {
        if (!on)
            return;
        const QList<QPointF> points = outliers->points();
        for (int i = 0; i < points.size() && i < static_cast<int>(whose.size()); ++i)
            if (points[i] == p)
                QToolTip::showText(QCursor::pos(), whose[static_cast<std::size_t>(i)]);
    });
}

std::vector<StudentEffort> ClassWindow::effort() const
{
    std::vector<ClassRunFacts> facts;
    for (const ClassRunLine *l : runsOf(experiment_))
        if (!isOwn(*l, login_))
            facts.push_back({l->context.student.toStdString(), startSeconds(*l), l->durationS()});
    return effortPerStudent(facts);
}

void ClassWindow::refreshStudents()
{
    const std::vector<StudentEffort> e = effort();
    students_->setSortingEnabled(false);
    students_->clear();
    students_->setColumnCount(6);
    students_->setHorizontalHeaderLabels({model_->headerData(ClassRunsModel::Student, Qt::Horizontal).toString(),
                                          text(Text::Tries, english_), text(Text::Sittings, english_),
                                          text(Text::TimeOnTask, english_), text(Text::First, english_),
                                          text(Text::Last, english_)});
    students_->setRowCount(static_cast<int>(e.size()));
    for (int r = 0; r < static_cast<int>(e.size()); ++r) {
        const StudentEffort &s = e[static_cast<std::size_t>(r)];
        auto number = [](double v, int decimals) {
            auto *item = new QTableWidgetItem;
            item->setData(Qt::DisplayRole,
                          decimals == 0 ? QVariant(static_cast<int>(v)) : QVariant(std::round(v * 10) / 10));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            return item;
        };
        students_->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(s.student)));
        students_->setItem(r, 1, number(s.tries, 0));
        students_->setItem(r, 2, number(s.sittings, 0));
        students_->setItem(r, 3, number(s.timeOnTaskS / 60.0, 1));
        students_->setItem(r, 4, new QTableWidgetItem(when(s.firstStartS)));
        students_->setItem(r, 5, new QTableWidgetItem(when(s.lastEndS)));
    }
    students_->setSortingEnabled(true);
    students_->resizeColumnsToContents();
}

const std::map<QString, KitDrift> &ClassWindow::kits()
{
    if (kits_)
        return *kits_;
    std::map<QString, std::vector<KitIdentification>> found;
    kitDates_.clear();
    for (const ClassRunLine &l : model_->runs()) {
        if (!isBumpTest(l) || l.context.plantKind == QLatin1String("simulation") || !loader_)
            continue;
        const std::unique_ptr<RunRecord> record = loader_(l.context.uuid);
        if (!record)
            continue;
        const Identification id = identifyStoredBumpTest(*record);
        if (id.ok())
            found[ClassRunsModel::kitOf(l)].push_back({startSeconds(l), id.model.gain, id.model.timeConstant});
    }
    kits_.emplace();
    for (auto &[kit, list] : found)
        (*kits_)[kit] = kitDrift(std::move(list));
    return *kits_;
}

void ClassWindow::refreshKits()
{
    const std::map<QString, KitDrift> &all = kits();
    kitTable_->clear();
    kitTable_->clearSpans();
    kitTable_->setColumnCount(7);
    kitTable_->setHorizontalHeaderLabels({text(Text::Kit, english_), text(Text::Date, english_),
                                          text(Text::Gain, english_), text(Text::TimeConstant, english_),
                                          text(Text::GainDrift, english_), text(Text::TimeConstantDrift, english_),
                                          QString()});
    int rows = 0;
    for (const auto &entry : all)
        rows += static_cast<int>(entry.second.series.size());
    kitTable_->setRowCount(rows);
    int r = 0;
    for (const auto &[kit, d] : all)
        for (std::size_t i = 0; i < d.series.size(); ++i, ++r) {
            const KitIdentification &k = d.series[i];
            const QString date = when(k.atS);
            const QStringList cells{kit,
                                    date,
                                    LabTexts::significant(k.gain),
                                    LabTexts::significant(k.timeConstant),
                                    percent(d.gainDrift[i]),
                                    percent(d.timeConstantDrift[i]),
                                    d.beyondLimit[i] ? text(Text::Drifting, english_) : QString()};
            for (int c = 0; c < cells.size(); ++c) {
                auto *item = new QTableWidgetItem(cells[c]);
                if (c == 2 || c == 3)
                    item->setToolTip(QString::number(c == 2 ? k.gain : k.timeConstant, 'g', 17));
                if (d.beyondLimit[i])
                    item->setBackground(QColor(255, 200, 200));
                kitTable_->setItem(r, c, item);
            }
        }
    if (rows == 0) {
        kitTable_->setRowCount(1);
        kitTable_->setItem(0, 0, new QTableWidgetItem(text(Text::NoBumpTests, english_)));
        kitTable_->setSpan(0, 0, 1, kitTable_->columnCount());
    }
    kitTable_->resizeColumnsToContents();
}

QByteArray ClassWindow::csv() const
{
    QByteArray out = classReportHeader();
    for (int r = 0; r < proxy_->rowCount(); ++r)
        out += classReportRow(model_->run(proxy_->mapToSource(proxy_->index(r, 0)).row()));
    return out;
}

bool ClassWindow::exportCsv(const QString &path, QString *why)
{
    const FileError e = writeFileAtomically(path, csv());
    if (e && why)
        *why = e.message();
    return !e;
}

bool ClassWindow::compareSelected()
{
    if (!loader_)
        return false;
    std::vector<RunWindow::ComparedRun> runs;
    for (const QModelIndex &i : table_->selectionModel()->selectedRows()) {
        const ClassRunLine &l = model_->run(proxy_->mapToSource(i).row());
        std::unique_ptr<RunRecord> record = loader_(l.context.uuid);
        if (!record)
            continue;
        const QString label = l.context.student + QStringLiteral(", ") + ClassRunsModel::startText(l);
        runs.push_back({label, std::shared_ptr<const RunRecord>(std::move(record)), label});
    }
    if (runs.empty())
        return false;
    if (!compare_) {
        compare_ = new RunWindow(runs.front().record, this);
        compare_->setWindowFlag(Qt::Window);
        compare_->setLanguage(english_);
    }
    compare_->compare(std::move(runs));
    compare_->setWindowTitle(text(Text::CompareTitle, english_));
    compare_->show();
    compare_->raise();
    return true;
}

} // namespace tervalo
