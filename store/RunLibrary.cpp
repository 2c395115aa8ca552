#include "store/RunLibrary.h"

#include "engine/FuzzyController.h"
#include "store/RunFiles.h"
#include "store/RunSettingsJson.h"
#include "store/UserFolders.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSysInfo>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include <sqlite3.h>

#include "tervalo_version.h"

namespace tervalo {

namespace {

constexpr int kSchemaVersion = 2;

// A connection name of its own for every library object.
QString newConnectionName()
{
    static QAtomicInteger<quint64> next = 0;
    return QStringLiteral("tervalo-runs-%1").arg(next.fetchAndAddRelaxed(1));
}

QVariant orNull(double v)
{
    return std::isnan(v) ? QVariant() : QVariant(v);
}

double fromVariant(const QVariant &v)
{
    return v.isNull() ? kNoValue : v.toDouble();
}

QString reasonOf(const QSqlError &e)
{
    const QString db = e.databaseText();
    return db.isEmpty() ? e.text() : db;
}

// A text for a column that takes no NULL: a null QString would be bound as
// one.
QVariant text(const QString &s)
{
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString nowUtc()
{
    return QString::fromStdString(utcText(std::chrono::system_clock::now()));
}

// The columns of the runs table, in table order, with the version of the
// library that brought them: those of version 1, one a figure among them,
// then what version 2 added (at the end, where ALTER TABLE puts them, so
// that an upgraded library and a new one have the same table).
struct Column {
    QString name;
    QString type;
    int since = 1;
};

const std::vector<Column> &runsColumns()
{
    static const std::vector<Column> columns = [] {
        std::vector<Column> c = {
            {QStringLiteral("id"), QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")},
            {QStringLiteral("start_utc"), QStringLiteral("TEXT NOT NULL")},
            {QStringLiteral("mode"), QStringLiteral("TEXT NOT NULL")},
            {QStringLiteral("controller"), QStringLiteral("TEXT NOT NULL")},
            {QStringLiteral("reference"), QStringLiteral("INTEGER NOT NULL")},
            {QStringLiteral("kp"), QStringLiteral("REAL")},
            {QStringLiteral("ki"), QStringLiteral("REAL")},
            {QStringLiteral("kd"), QStringLiteral("REAL")},
            {QStringLiteral("error_divisor"), QStringLiteral("INTEGER")},
            {QStringLiteral("output_divisor"), QStringLiteral("INTEGER")},
            {QStringLiteral("settings"), QStringLiteral("TEXT NOT NULL")},
            {QStringLiteral("row_count"), QStringLiteral("INTEGER NOT NULL")},
        };
        for (const MetricInfo &m : kMetrics)
            c.push_back({QString::fromLatin1(m.key), QStringLiteral("REAL")});
        const Column later[] = {
            {QStringLiteral("name"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 1},
            {QStringLiteral("note"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 1},
            {QStringLiteral("uuid"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("student"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("host"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("plant"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("program_version"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("experiment"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("experiment_sha256"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("rules_sha256"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("kind"), QStringLiteral("TEXT NOT NULL DEFAULT 'run'"), 2},
            {QStringLiteral("bump_u1"), QStringLiteral("INTEGER"), 2},
            {QStringLiteral("bump_u2"), QStringLiteral("INTEGER"), 2},
            {QStringLiteral("model_gain"), QStringLiteral("REAL"), 2},
            {QStringLiteral("model_offset"), QStringLiteral("REAL"), 2},
            {QStringLiteral("model_time_constant_s"), QStringLiteral("REAL"), 2},
            {QStringLiteral("model_dead_time_s"), QStringLiteral("REAL"), 2},
            {QStringLiteral("model_rmse"), QStringLiteral("REAL"), 2},
            {QStringLiteral("forward_state"), QStringLiteral("TEXT NOT NULL DEFAULT 'local'"), 2},
            {QStringLiteral("forward_reason"), QStringLiteral("TEXT NOT NULL DEFAULT ''"), 2},
            {QStringLiteral("forward_utc"), QStringLiteral("TEXT"), 2},
        };
        c.insert(c.end(), std::begin(later), std::end(later));
        return c;
    }();
    return columns;
}

bool isFigureColumn(const QString &name)
{
    for (const MetricInfo &m : kMetrics)
        if (name == QLatin1String(m.key))
            return true;
    return false;
}

QString schemaRuns()
{
    QStringList lines;
    for (const Column &c : runsColumns())
        lines << QStringLiteral("  ") + c.name + QLatin1Char(' ') + c.type;
    return QStringLiteral("CREATE TABLE runs (\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n)");
}

const QString &uuidIndex()
{
    static const QString statement = QStringLiteral("CREATE UNIQUE INDEX runs_uuid ON runs(uuid)");
    return statement;
}

QString schemaSamples()
{
    QString columns;
    for (const RunColumnInfo &c : kRunColumns)
        columns += QStringLiteral("  %1 %2,\n")
                       .arg(QString::fromLatin1(c.name),
                            c.column == RunColumn::Cycle ? QStringLiteral("INTEGER NOT NULL") : QStringLiteral("REAL"));
    return QStringLiteral("CREATE TABLE samples (\n"
                          "  run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,\n")
        + columns + QStringLiteral("  PRIMARY KEY (run, cycle)\n) WITHOUT ROWID");
}

// The columns a query reads into a StoredRun, in its order.
QString listColumns()
{
    QStringList names;
    for (const Column &c : runsColumns())
        names << c.name;
    return names.join(QStringLiteral(", "));
}

QStringList columnNames(QSqlQuery &q, const QString &table)
{
    QStringList names;
    if (q.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table)))
        while (q.next())
            names << q.value(0).toString();
    return names;
}

} // namespace

const char *plantKindName(PlantKind k)
{
    switch (k) {
    case PlantKind::Kit: return "kit";
    case PlantKind::EmulatedKit: return "emulated_kit";
    case PlantKind::Simulation: return "simulation";
    }
    return "kit";
}

std::optional<PlantKind> plantKindNamed(const QString &name)
{
    for (PlantKind k : {PlantKind::Kit, PlantKind::EmulatedKit, PlantKind::Simulation})
        if (name == QLatin1String(plantKindName(k)))
            return k;
    return std::nullopt;
}

const char *runKindName(RunKind k)
{
    return k == RunKind::BumpTest ? "bump_test" : "run";
}

const char *forwardStateName(ForwardState s)
{
    switch (s) {
    case ForwardState::Local: return "local";
    case ForwardState::Sent: return "sent";
    case ForwardState::Refused: return "refused";
    }
    return "local";
}

std::optional<ForwardState> forwardStateNamed(const QString &name)
{
    for (ForwardState s : {ForwardState::Local, ForwardState::Sent, ForwardState::Refused})
        if (name == QLatin1String(forwardStateName(s)))
            return s;
    return std::nullopt;
}

QString RunContext::thisHostName()
{
    return QSysInfo::machineHostName();
}

QString RunContext::thisProgramVersion()
{
    return QStringLiteral(TERVALO_VERSION);
}

void RunContext::setExperiment(const QString &path, const QByteArray &contents)
{
    experiment = QFileInfo(path).fileName();
    experimentSha256 = sha256Hex(contents);
}

PlantKind plantKindOf(const RunSettings &settings, bool emulatedKit)
{
    if (settings.mode == RunMode::Simulation)
        return PlantKind::Simulation;
    return emulatedKit ? PlantKind::EmulatedKit : PlantKind::Kit;
}

QString ruleTableSha256(const RunSettings &settings)
{
    if (!settings.fuzzy())
        return {};
    QByteArray cells;
    for (int r = 0; r < FuzzyController::termCount; ++r)
        for (int c = 0; c < FuzzyController::termCount; ++c) {
            const std::string &text = settings.rules[static_cast<std::size_t>(FuzzyController::cellIndex(r, c))];
            const auto term = std::find(settings.termNames.begin(), settings.termNames.end(), text);
            cells += term == settings.termNames.end() || text.empty()
                ? '-'
                : static_cast<char>('0' + (term - settings.termNames.begin()));
        }
    return sha256Hex(cells);
}

QString StoredRun::settingsText() const
{
    if (controller == QLatin1String(runControllerName(RunController::Fuzzy)))
        return QStringLiteral("%1 / %2").arg(errorDivisor).arg(outputDivisor);
    QStringList parts;
    const std::pair<const char *, double> gains[] = {{"Kp", kp}, {"Ki", ki}, {"Kd", kd}};
    for (const auto &[label, value] : gains)
        if (!std::isnan(value))
            parts << QStringLiteral("%1=%2").arg(QLatin1String(label), QString::fromStdString(shortestDecimal(value)));
    return parts.join(QLatin1Char(' '));
}

QString RunLibrary::defaultPath(QString *reason)
{
    const UserFolders::Folder folder = UserFolders().runLibraryFolder();
    if (!folder.usable()) {
        if (reason)
            *reason = folder.path + QStringLiteral(": ") + folder.reason;
        return {};
    }
    return QDir(folder.path).filePath(QStringLiteral("runs.sqlite"));
}

RunLibrary::RunLibrary(const QString &path, int busyTimeoutMs)
    : path_(path), connection_(newConnectionName()), busyTimeoutMs_(busyTimeoutMs)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        fail(reasonOf(db.lastError()));
        openError_ = lastError_;
        return;
    }
    // Opening writes nothing to a library that is there already: another
    // copy of the program may hold the write lock, and listing must still
    // work (WAL lets readers in beside a writer).
    if (!prepare(db)) {
        openError_ = lastError_;
        return;
    }
}

namespace {

// What a database holds, read without writing anything: its version stamp,
// and which library version its tables are of (0: no tables at all, -1:
// tables of another program).
struct Contents {
    int version = 0;
    int tables = 0;
};

bool readContents(QSqlQuery &q, Contents &out)
{
    // the first statement is also where a file that is no database shows
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return false;
    out.version = q.value(0).toInt();
    if (!q.exec(QStringLiteral("SELECT type, name FROM sqlite_master")))
        return false;
    // tables, views or triggers of a user's own beside the library's are
    // left alone; without the library's two tables they are another
    // program's
    bool anything = false;
    QStringList tables;
    while (q.next()) {
        anything = true;
        const QString type = q.value(0).toString(), name = q.value(1).toString();
        if (type == QLatin1String("table") && (name == QLatin1String("runs") || name == QLatin1String("samples")))
            tables << name;
    }
    q.finish();
    if (!anything) {
        out.tables = 0;
        return true;
    }
    out.tables = -1;
    if (tables.size() != 2)
        return true;
    // the runs table with every column of its version but the figures
    // (which follow the figure table), the samples table with every column
    const QStringList runs = columnNames(q, QStringLiteral("runs"));
    const QStringList samples = columnNames(q, QStringLiteral("samples"));
    if (q.lastError().isValid())
        return false;
    for (const char *name : {"run", "cycle"})
        if (!samples.contains(QLatin1String(name)))
            return true;
    for (const RunColumnInfo &c : kRunColumns)
        if (!samples.contains(QLatin1String(c.name)))
            return true;
    const int version = runs.contains(QLatin1String("uuid")) ? 2 : 1;
    for (const Column &c : runsColumns())
        if (c.since <= version && !isFigureColumn(c.name) && !runs.contains(c.name))
            return true;
    out.tables = version;
    return true;
}

// Why a database with these contents is not opened as a library; empty when
// it is one (or empty).
QString refusal(const Contents &c)
{
    if (c.version > kSchemaVersion)
        return QStringLiteral("a newer version of the program made this run library (its version %1, this "
                              "program reads version %2)")
            .arg(c.version)
            .arg(kSchemaVersion);
    if (c.tables < 0 || (c.tables > 0 && c.version != 0 && c.version != c.tables))
        return QStringLiteral("not a run library (a database with tables of another program)");
    return {};
}

} // namespace

bool RunLibrary::prepare(QSqlDatabase &db)
{
    QSqlQuery q(db);
    const auto failed = [&] { return fail(reasonOf(q.lastError())); };
    // Nothing is written before the database is known to be a library this
    // program reads (or an empty one).
    Contents contents;
    if (!readContents(q, contents))
        return failed();
    if (const QString why = refusal(contents); !why.isEmpty())
        return fail(why);
    // WAL: a second copy of the program reads while this one writes (on a
    // library in WAL mode already, nothing is written). Switching a new file
    // reads its header and then takes the write lock: when another copy
    // takes that lock in between, SQLite answers "locked" at once rather
    // than wait (it cannot tell that from a deadlock), so the switch is
    // tried again for as long as a write would wait.
    QElapsedTimer waited;
    waited.start();
    while (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        if ((q.lastError().nativeErrorCode().toInt() & 0xff) != SQLITE_BUSY || waited.elapsed() >= busyTimeoutMs_)
            return failed();
        QThread::msleep(5);
    }
    for (const char *pragma : {"PRAGMA synchronous=NORMAL", "PRAGMA foreign_keys=ON"})
        if (!q.exec(QLatin1String(pragma)))
            return failed();
    q.finish();
    if (contents.version == kSchemaVersion && contents.tables == kSchemaVersion)
        return true;
    // A new database, one of version 1, or tables whose version was lost:
    // the tables (or what version 2 added to them) and the version in one
    // transaction, which takes the write lock at once (waiting for another
    // copy's run to end) and looks again under it: that copy may have made
    // or upgraded the tables meanwhile.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed();
    const auto abandon = [&](bool reported) {
        if (!reported)
            failed();
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!readContents(q, contents))
        return abandon(false);
    if (const QString why = refusal(contents); !why.isEmpty())
        return abandon(fail(why));
    bool done = true;
    if (contents.tables == 0)
        done = create(db);
    else if (contents.tables == 1)
        done = upgrade(db);
    if (!done)
        return abandon(true);
    if (!q.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion)) || !q.exec(QStringLiteral("COMMIT")))
        return abandon(false);
    return true;
}

bool RunLibrary::create(QSqlDatabase &db)
{
    QSqlQuery q(db);
    for (const QString &statement : {schemaRuns(), uuidIndex(), schemaSamples()})
        if (!q.exec(statement))
            return fail(reasonOf(q.lastError()));
    return true;
}

// Version 1 to 2, inside prepare()'s transaction: the new columns, and for
// every run a UUID, its rule table's hash and, for a simulation, its plant.
bool RunLibrary::upgrade(QSqlDatabase &db)
{
    QSqlQuery q(db);
    const auto failed = [&] { return fail(reasonOf(q.lastError())); };
    for (const Column &c : runsColumns())
        if (c.since == 2 && !q.exec(QStringLiteral("ALTER TABLE runs ADD COLUMN %1 %2").arg(c.name, c.type)))
            return failed();
    struct Old {
        qlonglong id;
        QString mode;
        QByteArray settings;
    };
    std::vector<Old> runs;
    if (!q.exec(QStringLiteral("SELECT id, mode, settings FROM runs")))
        return failed();
    while (q.next())
        runs.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString().toUtf8()});
    q.finish();
    q.prepare(QStringLiteral("UPDATE runs SET uuid = ?, rules_sha256 = ?, plant = ? WHERE id = ?"));
    for (const Old &run : runs) {
        RunSettings settings;
        const bool readable = RunSettingsJson::read(run.settings, settings);
        const bool simulation = run.mode == QLatin1String(runModeName(RunMode::Simulation));
        q.addBindValue(newUuid());
        q.addBindValue(text(readable ? ruleTableSha256(settings) : QString()));
        q.addBindValue(text(simulation ? QString::fromLatin1(plantKindName(PlantKind::Simulation)) : QString()));
        q.addBindValue(run.id);
        if (!q.exec())
            return failed();
    }
    if (!q.exec(uuidIndex()))
        return failed();
    return true;
}

RunLibrary::~RunLibrary()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool RunLibrary::fail(const QString &reason)
{
    lastError_ = {path_, reason.isEmpty() ? QStringLiteral("unknown database error") : reason};
    return false;
}

std::optional<std::int64_t> RunLibrary::store(const RunRecord &record, const RunContext &context)
{
    if (!usable()) {
        lastError_ = openError_;
        return std::nullopt;
    }
    lastError_ = {};
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery begin(db);
    // the write lock at once: waits for another copy's store to end
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        fail(reasonOf(begin.lastError()));
        return std::nullopt;
    }
    const auto rollback = [&] { QSqlQuery(db).exec(QStringLiteral("ROLLBACK")); };

    const RunSettings &s = record.settings();
    const bool fuzzy = s.fuzzy();
    const bool bump = context.kind == RunKind::BumpTest;
    const QByteArray json =
        QJsonDocument::fromJson(RunFiles::settingsJson(record, 0, record.size())).toJson(QJsonDocument::Compact);
    std::vector<std::pair<QString, QVariant>> values = {
        {QStringLiteral("uuid"), newUuid()},
        {QStringLiteral("start_utc"), QString::fromStdString(utcText(s.start))},
        {QStringLiteral("mode"), QString::fromLatin1(runModeName(s.mode))},
        {QStringLiteral("controller"), QString::fromLatin1(runControllerName(s.controller))},
        {QStringLiteral("reference"), s.reference},
        {QStringLiteral("kp"), fuzzy ? QVariant() : orNull(s.kp)},
        {QStringLiteral("ki"), fuzzy ? QVariant() : orNull(s.ki)},
        {QStringLiteral("kd"), fuzzy ? QVariant() : orNull(s.kd)},
        {QStringLiteral("error_divisor"), fuzzy ? QVariant(s.errorDivisor) : QVariant()},
        {QStringLiteral("output_divisor"), fuzzy ? QVariant(s.outputDivisor) : QVariant()},
        {QStringLiteral("settings"), QString::fromUtf8(json)},
        {QStringLiteral("row_count"), static_cast<qlonglong>(record.size())},
        {QStringLiteral("student"), context.student},
        {QStringLiteral("host"), context.host},
        {QStringLiteral("plant"), QString::fromLatin1(plantKindName(plantKindOf(s, context.emulatedKit)))},
        {QStringLiteral("program_version"), context.programVersion},
        {QStringLiteral("experiment"), context.experiment},
        {QStringLiteral("experiment_sha256"), context.experimentSha256},
        {QStringLiteral("rules_sha256"), ruleTableSha256(s)},
        {QStringLiteral("kind"), QString::fromLatin1(runKindName(context.kind))},
        {QStringLiteral("note"), context.note},
    };
    // a bump test has its model instead of step figures
    if (bump && context.bump) {
        const BumpTestResult &b = *context.bump;
        values.insert(values.end(),
                      {{QStringLiteral("bump_u1"), b.u1},
                       {QStringLiteral("bump_u2"), b.u2},
                       {QStringLiteral("model_gain"), orNull(b.model.gain)},
                       {QStringLiteral("model_offset"), orNull(b.model.offset)},
                       {QStringLiteral("model_time_constant_s"), orNull(b.model.timeConstant)},
                       {QStringLiteral("model_dead_time_s"), orNull(b.model.deadTime)},
                       {QStringLiteral("model_rmse"), orNull(b.rmse)}});
    } else if (!bump) {
        const StepFigures figures = record.figures();
        for (const MetricInfo &m : kMetrics) {
            const Figure &f = figures[m.metric];
            values.emplace_back(QString::fromLatin1(m.key), f.available() ? QVariant(f.value) : QVariant());
        }
    }
    QStringList names, marks;
    for (const auto &v : values) {
        names << v.first;
        marks << QStringLiteral("?");
    }
    QSqlQuery run(db);
    run.prepare(QStringLiteral("INSERT INTO runs (%1) VALUES (%2)")
                    .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (const auto &v : values)
        run.addBindValue(v.second.typeId() == QMetaType::QString ? text(v.second.toString()) : v.second);
    if (!run.exec()) {
        fail(reasonOf(run.lastError()));
        rollback();
        return std::nullopt;
    }
    const qlonglong id = run.lastInsertId().toLongLong();
    run.finish();

    if (!storeSamples(db, id, record)) {
        rollback();
        return std::nullopt;
    }
    QSqlQuery commit(db);
    if (!commit.exec(QStringLiteral("COMMIT"))) {
        fail(reasonOf(commit.lastError()));
        rollback();
        return std::nullopt;
    }
    return id;
}

// The samples of a run, straight through SQLite's own statement interface:
// an hour holds 18,000 rows of eleven values, and binding each through
// QVariant would cost most of the time a store may take.
bool RunLibrary::storeSamples(QSqlDatabase &db, std::int64_t id, const RunRecord &record)
{
    const QVariant handle = db.driver()->handle();
    sqlite3 *connection = handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0
        ? *static_cast<sqlite3 *const *>(handle.data())
        : nullptr;
    if (!connection)
        return fail(QStringLiteral("the SQLite driver gives no connection handle"));
    QByteArray sql = "INSERT INTO samples (run";
    QByteArray marks;
    for (const RunColumnInfo &c : kRunColumns) {
        sql += ", ";
        sql += c.name;
        marks += ", ?";
    }
    sql += ") VALUES (?" + marks + ")";
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(connection, sql.constData(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK)
        return fail(QString::fromUtf8(sqlite3_errmsg(connection)));
    bool ok = true;
    for (const RunRow &row : record.rows()) {
        sqlite3_bind_int64(statement, 1, id);
        for (std::size_t c = 0; c < kRunColumnCount; ++c) {
            const int at = static_cast<int>(c) + 2;
            const RunColumn column = kRunColumns[c].column;
            const double v = columnValue(row, column);
            if (column == RunColumn::Cycle)
                sqlite3_bind_int64(statement, at, row.cycle);
            else if (std::isnan(v))
                sqlite3_bind_null(statement, at);
            else
                sqlite3_bind_double(statement, at, v);
        }
        if (sqlite3_step(statement) != SQLITE_DONE) {
            ok = fail(QString::fromUtf8(sqlite3_errmsg(connection)));
            break;
        }
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    return ok;
}

namespace {

// The lines of the runs a query over listColumns() gives.
std::vector<StoredRun> storedRuns(QSqlQuery &q)
{
    std::vector<StoredRun> out;
    const QSqlRecord fields = q.record();
    const auto at = [&](const char *name) { return fields.indexOf(QLatin1String(name)); };
    const int id = at("id"), uuid = at("uuid"), start = at("start_utc"), mode = at("mode"),
              controller = at("controller"), reference = at("reference"), kp = at("kp"), ki = at("ki"), kd = at("kd"),
              errorDivisor = at("error_divisor"), outputDivisor = at("output_divisor"), rows = at("row_count"),
              name = at("name"), note = at("note"), student = at("student"), host = at("host"), plant = at("plant"),
              version = at("program_version"), experiment = at("experiment"), experimentSha = at("experiment_sha256"),
              rulesSha = at("rules_sha256"), kind = at("kind"), u1 = at("bump_u1"), u2 = at("bump_u2"),
              gain = at("model_gain"), offset = at("model_offset"), tau = at("model_time_constant_s"),
              deadTime = at("model_dead_time_s"), rmse = at("model_rmse"), forward = at("forward_state"),
              forwardReason = at("forward_reason"), forwardUtc = at("forward_utc");
    const int riseTime = at("rise_time_s"), overshoot = at("overshoot_pct"), settlingTime = at("settling_time_s"),
              iae = at("iae");
    const auto figure = [&](int column) { return column < 0 ? kNoValue : fromVariant(q.value(column)); };
    while (q.next()) {
        StoredRun r;
        r.id = q.value(id).toLongLong();
        r.uuid = q.value(uuid).toString();
        r.startUtc = q.value(start).toString();
        r.mode = q.value(mode).toString();
        r.controller = q.value(controller).toString();
        r.reference = q.value(reference).toInt();
        r.kp = fromVariant(q.value(kp));
        r.ki = fromVariant(q.value(ki));
        r.kd = fromVariant(q.value(kd));
        r.errorDivisor = q.value(errorDivisor).toInt();
        r.outputDivisor = q.value(outputDivisor).toInt();
        r.riseTime = figure(riseTime);
        r.overshoot = figure(overshoot);
        r.settlingTime = figure(settlingTime);
        r.iae = figure(iae);
        r.rows = q.value(rows).toLongLong();
        r.name = q.value(name).toString();
        r.note = q.value(note).toString();
        r.student = q.value(student).toString();
        r.host = q.value(host).toString();
        r.plant = q.value(plant).toString();
        r.programVersion = q.value(version).toString();
        r.experiment = q.value(experiment).toString();
        r.experimentSha256 = q.value(experimentSha).toString();
        r.rulesSha256 = q.value(rulesSha).toString();
        r.kind = q.value(kind).toString() == QLatin1String(runKindName(RunKind::BumpTest)) ? RunKind::BumpTest
                                                                                           : RunKind::Run;
        if (r.kind == RunKind::BumpTest && !q.value(u1).isNull()) {
            BumpTestResult b;
            b.u1 = q.value(u1).toInt();
            b.u2 = q.value(u2).toInt();
            b.model.gain = fromVariant(q.value(gain));
            b.model.offset = fromVariant(q.value(offset));
            b.model.timeConstant = fromVariant(q.value(tau));
            b.model.deadTime = fromVariant(q.value(deadTime));
            b.rmse = fromVariant(q.value(rmse));
            r.bump = b;
        }
        r.forward = forwardStateNamed(q.value(forward).toString()).value_or(ForwardState::Local);
        r.forwardReason = q.value(forwardReason).toString();
        r.forwardUtc = q.value(forwardUtc).toString();
        out.push_back(std::move(r));
    }
    return out;
}

} // namespace

std::vector<StoredRun> RunLibrary::list()
{
    std::vector<StoredRun> out;
    if (!usable()) {
        lastError_ = openError_;
        return out;
    }
    lastError_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT ") + listColumns() + QStringLiteral(" FROM runs ORDER BY id DESC"))) {
        fail(reasonOf(q.lastError()));
        return out;
    }
    return storedRuns(q);
}

std::optional<StoredRun> RunLibrary::run(std::int64_t id)
{
    if (!usable()) {
        lastError_ = openError_;
        return std::nullopt;
    }
    lastError_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + listColumns() + QStringLiteral(" FROM runs WHERE id = ?"));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec()) {
        fail(reasonOf(q.lastError()));
        return std::nullopt;
    }
    std::vector<StoredRun> found = storedRuns(q);
    if (found.empty()) {
        fail(QStringLiteral("no run %1").arg(id));
        return std::nullopt;
    }
    return std::move(found.front());
}

std::vector<StoredRun> RunLibrary::unsent(int limit, std::int64_t afterId, bool withRefused)
{
    if (!usable()) {
        lastError_ = openError_;
        return {};
    }
    lastError_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT ") + listColumns()
              + QStringLiteral(" FROM runs WHERE forward_state <> ? AND forward_state <> ? AND id > ? ORDER BY id "
                               "LIMIT ?"));
    q.addBindValue(QString::fromLatin1(forwardStateName(ForwardState::Sent)));
    q.addBindValue(withRefused ? QString::fromLatin1(forwardStateName(ForwardState::Sent))
                               : QString::fromLatin1(forwardStateName(ForwardState::Refused)));
    q.addBindValue(static_cast<qlonglong>(afterId));
    q.addBindValue(std::max(limit, 0));
    if (!q.exec()) {
        fail(reasonOf(q.lastError()));
        return {};
    }
    return storedRuns(q);
}

std::optional<std::int64_t> RunLibrary::unsentCount()
{
    if (!usable()) {
        lastError_ = openError_;
        return std::nullopt;
    }
    lastError_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("SELECT count(*) FROM runs WHERE forward_state <> ?"));
    q.addBindValue(QString::fromLatin1(forwardStateName(ForwardState::Sent)));
    if (!q.exec() || !q.next()) {
        fail(reasonOf(q.lastError()));
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

bool RunLibrary::markForwarded(std::int64_t id, ForwardState state, const QString &reason)
{
    if (!usable()) {
        lastError_ = openError_;
        return false;
    }
    lastError_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.prepare(QStringLiteral("UPDATE runs SET forward_state = ?, forward_reason = ?, forward_utc = ? WHERE id = ?"));
    q.addBindValue(QString::fromLatin1(forwardStateName(state)));
    // a run kept back always says why (an empty reason marks a sent run
    // whose name or note changed since)
    q.addBindValue(state == ForwardState::Sent ? QStringLiteral("")
                       : reason.isEmpty()      ? QStringLiteral("no reason given")
                                               : reason);
    q.addBindValue(nowUtc());
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec())
        return fail(reasonOf(q.lastError()));
    if (q.numRowsAffected() != 1)
        return fail(QStringLiteral("no run %1").arg(id));
    return true;
}

std::unique_ptr<RunRecord> RunLibrary::load(std::int64_t id)
{
    if (!usable()) {
        lastError_ = openError_;
        return nullptr;
    }
    lastError_ = {};
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT settings, row_count FROM runs WHERE id = ?"));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec()) {
        fail(reasonOf(q.lastError()));
        return nullptr;
    }
    if (!q.next()) {
        fail(QStringLiteral("no run %1").arg(id));
        return nullptr;
    }
    RunSettings settings;
    if (!RunSettingsJson::read(q.value(0).toString().toUtf8(), settings)) {
        fail(QStringLiteral("run %1: settings that cannot be read").arg(id));
        return nullptr;
    }
    const auto count = static_cast<std::size_t>(std::max<qlonglong>(q.value(1).toLongLong(), 1));
    q.finish();

    auto record = std::make_unique<RunRecord>(count);
    record->start(settings);
    QString columns;
    for (const RunColumnInfo &c : kRunColumns)
        columns += (columns.isEmpty() ? QString() : QStringLiteral(", ")) + QString::fromLatin1(c.name);
    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    rows.prepare(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM samples WHERE run = ? ORDER BY cycle"));
    rows.addBindValue(static_cast<qlonglong>(id));
    if (!rows.exec()) {
        fail(reasonOf(rows.lastError()));
        return nullptr;
    }
    while (rows.next()) {
        RunRow row;
        for (std::size_t c = 0; c < kRunColumnCount; ++c) {
            const QVariant v = rows.value(static_cast<int>(c));
            switch (kRunColumns[c].column) {
            case RunColumn::Cycle: row.cycle = v.toLongLong(); break;
            case RunColumn::Time: break; // follows from the cycle
            case RunColumn::Reference: row.reference = fromVariant(v); break;
            case RunColumn::Output: row.y = fromVariant(v); break;
            case RunColumn::Error: row.e = fromVariant(v); break;
            case RunColumn::Actuator: row.u = fromVariant(v); break;
            case RunColumn::FuzzyStep: row.du = fromVariant(v); break;
            case RunColumn::PPart: row.p = fromVariant(v); break;
            case RunColumn::IPart: row.i = fromVariant(v); break;
            case RunColumn::DPart: row.d = fromVariant(v); break;
            }
        }
        record->append(row);
    }
    record->stop();
    return record;
}

bool RunLibrary::setText(std::int64_t id, const char *column, const QString &value)
{
    if (!usable()) {
        lastError_ = openError_;
        return false;
    }
    lastError_ = {};
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // a change the class server has not seen yet makes the run local again
    q.prepare(QStringLiteral("UPDATE runs SET %1 = ?, forward_state = CASE forward_state WHEN ? THEN ? ELSE "
                             "forward_state END WHERE id = ?")
                  .arg(QLatin1String(column)));
    q.addBindValue(text(value));
    q.addBindValue(QString::fromLatin1(forwardStateName(ForwardState::Sent)));
    q.addBindValue(QString::fromLatin1(forwardStateName(ForwardState::Local)));
    q.addBindValue(static_cast<qlonglong>(id));
    if (!q.exec())
        return fail(reasonOf(q.lastError()));
    if (q.numRowsAffected() != 1)
        return fail(QStringLiteral("no run %1").arg(id));
    return true;
}

bool RunLibrary::rename(std::int64_t id, const QString &name)
{
    return setText(id, "name", name);
}

bool RunLibrary::setNote(std::int64_t id, const QString &note)
{
    return setText(id, "note", note);
}

bool RunLibrary::remove(std::int64_t id)
{
    if (!usable()) {
        lastError_ = openError_;
        return false;
    }
    lastError_ = {};
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction())
        return fail(reasonOf(db.lastError()));
    QSqlQuery q(db);
    const QString statements[] = {QStringLiteral("DELETE FROM samples WHERE run = ?"),
                                  QStringLiteral("DELETE FROM runs WHERE id = ?")};
    for (const QString &s : statements) {
        q.prepare(s);
        q.addBindValue(static_cast<qlonglong>(id));
        if (!q.exec()) {
            fail(reasonOf(q.lastError()));
            db.rollback();
            return false;
        }
    }
    if (q.numRowsAffected() != 1) {
        db.rollback();
        return fail(QStringLiteral("no run %1").arg(id));
    }
    if (!db.commit()) {
        fail(reasonOf(db.lastError()));
        db.rollback();
        return false;
    }
    return true;
}

} // namespace tervalo
