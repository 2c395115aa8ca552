#include "store/ClassServer.h"

#include "store/RunFiles.h"
#include "store/RunLibrary.h"
#include "store/RunSettingsJson.h"

#include <QAtomicInteger>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>
#include <QUuid>
#include <QVariant>

#include <cmath>

namespace tervalo {

namespace {

QString newConnectionName()
{
    static QAtomicInteger<quint64> next = 0;
    return QStringLiteral("tervalo-class-%1").arg(next.fetchAndAddRelaxed(1));
}

// The URI parameters taken, and what their values may be (empty: any text
// without control characters).
struct ParameterRule {
    const char *name;
    const char *pattern;
};
constexpr ParameterRule kParameters[] = {
    {"host", ""},
    {"port", "^[0-9]{1,5}$"},
    {"sslmode", "^(disable|allow|prefer|require|verify-ca|verify-full)$"},
    {"sslrootcert", ""},
    {"sslcert", ""},
    {"sslkey", ""},
    {"sslcrl", ""},
    {"connect_timeout", "^[0-9]{1,4}$"},
    {"application_name", ""},
};

// How long a connection attempt waits when the URI does not say.
constexpr const char *kConnectTimeoutS = "10";

bool plainText(const QString &s)
{
    for (QChar c : s)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

// A libpq connection-option value in quotes.
QString quoted(const QString &v)
{
    QString out = v;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

QString oneLine(const QString &s)
{
    return s.simplified();
}

// The SQLSTATE classes after which the request may work another time: the
// connection (08), the server going down (57), resources (53), system (58),
// a transaction rolled back for another's (40).
bool transient(const QString &sqlState)
{
    if (sqlState.size() != 5)
        return true; // no answer from the server at all
    static const char *classes[] = {"08", "40", "53", "57", "58"};
    for (const char *c : classes)
        if (sqlState.startsWith(QLatin1String(c)))
            return true;
    return false;
}

QString reasonOf(const QSqlError &e)
{
    QString db = oneLine(e.databaseText());
    if (db.endsWith(QLatin1String(" ()"))) // no SQLSTATE: the connection went
        db.chop(3);
    return db.isEmpty() ? oneLine(e.text()) : db;
}

// A value into an array literal as the CSV writes it; NaN as NULL.
void appendArrayNumber(QByteArray &out, double v)
{
    if (std::isnan(v))
        out += "NULL";
    else
        RunFiles::appendNumber(out, v);
}

// Qt's driver sends a null QString as NULL: texts go as texts, empty or not.
QVariant text(const QString &s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

QVariant numberOrNull(double v)
{
    if (std::isnan(v))
        return QVariant(QMetaType(QMetaType::QString));
    return QString::fromStdString(shortestDecimal(v));
}

double numberOf(const QVariant &v)
{
    return v.isNull() ? kNoValue : v.toDouble();
}

QString figureColumns()
{
    QString out;
    for (const MetricInfo &m : kMetrics)
        out += QStringLiteral(", ") + QString::fromLatin1(m.key);
    return out;
}

QString sampleColumns()
{
    QStringList names;
    for (const RunColumnInfo &c : kRunColumns)
        names << QString::fromLatin1(c.name);
    return names.join(QStringLiteral(", "));
}

// The tables, policies and grants of kSchemaVersion, in order.
std::vector<QString> schemaStatements()
{
    QString figures;
    for (const MetricInfo &m : kMetrics)
        figures += QStringLiteral("  %1 double precision,\n").arg(QString::fromLatin1(m.key));
    QString samples;
    for (const RunColumnInfo &c : kRunColumns)
        samples += QStringLiteral("  %1 %2,\n")
                       .arg(QString::fromLatin1(c.name),
                            c.column == RunColumn::Cycle ? QStringLiteral("bigint NOT NULL")
                                                         : QStringLiteral("double precision"));
    const QString runs = QStringLiteral("CREATE TABLE tervalo.runs (\n"
                                        "  uuid uuid PRIMARY KEY,\n"
                                        "  owner name NOT NULL DEFAULT current_user,\n"
                                        "  student text NOT NULL DEFAULT '',\n"
                                        "  host text NOT NULL DEFAULT '',\n"
                                        "  plant_kind text NOT NULL DEFAULT '',\n"
                                        "  program_version text NOT NULL DEFAULT '',\n"
                                        "  kind text NOT NULL DEFAULT 'run',\n"
                                        "  experiment text NOT NULL DEFAULT '',\n"
                                        "  experiment_sha256 text NOT NULL DEFAULT '',\n"
                                        "  rules_sha256 text NOT NULL DEFAULT '',\n"
                                        "  start_utc timestamptz NOT NULL,\n"
                                        "  mode text NOT NULL,\n"
                                        "  controller text NOT NULL,\n"
                                        "  reference integer NOT NULL,\n"
                                        "  kp double precision, ki double precision, kd double precision,\n"
                                        "  error_divisor integer, output_divisor integer,\n"
                                        "  settings json NOT NULL,\n"
                                        "  row_count bigint NOT NULL,\n")
        + figures
        + QStringLiteral("  name text NOT NULL DEFAULT '',\n"
                         "  note text NOT NULL DEFAULT '',\n"
                         "  received_utc timestamptz NOT NULL DEFAULT now()\n)");
    const QString sampleTable = QStringLiteral("CREATE TABLE tervalo.samples (\n"
                                               "  run uuid NOT NULL REFERENCES tervalo.runs(uuid) ON DELETE CASCADE,\n")
        + samples + QStringLiteral("  PRIMARY KEY (run, cycle)\n)");
    const QString own = QStringLiteral("owner = current_user");
    const QString ownRun =
        QStringLiteral("EXISTS (SELECT 1 FROM tervalo.runs r WHERE r.uuid = run AND r.owner = current_user)");
    return {
        QStringLiteral("CREATE SCHEMA tervalo"),
        QStringLiteral("CREATE TABLE tervalo.schema_version (version integer NOT NULL)"),
        runs,
        sampleTable,
        QStringLiteral("CREATE INDEX runs_start ON tervalo.runs (start_utc)"),
        QStringLiteral("CREATE INDEX runs_student ON tervalo.runs (student)"),
        QStringLiteral("CREATE INDEX runs_experiment ON tervalo.runs (experiment)"),
        QStringLiteral("CREATE INDEX runs_owner ON tervalo.runs (owner)"),
        QStringLiteral("ALTER TABLE tervalo.runs ENABLE ROW LEVEL SECURITY"),
        QStringLiteral("ALTER TABLE tervalo.samples ENABLE ROW LEVEL SECURITY"),
        // a student: its own runs only, to add, read, rename and annotate
        QStringLiteral("CREATE POLICY student_runs ON tervalo.runs TO tervalo_student USING (%1) WITH CHECK (%1)")
            .arg(own),
        QStringLiteral("CREATE POLICY student_samples ON tervalo.samples TO tervalo_student USING (%1) "
                       "WITH CHECK (%1)")
            .arg(ownRun),
        // the instructor: reads and deletes every run, adds and changes its own
        QStringLiteral("CREATE POLICY instructor_read ON tervalo.runs FOR SELECT TO tervalo_instructor USING (true)"),
        QStringLiteral("CREATE POLICY instructor_delete ON tervalo.runs FOR DELETE TO tervalo_instructor "
                       "USING (true)"),
        QStringLiteral("CREATE POLICY instructor_add ON tervalo.runs FOR INSERT TO tervalo_instructor "
                       "WITH CHECK (%1)")
            .arg(own),
        QStringLiteral("CREATE POLICY instructor_change ON tervalo.runs FOR UPDATE TO tervalo_instructor "
                       "USING (%1)")
            .arg(own),
        QStringLiteral("CREATE POLICY instructor_read ON tervalo.samples FOR SELECT TO tervalo_instructor "
                       "USING (true)"),
        QStringLiteral("CREATE POLICY instructor_delete ON tervalo.samples FOR DELETE TO tervalo_instructor "
                       "USING (true)"),
        QStringLiteral("CREATE POLICY instructor_add ON tervalo.samples FOR INSERT TO tervalo_instructor "
                       "WITH CHECK (%1)")
            .arg(ownRun),
        QStringLiteral("GRANT USAGE ON SCHEMA tervalo TO tervalo_student, tervalo_instructor"),
        QStringLiteral("GRANT SELECT ON tervalo.schema_version TO tervalo_student, tervalo_instructor"),
        QStringLiteral("GRANT SELECT, INSERT ON tervalo.runs, tervalo.samples TO tervalo_student"),
        QStringLiteral("GRANT UPDATE (name, note) ON tervalo.runs TO tervalo_student, tervalo_instructor"),
        QStringLiteral("GRANT SELECT, INSERT, DELETE ON tervalo.runs, tervalo.samples TO tervalo_instructor"),
        QStringLiteral("INSERT INTO tervalo.schema_version VALUES (%1)").arg(ClassServer::kSchemaVersion),
    };
}

// The start time as the run files write it.
const QString kStartText = QStringLiteral("to_char(start_utc AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')");

void appendCsvField(QByteArray &out, const QString &field)
{
    const QByteArray utf8 = field.toUtf8();
    if (utf8.contains(',') || utf8.contains('"') || utf8.contains('\n') || utf8.contains('\r')) {
        QByteArray q = utf8;
        q.replace("\"", "\"\"");
        out += '"' + q + '"';
    } else {
        out += utf8;
    }
}

} // namespace

// ---- address ----

std::optional<ClassServerAddress> ClassServerAddress::parse(const QString &uri, QString *why)
{
    const auto refuse = [why](const QString &reason) -> std::optional<ClassServerAddress> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (uri.size() > 2048 || !plainText(uri))
        return refuse(QStringLiteral("not a connection URI"));
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres")))
        return refuse(QStringLiteral("not a connection URI (postgresql://user@host:port/database)"));
    if (!url.password().isEmpty())
        return refuse(QStringLiteral("a password does not belong in the URI: it comes from ~/.pgpass, "
                                     "PGPASSWORD or a prompt"));
    if (url.hasFragment())
        return refuse(QStringLiteral("not a connection URI (it has a '#' part)"));
    ClassServerAddress a;
    a.host = url.host(QUrl::FullyDecoded);
    a.port = url.port(-1);
    a.user = url.userName(QUrl::FullyDecoded);
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.contains(QLatin1Char('/')))
        return refuse(QStringLiteral("the database name %1 holds a '/'").arg(path));
    a.database = path;
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        const ParameterRule *rule = nullptr;
        for (const ParameterRule &r : kParameters)
            if (key == QLatin1String(r.name))
                rule = &r;
        if (!rule)
            return refuse(QStringLiteral("unknown parameter %1").arg(key));
        if (value.isEmpty() || !plainText(value)
            || (*rule->pattern && !QRegularExpression(QLatin1String(rule->pattern)).match(value).hasMatch()))
            return refuse(QStringLiteral("%1=%2 is not a value it takes").arg(key, value));
        if (key == QLatin1String("host"))
            a.host = value;
        else if (key == QLatin1String("port"))
            a.port = value.toInt();
        else
            a.parameters.emplace_back(key, value);
    }
    if (a.port == 0 || a.port > 65535)
        return refuse(QStringLiteral("port %1 is no port").arg(a.port));
    return a;
}

QString ClassServerAddress::uri() const
{
    const auto encoded = [](const QString &v) { return QString::fromLatin1(QUrl::toPercentEncoding(v)); };
    QString out = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        out += encoded(user) + QLatin1Char('@');
    QStringList query;
    // a socket folder is no host name: it goes into the parameters
    if (host.startsWith(QLatin1Char('/')))
        query << QStringLiteral("host=") + QString::fromLatin1(QUrl::toPercentEncoding(host, "/"));
    else if (host.contains(QLatin1Char(':')))
        out += QLatin1Char('[') + host + QLatin1Char(']');
    else
        out += encoded(host);
    if (port > 0)
        out += QLatin1Char(':') + QString::number(port);
    out += QLatin1Char('/') + encoded(database);
    for (const auto &[k, v] : parameters)
        query << k + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(v, "/"));
    if (!query.isEmpty())
        out += QLatin1Char('?') + query.join(QLatin1Char('&'));
    return out;
}

ClassServerAddress ClassServerAddress::maintenance() const
{
    ClassServerAddress a = *this;
    a.database = QStringLiteral("postgres");
    return a;
}

// ---- connection ----

ClassServer::ClassServer(ClassServerAddress address, QString password)
    : address_(std::move(address)), password_(std::move(password)), connection_(newConnectionName())
{ }

ClassServer::~ClassServer()
{
    close();
    QSqlDatabase::removeDatabase(connection_);
}

bool ClassServer::fail(ClassServerError::Kind kind, const QString &reason)
{
    error_ = {kind, address_.uri(), reason.isEmpty() ? QStringLiteral("unknown server error") : reason};
    return false;
}

bool ClassServer::failQuery(const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    const bool lost = transient(e.nativeErrorCode());
    if (lost)
        close(); // a broken connection is made anew at the next request
    return fail(lost ? ClassServerError::Kind::Connection : ClassServerError::Kind::Refused, reasonOf(e));
}

bool ClassServer::isOpen() const
{
    return QSqlDatabase::contains(connection_) && QSqlDatabase::database(connection_, false).isOpen();
}

void ClassServer::close()
{
    if (!QSqlDatabase::contains(connection_))
        return;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    db.close();
}

bool ClassServer::connect()
{
    error_ = {};
    if (isOpen())
        return true;
    QSqlDatabase db = QSqlDatabase::contains(connection_)
        ? QSqlDatabase::database(connection_, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection_);
    if (!db.isValid())
        return fail(ClassServerError::Kind::Connection,
                    QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed"));
    db.setHostName(address_.host);
    db.setPort(address_.port);
    db.setDatabaseName(address_.database);
    db.setUserName(address_.user);
    db.setPassword(password_);
    QStringList options;
    bool timeout = false;
    for (const auto &[k, v] : address_.parameters) {
        options << k + QLatin1Char('=') + quoted(v);
        timeout = timeout || k == QLatin1String("connect_timeout");
    }
    if (!timeout)
        options << QStringLiteral("connect_timeout=") + QLatin1String(kConnectTimeoutS);
    // a server that went away unseen is noticed within a minute or so
    options << QStringLiteral("keepalives=1") << QStringLiteral("keepalives_idle=20")
            << QStringLiteral("keepalives_interval=5") << QStringLiteral("keepalives_count=3");
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open()) {
        const QString reason = reasonOf(db.lastError());
        const bool noPassword = reason.contains(QLatin1String("no password supplied"));
        return fail(noPassword ? ClassServerError::Kind::NoPassword : ClassServerError::Kind::Connection, reason);
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SET TIME ZONE 'UTC'")))
        return failQuery(q);
    return true;
}

bool ClassServer::checkVersion()
{
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT to_regclass('tervalo.schema_version') IS NOT NULL")) || !q.next())
        return failQuery(q);
    if (!q.value(0).toBool())
        return fail(ClassServerError::Kind::Refused,
                    QStringLiteral("the database holds no class library (tervalo-class init makes one)"));
    if (!q.exec(QStringLiteral("SELECT max(version) FROM tervalo.schema_version")) || !q.next())
        return failQuery(q);
    const int version = q.value(0).toInt();
    if (version > kSchemaVersion)
        return fail(ClassServerError::Kind::Refused,
                    QStringLiteral("a newer version of the program made this class library (its version %1, this "
                                   "program knows version %2)")
                        .arg(version)
                        .arg(kSchemaVersion));
    if (version < 1)
        return fail(ClassServerError::Kind::Refused, QStringLiteral("the class library's version is not set"));
    return true;
}

bool ClassServer::open()
{
    if (!connect())
        return false;
    if (checkVersion())
        return true;
    close(); // nothing goes to a library of another version
    return false;
}

// ---- init ----

bool ClassServer::init(std::vector<QString> &done)
{
    if (!connect()) {
        if (!error_.reason.contains(QLatin1String("does not exist")) || address_.database.isEmpty())
            return false;
        const ClassServerError missing = error_;
        ClassServer postgres(address_.maintenance(), password_);
        if (!postgres.connect()) {
            error_ = missing;
            return false;
        }
        QSqlDatabase pdb = QSqlDatabase::database(postgres.connection_, false);
        QSqlQuery create(pdb);
        const QString name = pdb.driver()->escapeIdentifier(address_.database, QSqlDriver::TableName);
        if (!create.exec(QStringLiteral("CREATE DATABASE ") + name)) {
            postgres.failQuery(create);
            error_ = postgres.error_;
            error_.server = address_.uri();
            return false;
        }
        done.push_back(QStringLiteral("created the database %1").arg(address_.database));
        if (!connect())
            return false;
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT to_regclass('tervalo.schema_version') IS NOT NULL")) || !q.next())
        return failQuery(q);
    if (q.value(0).toBool()) {
        if (!checkVersion())
            return false;
        done.push_back(
            QStringLiteral("the class library (version %1) is there already: nothing changed").arg(kSchemaVersion));
        return true;
    }
    if (!db.transaction())
        return fail(ClassServerError::Kind::Connection, reasonOf(db.lastError()));
    const auto abandon = [&] {
        failQuery(q);
        db.rollback();
        return false;
    };
    for (const char *role : {kStudentRole, kInstructorRole}) {
        q.prepare(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"));
        q.addBindValue(QString::fromLatin1(role));
        if (!q.exec())
            return abandon();
        if (q.next())
            continue;
        if (!q.exec(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(QLatin1String(role))))
            return abandon();
        done.push_back(QStringLiteral("created the role %1").arg(QLatin1String(role)));
    }
    for (const QString &statement : schemaStatements())
        if (!q.exec(statement))
            return abandon();
    if (!db.commit())
        return abandon();
    done.push_back(QStringLiteral("made the class library (version %1) in the schema tervalo").arg(kSchemaVersion));
    return true;
}

// ---- runs ----

bool ClassServer::send(const ClassRunContext &context, const RunRecord &record, bool *stored)
{
    if (stored)
        *stored = false;
    const QUuid uuid(context.uuid);
    if (uuid.isNull())
        return fail(ClassServerError::Kind::Refused, QStringLiteral("the run has no UUID"));
    if (!isOpen() && !open())
        return false;
    error_ = {};
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        close();
        return fail(ClassServerError::Kind::Connection, reasonOf(db.lastError()));
    }
    QSqlQuery q(db);
    const auto abandon = [&] {
        failQuery(q);
        if (isOpen())
            db.rollback();
        return false;
    };
    const QString id = uuid.toString(QUuid::WithoutBraces);
    const RunSettings &s = record.settings();
    const bool fuzzy = s.fuzzy();
    const StepFigures figures = record.figures();
    QString marks;
    for (std::size_t k = 0; k < kMetricCount; ++k)
        marks += QStringLiteral(", ?::float8");
    q.prepare(QStringLiteral("INSERT INTO tervalo.runs (uuid, student, host, plant_kind, program_version, kind, "
                             "experiment, experiment_sha256, rules_sha256, start_utc, mode, controller, reference, "
                             "kp, ki, kd, error_divisor, output_divisor, settings, row_count, name, note")
              + figureColumns()
              + QStringLiteral(") VALUES (?::uuid, ?, ?, ?, ?, ?, ?, ?, ?, ?::timestamptz, ?, ?, ?::integer, "
                               "?::float8, ?::float8, ?::float8, ?::integer, ?::integer, ?::json, ?::bigint, ?, ?")
              + marks + QStringLiteral(") ON CONFLICT (uuid) DO NOTHING"));
    for (const QString &v : {id, context.student, context.host, context.plantKind, context.programVersion, context.kind,
                             context.experiment, context.experimentSha256, context.rulesSha256})
        q.addBindValue(text(v));
    q.addBindValue(QString::fromStdString(utcText(s.start)));
    q.addBindValue(QString::fromLatin1(runModeName(s.mode)));
    q.addBindValue(QString::fromLatin1(runControllerName(s.controller)));
    q.addBindValue(QString::number(s.reference));
    const QVariant null(QMetaType(QMetaType::QString));
    q.addBindValue(fuzzy ? null : numberOrNull(s.kp));
    q.addBindValue(fuzzy ? null : numberOrNull(s.ki));
    q.addBindValue(fuzzy ? null : numberOrNull(s.kd));
    q.addBindValue(fuzzy ? QVariant(QString::number(s.errorDivisor)) : null);
    q.addBindValue(fuzzy ? QVariant(QString::number(s.outputDivisor)) : null);
    q.addBindValue(QString::fromUtf8(
        QJsonDocument::fromJson(RunFiles::settingsJson(record, 0, record.size())).toJson(QJsonDocument::Compact)));
    q.addBindValue(QString::number(record.size()));
    q.addBindValue(text(context.name));
    q.addBindValue(text(context.note));
    for (const MetricInfo &m : kMetrics) {
        const Figure &f = figures[m.metric];
        q.addBindValue(f.available() ? numberOrNull(f.value) : null);
    }
    if (!q.exec())
        return abandon();
    const bool added = q.numRowsAffected() == 1;
    if (added && !record.empty()) {
        // the rows in one statement: each column as one array literal
        // (numbers only, no quoting needed)
        std::array<QByteArray, kRunColumnCount> arrays;
        for (QByteArray &a : arrays) {
            a.reserve(static_cast<int>(record.size()) * 12 + 2);
            a += '{';
        }
        for (const RunRow &row : record.rows())
            for (std::size_t c = 0; c < kRunColumnCount; ++c) {
                QByteArray &a = arrays[c];
                if (a.size() > 1)
                    a += ',';
                appendArrayNumber(a, columnValue(row, kRunColumns[c].column));
            }
        QByteArray sql = "INSERT INTO tervalo.samples (run, " + sampleColumns().toLatin1() + ") SELECT '"
            + id.toLatin1() + "'::uuid, * FROM unnest(";
        for (std::size_t c = 0; c < kRunColumnCount; ++c) {
            arrays[c] += '}';
            sql += c ? ", '" : "'";
            sql += arrays[c];
            sql += kRunColumns[c].column == RunColumn::Cycle ? "'::bigint[]" : "'::float8[]";
        }
        sql += ')';
        if (!q.exec(QString::fromLatin1(sql)))
            return abandon();
    } else if (!added) {
        // a resend: the server has it; its name and note may be new
        q.prepare(QStringLiteral("UPDATE tervalo.runs SET name = ?, note = ? WHERE uuid = ?::uuid AND owner = "
                                 "current_user AND (name <> ? OR note <> ?)"));
        for (const QString &v : {context.name, context.note, id, context.name, context.note})
            q.addBindValue(text(v));
        if (!q.exec())
            return abandon();
        if (q.numRowsAffected() == 0) {
            q.prepare(QStringLiteral("SELECT 1 FROM tervalo.runs WHERE uuid = ?::uuid AND owner = current_user"));
            q.addBindValue(id);
            if (!q.exec())
                return abandon();
            if (!q.next()) {
                db.rollback();
                return fail(ClassServerError::Kind::Refused,
                            QStringLiteral("the server holds another's run under this run's UUID %1").arg(id));
            }
        }
    }
    if (!db.commit())
        return fail(ClassServerError::Kind::Connection, reasonOf(db.lastError()));
    if (stored)
        *stored = added;
    return true;
}

bool ClassServer::update(const QString &uuid, const QString &name, const QString &note)
{
    if (!isOpen() && !open())
        return false;
    error_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("UPDATE tervalo.runs SET name = ?, note = ? WHERE uuid = ?::uuid"));
    q.addBindValue(text(name));
    q.addBindValue(text(note));
    q.addBindValue(QUuid(uuid).toString(QUuid::WithoutBraces));
    if (!q.exec())
        return failQuery(q);
    if (q.numRowsAffected() != 1)
        return fail(ClassServerError::Kind::Refused, QStringLiteral("no run %1 of yours on the server").arg(uuid));
    return true;
}

std::optional<ClassServer::Role> ClassServer::role()
{
    if (!isOpen() && !open())
        return std::nullopt;
    error_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    if (!q.exec(QStringLiteral("SELECT current_user::text, pg_has_role(current_user, '%1', 'MEMBER')")
                    .arg(QLatin1String(kInstructorRole)))
        || !q.next()) {
        failQuery(q);
        return std::nullopt;
    }
    Role r;
    r.login = q.value(0).toString();
    r.instructor = q.value(1).toBool();
    return r;
}

std::optional<std::vector<ClassRunLine>> ClassServer::runs(const RunFilter &filter)
{
    if (!isOpen() && !open())
        return std::nullopt;
    error_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT uuid::text, owner, student, host, plant_kind, program_version, kind, "
                             "experiment, experiment_sha256, rules_sha256, name, note, ")
              + kStartText
              + QStringLiteral(", mode, controller, reference, kp, ki, kd, error_divisor, output_divisor, row_count")
              + figureColumns()
              + QStringLiteral(" FROM tervalo.runs WHERE (? = '' OR experiment = ?) AND (? = '' OR student = ?) "
                               "ORDER BY start_utc, uuid"));
    for (const QString &v : {filter.experiment, filter.experiment, filter.student, filter.student})
        q.addBindValue(text(v));
    if (!q.exec()) {
        failQuery(q);
        return std::nullopt;
    }
    std::vector<ClassRunLine> out;
    if (q.size() > 0)
        out.reserve(static_cast<std::size_t>(q.size()));
    while (q.next()) {
        ClassRunLine l;
        ClassRunContext &c = l.context;
        c.uuid = q.value(0).toString();
        l.owner = q.value(1).toString();
        c.student = q.value(2).toString();
        c.host = q.value(3).toString();
        c.plantKind = q.value(4).toString();
        c.programVersion = q.value(5).toString();
        c.kind = q.value(6).toString();
        c.experiment = q.value(7).toString();
        c.experimentSha256 = q.value(8).toString();
        c.rulesSha256 = q.value(9).toString();
        c.name = q.value(10).toString();
        c.note = q.value(11).toString();
        l.startUtc = q.value(12).toString();
        l.mode = q.value(13).toString();
        l.controller = q.value(14).toString();
        l.reference = q.value(15).toInt();
        // the gains as the Runs window shows them
        StoredRun gains;
        gains.controller = l.controller;
        gains.kp = numberOf(q.value(16));
        gains.ki = numberOf(q.value(17));
        gains.kd = numberOf(q.value(18));
        gains.errorDivisor = q.value(19).toInt();
        gains.outputDivisor = q.value(20).toInt();
        l.gains = gains.settingsText();
        l.rows = q.value(21).toLongLong();
        for (std::size_t k = 0; k < kMetricCount; ++k)
            l.figures[k] = numberOf(q.value(22 + static_cast<int>(k)));
        out.push_back(std::move(l));
    }
    if (q.lastError().isValid()) {
        failQuery(q);
        return std::nullopt;
    }
    return out;
}

std::unique_ptr<RunRecord> ClassServer::load(const QString &uuid)
{
    if (!isOpen() && !open())
        return nullptr;
    error_ = {};
    const QString id = QUuid(uuid).toString(QUuid::WithoutBraces);
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT settings::text, row_count FROM tervalo.runs WHERE uuid = ?::uuid"));
    q.addBindValue(id);
    if (!q.exec()) {
        failQuery(q);
        return nullptr;
    }
    if (!q.next()) {
        fail(ClassServerError::Kind::Refused, QStringLiteral("no run %1 on the server").arg(uuid));
        return nullptr;
    }
    RunSettings settings;
    if (!RunSettingsJson::read(q.value(0).toString().toUtf8(), settings)) {
        fail(ClassServerError::Kind::Refused, QStringLiteral("run %1: settings that cannot be read").arg(uuid));
        return nullptr;
    }
    const auto count = static_cast<std::size_t>(std::max<qlonglong>(q.value(1).toLongLong(), 1));
    q.finish();
    auto record = std::make_unique<RunRecord>(count);
    record->start(settings);
    q.prepare(QStringLiteral("SELECT ") + sampleColumns()
              + QStringLiteral(" FROM tervalo.samples WHERE run = ?::uuid ORDER BY cycle"));
    q.addBindValue(id);
    if (!q.exec()) {
        failQuery(q);
        return nullptr;
    }
    while (q.next()) {
        RunRow row;
        for (std::size_t c = 0; c < kRunColumnCount; ++c)
            setColumnValue(row, kRunColumns[c].column, numberOf(q.value(static_cast<int>(c))));
        record->append(row);
    }
    record->stop();
    return record;
}

std::optional<std::int64_t> ClassServer::purge(const QDateTime &before)
{
    if (!isOpen() && !open())
        return std::nullopt;
    error_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("DELETE FROM tervalo.runs WHERE start_utc < ?::timestamptz"));
    q.addBindValue(before.toUTC().toString(Qt::ISODate));
    if (!q.exec()) {
        failQuery(q);
        return std::nullopt;
    }
    return q.numRowsAffected();
}

// ---- students ----

QString ClassServer::loginFor(const QString &name)
{
    QString out;
    for (QChar c : name.normalized(QString::NormalizationForm_KD)) {
        if (c == QChar(0x0131)) // dotless i
            c = QLatin1Char('i');
        if (c.isMark())
            continue;
        const QChar lower = c.toLower();
        if ((lower >= QLatin1Char('a') && lower <= QLatin1Char('z'))
            || (lower >= QLatin1Char('0') && lower <= QLatin1Char('9')))
            out += lower;
        else if (!out.isEmpty() && !out.endsWith(QLatin1Char('_')))
            out += QLatin1Char('_');
    }
    while (out.endsWith(QLatin1Char('_')))
        out.chop(1);
    if (!out.isEmpty() && out.front().isDigit())
        out.prepend(QStringLiteral("s_"));
    return out.left(63);
}

std::optional<std::vector<ClassServer::NewStudent>>
ClassServer::addStudents(const std::vector<std::pair<QString, QString>> &students, std::vector<QString> &skipped)
{
    if (!isOpen() && !open())
        return std::nullopt;
    error_ = {};
    static const QRegularExpression validLogin(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    std::vector<NewStudent> made;
    for (const auto &[name, given] : students) {
        const QString login = given.isEmpty() ? loginFor(name) : given;
        if (!validLogin.match(login).hasMatch()) {
            fail(ClassServerError::Kind::Refused,
                 QStringLiteral("%1: the login \"%2\" is not lower-case letters, digits and '_'").arg(name, login));
            return std::nullopt;
        }
        for (const NewStudent &s : made)
            if (s.login == login) {
                fail(ClassServerError::Kind::Refused, QStringLiteral("the login %1 is there twice").arg(login));
                return std::nullopt;
            }
        made.push_back({name, login, {}});
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        fail(ClassServerError::Kind::Connection, reasonOf(db.lastError()));
        return std::nullopt;
    }
    QSqlQuery q(db);
    std::vector<NewStudent> out;
    // letters and digits that cannot be taken for one another
    static const char alphabet[] = "abcdefghjkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    for (NewStudent &s : made) {
        q.prepare(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"));
        q.addBindValue(s.login);
        if (!q.exec()) {
            failQuery(q);
            db.rollback();
            return std::nullopt;
        }
        if (q.next()) {
            skipped.push_back(s.login);
            continue;
        }
        for (int k = 0; k < 16; ++k)
            s.password += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet - 1))]);
        // the login and password are checked letters and digits: safe in the statement
        if (!q.exec(QStringLiteral("CREATE ROLE \"%1\" LOGIN PASSWORD '%2' IN ROLE %3")
                        .arg(s.login, s.password, QLatin1String(kStudentRole)))) {
            failQuery(q);
            db.rollback();
            return std::nullopt;
        }
        out.push_back(s);
    }
    if (!db.commit()) {
        fail(ClassServerError::Kind::Connection, reasonOf(db.lastError()));
        return std::nullopt;
    }
    return out;
}

// ---- report ----

QByteArray classReportHeader()
{
    QByteArray out = "uuid,student,host,plant_kind,experiment,controller,gains,reference,start_utc,duration_s";
    for (const MetricInfo &m : kMetrics)
        out += QByteArray(",") + m.key;
    return out + "\r\n";
}

QByteArray classReportRow(const ClassRunLine &l)
{
    QByteArray out;
    const ClassRunContext &c = l.context;
    for (const QString &f : {c.uuid, c.student, c.host, c.plantKind, c.experiment, l.controller, l.gains}) {
        appendCsvField(out, f);
        out += ',';
    }
    out += QByteArray::number(l.reference) + ',';
    out += l.startUtc.toLatin1() + ',';
    out += QByteArray::fromStdString(shortestDecimal(l.durationS()));
    for (double f : l.figures) {
        out += ',';
        out += QByteArray::fromStdString(shortestDecimal(f));
    }
    return out + "\r\n";
}

} // namespace tervalo
