#pragma once
// Experiment files: everything a student sets up before START in one JSON
// file, so that a whole class runs the same experiment:
//
//   { "format": "tervalo-experiment", "version": 1,
//     "mode": "open" | "kit" | "simulation",
//     "controller": "P" | "I" | "PI" | "PD" | "PID" | "fuzzy",
//     "gains": { "kp": 0.5, "ki": 0, "kd": 0 },
//     "divisors": { "error": 2, "output": 10 },
//     "reference": 1000,
//     "rules": [ seven rows (by error term, NB first) of seven term names ],
//     "test_program": [ { "cycle": 50, "reference": 1500 }, { "cycle": 90, "load": 12 } ] }
//
// A file is read whole and checked whole before anything uses it: JSON, the
// format and version, every key present once and no other, each value inside the
// range of its slider (gains on the steps of their bars), rule terms that
// are term names (English or Turkish). A file that fails is refused with the
// key and the reason. Files are written atomically.

#include "engine/ClassicPanels.h"
#include "engine/RunRecord.h"
#include "engine/TestProgram.h"
#include "fileio/FileError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <string>

namespace tervalo {

struct Experiment {
    RunMode mode = RunMode::Simulation;
    std::string controller = "P"; // "P" ... "PID", "fuzzy"
    double kp = 0, ki = 0, kd = 0;
    int errorDivisor = 2, outputDivisor = 10;
    int reference = 1000;
    std::array<int, 49> rules{}; // term index 0..6 (NB..PB) of every cell, by FuzzyController::cellIndex
    TestProgram program;

    bool operator==(const Experiment &o) const
    {
        return mode == o.mode && controller == o.controller && kp == o.kp && ki == o.ki && kd == o.kd
            && errorDivisor == o.errorDivisor && outputDivisor == o.outputDivisor && reference == o.reference
            && rules == o.rules && program == o.program;
    }
};

// Why a file was refused: the key ("gains.kp", "test_program[1].cycle";
// "rules" for the rule table, its rows and its cells; empty for the file as
// a whole), the rule row and cell when it is one of them, the kind of reason
// and the values the reason names. place() and reason() put them into words
// in either language; a rule cell is named by its terms, as the table shows
// it ("rules: row ZE, column PM").
struct ExperimentError {
    enum class Reason {
        NotJson,           // the parser's message, the line, the column (both from 1)
        NotJsonObject,     //
        NotFormat,         // the format name
        UnknownVersion,    // the version this program reads
        Missing,           //
        UnknownKey,        //
        NotObject,         //
        NotNumber,         //
        NotText,           //
        NotList,           //
        NotWhole,          // the value
        Outside,           // the value, the lowest, the highest
        UnknownMode,       // the value
        UnknownController, // the value
        OutsideBar,        // the value, the bar's largest
        OffBarSteps,       // the value
        NotSevenRows,      //
        NotSevenTerms,     //
        NoTermName,        // the text
        EventCycle,        // the cycle (a test event's own checks)
        EventReference,    // the reference
        EventLoad,         // the load
        Unreadable,        // the path, the system's reason
        TooLarge,          // the path
        DuplicateKey,      //
        EventTwice,        // the cycle, the kind ("reference", "load")
        Count
    };

    QString key;
    Reason kind = Reason::NotJson;
    QStringList values;
    int ruleRow = -1;    // the rule row (its error term 0..6), -1 for none
    int ruleColumn = -1; // with ruleRow: the cell's column (its change-of-error term 0..6)

    // A refusal of a rule row (column -1) or cell.
    static ExperimentError rule(int row, int column, Reason kind, const QStringList &values = {});

    // Where: the key, or the rule row or cell by its terms; empty for the
    // file as a whole.
    QString place(bool english = true) const;
    QString reason(bool english = true) const;
    QString message(bool english = true) const
    {
        const QString where = place(english);
        return where.isEmpty() ? reason(english) : where + QStringLiteral(": ") + reason(english);
    }
};

class ExperimentFile {
public:
    static constexpr const char *kFormat = "tervalo-experiment";
    static constexpr int kVersion = 1;

    static QByteArray toJson(const Experiment &e);
    // Reads and checks contents; false (and why) when refused, out untouched.
    static bool fromJson(const QByteArray &contents, Experiment &out, ExperimentError &why);

    // Atomic: the file is replaced whole or left as it was.
    static FileError write(const Experiment &e, const QString &path);
    // Reads at most a megabyte; a file that cannot be read is refused with
    // its path and the system's reason. contents, when given, gets the
    // bytes of a file that was taken.
    static bool read(const QString &path, Experiment &out, ExperimentError &why, QByteArray *contents = nullptr);

    // The largest value the gain may take with the controller (the bar's
    // maximum / 1000; for a gain the controller has no bar, the largest of
    // all bars of that gain).
    static double gainLimit(const std::string &controller, Gain g);
};

} // namespace tervalo
