// Timed test programs: events kept in cycle order, checked, and parsed from
// the command line's CYCLE:reference=R and CYCLE:load=L.

#include "engine/TestProgram.h"

#include <gtest/gtest.h>

using namespace tervalo;

TEST(TestProgram, KeepsEventsInCycleOrderAndRefusesOutOfRange)
{
    TestProgram p;
    EXPECT_EQ(p.add({30, TestEvent::Kind::Load, 10}), "");
    EXPECT_EQ(p.add({10, TestEvent::Kind::Reference, 1500}), "");
    EXPECT_EQ(p.add({30, TestEvent::Kind::Reference, 600}), "");
    EXPECT_NE(p.add({0, TestEvent::Kind::Load, 10}), "");
    EXPECT_NE(p.add({5, TestEvent::Kind::Reference, 2001}), "");
    EXPECT_NE(p.add({5, TestEvent::Kind::Reference, 499}), "");
    EXPECT_NE(p.add({5, TestEvent::Kind::Load, 0}), "");
    EXPECT_NE(p.add({5, TestEvent::Kind::Load, 31}), "");
    // one event of each kind at a cycle: a second would undo the first
    EXPECT_EQ(p.add({30, TestEvent::Kind::Load, 12}), "cycle 30: a second load event at this cycle");
    EXPECT_EQ(p.add({10, TestEvent::Kind::Reference, 1500}), "cycle 10: a second reference event at this cycle");
    ASSERT_EQ(p.events().size(), 3u);
    EXPECT_EQ(p.events()[0].cycle, 10);
    EXPECT_EQ(p.events()[1], (TestEvent{30, TestEvent::Kind::Load, 10}));
    EXPECT_EQ(p.events()[2], (TestEvent{30, TestEvent::Kind::Reference, 600}));
    int seen = 0;
    p.forEachAt(30, [&](const TestEvent &) { ++seen; });
    EXPECT_EQ(seen, 2);
}

TEST(TestProgram, ParsesCommandLineEvents)
{
    struct Case {
        const char *text;
        bool ok;
        TestEvent event;
        const char *reason;
    };
    const Case cases[] = {
        {"50:reference=1500", true, {50, TestEvent::Kind::Reference, 1500}, ""},
        {"1:load=30", true, {1, TestEvent::Kind::Load, 30}, ""},
        {"50:reference=2500", false, {}, "500 to 2000"},
        {"50:load=0", false, {}, "1 to 30"},
        {"0:load=3", false, {}, "count from 1"},
        {"50:speed=3", false, {}, "neither reference nor load"},
        {"x:load=3", false, {}, "not a whole number"},
        {"5:load=3.5", false, {}, "not a whole number"},
        {"5load=3", false, {}, "expected CYCLE"},
        {"", false, {}, "expected CYCLE"},
    };
    for (const Case &c : cases) {
        TestEvent e;
        std::string reason;
        EXPECT_EQ(parseTestEvent(c.text, e, reason), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(e, c.event) << c.text;
        else
            EXPECT_NE(reason.find(c.reason), std::string::npos) << c.text << ": " << reason;
    }
}
