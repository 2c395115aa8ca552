// Experiment files in the main window: saved from the menus, opened from
// them, from a drop on the window; refused whole (the key in the message,
// the window unchanged) and never during a run; the baseline's menu entry.
#include "ui/main/Form2Fixture.h"

#include "engine/FuzzyController.h"
#include "engine/Terms.h"
#include "session/ExperimentSession.h"
#include "store/ExperimentFile.h"
#include "ui/windows/ExperimentMenu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

using namespace tervalo;

namespace {

struct Watch : CycleObserver {
    std::vector<int> references;
    void cycleDone(const ExperimentState &, const CycleSample &s) override { references.push_back(s.reference); }
};

class ExperimentMenuTest : public Form2Fixture {
protected:
    QTemporaryDir dir;
    std::unique_ptr<ExperimentMenu> menu;
    std::vector<QString> errors;
    std::vector<QString> asked;
    QString answer; // what the file dialogs answer

    void SetUp() override
    {
        Form2Fixture::SetUp();
        attach();
    }
    void TearDown() override { menu.reset(); }

    void attach()
    {
        menu = std::make_unique<ExperimentMenu>(form->lab(), form->menuHost());
        menu->showError = [this](const QString &title, const QString &m) { errors.push_back(title + "|" + m); };
        menu->askOpenPath = [this](const QString &title, const QString &) {
            asked.push_back(title);
            return answer;
        };
        menu->askSavePath = [this](const QString &title, const QString &, const QString &) {
            asked.push_back(title);
            return answer;
        };
    }
    // A fresh window with its own menu.
    void freshWindow()
    {
        menu.reset();
        makeForm(&port);
        attach();
    }

    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    // A PID session in Turkish with its own rule table and a test program.
    void configure()
    {
        selectSimulation();
        form->selectController("PID");
        form->setGainBar("Slider6", 150);
        form->setGainBar("Slider8", 320); // ki
        form->setGainBar("Slider7", 45);  // kd
        form->setDivisors(5, 14);
        form->setReference(1250);
        for (int cell = 0; cell < 49; ++cell)
            form->setRuleTerm(cell, (cell * 3) % 7);
        ctl(*form).Dil(1)->setValue(true);
        TestProgram program;
        program.add({4, TestEvent::Kind::Reference, 1600});
        program.add({6, TestEvent::Kind::Load, 22});
        menu->runner().setProgram(program);
    }

    Experiment snapshot()
    {
        Experiment e;
        QString why;
        EXPECT_TRUE(experimentOf(form->lab(), menu->runner().program(), e, why)) << why.toStdString();
        return e;
    }

    static void write(const QString &file, const QByteArray &contents)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contents);
    }
};

QJsonObject validObject()
{
    Experiment e;
    e.controller = "PI";
    e.kp = 0.3;
    e.ki = 0.2;
    e.reference = 1500;
    e.program.add({2, TestEvent::Kind::Load, 10});
    return QJsonDocument::fromJson(ExperimentFile::toJson(e)).object();
}

} // namespace

TEST_F(ExperimentMenuTest, AnExperimentSavedFromAWindowOpensTheSameInAFreshOne)
{
    configure();
    const Experiment saved = snapshot();
    EXPECT_EQ(saved.controller, "PID");
    EXPECT_DOUBLE_EQ(saved.kp, 0.15);
    EXPECT_DOUBLE_EQ(saved.ki, 0.32);
    EXPECT_DOUBLE_EQ(saved.kd, 0.045);

    // the menu's entry asks for a name and adds .json
    answer = path("lab3");
    menu->saveAction()->trigger();
    ASSERT_TRUE(errors.empty()) << errors.front().toStdString();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(menu->currentFile(), path("lab3.json"));

    freshWindow();
    EXPECT_FALSE(snapshot() == saved);
    answer = path("lab3.json");
    menu->openAction()->trigger();
    ASSERT_TRUE(errors.empty()) << errors.front().toStdString();
    EXPECT_TRUE(snapshot() == saved);
    EXPECT_TRUE(ctl(*form).PIDcontrol->isChecked());
    EXPECT_TRUE(ctl(*form).simulasyon->isChecked());
    EXPECT_EQ(ctl(*form).Slider6->Value(), 150);
    EXPECT_EQ(ctl(*form).Slider9->Value(), 5);
    EXPECT_EQ(ctl(*form).Myslider1->Value(), 1250);
    const auto &english = Terms::names(Terms::English); // the fresh window speaks English
    for (int cell = 0; cell < 49; ++cell)
        EXPECT_EQ(ctl(*form).Combo1(cell)->Text().toStdString(), english[static_cast<std::size_t>((cell * 3) % 7)]);
    // the loaded program is shown on the graph and in its menu
    EXPECT_TRUE(form->graph()->toolTip().contains(QStringLiteral("lab3.json")));
    EXPECT_TRUE(form->graph()->toolTip().contains(QStringLiteral("cycle 4 (0.8 s): reference 1600")))
        << form->graph()->toolTip().toStdString();
    emit form->graphMenu()->aboutToShow();
    EXPECT_EQ(menu->programMenu()->menuAction()->text(), QStringLiteral("Test program (2 events)"));
    EXPECT_EQ(menu->programMenu()->actions().size(), 4); // two events, a separator, "Remove"

    // the file's program runs: the reference steps before cycle 4, the load before cycle 6
    Watch watch;
    form->cycle().addObserver(&watch);
    std::vector<int> load;
    run(6, [&](int) { load.push_back(form->loadValue()); });
    form->cycle().removeObserver(&watch);
    EXPECT_EQ(watch.references, (std::vector<int>{1250, 1250, 1250, 1600, 1600, 1600}));
    EXPECT_NE(load[4], 22);
    EXPECT_EQ(load[5], 22);

    // removed from the menu, it runs no more
    menu->programMenu()->actions().back()->trigger();
    EXPECT_TRUE(menu->runner().program().empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(menu->programMenu()->menuAction()->text(), QStringLiteral("Test program: none"));
    EXPECT_FALSE(form->graph()->toolTip().contains(QStringLiteral("cycle 4")));
}

TEST_F(ExperimentMenuTest, ARefusedFileChangesNothingAndNamesTheKey)
{
    configure();
    const Experiment before = snapshot();
    const QImage picture = form->graphPicture().copy();

    auto with = [](const std::function<void(QJsonObject &)> &change) {
        QJsonObject o = validObject();
        change(o);
        return QJsonDocument(o).toJson();
    };
    struct Case {
        const char *what;
        QByteArray contents;
        const char *key; // what the message must name
    };
    const std::vector<Case> cases = {
        {"not JSON", "{ \"format\": ", "JSON değil"}, // the window speaks Turkish
        {"another format", with([](QJsonObject &o) { o["format"] = "tervalo-run"; }), "format"},
        {"a later version", with([](QJsonObject &o) { o["version"] = 2; }), "version"},
        {"a missing key", with([](QJsonObject &o) { o.remove("reference"); }), "reference: eksik"},
        {"a gain beyond its bar", with([](QJsonObject &o) {
             o["gains"] = QJsonObject{{"kp", 5}, {"ki", 0}, {"kd", 0}};
         }),
         "gains.kp"},
        {"a reference beyond the slider", with([](QJsonObject &o) { o["reference"] = 2500; }), "reference"},
        {"an unknown rule term", with([](QJsonObject &o) {
             QJsonArray rules = o["rules"].toArray();
             QJsonArray row = rules[2].toArray();
             row[5] = "XL";
             rules[2] = row;
             o["rules"] = rules;
         }),
         "rules: satır NK, sütun PO"},
        {"a load beyond the slider", with([](QJsonObject &o) {
             o["test_program"] = QJsonArray{QJsonObject{{"cycle", 3}, {"load", 40}}};
         }),
         "test_program[0].load"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        errors.clear();
        const QString file = path("bad.json");
        write(file, c.contents);
        EXPECT_FALSE(menu->openFile(file));
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0].contains(QString::fromUtf8(c.key))) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains(file)) << errors[0].toStdString();
        EXPECT_TRUE(snapshot() == before);
        EXPECT_TRUE(form->graphPicture() == picture);
        EXPECT_TRUE(menu->currentFile().isEmpty());
    }

    // a file that cannot be read: its path and the system's reason
    errors.clear();
    EXPECT_FALSE(menu->openFile(path("missing.json")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("No such file"))) << errors[0].toStdString();
    EXPECT_TRUE(snapshot() == before);
}

TEST_F(ExperimentMenuTest, NoFileIsOpenedDuringARun)
{
    selectSimulation();
    form->selectController("P");
    const QString file = path("pi.json");
    write(file, QJsonDocument(validObject()).toJson());
    const Experiment before = snapshot();
    bool opened = true;
    run(3, [&](int cycle) {
        if (cycle == 2) {
            opened = menu->openFile(file);
            menu->openAction()->trigger(); // refused before the dialog
        }
    });
    EXPECT_FALSE(opened);
    EXPECT_TRUE(asked.empty());
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("STOP"))) << errors[0].toStdString();
    EXPECT_TRUE(snapshot() == before);
    // once stopped it opens
    EXPECT_TRUE(menu->openFile(file));
    EXPECT_TRUE(ctl(*form).PIcontrol->isChecked());
}

TEST_F(ExperimentMenuTest, AFileDroppedOnTheWindowIsOpened)
{
    const QString file = path("dropped.json");
    write(file, QJsonDocument(validObject()).toJson());

    QMimeData text;
    text.setText(QStringLiteral("PI"));
    QDragEnterEvent refused(QPoint(300, 200), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &drop);
    EXPECT_TRUE(drop.isAccepted());
    QCoreApplication::processEvents(); // opened once the drop is over
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(menu->currentFile(), file);
    EXPECT_TRUE(ctl(*form).PIcontrol->isChecked());
    EXPECT_EQ(ctl(*form).Myslider1->Value(), 1500);
}

TEST_F(ExperimentMenuTest, WhatCannotBeSavedIsSaidAndNothingIsWritten)
{
    // a rule cell holding a text that is no term
    ctl(*form).Combo1(9)->setText(QStringLiteral("XL"));
    EXPECT_FALSE(menu->saveFile(path("x.json")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("\"XL\""))) << errors[0].toStdString();
    EXPECT_FALSE(QFile::exists(path("x.json")));

    // a folder that does not exist: the path and the reason
    form->Label34_Click(); // RESET: the default rule table
    errors.clear();
    const QString nowhere = path("no/such/folder/x.json");
    EXPECT_FALSE(menu->saveFile(nowhere));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(nowhere)) << errors[0].toStdString();
}

TEST_F(ExperimentMenuTest, TheEntriesInBothLanguagesAndTheBaselinesEntry)
{
    auto texts = [](QMenu *m) {
        QStringList t;
        for (QAction *a : m->actions())
            if (!a->isSeparator())
                t << a->text();
        return t;
    };
    emit form->graphMenu()->aboutToShow();
    EXPECT_TRUE(texts(form->graphMenu()).contains(QStringLiteral("Save experiment…")));
    EXPECT_TRUE(texts(form->graphMenu()).contains(QStringLiteral("Open experiment…")));
    EXPECT_TRUE(texts(form->graphMenu()).contains(QStringLiteral("Test program: none")));
    EXPECT_EQ(texts(form->ruleTableMenu()),
              (QStringList{QStringLiteral("Save experiment…"), QStringLiteral("Open experiment…")}));
    EXPECT_FALSE(menu->programMenu()->menuAction()->isEnabled());

    // the baseline's entry: there, but usable only while one is pinned
    EXPECT_EQ(menu->unpinAction()->text(), QStringLiteral("Unpin baseline"));
    EXPECT_FALSE(menu->unpinAction()->isEnabled());
    form->lab().setBaseline({1000, 1100}, QStringLiteral("run 12"));
    emit form->graphMenu()->aboutToShow();
    EXPECT_TRUE(menu->unpinAction()->isEnabled());
    EXPECT_TRUE(menu->statusText().contains(QStringLiteral("run 12, 2 cycles"))) << menu->statusText().toStdString();
    menu->unpinAction()->trigger();
    EXPECT_FALSE(form->lab().hasBaseline());
    EXPECT_FALSE(menu->unpinAction()->isEnabled());
    EXPECT_TRUE(menu->statusText().isEmpty());

    ctl(*form).Dil(1)->setValue(true);
    EXPECT_EQ(texts(form->ruleTableMenu()),
              (QStringList{QStringLiteral("Deney dosyasını kaydet…"), QStringLiteral("Deney dosyası aç…")}));
    EXPECT_EQ(menu->unpinAction()->text(), QStringLiteral("Karşılaştırma eğrisini kaldır"));
    EXPECT_EQ(menu->programMenu()->menuAction()->text(), QStringLiteral("Test programı: yok"));
    errors.clear();
    EXPECT_FALSE(menu->openFile(path("missing.json")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Deney dosyası aç|Deney dosyası reddedildi")))
        << errors[0].toStdString();

    // every text has both languages
    for (int t = 0; t < static_cast<int>(ExperimentMenu::Text::Count); ++t)
        for (bool english : {true, false})
            EXPECT_FALSE(ExperimentMenu::text(static_cast<ExperimentMenu::Text>(t), english).isEmpty()) << t;
}

TEST_F(ExperimentMenuTest, ARefusedFilesReasonIsInTheWindowsLanguage)
{
    auto with = [](const std::function<void(QJsonObject &)> &change) {
        QJsonObject o = validObject();
        change(o);
        return QJsonDocument(o).toJson();
    };
    struct Case {
        QByteArray contents;
        const char *english; // the key and the reason
        const char *turkish;
    };
    const std::vector<Case> cases = {
        {with([](QJsonObject &o) { o["reference"] = 2500; }), "reference: 2500 is outside 500..2000",
         "reference: 2500, 500..2000 aralığının dışında"},
        {with([](QJsonObject &o) { o.remove("divisors"); }), "divisors: missing", "divisors: eksik"},
        {with([](QJsonObject &o) { o["mode"] = "closed"; }), "mode: \"closed\" is none of open, kit, simulation",
         "mode: \"closed\" open, kit, simulation değerlerinden biri değil"},
        {with([](QJsonObject &o) {
             QJsonArray rules = o["rules"].toArray();
             QJsonArray row = rules[2].toArray();
             row[5] = "XL";
             rules[2] = row;
             o["rules"] = rules;
         }),
         "rules: row NS, column PM: \"XL\" is no term name", "rules: satır NK, sütun PO: \"XL\" bir terim adı değil"},
    };
    const QString file = path("bad.json");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.english);
        write(file, c.contents);
        for (bool english : {false, true}) {
            ctl(*form).Dil(english ? 0 : 1)->setValue(true);
            errors.clear();
            EXPECT_FALSE(menu->openFile(file));
            ASSERT_EQ(errors.size(), 1u);
            const QString expected = ExperimentMenu::text(ExperimentMenu::Text::OpenTitle, english) + QLatin1Char('|')
                + ExperimentMenu::text(ExperimentMenu::Text::Refused, english)
                      .arg(file, QString::fromUtf8(english ? c.english : c.turkish));
            EXPECT_EQ(errors[0], expected);
        }
    }

    // what cannot be saved is said in the window's language as well
    ctl(*form).Dil(1)->setValue(true);
    ctl(*form).Combo1(9)->setText(QStringLiteral("XL"));
    errors.clear();
    EXPECT_FALSE(menu->saveFile(path("x.json")));
    ASSERT_EQ(errors.size(), 1u);
    const int row = FuzzyController::rowOf(9), column = FuzzyController::columnOf(9);
    const auto &turkish = Terms::names(Terms::Turkish);
    EXPECT_TRUE(errors[0].endsWith(QStringLiteral("rules: satır %1, sütun %2: \"XL\" bir terim adı değil")
                                       .arg(QLatin1String(turkish[static_cast<std::size_t>(row)]),
                                            QLatin1String(turkish[static_cast<std::size_t>(column)]))))
        << errors[0].toStdString();
}

// A file that selects the kit on a PC whose kit port could not be opened is
// told at once: simulation instead (everything else as the file says) or
// nothing changed; the message says how to start on the emulated kit.
TEST_F(ExperimentMenuTest, AFileForTheKitOnAPcWithoutOneOffersSimulation)
{
    QJsonObject o = validObject();
    o["mode"] = "kit";
    const QString kitFile = path("kit.json");
    write(kitFile, QJsonDocument(o).toJson());
    o["mode"] = "simulation";
    const QString simulationFile = path("simulation.json");
    write(simulationFile, QJsonDocument(o).toJson());

    std::vector<QString> told;
    ExperimentMenu::NoKitChoice answerNoKit = ExperimentMenu::NoKitChoice::Cancel;
    auto noDriver = [&] {
        menu.reset();
        makeForm(nullptr);
        attach();
        told.clear();
        menu->askNoKit = [&](const QString &title, const QString &message) {
            told.push_back(title + "|" + message);
            return answerNoKit;
        };
    };

    // cancelled: nothing changed, nothing opened, no error besides the question
    noDriver();
    ASSERT_FALSE(form->kitReachable());
    const Experiment before = snapshot();
    EXPECT_FALSE(menu->openFile(kitFile));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0],
              ExperimentMenu::text(ExperimentMenu::Text::OpenTitle, true) + "|"
                  + ExperimentMenu::text(ExperimentMenu::Text::NoKit, true).arg(kitFile));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(snapshot() == before);
    EXPECT_TRUE(menu->currentFile().isEmpty());
    EXPECT_TRUE(menu->runner().program().empty());

    // simulation: the file as it is but for the mode
    answerNoKit = ExperimentMenu::NoKitChoice::Simulation;
    std::vector<QString> opened;
    menu->opened = [&](const QString &file, const QByteArray &) { opened.push_back(file); };
    EXPECT_TRUE(menu->openFile(kitFile));
    EXPECT_EQ(told.size(), 2u);
    EXPECT_TRUE(ctl(*form).simulasyon->isChecked());
    EXPECT_FALSE(ctl(*form).Kapalii->isChecked());
    EXPECT_TRUE(ctl(*form).PIcontrol->isChecked());
    EXPECT_EQ(ctl(*form).Myslider1->Value(), 1500);
    EXPECT_EQ(menu->runner().program().events().size(), 1u);
    EXPECT_EQ(menu->currentFile(), kitFile);
    EXPECT_EQ(opened, std::vector<QString>{kitFile});
    run(2);
    EXPECT_EQ(form->lab().record().settings().mode, RunMode::Simulation);

    // a simulation file is not asked about; in Turkish the question is too
    EXPECT_TRUE(menu->openFile(simulationFile));
    EXPECT_EQ(told.size(), 2u);
    ctl(*form).Dil(1)->setValue(true);
    answerNoKit = ExperimentMenu::NoKitChoice::Cancel;
    EXPECT_FALSE(menu->openFile(kitFile));
    ASSERT_EQ(told.size(), 3u);
    EXPECT_TRUE(told[2].startsWith(ExperimentMenu::text(ExperimentMenu::Text::OpenTitle, false) + "|" + kitFile))
        << told[2].toStdString();
    for (bool english : {true, false}) {
        const QString question = ExperimentMenu::text(ExperimentMenu::Text::NoKit, english);
        EXPECT_TRUE(question.contains(QStringLiteral("tervalo --port emulator"))) << english;
        EXPECT_NE(question, ExperimentMenu::text(ExperimentMenu::Text::NoKit, !english));
    }

    // with the kit's port open the kit is selected without a question
    menu.reset();
    makeForm(&port);
    attach();
    bool asked = false;
    menu->askNoKit = [&](const QString &, const QString &) {
        asked = true;
        return ExperimentMenu::NoKitChoice::Cancel;
    };
    ASSERT_TRUE(form->kitReachable());
    EXPECT_TRUE(menu->openFile(kitFile));
    EXPECT_FALSE(asked);
    EXPECT_TRUE(ctl(*form).Kapalii->isChecked());
}
