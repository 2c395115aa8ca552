#pragma once
// The actuator word: the 12-bit actuator value (0..4095) as binary text and
// as the two register bytes that carry it to the kit.
//
//   data register    (base)     W11 .. W4
//   control register (base + 2) W3 .. W0 XOR 11 (binary 1011)
//
// Bits 0, 1 and 3 of the PC's control register are inverted between the
// register and the connector, so the XOR puts W3..W0 on the lines unchanged.
// The all-zero word is therefore data 0, control 11.

#include "plant/PortDriver.h"

#include <cstdint>
#include <string>

namespace tervalo {

class ActuatorOutput {
public:
    // Control byte of the all-zero word.
    static constexpr std::uint8_t ControlInversion = 11;
    static constexpr int WordBits = 12;

    // Binary digits of n, most significant first, without leading zeros:
    // 0 -> "0", 5 -> "101", 4095 -> "111111111111". n >= 2^31 gives "".
    // The bits are those of n rounded to a Long (halves to even).
    static std::string Dec2Bin(double n);

    // Value of a text of binary digits, the last character being bit 0.
    // A text longer than 12 characters gives 0. A character that is not a
    // digit raises run-time error 13 (type mismatch).
    static double Bin2Dec(const std::string &s);

    // Dec2Bin(v) padded on the left with "0" to 12 characters.
    static std::string actuatorBits(int v);

    // Characters 1..8 and 9..12 of a 12-character word text.
    static std::string dataBits(const std::string &bits12);
    static std::string controlBits(const std::string &bits12);

    // Register bytes of a 12-character word text: Bin2Dec of characters
    // 1..8; Bin2Dec of characters 9..12 XOR 11.
    static std::uint8_t dataByte(const std::string &bits12);
    static std::uint8_t controlByte(const std::string &bits12);

    // Put out actuator value v: always the data register first, then the
    // control register.
    static void writeWord(PortDriver &port, std::int32_t base, int v);

    // Put out the all-zero word: data 0, control 11.
    static void writeZeroWord(PortDriver &port, std::int32_t base);
};

} // namespace tervalo
