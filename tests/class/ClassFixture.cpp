#include "ClassFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <cmath>
#include <csignal>

namespace classtest {

using namespace tervalo;

RunRecord makeRun(int cycles, bool fuzzy, int startSecond)
{
    RunSettings s;
    s.start = std::chrono::system_clock::time_point{} + std::chrono::seconds(1796870000 + startSecond);
    s.mode = RunMode::Simulation;
    s.reference = 1000;
    s.load = 1;
    if (fuzzy) {
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
    } else {
        s.controller = RunController::PI;
        s.kp = 0.75;
        s.ki = 0.125;
        s.kd = kNoValue;
    }
    RunRecord record(static_cast<std::size_t>(cycles));
    record.start(s);
    double y = 0;
    for (int k = 1; k <= cycles; ++k) {
        RunRow row;
        row.cycle = k;
        row.reference = s.reference;
        row.y = y;
        row.e = s.reference - y;
        row.u = std::round(row.e * 2.5);
        if (fuzzy) {
            row.du = k % 5 - 2;
        } else {
            row.p = row.e * 0.75;
            row.i = k * 0.1 + 1.0 / 3;
        }
        record.append(row);
        y += (s.reference * 1.05 - y) * 0.2;
    }
    record.stop();
    return record;
}

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

namespace {

QString env(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

} // namespace

QString uri(const QString &database, const QString &user, const QString &extra)
{
    return QStringLiteral("postgresql://%1@localhost:%2/%3%4")
        .arg(user.isEmpty() ? env("PGUSER") : user, env("PGPORT"), database, extra);
}

ClassServerAddress address(const QString &database, const QString &user, const QString &extra)
{
    QString why;
    const std::optional<ClassServerAddress> a = ClassServerAddress::parse(uri(database, user, extra), &why);
    EXPECT_TRUE(a) << why.toStdString();
    return a.value_or(ClassServerAddress());
}

Answer query(const QString &database, const QString &user, const QString &password, const QString &sql)
{
    Answer a;
    const QString name = QStringLiteral("query-%1").arg(reinterpret_cast<quintptr>(QThread::currentThread()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(QStringLiteral("localhost"));
        db.setPort(env("PGPORT").toInt());
        db.setDatabaseName(database);
        db.setUserName(user);
        db.setPassword(password);
        if (!db.open()) {
            a.error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            if (!q.exec(sql))
                a.error = q.lastError().databaseText();
            a.affected = q.numRowsAffected();
            while (q.isSelect() && q.next())
                a.rows << q.value(0).toString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return a;
}

QStringList admin(const QString &database, const QString &sql, QString *error)
{
    Answer a = query(database, env("PGUSER"), env("PGPASSWORD"), sql);
    if (error)
        *error = a.error;
    else if (!a.error.isEmpty())
        ADD_FAILURE() << sql.toStdString() << ": " << a.error.toStdString();
    return a.rows;
}

namespace {

QString dataDirectory()
{
    static const QString dir = admin(QStringLiteral("postgres"), QStringLiteral("SHOW data_directory")).value(0);
    return dir;
}

} // namespace

bool crashServer()
{
    const QString dir = dataDirectory();
    QFile pidFile(dir + QStringLiteral("/postmaster.pid"));
    if (!pidFile.open(QIODevice::ReadOnly))
        return false;
    const pid_t postmaster = QString::fromLatin1(pidFile.readLine()).trimmed().toInt();
    if (postmaster <= 0)
        return false;
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(postmaster));
    QList<pid_t> pids{postmaster};
    if (children.open(QIODevice::ReadOnly))
        for (const QByteArray &p : children.readAll().split(' '))
            if (p.trimmed().toInt() > 0)
                pids << p.trimmed().toInt();
    for (pid_t p : pids)
        kill(p, SIGKILL);
    // gone when the processes are
    for (int k = 0; k < 200; ++k) {
        bool alive = false;
        for (pid_t p : pids)
            alive = alive || kill(p, 0) == 0;
        if (!alive)
            return true;
        QThread::msleep(20);
    }
    return false;
}

bool startServer()
{
    const QString version = env("PGVERSION");
    for (int attempt = 0; attempt < 50; ++attempt) {
        QProcess p;
        p.start(QStringLiteral("pg_ctlcluster"), {version, QStringLiteral("regress"), QStringLiteral("start")});
        p.waitForFinished(30000);
        QString error;
        admin(QStringLiteral("postgres"), QStringLiteral("SELECT 1"), &error);
        if (error.isEmpty())
            return true;
        QThread::msleep(100);
    }
    return false;
}

bool stopServer()
{
    QProcess p;
    p.start(QStringLiteral("pg_ctlcluster"),
            {env("PGVERSION"), QStringLiteral("regress"), QStringLiteral("stop"), QStringLiteral("-m"),
             QStringLiteral("fast")});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    return true;
}

Program run(const QString &program, const QStringList &args, const QProcessEnvironment &extra)
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &k : extra.keys())
        e.insert(k, extra.value(k));
    p.setProcessEnvironment(e);
    p.start(program, args);
    p.waitForFinished(60000);
    Program r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

QString tervaloClass()
{
    return QStringLiteral(TERVALO_CLASS);
}

QString tervaloSim()
{
    return QStringLiteral(TERVALO_SIM);
}

void ClassTest::SetUp()
{
    const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
    database =
        QStringLiteral("t_%1_%2").arg(QLatin1String(info->test_suite_name()), QLatin1String(info->name())).toLower();
    database.replace(QLatin1Char('/'), QLatin1Char('_'));
    ClassServer server(address(database));
    std::vector<QString> done;
    ASSERT_TRUE(server.init(done)) << server.error().message().toStdString();
}

void ClassTest::TearDown()
{
    admin(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
}

ClassTest::Login ClassTest::addStudent(const QString &name)
{
    ClassServer server(address(database));
    std::vector<QString> skipped;
    const auto made = server.addStudents({{name, ClassServer::loginFor(name + QLatin1Char(' ') + database)}}, skipped);
    EXPECT_TRUE(made && made->size() == 1) << server.error().message().toStdString();
    if (!made || made->empty())
        return {};
    return {made->front().login, made->front().password};
}

std::unique_ptr<ClassServer> ClassTest::open(const Login *as)
{
    auto server = as ? std::make_unique<ClassServer>(address(database, as->login), as->password)
                     : std::make_unique<ClassServer>(address(database));
    EXPECT_TRUE(server->open()) << server->error().message().toStdString();
    return server;
}

} // namespace classtest
