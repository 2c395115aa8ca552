// The run library: runs stored and read back whole, the list, names and
// notes, removal, and databases that cannot take a run.

#include "store/RunLibrary.h"
#include "store/RunLibraryWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <thread>

using namespace tervalo;

namespace {

RunSettings fuzzySettings()
{
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796876534);
    s.mode = RunMode::Kit;
    s.controller = RunController::Fuzzy;
    s.errorDivisor = 3;
    s.outputDivisor = 12;
    s.errorRange = 1000;
    s.deltaRange = 333;
    s.outputRange = 341;
    const char *terms[] = {"NB", "NM", "NS", "ZE", "PS", "PM", "PB"};
    for (std::size_t k = 0; k < 7; ++k)
        s.termNames[k] = terms[k];
    for (std::size_t k = 0; k < 49; ++k)
        s.rules[k] = terms[(k * 3) % 7];
    s.reference = 1200;
    s.actuatorMin = 0;
    s.actuatorMax = 4095;
    s.load = 4;
    s.loadChanges = {{40, 4, 20}, {90, 20, 1}};
    return s;
}

RunSettings classicSettings()
{
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796870000);
    s.mode = RunMode::Simulation;
    s.controller = RunController::PI;
    s.kp = 0.75;
    s.ki = 0.125;
    s.kd = kNoValue;
    s.reference = 1000;
    s.load = 1;
    return s;
}

// A first-order response toward the reference, with values a cycle may lack.
void fill(RunRecord &record, const RunSettings &s, int cycles)
{
    record.start(s);
    double y = 0;
    for (int k = 1; k <= cycles; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = s.reference;
        row.y = y;
        row.e = s.reference - y;
        row.u = std::round(row.e * 2.5);
        if (s.fuzzy()) {
            row.du = k % 5 - 2;
        } else {
            row.p = row.e * 0.75;
            row.i = k * 0.1;
        }
        record.append(row);
        y += (s.reference - y) * 0.2;
    }
    record.stop();
}

bool same(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

class RunLibraryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("runs.sqlite")); }
};

TEST_F(RunLibraryTest, StoresAndReadsBackEveryRowAndSetting)
{
    for (const RunSettings &settings : {fuzzySettings(), classicSettings()}) {
        RunRecord record(500);
        fill(record, settings, 321);
        RunLibrary library(path());
        ASSERT_TRUE(library.usable()) << library.error().message().toStdString();
        const auto id = library.store(record);
        ASSERT_TRUE(id) << library.error().message().toStdString();

        const std::unique_ptr<RunRecord> back = library.load(*id);
        ASSERT_TRUE(back);
        EXPECT_FALSE(back->running());
        ASSERT_EQ(back->size(), record.size());
        for (std::size_t k = 0; k < record.size(); ++k)
            for (const RunColumnInfo &c : kRunColumns)
                ASSERT_TRUE(same(columnValue(back->row(k), c.column), columnValue(record.row(k), c.column)))
                    << "row " << k << " column " << c.name;

        const RunSettings &a = record.settings(), &b = back->settings();
        EXPECT_EQ(a.start, b.start);
        EXPECT_EQ(a.mode, b.mode);
        EXPECT_EQ(a.controller, b.controller);
        EXPECT_TRUE(same(a.kp, b.kp) && same(a.ki, b.ki) && same(a.kd, b.kd));
        EXPECT_EQ(a.fuzzy() ? a.errorDivisor : 0, b.errorDivisor);
        EXPECT_EQ(a.fuzzy() ? a.outputDivisor : 0, b.outputDivisor);
        EXPECT_EQ(a.fuzzy() ? a.deltaRange : 0, b.deltaRange);
        EXPECT_EQ(a.rules, b.rules);
        EXPECT_EQ(a.termNames, b.termNames);
        EXPECT_EQ(a.reference, b.reference);
        EXPECT_EQ(a.load, b.load);
        ASSERT_EQ(a.loadChanges.size(), b.loadChanges.size());
        for (std::size_t k = 0; k < a.loadChanges.size(); ++k) {
            EXPECT_EQ(a.loadChanges[k].cycle, b.loadChanges[k].cycle);
            EXPECT_EQ(a.loadChanges[k].to, b.loadChanges[k].to);
        }
        const StepFigures fa = record.figures(), fb = back->figures();
        for (const MetricInfo &m : kMetrics)
            EXPECT_TRUE(same(fa[m.metric].value, fb[m.metric].value)) << m.key;
    }
}

TEST_F(RunLibraryTest, ListsNamesNotesAndRemoves)
{
    RunLibrary library(path());
    RunRecord fuzzy(200), classic(200);
    fill(fuzzy, fuzzySettings(), 150);
    fill(classic, classicSettings(), 150);
    const auto first = library.store(fuzzy), second = library.store(classic);
    ASSERT_TRUE(first && second);

    EXPECT_TRUE(library.rename(*first, QStringLiteral("Grup 3 – bulanık")));
    EXPECT_TRUE(library.setNote(*second, QStringLiteral("PI, yük 1")));
    EXPECT_FALSE(library.rename(999, QStringLiteral("x")));
    EXPECT_TRUE(library.error().reason.contains(QLatin1String("999")));

    std::vector<StoredRun> runs = library.list();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].id, *second); // newest first
    EXPECT_EQ(runs[0].controller, QLatin1String("PI"));
    EXPECT_EQ(runs[0].settingsText(), QLatin1String("Kp=0.75 Ki=0.125"));
    EXPECT_EQ(runs[0].note, QStringLiteral("PI, yük 1"));
    EXPECT_EQ(runs[0].rows, 150);
    EXPECT_EQ(runs[0].iae, classic.figures()[Metric::Iae].value);
    EXPECT_EQ(runs[1].startUtc, QLatin1String("2026-12-10T04:22:14Z"));
    EXPECT_EQ(runs[1].mode, QLatin1String("kit"));
    EXPECT_EQ(runs[1].settingsText(), QLatin1String("3 / 12"));
    EXPECT_EQ(runs[1].name, QStringLiteral("Grup 3 – bulanık"));
    EXPECT_TRUE(std::isnan(runs[1].kp));

    EXPECT_TRUE(library.remove(*first));
    EXPECT_FALSE(library.remove(*first));
    EXPECT_EQ(library.list().size(), 1u);
    EXPECT_FALSE(library.load(*first));

    QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw-count"));
    raw.setDatabaseName(path());
    ASSERT_TRUE(raw.open());
    {
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("SELECT count(*) FROM samples")) && q.next());
        EXPECT_EQ(q.value(0).toInt(), 150); // the removed run's samples went with it
    }
    raw.close();
    raw = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("raw-count"));
}

// A run the database refuses part way through leaves nothing behind.
TEST_F(RunLibraryTest, ARunIsWrittenWholeOrNotAtAll)
{
    RunLibrary library(path());
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw-trigger"));
        raw.setDatabaseName(path());
        ASSERT_TRUE(raw.open());
        QSqlQuery q(raw);
        ASSERT_TRUE(q.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON samples WHEN NEW.cycle = 250 "
                                          "BEGIN SELECT RAISE(ABORT, 'refused at cycle 250'); END")))
            << q.lastError().text().toStdString();
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw-trigger"));

    RunRecord record(400);
    fill(record, classicSettings(), 300);
    EXPECT_FALSE(library.store(record));
    EXPECT_TRUE(library.error().reason.contains(QLatin1String("refused at cycle 250")))
        << library.error().reason.toStdString();
    EXPECT_EQ(library.error().path, path());
    EXPECT_TRUE(library.list().empty());

    RunRecord shortRun(400);
    fill(shortRun, classicSettings(), 200); // never reaches the refused cycle
    EXPECT_TRUE(library.store(shortRun));
    EXPECT_EQ(library.list().size(), 1u);
}

TEST_F(RunLibraryTest, ACorruptOrUnreadableFileIsRefusedWithItsReason)
{
    struct Case {
        const char *name;
        QByteArray contents;
        QFile::Permissions permissions;
        const char *reason;
    };
    const Case cases[] = {
        {"garbage.sqlite", QByteArray(8192, 'x'), QFile::ReadOwner | QFile::WriteOwner, "not a database"},
        {"locked-out.sqlite", QByteArray(), QFile::Permissions(), ""},
    };
    for (const Case &c : cases) {
        const QString file = dir.filePath(QLatin1String(c.name));
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(c.contents);
        }
        QFile::setPermissions(file, c.permissions);
        if (QFile(file).open(QIODevice::ReadOnly))
            if (c.permissions == QFile::Permissions())
                continue; // root reads every file
        RunLibrary library(file);
        EXPECT_FALSE(library.usable()) << c.name;
        EXPECT_EQ(library.error().path, file);
        EXPECT_FALSE(library.error().reason.isEmpty());
        EXPECT_TRUE(library.error().reason.contains(QLatin1String(c.reason))) << library.error().reason.toStdString();
        RunRecord record(50);
        fill(record, classicSettings(), 20);
        EXPECT_FALSE(library.store(record));
        EXPECT_TRUE(library.list().empty());
    }
}

// Another copy of the program holds the database: the run waits in memory,
// the owner hears one message, and the run is stored once the lock is gone.
TEST_F(RunLibraryTest, ALockedDatabaseKeepsTheRunsForLater)
{
    {
        RunLibrary create(path());
        ASSERT_TRUE(create.usable());
    }
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-copy"));
    other.setDatabaseName(path());
    ASSERT_TRUE(other.open());
    QSqlQuery hold(other);
    ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));

    QObject context;
    QStringList messages;
    std::vector<std::int64_t> stored;
    {
        RunLibraryWriter writer(
            path(), &context,
            {[&](const QString &m) { messages << m; }, [&](std::int64_t id) { stored.push_back(id); }}, 50);
        RunRecord record(200);
        fill(record, classicSettings(), 100);
        writer.submit(record);
        writer.submit(record);
        writer.waitIdle();
        QCoreApplication::processEvents();
        EXPECT_EQ(writer.pending(), 2u);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].startsWith(path()));
        EXPECT_TRUE(messages[0].contains(QLatin1String("locked"))) << messages[0].toStdString();

        writer.retry(); // still locked: no second message
        writer.waitIdle();
        QCoreApplication::processEvents();
        EXPECT_EQ(messages.size(), 1);

        ASSERT_TRUE(hold.exec(QStringLiteral("COMMIT")));
        writer.retry();
        writer.waitIdle();
        QCoreApplication::processEvents();
        EXPECT_EQ(writer.pending(), 0u);
        EXPECT_EQ(stored.size(), 2u);
    }
    hold = QSqlQuery();
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other-copy"));
    RunLibrary library(path());
    EXPECT_EQ(library.list().size(), 2u);
}

TEST_F(RunLibraryTest, RunsWithoutACycleAreNotStored)
{
    QObject context;
    RunLibraryWriter writer(path(), &context, {});
    RunRecord empty(10);
    empty.start(classicSettings());
    writer.submit(empty);
    writer.waitIdle();
    EXPECT_EQ(writer.pending(), 0u);
    EXPECT_TRUE(RunLibrary(path()).list().empty());
}

// Listing needs no write: while another copy holds the write lock the
// library opens, lists and loads at once; only a store has to wait.
TEST_F(RunLibraryTest, ALockedLibraryStillOpensAndLists)
{
    RunRecord record(200);
    fill(record, classicSettings(), 60);
    {
        RunLibrary create(path());
        ASSERT_TRUE(create.store(record));
    }
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writing-copy"));
    other.setDatabaseName(path());
    ASSERT_TRUE(other.open());
    {
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        // the other copy is writing a run of its own
        ASSERT_TRUE(hold.exec(QStringLiteral("UPDATE runs SET note = 'busy'")));

        RunLibrary library(path(), 50);
        ASSERT_TRUE(library.usable()) << library.error().message().toStdString();
        const std::vector<StoredRun> runs = library.list();
        ASSERT_EQ(runs.size(), 1u) << library.error().message().toStdString();
        EXPECT_EQ(runs[0].note, QString()); // not the uncommitted change
        const std::unique_ptr<RunRecord> back = library.load(runs[0].id);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->size(), 60u);
        EXPECT_FALSE(library.store(record));
        EXPECT_TRUE(library.error().reason.contains(QLatin1String("locked"))) << library.error().reason.toStdString();
        ASSERT_TRUE(hold.exec(QStringLiteral("ROLLBACK")));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("writing-copy"));
}

// Another copy of the program holds the write lock of a new file while this
// one opens it: opening waits for it (the switch to WAL included) instead of
// failing, so neither copy's run is lost.
TEST_F(RunLibraryTest, OpeningANewFileWaitsForAnotherCopysLock)
{
    std::promise<void> locked;
    std::thread other([this, &locked] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("creating-copy"));
            db.setDatabaseName(path());
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
            locked.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_TRUE(q.exec(QStringLiteral("COMMIT")));
            q = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("creating-copy"));
    });
    locked.get_future().wait();
    RunLibrary library(path(), 5000);
    other.join();
    ASSERT_TRUE(library.usable()) << library.error().message().toStdString();
    RunRecord record(50);
    fill(record, classicSettings(), 20);
    EXPECT_TRUE(library.store(record)) << library.error().message().toStdString();
}

// A new database gets its tables and version together; one a newer program
// made is refused (and left as it is).
TEST_F(RunLibraryTest, TheLibrarysVersion)
{
    const auto version = [this] {
        int v = -1;
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw-version"));
            raw.setDatabaseName(path());
            if (raw.open()) {
                QSqlQuery q(raw);
                if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
                    v = q.value(0).toInt();
            }
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw-version"));
        return v;
    };
    const auto setVersion = [this](int v) {
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw-set"));
            raw.setDatabaseName(path());
            ASSERT_TRUE(raw.open());
            QSqlQuery q(raw);
            ASSERT_TRUE(q.exec(QStringLiteral("PRAGMA user_version=%1").arg(v)));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw-set"));
    };

    {
        RunLibrary created(path());
        ASSERT_TRUE(created.usable());
        EXPECT_TRUE(created.list().empty());
    }
    EXPECT_EQ(version(), 2);

    // a library whose version was lost is made whole again
    setVersion(0);
    {
        RunLibrary again(path());
        EXPECT_TRUE(again.usable()) << again.error().message().toStdString();
    }
    EXPECT_EQ(version(), 2);

    setVersion(3);
    RunLibrary newer(path());
    EXPECT_FALSE(newer.usable());
    EXPECT_EQ(newer.error().path, path());
    EXPECT_TRUE(newer.error().reason.contains(QLatin1String("newer version"))) << newer.error().reason.toStdString();
    RunRecord record(50);
    fill(record, classicSettings(), 20);
    EXPECT_FALSE(newer.store(record));
    EXPECT_EQ(version(), 3);
}

} // namespace
