#include "plant/ActuatorOutput.h"
#include "plant/MemoryPort.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tervalo;

TEST(ActuatorOutputText, Dec2BinTable)
{
    const struct {
        double n;
        const char *bits;
    } cases[] = {
        {0, "0"},
        {1, "1"},
        {5, "101"},
        {4095, "111111111111"},
        {4096, "1000000000000"},
        {2147483647.0, "1111111111111111111111111111111"},
        {2147483648.0, ""},
        {1e12, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ActuatorOutput::Dec2Bin(c.n), c.bits) << "n = " << c.n;
}

TEST(ActuatorOutputText, Bin2DecTable)
{
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"1", 1},
        {"101", 5},
        {"0101", 5},
        {"111111111111", 4095},
        {"1000000000000", 0}, // 13 characters: too long
    };
    for (const auto &c : cases)
        EXPECT_EQ(ActuatorOutput::Bin2Dec(c.text), c.value) << "text = \"" << c.text << "\"";
}

TEST(ActuatorOutputText, Bin2DecRejectsNonDigits)
{
    try {
        ActuatorOutput::Bin2Dec("10x1");
        FAIL() << "no error raised";
    } catch (const RuntimeError &e) {
        EXPECT_EQ(e.number(), 13);
    }
}

TEST(ActuatorOutputText, RegisterBytesOfTheWord)
{
    const struct {
        int v;
        const char *bits;
        int data;
        int control;
    } cases[] = {
        {0, "000000000000", 0, 11},
        {1, "000000000001", 0, 10},
        {1300, "010100010100", 81, 15},
        {4095, "111111111111", 255, 4},
    };
    for (const auto &c : cases) {
        const std::string bits = ActuatorOutput::actuatorBits(c.v);
        EXPECT_EQ(bits, c.bits) << "v = " << c.v;
        EXPECT_EQ(ActuatorOutput::dataBits(bits), std::string(c.bits).substr(0, 8));
        EXPECT_EQ(ActuatorOutput::controlBits(bits), std::string(c.bits).substr(8, 4));
        EXPECT_EQ(ActuatorOutput::dataByte(bits), c.data) << "v = " << c.v;
        EXPECT_EQ(ActuatorOutput::controlByte(bits), c.control) << "v = " << c.v;
    }
}

TEST(ActuatorOutputText, EveryValueSurvivesTheTwoRegisters)
{
    for (int v = 0; v <= 4095; ++v) {
        const std::string bits = ActuatorOutput::actuatorBits(v);
        const int data = ActuatorOutput::dataByte(bits);
        const int control = ActuatorOutput::controlByte(bits);
        ASSERT_EQ(control & 0xF0, 0) << "v = " << v;
        ASSERT_EQ(data * 16 + (control ^ 11), v);
    }
}

TEST(ActuatorOutputPort, WordGoesDataFirstThenControl)
{
    MemoryPort port(632);
    ActuatorOutput::writeWord(port, 632, 1300);
    ActuatorOutput::writeWord(port, 632, 4095);
    ActuatorOutput::writeZeroWord(port, 632);
    const std::vector<std::pair<int, int>> expected = {{632, 81}, {634, 15}, {632, 255}, {634, 4}, {632, 0}, {634, 11}};
    ASSERT_EQ(port.writes().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(port.writes()[i].port, expected[i].first) << "write " << i;
        EXPECT_EQ(port.writes()[i].value, expected[i].second) << "write " << i;
    }
}

TEST(ActuatorOutputPort, FailingPortWritesNothingFurther)
{
    MemoryPort port;
    port.failAfter(1);
    EXPECT_THROW(ActuatorOutput::writeWord(port, 888, 1300), PortError);
    ASSERT_EQ(port.writes().size(), 1u);
    EXPECT_EQ(port.writes()[0].port, 888);
}
