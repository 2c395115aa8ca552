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
#include "app/ExitPaths.h"
#include "app/ExitSignals.h"
#include "app/QtTranslations.h"
#include "plant/ActuatorOutput.h"
#include "plant/KitCheck.h"
#include "plant/KitClock.h"
#include "plant/KitEmulator.h"
#include "plant/PpdevPort.h"
#include "remote/RemoteService.h"
#include "runtime/NumberText.h"
#include "session/Lab.h"
#include "store/ClassConfig.h"
#include "tervalo_version.h"
#include "ui/main/Form2.h"
#include "ui/main/LibrarySession.h"
#include "ui/windows/ClassWindow.h"
#include "ui/windows/ExperimentMenu.h"
#include "ui/windows/RemoteWindow.h"
#include "ui/windows/SurfaceWindow.h"
#include "ui/windows/TuningWindow.h"

#include <CLI/CLI.hpp>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char *DefaultPort = "/dev/parport0";
constexpr const char *EmulatorPort = "emulator";
constexpr std::int32_t PortBase = 888;

struct Options {
    std::string port = DefaultPort;
    bool checkKit = false;
    std::optional<int> spin;
    std::string experiment; // a file to open after start-up
    std::string serve;      // [ADDRESS:]PORT of the remote lab, empty: not served
    std::string remoteConfig, tlsCert, tlsKey;
    std::optional<std::string> classServer, student;
    bool classWindow = false; // An option's text as the command line gave it.
    std::optional<QString> localText(const std::optional<std::string> &v)
    {
        return v ? std::optional<QString>(QString::fromLocal8Bit(v->c_str())) : std::nullopt;
    }

    // --class: the instructor's window instead of the kit's
    std::string classUrl;
};

// Qt's own options (-platform offscreen, -style Fusion, -reverse, ...; with
// one dash or two) are Qt's to take when the window starts: they are left
// out of the program's options. Qt's options of the form -name=value are
// all single words and need no table.
std::vector<char *> withoutQtOptions(int argc, char **argv)
{
    static const char *const withValue[] = {"platform",        "platformpluginpath", "platformtheme", "plugin",
                                            "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
                                            "display",         "geometry",           "style",         "stylesheet"};
    static const char *const alone[] = {
        "reverse", "widgetcount", "style=", "stylesheet=", "qmljsdebugger=", "dialogs=", "fontengine="};
    std::vector<char *> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") { // the rest are the program's
            rest.insert(rest.end(), argv + i, argv + argc);
            break;
        }
        const std::string name = a.rfind("--", 0) == 0 ? a.substr(2) : a.rfind('-', 0) == 0 ? a.substr(1) : "";
        const auto named = [&name](const char *qt) {
            const std::string n = qt;
            return n.back() == '=' ? name.rfind(n, 0) == 0 : name == n;
        };
        if (std::any_of(std::begin(withValue), std::end(withValue), named) && i + 1 < argc) {
            ++i; // and its value
            continue;
        }
        if (std::any_of(std::begin(alone), std::end(alone), named))
            continue;
        rest.push_back(argv[i]);
    }
    return rest;
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
    CLI::Option *serve = cli.add_option("--serve", o.serve,
                                        "serve the remote lab at [ADDRESS:]PORT (address 127.0.0.1 unless one is "
                                        "given); prints the address and, without --remote-config, the codes");
    cli.add_option("--remote-config", o.remoteConfig,
                   "the remote lab's configuration file (who may watch and drive, slots, modes)")
        ->check(CLI::ExistingFile);
    CLI::Option *cert = cli.add_option("--tls-cert", o.tlsCert, "serve over TLS with this PEM certificate")
                            ->check(CLI::ExistingFile)
                            ->needs(serve);
    CLI::Option *key = cli.add_option("--tls-key", o.tlsKey, "the PEM private key of --tls-cert")
                           ->check(CLI::ExistingFile)
                           ->needs(serve);
    cert->needs(key);
    key->needs(cert);
    cli.add_option("--class-server", o.classServer,
                   "send every run on to this class server, a libpq URI such as "
                   "postgresql://ayse@lab-server/class?sslmode=require (else TERVALO_CLASS_SERVER, then the "
                   "settings)");
    CLI::Option *classOption =
        cli.add_option("--class", o.classUrl,
                       "open the instructor's Class window on the class server (this URI, else --class-server, "
                       "TERVALO_CLASS_SERVER or the settings) instead of the kit's window")
            ->expected(0, 1);
    cli.add_option("--student", o.student,
                   "the name or exam code the runs are stored for (else TERVALO_STUDENT, then the settings)");
    cli.add_option("FILE", o.experiment,
                   "an experiment file (.json) to open once the window is up, as its menu's "
                   "\"Open experiment…\" would");
    try {
        std::vector<char *> own = withoutQtOptions(argc, argv);
        cli.parse(static_cast<int>(own.size()), own.data());
        o.classWindow = classOption->count() > 0;
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

// An option's text as the command line gave it.
std::optional<QString> localText(const std::optional<std::string> &v)
{
    return v ? std::optional<QString>(QString::fromLocal8Bit(v->c_str())) : std::nullopt;
}

// --class: where the class server is; nothing (after one line on stderr)
// when it is not given or is no URI.
std::optional<tervalo::ClassServerAddress> classAddress(const Options &o)
{
    const tervalo::ClassSetting server = tervalo::ClassConfig::server(
        !o.classUrl.empty() ? std::optional<QString>(QString::fromLocal8Bit(o.classUrl.c_str()))
                            : localText(o.classServer));
    QString why;
    std::optional<tervalo::ClassServerAddress> address =
        server.given() ? tervalo::ClassConfig::address(server, &why) : std::nullopt;
    if (!address)
        std::fprintf(stderr, "tervalo: --class: %s\n",
                     (server.given() ? why
                                     : QStringLiteral("no class server (give its URI, or set TERVALO_CLASS_SERVER "
                                                      "or the lab settings)"))
                         .toLocal8Bit()
                         .constData());
    return address;
}

// --class: the instructor's window on the class server, no kit touched.
int classWindow(const std::optional<tervalo::ClassServerAddress> &address)
{
    QString why;
    const bool english = QLocale::system().language() != QLocale::Turkish;
    std::unique_ptr<tervalo::ClassWindow> window = tervalo::ClassWindow::openOn(
        *address,
        [&]() -> std::optional<QString> {
            bool ok = false;
            const QString p =
                QInputDialog::getText(nullptr, tervalo::ClassWindow::text(tervalo::ClassWindow::Text::Title, english),
                                      address->uri(), QLineEdit::Password, QString(), &ok);
            return ok ? std::optional<QString>(p) : std::nullopt;
        },
        &why);
    if (!window) {
        std::fprintf(stderr, "tervalo: --class: %s\n", why.toLocal8Bit().constData());
        QMessageBox::critical(nullptr, tervalo::ClassWindow::text(tervalo::ClassWindow::Text::Title, english), why);
        return 1;
    }
    window->setLanguage(english);
    tervalo::ClassWindow *w = window.get();
    w->askSavePath = [w](const QString &suggested) {
        return QFileDialog::getSaveFileName(
            w, QString(), suggested, tervalo::ClassWindow::text(tervalo::ClassWindow::Text::CsvFiles, w->english()));
    };
    w->showError = [w](const QString &message) {
        QMessageBox::warning(w, tervalo::ClassWindow::text(tervalo::ClassWindow::Text::Title, w->english()), message);
    };
    w->show();
    return QApplication::exec();
}

// The self-test takes the window's ways out: a signal (SIGINT, SIGTERM,
// SIGHUP) ends the check at its next step, exit() or an uncaught exception
// say the last words; each leaves the all-zero word and the port released,
// and a check cut short fails.
int checkKit(const Options &o)
{
    tervalo::ExitSignals::catchOnly();
    tervalo::SteadyKitClock clock;
    tervalo::KitCheckOptions check;
    check.device = o.port;
    check.base = PortBase;
    check.spin = o.spin;
    check.interruption = [] { return tervalo::ExitSignals::caught(); };
    if (o.port == EmulatorPort) {
        tervalo::KitEmulator kit(clock, PortBase);
        tervalo::ExitPaths exits([&kit] { tervalo::ActuatorOutput::writeZeroWord(kit, PortBase); });
        return tervalo::KitCheck::run(&kit, "", clock, check, std::cout) ? 0 : 1;
    }
    tervalo::PpdevPort port(o.port, PortBase);
    const bool opened = port.open();
    tervalo::ExitPaths exits([&port] {
        if (port.isOpen())
            tervalo::ActuatorOutput::writeZeroWord(port, PortBase);
        port.close();
    });
    return tervalo::KitCheck::run(opened ? &port : nullptr, port.lastError(), clock, check, std::cout) ? 0 : 1;
}

// The platform cannot start (a display that cannot be reached, a platform
// plugin missing): one line and status 1 instead of Qt's abort. Qt's other
// messages go where they went.
QtMessageHandler g_qtMessages = nullptr;

void platformFailed(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        if (g_qtMessages)
            g_qtMessages(type, context, message);
        return;
    }
    // Qt's first sentence: its advice to reinstall does not fit a lost display
    const QString first = message.section(QLatin1Char('\n'), 0, 0).section(QLatin1String(". "), 0, 0).trimmed();
    const QByteArray display = qgetenv("DISPLAY");
    std::fprintf(stderr, "tervalo: the window cannot be opened%s%s: %s\n", display.isEmpty() ? "" : " on display ",
                 display.constData(), first.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

// Nothing names a display for the window: no platform chosen, no X11 or
// Wayland display in the environment.
bool noDisplay(int argc, char **argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // The arguments are read before the window system is started: a bad one,
    // help, the version and the self-test need no display.
    int status = 0;
    const std::optional<Options> options = parseArguments(argc, argv, &status);
    if (!options)
        return status;
    if (options->checkKit)
        return checkKit(*options);
    tervalo::remote::ServeSettings serving;
    if (!options->serve.empty()) {
        QString why;
        if (!tervalo::remote::parseServeAddress(QString::fromStdString(options->serve), serving, &why)) {
            std::fprintf(stderr, "tervalo: --serve %s (see tervalo --help)\n", why.toLocal8Bit().constData());
            return 2;
        }
        serving.configPath = QFile::decodeName(options->remoteConfig.c_str());
        serving.certPath = QFile::decodeName(options->tlsCert.c_str());
        serving.keyPath = QFile::decodeName(options->tlsKey.c_str());
    }
    std::optional<tervalo::ClassServerAddress> classServer;
    if (options->classWindow && !(classServer = classAddress(*options)))
        return 2;
    if (noDisplay(argc, argv)) {
        std::fprintf(stderr,
                     "tervalo: the window cannot be opened: no display (DISPLAY is not set); "
                     "tervalo --check-kit tests the kit without one\n");
        return 1;
    }

    // Qt takes its own arguments (-platform, -style, ...) out of argv.
    g_qtMessages = qInstallMessageHandler(platformFailed);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtMessages);
    QApplication::setApplicationName(QStringLiteral("Tervalo"));
    QApplication::setApplicationVersion(QStringLiteral(TERVALO_VERSION));

    // Numbers are read and written by the program's own rules; only the
    // decimal separator follows the user's regional settings.
    std::setlocale(LC_NUMERIC, "C");
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 128)
        tervalo::NumberText::setDecimalSeparator(point.at(0).toLatin1());

    if (options->classWindow)
        return classWindow(classServer);

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
    tervalo::Lab &lab = window.lab();
    tervalo::usePlant(lab, port.get());
    const tervalo::MenuHost menus = window.menuHost();
    tervalo::SurfaceWindow::attach(lab, menus);
    // the graph menu: the run's entries, the library, tuning
    tervalo::LibrarySession *library = tervalo::LibrarySession::attach(window);
    library->useClassServer(tervalo::ClassConfig::server(localText(options->classServer)),
                            tervalo::ClassConfig::student(localText(options->student)));
    tervalo::TuningWindow::attach(lab, menus);
    tervalo::ExperimentMenu experiments(lab, menus);
    tervalo::QtTranslations::follow(lab);
    experiments.opened = [&lab](const QString &path, const QByteArray &contents) {
        tervalo::RunContext context = lab.context();
        context.setExperiment(path, contents);
        lab.setContext(context);
    };
    if (emulated)
        window.setWindowTitle(window.windowTitle() + QStringLiteral(" (emulated kit)"));
    // Every way out that software can catch leaves the kit undriven.
    tervalo::ExitSignals::install(&app, [&window] { window.endProgram(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.writeZeroWord(); });
    tervalo::ExitPaths exitPaths(window, [device] {
        if (device)
            device->close();
    });
    // then the run in progress into the library, on the ways out that pass
    // no aboutToQuit too (a lost display)
    exitPaths.then([&lab] { lab.finish(); });

    window.Form_Load();
    if (window.ending()) // a signal while the start-up message was open
        return 0;
    // the remote lab, next to the window; the person at the PC always wins
    tervalo::remote::RemoteService remote(lab);
    const QString title = window.windowTitle();
    QObject::connect(&remote, &tervalo::remote::RemoteService::controlChanged, &window, [&remote, &window, title] {
        const QString driver = remote.server() ? remote.server()->driver() : QString();
        window.setWindowTitle(driver.isEmpty() ? title : title + QStringLiteral(" — driven remotely by ") + driver);
    });
    if (!options->serve.empty()) {
        QString why;
        if (!remote.start(serving, &why)) {
            std::fprintf(stderr, "tervalo: the remote lab cannot be served: %s\n", why.toLocal8Bit().constData());
            return 1;
        }
        std::printf("serving %s\n", remote.url().toLocal8Bit().constData());
        if (remote.generatedCodes()) {
            std::printf("viewer code: %s\n", remote.viewerCode().constData());
            std::printf("driver code: %s\n", remote.driverCode().constData());
        }
        std::fflush(stdout);
    }
    tervalo::RemoteWindow::attach(lab, menus, remote, serving);
    window.show();
    if (!options->experiment.empty()) {
        const QString file = QFile::decodeName(options->experiment.c_str());
        QTimer::singleShot(0, &experiments, [&experiments, file] { experiments.openFile(file); });
    }
    const int rc = app.exec();
    window.writeZeroWord();
    return rc;
}
