// tervalo-sim: runs the main window's session against the simulated plant or
// the emulated kit, without a display and without waiting, and prints one CSV
// row per control cycle. It drives the very same window handlers a student
// drives.
//
//   tervalo-sim [--mode simulation|kit] --controller P|I|PI|PD|PID|fuzzy|open
//               [--reference R] [--cycles N]
//               [--kp G] [--ki G] [--kd G] [--error-divisor D] [--output-divisor D]
//               [--actuator U] [--load CYCLE:FROM:TO]... [--rules FILE] [--picture FILE]
//               [--at CYCLE:reference=R|CYCLE:load=L]... [--summary]
//               [--experiment FILE] [--save-experiment FILE]
//               [--library FILE [--class-server URL] [--student NAME]]
//   tervalo-sim --library FILE --forward [--class-server URL]
//   tervalo-sim --surface FILE [--rules FILE] [--reference R] [--error-divisor D] [--output-divisor D]
//   tervalo-sim --identify U1:U2 [--mode kit]
//   tervalo-sim --suggest P|I|PI|PD|PID [--overshoot PCT] [--reference R] [--cycles N] [--mode kit]

#include "controls/graph/PictureFile.h"
#include "engine/ClassicPanels.h"
#include "engine/RunRecord.h"
#include "plant/EventPump.h"
#include "plant/KitEmulator.h"
#include "plant/MemoryPort.h"
#include "runtime/NumberText.h"
#include "session/Lab.h"
#include "store/ClassConfig.h"
#include "tervalo_version.h"
#include "tools/CheckedOutput.h"
#include "tools/SimArguments.h"
#include "tools/SimSession.h"
#include "tools/SimStore.h"
#include "tools/SimTuning.h"
#include "ui/main/Form2.h"
#include "ui/windows/RunWindow.h"

#include <QApplication>
#include <QFileInfo>

#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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

// A class server or student named by the environment or the settings that
// cannot be used (status 1).
struct ClassSettingFailed {
    std::string message;
};

// The table's columns: the run's own, up to the fuzzy step (the law's parts
// are the library's).
constexpr std::size_t kTableColumns = static_cast<std::size_t>(tervalo::RunColumn::FuzzyStep) + 1;

std::string tableHeader()
{
    std::string line;
    for (std::size_t k = 0; k < kTableColumns; ++k)
        line += (k > 0 ? "," : "") + std::string(tervalo::kRunColumns[k].name);
    return line + '\n';
}

// One control cycle of the CSV run: the load step due before it, the cycle,
// its row. False ends the run (after the last cycle, or when the table can no
// longer be written).
//
// The row is taken when the cycle is done, before any event of the test
// program for the next cycle (applied at the same moment) can touch the
// window: each row shows the values its own cycle ran with.
class CsvRun : public tervalo::CycleObserver {
public:
    CsvRun(const Options &o, CheckedOutput &out, tervalo::sim::Session &session)
        : options_(o), out_(out), session_(session)
    {
        form().lab().watchCycles(this);
    }
    ~CsvRun() override { form().lab().unwatchCycles(this); }

    bool next()
    {
        if (cycle_ >= options_.cycles || out_.failed())
            return false;
        ++cycle_;
        for (const LoadStep &s : options_.loads)
            if (s.cycle == cycle_)
                moveLoad(s);
        taken_ = false;
        form().Timer1_Timer();
        if (!taken_)
            row_ = row();
        // A table that can no longer be written ends the run.
        return (options_.summary || out_.write(row_)) && cycle_ < options_.cycles;
    }

    void cycleDone(const tervalo::ExperimentState &, const tervalo::CycleSample &) override
    {
        row_ = row();
        taken_ = true;
    }

private:
    Form2 &form() { return session_.form(); }

    // In simulation the load slider is dragged; on the kit the emulator's
    // load torque steps to the slider level's torque.
    void moveLoad(const LoadStep &s)
    {
        if (tervalo::KitEmulator *kit = session_.emulator())
            kit->setLoadLevel(s.to);
        else
            form().moveLoad(s.from, s.to);
    }

    std::string row()
    {
        using tervalo::NumberText;
        using tervalo::RunColumn;
        const tervalo::ExperimentState &st = form().state();
        std::string line;
        for (std::size_t k = 0; k < kTableColumns; ++k) {
            if (k > 0)
                line += ',';
            switch (tervalo::kRunColumns[k].column) {
            case RunColumn::Cycle: line += std::to_string(cycle_); break;
            case RunColumn::Time: line += NumberText::dbl(cycle_ * 0.2); break;
            case RunColumn::Reference: line += std::to_string(st.reference.value()); break;
            case RunColumn::Output: line += std::to_string(st.outputY); break;
            case RunColumn::Error: line += std::to_string(st.errorE); break;
            case RunColumn::Actuator: line += std::to_string(form().actuatorValue()); break;
            case RunColumn::FuzzyStep:
                if (options_.controller == "fuzzy")
                    line += std::to_string(st.outputDelta.value());
                break;
            default: break;
            }
        }
        line += '\n';
        return line;
    }

    const Options &options_;
    CheckedOutput &out_;
    tervalo::sim::Session &session_;
    int cycle_ = 0;
    std::string row_;
    bool taken_ = false;
};

// The events the window's own test-program runner applies. Events after the
// last cycle are left out: they would only change the picture after the run.
tervalo::TestProgram windowEvents(const Options &o)
{
    tervalo::TestProgram program;
    for (const tervalo::TestEvent &e : o.program.events())
        if (e.cycle <= o.cycles)
            program.add(e);
    return program;
}

// The gain bar of a gain on the controller's panel; "" when it has none.
std::string barOf(const std::string &controller, tervalo::Gain gain)
{
    const tervalo::ClassicPanel *panel = tervalo::ClassicPanels::named(controller);
    if (panel)
        for (std::size_t k = 0; k < panel->sliderCount; ++k)
            if (panel->sliders[k].gain == gain)
                return panel->sliders[k].bar;
    return {};
}

// gain x 1000 must be a whole value on the bar (0 .. its maximum)
int sliderValue(const std::string &name, double gain, const std::string &bar, const Form2 &form,
                const std::string &controller)
{
    if (bar.empty())
        bad("--" + name + ": the " + controller + " controller has no " + name + " slider");
    const int max = form.gainBarMax(bar);
    const std::optional<int> whole = tervalo::ClassicPanels::onBarSteps(gain);
    if (!whole || *whole < 0 || *whole > max) {
        std::ostringstream msg;
        msg << "--" << name << " " << gain << ": not on the " << controller << " slider (0 to "
            << tervalo::ClassicPanels::fromBar(max) << " in steps of 0.001)";
        bad(msg.str());
    }
    return *whole;
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

// The figures of the run the window recorded: one "metric,value" line each,
// then those of each stretch of constant reference when the reference
// stepped.
std::string summary(const Form2 &form)
{
    const tervalo::RunRecord &run = form.lab().record();
    // the stretches between events first, then the whole run
    return tervalo::sim::stretchLines(run) + tervalo::summaryLines(run.figures());
}

// The one line a failed write ends the run with (status 1).
int writeFailed(const std::string &failure)
{
    std::fprintf(stderr, "tervalo-sim: %s\n", failure.c_str());
    return 1;
}

// The class server the run goes on to: --class-server, else the
// environment or the settings; nothing when none is named. A URI that is
// none ends the program: status 2 for the option's, 1 for another place's.
std::optional<tervalo::ClassServerAddress> classServerOf(const Options &o)
{
    namespace config = tervalo::ClassConfig;
    if (o.library.empty())
        return std::nullopt;
    const tervalo::ClassSetting setting = config::server(
        o.classServer ? std::optional<QString>(QString::fromLocal8Bit(o.classServer->c_str())) : std::nullopt);
    QString why;
    std::optional<tervalo::ClassServerAddress> address = config::address(setting, &why);
    if (!address && setting.given()) {
        if (o.classServer)
            bad(tervalo::sim::oneLine(why));
        throw ClassSettingFailed{tervalo::sim::oneLine(why)};
    }
    return address;
}

// The student the run is stored with: --student, else the environment or
// the user's settings.
QString studentOf(const Options &o)
{
    namespace config = tervalo::ClassConfig;
    const tervalo::ClassSetting setting =
        config::student(o.student ? std::optional<QString>(QString::fromLocal8Bit(o.student->c_str())) : std::nullopt);
    QString why;
    if (!config::acceptableStudent(setting.value, &why)) {
        if (o.student)
            bad("--student: " + tervalo::sim::oneLine(why));
        throw ClassSettingFailed{tervalo::sim::oneLine(setting.from + QStringLiteral(": ") + why)};
    }
    return setting.value;
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

        if (!options.surface.empty())
            return tervalo::sim::writeSurface(options);
        if (options.identify)
            return tervalo::sim::identifyPlant(options, out);
        if (!options.suggest.empty())
            return tervalo::sim::suggestGains(options, out);

        const std::optional<tervalo::ClassServerAddress> classServer = classServerOf(options);
        const auto forwardLines = [](const tervalo::sim::Forwarded &f) {
            for (const std::string &line : f.lines)
                std::fprintf(stderr, "tervalo-sim: %s\n", line.c_str());
            return f.status;
        };
        if (options.forward) {
            if (!classServer)
                bad("--forward: no class server named (--class-server URL, TERVALO_CLASS_SERVER or the settings)");
            if (!QFileInfo(QString::fromLocal8Bit(options.library.c_str())).isFile())
                return writeFailed(options.library + ": no such run library");
            return forwardLines(tervalo::sim::forwardRuns(options.library, *classServer));
        }
        const QString student = options.library.empty() ? QString() : studentOf(options);

        tervalo::sim::Session session(options.kit());
        Form2 &form = session.form();
        if (!options.heldController.empty()) {
            form.selectController(options.heldController);
            if (const tervalo::ClassicPanel *panel = tervalo::ClassicPanels::named(options.heldController))
                for (std::size_t k = 0; k < panel->sliderCount; ++k)
                    form.setGainBar(panel->sliders[k].bar,
                                    tervalo::ClassicPanels::toBar(
                                        options.heldGains[static_cast<std::size_t>(panel->sliders[k].gain)]));
        }
        session.selectLoop(options.controller);

        using tervalo::Gain;
        const struct {
            Gain gain;
            const std::optional<double> &value;
        } given[] = {{Gain::Kp, options.kp}, {Gain::Ki, options.ki}, {Gain::Kd, options.kd}};
        for (const auto &g : given)
            if (g.value) {
                const std::string bar = barOf(options.controller, g.gain);
                const std::string name = tervalo::ClassicPanels::name(g.gain);
                form.setGainBar(bar, sliderValue(name, *g.value, bar, form, options.controller));
            }

        form.setReference(options.reference);
        form.setDivisors(options.errorDivisor, options.outputDivisor);
        if (options.actuator)
            form.setActuator(*options.actuator);
        if (options.rules)
            for (int i = 0; i < 49; ++i)
                form.setRuleTerm(i, (*options.rules)[static_cast<std::size_t>(i)]);

        // Failures of the files beside the table: one line each after the
        // run, which goes on whatever they say.
        std::vector<std::string> failures;
        if (!options.saveExperiment.empty())
            if (std::string failure = tervalo::sim::saveExperiment(form, options.program, options.saveExperiment);
                !failure.empty())
                failures.push_back(std::move(failure));

        CsvRun run(options, out, session);
        // on the kit a load change steps the emulated motor's load torque
        // when the cycle before is done, so that it acts on the whole period
        // its cycle measures
        form.lab().testProgram().setProgram(windowEvents(options));
        if (options.summary || out.write(tableHeader()))
            session.run([&run] { return run.next(); });
        if (options.summary)
            out.write(summary(session.form()));
        // the run sent on to the class server: its line (runs kept for
        // later) told last, once
        tervalo::sim::Forwarded forwarded;
        if (!options.library.empty()) {
            tervalo::RunContext context = form.lab().context();
            context.student = student;
            if (!options.experiment.empty())
                context.setExperiment(QString::fromLocal8Bit(options.experiment.c_str()),
                                      QByteArray::fromStdString(options.experimentContents));
            if (std::string failure = tervalo::sim::storeRun(form.lab().record(), options.library, context);
                !failure.empty())
                failures.push_back(std::move(failure));
            else if (classServer)
                forwarded = tervalo::sim::forwardRuns(options.library, *classServer);
        }
        const auto reportFailures = [&] {
            for (const std::string &f : failures)
                std::fprintf(stderr, "tervalo-sim: %s\n", f.c_str());
            const int status = forwardLines(forwarded);
            return failures.empty() ? status : 1;
        };
        if (!out.flush()) {
            reportFailures();
            return writeFailed(out.failure());
        }

        if (!options.picture.empty()) {
            const tervalo::FileError failure =
                tervalo::writeBitmapFile(form.graphPicture().convertToFormat(QImage::Format_RGB888),
                                         QString::fromLocal8Bit(options.picture.c_str()));
            if (failure) {
                reportFailures();
                return writeFailed(failure.message().toLocal8Bit().toStdString());
            }
        }
        if (!options.report.empty()) {
            // the window's own report, laid out headless
            tervalo::RunWindow window(form.lab().record());
            window.setLanguage(form.lab().english());
            const tervalo::FileError failure = window.saveReport(QString::fromLocal8Bit(options.report.c_str()));
            if (failure) {
                reportFailures();
                return writeFailed(failure.message().toLocal8Bit().toStdString());
            }
        }
        return reportFailures();
    } catch (const BadArgument &e) {
        std::fprintf(stderr, "tervalo-sim: %s\n", e.message.c_str());
        return 2;
    } catch (const ClassSettingFailed &e) {
        std::fprintf(stderr, "tervalo-sim: %s\n", e.message.c_str());
        return 1;
    }
}
