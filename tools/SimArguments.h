#pragma once
// The command line of tervalo-sim and the rule-table file it may name. Every
// refusal is a BadArgument whose message is one line; the program prints it
// and ends with status 2.

#include "engine/TestProgram.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QString;

namespace tervalo::sim {

struct LoadStep {
    int cycle = 0, from = 0, to = 0;
};

struct Options {
    std::string mode = "simulation"; // or "kit": the emulated kit on a virtual clock
    std::string controller;          // P..PID, fuzzy, or open; may be empty for the tuning commands
    int reference = 1000;
    int cycles = 100;
    std::optional<double> kp, ki, kd;
    int errorDivisor = 2;
    int outputDivisor = 10;
    std::optional<int> actuator;
    std::vector<LoadStep> loads;              // at most one per cycle
    std::optional<std::array<int, 49>> rules; // term index of every cell
    std::string picture;
    std::string report;   // --report FILE.pdf: the Run window's report of the run
    bool summary = false; // the run's figures instead of the per-cycle table
    // Events at given cycles (--at, or the experiment file's test program);
    // those after the last cycle are never reached.
    TestProgram program;
    std::string library;            // --library FILE: the run goes into this run library
    std::string experiment;         // --experiment FILE, already read into these options
    std::string experimentContents; // its bytes, as read
    std::string saveExperiment;     // --save-experiment FILE
    // --class-server URL and --student NAME as given (the environment and
    // the settings may name them otherwise: store/ClassConfig); --forward:
    // send what the library holds on to the class server, run nothing.
    std::optional<std::string> classServer, student;
    bool forward = false;
    // An experiment file's open loop on the kit keeps its controller and
    // gains selected, as the window does, though they do not act.
    std::string heldController;
    std::array<double, 3> heldGains{}; // kp, ki, kd

    // The tuning commands (at most one): no CSV run then.
    std::string surface;                         // --surface FILE
    std::optional<std::pair<int, int>> identify; // --identify U1:U2
    std::string suggest;                         // --suggest LAW
    double overshoot = 10;                       // --overshoot PCT, with --suggest

    bool kit() const { return mode == "kit"; }
};

struct BadArgument {
    std::string message;
};

// Parses the command line (and reads the rule-table file it names). For
// --help or --version, help is set and usage holds the text to print; nothing else is
// checked then.
struct Parsed {
    Options options;
    bool help = false;
    std::string usage;
};
Parsed parseArguments(int argc, char **argv);

// A text for a line of stderr in the local encoding: control characters
// (a file's values may hold any) are shown as '?'.
std::string oneLine(const QString &text);

// Limits of a rule-table file.
constexpr std::size_t kRulesFileLimit = 64 * 1024;
constexpr std::size_t kRulesLineLimit = 1024;

// Reads a rule table: seven lines of seven English term names, blank lines
// ignored. At most kRulesFileLimit bytes are ever read; a longer file, a
// longer line, a directory, a file with a NUL byte, control characters or
// bytes that are not UTF-8 are refused. A leading UTF-8 byte-order mark is
// skipped.
std::array<int, 49> readRulesFile(const std::string &path);

} // namespace tervalo::sim
