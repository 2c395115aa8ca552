#include "runtime/NumberText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tervalo {

namespace {
char g_separator = '.';

std::string withSeparator(std::string s)
{
    if (g_separator != '.')
        for (char &c : s)
            if (c == '.')
                c = g_separator;
    return s;
}

void dropTrailingZeros(std::string &mantissa)
{
    if (mantissa.find('.') == std::string::npos)
        return;
    while (!mantissa.empty() && mantissa.back() == '0')
        mantissa.pop_back();
    if (!mantissa.empty() && mantissa.back() == '.')
        mantissa.pop_back();
}
} // namespace

void NumberText::setDecimalSeparator(char c)
{
    g_separator = c;
}
char NumberText::decimalSeparator()
{
    return g_separator;
}

std::string NumberText::whole(long long v)
{
    return std::to_string(v);
}

std::string NumberText::general(long double v, int digits)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v < 0 ? "-Inf" : "Inf";
    if (v == 0)
        return "0";
    // Round to the significant digits first, then decide the notation from
    // the exponent of the rounded value.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Le", digits - 1, v);
    const char *e = std::strchr(buf, 'e');
    const int exponent = std::atoi(e + 1);
    if (exponent < -5 || exponent >= digits) {
        std::string mantissa(static_cast<const char *>(buf), e);
        dropTrailingZeros(mantissa);
        char exp[16];
        std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return withSeparator(mantissa + exp);
    }
    const int decimals = digits - 1 - exponent;
    std::snprintf(buf, sizeof buf, "%.*Lf", decimals < 0 ? 0 : decimals, v);
    std::string s(buf);
    dropTrailingZeros(s);
    if (s == "-0")
        s = "0";
    return withSeparator(s);
}

std::string NumberText::single(float v)
{
    return general(static_cast<long double>(v), 7);
}

std::string NumberText::dbl(double v)
{
    return general(static_cast<long double>(v), 15);
}

std::string NumberText::axisValue(double v)
{
    // "###0.0": one decimal, halves away from zero. Work on the decimal text
    // of the double so that 2.25 (exact) rounds to 2.3 and 2.05 (stored as
    // 2.04999...) to 2.0, as a decimal formatter does.
    if (!std::isfinite(v))
        return general(v, 15);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17Lf", static_cast<long double>(std::fabs(v)));
    std::string digits(buf);
    const std::size_t dot = digits.find('.');
    std::string intPart = digits.substr(0, dot);
    const int tenth = digits[dot + 1] - '0';
    const std::string rest = digits.substr(dot + 2);
    bool roundUp = !rest.empty() && rest[0] >= '5';
    long double scaled = std::stold(intPart) * 10 + tenth + (roundUp ? 1 : 0);
    long double value = scaled / 10;
    if (v < 0)
        value = -value;
    // read back and write in shortest form
    std::snprintf(buf, sizeof buf, "%.1Lf", value);
    std::string s(buf);
    dropTrailingZeros(s);
    if (s == "-0")
        s = "0";
    return withSeparator(s);
}

bool NumberText::parse(const std::string &text, double &out)
{
    std::string s;
    for (char c : text) {
        if (c == g_separator)
            c = '.';
        s.push_back(c);
    }
    // trim
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return false;
    s = s.substr(b, s.find_last_not_of(" \t") - b + 1);
    char *end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || *end != '\0')
        return false;
    out = v;
    return true;
}

} // namespace tervalo
