#include "plant/PpdevPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <string>
#include <sys/ioctl.h>
#include <vector>

using namespace tervalo;

namespace {

// System calls that succeed (or fail on a chosen request) and record what
// the port asked for.
class FakeSystem : public PpdevSystem {
public:
    struct Call {
        std::string name;
        unsigned long request;
        int value;
    };

    int open(const char *, int flags) override
    {
        calls.push_back({"open", 0, flags});
        if (openErrno != 0) {
            errno = openErrno;
            return -1;
        }
        return Fd;
    }

    int ioctl(int fd, unsigned long request, void *arg) override
    {
        int value = -1;
        if (request == PPWDATA || request == PPWCONTROL)
            value = *static_cast<unsigned char *>(arg);
        else if (request == PPDATADIR)
            value = *static_cast<int *>(arg);
        calls.push_back({fd == Fd ? "ioctl" : "ioctl(bad fd)", request, value});
        if (request == failRequest) {
            errno = failErrno;
            return -1;
        }
        if (request == PPRSTATUS || request == PPRDATA || request == PPRCONTROL)
            *static_cast<unsigned char *>(arg) = status;
        return 0;
    }

    int close(int fd) override
    {
        calls.push_back({fd == Fd ? "close" : "close(bad fd)", 0, -1});
        return 0;
    }

    std::vector<unsigned long> ioctls() const
    {
        std::vector<unsigned long> out;
        for (const auto &c : calls)
            if (c.name == "ioctl")
                out.push_back(c.request);
        return out;
    }
    bool closed() const { return !calls.empty() && calls.back().name == "close"; }

    static constexpr int Fd = 7;
    std::vector<Call> calls;
    int openErrno = 0;
    unsigned long failRequest = 0;
    int failErrno = 0;
    unsigned char status = 0;
};

std::string reasonText(const char *device, int error)
{
    return std::string(device) + ": " + std::strerror(error);
}

} // namespace

TEST(PpdevPortOpen, MissingDeviceNamesPathAndReason)
{
    PpdevPort port("/dev/tervalo-no-such-parport");
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.lastError().rfind(reasonText("/dev/tervalo-no-such-parport", ENOENT), 0), 0u) << port.lastError();
    EXPECT_THROW(port.DlPortReadPortUchar(889), PortError);
}

TEST(PpdevPortOpen, DeviceThatIsNotAParallelPort)
{
    PpdevPort port("/dev/null");
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.lastError(), reasonText("/dev/null", ENOTTY) + " (not a parallel port device)");
}

TEST(PpdevPortOpen, PermissionDeniedTellsWhatToDo)
{
    FakeSystem sys;
    sys.openErrno = EACCES;
    PpdevPort port("/dev/parport0", 888, sys);
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.lastError(), "/dev/parport0: " + std::string(std::strerror(EACCES)) + " (add the user to group lp)");
    // the start-up check's first write reports why the port is closed
    try {
        port.DlPortWritePortUchar(888, 0);
        FAIL() << "write on a port that did not open";
    } catch (const PortError &e) {
        EXPECT_EQ(std::string(e.what()), port.lastError());
    }
}

TEST(PpdevPortOpen, ClaimsAndPutsOutTheZeroWord)
{
    FakeSystem sys;
    {
        PpdevPort port("/dev/parport0", 888, sys);
        ASSERT_TRUE(port.open());
        EXPECT_TRUE(port.isOpen());
        EXPECT_TRUE(port.lastError().empty());
        EXPECT_TRUE(port.open()); // already open: nothing more
        ASSERT_EQ(sys.calls.size(), 5u);
        EXPECT_EQ(sys.calls[0].name, "open");
        EXPECT_EQ(sys.calls[0].value & O_ACCMODE, O_RDWR);
        EXPECT_EQ(sys.ioctls(), (std::vector<unsigned long>{PPCLAIM, PPDATADIR, PPWDATA, PPWCONTROL}));
        EXPECT_EQ(sys.calls[2].value, 0); // data lines driven
        EXPECT_EQ(sys.calls[3].value, 0);
        EXPECT_EQ(sys.calls[4].value, 11);
        sys.calls.clear();
    }
    EXPECT_EQ(sys.ioctls(), (std::vector<unsigned long>{PPRELEASE}));
    EXPECT_TRUE(sys.closed());
}

TEST(PpdevPortOpen, RefusalDuringOpenLeavesNothingOpen)
{
    for (unsigned long failing : std::vector<unsigned long>{PPCLAIM, PPDATADIR, PPWDATA, PPWCONTROL}) {
        FakeSystem sys;
        sys.failRequest = failing;
        sys.failErrno = ENXIO;
        PpdevPort port("/dev/parport1", 888, sys);
        EXPECT_FALSE(port.open()) << failing;
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.lastError().rfind(reasonText("/dev/parport1", ENXIO), 0), 0u) << port.lastError();
        EXPECT_TRUE(sys.closed()) << failing;
        const auto done = sys.ioctls();
        EXPECT_EQ(done.back() == PPRELEASE, failing != PPCLAIM) << failing;
    }
}

TEST(PpdevPortAccess, RegistersMapToTheirRequests)
{
    FakeSystem sys;
    sys.status = 0x5A;
    PpdevPort port("/dev/parport0", 888, sys);
    ASSERT_TRUE(port.open());
    sys.calls.clear();

    port.DlPortWritePortUchar(888, 0xFF);
    port.DlPortWritePortUchar(890, 0xFF); // bits 4..7 never reach the register
    port.DlPortWritePortUchar(890, 0x24); // bit 5 would reverse the data lines
    EXPECT_EQ(port.DlPortReadPortUchar(889), 0x5A);
    ASSERT_EQ(sys.calls.size(), 4u);
    EXPECT_EQ(sys.calls[0].request, PPWDATA);
    EXPECT_EQ(sys.calls[0].value, 0xFF);
    EXPECT_EQ(sys.calls[1].request, PPWCONTROL);
    EXPECT_EQ(sys.calls[1].value, 0x0F);
    EXPECT_EQ(sys.calls[2].value, 0x04);
    EXPECT_EQ(sys.calls[3].request, PPRSTATUS);

    EXPECT_THROW(port.DlPortWritePortUchar(889, 1), PortError);
    EXPECT_THROW(port.DlPortWritePortUchar(891, 1), PortError);
    EXPECT_THROW(port.DlPortReadPortUchar(892), PortError);
    EXPECT_EQ(sys.calls.size(), 4u);
    EXPECT_TRUE(port.isOpen());
}

TEST(PpdevPortAccess, VanishedDeviceThrowsAndClosesThePort)
{
    FakeSystem sys;
    PpdevPort port("/dev/parport0", 888, sys);
    ASSERT_TRUE(port.open());
    sys.failRequest = PPRSTATUS;
    sys.failErrno = ENODEV;
    try {
        port.DlPortReadPortUchar(889);
        FAIL() << "no PortError";
    } catch (const PortError &e) {
        EXPECT_EQ(std::string(e.what()).rfind(reasonText("/dev/parport0", ENODEV), 0), 0u) << e.what();
    }
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(sys.closed());
    EXPECT_EQ(port.lastError().rfind(reasonText("/dev/parport0", ENODEV), 0), 0u);

    const std::size_t before = sys.calls.size();
    try {
        port.DlPortWritePortUchar(888, 1);
        FAIL() << "no PortError";
    } catch (const PortError &e) {
        EXPECT_NE(std::string(e.what()).find("/dev/parport0"), std::string::npos);
    }
    EXPECT_EQ(sys.calls.size(), before); // nothing reaches the closed device
}
