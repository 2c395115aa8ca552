#pragma once
// The class library: the runs of every lab PC on one PostgreSQL server, kept
// there for the instructor to list, compare and grade. A ClassServer is one
// connection through Qt SQL's PostgreSQL driver and belongs to the thread
// that made it.
//
// The server's tables live in their own schema, "tervalo", beside whatever
// else the database holds:
//   schema_version - one row: the version of these tables (kSchemaVersion);
//   runs           - one row a run, keyed by the run's UUID: who sent it
//                    (the login role, "owner"), the student's name, host,
//                    plant kind, program version, kind of run, experiment
//                    file name and hash, rule-table hash, the settings as the
//                    run files' JSON, the gains and every figure as columns,
//                    name and note, and when the server took it;
//   samples        - one row a control cycle, as in the local library.
// Two roles: tervalo_student (may add runs, read them and rename and annotate
// them, only its own: row-level security) and tervalo_instructor (reads all,
// deletes for a retention policy, adds its own runs).
//
// A run is sent in one transaction and keyed by its UUID, so a resend (after
// an acknowledgement lost on the way) never makes a second copy and a broken
// transaction leaves nothing of the run behind.

#include "engine/RunRecord.h"
#include "engine/StepFigures.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QSqlQuery;

namespace tervalo {

// Where a class server is: a libpq connection URI,
//   postgresql://[user@]host[:port]/dbname[?param=value&...]
// with a Unix-socket folder as ?host=/run/postgresql. Parameters taken:
// host, port, sslmode, sslrootcert, sslcert, sslkey, sslcrl, connect_timeout,
// application_name. A password in the URI is refused: it comes from
// ~/.pgpass, PGPASSWORD or a prompt, so that no settings file ever holds one.
struct ClassServerAddress {
    QString host; // empty: libpq's default (PGHOST, then the local socket)
    int port = -1;
    QString database; // empty: libpq's default (the user's name)
    QString user;     // empty: libpq's default (PGUSER, then the login name)
    std::vector<std::pair<QString, QString>> parameters;

    // Nothing for a text that is no such URI (why then says what is wrong).
    static std::optional<ClassServerAddress> parse(const QString &uri, QString *why = nullptr);
    // The URI again (its parameters in the order given).
    QString uri() const;
    // The same server's maintenance database "postgres" (to create this one).
    ClassServerAddress maintenance() const;
};

// Why the server did not do what was asked. A connection problem (no such
// host, nothing listening, no TLS, a wrong password) leaves runs to be sent
// later; a refusal is the server's answer about the request itself.
struct ClassServerError {
    enum class Kind { None, Connection, NoPassword, Refused };
    Kind kind = Kind::None;
    QString server; // the URI
    QString reason; // one line, the server's or libpq's own words

    bool failed() const { return kind != Kind::None; }
    explicit operator bool() const { return failed(); }
    QString message() const { return server + QStringLiteral(": ") + reason; }
};

// What the server keeps of a run beside its settings and rows.
struct ClassRunContext {
    QString uuid;
    QString student, host, plantKind, programVersion;
    QString kind = QStringLiteral("run");
    QString experiment, experimentSha256, rulesSha256;
    QString name, note;
};

// One run as the server lists it.
struct ClassRunLine {
    ClassRunContext context;
    QString owner; // the login role that sent it
    QString startUtc, mode, controller;
    QString gains; // "Kp=0.5 Ki=0.2", or "2 / 10" for a fuzzy run
    int reference = 0;
    std::int64_t rows = 0;
    std::array<double, kMetricCount> figures{}; // NaN: not available

    double durationS() const { return static_cast<double>(rows) / kCyclesPerSecond; }
};

class ClassServer {
public:
    static constexpr int kSchemaVersion = 1;
    static constexpr const char *kStudentRole = "tervalo_student";
    static constexpr const char *kInstructorRole = "tervalo_instructor";

    // password empty: libpq finds one (PGPASSWORD, ~/.pgpass) or none.
    explicit ClassServer(ClassServerAddress address, QString password = {});
    ~ClassServer();
    ClassServer(const ClassServer &) = delete;
    ClassServer &operator=(const ClassServer &) = delete;

    // Connects and checks the tables' version: a server without them or
    // with a newer version is refused. False: see error().
    bool open();
    // Connects without looking at the tables (init).
    bool connect();
    bool isOpen() const;
    void close();
    const ClassServerError &error() const { return error_; }
    const ClassServerAddress &address() const { return address_; }

    // The database (when missing and the role may create one), the schema,
    // its roles and policies. What was done, one line each, into done; the
    // same version there already: nothing done; a newer one: refused.
    bool init(std::vector<QString> &done);

    // Sends a run whole in one transaction. A run the server holds already
    // (a resend) gets only its name and note updated. True when the server
    // holds the run; stored says whether this call added it.
    bool send(const ClassRunContext &context, const RunRecord &record, bool *stored = nullptr);
    // The name and note of a run the server holds, when they changed.
    bool update(const QString &uuid, const QString &name, const QString &note);

    struct RunFilter {
        QString experiment, student; // empty: any
    };
    // The runs the role may read, by start time; nothing on failure.
    std::optional<std::vector<ClassRunLine>> runs(const RunFilter &filter = {});
    // A run the role may read, whole; nullptr on failure.
    std::unique_ptr<RunRecord> load(const QString &uuid);
    // The login role this connection reads as, and whether it is one of
    // tervalo_instructor's (who reads every student's runs).
    struct Role {
        QString login;
        bool instructor = false;
    };
    std::optional<Role> role();
    // Deletes the runs started before the time; how many.
    std::optional<std::int64_t> purge(const QDateTime &before);

    struct NewStudent {
        QString name, login, password;
    };
    // One login role in tervalo_student for each (name, login) that has no
    // role yet, with a generated password; an empty login is made from the
    // name. logins that are there already go into skipped, left as they are.
    // All in one transaction.
    std::optional<std::vector<NewStudent>> addStudents(const std::vector<std::pair<QString, QString>> &students,
                                                       std::vector<QString> &skipped);
    // A login role name from a student's name: lower-case letters, digits
    // and '_' ("Ayşe Yılmaz" gives "ayse_yilmaz").
    static QString loginFor(const QString &name);

private:
    bool fail(ClassServerError::Kind kind, const QString &reason);
    bool failQuery(const QSqlQuery &q);
    bool checkVersion();

    ClassServerAddress address_;
    QString password_;
    QString connection_;
    ClassServerError error_;
};

// The CSV header and one row of the report (RFC 4180, CRLF): uuid, student,
// host, plant_kind, experiment, controller, gains, reference, start_utc,
// duration_s, then every figure by its machine name.
QByteArray classReportHeader();
QByteArray classReportRow(const ClassRunLine &line);

} // namespace tervalo
