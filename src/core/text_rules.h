// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstring>
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

inline Real RealMultiply(Real a, Real b) {
    return a * b;
}
inline Real RealDivide(Real a, Real b) {
    return a / b;
}

// Results of RealCompare.
inline constexpr int kCompareNotANumber = 0;
inline constexpr int kCompareEqual = 1;
inline constexpr int kCompareGreater = 2;
inline constexpr int kCompareSmaller = 4;
inline int RealCompare(Real a, Real b) {
    if (a > b) {
        return kCompareGreater;
    }
    if (a < b) {
        return kCompareSmaller;
    }
    // Neither above nor below: equal, or one of them is no number.
    return a == b ? kCompareEqual : kCompareNotANumber;
}

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

// Inline below: called for every field of every status answer.

namespace detail {

inline std::uint64_t LoadWord(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

inline std::uint32_t LoadHalfWord(const char* p) {
    std::uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

// Equal bytes, compared a word at a time: most fields are a few bytes long,
// where a call to memcmp costs more than the comparison.
inline bool SameBytes(const char* a, const char* b, std::size_t size) {
    if (size >= sizeof(std::uint64_t)) {
        std::size_t i = 0;
        for (; i + sizeof(std::uint64_t) < size; i += sizeof(std::uint64_t)) {
            if (LoadWord(a + i) != LoadWord(b + i)) {
                return false;
            }
        }
        // The last word, overlapping the one before where the size is not
        // a multiple of eight.
        const std::size_t last = size - sizeof(std::uint64_t);
        return LoadWord(a + last) == LoadWord(b + last);
    }
    if (size >= sizeof(std::uint32_t)) {
        const std::size_t last = size - sizeof(std::uint32_t);
        return LoadHalfWord(a) == LoadHalfWord(b) &&
               LoadHalfWord(a + last) == LoadHalfWord(b + last);
    }
    for (std::size_t i = 0; i < size; ++i) {
        if (a[i] != b[i]) {
            return false;
        }
    }
    return true;
}

// The offset of the first '|' in the eight bytes of word (little-endian
// order), or 8 when there is none. A byte equal to '|' becomes zero; the
// borrow of the subtraction can mark bytes above a zero byte as well, never
// one below it, so the lowest mark is exact.
inline std::size_t FirstBarIn(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const std::uint64_t x = word ^ (kOnes * static_cast<unsigned char>('|'));
    const std::uint64_t marks = (x - kOnes) & ~x & kHighBits;
    return marks == 0 ? sizeof word : static_cast<std::size_t>(__builtin_ctzll(marks)) / 8;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "FirstBarIn reads bytes in memory order");

}  // namespace detail

inline bool KeepBytes(std::string& kept, std::string_view value) {
    const std::size_t size = value.size();
    if (kept.size() != size) {
        kept.assign(value);
        return true;
    }
    if (detail::SameBytes(kept.data(), value.data(), size)) {
        return false;
    }
    std::memcpy(kept.data(), value.data(), size);
    return true;
}

inline std::string_view FieldReader::Next() {
    const std::size_t size = m_value.size();
    if (m_cursor > size) {
        m_cursor = size;
    }
    // Fields are a few bytes long: eight bytes at a time, then byte by byte.
    const char* const data = m_value.data();
    std::size_t bar = m_cursor;
    for (;;) {
        if (bar + sizeof(std::uint64_t) <= size) {
            const std::size_t at = detail::FirstBarIn(detail::LoadWord(data + bar));
            bar += at;
            if (at < sizeof(std::uint64_t)) {
                break;
            }
            continue;
        }
        while (bar < size && data[bar] != '|') {
            ++bar;
        }
        break;
    }
    if (bar == size) {
        // The end of the text ended the field: the cursor stays, so the next
        // read yields this field again.
        return m_value.substr(m_cursor);
    }
    const std::string_view field = m_value.substr(m_cursor, bar - m_cursor);
    m_cursor = bar + 1;
    return field;
}

}  // namespace volnar::text
