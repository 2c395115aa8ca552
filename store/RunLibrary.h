#pragma once
// The run library: every finished run in one SQLite database (by default
// runs.sqlite in the user's data folder), so that results are kept without
// inventing file names and can be listed, compared and queried later with
// sqlite3 or pandas.
//
// Two tables (the README shows them):
//   runs    - one row a run: id, start time (UTC text), mode, controller,
//             reference, gains, divisors, the settings as JSON (the same
//             JSON the run files carry), one column a figure (NULL when the
//             figure cannot be had), the row count, name and note;
//   samples - one row a control cycle: run, cycle, time, reference, Y, E, U,
//             dU and the classic law's parts p, i, d (NULL where a cycle has
//             no such value).
// A run is written in one transaction: it is in the library whole or not at
// all. A RunLibrary is one connection and belongs to the thread that made it.

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

// One line of the library's list.
struct StoredRun {
    std::int64_t id = 0;
    QString startUtc;   // "2026-12-10T04:22:14Z"
    QString mode;       // "open", "kit", "simulation"
    QString controller; // "P" ... "PID", "fuzzy"
    int reference = 0;
    double kp = kNoValue, ki = kNoValue, kd = kNoValue; // NaN: no such gain
    int errorDivisor = 0, outputDivisor = 0;            // fuzzy runs only
    double riseTime = kNoValue, overshoot = kNoValue, settlingTime = kNoValue, iae = kNoValue;
    std::int64_t rows = 0;
    QString name, note;

    // "Kp=0.5 Ki=0.2" for a classic run, "2 / 10" for a fuzzy one.
    QString settingsText() const;
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

    // Stores a run (its rows, settings and figures) in one transaction; the
    // new run's id, or nothing (see error()).
    std::optional<std::int64_t> store(const RunRecord &record);
    // Every stored run, newest first.
    std::vector<StoredRun> list();
    // A stored run as a record (stopped, with its rows and settings).
    std::unique_ptr<RunRecord> load(std::int64_t id);
    bool rename(std::int64_t id, const QString &name);
    bool setNote(std::int64_t id, const QString &note);
    bool remove(std::int64_t id); // the run and its samples

private:
    bool fail(const QString &reason);
    // The pragmas; the tables and their version when the database has none.
    bool prepare(QSqlDatabase &db);
    bool storeSamples(QSqlDatabase &db, std::int64_t id, const RunRecord &record);
    bool setText(std::int64_t id, const char *column, const QString &value);

    QString path_;
    QString connection_;
    LibraryError openError_;
    LibraryError lastError_;
};

} // namespace tervalo
