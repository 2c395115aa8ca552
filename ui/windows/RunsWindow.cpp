#include "ui/windows/RunsWindow.h"

#include "engine/RunRecord.h"
#include "session/Lab.h"
#include "store/ClassConfig.h"
#include "store/ExportNames.h"
#include "ui/texts/LabTexts.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/ClassWindow.h"
#include "ui/windows/RunWindow.h"

#include <QAction>
#include <QDateTime>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tervalo {

namespace {

using Both = TextPair;

// The window's texts, in the order of RunsWindow::Text.
const Both kTexts[] = {
    {"Runs", "Çalışmalar"},
    {"Runs…", "Çalışmalar…"},
    {"Date", "Tarih"},
    {"Mode", "Çalışma biçimi"},
    {"Controller", "Denetleyici"},
    {"Gains / divisors", "Kazançlar / bölenler"},
    {"Name", "Ad"},
    {"Note", "Not"},
    {"Open", "Aç"},
    {"Compare", "Karşılaştır"},
    {"Rename…", "Yeniden adlandır…"},
    {"Edit note…", "Notu düzenle…"},
    {"Delete…", "Sil…"},
    {"Export…", "Dışa aktar…"},
    {"Pin as baseline", "Karşılaştırma eğrisi olarak sabitle"},
    {"Unpin baseline", "Karşılaştırma eğrisini kaldır"},
    {"Retry saving", "Yeniden kaydetmeyi dene"},
    {"Refresh", "Yenile"},
    {"Name of the run:", "Çalışmanın adı:"},
    {"Note on the run:", "Çalışmayla ilgili not:"},
    {"Delete these %1 stored runs? This cannot be undone.\n%2",
     "Bu %1 kayıtlı çalışma silinsin mi? Bu geri alınamaz.\n%2"},
    {"Delete the stored run “%1”? This cannot be undone.", "Kayıtlı çalışma “%1” silinsin mi? Bu geri alınamaz."},
    {"… and %1 more", "… ve %1 çalışma daha"},
    {"Export run (CSV + JSON)", "Çalışmayı dışa aktar (CSV + JSON)"},
    {"Run library", "Çalışma kütüphanesi"},
    {"The run library cannot be read:\n", "Çalışma kütüphanesi okunamıyor:\n"},
    {"%1 stored runs in %2", "%2 içinde %1 kayıtlı çalışma"},
    {"%1 run(s) not saved yet: kept in memory.", "%1 çalışma henüz kaydedilmedi: bellekte tutuluyor."},
    {"The run library could not store the run. It is kept in memory and tried again at the next STOP "
     "or with \"Retry saving\" in the Runs window.\n",
     "Çalışma kütüphanesi çalışmayı kaydedemedi. Çalışma bellekte tutuluyor; bir sonraki DURDUR'da ya da Çalışmalar "
     "penceresindeki \"Yeniden kaydetmeyi dene\" ile yeniden denenecek.\n"},
    {"There is no run library: the runs are not stored.\n", "Çalışma kütüphanesi yok: çalışmalar kaydedilmiyor.\n"},
    {"", ""}, // the open loop's name (LabTexts)
    {"Class server", "Sınıf sunucusu"},
    {"on this PC", "bu bilgisayarda"},
    {"sent", "gönderildi"},
    {"refused", "reddedildi"},
    {"\nThe class server keeps its copy: an instructor's copy is not deleted from here.",
     "\nSınıf sunucusu kendi kopyasını tutar: öğretmenin kopyası buradan silinmez."},
    {"Class server…", "Sınıf sunucusu…"},
    {"Class library", "Sınıf kütüphanesi"},
    {"The class server, a libpq URI such as postgresql://ayse@lab-server/class?sslmode=require "
     "(empty: none for this account). Now: %1",
     "Sınıf sunucusu, postgresql://ayse@lab-server/class?sslmode=require gibi bir libpq adresi "
     "(boş: bu hesap için yok). Şu an: %1"},
    {"Your name or exam code, stored with every run:", "Her çalışmayla saklanacak adınız ya da sınav kodunuz:"},
    {"none", "yok"},
    {"Bump tests", "Basamak testleri"},
    {"bump test", "basamak testi"},
    {"%1 → %2, K = %3, τ = %4 s", "%1 → %2, K = %3, τ = %4 s"},
    {"Class…", "Sınıf…"},
    {"Pinned as the baseline", "Karşılaştırma eğrisi olarak sabitlendi"},
};
static_assert(std::size(kTexts) == static_cast<std::size_t>(RunsWindow::Text::Count), "one text per entry");

QString pick(const Both &b, bool english)
{
    return b.in(english);
}

// A missing figure sorts after every number.
double sortKey(double v)
{
    return std::isnan(v) ? std::numeric_limits<double>::infinity() : v;
}

bool openLoop(const StoredRun &r)
{
    return r.mode == QLatin1String(runModeName(RunMode::OpenLoop));
}

QString modeText(const QString &mode, bool english)
{
    if (mode == QLatin1String(runModeName(RunMode::OpenLoop)))
        return RunWindow::text(RunWindow::Text::ModeOpen, english);
    if (mode == QLatin1String(runModeName(RunMode::Kit)))
        return RunWindow::text(RunWindow::Text::ModeKit, english);
    if (mode == QLatin1String(runModeName(RunMode::Simulation)))
        return RunWindow::text(RunWindow::Text::ModeSimulation, english);
    return mode;
}

QString controllerText(const StoredRun &r, bool english)
{
    if (r.kind == RunKind::BumpTest)
        return RunsWindow::text(RunsWindow::Text::BumpTest, english);
    if (openLoop(r))
        return QStringLiteral("–");
    if (r.controller == QLatin1String(runControllerName(RunController::Fuzzy)))
        return RunWindow::text(RunWindow::Text::Fuzzy, english);
    return r.controller;
}

QString settingsOf(const StoredRun &r, bool english)
{
    if (r.kind == RunKind::BumpTest) {
        if (!r.bump)
            return QStringLiteral("–");
        const auto g = [](double v) { return QString::number(v, 'g', 3); };
        return RunsWindow::text(RunsWindow::Text::BumpSummary, english)
            .arg(r.bump->u1)
            .arg(r.bump->u2)
            .arg(g(r.bump->model.gain), g(r.bump->model.timeConstant));
    }
    return openLoop(r) ? QStringLiteral("–") : r.settingsText();
}

constexpr Metric kFigureColumns[] = {Metric::RiseTime, Metric::Overshoot, Metric::SettlingTime, Metric::Iae};

} // namespace

// ---------------------------------------------------------------------------
// the table

RunsTableModel::RunsTableModel(QObject *parent) : QAbstractTableModel(parent) { }

void RunsTableModel::setRuns(std::vector<StoredRun> runs)
{
    beginResetModel();
    runs_ = std::move(runs);
    endResetModel();
}

const StoredRun *RunsTableModel::run(std::int64_t id) const
{
    for (const StoredRun &r : runs_)
        if (r.id == id)
            return &r;
    return nullptr;
}

void RunsTableModel::setLanguage(bool english)
{
    if (english == english_)
        return;
    english_ = english;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!runs_.empty())
        emit dataChanged(index(0, Mode), index(static_cast<int>(runs_.size()) - 1, Controller));
}

int RunsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(runs_.size());
}

int RunsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString RunsTableModel::localTime(const QString &startUtc)
{
    const QDateTime t = QDateTime::fromString(startUtc, Qt::ISODate);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : startUtc;
}

QVariant RunsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(runs_.size()))
        return {};
    const StoredRun &r = runs_[static_cast<std::size_t>(index.row())];
    const auto column = static_cast<Column>(index.column());
    const double figures[] = {r.riseTime, r.overshoot, r.settlingTime, r.iae};
    const bool figure = column >= RiseTime && column <= Iae;
    const bool pinnedRow = pinned_ && *pinned_ == r.id;
    if (pinnedRow && role == Qt::FontRole) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (pinnedRow && role == Qt::ToolTipRole && column == Date)
        return RunsWindow::text(RunsWindow::Text::PinnedTip, english_);
    switch (role) {
    case IdRole: return static_cast<qlonglong>(r.id);
    case KindRole: return QString::fromLatin1(runKindName(r.kind));
    case Qt::TextAlignmentRole: return figure ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::ToolTipRole:
        if (column == Note || column == Name)
            return column == Note ? r.note : r.name;
        if (column == ClassServer) // the server's reason, or why it could not be reached
            return r.forwardUtc.isEmpty() ? r.forwardReason : r.forwardUtc + QLatin1Char(' ') + r.forwardReason;
        if (column == Date)
            return r.startUtc;
        if (figure && !std::isnan(figures[column - RiseTime])) // the whole value
            return QString::fromStdString(shortestDecimal(figures[column - RiseTime]));
        return {};
    case SortRole:
        if (figure)
            return sortKey(figures[column - RiseTime]);
        if (column == Date) // to the second, then in the order stored
            return QStringLiteral("%1 %2").arg(r.startUtc).arg(r.id, 12, 10, QLatin1Char('0'));
        return data(index, Qt::DisplayRole);
    case Qt::EditRole:
    case Qt::DisplayRole:
        switch (column) {
        case Date: return localTime(r.startUtc);
        case Mode: return modeText(r.mode, english_);
        case Controller: return controllerText(r, english_);
        case Settings: return settingsOf(r, english_);
        case RiseTime:
        case Overshoot:
        case SettlingTime:
        case Iae: {
            const double v = figures[column - RiseTime];
            return std::isnan(v)
                ? QStringLiteral("–")
                : LabTexts::figureValue(kFigureColumns[column - RiseTime], v,
                                        r.mode == QLatin1String(runModeName(RunMode::Simulation)), english_);
        }
        case Name: return r.name;
        case Note: // one line in the table; the tooltip has it whole
            return role == Qt::EditRole ? r.note : QString(r.note).replace(QLatin1Char('\n'), QLatin1Char(' '));
        case ClassServer:
            return RunsWindow::text(r.forward == ForwardState::Sent          ? RunsWindow::Text::ForwardSent
                                        : r.forward == ForwardState::Refused ? RunsWindow::Text::ForwardRefused
                                                                             : RunsWindow::Text::ForwardLocal,
                                    english_);
        case ColumnCount: break;
        }
        return {};
    default: return {};
    }
}

QVariant RunsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    using T = RunsWindow::Text;
    switch (static_cast<Column>(section)) {
    case Date: return RunsWindow::text(T::Date, english_);
    case Mode: return RunsWindow::text(T::Mode, english_);
    case Controller: return RunsWindow::text(T::Controller, english_);
    case Settings: return RunsWindow::text(T::Settings, english_);
    case RiseTime:
    case Overshoot:
    case SettlingTime:
    case Iae: return RunWindow::metricText(kFigureColumns[section - RiseTime], english_);
    case Name: return RunsWindow::text(T::Name, english_);
    case Note: return RunsWindow::text(T::Note, english_);
    case ClassServer: return RunsWindow::text(T::ClassColumn, english_);
    case ColumnCount: break;
    }
    return {};
}

Qt::ItemFlags RunsTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    // the name in place; a note, of several lines, in the note's editor
    if (index.isValid() && index.column() == Name)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RunsTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= static_cast<int>(runs_.size()))
        return false;
    const auto column = static_cast<Column>(index.column());
    if (column != Name && column != Note)
        return false;
    const StoredRun &r = runs_[static_cast<std::size_t>(index.row())];
    const QString text = value.toString();
    if (text == (column == Name ? r.name : r.note))
        return true;
    // the edit puts the new text in (setText) once the library took it
    return edit && edit(r.id, column, text);
}

void RunsTableModel::setText(std::int64_t id, Column column, const QString &text)
{
    for (std::size_t row = 0; row < runs_.size(); ++row) {
        StoredRun &r = runs_[row];
        if (r.id != id)
            continue;
        (column == Name ? r.name : r.note) = text;
        const QModelIndex at = index(static_cast<int>(row), column);
        emit dataChanged(at, at);
        return;
    }
}

// ---------------------------------------------------------------------------
// the window

RunsWindow::RunsWindow(const QString &path, QWidget *parent) : QWidget(parent, Qt::Window), path_(path)
{
    askText = [this](const QString &title, const QString &label, const QString &current) -> std::optional<QString> {
        bool ok = false;
        const QString answer = QInputDialog::getText(this, title, label, QLineEdit::Normal, current, &ok);
        if (!ok)
            return std::nullopt;
        return answer;
    };
    askNote = [this](const QString &title, const QString &label, const QString &current) -> std::optional<QString> {
        bool ok = false;
        const QString answer = QInputDialog::getMultiLineText(this, title, label, current, &ok);
        return ok ? std::optional<QString>(answer) : std::nullopt;
    };
    confirm = [this](const QString &title, const QString &question) {
        return QMessageBox::question(this, title, question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            == QMessageBox::Yes;
    };
    askPath = [this](const QString &title, const QString &filter, const QString &suggested) {
        return QFileDialog::getSaveFileName(this, title, suggested, filter);
    };
    showError = [this](const QString &title, const QString &message) { QMessageBox::warning(this, title, message); };
    askPassword = [this](const QString &prompt) -> std::optional<QString> {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(this, text(Text::ClassEntry), prompt, QLineEdit::Password, QString(), &ok);
        return ok ? std::optional<QString>(answer) : std::nullopt;
    };
    build();
    retranslate();
    resize(1000, 600); // on a 1024 x 768 screen; the columns past it scroll
}

RunsWindow::RunsWindow(Lab &lab, QWidget *parent) : RunsWindow(lab.libraryPath(), parent)
{
    lab_ = &lab;
    pinBaseline = [this](const RunRecord *r, const QString &label) {
        if (!lab_)
            return;
        if (r)
            lab_->setBaseline(*r, label);
        else
            lab_->clearBaseline();
    };
    retrySaving = [this] {
        if (lab_)
            lab_->retrySaving();
    };
    connect(lab_, &Lab::baselineChanged, this, [this] {
        if (!lab_->hasBaseline()) // unpinned, from here or the graph's menu
            model_->setPinned(std::nullopt);
        updateActions();
    });
    // a run's state on the class server, as the forwarder tells it
    connect(lab_, &Lab::runForwarded, this, [this] {
        if (!isVisible() || refreshPosted_)
            return;
        refreshPosted_ = true;
        QTimer::singleShot(200, this, [this] {
            refreshPosted_ = false;
            refresh();
        });
    });
    auto *classEntry = new QAction(this);
    actions_.emplace_back(Text::ClassServerEntry, classEntry);
    connect(classEntry, &QAction::triggered, this, [this] { classServerAsked(); });
    auto *classWindowEntry = new QAction(this);
    actions_.emplace_back(Text::ClassEntry, classWindowEntry);
    connect(classWindowEntry, &QAction::triggered, this, [this] { classWindowAsked(); });
    libraryTools_->addSeparator();
    libraryTools_->addAction(classEntry);
    libraryTools_->addAction(classWindowEntry);
    classEntry->setText(text(Text::ClassServerEntry));
    classWindowEntry->setText(text(Text::ClassEntry));
    setLanguage(lab.english());
    updateActions();
}

RunsWindow::~RunsWindow() = default;

bool RunsWindow::pinned() const
{
    return lab_ ? lab_->hasBaseline() : pinned_;
}

QKeySequence RunsWindow::shortcut()
{
    return QKeySequence(Qt::CTRL | Qt::Key_L);
}

QString RunsWindow::text(Text t, bool english)
{
    return pick(kTexts[static_cast<std::size_t>(t)], english);
}

void RunsWindow::build()
{
    model_ = new RunsTableModel(this);
    model_->edit = [this](std::int64_t id, RunsTableModel::Column column, const QString &text) {
        return column == RunsTableModel::Name ? renameRun(id, text) : setNote(id, text);
    };
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(RunsTableModel::SortRole);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);
    proxy_->setFilterRole(RunsTableModel::KindRole);
    proxy_->setFilterKeyColumn(RunsTableModel::Date);
    proxy_->setFilterFixedString(QString::fromLatin1(runKindName(RunKind::Run)));

    view_ = new QTableView(this);
    view_->setModel(proxy_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(RunsTableModel::Date, Qt::DescendingOrder);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    view_->setAlternatingRowColors(true);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    QHeaderView *header = view_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    // no stretched last column: past the window's width the note would be
    // squeezed to nothing; the columns scroll sideways instead
    header->setStretchLastSection(false);
    connect(view_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &at) {
        const std::int64_t id = at.data(RunsTableModel::IdRole).toLongLong();
        if (at.column() == RunsTableModel::Note) {
            select({id});
            noteAsked();
        } else if (at.column() != RunsTableModel::Name) {
            openRun(id);
        }
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateActions(); });

    // two rows, so that every entry shows in either language at the
    // window's first size: what is done to the selected runs, then the
    // library's own
    tools_ = new QToolBar(this);
    libraryTools_ = new QToolBar(this);
    for (QToolBar *bar : {tools_, libraryTools_})
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const std::pair<Text, void (RunsWindow::*)()> entries[] = {
        {Text::Open, &RunsWindow::openSelected},
        {Text::Compare, &RunsWindow::compareSelected},
        {Text::Rename, &RunsWindow::renameAsked},
        {Text::EditNote, &RunsWindow::noteAsked},
        {Text::Export, &RunsWindow::exportAsked},
        {Text::Delete, &RunsWindow::deleteAsked},
        {Text::Pin, &RunsWindow::pinSelected},
        {Text::Unpin, &RunsWindow::unpin},
        {Text::Retry, nullptr},
        {Text::Refresh, &RunsWindow::refresh},
    };
    for (const auto &[which, slot] : entries) {
        auto *a = new QAction(this);
        if (slot)
            connect(a, &QAction::triggered, this, slot);
        actions_.emplace_back(which, a);
        (which == Text::Retry || which == Text::Refresh ? libraryTools_ : tools_)->addAction(a);
        view_->addAction(a);
    }
    auto *bumpTests = new QAction(this);
    bumpTests->setCheckable(true);
    actions_.emplace_back(Text::BumpTests, bumpTests);
    libraryTools_->addSeparator();
    libraryTools_->addAction(bumpTests);
    connect(bumpTests, &QAction::toggled, this, [this](bool on) { showBumpTests(on); });
    connect(action(Text::Retry), &QAction::triggered, this, [this] {
        if (retrySaving)
            retrySaving();
    });
    action(Text::Delete)->setShortcut(QKeySequence::Delete);
    action(Text::Delete)->setShortcutContext(Qt::WidgetShortcut);
    action(Text::Refresh)->setShortcut(QKeySequence::Refresh);
    action(Text::Refresh)->setShortcutContext(Qt::WindowShortcut);
    addAction(action(Text::Refresh));
    view_->setContextMenuPolicy(Qt::ActionsContextMenu);

    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tools_);
    layout->addWidget(libraryTools_);
    layout->addWidget(view_, 1);
    layout->addWidget(status_);
    updateActions();
}

QAction *RunsWindow::action(Text t) const
{
    for (const auto &[which, a] : actions_)
        if (which == t)
            return a;
    return nullptr;
}

void RunsWindow::setLanguage(bool english)
{
    if (english == english_)
        return;
    english_ = english;
    retranslate();
    if (classWindow_)
        classWindow_->setLanguage(english);
}

void RunsWindow::retranslate()
{
    setWindowTitle(text(Text::Title));
    for (const auto &[which, a] : actions_)
        a->setText(text(which));
    model_->setLanguage(english_);
    fitColumns();
    updateStatus();
    if (runWindow_) {
        runWindow_->setLanguage(english_);
        relabelRunWindow();
    }
}

void RunsWindow::showEvent(QShowEvent *event)
{
    updateActions();
    QWidget::showEvent(event);
}

namespace {

QFontMetrics headingMetrics(const QTableView *view)
{
    QFont bold = view->horizontalHeader()->font();
    bold.setBold(true);
    return QFontMetrics(bold);
}

constexpr int kHeadingPadding = 22; // the sort arrow and the margins
constexpr int kCellPadding = 12;

} // namespace

void RunsWindow::fitColumns()
{
    // Widths from the headings and typical contents, not measured over every
    // row: a long list stays quick to show.
    const char *typical[] = {
        "2026-12-10 07:22:14", "", "", "Kp=0.199 Ki=0.499 Kd=0.099", "00.00", "000.0", "00.00", "00000.0"};
    const QFontMetrics heading = headingMetrics(view_);
    const QFontMetrics cells = view_->fontMetrics();
    for (int c = 0; c < static_cast<int>(std::size(typical)); ++c) {
        QString sample = QString::fromUtf8(typical[c]);
        if (c == RunsTableModel::Mode)
            sample = RunWindow::text(RunWindow::Text::ModeSimulation, english_);
        else if (c == RunsTableModel::Controller)
            sample = RunWindow::text(RunWindow::Text::Fuzzy, english_);
        const int width =
            std::max(heading.horizontalAdvance(model_->headerData(c, Qt::Horizontal).toString()) + kHeadingPadding,
                     cells.horizontalAdvance(sample) + kCellPadding);
        view_->horizontalHeader()->resizeSection(c, width);
    }
    fitTextColumns();
}

void RunsWindow::fitTextColumns()
{
    // The name and the note as wide as the longest (the note on one line, as
    // the table shows it), up to a cap: the tooltip has the rest. A width
    // the student set stays until the texts want another.
    const QFontMetrics heading = headingMetrics(view_);
    const QFontMetrics cells = view_->fontMetrics();
    const std::pair<RunsTableModel::Column, int> columns[] = {{RunsTableModel::Name, kNameColumnMost},
                                                              {RunsTableModel::Note, kNoteColumnMost}};
    for (std::size_t k = 0; k < std::size(columns); ++k) {
        const auto [column, most] = columns[k];
        int width = heading.horizontalAdvance(model_->headerData(column, Qt::Horizontal).toString()) + kHeadingPadding;
        for (const StoredRun &r : model_->runs()) {
            if (width >= most)
                break;
            const QString &text = column == RunsTableModel::Name ? r.name : r.note;
            // most names and notes are empty or short: not measured
            if (static_cast<qsizetype>(cells.maxWidth()) * text.size() + kCellPadding <= width)
                continue;
            width = std::max(width,
                             cells.horizontalAdvance(QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')))
                                 + kCellPadding);
        }
        width = std::min(width, most);
        if (width != textWidths_[k]) {
            textWidths_[k] = width;
            view_->horizontalHeader()->resizeSection(column, width);
        }
    }
}

RunLibrary *RunsWindow::library()
{
    if (!library_ || !library_->usable())
        library_ = std::make_unique<RunLibrary>(path_, 1000);
    return library_.get();
}

bool RunsWindow::classServerAsked()
{
    if (!lab_ || !askText)
        return false;
    const ClassSetting now = ClassConfig::server();
    const QString shown =
        now.given() ? now.value + QStringLiteral(" (") + now.from + QLatin1Char(')') : text(Text::ClassServerNone);
    const std::optional<QString> uri =
        askText(text(Text::ClassServerTitle), text(Text::ClassServerPrompt).arg(shown), now.value);
    if (!uri)
        return false;
    const QString failed = ClassConfig::saveServer(uri->trimmed());
    if (!failed.isEmpty()) {
        if (showError)
            showError(text(Text::ClassServerTitle), failed);
        return false;
    }
    const ClassSetting server = ClassConfig::server();
    QString why;
    const std::optional<ClassServerAddress> address =
        server.given() ? ClassConfig::address(server, &why) : std::nullopt;
    if (server.given() && !address) {
        if (showError)
            showError(text(Text::ClassServerTitle), why);
        return false;
    }
    if (address) {
        const ClassSetting student = ClassConfig::student();
        const std::optional<QString> name =
            askText(text(Text::ClassServerTitle), text(Text::StudentPrompt), student.value);
        if (name && !name->trimmed().isEmpty() && ClassConfig::acceptableStudent(name->trimmed(), &why)) {
            ClassConfig::saveStudent(name->trimmed());
            RunContext context = lab_->context();
            context.student = name->trimmed();
            lab_->setContext(context);
        }
    }
    lab_->useClassServer(address);
    classWindow_.reset(); // it was on the server before
    setColumnsShown();
    updateActions();
    return true;
}

bool RunsWindow::classWindowAsked()
{
    if (!lab_ || !lab_->classServer())
        return false;
    if (!classWindow_) {
        QString why;
        const ClassServerAddress address = *lab_->classServer();
        classWindow_ = ClassWindow::openOn(
            address,
            [this, address]() -> std::optional<QString> {
                return askPassword ? askPassword(address.uri()) : std::nullopt;
            },
            &why);
        if (!classWindow_) {
            if (showError)
                showError(text(Text::ClassEntry), why);
            return false;
        }
        ClassWindow *w = classWindow_.get();
        w->askSavePath = [this, w](const QString &suggested) {
            return askPath
                ? askPath(w->windowTitle(), ClassWindow::text(ClassWindow::Text::CsvFiles, english_), suggested)
                : QString();
        };
        w->showError = [this, w](const QString &message) {
            if (showError)
                showError(w->windowTitle(), message);
        };
    }
    classWindow_->setLanguage(english_);
    classWindow_->show();
    classWindow_->raise();
    return true;
}

void RunsWindow::setColumnsShown()
{
    view_->setColumnHidden(RunsTableModel::ClassServer, !(lab_ && lab_->forwarding()));
}

void RunsWindow::refresh()
{
    setColumnsShown();
    const std::vector<std::int64_t> kept = selectedIds();
    if (path_.isEmpty()) { // no data folder could be made
        problem_ = text(Text::NoLibrary).trimmed();
        model_->setRuns({});
        updateStatus();
        updateActions();
        return;
    }
    RunLibrary *lib = library();
    std::vector<StoredRun> runs = lib->list();
    problem_ = lib->error().failed() ? lib->error().message() : QString();
    model_->setRuns(std::move(runs));
    fitTextColumns();
    select(kept);
    updateStatus();
    updateActions();
    relabelRunWindow();
}

// The run window's names after a rename or the language switch.
void RunsWindow::relabelRunWindow()
{
    if (!runWindow_ || shownIds_.empty())
        return;
    QStringList labels, headings;
    for (std::int64_t id : shownIds_) {
        const StoredRun *run = model_->run(id);
        if (!run)
            return; // deleted: the window keeps what it shows
        labels << label(*run, english_);
        headings << (run->name.isEmpty() ? QStringLiteral("#%1").arg(id) : run->name);
    }
    runWindow_->relabel(labels, headings);
}

void RunsWindow::setUnsaved(std::size_t count)
{
    unsaved_ = count;
    updateStatus();
    updateActions();
}

void RunsWindow::updateStatus()
{
    QString s = problem_.isEmpty() ? text(Text::Listed).arg(model_->runs().size()).arg(path_)
                                   : text(Text::CannotOpen) + problem_;
    if (unsaved_ > 0)
        s += QLatin1Char('\n') + text(Text::Unsaved).arg(unsaved_);
    status_->setText(s);
}

void RunsWindow::updateActions()
{
    const std::size_t n = selectedIds().size();
    for (Text t : {Text::Open, Text::Rename, Text::EditNote, Text::Export, Text::Pin})
        action(t)->setEnabled(n == 1);
    action(Text::Compare)->setEnabled(n >= 2);
    action(Text::Delete)->setEnabled(n >= 1);
    action(Text::Unpin)->setEnabled(pinned());
    const bool pinning = static_cast<bool>(pinBaseline);
    action(Text::Pin)->setVisible(pinning);
    action(Text::Unpin)->setVisible(pinning);
    action(Text::Retry)->setEnabled(unsaved_ > 0 && retrySaving);
    if (QAction *classes = action(Text::ClassEntry))
        classes->setEnabled(lab_ && lab_->classServer());
}

std::vector<std::int64_t> RunsWindow::selectedIds() const
{
    std::vector<std::int64_t> ids;
    if (!view_->selectionModel())
        return ids;
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &i : rows)
        ids.push_back(i.data(RunsTableModel::IdRole).toLongLong());
    return ids;
}

void RunsWindow::select(const std::vector<std::int64_t> &ids)
{
    QItemSelection selection;
    for (int row = 0; row < proxy_->rowCount(); ++row) {
        const QModelIndex at = proxy_->index(row, 0);
        const std::int64_t id = at.data(RunsTableModel::IdRole).toLongLong();
        if (std::find(ids.begin(), ids.end(), id) != ids.end())
            selection.select(at, proxy_->index(row, RunsTableModel::ColumnCount - 1));
    }
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    updateActions();
}

std::int64_t RunsWindow::currentId() const
{
    const std::vector<std::int64_t> ids = selectedIds();
    return ids.size() == 1 ? ids.front() : 0;
}

void RunsWindow::failed(const LibraryError &e)
{
    if (showError)
        showError(text(Text::Failed), e.message());
}

void RunsWindow::showBumpTests(bool bumpTests)
{
    proxy_->setFilterFixedString(QString::fromLatin1(runKindName(bumpTests ? RunKind::BumpTest : RunKind::Run)));
    if (action(Text::BumpTests)->isChecked() != bumpTests)
        action(Text::BumpTests)->setChecked(bumpTests);
    updateActions();
}

bool RunsWindow::showingBumpTests() const
{
    return proxy_->filterRegularExpression().pattern() == QLatin1String(runKindName(RunKind::BumpTest));
}

QString RunsWindow::label(const StoredRun &run, bool english)
{
    if (!run.name.isEmpty())
        return run.name;
    if (run.kind == RunKind::BumpTest)
        return QStringLiteral("#%1 %2 %3").arg(run.id).arg(text(Text::BumpTest, english), settingsOf(run, english));
    if (openLoop(run))
        return QStringLiteral("#%1 %2").arg(run.id).arg(LabTexts::modeName(RunMode::OpenLoop, english));
    return QStringLiteral("#%1 %2 %3").arg(run.id).arg(controllerText(run, english), run.settingsText());
}

bool RunsWindow::renameRun(std::int64_t id, const QString &name)
{
    if (!library()->rename(id, name)) {
        failed(library()->error());
        return false;
    }
    model_->setText(id, RunsTableModel::Name, name);
    fitTextColumns();
    relabelRunWindow();
    if (lab_)
        lab_->wakeForwarder(); // the change goes to the class server too
    return true;
}

bool RunsWindow::setNote(std::int64_t id, const QString &note)
{
    if (!library()->setNote(id, note)) {
        failed(library()->error());
        return false;
    }
    model_->setText(id, RunsTableModel::Note, note);
    fitTextColumns();
    if (lab_)
        lab_->wakeForwarder(); // the change goes to the class server too
    return true;
}

bool RunsWindow::removeRuns(const std::vector<std::int64_t> &ids)
{
    bool ok = true;
    for (std::int64_t id : ids) {
        if (!library()->remove(id)) {
            failed(library()->error());
            ok = false;
            break;
        }
        if (model_->pinned() == id) // a deleted run is no baseline any more
            unpin();
    }
    refresh();
    return ok;
}

std::shared_ptr<const RunRecord> RunsWindow::loadRun(std::int64_t id)
{
    std::unique_ptr<RunRecord> record = library()->load(id);
    if (!record) {
        failed(library()->error());
        return nullptr;
    }
    return std::shared_ptr<const RunRecord>(std::move(record));
}

FileError RunsWindow::exportRun(std::int64_t id, const QString &chosen)
{
    const std::shared_ptr<const RunRecord> record = loadRun(id);
    if (!record)
        return {chosen, library()->error().message()};
    const StoredRun *run = model_->run(id);
    const FileError e = RunFiles::save(*record, chosen, run ? RunLabel{run->name, run->note} : RunLabel{});
    if (e && showError)
        showError(RunWindow::text(RunWindow::Text::SaveFailed, english_), e.message());
    return e;
}

RunWindow *RunsWindow::ensureRunWindow(std::shared_ptr<const RunRecord> first, const QString &label)
{
    if (!runWindow_) {
        runWindow_ = new RunWindow(first, this);
        runWindow_->setLanguage(english_);
    }
    runWindow_->setRecord(std::move(first), label);
    return runWindow_;
}

bool RunsWindow::openRun(std::int64_t id)
{
    const StoredRun *run = model_->run(id);
    const std::shared_ptr<const RunRecord> record = loadRun(id);
    if (!record)
        return false;
    RunWindow *w = ensureRunWindow(record, run ? label(*run, english_) : QStringLiteral("#%1").arg(id));
    if (run)
        w->setNameAndNote(run->name, run->note);
    shownIds_ = {id};
    w->show();
    w->raise();
    w->activateWindow();
    return true;
}

bool RunsWindow::compareRuns(const std::vector<std::int64_t> &ids)
{
    std::vector<RunWindow::ComparedRun> runs;
    for (std::int64_t id : ids) {
        std::shared_ptr<const RunRecord> record = loadRun(id);
        if (!record)
            return false;
        const StoredRun *run = model_->run(id);
        const QString heading = run && !run->name.isEmpty() ? run->name : QStringLiteral("#%1").arg(id);
        runs.push_back({run ? label(*run, english_) : heading, std::move(record), heading});
    }
    if (runs.empty())
        return false;
    RunWindow *w = runWindow_ ? runWindow_.data() : ensureRunWindow(runs.front().record, runs.front().label);
    w->compare(std::move(runs));
    shownIds_ = ids;
    w->show();
    w->raise();
    w->activateWindow();
    return true;
}

void RunsTableModel::setPinned(std::optional<std::int64_t> id)
{
    if (id == pinned_)
        return;
    pinned_ = id;
    if (!runs_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::FontRole, Qt::ToolTipRole});
}

bool RunsWindow::pinRun(std::int64_t id)
{
    const std::shared_ptr<const RunRecord> record = loadRun(id);
    if (!record)
        return false;
    const StoredRun *run = model_->run(id);
    if (pinBaseline)
        pinBaseline(record.get(), run ? label(*run, english_) : QString());
    pinned_ = true;
    model_->setPinned(id);
    updateActions();
    return true;
}

void RunsWindow::renameAsked()
{
    const std::int64_t id = currentId();
    const StoredRun *run = model_->run(id);
    if (!run || !askText)
        return;
    const std::optional<QString> name = askText(text(Text::Title), text(Text::RenamePrompt), run->name);
    if (name)
        renameRun(id, *name);
}

void RunsWindow::noteAsked()
{
    const std::int64_t id = currentId();
    const StoredRun *run = model_->run(id);
    if (!run || !askNote)
        return;
    const std::optional<QString> note = askNote(text(Text::Title), text(Text::NotePrompt), run->note);
    if (note)
        setNote(id, *note);
}

void RunsWindow::deleteAsked()
{
    const std::vector<std::int64_t> ids = selectedIds();
    if (ids.empty() || !confirm)
        return;
    QString question = deleteQuestion(ids);
    const bool sent = std::any_of(ids.begin(), ids.end(), [this](std::int64_t id) {
        const StoredRun *r = model_->run(id);
        return r && r->forward == ForwardState::Sent;
    });
    if (sent)
        question += text(Text::DeleteKeepsServerCopy);
    if (confirm(text(Text::Title), question))
        removeRuns(ids);
}

QString RunsWindow::deleteQuestion(const std::vector<std::int64_t> &ids) const
{
    const auto labelOf = [this](std::int64_t id) {
        const StoredRun *run = model_->run(id);
        return run ? label(*run, english_) : QStringLiteral("#%1").arg(id);
    };
    if (ids.size() == 1)
        return text(Text::DeleteOne).arg(labelOf(ids.front()));
    // one a line, the first kDeleteListed of a long selection
    QStringList lines;
    for (std::size_t k = 0; k < ids.size() && k < kDeleteListed; ++k)
        lines << QStringLiteral("• ") + labelOf(ids[k]);
    if (ids.size() > kDeleteListed)
        lines << text(Text::DeleteMore).arg(ids.size() - kDeleteListed);
    return text(Text::DeleteQuestion).arg(QString::number(ids.size()), lines.join(QLatin1Char('\n')));
}

void RunsWindow::exportAsked()
{
    const std::int64_t id = currentId();
    const StoredRun *run = model_->run(id);
    if (!run || !askPath)
        return;
    // the run's name, or kit-PI-2026-12-11-1430.csv, in the experiment folder
    const QString suggested = ExportNames::runFile(ExportNames::folder(), ExportNames::naming(*run));
    const QString chosen =
        askPath(text(Text::ExportTitle), RunWindow::text(RunWindow::Text::DataFilter, english_), suggested);
    if (!chosen.isEmpty())
        exportRun(id, chosen);
}

void RunsWindow::openSelected()
{
    if (const std::int64_t id = currentId())
        openRun(id);
}

void RunsWindow::compareSelected()
{
    const std::vector<std::int64_t> ids = selectedIds();
    if (ids.size() >= 2)
        compareRuns(ids);
}

void RunsWindow::pinSelected()
{
    if (const std::int64_t id = currentId())
        pinRun(id);
}

void RunsWindow::unpin()
{
    if (pinBaseline)
        pinBaseline(nullptr, QString());
    pinned_ = false;
    model_->setPinned(std::nullopt);
    updateActions();
}

} // namespace tervalo
