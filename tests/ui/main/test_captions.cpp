// Texts of the window in both languages: the language switch's caption
// table (kit and simulation rows), the mode captions of the block diagram,
// the term names and the rule-table headings; and that the switched
// captions still fit their controls.
#include "controls/form/ClickLabel.h"
#include "controls/form/OptionButton.h"
#include "controls/graph/Mygraph.h"
#include "runtime/RuntimeError.h"
#include "ui/main/Captions.h"
#include "ui/main/Form2.h"
#include "ui/main/Form2Probe.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>

#include <gtest/gtest.h>

#include <memory>

using namespace tervalo;

namespace {

enum Mode { Both, Kit, Sim };

struct LanguageCase {
    const char *target;
    Mode mode;
    const char *english;
    const char *turkish;
};

const LanguageCase kLanguageTable[] = {
    {"Xlabel", Both, "(Second)", "(Saniye)"},
    {"Ylabel", Kit, "(rpm)", "(d/dk)"},
    {"Ylabel", Sim, "(Volt)", "Volt"},
    {"Label47", Both, "Tervalo", "Tervalo"},
    {"Label27", Both, "About", "Hakkında"},
    {"Label28", Both, "START", "BAŞLA"},
    {"Label29", Both, "STOP", "DURDUR"},
    {"Label30", Both, "RESET", "RESETLE"},
    {"Label25", Both, "Controller Type", "Denetleyici Seçimi"},
    {"Acik", Both, "Open Loop", "Denetimsiz"},
    {"Kapalii", Both, "Feedback Implementation", "Kapalı Çevrim"},
    {"simulasyon", Both, "Feedback Simulation", "Simulasyon"},
    {"Bulanik", Both, "Fuzzy Logic", "Bulanık Mantık"},
    {"Label48(41)", Both, "Derivative", "Türev"},
    {"Label48(56)", Both, "Derivative", "Türev"},
    {"Label48(44)", Both, "Increase", "Artır"},
    {"Label48(45)", Both, "Decrease", "Azalt"},
    {"Label48(57)", Both, "Load", "Yük"},
    {"Label48(13)", Kit, "(rpm)", "(d/dk)"},
    {"Label48(13)", Sim, "(volt)", "(volt)"},
    {"Label48(14)", Kit, "Power", "Güç"},
    {"Label48(14)", Sim, "Magnetic Field", "Manyetik Alan"},
    {"Label48(15)", Kit, "Source", "Kaynağı"},
    {"Label48(15)", Sim, "Generator", "Generatörü"},
    {"Label48(18)", Both, "Computer", "Bilgisayar"},
    {"Label48(19)", Kit, "Referance Speed", "Referans Hız"},
    {"Label48(19)", Sim, "Referance Voltage", "Referans Gerilim"},
    {"Label48(21)", Both, "Controller", "Denetleyici"},
    {"Label48(22)", Both, "Speed Sensor(rpm)", "Hız Algılayıcı (d/dk)"},
};

struct ModeCase {
    int index;
    const char *kitEnglish, *kitTurkish, *simEnglish, *simTurkish; // nullptr: untouched
};

const ModeCase kModeTable[] = {
    {13, "(rpm)", "(d/dk)", "Volt", "Volt"},
    {14, "Power", "Güç", "Magnetic Field", "Manyetik Alan"},
    {15, "Source", "Kaynağı", "Generator", "Generatörü"},
    {16, "DC Motor", "DC Motor", "Generator", "Generatör"},
    {19, "Referance Speed", "Referans Hız", "Referance Voltage", "Referans Gerilim"},
    {22, "Speed Sensor(rpm)", "Hız Algılayıcı(d/dk)", "Voltage Sensor(Volt)", "Gerilim Algılayıcı(Volt)"},
    {44, nullptr, nullptr, "Increase", "Artır"},
    {45, nullptr, nullptr, "Decrease", "Azalt"},
    {57, nullptr, nullptr, "Load", "Yük"},
};

class CaptionsTest : public ::testing::Test {
protected:
    std::unique_ptr<Form2> form = std::make_unique<Form2>();

    // Selects an option as the stored window would hold it, without its
    // click handler.
    static void select(OptionButton *b)
    {
        const QSignalBlocker quiet(b);
        b->setChecked(true);
    }

    QString captionOf(const char *target) const
    {
        const QString t = QString::fromUtf8(target);
        if (t == QLatin1String("Xlabel"))
            return ctl(*form).Mygraph1->Xlabel();
        if (t == QLatin1String("Ylabel"))
            return ctl(*form).Mygraph1->Ylabel();
        QWidget *w = form->findChild<QWidget *>(t);
        if (auto *l = qobject_cast<QLabel *>(w))
            return l->text();
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            return b->text();
        ADD_FAILURE() << "no control " << target;
        return QString();
    }

    // Every option and label caption of the window fits its control.
    void expectCaptionsFit() const
    {
        for (QLabel *l : form->findChildren<QLabel *>()) {
            if (l->text().isEmpty() || l->wordWrap())
                continue;
            SCOPED_TRACE(l->objectName().toStdString() + " " + l->text().toStdString());
            EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->contentsRect().width());
        }
        for (QLabel *l : form->findChildren<QLabel *>()) {
            if (!l->wordWrap())
                continue;
            SCOPED_TRACE(l->objectName().toStdString() + " " + l->text().toStdString());
            const QRect need = QFontMetrics(l->font()).boundingRect(l->contentsRect(), Qt::TextWordWrap, l->text());
            EXPECT_LE(need.width(), l->contentsRect().width());
            EXPECT_LE(need.height(), l->contentsRect().height() + 2);
        }
        for (QRadioButton *b : form->findChildren<QRadioButton *>()) {
            SCOPED_TRACE(b->objectName().toStdString() + " " + b->text().toStdString());
            EXPECT_LE(b->sizeHint().width(), b->width());
        }
    }
};

TEST_F(CaptionsTest, LanguageTableInBothLanguagesForKitAndSimulation)
{
    for (Mode mode : {Kit, Sim}) {
        select(mode == Sim ? ctl(*form).simulasyon : ctl(*form).Kapalii);
        for (int index : {0, 1}) {
            SCOPED_TRACE((mode == Sim ? "simulation, index " : "kit, index ") + std::to_string(index));
            ctl(*form).Label48(16)->setText(QStringLiteral("untouched"));
            Captions::applyLanguage(ctl(*form), form->state(), index);
            for (const LanguageCase &c : kLanguageTable) {
                if (c.mode != Both && c.mode != mode)
                    continue;
                SCOPED_TRACE(c.target);
                EXPECT_EQ(captionOf(c.target), QString::fromUtf8(index == 0 ? c.english : c.turkish));
            }
            // texts that exist in one form only stay as stored
            EXPECT_EQ(ctl(*form).Label48(16)->text(), QStringLiteral("untouched"));
            EXPECT_EQ(ctl(*form).Dil(0)->text(), QStringLiteral("English"));
            EXPECT_EQ(ctl(*form).Dil(1)->text(), QStringLiteral("Turkish"));
            EXPECT_EQ(ctl(*form).Frame1->title(), QStringLiteral("Denetleyici Seçimi"));
            EXPECT_EQ(ctl(*form).Frame5->title(), QStringLiteral("Bulanık Mantık ( Kural Atama Tablosu (e\\de) )"));
            EXPECT_EQ(ctl(*form).Pdenetim->title(), QStringLiteral("P Denetim"));
            EXPECT_EQ(ctl(*form).Label24->text(), QStringLiteral("Auto Save"));
            EXPECT_EQ(ctl(*form).Label2_0->text(), QStringLiteral("dEm = Em /"));
            EXPECT_EQ(ctl(*form).Label48(23)->text(), QStringLiteral("U(t)"));
            expectCaptionsFit();
        }
    }
}

TEST_F(CaptionsTest, TermNamesAndRuleTableHeadings)
{
    const QStringList english = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
    const QStringList turkish = {"NB", "NO", "NK", "SS", "PK", "PO", "PB"};
    EXPECT_EQ(Captions::termNames(0), english);
    EXPECT_EQ(Captions::termNames(1), turkish);
    for (int index : {0, 1, 0}) {
        const QStringList &terms = index == 0 ? english : turkish;
        Captions::applyLanguage(ctl(*form), form->state(), index);
        const std::string members[7] = {form->state().termNB, form->state().termNM, form->state().termNS,
                                        form->state().termZE, form->state().termPS, form->state().termPM,
                                        form->state().termPB};
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(QString::fromStdString(members[k]), terms.at(k)) << k;
            EXPECT_EQ(ctl(*form).Label11(k)->text(), terms.at(k)) << "row heading " << k;
            EXPECT_EQ(ctl(*form).Label11(7 + k)->text(), terms.at(k)) << "column heading " << k;
        }
        // the corner marks are not terms
        EXPECT_EQ(ctl(*form).Label11(14)->text(), QStringLiteral("E"));
        EXPECT_EQ(ctl(*form).Label11(15)->text(), QStringLiteral("dE"));
    }
}

TEST_F(CaptionsTest, LanguageIndexOutsideTheTwoOptionsIsError9)
{
    for (int bad : {-1, 2}) {
        for (const auto &call :
             {std::function<void()>([&] { Captions::applyLanguage(ctl(*form), form->state(), bad); }),
              std::function<void()>([&] { Captions::termNames(bad); })}) {
            try {
                call();
                ADD_FAILURE() << bad << " accepted";
            } catch (const RuntimeError &e) {
                EXPECT_EQ(e.number(), RuntimeError::SubscriptOutOfRange);
            }
        }
    }
    EXPECT_EQ(ctl(*form).Label28->text(), QStringLiteral("BAŞLA")); // nothing changed
}

TEST_F(CaptionsTest, ModeCaptionsByModeAndTheSelectedLanguage)
{
    for (bool english : {true, false}) {
        select(english ? ctl(*form).Dil(0) : ctl(*form).Dil(1));
        for (bool simulation : {false, true}) {
            SCOPED_TRACE(std::string(english ? "English" : "Turkish") + (simulation ? " simulation" : " kit"));
            for (const ModeCase &c : kModeTable)
                ctl(*form).Label48(c.index)->setText(QStringLiteral("before"));
            Captions::applyModeCaptions(ctl(*form), simulation);
            for (const ModeCase &c : kModeTable) {
                const char *want =
                    simulation ? (english ? c.simEnglish : c.simTurkish) : (english ? c.kitEnglish : c.kitTurkish);
                EXPECT_EQ(ctl(*form).Label48(c.index)->text(),
                          want ? QString::fromUtf8(want) : QStringLiteral("before"))
                    << c.index;
            }
            if (simulation)
                expectCaptionsFit();
        }
    }
}

} // namespace
