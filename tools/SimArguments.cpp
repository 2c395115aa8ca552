#include "tools/SimArguments.h"

#include "engine/ClassicPanels.h"
#include "engine/FuzzyController.h"
#include "engine/SessionLimits.h"
#include "engine/StepFigures.h"
#include "engine/Terms.h"
#include "store/ExperimentFile.h"
#include "tervalo_version.h"

#include <CLI/CLI.hpp>

#include <QStringDecoder>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tervalo::sim {

namespace {

[[noreturn]] void bad(const std::string &message)
{
    throw BadArgument{message};
}

// Numbers may come with blanks around them (a quoted shell variable, a
// column of a script); blanks before and after are dropped alike.
std::string trimmed(const std::string &s)
{
    const char *blank = " \t\r\n\f\v";
    const std::size_t first = s.find_first_not_of(blank);
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(blank) - first + 1);
}

const CLI::Validator kTrim(
    [](std::string &s) {
        s = trimmed(s);
        return std::string();
    },
    "");

// NaN passes every range (no comparison holds for it).
const CLI::Validator kNumber(
    [](std::string &s) {
        const double d = std::strtod(s.c_str(), nullptr);
        return std::isfinite(d) ? std::string() : "not a number: " + s;
    },
    "");

const CLI::Validator kNonEmpty([](std::string &s) { return s.empty() ? std::string("an empty value") : std::string(); },
                               "");

LoadStep parseLoad(const std::string &given, int cycles)
{
    const std::string text = trimmed(given);
    LoadStep s;
    char c1 = 0, c2 = 0;
    std::istringstream in(text);
    if (!(in >> s.cycle >> c1 >> s.from >> c2 >> s.to) || c1 != ':' || c2 != ':' || !(in >> std::ws).eof())
        bad("--load " + given + ": expected CYCLE:FROM:TO, three whole numbers");
    if (s.cycle < 1 || s.cycle > cycles)
        bad("--load " + given + ": the cycle must lie in 1.." + std::to_string(cycles));
    if (s.from < 1 || s.from > 30 || s.to < 1 || s.to > 30)
        bad("--load " + given + ": the load slider runs from 1 to 30");
    return s;
}

// The events of --at, each checked; a cycle past the run is refused as
// --load refuses it.
TestProgram parseEvents(const std::vector<std::string> &given, int cycles)
{
    TestProgram program;
    for (const std::string &a : given) {
        TestEvent e;
        std::string why;
        if (!parseTestEvent(trimmed(a), e, why))
            bad("--at " + why);
        if (e.cycle > cycles)
            bad("--at " + a + ": the cycle must lie in 1.." + std::to_string(cycles));
        if (const std::string refused = program.add(e); !refused.empty())
            bad("--at " + a + ": " + refused);
    }
    return program;
}

// An experiment file's values for whatever the command line leaves unsaid.
// The file's mode "open" is the open loop on the kit (--mode kit
// --controller open); its gains go to the sliders of the loop's controller.
void fillFromExperiment(const CLI::App &cli, Options &o)
{
    const std::string &path = o.experiment;
    const QString file = QString::fromLocal8Bit(path.c_str());
    Experiment e;
    ExperimentError why;
    QByteArray contents;
    if (!ExperimentFile::read(file, e, why, &contents)) {
        QString reason = why.message();
        const QString prefix = file + QStringLiteral(": ");
        if (why.key.isEmpty() && reason.startsWith(prefix))
            reason = reason.mid(prefix.size());
        bad("--experiment " + path + ": " + oneLine(reason));
    }
    o.experimentContents = contents.toStdString();
    const auto given = [&](const std::string &name) { return cli.count(name) > 0; };
    if (!given("--mode"))
        o.mode = e.mode == RunMode::Simulation ? "simulation" : "kit";
    if (!given("--controller")) {
        o.controller = e.mode == RunMode::OpenLoop ? "open" : e.controller;
        if (e.mode == RunMode::OpenLoop && o.kit()) {
            o.heldController = e.controller;
            o.heldGains = {e.kp, e.ki, e.kd};
        }
    }
    if (!given("--reference"))
        o.reference = e.reference;
    if (!given("--error-divisor"))
        o.errorDivisor = e.errorDivisor;
    if (!given("--output-divisor"))
        o.outputDivisor = e.outputDivisor;
    if (!given("--rules"))
        o.rules = e.rules;
    if (!given("--at"))
        o.program = e.program;
    const ClassicPanel *panel = ClassicPanels::named(o.controller);
    for (std::size_t k = 0; panel && k < panel->sliderCount; ++k) {
        const GainSlider &slider = panel->sliders[k];
        const std::string name = ClassicPanels::name(slider.gain);
        if (given("--" + name))
            continue;
        const double value = slider.gain == Gain::Kp ? e.kp : slider.gain == Gain::Ki ? e.ki : e.kd;
        // the file checked its gains against its own controller's sliders
        if (ClassicPanels::toBar(value) > slider.max)
            bad("--experiment " + path + ": gains." + name + ": " + shortestDecimal(value) + " is beyond the "
                + o.controller + " slider (0 to " + shortestDecimal(ClassicPanels::fromBar(slider.max)) + ")");
        (slider.gain == Gain::Kp ? o.kp : slider.gain == Gain::Ki ? o.ki : o.kd) = value;
    }
}

std::string systemReason(int error)
{
    return std::strerror(error);
}

// At most limit + 1 bytes of the file, so that a longer one shows itself
// without being read whole.
std::string readBounded(const std::string &path, std::size_t limit)
{
    const auto refuse = [&](const std::string &why) { bad("--rules " + path + ": " + why); };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        refuse(systemReason(errno));
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        refuse(systemReason(errno));
    if (S_ISDIR(st.st_mode))
        refuse("is a directory, not a rule-table file");
    if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) > limit)
        refuse("larger than " + std::to_string(limit / 1024) + " KiB, too large for a rule table");
    // A pipe or a device is read as it comes, still within the limit.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    std::string bytes;
    char buffer[8192];
    while (bytes.size() <= limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            refuse(systemReason(errno));
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    if (bytes.size() > limit)
        refuse("larger than " + std::to_string(limit / 1024) + " KiB, too large for a rule table");
    return bytes;
}

bool isText(const std::string &bytes)
{
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f' && u != '\v') || u == 0x7F)
            return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    (void)decoded;
    return !utf8.hasError();
}

std::pair<int, int> parseStep(const std::string &given, int lowest)
{
    const std::string text = trimmed(given);
    std::pair<int, int> u;
    char colon = 0;
    std::istringstream in(text);
    if (!(in >> u.first >> colon >> u.second) || colon != ':' || !(in >> std::ws).eof())
        bad("--identify " + given + ": expected U1:U2, two whole numbers");
    if (u.first < lowest || u.first > 4095 || u.second < lowest || u.second > 4095)
        bad("--identify " + given + ": each actuator value must lie in " + std::to_string(lowest) + "..4095");
    if (u.first == u.second)
        bad("--identify " + given + ": U1 and U2 must differ");
    return u;
}

// The run (--controller) or one tuning command (--surface, --identify,
// --suggest), with the options each takes.
void checkCommands(const CLI::App &cli, Options &o, const std::string &identify)
{
    if (o.library.empty())
        for (const char *needsLibrary : {"--class-server", "--student", "--forward"})
            if (cli.count(needsLibrary) > 0)
                bad(std::string(needsLibrary) + ": needs --library FILE (runs are kept there first)");
    if (o.forward) {
        // only the library and the server: what runs is left as it was stored
        for (const CLI::Option *option : cli.get_options())
            if (option->count() > 0 && option->get_name() != "--forward" && option->get_name() != "--library"
                && option->get_name() != "--class-server")
                bad(option->get_name() + ": --forward sends the runs the library holds and runs nothing");
        return;
    }
    const int commands = int(!o.surface.empty()) + int(cli.count("--identify") > 0) + int(!o.suggest.empty());
    if (commands > 1)
        bad("--surface, --identify and --suggest: give only one of them");
    if (commands == 0) {
        if (o.controller.empty())
            bad("--controller is required");
        if (cli.count("--overshoot") > 0)
            bad("--overshoot: only --suggest takes it");
        return;
    }
    const char *command = !o.surface.empty() ? "--surface" : cli.count("--identify") > 0 ? "--identify" : "--suggest";
    if (!o.surface.empty() && !o.controller.empty() && o.controller != "fuzzy")
        bad("--surface: the surface is the fuzzy controller's, not " + o.controller + "'s");
    if (o.surface.empty() && !o.controller.empty())
        bad(std::string("--controller: ") + command + " chooses the loop itself");
    if (!o.surface.empty() && o.kit())
        bad("--surface: the surface does not depend on --mode");
    if (!o.suggest.empty() && o.summary)
        bad("--summary: --suggest prints the figures of the loop it suggests without it");
    for (const char *runOnly : {"--kp", "--ki", "--kd", "--load", "--picture", "--report", "--at", "--summary",
                                "--library", "--experiment", "--save-experiment", "--class-server", "--student"})
        if (cli.count(runOnly) > 0)
            bad(std::string(runOnly) + ": " + command + " makes no run that takes it");
    if (cli.count("--overshoot") > 0 && o.suggest.empty())
        bad("--overshoot: only --suggest takes it");
    if (cli.count("--identify") > 0) {
        if (cli.count("--reference") > 0 || cli.count("--cycles") > 0 || cli.count("--actuator") > 0)
            bad("--identify: takes no --reference, --cycles or --actuator");
        o.identify = parseStep(identify, SessionLimits::actuatorMin(o.kit()));
    }
}

} // namespace

std::string oneLine(const QString &text)
{
    std::string out = text.toLocal8Bit().toStdString();
    for (char &c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out;
}

std::array<int, 49> readRulesFile(const std::string &path)
{
    std::string bytes = readBounded(path, kRulesFileLimit);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    if (!isText(bytes))
        bad("--rules " + path + ": not a text file");

    const auto &terms = Terms::names(Terms::English);
    std::string termList;
    for (const char *t : terms)
        termList += (termList.empty() ? "" : " ") + std::string(t);
    std::array<int, 49> cells{};
    std::istringstream in(bytes);
    std::string line;
    int row = 0;
    int lineNo = 0;
    const auto where = [&] { return "--rules " + path + ": line " + std::to_string(lineNo) + ": "; };
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.size() > kRulesLineLimit)
            bad(where() + "longer than " + std::to_string(kRulesLineLimit / 1024) + " KiB");
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::vector<std::string> names;
        for (std::string w; words >> w;)
            names.push_back(w);
        if (names.empty())
            continue;
        if (row == 7)
            bad(where() + "more than seven rows");
        if (names.size() != 7)
            bad(where() + "expected seven term names, found " + std::to_string(names.size()));
        for (int col = 0; col < 7; ++col) {
            const std::string &name = names[static_cast<std::size_t>(col)];
            int term = -1;
            for (int t = 0; t < 7; ++t)
                if (name == terms[static_cast<std::size_t>(t)])
                    term = t;
            if (term < 0)
                bad(where() + "\"" + name + "\" is not one of " + termList);
            cells[static_cast<std::size_t>(FuzzyController::cellIndex(row, col))] = term;
        }
        ++row;
    }
    if (row != 7)
        bad("--rules " + path + ": expected seven rows, found " + std::to_string(row));
    return cells;
}

Parsed parseArguments(int argc, char **argv)
{
    Parsed parsed;
    Options &o = parsed.options;
    CLI::App cli{"Runs the Tervalo control session against the simulated plant or the emulated kit and prints one "
                 "CSV row per cycle; or writes the fuzzy surface, identifies the plant or suggests gains."};
    cli.set_version_flag("--version", std::string("tervalo-sim ") + TERVALO_VERSION);
    // Every value must say something; numbers may carry blanks around them.
    const auto number = [&](const std::string &name, auto &target, const std::string &help) {
        return cli.add_option(name, target, help)->transform(kTrim)->check(kNonEmpty);
    };
    cli.add_option("--mode", o.mode, "simulation (the simulated plant, default) or kit (the emulated kit)")
        ->check(CLI::IsMember({"simulation", "kit"}));
    cli.add_option("--controller", o.controller,
                   "P, I, PI, PD, PID, fuzzy, or open (open loop, --actuator held); required unless --experiment")
        ->check(CLI::IsMember({"P", "I", "PI", "PD", "PID", "fuzzy", "open"}));
    number("--reference", o.reference, "reference speed, 500..2000")->check(CLI::Range(500, 2000));
    number("--cycles", o.cycles, "control cycles of 0.2 s")->check(CLI::Range(1, 100000000));
    number("--kp", o.kp, "proportional gain");
    number("--ki", o.ki, "integral gain");
    number("--kd", o.kd, "derivative gain");
    number("--error-divisor", o.errorDivisor, "fuzzy error-change divisor, 1..20")->check(CLI::Range(1, 20));
    number("--output-divisor", o.outputDivisor, "fuzzy output-step divisor, 2..20")->check(CLI::Range(2, 20));
    number("--actuator", o.actuator, "actuator value before START, 0..4095")->check(CLI::Range(0, 4095));
    std::vector<std::string> loads;
    cli.add_option("--load", loads, "CYCLE:FROM:TO, move the load slider just before CYCLE")->check(kNonEmpty);
    std::string rules;
    cli.add_option("--rules", rules, "fuzzy rule table: seven lines of seven English term names")->check(kNonEmpty);
    std::vector<std::string> at;
    cli.add_option("--at", at,
                   "CYCLE:reference=R (500..2000) or CYCLE:load=L (1..30), in force from cycle CYCLE on; repeatable; "
                   "replaces the test program of --experiment")
        ->check(kNonEmpty);
    cli.add_flag("--summary", o.summary,
                 "print the run's figures as metric,value lines instead of the table; when the reference "
                 "stepped, then stretches,N and each stretch K's first_cycle@K, last_cycle@K, reference@K "
                 "and figures as metric@K,value");
    cli.add_option("--picture", o.picture, "write the graph's picture to this bitmap file after the run")
        ->check(kNonEmpty);
    cli.add_option("--report", o.report,
                   "write the run's report, as the Run window's Save report does, to this PDF file (.pdf is "
                   "added when missing)")
        ->check(kNonEmpty);
    cli.add_option("--library", o.library, "store the run in this run library (SQLite), made when missing")
        ->check(kNonEmpty);
    cli.add_option("--class-server", o.classServer,
                   "send the run on to this class server (a libpq URI, postgresql://login@host/database; no "
                   "password in it) after storing it in --library; by default TERVALO_CLASS_SERVER, then the "
                   "user's and the system's settings name it")
        ->check(kNonEmpty);
    cli.add_option("--student", o.student,
                   "the student's name or pseudonym stored with the run; by default TERVALO_STUDENT, then the "
                   "user's settings")
        ->check(kNonEmpty);
    cli.add_flag("--forward", o.forward,
                 "send every run of --library the class server lacks, and run nothing (status 3: runs kept in "
                 "the library for a later forward)");
    cli.add_option("--experiment", o.experiment,
                   "run this experiment file; options given beside it override its values")
        ->check(kNonEmpty);
    cli.add_option("--save-experiment", o.saveExperiment,
                   "write the experiment these options describe to this file, then run it")
        ->check(kNonEmpty);
    std::string identify;
    cli.add_option("--surface", o.surface, "write the fuzzy controller's surface e,de,du (201 x 201) to this CSV file")
        ->check(kNonEmpty);
    cli.add_option("--identify", identify, "U1:U2, bump test in open loop; prints the fitted model")->check(kNonEmpty);
    cli.add_option("--suggest", o.suggest, "P, I, PI, PD or PID: identify the plant and suggest gains")
        ->check(CLI::IsMember({"P", "I", "PI", "PD", "PID"}));
    number("--overshoot", o.overshoot, "largest overshoot allowed for --suggest, percent (default 10)")
        ->check(kNumber)
        ->check(CLI::Range(0.0, 1000.0));
    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        parsed.help = true;
        parsed.usage = cli.help();
        return parsed;
    } catch (const CLI::CallForVersion &) {
        parsed.help = true;
        parsed.usage = std::string("tervalo-sim ") + TERVALO_VERSION + "\n";
        return parsed;
    } catch (const CLI::ParseError &e) {
        bad(e.what());
    }

    const bool tuning = !o.surface.empty() || cli.count("--identify") > 0 || !o.suggest.empty();
    if (!tuning && !o.forward && !o.experiment.empty())
        fillFromExperiment(cli, o);
    checkCommands(cli, o, identify);
    if (o.controller != "fuzzy" && o.surface.empty()) {
        // the loop that would run: the run's, the suggested law's, the bump test's open loop
        const std::string loop = !o.controller.empty() ? o.controller : !o.suggest.empty() ? o.suggest : "open";
        for (const char *fuzzyOnly : {"--rules", "--error-divisor", "--output-divisor"})
            if (cli.count(fuzzyOnly) > 0)
                bad(std::string(fuzzyOnly) + ": only the fuzzy controller takes it, not " + loop);
    }

    std::set<int> loadCycles;
    for (const std::string &l : loads) {
        const LoadStep s = parseLoad(l, o.cycles);
        if (!loadCycles.insert(s.cycle).second)
            bad("--load " + l + ": a second load step at cycle " + std::to_string(s.cycle));
        o.loads.push_back(s);
    }
    if (cli.count("--rules") > 0)
        o.rules = readRulesFile(rules);
    if (!at.empty())
        o.program = parseEvents(at, o.cycles);
    return parsed;
}

} // namespace tervalo::sim
