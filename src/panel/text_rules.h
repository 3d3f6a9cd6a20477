#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The text and number rules every part of the client shares: decimal text and
// integers, decimal text and reals, case changes, trimming, searching and the
// reading of "|"-separated field lists. Texts are byte strings.
namespace volnar::text {

// Reals carry a 64-bit mantissa (long double on x86-64).
using Real = long double;

// Accumulates value * 10 + digit over the text. Returns wraps modulo 2^32 on
// overflow (never undefined behaviour). See text_rules.cpp for what other
// characters do.
std::int32_t DecimalToInt(std::string_view text);

// Optional "-", then the digits without leading zeros; 0 is "0".
std::string IntToDecimal(std::int32_t value);

// Leading spaces, optional sign, digits with at most one ".", optional
// exponent; at most 19 significant digits. Anything else yields NaN.
Real DecimalToReal(std::string_view text);

// " 0" for zero, "ERROR" for NaN, "+INFINITY"/"-INFINITY", otherwise sign
// character (" " or "-"), integer part, and "." with exactly `decimals` digits
// (capped at 15, at most 16 significant digits in all); 1e16 and above in
// scientific form with a four-digit exponent.
std::string RealToDecimal(Real value, int decimals);

Real RealMultiply(Real a, Real b);
Real RealDivide(Real a, Real b);

// Results of RealCompare.
inline constexpr int kCompareNotANumber = 0;
inline constexpr int kCompareEqual = 1;
inline constexpr int kCompareGreater = 2;
inline constexpr int kCompareSmaller = 4;
int RealCompare(Real a, Real b);

void ToUpperAscii(std::string& text);
void ToLowerAscii(std::string& text);

// Copy cut after the last character that is "!" or higher (bytes above 0x7F
// count as text); leading blanks stay.
std::string RightTrim(std::string_view text);

// True when both texts are equal and not empty.
bool TextEquals(std::string_view a, std::string_view b);

// Position (from 1) of the first occurrence of pattern at or after position
// start (from 1); 0 when there is none.
int FindText(int start, std::string_view text, std::string_view pattern);
bool BeginsWith(std::string_view text, std::string_view pattern);

// Reads a field list strictly left to right. Fields are kept whole. After the
// last field, further reads yield the last field again.
class FieldReader {
public:
    explicit FieldReader(std::string_view value) : m_value(value) {}
    std::string_view Next();
    std::size_t Cursor() const { return m_cursor; }

private:
    std::string_view m_value;
    std::size_t m_cursor = 0;
};

}  // namespace volnar::text
