#include "plant/MemoryPort.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tervalo;

namespace {

std::vector<int> readStatus(MemoryPort &port, int n)
{
    std::vector<int> out;
    for (int i = 0; i < n; ++i)
        out.push_back(port.DlPortReadPortUchar(port.base() + 1));
    return out;
}

} // namespace

TEST(MemoryPort, StatusScript)
{
    MemoryPort port;
    EXPECT_EQ(readStatus(port, 2), (std::vector<int>{0, 0}));

    port.setStatusScript({1, 2, 3}, false);
    EXPECT_EQ(readStatus(port, 5), (std::vector<int>{1, 2, 3, 3, 3}));

    port.setStatusScript({1, 2, 3}, true);
    EXPECT_EQ(readStatus(port, 7), (std::vector<int>{1, 2, 3, 1, 2, 3, 1}));

    port.setStatusScript({}, true);
    EXPECT_EQ(readStatus(port, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(port.reads(), 16u);
}

TEST(MemoryPort, RegistersKeepTheLastWriteAndRecordAll)
{
    MemoryPort port(888);
    port.DlPortWritePortUchar(888, 81);
    port.DlPortWritePortUchar(890, 15);
    port.DlPortWritePortUchar(888, 255);
    EXPECT_EQ(port.data(), 255);
    EXPECT_EQ(port.control(), 15);
    EXPECT_EQ(port.DlPortReadPortUchar(888), 255);
    EXPECT_EQ(port.DlPortReadPortUchar(890), 15);
    ASSERT_EQ(port.writes().size(), 3u);
    EXPECT_EQ(port.writes()[1].port, 890);
    EXPECT_EQ(port.writes()[1].value, 15);
    port.clearWrites();
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(port.data(), 255);
}

TEST(MemoryPort, UnknownAddressesAreRefused)
{
    MemoryPort port(888);
    EXPECT_THROW(port.DlPortWritePortUchar(889, 1), PortError);
    EXPECT_THROW(port.DlPortWritePortUchar(891, 1), PortError);
    EXPECT_THROW(port.DlPortReadPortUchar(887), PortError);
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(port.reads(), 0u);
}

TEST(MemoryPort, DeviceVanishesAfterGivenAccesses)
{
    MemoryPort port;
    port.setStatusScript({5}, false);
    port.failAfter(2);
    port.DlPortWritePortUchar(888, 1);
    EXPECT_EQ(port.DlPortReadPortUchar(889), 5);
    for (int i = 0; i < 2; ++i) {
        try {
            port.DlPortReadPortUchar(889);
            FAIL() << "read after the device went";
        } catch (const PortError &e) {
            EXPECT_STREQ(e.what(), "memory port: device gone");
        }
    }
    EXPECT_THROW(port.DlPortWritePortUchar(888, 2), PortError);
    EXPECT_EQ(port.data(), 1);
    EXPECT_EQ(port.reads(), 1u);
    EXPECT_EQ(port.writes().size(), 1u);
}
