// tervalo-sim: runs the main window's session against the simulated plant,
// without a display and without waiting, and prints one CSV row per control
// cycle. It drives the very same window handlers a student drives.
//
//   tervalo-sim --controller P|I|PI|PD|PID|fuzzy [--reference R] [--cycles N]
//               [--kp G] [--ki G] [--kd G] [--error-divisor D] [--output-divisor D]
//               [--actuator U] [--load CYCLE:FROM:TO]... [--rules FILE] [--picture FILE]

#include "controls/graph/Mygraph.h"
#include "controls/graph/PictureFile.h"
#include "controls/slider/Myslider.h"
#include "plant/EventPump.h"
#include "plant/MemoryPort.h"
#include "runtime/NumberText.h"
#include "ui/Form2.h"
#include "ui/OptionButton.h"
#include "ui/RuleCell.h"
#include "ui/ScrollBar.h"
#include "tools/CheckedOutput.h"
#include "tools/SimArguments.h"

#include <QApplication>

#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>

namespace {

using tervalo::Form2;
using tervalo::sim::BadArgument;
using tervalo::sim::CheckedOutput;
using tervalo::sim::LoadStep;
using tervalo::sim::Options;

[[noreturn]] void bad(const std::string &message)
{
    throw BadArgument{message};
}

// The counting loop's pump: instead of waiting for the 200 ms timer, every
// pass runs the next control cycle at once and writes its row.
class CyclePump : public tervalo::EventPump {
public:
    CyclePump(const Options &o, CheckedOutput &out) : options_(o), out_(out) {}
    void attach(Form2 *form) { form_ = form; }
    void processEvents() override { next(); }
    void waitForEvents() override { next(); }
    int cyclesRun() const { return cycle_; }

private:
    void next()
    {
        if (cycle_ >= options_.cycles || out_.failed()) {
            form_->Label33_Click(); // STOP
            return;
        }
        ++cycle_;
        for (const LoadStep &s : options_.loads)
            if (s.cycle == cycle_)
                moveLoad(s);
        form_->Timer1_Timer();
        // A table that can no longer be written ends the run.
        if (!out_.write(row()) || cycle_ >= options_.cycles)
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

    std::string row() const
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
        return line;
    }

    const Options &options_;
    CheckedOutput &out_;
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

namespace {

// The one line a failed write ends the run with (status 1).
int writeFailed(const std::string &failure)
{
    std::fprintf(stderr, "tervalo-sim: %s\n", failure.c_str());
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    // The table's own writes report a closed pipe; the signal would end the
    // program without a word.
    std::signal(SIGPIPE, SIG_IGN);
    CheckedOutput out = CheckedOutput::standardOutput();
    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    if (out.failed())
        return writeFailed(out.failure());

    qInstallMessageHandler(quietQt);
    // No window is ever shown: the headless platform whatever the session
    // offers, so that a missing or unusable display cannot stop a run.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    try {
        const tervalo::sim::Parsed parsed = tervalo::sim::parseArguments(argc, argv);
        if (parsed.help) {
            out.write(parsed.usage);
            return out.flush() ? 0 : writeFailed(out.failure());
        }
        const Options &options = parsed.options;

        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        std::setlocale(LC_NUMERIC, "C");

        tervalo::MemoryPort port(888);
        CyclePump pump(options, out);
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

        if (out.write("cycle,time_s,reference,output,error,actuator,fuzzy_step\n"))
            form.Label32_Click(); // START: runs until the last cycle's STOP
        if (!out.flush())
            return writeFailed(out.failure());

        if (!options.picture.empty()) {
            const QString failure = tervalo::writeBitmapFile(
                form.Mygraph1->picture().convertToFormat(QImage::Format_RGB888),
                QString::fromLocal8Bit(options.picture.c_str()));
            if (!failure.isEmpty())
                return writeFailed(failure.toLocal8Bit().toStdString());
        }
        return 0;
    } catch (const BadArgument &e) {
        std::fprintf(stderr, "tervalo-sim: %s\n", e.message.c_str());
        return 2;
    }
}
