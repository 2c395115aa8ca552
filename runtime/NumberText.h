#pragma once
// Numbers as the program shows them.
//  - whole numbers: plain decimal, "-" when negative, no blank, no zero fill;
//  - Single: general form, at most 7 significant digits, trailing zeros
//    dropped, a zero before the separator ("0.35", "1.2", "0");
//  - Double: the same with at most 15 significant digits;
//  - axis values: "###0.0" (halves away from zero) read back and written in
//    the shortest form ("20", "2.5", "12", "-1.3").
// The decimal separator is the user's regional one; the program sets it once
// at start-up, "." until then.

#include <cstdint>
#include <string>

namespace tervalo {

class NumberText {
public:
    static std::string whole(long long v);
    static std::string single(float v);
    static std::string dbl(double v);
    static std::string axisValue(double v);

    // Reads a decimal number written with either "." or the regional
    // separator; returns false when the text is not a number.
    static bool parse(const std::string &text, double &out);

    static void setDecimalSeparator(char c);
    static char decimalSeparator();

private:
    static std::string general(long double v, int digits);
};

} // namespace tervalo
