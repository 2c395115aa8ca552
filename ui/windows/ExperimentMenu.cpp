#include "ui/windows/ExperimentMenu.h"

#include "engine/StepFigures.h"
#include "runtime/NumberText.h"
#include "session/ExperimentSession.h"
#include "session/Lab.h"
#include "store/ExperimentFile.h"
#include "store/UserFolders.h"
#include "ui/texts/TextPair.h"
#include "ui/windows/RunsWindow.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

namespace tervalo {

namespace {

using Both = TextPair;

// In the order of ExperimentMenu::Text.
const Both kTexts[] = {
    {"Save experiment…", "Deney dosyasını kaydet…"},
    {"Open experiment…", "Deney dosyası aç…"},
    {"", ""}, // MenuUnpin: RunsWindow's text
    {"Test program (%1 events)", "Test programı (%1 olay)"},
    {"Test program: none", "Test programı: yok"},
    {"Remove test program", "Test programını kaldır"},
    {"cycle %1 (%2 s): reference %3", "çevrim %1 (%2 s): referans %3"},
    {"cycle %1 (%2 s): load %3", "çevrim %1 (%2 s): yük %3"},
    {"Experiment files (*.json);;All files (*)", "Deney dosyaları (*.json);;Tüm dosyalar (*)"},
    {"Save experiment", "Deney dosyasını kaydet"},
    {"Open experiment", "Deney dosyası aç"},
    {"The experiment file was refused; nothing was changed.\n%1\n%2",
     "Deney dosyası reddedildi; hiçbir şey değiştirilmedi.\n%1\n%2"},
    {"A run is in progress: press STOP before opening an experiment file.",
     "Çalışma sürüyor: deney dosyası açmadan önce DURDUR'a basın."},
    {"The experiment file could not be saved.\n%1", "Deney dosyası kaydedilemedi.\n%1"},
    {"The rule table holds a text that is no term name:\n%1", "Kural tablosunda terim adı olmayan bir yazı var:\n%1"},
    {"Experiment file: %1", "Deney dosyası: %1"},
    {"Test program, applied in every run:", "Her çalışmada uygulanan test programı:"},
    {"No test program.", "Test programı yok."},
    {"Baseline (dark red, the third trace): %1, %2 cycles",
     "Karşılaştırma eğrisi (koyu kırmızı, üçüncü eğri): %1, %2 çevrim"},
    {"Baseline (dark red, the third trace): %1 cycles", "Karşılaştırma eğrisi (koyu kırmızı, üçüncü eğri): %1 çevrim"},
    {"%1\nThis experiment runs on the kit, but the kit cannot be reached on this PC: its port could not be "
     "opened. START would drive U up while Y stays 0.\n\nRun the experiment in simulation instead?\n\nTo run it "
     "on the emulated kit, start the program with:\n    tervalo --port emulator",
     "%1\nBu deney kit üzerinde yapılır, ancak bu bilgisayarda kite ulaşılamıyor: kitin portu açılamadı. BAŞLA, Y "
     "0'da kalırken U'yu yükseltirdi.\n\nDeney bunun yerine simülasyonda yapılsın mı?\n\nÖykünülmüş kitte yapmak "
     "için programı şöyle başlatın:\n    tervalo --port emulator"},
    {"Simulation", "Simülasyon"},
    {"Cancel", "İptal"},
};
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<std::size_t>(ExperimentMenu::Text::Count),
              "one text pair per entry");

// The one local file a drag carries, if it carries exactly one.
QString droppedFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return {};
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile())
        return {};
    return urls.front().toLocalFile();
}

} // namespace

QString ExperimentMenu::text(Text t, bool english)
{
    if (t == Text::MenuUnpin) // the Runs window's entry, word for word
        return RunsWindow::text(RunsWindow::Text::Unpin, english);
    return kTexts[static_cast<std::size_t>(t)].in(english);
}

ExperimentMenu::ExperimentMenu(Lab &lab, const MenuHost &host) : lab_(lab), host_(host)
{
    QMenu *graphMenu = host_.graphMenu;
    if (!graphMenu->isEmpty())
        graphMenu->addSeparator()->setParent(this);
    save_ = new QAction(this);
    open_ = new QAction(this);
    unpin_ = new QAction(this);
    graphMenu->addAction(save_);
    graphMenu->addAction(open_);
    program_ = new QMenu;
    programEntry_ = graphMenu->addMenu(program_); // goes with program_
    graphMenu->addAction(unpin_);
    ruleSave_ = new QAction(this);
    ruleOpen_ = new QAction(this);
    if (!host_.ruleTableMenu->isEmpty())
        host_.ruleTableMenu->addSeparator()->setParent(this);
    host_.ruleTableMenu->addAction(ruleSave_);
    host_.ruleTableMenu->addAction(ruleOpen_);

    for (QAction *a : {save_, ruleSave_})
        connect(a, &QAction::triggered, this, [this] { saveAsked(); });
    for (QAction *a : {open_, ruleOpen_})
        connect(a, &QAction::triggered, this, [this] { openAsked(); });
    connect(unpin_, &QAction::triggered, this, [this] { unpinBaseline(); });
    connect(graphMenu, &QMenu::aboutToShow, this, [this] { refreshEntries(); });

    connect(&lab_, &Lab::languageChanged, this, [this](bool english) { setLanguage(english); });

    // files dropped anywhere on the window; the graph's tooltip made when asked
    host_.window->setAcceptDrops(true);
    host_.window->installEventFilter(this);
    if (host_.graph)
        host_.graph->installEventFilter(this);

    // the dialogs start in the experiment folder (made when first asked)
    askOpenPath = [this](const QString &title, const QString &filter) {
        const QString start = file_.isEmpty() ? UserFolders().experimentFolder().path : QFileInfo(file_).path();
        return QFileDialog::getOpenFileName(host_.window, title, start, filter);
    };
    askSavePath = [this](const QString &title, const QString &filter, const QString &suggested) {
        const QString start = suggested.isEmpty()
            ? UserFolders().experimentFolder().path + QStringLiteral("/experiment.json")
            : suggested;
        return QFileDialog::getSaveFileName(host_.window, title, start, filter);
    };
    showError = [this](const QString &title, const QString &message) {
        QMessageBox::warning(host_.window, title, message);
    };
    askNoKit = [this](const QString &title, const QString &message) {
        QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::NoButton, host_.window);
        QPushButton *simulation = box.addButton(text(Text::NoKitSimulation, english_), QMessageBox::AcceptRole);
        box.addButton(text(Text::NoKitCancel, english_), QMessageBox::RejectRole); // also Escape
        box.setDefaultButton(simulation);
        box.exec();
        return box.clickedButton() == simulation ? NoKitChoice::Simulation : NoKitChoice::Cancel;
    };
    setLanguage(lab_.english());
}

TestProgramRunner &ExperimentMenu::runner()
{
    return lab_.testProgram();
}

ExperimentMenu::~ExperimentMenu()
{
    delete program_;
    host_.window->setAcceptDrops(false);
}

void ExperimentMenu::setLanguage(bool english)
{
    english_ = english;
    save_->setText(text(Text::MenuSave, english));
    open_->setText(text(Text::MenuOpen, english));
    ruleSave_->setText(text(Text::MenuSave, english));
    ruleOpen_->setText(text(Text::MenuOpen, english));
    unpin_->setText(text(Text::MenuUnpin, english));
    refreshEntries();
}

QString ExperimentMenu::eventText(const TestEvent &e) const
{
    const Text t = e.kind == TestEvent::Kind::Reference ? Text::EventReference : Text::EventLoad;
    const double seconds = static_cast<double>(e.cycle) / kCyclesPerSecond;
    // the time in the program's own number format (the user's decimal separator)
    QString time = QString::number(seconds, 'f', 1);
    time.replace(QLatin1Char('.'), QLatin1Char(NumberText::decimalSeparator()));
    return text(t, english_).arg(e.cycle).arg(time).arg(e.value);
}

void ExperimentMenu::refreshEntries()
{
    unpin_->setEnabled(lab_.hasBaseline());
    const TestProgram &program = lab_.testProgram().program();
    program_->clear();
    if (program.empty()) {
        programEntry_->setText(text(Text::MenuProgramNone, english_));
        programEntry_->setEnabled(false);
    } else {
        programEntry_->setText(text(Text::MenuProgram, english_).arg(program.events().size()));
        programEntry_->setEnabled(true);
        for (const TestEvent &e : program.events())
            program_->addAction(eventText(e))->setEnabled(false);
        program_->addSeparator();
        QAction *remove = program_->addAction(text(Text::MenuRemoveProgram, english_));
        connect(remove, &QAction::triggered, this, [this] {
            lab_.testProgram().setProgram(TestProgram());
            // the submenu holding this entry is rebuilt once its signal is over
            QMetaObject::invokeMethod(
                this, [this] { refreshEntries(); }, Qt::QueuedConnection);
        });
    }
    refreshStatus();
}

QString ExperimentMenu::statusText() const
{
    QStringList lines;
    if (!file_.isEmpty())
        lines << text(Text::StatusFile, english_).arg(QFileInfo(file_).fileName());
    const TestProgram &program = lab_.testProgram().program();
    if (!program.empty()) {
        lines << text(Text::StatusProgram, english_);
        for (const TestEvent &e : program.events())
            lines << QStringLiteral("  ") + eventText(e);
    } else if (!file_.isEmpty()) {
        lines << text(Text::StatusNoProgram, english_);
    }
    if (lab_.hasBaseline()) {
        const QString cycles = QString::number(lab_.baselineCycles());
        lines << (lab_.baselineName().isEmpty()
                      ? text(Text::StatusBaselineUnnamed, english_).arg(cycles)
                      : text(Text::StatusBaseline, english_).arg(lab_.baselineName(), cycles));
    }
    return lines.join(QLatin1Char('\n'));
}

void ExperimentMenu::refreshStatus()
{
    if (QWidget *graph = host_.graph)
        graph->setToolTip(statusText());
}

void ExperimentMenu::unpinBaseline()
{
    lab_.clearBaseline();
    refreshEntries();
}

bool ExperimentMenu::openFile(const QString &path)
{
    const QString title = text(Text::OpenTitle, english_);
    auto refuse = [&](const QString &message) {
        if (showError)
            showError(title, message);
        return false;
    };
    if (lab_.runActive())
        return refuse(text(Text::Running, english_) + QLatin1Char('\n') + path);
    Experiment e;
    ExperimentError why;
    QByteArray contents;
    if (!ExperimentFile::read(path, e, why, &contents))
        return refuse(text(Text::Refused, english_).arg(path, why.message(english_)));
    if (e.mode == RunMode::Kit && !lab_.controls().kitReachable()) {
        // said before anything changes, not at START
        const NoKitChoice choice =
            askNoKit ? askNoKit(title, text(Text::NoKit, english_).arg(path)) : NoKitChoice::Cancel;
        if (choice == NoKitChoice::Cancel)
            return false;
        e.mode = RunMode::Simulation;
    }
    QString notApplied;
    if (!applyExperiment(lab_, e, &lab_.testProgram(), notApplied))
        return refuse(text(Text::Refused, english_).arg(path, notApplied));
    file_ = path;
    if (opened)
        opened(path, contents);
    refreshEntries();
    return true;
}

bool ExperimentMenu::saveFile(const QString &path)
{
    const QString title = text(Text::SaveTitle, english_);
    Experiment e;
    QString why;
    if (!experimentOf(lab_, lab_.testProgram().program(), e, why)) {
        if (showError)
            showError(title, text(Text::Unsavable, english_).arg(why));
        return false;
    }
    if (const FileError failed = ExperimentFile::write(e, path)) {
        if (showError)
            showError(title, text(Text::SaveFailed, english_).arg(failed.message()));
        return false;
    }
    file_ = path;
    refreshEntries();
    return true;
}

void ExperimentMenu::openAsked()
{
    if (lab_.runActive()) {
        // said before the dialog, not after the student chose a file
        if (showError)
            showError(text(Text::OpenTitle, english_), text(Text::Running, english_));
        return;
    }
    const QString path =
        askOpenPath ? askOpenPath(text(Text::OpenTitle, english_), text(Text::Filter, english_)) : QString();
    if (!path.isEmpty())
        openFile(path);
}

void ExperimentMenu::saveAsked()
{
    QString path =
        askSavePath ? askSavePath(text(Text::SaveTitle, english_), text(Text::Filter, english_), file_) : QString();
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".json");
    saveFile(path);
}

bool ExperimentMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == host_.graph && event->type() == QEvent::ToolTip) {
        refreshStatus(); // the baseline may have been pinned elsewhere
        return false;
    }
    if (watched != host_.window)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto *drag = static_cast<QDragEnterEvent *>(event);
        if (!droppedFile(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!droppedFile(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QString path = droppedFile(drop->mimeData());
        if (path.isEmpty())
            return false;
        drop->acceptProposedAction();
        // opened once the drop is over: a refusal's message box must not
        // run inside the drag's own loop
        QMetaObject::invokeMethod(
            this, [this, path] { openFile(path); }, Qt::QueuedConnection);
        return true;
    }
    default: return false;
    }
}

} // namespace tervalo
