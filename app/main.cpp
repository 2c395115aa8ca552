// Tervalo: the program of the Dervani speed-control kit.
//
//   tervalo [--port DEVICE]                  the window, on the kit at DEVICE
//   tervalo --check-kit [--port DEVICE] [--spin U]
//                                            the kit's self-test, no window
//   tervalo [--port DEVICE] FILE             the window, with the experiment
//                                            file FILE opened after start-up
//
// DEVICE is a ppdev device (default /dev/parport0; the environment variable
// TERVALO_PORT names it when --port does not), or "emulator" for the
// emulated kit.
#include "plant/KitCheck.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/PpdevPort.h"
#include "runtime/NumberText.h"
#include "tervalo_version.h"
#include "ui/ExitPaths.h"
#include "ui/ExitSignals.h"
#include "ui/ExperimentMenu.h"
#include "ui/Form2.h"
#include "ui/LibrarySession.h"
#include "ui/QtTranslations.h"
#include "ui/SurfaceWindow.h"
#include "ui/TuningWindow.h"

#include <CLI/CLI.hpp>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr const char *DefaultPort = "/dev/parport0";
constexpr const char *EmulatorPort = "emulator";
constexpr std::int32_t PortBase = 888;

struct Options {
    std::string port = DefaultPort;
    bool checkKit = false;
    std::optional<int> spin;
    std::string experiment; // a file to open after start-up
};

// Nothing to show: the window is not opened, so no display is needed.
void withoutWindowWhenAsked(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h" || a == "--version" || a == "--check-kit") {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            return;
        }
    }
}

// The options; nullopt with the exit status in *status when the program
// ends here (help, version, bad arguments).
std::optional<Options> parseArguments(int argc, char **argv, int *status)
{
    Options o;
    CLI::App cli{"Tervalo: the program of the Dervani speed-control kit.", "tervalo"};
    cli.set_version_flag("--version", std::string("tervalo ") + TERVALO_VERSION);
    cli.add_option("--port", o.port,
                   "the kit's parallel port, a ppdev device such as /dev/parport1, or 'emulator' for the "
                   "emulated kit")
        ->envname("TERVALO_PORT")
        ->capture_default_str();
    CLI::Option *check = cli.add_flag("--check-kit", o.checkKit,
                                      "test the kit on its port without opening the window; exit status 0 "
                                      "when every step passed, 1 otherwise");
    cli.add_option("--spin", o.spin, "with --check-kit: also measure the speed at this actuator value, 0..4095")
        ->check(CLI::Range(0, 4095))
        ->needs(check);
    cli.add_option("FILE", o.experiment,
                   "an experiment file (.json) to open once the window is up, as its menu's "
                   "\"Open experiment…\" would");
    try {
        cli.parse(argc, argv);
        // a mistyped option's value is no experiment: a file must end in
        // .json or exist
        const QString file = QFile::decodeName(o.experiment.c_str());
        if (!o.experiment.empty() && !file.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)
            && !QFileInfo(file).isFile())
            throw CLI::ValidationError("FILE", o.experiment + ": neither a .json file nor an existing file");
    } catch (const CLI::Success &e) { // help or version
        *status = cli.exit(e);
        return std::nullopt;
    } catch (const CLI::ParseError &e) {
        std::string what = e.what();
        std::replace(what.begin(), what.end(), '\n', ' ');
        std::fprintf(stderr, "tervalo: %s (see tervalo --help)\n", what.c_str());
        *status = 2;
        return std::nullopt;
    }
    return o;
}

int checkKit(const Options &o)
{
    tervalo::SteadyKitClock clock;
    tervalo::KitCheckOptions check;
    check.device = o.port;
    check.base = PortBase;
    check.spin = o.spin;
    if (o.port == EmulatorPort) {
        tervalo::KitEmulator kit(clock, PortBase);
        return tervalo::KitCheck::run(&kit, "", clock, check, std::cout) ? 0 : 1;
    }
    tervalo::PpdevPort port(o.port, PortBase);
    const bool opened = port.open();
    return tervalo::KitCheck::run(opened ? &port : nullptr, port.lastError(), clock, check, std::cout) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    withoutWindowWhenAsked(argc, argv);
    // Qt takes its own arguments (-platform, -style, ...) out of argv.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tervalo"));
    QApplication::setApplicationVersion(QStringLiteral(TERVALO_VERSION));
    int status = 0;
    const std::optional<Options> options = parseArguments(argc, argv, &status);
    if (!options)
        return status;
    if (options->checkKit)
        return checkKit(*options);

    // Numbers are read and written by the program's own rules; only the
    // decimal separator follows the user's regional settings.
    std::setlocale(LC_NUMERIC, "C");
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 128)
        tervalo::NumberText::setDecimalSeparator(point.at(0).toLatin1());

    // The kit: a parallel port, or the emulated kit in real time. When the
    // port cannot be opened the start-up check reports why and the program
    // goes on in simulation.
    const bool emulated = options->port == EmulatorPort;
    std::unique_ptr<tervalo::SteadyKitClock> clock;
    std::unique_ptr<tervalo::PortDriver> port;
    tervalo::PpdevPort *device = nullptr; // the real port, released on the way out
    if (emulated) {
        clock = std::make_unique<tervalo::SteadyKitClock>();
        port = std::make_unique<tervalo::KitEmulator>(*clock, PortBase);
    } else {
        auto ppdev = std::make_unique<tervalo::PpdevPort>(options->port, PortBase);
        ppdev->open();
        device = ppdev.get();
        port = std::move(ppdev);
    }

    tervalo::Form2 window(port.get());
    tervalo::SurfaceWindow::attach(window);
    // the graph menu: the run's entries, the library, tuning
    tervalo::LibrarySession *library = tervalo::LibrarySession::attach(window);
    tervalo::TuningWindow::attach(window);
    tervalo::ExperimentMenu experiments(window);
    tervalo::QtTranslations::follow(window);
    library->pinBaseline = [&window](const tervalo::RunRecord *run, const QString &label) {
        if (run)
            window.setBaseline(*run, label);
        else
            window.clearBaseline();
    };
    {
        tervalo::RunContext context = library->context();
        context.emulatedKit = emulated;
        library->setContext(context);
    }
    experiments.opened = [library](const QString &path, const QByteArray &contents) {
        tervalo::RunContext context = library->context();
        context.setExperiment(path, contents);
        library->setContext(context);
    };
    if (emulated) {
        window.setWindowTitle(window.windowTitle() + QStringLiteral(" (emulated kit)"));
        // a test program's load change on the emulated kit is its load torque
        auto *kit = static_cast<tervalo::KitEmulator *>(port.get());
        experiments.runner().kitLoad = [kit](int level) { kit->setLoadLevel(level); };
    }
    // Every way out that software can catch leaves the kit undriven.
    tervalo::ExitSignals::install(&app, [&window] { window.endProgram(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.writeZeroWord(); });
    tervalo::ExitPaths exitPaths(window, [device] {
        if (device)
            device->close();
    });

    window.Form_Load();
    if (window.ending()) // a signal while the start-up message was open
        return 0;
    window.show();
    if (!options->experiment.empty()) {
        const QString file = QFile::decodeName(options->experiment.c_str());
        QTimer::singleShot(0, &experiments, [&experiments, file] { experiments.openFile(file); });
    }
    const int rc = app.exec();
    window.writeZeroWord();
    return rc;
}
