#include "store/RunLibrary.h"

#include "engine/FuzzyController.h"
#include "store/RunFiles.h"
#include "store/RunSettingsJson.h"
#include "store/UserFolders.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

#include <sqlite3.h>

namespace tervalo {

namespace {

constexpr int kSchemaVersion = 1;

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

// The runs table's figure columns: the figures' machine names.
QString figureColumns()
{
    QString out;
    for (const MetricInfo &m : kMetrics)
        out += QStringLiteral(", ") + QString::fromLatin1(m.key);
    return out;
}

QString schemaRuns()
{
    QString figures;
    for (const MetricInfo &m : kMetrics)
        figures += QStringLiteral("  %1 REAL,\n").arg(QString::fromLatin1(m.key));
    return QStringLiteral("CREATE TABLE IF NOT EXISTS runs (\n"
                          "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
                          "  start_utc TEXT NOT NULL,\n"
                          "  mode TEXT NOT NULL,\n"
                          "  controller TEXT NOT NULL,\n"
                          "  reference INTEGER NOT NULL,\n"
                          "  kp REAL, ki REAL, kd REAL,\n"
                          "  error_divisor INTEGER, output_divisor INTEGER,\n"
                          "  settings TEXT NOT NULL,\n"
                          "  row_count INTEGER NOT NULL,\n")
        + figures
        + QStringLiteral("  name TEXT NOT NULL DEFAULT '',\n"
                         "  note TEXT NOT NULL DEFAULT ''\n)");
}

QString schemaSamples()
{
    QString columns;
    for (const RunColumnInfo &c : kRunColumns)
        columns += QStringLiteral("  %1 %2,\n")
                       .arg(QString::fromLatin1(c.name),
                            c.column == RunColumn::Cycle ? QStringLiteral("INTEGER NOT NULL") : QStringLiteral("REAL"));
    return QStringLiteral("CREATE TABLE IF NOT EXISTS samples (\n"
                          "  run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,\n")
        + columns + QStringLiteral("  PRIMARY KEY (run, cycle)\n) WITHOUT ROWID");
}

} // namespace

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

RunLibrary::RunLibrary(const QString &path, int busyTimeoutMs) : path_(path), connection_(newConnectionName())
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

bool RunLibrary::prepare(QSqlDatabase &db)
{
    QSqlQuery q(db);
    const auto failed = [&] { return fail(reasonOf(q.lastError())); };
    // WAL: a second copy of the program reads while this one writes (on a
    // library in WAL mode already, nothing is written); the first statement
    // is also where a file that is no database shows.
    for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA foreign_keys=ON"})
        if (!q.exec(QLatin1String(pragma)))
            return failed();
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return failed();
    const int version = q.value(0).toInt();
    q.finish();
    if (version > kSchemaVersion)
        return fail(QStringLiteral("a newer version of the program made this run library (its version %1, this "
                                   "program reads version %2)")
                        .arg(version)
                        .arg(kSchemaVersion));
    if (version == kSchemaVersion)
        return true;
    // version 0: a new database (or tables some earlier copy left without
    // their version); the tables and the version in one transaction, which
    // takes the write lock at once (waiting for another copy's run to end)
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed();
    for (const QString &statement :
         {schemaRuns(), schemaSamples(), QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion),
          QStringLiteral("COMMIT")})
        if (!q.exec(statement)) {
            failed();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
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

std::optional<std::int64_t> RunLibrary::store(const RunRecord &record)
{
    if (!usable()) {
        lastError_ = openError_;
        return std::nullopt;
    }
    lastError_ = {};
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.transaction()) {
        fail(reasonOf(db.lastError()));
        return std::nullopt;
    }
    const auto abandon = [&](const QSqlQuery &q) -> std::optional<std::int64_t> {
        fail(reasonOf(q.lastError()));
        db.rollback();
        return std::nullopt;
    };

    const RunSettings &s = record.settings();
    const StepFigures figures = record.figures();
    QString placeholders;
    for (std::size_t k = 0; k < kMetricCount; ++k)
        placeholders += QStringLiteral(", ?");
    QSqlQuery run(db);
    run.prepare(QStringLiteral("INSERT INTO runs (start_utc, mode, controller, reference, kp, ki, kd, "
                               "error_divisor, output_divisor, settings, row_count")
                + figureColumns() + QStringLiteral(") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?") + placeholders
                + QStringLiteral(")"));
    run.addBindValue(QString::fromStdString(utcText(s.start)));
    run.addBindValue(QString::fromLatin1(runModeName(s.mode)));
    run.addBindValue(QString::fromLatin1(runControllerName(s.controller)));
    run.addBindValue(s.reference);
    const bool fuzzy = s.fuzzy();
    run.addBindValue(fuzzy ? QVariant() : orNull(s.kp));
    run.addBindValue(fuzzy ? QVariant() : orNull(s.ki));
    run.addBindValue(fuzzy ? QVariant() : orNull(s.kd));
    run.addBindValue(fuzzy ? QVariant(s.errorDivisor) : QVariant());
    run.addBindValue(fuzzy ? QVariant(s.outputDivisor) : QVariant());
    const QByteArray json =
        QJsonDocument::fromJson(RunFiles::settingsJson(record, 0, record.size())).toJson(QJsonDocument::Compact);
    run.addBindValue(QString::fromUtf8(json));
    run.addBindValue(static_cast<qlonglong>(record.size()));
    for (const MetricInfo &m : kMetrics) {
        const Figure &f = figures[m.metric];
        run.addBindValue(f.available() ? QVariant(f.value) : QVariant());
    }
    if (!run.exec())
        return abandon(run);
    const qlonglong id = run.lastInsertId().toLongLong();

    if (!storeSamples(db, id, record)) {
        db.rollback();
        return std::nullopt;
    }
    if (!db.commit()) {
        fail(reasonOf(db.lastError()));
        db.rollback();
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
    if (!q.exec(QStringLiteral("SELECT id, start_utc, mode, controller, reference, kp, ki, kd, error_divisor, "
                               "output_divisor, rise_time_s, overshoot_pct, settling_time_s, iae, row_count, "
                               "name, note FROM runs ORDER BY id DESC"))) {
        fail(reasonOf(q.lastError()));
        return out;
    }
    while (q.next()) {
        StoredRun r;
        r.id = q.value(0).toLongLong();
        r.startUtc = q.value(1).toString();
        r.mode = q.value(2).toString();
        r.controller = q.value(3).toString();
        r.reference = q.value(4).toInt();
        r.kp = fromVariant(q.value(5));
        r.ki = fromVariant(q.value(6));
        r.kd = fromVariant(q.value(7));
        r.errorDivisor = q.value(8).toInt();
        r.outputDivisor = q.value(9).toInt();
        r.riseTime = fromVariant(q.value(10));
        r.overshoot = fromVariant(q.value(11));
        r.settlingTime = fromVariant(q.value(12));
        r.iae = fromVariant(q.value(13));
        r.rows = q.value(14).toLongLong();
        r.name = q.value(15).toString();
        r.note = q.value(16).toString();
        out.push_back(std::move(r));
    }
    return out;
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
    q.prepare(QStringLiteral("UPDATE runs SET %1 = ? WHERE id = ?").arg(QLatin1String(column)));
    q.addBindValue(value);
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
