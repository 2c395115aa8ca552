#pragma once
// The run library: every finished run in one SQLite database (by default
// runs.sqlite in the user's data folder), so that results are kept without
// inventing file names and can be listed, compared and queried later with
// sqlite3 or pandas.
//
// Two tables (the README shows them):
//   runs    - one row a run: id, UUID, start time (UTC text), mode,
//             controller, reference, gains, divisors, the settings as JSON
//             (the same JSON the run files carry), one column a figure (NULL
//             when the figure cannot be had), the row count, name and note;
//             where and by whom it ran (RunContext), its kind (a run or a
//             bump test with its fitted model) and how far it has been
//             forwarded to a class server;
//   samples - one row a control cycle: run, cycle, time, reference, Y, E, U,
//             dU and the classic law's parts p, i, d (NULL where a cycle has
//             no such value).
// A run is written in one transaction: it is in the library whole or not at
// all. A RunLibrary is one connection and belongs to the thread that made it.

#include "engine/PlantModel.h"
#include "engine/RunRecord.h"

#include <QString>

class QSqlDatabase;

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tervalo {

// Why the library failed: the database file and SQLite's reason. An empty
// path means success.
struct LibraryError {
    QString path;
    QString reason;

    bool failed() const { return !path.isEmpty(); }
    explicit operator bool() const { return failed(); }
    QString message() const { return path + QStringLiteral(": ") + reason; }
};

// Where a run was made: the motor on the parallel port, the emulated kit,
// or the simulated plant. Machine names "kit", "emulated_kit", "simulation".
enum class PlantKind { Kit, EmulatedKit, Simulation };
const char *plantKindName(PlantKind k);
std::optional<PlantKind> plantKindNamed(const QString &name);

// An ordinary run, or a bump test of the plant (the actuator stepped from U1
// to U2 and a model fitted; no step figures). Machine names "run",
// "bump_test".
enum class RunKind { Run, BumpTest };
const char *runKindName(RunKind k);

// How far a run has gone toward the class server: kept here only, taken by
// the server, or refused by it (with the server's reason). Machine names
// "local", "sent", "refused".
enum class ForwardState { Local, Sent, Refused };
const char *forwardStateName(ForwardState s);
std::optional<ForwardState> forwardStateNamed(const QString &name);

// A bump test's step and the model fitted to its response.
struct BumpTestResult {
    int u1 = 0, u2 = 0;
    PlantModel model;
    double rmse = 0; // rpm
};

// What the record itself does not say about a run: who made it, on which PC
// and plant, with which program and assignment, and what kind of run it is.
// host and programVersion are this PC's and this program's unless set.
struct RunContext {
    QString student; // a name or pseudonym; empty when none was given
    QString host = thisHostName();
    QString programVersion = thisProgramVersion();
    bool emulatedKit = false; // a kit or open-loop run was on the emulated kit
    // the experiment file the set-up came from (its file name, no folder)
    // and the SHA-256 of its bytes, in hex; both empty when none
    QString experiment, experimentSha256;
    RunKind kind = RunKind::Run;
    std::optional<BumpTestResult> bump; // with kind BumpTest
    QString note;                       // the note the run is stored with ("driven remotely by Ada")

    static QString thisHostName();
    static QString thisProgramVersion();
    // The experiment fields from a file's path and contents.
    void setExperiment(const QString &path, const QByteArray &contents);
};

// The plant a run with these settings ran on.
PlantKind plantKindOf(const RunSettings &settings, bool emulatedKit);
// SHA-256 in hex of a fuzzy run's rule table: the 49 cells row by row (by
// error term, NB first), each as the digit of its term (0 = NB ... 6 = PB,
// '-' for a text that is no term name), so that the same table reads the
// same in either language. Empty for classic runs.
QString ruleTableSha256(const RunSettings &settings);

// One line of the library's list.
struct StoredRun {
    std::int64_t id = 0;
    QString uuid;       // "5e0f3a0c-8f0b-4d52-9a7e-2f1c0a6b7d11"
    QString startUtc;   // "2026-12-10T04:22:14Z"
    QString mode;       // "open", "kit", "simulation"
    QString controller; // "P" ... "PID", "fuzzy"
    int reference = 0;
    double kp = kNoValue, ki = kNoValue, kd = kNoValue; // NaN: no such gain
    int errorDivisor = 0, outputDivisor = 0;            // fuzzy runs only
    double riseTime = kNoValue, overshoot = kNoValue, settlingTime = kNoValue, iae = kNoValue;
    std::int64_t rows = 0;
    QString name, note;
    // where it ran and on what (RunContext); plant empty for a run stored
    // before the library kept it and not a simulation
    QString student, host, plant, programVersion, experiment, experimentSha256, rulesSha256;
    RunKind kind = RunKind::Run;
    std::optional<BumpTestResult> bump;
    ForwardState forward = ForwardState::Local;
    // why the run is not on the server (the server's refusal, or why it could
    // not be reached); when it was last tried
    QString forwardReason, forwardUtc;

    // "Kp=0.5 Ki=0.2" for a classic run, "2 / 10" for a fuzzy one.
    QString settingsText() const;
    // The server took the run, and its name or note changed since: only the
    // change is to be sent.
    bool changedSinceSent() const
    {
        return forward == ForwardState::Local && !forwardUtc.isEmpty() && forwardReason.isEmpty();
    }
};

class RunLibrary {
public:
    // How long a write waits for a database another copy of the program
    // holds locked before it gives up.
    static constexpr int kDefaultBusyTimeoutMs = 3000;

    // Opens (and creates when missing) the database at path; see error().
    // An existing library is only read while opening, so that it opens
    // while another copy of the program writes to it; one made by a newer
    // version of the program is refused.
    explicit RunLibrary(const QString &path, int busyTimeoutMs = kDefaultBusyTimeoutMs);
    ~RunLibrary();
    RunLibrary(const RunLibrary &) = delete;
    RunLibrary &operator=(const RunLibrary &) = delete;

    // <user data folder>/runs.sqlite; empty when the folder cannot be made
    // (reason then holds why).
    static QString defaultPath(QString *reason = nullptr);

    const QString &path() const { return path_; }
    // Whether the database opened and carries the library's tables.
    bool usable() const { return !openError_.failed(); }
    // Why the database could not be opened, or what the last call failed on.
    const LibraryError &error() const { return lastError_; }

    // Stores a run (its rows, settings, figures and context) under a new
    // UUID in one transaction; the new run's id, or nothing (see error()).
    std::optional<std::int64_t> store(const RunRecord &record, const RunContext &context = RunContext());
    // Every stored run, newest first.
    std::vector<StoredRun> list();
    // One stored run's line; nothing when there is no such run (see error()).
    std::optional<StoredRun> run(std::int64_t id);

    // For a forwarder to a class server: the runs not taken by the server
    // yet (local, and refused unless withRefused is false), oldest first,
    // after the run afterId, at most limit of them; how many there are; and
    // the server's answer about one, with the time now: the reason is kept
    // for a refused run and for one still local (why the server could not
    // be reached; never empty then). A rename or a new note makes a sent run
    // local again, so that the change is sent too.
    std::vector<StoredRun> unsent(int limit = 100, std::int64_t afterId = 0, bool withRefused = true);
    std::optional<std::int64_t> unsentCount();
    bool markForwarded(std::int64_t id, ForwardState state, const QString &reason = QString());
    // A stored run as a record (stopped, with its rows and settings).
    std::unique_ptr<RunRecord> load(std::int64_t id);
    bool rename(std::int64_t id, const QString &name);
    bool setNote(std::int64_t id, const QString &note);
    bool remove(std::int64_t id); // the run and its samples

private:
    bool fail(const QString &reason);
    // Refuses what is no run library or a newer one before anything is
    // written; then the pragmas, and the tables (or their upgrade) when the
    // database lacks them.
    bool prepare(QSqlDatabase &db);
    bool create(QSqlDatabase &db);
    bool upgrade(QSqlDatabase &db);
    bool storeSamples(QSqlDatabase &db, std::int64_t id, const RunRecord &record);
    bool setText(std::int64_t id, const char *column, const QString &value);

    QString path_;
    QString connection_;
    int busyTimeoutMs_;
    LibraryError openError_;
    LibraryError lastError_;
};

} // namespace tervalo
