// tervalo-sim: runs the main window's session against the simulated plant,
// without a display and without waiting, and prints one CSV row per control
// cycle. It drives the very same window handlers a student drives.
//
//   tervalo-sim --controller P|I|PI|PD|PID|fuzzy [--reference R] [--cycles N]
//               [--kp G] [--ki G] [--kd G] [--error-divisor D] [--output-divisor D]
//               [--actuator U] [--load CYCLE:FROM:TO]... [--rules FILE] [--picture FILE]

#include "controls/graph/Mygraph.h"
#include "controls/slider/Myslider.h"
#include "engine/FuzzyController.h"
#include "plant/EventPump.h"
#include "plant/MemoryPort.h"
#include "runtime/NumberText.h"
#include "tervalo_version.h"
#include "ui/Form2.h"
#include "ui/OptionButton.h"
#include "ui/RuleCell.h"
#include "ui/ScrollBar.h"

#include <CLI/CLI.hpp>

#include <QApplication>
#include <QImageWriter>

#include <array>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using tervalo::Form2;

struct LoadStep {
    int cycle = 0, from = 0, to = 0;
};

struct Options {
    std::string controller;
    int reference = 1000;
    int cycles = 100;
    std::optional<double> kp, ki, kd;
    int errorDivisor = 2;
    int outputDivisor = 10;
    std::optional<int> actuator;
    std::vector<LoadStep> loads;
    std::optional<std::array<int, 49>> rules; // term index of every cell
    std::string picture;
};

struct BadArgument {
    std::string message;
};

[[noreturn]] void bad(const std::string &message)
{
    throw BadArgument{message};
}

LoadStep parseLoad(const std::string &text, int cycles)
{
    LoadStep s;
    char c1 = 0, c2 = 0;
    std::istringstream in(text);
    if (!(in >> s.cycle >> c1 >> s.from >> c2 >> s.to) || c1 != ':' || c2 != ':' || !(in >> std::ws).eof())
        bad("--load " + text + ": expected CYCLE:FROM:TO, three whole numbers");
    if (s.cycle < 1 || s.cycle > cycles)
        bad("--load " + text + ": the cycle must lie in 1.." + std::to_string(cycles));
    if (s.from < 1 || s.from > 30 || s.to < 1 || s.to > 30)
        bad("--load " + text + ": the load slider runs from 1 to 30");
    return s;
}

std::array<int, 49> parseRules(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        bad("--rules " + path + ": cannot be read");
    static const std::vector<std::string> terms = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
    std::array<int, 49> cells{};
    std::string line;
    int row = 0;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::vector<std::string> names;
        for (std::string w; words >> w;)
            names.push_back(w);
        if (names.empty())
            continue;
        if (row == 7)
            bad("--rules " + path + ": line " + std::to_string(lineNo) + ": more than seven rows");
        if (names.size() != 7)
            bad("--rules " + path + ": line " + std::to_string(lineNo) + ": expected seven term names, found "
                + std::to_string(names.size()));
        for (int col = 0; col < 7; ++col) {
            int term = -1;
            for (int t = 0; t < 7; ++t)
                if (names[static_cast<std::size_t>(col)] == terms[static_cast<std::size_t>(t)])
                    term = t;
            if (term < 0)
                bad("--rules " + path + ": line " + std::to_string(lineNo) + ": \""
                    + names[static_cast<std::size_t>(col)] + "\" is not one of NB NM NS ZE PS PM PB");
            cells[static_cast<std::size_t>(tervalo::FuzzyController::cellIndex(row, col))] = term;
        }
        ++row;
    }
    if (row != 7)
        bad("--rules " + path + ": expected seven rows, found " + std::to_string(row));
    return cells;
}

Options parseArguments(int argc, char **argv)
{
    Options o;
    CLI::App cli{"Runs the Tervalo control session against the simulated plant and prints one CSV row per cycle."};
    cli.set_version_flag("--version", std::string("tervalo-sim ") + TERVALO_VERSION);
    cli.add_option("--controller", o.controller, "P, I, PI, PD, PID or fuzzy")
        ->required()
        ->check(CLI::IsMember({"P", "I", "PI", "PD", "PID", "fuzzy"}));
    cli.add_option("--reference", o.reference, "reference speed, 500..2000")->check(CLI::Range(500, 2000));
    cli.add_option("--cycles", o.cycles, "control cycles of 0.2 s")->check(CLI::Range(1, 100000000));
    cli.add_option("--kp", o.kp, "proportional gain");
    cli.add_option("--ki", o.ki, "integral gain");
    cli.add_option("--kd", o.kd, "derivative gain");
    cli.add_option("--error-divisor", o.errorDivisor, "fuzzy error-change divisor, 1..20")->check(CLI::Range(1, 20));
    cli.add_option("--output-divisor", o.outputDivisor, "fuzzy output-step divisor, 2..20")->check(CLI::Range(2, 20));
    cli.add_option("--actuator", o.actuator, "actuator value before START, 0..4095")->check(CLI::Range(0, 4095));
    std::vector<std::string> loads;
    cli.add_option("--load", loads, "CYCLE:FROM:TO, move the load slider just before CYCLE");
    std::string rules;
    cli.add_option("--rules", rules, "rule table: seven lines of seven English term names");
    cli.add_option("--picture", o.picture, "write the graph's picture to this bitmap file after the run");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        std::fputs(cli.help().c_str(), stdout);
        std::exit(0);
    } catch (const CLI::CallForVersion &e) {
        std::printf("%s\n", e.what());
        std::exit(0);
    } catch (const CLI::ParseError &e) {
        bad(e.what());
    }
    for (const std::string &l : loads)
        o.loads.push_back(parseLoad(l, o.cycles));
    if (!rules.empty())
        o.rules = parseRules(rules);
    return o;
}

// The counting loop's pump: instead of waiting for the 200 ms timer, every
// pass runs the next control cycle at once and writes its row.
class CyclePump : public tervalo::EventPump {
public:
    CyclePump(const Options &o, std::FILE *out) : options_(o), out_(out) {}
    void attach(Form2 *form) { form_ = form; }
    void processEvents() override { next(); }
    void waitForEvents() override { next(); }
    int cyclesRun() const { return cycle_; }

private:
    void next()
    {
        if (cycle_ >= options_.cycles) {
            form_->Label33_Click(); // STOP
            return;
        }
        ++cycle_;
        for (const LoadStep &s : options_.loads)
            if (s.cycle == cycle_)
                moveLoad(s);
        form_->Timer1_Timer();
        row();
        if (cycle_ >= options_.cycles)
            form_->Label33_Click();
    }

    void moveLoad(const LoadStep &s)
    {
        // a press at FROM, a drag, a release at TO
        form_->Slider11->setValue(s.from);
        form_->Slider11_MouseDown();
        form_->Slider11->setValue(s.to);
        form_->Slider11_MouseUp();
    }

    void row()
    {
        using tervalo::NumberText;
        std::string line = std::to_string(cycle_);
        line += ',';
        line += NumberText::dbl(cycle_ * 0.2);
        line += ',';
        line += std::to_string(form_->reference.value());
        line += ',';
        line += std::to_string(form_->outputY);
        line += ',';
        line += std::to_string(form_->errorE);
        line += ',';
        line += std::to_string(form_->Slider1->Value());
        line += ',';
        if (options_.controller == "fuzzy")
            line += std::to_string(form_->outputDelta.value());
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), out_);
    }

    const Options &options_;
    std::FILE *out_;
    Form2 *form_ = nullptr;
    int cycle_ = 0;
};

// The gain sliders of each controller's panel.
struct GainSliders {
    tervalo::ScrollBar *kp = nullptr, *ki = nullptr, *kd = nullptr;
};

GainSliders slidersOf(const Form2 &f, const std::string &controller)
{
    if (controller == "P")
        return {f.Slider2, nullptr, nullptr};
    if (controller == "I")
        return {nullptr, f.Slider3, nullptr};
    if (controller == "PI")
        return {f.Slider4, f.Slider5, nullptr};
    if (controller == "PD")
        return {f.Slider12, nullptr, f.Slider13};
    if (controller == "PID")
        return {f.Slider6, f.Slider8, f.Slider7};
    return {};
}

// gain x 1000 must be a whole value on the slider
int sliderValue(const std::string &name, double gain, tervalo::ScrollBar *bar, const std::string &controller)
{
    if (!bar)
        bad("--" + name + ": the " + controller + " controller has no " + name + " slider");
    const double scaled = gain * 1000.0;
    const double whole = std::nearbyint(scaled);
    if (!std::isfinite(gain) || std::fabs(scaled - whole) > 1e-6 || whole < bar->Min() || whole > bar->Max()) {
        std::ostringstream msg;
        msg << "--" << name << " " << gain << ": not on the " << controller << " slider (" << bar->Min() / 1000.0
            << " to " << bar->Max() / 1000.0 << " in steps of 0.001)";
        bad(msg.str());
    }
    return static_cast<int>(whole);
}

} // namespace

// Only the simulator's own lines reach stderr; the platform's notices about
// the headless display would read as errors of the run.
void quietQt(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tervalo-sim: %s\n", message.toLocal8Bit().constData());
}

int main(int argc, char **argv)
{
    qInstallMessageHandler(quietQt);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::setlocale(LC_NUMERIC, "C");

    try {
        const Options options = parseArguments(argc, argv);

        static char outBuffer[1 << 16];
        std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

        tervalo::MemoryPort port(888);
        CyclePump pump(options, stdout);
        Form2 form(&port, &pump);
        pump.attach(&form);
        form.showMessage = [](const QString &) {};
        form.notifyUser = [](const QString &t) { std::fprintf(stderr, "tervalo-sim: %s\n", t.toLocal8Bit().constData()); };
        form.showAbout = [] {};
        form.quitApplication = [] {};

        form.Form_Load();
        form.simulasyon->setValue(true);
        const std::map<std::string, tervalo::OptionButton *> buttons = {
            {"P", form.Pcontrol}, {"I", form.Icontrol}, {"PI", form.PIcontrol},
            {"PD", form.PDcontrol}, {"PID", form.PIDcontrol}, {"fuzzy", form.Bulanik},
        };
        buttons.at(options.controller)->setValue(true);

        const GainSliders gains = slidersOf(form, options.controller);
        const struct {
            const char *name;
            const std::optional<double> &value;
            tervalo::ScrollBar *bar;
        } given[] = {{"kp", options.kp, gains.kp}, {"ki", options.ki, gains.ki}, {"kd", options.kd, gains.kd}};
        for (const auto &g : given)
            if (g.value) {
                const int v = sliderValue(g.name, *g.value, g.bar, options.controller); // rejects a missing slider
                g.bar->setValue(v);
            }

        form.Myslider1->setValue(options.reference);
        form.Slider9->setValue(options.errorDivisor);
        form.Slider10->setValue(options.outputDivisor);
        if (options.actuator)
            form.Slider1->setValue(*options.actuator);
        if (options.rules)
            for (int i = 0; i < 49; ++i)
                form.Combo1(i)->setListIndex((*options.rules)[static_cast<std::size_t>(i)]);

        std::fputs("cycle,time_s,reference,output,error,actuator,fuzzy_step\n", stdout);
        form.Label32_Click(); // START: runs until the last cycle's STOP
        std::fflush(stdout);

        if (!options.picture.empty()) {
            QImageWriter writer(QString::fromLocal8Bit(options.picture.c_str()), "bmp");
            if (!writer.write(form.Mygraph1->picture().convertToFormat(QImage::Format_RGB888))) {
                std::fprintf(stderr, "tervalo-sim: %s: %s\n", options.picture.c_str(),
                             writer.errorString().toLocal8Bit().constData());
                return 1;
            }
        }
        return 0;
    } catch (const BadArgument &e) {
        std::fprintf(stderr, "tervalo-sim: %s\n", e.message.c_str());
        return 2;
    }
}
