// tervalo-class, the real program, against the test server: init once and
// again, students added, the report as instructor and as a student, the
// export beside the Runs window's, purge for the instructor only.
#include "ClassFixture.h"

#include "store/ClassServer.h"
#include "store/RunFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tervalo;
using namespace classtest;

namespace {

using TervaloClass = ClassTest;

Program tool(const QStringList &args, const QString &password = QString())
{
    QProcessEnvironment env;
    if (!password.isNull())
        env.insert(QStringLiteral("PGPASSWORD"), password);
    return run(tervaloClass(), args, env);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ClassRunContext context(const QString &student, const QString &experiment)
{
    ClassRunContext c;
    c.uuid = newUuid();
    c.student = student;
    c.host = QStringLiteral("lab-pc-03");
    c.plantKind = QStringLiteral("emulated_kit");
    c.experiment = experiment;
    return c;
}

} // namespace

TEST_F(TervaloClass, InitMakesTheLibraryOnceAndRefusesANewerOne)
{
    const QString fresh = database + QStringLiteral("_new");
    admin(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(fresh));
    Program p = tool({QStringLiteral("init"), uri(fresh)});
    EXPECT_EQ(p.status, 0) << p.err.toStdString();
    EXPECT_TRUE(p.out.contains("created the database " + fresh.toUtf8())) << p.out.toStdString();
    EXPECT_TRUE(p.out.contains("made the class library (version 1)")) << p.out.toStdString();
    const QStringList policies = admin(fresh, QStringLiteral("SELECT count(*) FROM pg_policies"));
    p = tool({QStringLiteral("init"), uri(fresh)});
    EXPECT_EQ(p.status, 0) << p.err.toStdString();
    EXPECT_EQ(p.out, "the class library (version 1) is there already: nothing changed\n");
    EXPECT_EQ(admin(fresh, QStringLiteral("SELECT count(*) FROM pg_policies")), policies);
    admin(fresh, QStringLiteral("UPDATE tervalo.schema_version SET version = 2"));
    p = tool({QStringLiteral("init"), uri(fresh)});
    EXPECT_EQ(p.status, 1);
    EXPECT_TRUE(p.err.contains(QLatin1String("newer version"))) << p.err.toStdString();
    EXPECT_EQ(admin(fresh, QStringLiteral("SELECT version FROM tervalo.schema_version")),
              QStringList{QStringLiteral("2")});
    admin(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(fresh));
    // a URI that is none, a command that is none
    EXPECT_EQ(tool({QStringLiteral("init"), QStringLiteral("postgresql://u:pw@h/db")}).status, 1);
    EXPECT_EQ(tool({QStringLiteral("frobnicate")}).status, 2);
    EXPECT_EQ(tool({QStringLiteral("--version")}).out, QByteArray("tervalo-class 1.0\n"));
}

TEST_F(TervaloClass, StudentsReportExportAndPurge)
{
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("class.csv"));
    const QString suffix = database.right(12);
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("name,login\r\n\"Yılmaz, Ayşe\",ayse_%1\r\nBora Kaya,bora_%1\r\n").arg(suffix).toUtf8());
    }
    Program p = tool({QStringLiteral("add-students"), uri(database), list});
    ASSERT_EQ(p.status, 0) << p.err.toStdString();
    const QList<QByteArray> lines = p.out.split('\n');
    ASSERT_EQ(lines.size(), 4) << p.out.toStdString();
    EXPECT_EQ(lines[0], "name,login,password\r");
    const QString ayse = QStringLiteral("ayse_") + suffix, bora = QStringLiteral("bora_") + suffix;
    EXPECT_TRUE(lines[1].startsWith("\"Yılmaz, Ayşe\"," + ayse.toUtf8() + ',')) << lines[1].toStdString();
    const QString aysePassword = QString::fromUtf8(lines[1].split(',').value(3).trimmed());
    const QString boraPassword = QString::fromUtf8(lines[2].split(',').value(2).trimmed());
    EXPECT_EQ(aysePassword.size(), 16);
    // a second time: both there already, left alone
    p = tool({QStringLiteral("add-students"), uri(database), list});
    EXPECT_EQ(p.status, 0);
    EXPECT_EQ(p.out, "name,login,password\r\n");
    EXPECT_TRUE(p.err.contains(ayse + QStringLiteral(" is there already"))) << p.err.toStdString();

    // each sends runs of their own
    const RunRecord first = makeRun(120, false, 0), second = makeRun(90, true, 60), third = makeRun(40, false, 120);
    const ClassRunContext a1 = context(QStringLiteral("Ayşe"), QStringLiteral("lab1.json")),
                          a2 = context(QStringLiteral("Ayşe"), QStringLiteral("lab2.json")),
                          b1 = context(QStringLiteral("Bora"), QStringLiteral("lab1.json"));
    {
        ClassServer asAyse(address(database, ayse), aysePassword), asBora(address(database, bora), boraPassword);
        ASSERT_TRUE(asAyse.send(a1, first)) << asAyse.error().message().toStdString();
        ASSERT_TRUE(asAyse.send(a2, second));
        ASSERT_TRUE(asBora.send(b1, third)) << asBora.error().message().toStdString();
    }

    // the instructor's report: every run, oldest first, filters
    p = tool({QStringLiteral("report"), uri(database)});
    ASSERT_EQ(p.status, 0) << p.err.toStdString();
    QList<QByteArray> rows = p.out.split('\n');
    ASSERT_EQ(rows.size(), 5) << p.out.toStdString();
    EXPECT_EQ(rows[0], classReportHeader().trimmed() + '\r');
    EXPECT_TRUE(rows[1].startsWith(a1.uuid.toLatin1()
                                   + ",Ayşe,lab-pc-03,emulated_kit,lab1.json,PI,Kp=0.75 Ki=0.125,"
                                     "1000,2026-12-10T02:33:20Z,24,"))
        << rows[1].toStdString();
    EXPECT_TRUE(rows[2].startsWith(a2.uuid.toLatin1() + ",Ayşe,lab-pc-03,emulated_kit,lab2.json,fuzzy,3 / 12,"));
    // the figures as tervalo-sim --summary names and writes them
    const QList<QByteArray> header = rows[0].trimmed().split(','), values = rows[1].trimmed().split(',');
    ASSERT_EQ(header.size(), values.size());
    const StepFigures figures = first.figures();
    for (const MetricInfo &m : kMetrics) {
        const int at = static_cast<int>(header.indexOf(QByteArray(m.key)));
        ASSERT_GE(at, 10) << m.key;
        EXPECT_EQ(values[at].toStdString(), figures[m.metric].available() ? figureText(figures[m.metric]) : "")
            << m.key;
    }
    p = tool({QStringLiteral("report"), uri(database), QStringLiteral("--experiment"), QStringLiteral("lab1.json"),
              QStringLiteral("--student"), QStringLiteral("Bora")});
    rows = p.out.split('\n');
    ASSERT_EQ(rows.size(), 3) << p.out.toStdString();
    EXPECT_TRUE(rows[1].startsWith(b1.uuid.toLatin1()));
    // a student's credentials: only her own runs
    p = tool({QStringLiteral("report"), uri(database, ayse)}, aysePassword);
    ASSERT_EQ(p.status, 0) << p.err.toStdString();
    rows = p.out.split('\n');
    ASSERT_EQ(rows.size(), 4) << p.out.toStdString();
    EXPECT_TRUE(rows[1].startsWith(a1.uuid.toLatin1()) && rows[2].startsWith(a2.uuid.toLatin1()));

    // the export: the files the Runs window writes for the same run
    const QString out = dir.filePath(QStringLiteral("export"));
    p = tool({QStringLiteral("export"), uri(database), out});
    ASSERT_EQ(p.status, 0) << p.err.toStdString();
    for (const auto &[c, record] :
         {std::pair<const ClassRunContext &, const RunRecord &>{a1, first}, {a2, second}, {b1, third}}) {
        const QString base = QDir(out).filePath(c.uuid);
        EXPECT_EQ(readAll(base + QStringLiteral(".csv")), RunFiles::csv(record, 0, record.size()));
        EXPECT_EQ(readAll(base + QStringLiteral(".json")), RunFiles::settingsJson(record, 0, record.size()));
    }

    // purge: not for a student; the instructor's deletes what started before
    p = tool({QStringLiteral("purge"), uri(database, bora), QStringLiteral("--before"), QStringLiteral("2030-01-01")},
             boraPassword);
    EXPECT_EQ(p.status, 1);
    EXPECT_TRUE(p.err.contains(QLatin1String("permission denied"))) << p.err.toStdString();
    p = tool(
        {QStringLiteral("purge"), uri(database), QStringLiteral("--before"), QStringLiteral("2026-12-10T02:35:00Z")});
    EXPECT_EQ(p.status, 0) << p.err.toStdString();
    EXPECT_EQ(p.out, "2 runs deleted\n");
    EXPECT_EQ(admin(database, QStringLiteral("SELECT uuid::text FROM tervalo.runs")), QStringList{b1.uuid});
    EXPECT_EQ(admin(database, QStringLiteral("SELECT count(*) FROM tervalo.samples")),
              QStringList{QStringLiteral("40")});
    EXPECT_EQ(tool({QStringLiteral("purge"), uri(database), QStringLiteral("--before"), QStringLiteral("soon")}).status,
              2);
}
