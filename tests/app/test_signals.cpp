// The real program, offscreen and without a kit: the start-up driver message
// is open when a signal arrives, and the signal ends the program as it would
// at any other time.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace {

TEST(ExitSignals, EachSignalEndsTheProgramWhileTheDriverMessageIsOpen)
{
    if (QFileInfo::exists(QStringLiteral("/dev/parport0")))
        GTEST_SKIP() << "a parallel port is present: the driver message does not open";
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(TERVALO_APP), {});
        ASSERT_TRUE(p.waitForStarted(10000));
        // The port's failure is told on stderr just before the box opens
        // (the platform may have its own notices before it).
        const QByteArray told("tervalo: ");
        QByteArray err;
        QElapsedTimer clock;
        clock.start();
        while (!err.contains(told) && clock.elapsed() < 20000) {
            p.waitForReadyRead(200);
            err += p.readAllStandardError();
        }
        ASSERT_TRUE(err.contains(told)) << "no start-up line: " << err.toStdString();
        p.waitForReadyRead(300); // the box's own event loop is running by now
        ::kill(static_cast<pid_t>(p.processId()), sig);
        const bool ended = p.waitForFinished(10000);
        if (!ended) {
            p.kill();
            p.waitForFinished(5000);
        }
        err += p.readAllStandardError();
        EXPECT_TRUE(ended) << "still running after the signal";
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_FALSE(err.contains("port access stopped")) << err.toStdString();
    }
}

} // namespace
