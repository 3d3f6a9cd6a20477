// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The text and number rules every part of the client shares: decimal text and
// integers, decimal text and reals, case changes, trimming, searching and the
// reading of "|"-separated field lists. Texts are byte strings; nothing here
// depends on the process locale, and no input makes these functions fail or
// read outside the given text.
namespace volnar::text {

// Reals carry a 64-bit mantissa (long double on x86-64).
using Real = long double;

// Accumulates value * 10 + digit from the start of the text and stops at the
// first byte that is not a digit 0-9 (so "12a" is 12, "-5", " 5" and "" are 0:
// there is no sign and no blank skipping). Overflow wraps modulo 2^32 (the
// accumulation is unsigned; never undefined behaviour).
std::int32_t DecimalToInt(std::string_view text);

// Leading spaces, optional "+" or "-", digits with at most one ".", optional
// exponent ("e" or "E", optional sign, at least one digit); at most 19
// significant digits (leading zeros do not count, trailing zeros do). Anything
// else, trailing blanks included, yields NaN. The result is the correctly
// rounded long double; values beyond its range give +/-infinity or zero.
Real DecimalToReal(std::string_view text);

// " 0" for zero (either sign), "ERROR" for NaN, "+INFINITY"/"-INFINITY".
// Otherwise the sign character (" " or "-"), the integer part ("0" below 1)
// and, when decimals > 0, "." with exactly that many digits. `decimals` is
// capped at 15 and a negative count is taken as 0; it is lowered further so
// that at most 16 significant digits are shown. The digits come from the value
// scaled by 10^decimals in long double arithmetic and rounded to the nearest
// integer, ties to even. A negative value that rounds to zero keeps its sign
// ("-0.00"): it tells the operator the reading is below zero. Magnitudes of
// 1e16 and above (also after rounding) are written as sign character, one
// digit, ".", 15 digits, "E", "+" or "-", and a four-digit exponent.
std::string RealToDecimal(Real value, int decimals);

// DecimalToReal(RealToDecimal(value, decimals)) without the text: the value
// as it is shown, as a number.
Real RoundToDecimals(Real value, int decimals);

// DecimalToReal(text) and RoundToDecimals of it, the text read once.
struct ReadAndRounded {
    Real value;
    Real rounded;
};
ReadAndRounded DecimalToRealRounded(std::string_view text, int decimals);

Real RealMultiply(Real a, Real b);
Real RealDivide(Real a, Real b);

// Results of RealCompare.
inline constexpr int kCompareNotANumber = 0;
inline constexpr int kCompareEqual = 1;
inline constexpr int kCompareGreater = 2;
inline constexpr int kCompareSmaller = 4;
int RealCompare(Real a, Real b);

// a-z become A-Z (or the reverse); every other byte stays as it is.
void ToUpperAscii(std::string& text);
void ToLowerAscii(std::string& text);
QString ToUpperAscii(QString text);
QString ToLowerAscii(QString text);

// Copy cut after the last byte that is "!" or higher (bytes above 0x7F count
// as text); a text of blanks and control bytes only becomes empty; leading
// blanks stay.
std::string RightTrim(std::string_view text);

// True when both texts are equal and not empty.
bool TextEquals(std::string_view a, std::string_view b);

// Position (from 1) of the first occurrence of pattern at or after position
// start (from 1; values below 1 count as 1); 0 when there is none. An empty
// pattern occurs at start as long as start is within the text or just past it.
int FindText(int start, std::string_view text, std::string_view pattern);

// True when text begins with pattern (an empty pattern always matches).
bool BeginsWith(std::string_view text, std::string_view pattern);

// Makes `kept` hold `value`; false when it already did. A field of the same
// length is overwritten in place (most fields of a record keep their length).
bool KeepBytes(std::string& kept, std::string_view value);

// Reads a "|"-separated field list strictly left to right. Fields are kept
// whole and point into the value given to the constructor, which must outlive
// the reader. An empty field ("a||c") is an empty text. After the last field,
// further reads yield the last field again (a trailing "|" makes that last
// field empty).
class FieldReader final {
public:
    explicit FieldReader(std::string_view value) : m_value(value) {}
    std::string_view Next();
    std::size_t Cursor() const { return m_cursor; }

private:
    std::string_view m_value;
    std::size_t m_cursor = 0;
};

}  // namespace volnar::text
