// Class library timings against a real PostgreSQL server of the benchmark's
// own (pg_virtualenv on a free port, as the class tests start theirs):
// forwarding 100 hour-long runs (18,000 rows each) from a lab PC's library,
// and the class report (tervalo-class report) over 10,000 runs of 40
// students, as the instructor and as one student (row-level security).
// Without a server that can be started, the benchmarks are skipped with a
// message.

#include "bench/BenchSupport.h"
#include "engine/StepFigures.h"
#include "plant/EventPump.h"
#include "plant/MemoryPort.h"
#include "plant/PulseCounter.h"
#include "store/ClassForwarder.h"
#include "store/ClassServer.h"
#include "store/RunLibrary.h"
#include "tests/support/PgVirtualenv.h"
#include "ui/windows/ClassWindow.h"

#include <QApplication>
#include <QSortFilterProxyModel>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace tervalo;

constexpr int kForwardedRuns = 100;
constexpr int kReportRuns = 10000;
constexpr int kStudents = 40;

QString env(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

ClassServerAddress addressOf(const QString &database, const QString &user = QString())
{
    return *ClassServerAddress::parse(QStringLiteral("postgresql://%1@localhost:%2/%3")
                                          .arg(user.isEmpty() ? env("PGUSER") : user, env("PGPORT"), database));
}

// Statements as the superuser; the first failure's reason, or "".
QString admin(const QString &database, const QStringList &statements)
{
    const QString name = QStringLiteral("bench-admin");
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("localhost"));
        db.setPort(env("PGPORT").toInt());
        db.setDatabaseName(database);
        db.setUserName(env("PGUSER"));
        db.setPassword(env("PGPASSWORD"));
        if (!db.open())
            why = db.lastError().text();
        QSqlQuery q(db);
        for (const QString &s : statements)
            if (why.isEmpty() && !q.exec(s))
                why = s.left(60) + QStringLiteral(": ") + q.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return why;
}

// A class library made afresh in database; "" or why not.
QString freshLibrary(const QString &database)
{
    if (QString why = admin(QStringLiteral("postgres"),
                            {QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database)});
        !why.isEmpty())
        return why;
    ClassServer server(addressOf(database));
    std::vector<QString> done;
    return server.init(done) ? QString() : server.error().message();
}

void BM_ForwardHundredHourRuns(benchmark::State &state)
{
    const QString database = QStringLiteral("bench_forward");
    if (const QString why = freshLibrary(database); !why.isEmpty()) {
        state.SkipWithError(why.toStdString().c_str());
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    std::vector<std::int64_t> ids;
    {
        RunLibrary library(path);
        RunRecord record(bench::kHour);
        bench::fillSampleRun(record, bench::kHour);
        record.stop();
        for (int k = 0; k < kForwardedRuns; ++k)
            ids.push_back(library.store(record).value_or(0));
    }
    for (auto _ : state) {
        state.PauseTiming();
        {
            // none of them on the server yet
            RunLibrary library(path);
            for (std::int64_t id : ids)
                library.markForwarded(id, ForwardState::Local, QStringLiteral("not sent yet"));
        }
        admin(database, {QStringLiteral("TRUNCATE tervalo.runs CASCADE")});
        state.ResumeTiming();
        ClassForwarder forwarder(path, addressOf(database));
        const ForwardOutcome o = forwarder.waitIdle();
        if (!o.complete() || o.sent != kForwardedRuns) {
            state.SkipWithError(
                (o.reasons.empty() ? std::string("not every run sent") : o.reasons.front().toStdString()).c_str());
            break;
        }
    }
    state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(kForwardedRuns) * bench::kHour,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}

// 10,000 runs of 40 students, 250 each, without their rows (the report reads none).
QString fillReport(const QString &database, QString &studentLogin, QString &studentPassword)
{
    if (QString why = freshLibrary(database); !why.isEmpty())
        return why;
    ClassServer server(addressOf(database));
    std::vector<std::pair<QString, QString>> names;
    for (int s = 0; s < kStudents; ++s)
        names.emplace_back(QStringLiteral("Student %1").arg(s), QStringLiteral("bench_student_%1").arg(s));
    std::vector<QString> skipped;
    const auto made = server.addStudents(names, skipped);
    if (!made)
        return server.error().message();
    studentLogin = made->front().login;
    studentPassword = made->front().password;
    QString figures, values;
    for (const MetricInfo &m : kMetrics) {
        figures += QStringLiteral(", ") + QLatin1String(m.key);
        values += QStringLiteral(", random() * 10");
    }
    const QString student = QStringLiteral("(k % ") + QString::number(kStudents) + QLatin1Char(')');
    return admin(database,
                 {QStringLiteral("INSERT INTO tervalo.runs (uuid, owner, student, host, plant_kind, program_version, "
                                 "experiment, start_utc, mode, controller, reference, kp, ki, kd, settings, row_count, "
                                 "name, note")
                      + figures + QStringLiteral(") SELECT gen_random_uuid(), 'bench_student_' || ") + student
                      + QStringLiteral(", 'Student ' || ") + student
                      + QStringLiteral(", 'lab-pc-' || (k % 17), 'kit', '1.0', 'lab' || (k % 5) || '.json', "
                                       "now() - k * interval '1 minute', 'kit', 'PID', 1000, 0.5, 0.1, 0.05, '{}', "
                                       "900, '', ''")
                      + values + QStringLiteral(" FROM generate_series(1, %1) AS k").arg(kReportRuns),
                  QStringLiteral("ANALYZE tervalo.runs")});
}

// The report's library, filled once for every benchmark that reads it;
// what went wrong ("" when nothing).
struct ReportLibrary {
    QString database = QStringLiteral("bench_report");
    QString login, password, failure;
};
const ReportLibrary &reportLibrary()
{
    static const ReportLibrary library = [] {
        ReportLibrary l;
        l.failure = fillReport(l.database, l.login, l.password);
        return l;
    }();
    return library;
}

void report(benchmark::State &state, bool asStudent)
{
    const ReportLibrary &library = reportLibrary();
    const QString &database = library.database, &login = library.login, &password = library.password;
    const QString &failure = library.failure;
    if (!failure.isEmpty()) {
        state.SkipWithError(failure.toStdString().c_str());
        return;
    }
    ClassServer server(asStudent ? addressOf(database, login) : addressOf(database), asStudent ? password : QString());
    if (!server.open()) {
        state.SkipWithError(server.error().message().toStdString().c_str());
        return;
    }
    std::size_t lines = 0;
    for (auto _ : state) {
        // what tervalo-class report does: the query and the CSV
        const auto runs = server.runs();
        if (!runs) {
            state.SkipWithError(server.error().message().toStdString().c_str());
            break;
        }
        QByteArray csv = classReportHeader();
        for (const ClassRunLine &l : *runs)
            csv += classReportRow(l);
        benchmark::DoNotOptimize(csv.data());
        lines = runs->size();
    }
    state.counters["runs"] = static_cast<double>(lines);
}

void BM_ClassReport(benchmark::State &state)
{
    report(state, false);
}

void BM_ClassReportAsStudent(benchmark::State &state)
{
    report(state, true);
}

// The instructor's Class window opening on the 10,000 runs: the connection,
// the query, the table, the spread and the students' tab, shown and laid out.
void BM_ClassWindowOpens(benchmark::State &state)
{
    const ReportLibrary &library = reportLibrary();
    if (!library.failure.isEmpty()) {
        state.SkipWithError(library.failure.toStdString().c_str());
        return;
    }
    const QString &database = library.database;
    int rows = 0;
    for (auto _ : state) {
        QString why;
        std::unique_ptr<ClassWindow> w = ClassWindow::openOn(addressOf(database), nullptr, &why);
        if (!w) {
            state.SkipWithError(why.toStdString().c_str());
            break;
        }
        w->show();
        QCoreApplication::processEvents();
        rows = w->proxy()->rowCount();
        state.PauseTiming();
        w.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["runs"] = rows;
}

// The window's counting loop (a port whose read costs 1 us, the event loop
// pumped every 300 us, a 200 ms tick) for 5 s, with the forwarder sending
// 100 hour-long runs on its own thread (argument 1) or idle (0): the reads
// per second and the ticks' lateness must not change.
class TickPump : public EventPump {
public:
    explicit TickPump(std::chrono::steady_clock::duration length) : end_(std::chrono::steady_clock::now() + length) { }
    void processEvents() override
    {
        QCoreApplication::processEvents();
        const auto now = std::chrono::steady_clock::now();
        if (now >= next_) {
            late.push_back(std::chrono::duration<double, std::milli>(now - next_).count());
            next_ += std::chrono::milliseconds(200);
        }
        stop = now >= end_;
    }
    void waitForEvents() override { processEvents(); }
    std::vector<double> late;
    bool stop = false;

private:
    std::chrono::steady_clock::time_point next_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    std::chrono::steady_clock::time_point end_;
};

void BM_CountingLoopWhileForwarding(benchmark::State &state)
{
    const bool forwarding = state.range(0) != 0;
    const QString database = QStringLiteral("bench_counting");
    if (const QString why = freshLibrary(database); !why.isEmpty()) {
        state.SkipWithError(why.toStdString().c_str());
        return;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("runs.sqlite"));
    if (forwarding) {
        RunLibrary library(path);
        RunRecord record(bench::kHour);
        bench::fillSampleRun(record, bench::kHour);
        record.stop();
        for (int k = 0; k < kForwardedRuns; ++k)
            library.store(record);
    }
    MemoryPort port;
    std::vector<std::uint8_t> wave;
    for (int i = 0; i < 16; ++i)
        wave.push_back(i < 8 ? 0x40 : 0x00);
    port.setStatusScript(wave, true);
    port.setReadCost(std::chrono::microseconds(1));
    double reads = 0, seconds = 0;
    std::vector<double> late;
    for (auto _ : state) {
        std::unique_ptr<ClassForwarder> forwarder;
        if (forwarding)
            forwarder = std::make_unique<ClassForwarder>(path, addressOf(database));
        TickPump pump(std::chrono::seconds(5));
        Integer count;
        bool present = true;
        PulseCounterIo io;
        io.port = &port;
        io.driverPresent = &present;
        io.pulseCount = &count;
        io.stopRequested = &pump.stop;
        io.pump = &pump;
        const std::uint64_t before = port.reads();
        const auto start = std::chrono::steady_clock::now();
        PulseCounter::run(io);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        reads += static_cast<double>(port.reads() - before);
        late.insert(late.end(), pump.late.begin(), pump.late.end());
        state.PauseTiming();
        forwarder.reset();
        state.ResumeTiming();
    }
    std::sort(late.begin(), late.end());
    const auto at = [&](double p) {
        return late.empty() ? 0.0 : late[static_cast<std::size_t>(p * (late.size() - 1))];
    };
    state.counters["reads_per_s"] = reads / seconds;
    state.counters["late_median_ms"] = at(0.5);
    state.counters["late_p99_ms"] = at(0.99);
}

} // namespace

BENCHMARK(BM_CountingLoopWhileForwarding)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ForwardHundredHourRuns)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();
BENCHMARK(BM_ClassReport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClassReportAsStudent)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ClassWindowOpens)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    // the server first: the program runs again inside pg_virtualenv
    if (!tervalo::test::insidePgVirtualenv(argc, argv)) {
        std::fprintf(stderr,
                     "bench_class: skipped: no PostgreSQL server can be started here (pg_virtualenv, from the "
                     "Debian package postgresql-common, with postgresql)\n");
        return 0;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv); // the Class window's benchmark shows it
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
