// The run library's tables: what a run carries besides its record, the
// class server's forwarding state, the upgrade of a version-1 library, and
// databases that are no library of this program (refused, left as they are).

#include "store/RunFiles.h"
#include "store/RunLibrary.h"
#include "tervalo_version.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace tervalo;

namespace {

const char *const kEnglishTerms[] = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
const char *const kTurkishTerms[] = {"NB", "NO", "NK", "SI", "PK", "PO", "PB"};

RunSettings settingsOf(RunMode mode, RunController controller, const char *const *terms = kEnglishTerms,
                       int ruleShift = 3)
{
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796876534);
    s.mode = mode;
    s.controller = controller;
    s.kp = 0.5;
    s.ki = 0.25;
    s.kd = kNoValue;
    s.errorDivisor = 3;
    s.outputDivisor = 12;
    s.errorRange = 1000;
    s.deltaRange = 333;
    s.outputRange = 341;
    for (std::size_t k = 0; k < 7; ++k)
        s.termNames[k] = terms[k];
    for (std::size_t k = 0; k < 49; ++k)
        s.rules[k] = terms[(k * static_cast<std::size_t>(ruleShift)) % 7];
    s.reference = 1000;
    return s;
}

RunRecord recordOf(const RunSettings &s, int cycles = 40)
{
    RunRecord record(100);
    record.start(s);
    double y = 0;
    for (int k = 1; k <= cycles; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = s.reference;
        row.y = y;
        row.e = s.reference - y;
        row.u = 2000;
        record.append(row);
        y += (s.reference - y) * 0.3;
    }
    record.stop();
    return record;
}

// A connection of the test's own beside the library's.
class Raw {
public:
    explicit Raw(const QString &path) : name_(QStringLiteral("raw-%1").arg(++count_))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open());
    }
    ~Raw()
    {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        const bool ok = q.exec(sql);
        EXPECT_TRUE(ok) << sql.toStdString() << ": " << q.lastError().text().toStdString();
        return ok;
    }
    QVariant value(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(name_, false));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant();
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    static inline int count_ = 0;
    QString name_;
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class RunLibrarySchemaTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("runs.sqlite")); }
};

TEST_F(RunLibrarySchemaTest, EveryRunCarriesWhereAndByWhomItRan)
{
    RunContext kit;
    kit.student = QStringLiteral("Ayşe Yılmaz");
    kit.emulatedKit = true;
    kit.setExperiment(QStringLiteral("/home/ayse/lab3.json"), QByteArrayLiteral("abc"));
    const RunSettings fuzzy = settingsOf(RunMode::Kit, RunController::Fuzzy);

    RunLibrary library(path());
    const auto first = library.store(recordOf(fuzzy), kit);
    const auto second = library.store(recordOf(settingsOf(RunMode::Simulation, RunController::PI)));
    const auto third = library.store(recordOf(settingsOf(RunMode::OpenLoop, RunController::PI)));
    ASSERT_TRUE(first && second && third) << library.error().message().toStdString();

    const std::optional<StoredRun> a = library.run(*first), b = library.run(*second), c = library.run(*third);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->student, QStringLiteral("Ayşe Yılmaz"));
    EXPECT_EQ(a->host, QSysInfo::machineHostName());
    EXPECT_EQ(a->programVersion, QStringLiteral(TERVALO_VERSION));
    EXPECT_EQ(a->plant, QLatin1String("emulated_kit"));
    EXPECT_EQ(a->experiment, QLatin1String("lab3.json"));
    EXPECT_EQ(a->experimentSha256, QLatin1String("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_EQ(a->rulesSha256.size(), 64);
    EXPECT_EQ(a->kind, RunKind::Run);
    EXPECT_EQ(b->plant, QLatin1String("simulation"));
    EXPECT_EQ(c->plant, QLatin1String("kit")); // the open loop drives the kit
    EXPECT_TRUE(b->student.isEmpty() && b->experiment.isEmpty() && b->experimentSha256.isEmpty());
    EXPECT_TRUE(b->rulesSha256.isEmpty()); // a classic run has no rule table

    std::set<QString> uuids;
    for (const StoredRun &r : library.list()) {
        EXPECT_FALSE(QUuid::fromString(r.uuid).isNull()) << r.uuid.toStdString();
        uuids.insert(r.uuid);
    }
    EXPECT_EQ(uuids.size(), 3u);
    EXPECT_FALSE(library.run(999));
    EXPECT_TRUE(library.error().reason.contains(QLatin1String("999")));
}

// The rule table's hash names the table, not the language it is written in.
TEST_F(RunLibrarySchemaTest, TheRuleTablesHash)
{
    const QString english = ruleTableSha256(settingsOf(RunMode::Kit, RunController::Fuzzy, kEnglishTerms));
    EXPECT_EQ(english, ruleTableSha256(settingsOf(RunMode::Kit, RunController::Fuzzy, kTurkishTerms)));
    EXPECT_NE(english, ruleTableSha256(settingsOf(RunMode::Kit, RunController::Fuzzy, kEnglishTerms, 2)));
    RunSettings blank = settingsOf(RunMode::Kit, RunController::Fuzzy);
    blank.rules[5].clear();
    EXPECT_NE(english, ruleTableSha256(blank));
    EXPECT_TRUE(ruleTableSha256(settingsOf(RunMode::Kit, RunController::PID)).isEmpty());
}

TEST_F(RunLibrarySchemaTest, TheForwardingStateOfEachRun)
{
    RunLibrary library(path());
    std::vector<std::int64_t> ids;
    for (int k = 0; k < 3; ++k)
        ids.push_back(*library.store(recordOf(settingsOf(RunMode::Simulation, RunController::P))));
    const auto unsentIds = [&library] {
        std::vector<std::int64_t> out;
        for (const StoredRun &r : library.unsent())
            out.push_back(r.id);
        return out;
    };
    EXPECT_EQ(unsentIds(), ids); // oldest first
    EXPECT_EQ(library.run(ids[0])->forward, ForwardState::Local);
    EXPECT_TRUE(library.run(ids[0])->forwardUtc.isEmpty());

    ASSERT_TRUE(library.markForwarded(ids[0], ForwardState::Sent));
    ASSERT_TRUE(library.markForwarded(ids[1], ForwardState::Refused, QStringLiteral("permission denied for runs")));
    EXPECT_EQ(unsentIds(), (std::vector<std::int64_t>{ids[1], ids[2]}));
    EXPECT_EQ(library.unsent(1).size(), 1u);
    const StoredRun refused = *library.run(ids[1]);
    EXPECT_EQ(refused.forward, ForwardState::Refused);
    EXPECT_EQ(refused.forwardReason, QStringLiteral("permission denied for runs"));
    EXPECT_EQ(refused.forwardUtc.size(), 20) << refused.forwardUtc.toStdString();

    // a rename of a sent run is news to the server: it is local again
    ASSERT_TRUE(library.rename(ids[0], QStringLiteral("Grup 2")));
    EXPECT_EQ(library.run(ids[0])->forward, ForwardState::Local);
    ASSERT_TRUE(library.markForwarded(ids[1], ForwardState::Sent));
    EXPECT_TRUE(library.run(ids[1])->forwardReason.isEmpty());
    EXPECT_FALSE(library.markForwarded(999, ForwardState::Sent));
}

// The tables of version 1 as that version made them.
void makeVersion1(const QString &path, const std::vector<RunRecord> &runs)
{
    Raw raw(path);
    QString figures;
    for (const MetricInfo &m : kMetrics)
        figures += QStringLiteral("  %1 REAL,\n").arg(QLatin1String(m.key));
    raw.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    raw.exec(QStringLiteral("CREATE TABLE runs (\n  id INTEGER PRIMARY KEY AUTOINCREMENT,\n  start_utc TEXT NOT NULL,\n"
                            "  mode TEXT NOT NULL,\n  controller TEXT NOT NULL,\n  reference INTEGER NOT NULL,\n"
                            "  kp REAL, ki REAL, kd REAL,\n  error_divisor INTEGER, output_divisor INTEGER,\n"
                            "  settings TEXT NOT NULL,\n  row_count INTEGER NOT NULL,\n")
             + figures + QStringLiteral("  name TEXT NOT NULL DEFAULT '',\n  note TEXT NOT NULL DEFAULT ''\n)"));
    raw.exec(QStringLiteral("CREATE TABLE samples (\n  run INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,\n"
                            "  cycle INTEGER NOT NULL, time_s REAL, reference REAL, output REAL, error REAL,\n"
                            "  actuator REAL, fuzzy_step REAL, p_part REAL, i_part REAL, d_part REAL,\n"
                            "  PRIMARY KEY (run, cycle)\n) WITHOUT ROWID"));
    for (const RunRecord &r : runs) {
        QSqlQuery q(raw.db());
        q.prepare(QStringLiteral("INSERT INTO runs (start_utc, mode, controller, reference, settings, row_count, "
                                 "name) VALUES (?, ?, ?, ?, ?, ?, 'old run')"));
        q.addBindValue(QString::fromStdString(utcText(r.settings().start)));
        q.addBindValue(QLatin1String(runModeName(r.settings().mode)));
        q.addBindValue(QLatin1String(runControllerName(r.settings().controller)));
        q.addBindValue(r.settings().reference);
        q.addBindValue(QString::fromUtf8(RunFiles::settingsJson(r, 0, r.size())));
        q.addBindValue(static_cast<qlonglong>(r.size()));
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        const qlonglong id = q.lastInsertId().toLongLong();
        for (const RunRow &row : r.rows())
            raw.exec(QStringLiteral("INSERT INTO samples (run, cycle, time_s, reference, output, error, actuator) "
                                    "VALUES (%1, %2, %3, %4, %5, %6, %7)")
                         .arg(id)
                         .arg(row.cycle)
                         .arg(row.time_s())
                         .arg(row.reference)
                         .arg(row.y, 0, 'g', 17)
                         .arg(row.e, 0, 'g', 17)
                         .arg(row.u));
    }
    raw.exec(QStringLiteral("PRAGMA user_version=1"));
}

TEST_F(RunLibrarySchemaTest, AVersion1LibraryIsUpgradedInPlace)
{
    const RunSettings fuzzy = settingsOf(RunMode::Kit, RunController::Fuzzy);
    makeVersion1(path(), {recordOf(fuzzy, 30), recordOf(settingsOf(RunMode::Simulation, RunController::PI), 20)});

    // an upgrade that cannot finish leaves the library as it was
    {
        Raw raw(path());
        raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON runs BEGIN SELECT RAISE(ABORT, 'no "
                                "update'); END"));
    }
    {
        RunLibrary refused(path());
        EXPECT_FALSE(refused.usable());
        EXPECT_TRUE(refused.error().reason.contains(QLatin1String("no update")))
            << refused.error().reason.toStdString();
    }
    {
        Raw raw(path());
        EXPECT_EQ(raw.value(QStringLiteral("PRAGMA user_version")).toInt(), 1);
        EXPECT_EQ(
            raw.value(QStringLiteral("SELECT count(*) FROM pragma_table_info('runs') WHERE name = 'uuid'")).toInt(), 0);
        raw.exec(QStringLiteral("DROP TRIGGER refuse"));
    }

    std::vector<StoredRun> runs;
    {
        RunLibrary library(path());
        ASSERT_TRUE(library.usable()) << library.error().message().toStdString();
        runs = library.list();
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_NE(runs[0].uuid, runs[1].uuid);
        for (const StoredRun &r : runs) {
            EXPECT_FALSE(QUuid::fromString(r.uuid).isNull()) << r.uuid.toStdString();
            EXPECT_EQ(r.name, QLatin1String("old run"));
            EXPECT_EQ(r.forward, ForwardState::Local);
            EXPECT_EQ(r.kind, RunKind::Run);
            EXPECT_TRUE(r.host.isEmpty()); // not known for a run stored before
        }
        EXPECT_EQ(runs[0].plant, QLatin1String("simulation"));
        EXPECT_TRUE(runs[1].plant.isEmpty()); // kit or emulated kit: not known
        EXPECT_EQ(runs[1].rulesSha256, ruleTableSha256(fuzzy));
        const std::unique_ptr<RunRecord> back = library.load(runs[1].id);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->size(), 30u);
        const auto added = library.store(recordOf(fuzzy));
        ASSERT_TRUE(added) << library.error().message().toStdString();
        EXPECT_GT(*added, runs[0].id);
    }
    Raw raw(path());
    // version 1 of the program refuses a library of a later version
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA user_version")).toInt(), 2);
    EXPECT_EQ(raw.value(QStringLiteral("PRAGMA journal_mode")).toString(), QLatin1String("wal"));
    RunLibrary again(path());
    const std::vector<StoredRun> later = again.list();
    ASSERT_EQ(later.size(), 3u);
    EXPECT_EQ(later[1].uuid, runs[0].uuid); // UUIDs stay as they were given
    EXPECT_EQ(later[2].uuid, runs[1].uuid);
}

// A database of another program, or of a newer Tervalo, is refused before
// anything is written to it: the file stays byte for byte as it was, and
// its journal mode too.
TEST_F(RunLibrarySchemaTest, WhatIsNoLibraryOfThisProgramIsLeftAsItIs)
{
    struct Case {
        const char *name;
        std::vector<const char *> statements;
        const char *reason;
    };
    const char *newerLibrary = "CREATE TABLE runs (id INTEGER PRIMARY KEY, uuid TEXT)";
    const Case cases[] = {
        {"a foreign runs table",
         {"CREATE TABLE runs (id INTEGER PRIMARY KEY, title TEXT, price REAL)", "INSERT INTO runs VALUES (1, 'x', 2)"},
         "not a run library"},
        {"another program's tables", {"CREATE TABLE contacts (name TEXT, phone TEXT)"}, "not a run library"},
        {"a view and nothing else", {"CREATE VIEW answer AS SELECT 42"}, "not a run library"},
        {"runs and samples of another kind",
         {"CREATE TABLE runs (id INTEGER PRIMARY KEY)", "CREATE TABLE samples (run INTEGER, value REAL)"},
         "not a run library"},
        {"another program's tables, stamped 1",
         {"CREATE TABLE contacts (name TEXT)", "PRAGMA user_version=1"},
         "not a run library"},
        {"a newer library", {newerLibrary, "PRAGMA user_version=3"}, "newer version"},
        {"a much newer one of another program", {"CREATE TABLE t (x)", "PRAGMA user_version=70"}, "newer version"},
    };
    int n = 0;
    for (const Case &c : cases) {
        const QString file = dir.filePath(QStringLiteral("case%1.sqlite").arg(++n));
        {
            Raw raw(file);
            for (const char *statement : c.statements)
                raw.exec(QLatin1String(statement));
        }
        const QByteArray before = bytesOf(file);
        ASSERT_FALSE(before.isEmpty()) << c.name;
        {
            RunLibrary library(file);
            EXPECT_FALSE(library.usable()) << c.name;
            EXPECT_EQ(library.error().path, file) << c.name;
            EXPECT_TRUE(library.error().reason.contains(QLatin1String(c.reason)))
                << c.name << ": " << library.error().reason.toStdString();
            EXPECT_FALSE(library.store(recordOf(settingsOf(RunMode::Simulation, RunController::P)))) << c.name;
            EXPECT_TRUE(library.list().empty()) << c.name;
        }
        EXPECT_EQ(bytesOf(file), before) << c.name;
        EXPECT_FALSE(QFile::exists(file + QStringLiteral("-wal"))) << c.name;
        Raw raw(file);
        EXPECT_EQ(raw.value(QStringLiteral("PRAGMA journal_mode")).toString(), QLatin1String("delete")) << c.name;
    }

    // the user's own table or view in a library is left to the user
    {
        RunLibrary library(path());
        ASSERT_TRUE(library.store(recordOf(settingsOf(RunMode::Simulation, RunController::P))));
    }
    {
        Raw raw(path());
        raw.exec(QStringLiteral("CREATE TABLE grades (run INTEGER, grade TEXT)"));
        raw.exec(QStringLiteral("CREATE VIEW fast AS SELECT id FROM runs WHERE rise_time_s < 2"));
    }
    RunLibrary library(path());
    EXPECT_TRUE(library.usable()) << library.error().message().toStdString();
    EXPECT_EQ(library.list().size(), 1u);
}

} // namespace
