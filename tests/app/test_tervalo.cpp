// tervalo's command line, run as a program.
#include "tervalo_version.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

enum class Display { Offscreen, None };

QProcessEnvironment environment(const QString &portVariable, Display display = Display::Offscreen)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display == Display::None)
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
    env.remove(QStringLiteral("TERVALO_PORT"));
    // a session's runtime folder, as a desktop gives one (Qt complains without)
    static QTemporaryDir runtimeDir;
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    if (!portVariable.isNull())
        env.insert(QStringLiteral("TERVALO_PORT"), portVariable);
    return env;
}

Result tervalo(const QStringList &args, const QString &portVariable = QString(), Display display = Display::Offscreen)
{
    QProcess p;
    p.setProcessEnvironment(environment(portVariable, display));
    p.start(QStringLiteral(TERVALO_APP), args);
    p.waitForFinished(30000);
    Result r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace

TEST(Tervalo, TellsItsVersionAndHelp)
{
    Result r = tervalo({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("tervalo " TERVALO_VERSION "\n"));

    r = tervalo({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char *word : {"--port", "TERVALO_PORT", "emulator", "--check-kit", "--spin", "--version", "FILE"})
        EXPECT_TRUE(r.out.contains(QLatin1String(word))) << word;
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
}

TEST(Tervalo, BadArgumentsGiveOneLineAndStatus2)
{
    struct Case {
        QStringList args;
        const char *says; // in the one line
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "--bogus"},
        {{"--port"}, "--port"},
        {{"--spin", "2000"}, "--spin requires --check-kit"},
        {{"--check-kit", "--spin", "4096"}, "4096"},
        {{"--check-kit", "--spin", "x"}, "x"},
        // an experiment file ends in .json or exists
        {{"/nonexistent/notes.txt"}, "/nonexistent/notes.txt: neither a .json file nor an existing file"},
        {{"a.json", "b.json"}, "b.json"}, // one file at a time
        // Qt's own options are Qt's, the rest still checked
        {{"-platform", "offscreen", "--bogus"}, "--bogus"},
        {{"-style", "Fusion", "-reverse", "--port"}, "--port"},
    };
    // what a display would start, none is needed for
    for (const Display display : {Display::Offscreen, Display::None})
        for (const Case &c : cases) {
            const std::string what = c.args.join(' ').toStdString() + (display == Display::None ? " (no display)" : "");
            const Result r = tervalo(c.args, QString(), display);
            EXPECT_EQ(r.status, 2) << what << ": " << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty()) << what;
            EXPECT_EQ(r.err.count('\n'), 1) << what << ": " << r.err.toStdString();
            EXPECT_TRUE(r.err.startsWith("tervalo: ")) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QLatin1String(c.says))) << what << ": " << r.err.toStdString();
        }
}

TEST(Tervalo, NeedsNoDisplayButForTheWindow)
{
    Result r = tervalo({"-style", "Fusion", "--version"}, QString(), Display::None);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("tervalo " TERVALO_VERSION "\n"));
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    r = tervalo({"--help"}, QString(), Display::None);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    r = tervalo({"--check-kit"}, "emulator", Display::None);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith("kit check passed\n")) << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();

    // the window has nowhere to go: one line, not Qt's abort
    r = tervalo({}, "emulator", Display::None);
    EXPECT_EQ(r.status, 1) << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.startsWith("tervalo: the window cannot be opened: no display")) << r.err.toStdString();
}

TEST(Tervalo, ADisplayThatCannotBeReachedEndsWithStatus1)
{
    QProcess p;
    QProcessEnvironment env = environment(QStringLiteral("emulator"), Display::None);
    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":1999"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TERVALO_APP), {});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    // Qt's own notices first, then the program's line
    const QStringList lines = err.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().startsWith("tervalo: the window cannot be opened on display :1999: "))
        << err.toStdString();
}

TEST(Tervalo, CheckKitNamesTheCauseWhenTheDeviceDoesNotOpen)
{
    Result r = tervalo({"--check-kit", "--port", "/nonexistent/parport0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.startsWith("FAIL device /nonexistent/parport0: No such file or directory"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("kit check failed\n")) << r.out.toStdString();

    // the variable names the port; the option wins over it
    r = tervalo({"--check-kit"}, "/nonexistent/parport3");
    EXPECT_TRUE(r.out.startsWith("FAIL device /nonexistent/parport3: ")) << r.out.toStdString();
    r = tervalo({"--check-kit", "--port", "/nonexistent/parport4"}, "/nonexistent/parport3");
    EXPECT_TRUE(r.out.startsWith("FAIL device /nonexistent/parport4: ")) << r.out.toStdString();
    r = tervalo({"--check-kit", "--port", "/"});
    EXPECT_TRUE(r.out.startsWith("FAIL device /: Is a directory (not a parallel port device)")) << r.out.toStdString();
}

TEST(Tervalo, CheckKitPassesOnTheEmulatedKit)
{
    const Result r = tervalo({"--check-kit"}, "emulator");
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("ok   device emulator opened and claimed\nok   status reads: "))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("ok   status changes with the motor at rest: 0 in 1 s")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("ok   all-zero word written\nkit check passed\n")) << r.out.toStdString();
}

TEST(Tervalo, SignalDuringTheCheckEndsItWithTheZeroWordAndStatus1)
{
    struct Case {
        int signal;
        const char *name;
        const char *after; // sent once this step's line is out
    };
    for (const Case &c :
         {Case{SIGTERM, "SIGTERM", "opened and claimed\n"}, Case{SIGINT, "SIGINT", "(at most 2 allowed)\n"},
          Case{SIGHUP, "SIGHUP", "(at most 2 allowed)\n"}}) {
        SCOPED_TRACE(c.name);
        QProcess p;
        p.setProcessEnvironment(environment(QStringLiteral("emulator")));
        p.start(QStringLiteral(TERVALO_APP), {"--check-kit", "--spin", "2000"});
        ASSERT_TRUE(p.waitForStarted(10000));
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains(c.after) && p.state() == QProcess::Running && clock.elapsed() < 20000) {
            p.waitForReadyRead(100);
            out += p.readAllStandardOutput();
        }
        ASSERT_TRUE(out.contains(c.after)) << out.toStdString();
        ::kill(static_cast<pid_t>(p.processId()), c.signal);
        const bool ended = p.waitForFinished(10000);
        if (!ended) {
            p.kill();
            p.waitForFinished(5000);
        }
        out += p.readAllStandardOutput();
        ASSERT_TRUE(ended) << "still running after the signal";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_TRUE(out.endsWith(QByteArray("FAIL interrupted by ") + c.name
                                 + "\nok   all-zero word written\nkit check failed\n"))
            << out.toStdString();
        EXPECT_FALSE(out.contains("speed at actuator")) << "the spin went on: " << out.toStdString();
    }
}
