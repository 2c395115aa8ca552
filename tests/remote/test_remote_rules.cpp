// The remote lab's configuration file and its queue of drivers.
#include "remote/ControlQueue.h"
#include "remote/RemoteConfig.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace tervalo::remote;
using Ms = ControlQueue::Ms;

namespace {

QByteArray file(const char *body)
{
    return QByteArray(R"({"format": "tervalo-remote", "version": 1, )") + body + "}";
}

constexpr const char *kStudents = R"("students": [{"name": "Bora", "code": "bora-code-0123456789"}])";

} // namespace

TEST(RemoteConfig, AWholeFileIsRead)
{
    RemoteConfig c;
    ConfigError why;
    ASSERT_TRUE(parseRemoteConfig(file(R"("viewing": "code", "viewerCode": "viewer-code-0123456789",
        "instructor": {"name": "Ada", "code": "ada-code-0123456789"},
        "students": [{"name": "Bora", "code": "bora-code-0123456789"}],
        "slotMinutes": 15, "longestRunMinutes": 2.5, "modes": ["simulation"], "connections": 10)"),
                                  c, why))
        << why.message().toStdString();
    EXPECT_FALSE(c.openViewing);
    ASSERT_EQ(c.people.size(), 2u);
    EXPECT_EQ(c.people[0].role, Role::Instructor);
    EXPECT_EQ(c.people[1].name, "Bora");
    EXPECT_EQ(c.slot, std::chrono::minutes(15));
    EXPECT_EQ(c.longestRun, Ms(150000));
    EXPECT_EQ(c.modes, QStringList{"simulation"});
    EXPECT_EQ(c.connections, 10);
    // defaults
    ASSERT_TRUE(parseRemoteConfig(file((QByteArray(R"("viewing": "open", )") + kStudents).constData()), c, why));
    EXPECT_TRUE(c.openViewing);
    EXPECT_EQ(c.slot, std::chrono::minutes(10));
    EXPECT_EQ(c.longestRun, std::chrono::minutes(5));
    EXPECT_EQ(c.modes, (QStringList{"simulation", "kit"}));
    EXPECT_EQ(c.connections, 256);
}

TEST(RemoteConfig, ARefusedFileNamesTheKeyAndTheReason)
{
    const QByteArray s = kStudents;
    struct Row {
        QByteArray contents;
        const char *key;
        const char *reason;
    };
    const std::vector<Row> rows = {
        {"{", "", "not JSON"},
        {"[]", "", "not a JSON object"},
        {R"({"format": "tervalo-experiment", "version": 1})", "format", "not \"tervalo-remote\""},
        {R"({"format": "tervalo-remote", "version": 2})", "version", "reads version 1"},
        {file(("\"viewing\": \"open\", \"colour\": 1, " + s).constData()), "colour", "unknown key"},
        {file(s.constData()), "viewing", "missing"},
        {file(("\"viewing\": \"all\", " + s).constData()), "viewing", "neither"},
        {file(("\"viewing\": \"code\", " + s).constData()), "viewerCode", "missing"},
        {file(("\"viewing\": \"code\", \"viewerCode\": \"short\", " + s).constData()), "viewerCode", "shorter than 16"},
        {file(("\"viewing\": \"open\", \"viewerCode\": \"viewer-code-0123456789\", " + s).constData()), "viewerCode",
         "not wanted"},
        {file(R"("viewing": "open")"), "students", "missing"},
        {file(R"("viewing": "open", "students": {})"), "students", "not a list"},
        {file(R"("viewing": "open", "students": [{"name": "Bora"}])"), "students[0].code", "missing"},
        {file(R"("viewing": "open", "students": [{"name": "", "code": "bora-code-0123456789"}])"), "students[0].name",
         "empty"},
        {file(R"("viewing": "open", "students": [{"name": "B", "code": "bora code 0123456789"}])"), "students[0].code",
         "printable"},
        {file(R"("viewing": "open", "students": [{"name": "B", "code": "bora-code-0123456789"},
              {"name": "B", "code": "cem-code-0123456789"}])"),
         "students[1].name", "twice"},
        {file(R"("viewing": "open", "instructor": {"name": "Ada", "code": "bora-code-0123456789"},
              "students": [{"name": "B", "code": "bora-code-0123456789"}])"),
         "students[0].code", "twice"},
        {file(("\"viewing\": \"open\", \"slotMinutes\": 0, " + s).constData()), "slotMinutes", "outside 0.1..600"},
        {file(("\"viewing\": \"open\", \"longestRunMinutes\": \"5\", " + s).constData()), "longestRunMinutes",
         "not a number"},
        {file(("\"viewing\": \"open\", \"modes\": [\"kit\", \"turbo\"], " + s).constData()), "modes[1]", "neither"},
        {file(("\"viewing\": \"open\", \"modes\": [], " + s).constData()), "modes", "empty"},
        {file(("\"viewing\": \"open\", \"origins\": [\"evil.example\"], " + s).constData()), "origins[0]",
         "not an http"},
        {file(("\"viewing\": \"open\", \"connections\": 2.5, " + s).constData()), "connections", "whole"},
        {file(("\"viewing\": \"open\", \"connections\": 0, " + s).constData()), "connections", "outside 1..4096"},
    };
    for (const Row &row : rows) {
        RemoteConfig c;
        c.connections = 77;
        ConfigError why;
        EXPECT_FALSE(parseRemoteConfig(row.contents, c, why)) << row.contents.toStdString();
        EXPECT_EQ(why.key, QLatin1String(row.key)) << row.contents.toStdString();
        EXPECT_TRUE(why.reason.contains(QLatin1String(row.reason))) << why.message().toStdString();
        EXPECT_EQ(c.connections, 77); // untouched
    }
}

TEST(RemoteConfig, GeneratedCodesAre128RandomBits)
{
    const RemoteConfig a = RemoteConfig::generated(), b = RemoteConfig::generated();
    const QRegularExpression hex(QStringLiteral("^[0-9a-f]{32}$"));
    ASSERT_EQ(a.people.size(), 1u);
    for (const QByteArray &code : {a.viewerCode, a.people[0].code, b.viewerCode})
        EXPECT_TRUE(hex.match(QString::fromLatin1(code)).hasMatch()) << code.toStdString();
    EXPECT_NE(a.viewerCode, a.people[0].code);
    EXPECT_NE(a.viewerCode, b.viewerCode);
    EXPECT_FALSE(a.openViewing);
}

TEST(ControlQueue, OneDriverTheOthersInOrder)
{
    ControlQueue q(Ms(1000), Ms(500));
    q.request("A", Ms(0));
    q.request("B", Ms(10));
    q.request("C", Ms(20));
    q.request("B", Ms(30)); // keeps its place
    EXPECT_EQ(q.driver(), "A");
    EXPECT_EQ(q.queue(), (QStringList{"B", "C"}));
    EXPECT_EQ(q.place("C"), 2);
    EXPECT_DOUBLE_EQ(*q.slotEndsIn(Ms(250)), 0.75);
    // the slot's end passes control on
    EXPECT_FALSE(q.tick(Ms(999)));
    const auto ended = q.tick(Ms(1000));
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->driver, "A");
    EXPECT_EQ(ended->cause, SlotEndCause::SlotOver);
    EXPECT_EQ(q.driver(), "B");
    // a run past the longest run ends the slot before its time
    q.runStarted(Ms(1100));
    ASSERT_TRUE(q.tick(Ms(1600)));
    EXPECT_EQ(q.tick(Ms(1600)), std::nullopt);
    EXPECT_EQ(q.driver(), "C");
    // a queued name leaves; the driver's release ends the slot
    q.request("D", Ms(1700));
    EXPECT_FALSE(q.release("D", Ms(1700)));
    EXPECT_EQ(q.release("C", Ms(1700))->cause, SlotEndCause::Released);
    EXPECT_TRUE(q.driver().isEmpty());
    EXPECT_FALSE(q.slotEndsIn(Ms(1700)));
}

TEST(ControlQueue, TheInstructorAndThePcComeFirst)
{
    ControlQueue q(Ms(1000), Ms(500));
    q.request("A", Ms(0));
    q.request("B", Ms(0));
    EXPECT_EQ(q.takeControl("Ada", Ms(10))->cause, SlotEndCause::TakenByInstructor);
    EXPECT_EQ(q.driver(), "Ada");
    EXPECT_EQ(q.queue(), QStringList{"B"});
    EXPECT_EQ(q.takeBack(Ms(20))->cause, SlotEndCause::TakenBack);
    EXPECT_TRUE(q.heldByPc());
    q.request("C", Ms(30)); // queued while the PC holds control
    EXPECT_TRUE(q.driver().isEmpty());
    q.handBack(Ms(40));
    EXPECT_EQ(q.driver(), "B");
    EXPECT_EQ(q.queue(), QStringList{"C"});
    EXPECT_EQ(q.endSlot(SlotEndCause::Lost, Ms(50))->driver, "B");
    EXPECT_EQ(q.driver(), "C");
}
