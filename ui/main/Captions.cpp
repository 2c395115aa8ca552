#include "ui/main/Captions.h"

#include "controls/form/OptionButton.h"
#include "controls/graph/Mygraph.h"
#include "engine/ExperimentState.h"
#include "engine/Terms.h"
#include "runtime/RuntimeError.h"
#include "ui/main/Fonts.h"
#include "ui/main/Form2Controls.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include <string>

namespace tervalo {

namespace {

enum class When { Always, Kit, Sim };

struct LanguageRow {
    const char *target; // control name, or the graph's "Mygraph1.Xlabel" / "Mygraph1.Ylabel"
    When when;
    const char *english;
    const char *turkish;
};

// The language switch's captions.
const LanguageRow kLanguage[] = {
    {"Mygraph1.Xlabel", When::Always, "(Second)", "(Saniye)"},
    {"Mygraph1.Ylabel", When::Kit, "(rpm)", "(d/dk)"},
    {"Mygraph1.Ylabel", When::Sim, "(Volt)", "Volt"},
    {"Label47", When::Always, "Tervalo", "Tervalo"},
    {"Label27", When::Always, "About", "Hakkında"},
    {"Label28", When::Always, "START", "BAŞLA"},
    {"Label29", When::Always, "STOP", "DURDUR"},
    {"Label30", When::Always, "RESET", "RESETLE"},
    {"Label25", When::Always, "Controller Type", "Denetleyici Seçimi"},
    {"Acik", When::Always, "Open Loop", "Denetimsiz"},
    {"Kapalii", When::Always, "Feedback Implementation", "Kapalı Çevrim"},
    {"simulasyon", When::Always, "Feedback Simulation", "Simulasyon"},
    {"Bulanik", When::Always, "Fuzzy Logic", "Bulanık Mantık"},
    {"Label48(41)", When::Always, "Derivative", "Türev"},
    {"Label48(56)", When::Always, "Derivative", "Türev"},
    {"Label48(44)", When::Always, "Increase", "Artır"},
    {"Label48(45)", When::Always, "Decrease", "Azalt"},
    {"Label48(57)", When::Always, "Load", "Yük"},
    {"Label48(13)", When::Kit, "(rpm)", "(d/dk)"},
    {"Label48(13)", When::Sim, "(volt)", "(volt)"},
    {"Label48(14)", When::Kit, "Power", "Güç"},
    {"Label48(14)", When::Sim, "Magnetic Field", "Manyetik Alan"},
    {"Label48(15)", When::Kit, "Source", "Kaynağı"},
    {"Label48(15)", When::Sim, "Generator", "Generatörü"},
    {"Label48(18)", When::Always, "Computer", "Bilgisayar"},
    {"Label48(19)", When::Kit, "Referance Speed", "Referans Hız"},
    {"Label48(19)", When::Sim, "Referance Voltage", "Referans Gerilim"},
    {"Label48(21)", When::Always, "Controller", "Denetleyici"},
    {"Label48(22)", When::Always, "Speed Sensor(rpm)", "Hız Algılayıcı (d/dk)"},
};

struct ModeRow {
    int index;                           // Label48 index
    const char *kitEnglish, *kitTurkish; // nullptr: left as it is
    const char *simEnglish, *simTurkish;
};

// Block-diagram captions by loop mode.
const ModeRow kMode[] = {
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

void checkIndex(int index)
{
    if (index != 0 && index != 1)
        raiseError(RuntimeError::SubscriptOutOfRange, "language index " + std::to_string(index));
}

void setCaption(QWidget *w, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(w)) {
        label->setText(text);
        Fonts::fitCaption(*label);
    } else if (auto *button = qobject_cast<QAbstractButton *>(w))
        button->setText(text);
    else if (auto *frame = qobject_cast<QGroupBox *>(w))
        frame->setTitle(text);
}

void setTarget(Form2Controls &form, const QString &target, const QString &text)
{
    if (target == QLatin1String("Mygraph1.Xlabel")) {
        form.Mygraph1->setXlabel(text);
        return;
    }
    if (target == QLatin1String("Mygraph1.Ylabel")) {
        form.Mygraph1->setYlabel(text);
        return;
    }
    QWidget *w = form.window->findChild<QWidget *>(target);
    if (!w)
        raiseError(RuntimeError::SubscriptOutOfRange, "no control " + target.toStdString());
    setCaption(w, text);
}

} // namespace

QStringList Captions::termNames(int index)
{
    checkIndex(index);
    QStringList names;
    for (const char *t : Terms::names(index))
        names << QLatin1String(t);
    return names;
}

void Captions::applyLanguage(Form2Controls &form, ExperimentState &state, int index)
{
    checkIndex(index);
    const bool simulation = form.simulasyon && form.simulasyon->isChecked();
    for (const LanguageRow &row : kLanguage) {
        if ((row.when == When::Kit && simulation) || (row.when == When::Sim && !simulation))
            continue;
        setTarget(form, QLatin1String(row.target), QString::fromUtf8(index == 0 ? row.english : row.turkish));
    }

    const QStringList terms = termNames(index);
    std::array<std::string, 7> names;
    for (int k = 0; k < 7; ++k) {
        names[static_cast<std::size_t>(k)] = terms.at(k).toStdString();
        // row headings, then column headings
        form.Label11Array[static_cast<std::size_t>(k)]->setText(terms.at(k));
        form.Label11Array[static_cast<std::size_t>(7 + k)]->setText(terms.at(k));
    }
    state.setTermNames(names);
}

void Captions::applyModeCaptions(Form2Controls &form, bool simulation)
{
    const bool english = form.DilArray[0] && form.DilArray[0]->isChecked();
    for (const ModeRow &row : kMode) {
        const char *text =
            simulation ? (english ? row.simEnglish : row.simTurkish) : (english ? row.kitEnglish : row.kitTurkish);
        if (!text)
            continue;
        QLabel *label = form.Label48Array[static_cast<std::size_t>(row.index)];
        if (!label)
            raiseError(RuntimeError::SubscriptOutOfRange, "Label48(" + std::to_string(row.index) + ")");
        label->setText(QString::fromUtf8(text));
        Fonts::fitCaption(*label);
    }
}

QString Captions::portFailureNotice(bool english, const QString &reason)
{
    return english ? QStringLiteral("The kit can no longer be reached: %1.\n"
                                    "The program stops using the port; the run goes on without the kit.")
                         .arg(reason)
                   : QStringLiteral("Sete artık ulaşılamıyor: %1.\n"
                                    "Program portu kullanmayı bırakıyor; çalışma set olmadan sürüyor.")
                         .arg(reason);
}

} // namespace tervalo
