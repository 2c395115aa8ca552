// The remote lab on a real lab: commands reach the controls as clicks do,
// the window's refusals come back as the reply's reason, each cycle goes out
// as a sample, and a remote run is stored with who drove it.
#include "remote/LabAdapter.h"
#include "tests/support/FakeLab.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tervalo;
using tervalo::remote::LabAdapter;
using tervalo::test::FakeLab;

namespace {

bool logged(const FakeLab &f, const std::string &line)
{
    return std::find(f.log.begin(), f.log.end(), line) != f.log.end();
}

} // namespace

TEST(LabAdapter, CommandsGoThroughTheControls)
{
    FakeLab f;
    LabAdapter adapter(f.lab);
    QSignalSpy changed(&adapter, &remote::RemoteLab::changed);
    EXPECT_EQ(adapter.select(QStringLiteral("kit"), QStringLiteral("PI")), QString());
    EXPECT_TRUE(logged(f, "mode " + std::to_string(static_cast<int>(RunMode::Kit))));
    EXPECT_TRUE(logged(f, "controller PI"));
    EXPECT_EQ(adapter.setReference(1500), QString());
    EXPECT_EQ(adapter.setDivisors(4, 12), QString());
    EXPECT_EQ(adapter.setRule(24, 6), QString());
    EXPECT_EQ(adapter.setActuator(1800), QString());
    EXPECT_EQ(adapter.setGain(Gain::Kp, 300), QString());
    EXPECT_TRUE(logged(f, "reference 1500"));
    EXPECT_TRUE(logged(f, "divisors 4 12"));
    EXPECT_TRUE(logged(f, "rule 24 6"));
    EXPECT_TRUE(logged(f, "actuator 1800"));
    EXPECT_GE(changed.count(), 6);

    // the window's own refusal (error 380 of a bar) is the reply's reason
    const QString refused = adapter.setGain(Gain::Kp, 5000);
    EXPECT_FALSE(refused.isEmpty());
    EXPECT_TRUE(refused.contains(QLatin1String("380"))) << refused.toStdString();
    EXPECT_FALSE(logged(f, "gain Slider2 5000"));

    const remote::LabView v = adapter.view();
    EXPECT_EQ(v.mode, QStringLiteral("kit"));
    EXPECT_EQ(v.reference, 1500);
    EXPECT_EQ(v.actuator, 1800);
    EXPECT_EQ(v.language, QStringLiteral("en"));
    EXPECT_FALSE(v.running);
    f.lab.reportLanguage(false);
    EXPECT_EQ(adapter.view().language, QStringLiteral("tr"));
    EXPECT_EQ(adapter.terms().size(), 7);
}

TEST(LabAdapter, ARemoteRunIsSampledAndStoredWithItsDriver)
{
    QTemporaryDir dir;
    FakeLab f;
    f.lab.openLibrary(dir.filePath(QStringLiteral("runs.sqlite")));
    LabAdapter adapter(f.lab);
    QSignalSpy samples(&adapter, &remote::RemoteLab::sampled);
    QSignalSpy started(&adapter, &remote::RemoteLab::runStarted);
    QSignalSpy stopped(&adapter, &remote::RemoteLab::runStopped);

    adapter.start(QStringLiteral("driven remotely by Ada")); // the fake's START returns at once
    EXPECT_TRUE(adapter.view().running);
    for (int k = 0; k < 3; ++k)
        f.cycleOnce();
    adapter.stop();
    f.lab.waitForLibrary();
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(stopped.count(), 1);
    ASSERT_EQ(samples.count(), 3);
    const auto last = samples.at(2).at(0).value<remote::LabSample>();
    EXPECT_EQ(last.cycle, 3);
    EXPECT_DOUBLE_EQ(last.time, 0.6);
    EXPECT_EQ(last.reference, 1000);
    EXPECT_EQ(last.output, 500);
    EXPECT_EQ(last.error, 500);

    // the next run, started at the PC, carries no note
    f.start();
    f.cycleOnce();
    f.stop();
    f.lab.waitForLibrary();

    const QJsonArray runs = adapter.runs(50);
    ASSERT_EQ(runs.size(), 2);
    QStringList notes;
    QString remoteUuid;
    for (const QJsonValue &r : runs) {
        notes << r[QStringLiteral("note")].toString();
        if (r[QStringLiteral("rows")].toInt() == 3)
            remoteUuid = r[QStringLiteral("uuid")].toString();
    }
    EXPECT_TRUE(notes.contains(QStringLiteral("driven remotely by Ada")));
    EXPECT_TRUE(notes.contains(QString()));
    EXPECT_EQ(adapter.runs(1).size(), 1);
    const std::optional<QByteArray> csv = adapter.runCsv(remoteUuid);
    ASSERT_TRUE(csv.has_value());
    EXPECT_TRUE(csv->startsWith("cycle,")) << csv->left(80).toStdString();
    EXPECT_EQ(csv->count('\n'), 4); // the header and three rows
    EXPECT_FALSE(adapter.runCsv(QStringLiteral("00000000-0000-0000-0000-000000000000")).has_value());
}
