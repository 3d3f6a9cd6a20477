// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/text_rules.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include <locale.h>
#include <stdlib.h>

namespace volnar::text {
namespace {

constexpr int kMaxDecimals = 15;
constexpr int kMaxShownDigits = 16;
constexpr int kMaxSignificantInputDigits = 19;
// 10^27 = 2^27 * 5^27 and 5^27 < 2^64: every power up to 27 is exact in a
// 64-bit mantissa, so one multiply or divide by it rounds correctly.
constexpr int kExactPowerLimit = 27;
constexpr long long kExponentCeiling = 1'000'000'000'000'000LL;
constexpr std::uint64_t kShownLimit = 10'000'000'000'000'000ULL;  // 10^16

constexpr std::array<Real, kExactPowerLimit + 1> MakePowers() {
    std::array<Real, kExactPowerLimit + 1> powers{};
    Real p = 1;
    for (auto& entry : powers) {
        entry = p;
        p *= 10;
    }
    return powers;
}
constexpr auto kPowersOfTen = MakePowers();

constexpr std::array<std::uint64_t, 17> MakeIntegerPowers() {
    std::array<std::uint64_t, 17> powers{};
    std::uint64_t p = 1;
    for (auto& entry : powers) {
        entry = p;
        p *= 10;
    }
    return powers;
}
constexpr auto kIntegerPowersOfTen = MakeIntegerPowers();

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int DigitCount(std::uint64_t value) {
    int count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

// The decimal digits of value, written at the end of buffer.
std::string_view RenderDigits(char (&buffer)[48], std::uint64_t value) {
    char* p = buffer + sizeof buffer;
    do {
        *--p = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return {p, static_cast<std::size_t>(buffer + sizeof buffer - p)};
}

// Appends the decimal digits of value, left-padded with zeros to minDigits.
void AppendDigits(std::string& out, std::uint64_t value, int minDigits) {
    char buffer[24];
    int length = 0;
    do {
        buffer[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (length < minDigits) {
        buffer[length++] = '0';
    }
    while (length > 0) {
        out.push_back(buffer[--length]);
    }
}

static_assert(std::numeric_limits<Real>::digits == 64 && sizeof(Real) >= 10,
              "the rounding below reads the x87 extended format");

// Nearest integer, ties to even; scaled is finite, >= 0 and below 2^63. Read
// from the bits of the extended format (64-bit mantissa with an explicit
// integer bit, 15-bit exponent): exact, independent of the FPU rounding mode,
// and without the control-word switches of a long double to integer cast.
std::uint64_t RoundHalfEven(Real scaled) {
    unsigned char bytes[sizeof(Real)];
    std::memcpy(bytes, &scaled, sizeof bytes);
    std::uint64_t mantissa = 0;
    std::uint16_t signAndExponent = 0;
    std::memcpy(&mantissa, bytes, sizeof mantissa);
    std::memcpy(&signAndExponent, bytes + sizeof mantissa, sizeof signAndExponent);
    // scaled = mantissa * 2^(exponent - 63)
    const int exponent = (signAndExponent & 0x7FFF) - 16383;
    if (mantissa == 0 || exponent < -1) {
        return 0;  // below one half
    }
    if (exponent >= 63) {
        return mantissa;  // not reached for the values formatted here
    }
    const int shift = 63 - exponent;  // 1 to 64
    const std::uint64_t whole = shift == 64 ? 0 : mantissa >> shift;
    const std::uint64_t rest =
        shift == 64 ? mantissa : mantissa & ((std::uint64_t{1} << shift) - 1);
    const std::uint64_t half = std::uint64_t{1} << (shift - 1);
    if (rest > half || (rest == half && (whole & 1U) != 0)) {
        return whole + 1;
    }
    return whole;
}

locale_t CLocale() {
    // Created once and kept for the life of the process.
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Sign character, one digit, ".", 15 digits, "E", exponent sign and exactly
// four exponent digits. magnitude is finite and >= 1e16.
std::string Scientific(bool negative, Real magnitude) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, kMaxDecimals);
    std::string out;
    out.reserve(24);
    out.push_back(negative ? '-' : ' ');
    const char* p = buffer;
    const char* const end = result.ec == std::errc() ? result.ptr : buffer;
    // Take the mantissa digits only, whatever separates them.
    int digits = 0;
    for (; p != end && *p != 'e'; ++p) {
        if (IsDigit(*p)) {
            out.push_back(*p);
            if (++digits == 1) {
                out.push_back('.');
            }
        }
    }
    if (digits != kMaxDecimals + 1 || p == end) {
        return "ERROR";  // cannot happen for a finite value
    }
    ++p;  // 'e'
    out.push_back('E');
    char exponentSign = '+';
    if (p != end && (*p == '+' || *p == '-')) {
        exponentSign = *p++;
    }
    out.push_back(exponentSign);
    int exponent = 0;
    for (; p != end && IsDigit(*p); ++p) {
        exponent = exponent * 10 + (*p - '0');
    }
    AppendDigits(out, static_cast<std::uint64_t>(exponent), 4);
    return out;
}

}  // namespace

std::int32_t DecimalToInt(std::string_view text) {
    std::uint32_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c)) {
            break;
        }
        value = value * 10U + static_cast<std::uint32_t>(c - '0');
    }
    return static_cast<std::int32_t>(value);  // modulo 2^32 (C++20)
}

namespace {

// The digits of a decimal number: the value is mantissa * 10^scale.
struct DecimalDigits {
    std::uint64_t mantissa = 0;
    int significant = 0;
    long long scale = 0;
};

// Reads digits with at most one point from `at`, stopping at the first
// other character (a second point included, which no number has after it);
// nullopt when there is no digit or more significant digits than a mantissa
// holds.
std::optional<DecimalDigits> ReadDigits(std::string_view text, std::size_t& at) {
    DecimalDigits digits;
    const std::size_t start = at;
    std::size_t point = std::string_view::npos;
    for (; at < text.size(); ++at) {
        const unsigned digit = static_cast<unsigned char>(text[at]) - unsigned{'0'};
        if (digit < 10) {
            // Leading zeros are not significant.
            if (digits.significant != 0 || digit != 0) {
                if (digits.significant == kMaxSignificantInputDigits) {
                    return std::nullopt;
                }
                digits.mantissa = digits.mantissa * 10 + digit;
                ++digits.significant;
            }
        } else if (text[at] == '.' && point == std::string_view::npos) {
            point = at;
        } else {
            break;
        }
    }
    const bool anyDigit = at - start > (point == std::string_view::npos ? 0U : 1U);
    if (!anyDigit) {
        return std::nullopt;
    }
    if (point != std::string_view::npos) {
        digits.scale = -static_cast<long long>(at - point - 1);
    }
    return digits;
}

// Reads "e" or "E", an optional sign and digits up to the end of the text;
// nullopt for anything else.
std::optional<long long> ReadExponent(std::string_view text, std::size_t at) {
    const std::size_t size = text.size();
    if (text[at] != 'e' && text[at] != 'E') {
        return std::nullopt;
    }
    ++at;
    bool negative = false;
    if (at < size && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at == size) {
        return std::nullopt;
    }
    long long exponent = 0;
    for (; at < size; ++at) {
        if (!IsDigit(text[at])) {
            return std::nullopt;
        }
        // Saturate far beyond the range of a long double.
        if (exponent < kExponentCeiling) {
            exponent = exponent * 10 + (text[at] - '0');
        }
    }
    return negative ? -exponent : exponent;
}

// mantissa * 10^scale, correctly rounded.
Real ScaledValue(const DecimalDigits& digits) {
    const long long scale = digits.scale;
    if (digits.significant == 0) {
        return 0;
    }
    if (scale >= -kExactPowerLimit && scale <= kExactPowerLimit) {
        // Both operands are exact, so the single operation rounds correctly.
        const auto m = static_cast<Real>(digits.mantissa);
        return scale >= 0 ? m * kPowersOfTen[static_cast<std::size_t>(scale)]
                          : m / kPowersOfTen[static_cast<std::size_t>(-scale)];
    }
    // Rare: hand a compact, already validated form to the C library,
    // always in the "C" locale whatever the process locale is.
    // mantissa: at most 19 digits; "e-" and at most 17 exponent digits.
    char buffer[48];
    std::string_view mantissa = RenderDigits(buffer, digits.mantissa);
    char compact[48];
    std::size_t length = 0;
    for (const char c : mantissa) {
        compact[length++] = c;
    }
    compact[length++] = 'e';
    if (scale < 0) {
        compact[length++] = '-';
    }
    for (const char c :
         RenderDigits(buffer, static_cast<std::uint64_t>(scale < 0 ? -scale : scale))) {
        compact[length++] = c;
    }
    compact[length] = '\0';
    return strtold_l(compact, nullptr, CLocale());
}

}  // namespace

namespace {

struct ParsedDecimal {
    Real value = std::numeric_limits<Real>::quiet_NaN();
    DecimalDigits digits;
    bool negative = false;
    bool exponent = false;
};

ParsedDecimal ParseDecimal(std::string_view text) {
    ParsedDecimal parsed;
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size && text[i] == ' ') {
        ++i;
    }
    if (i < size && (text[i] == '+' || text[i] == '-')) {
        parsed.negative = text[i] == '-';
        ++i;
    }
    std::optional<DecimalDigits> digits = ReadDigits(text, i);
    if (!digits) {
        return parsed;
    }
    if (i < size) {
        const std::optional<long long> exponent = ReadExponent(text, i);
        if (!exponent) {
            return parsed;
        }
        digits->scale += *exponent;
        parsed.exponent = true;
    }
    parsed.digits = *digits;
    const Real value = ScaledValue(*digits);
    parsed.value = parsed.negative ? -value : value;
    return parsed;
}

}  // namespace

Real DecimalToReal(std::string_view text) {
    return ParseDecimal(text).value;
}

namespace {

// `magnitude` (finite, above 0, below kShownLimit) scaled to the decimals it
// is shown with and rounded half to even; d is 0 and scaled 0 when it must be
// written in the scientific form instead.
struct ShownDigits {
    std::uint64_t scaled = 0;
    int d = -1;
};

ShownDigits ShownDigitsOf(Real magnitude, int decimals) {
    int d = decimals < 0 ? 0 : (decimals > kMaxDecimals ? kMaxDecimals : decimals);
    int integerDigits = 1;
    while (integerDigits < kMaxShownDigits &&
           magnitude >= kPowersOfTen[static_cast<std::size_t>(integerDigits)]) {
        ++integerDigits;
    }
    if (integerDigits + d > kMaxShownDigits) {
        d = kMaxShownDigits - integerDigits;
    }
    for (;;) {
        const std::uint64_t scaled =
            RoundHalfEven(magnitude * kPowersOfTen[static_cast<std::size_t>(d)]);
        if (DigitCount(scaled) <= kMaxShownDigits) {
            return {scaled, d};
        }
        // Rounding carried into one more integer digit.
        if (d == 0) {
            return {};
        }
        --d;
    }
}

}  // namespace

std::string RealToDecimal(Real value, int decimals) {
    if (std::isnan(value)) {
        return "ERROR";
    }
    const bool negative = std::signbit(value);
    if (std::isinf(value)) {
        return negative ? "-INFINITY" : "+INFINITY";
    }
    if (value == 0) {
        return " 0";
    }
    const Real magnitude = std::fabs(value);
    const ShownDigits shown = magnitude >= static_cast<Real>(kShownLimit)
                                  ? ShownDigits{}
                                  : ShownDigitsOf(magnitude, decimals);
    if (shown.d < 0) {
        return Scientific(negative, std::max(magnitude, static_cast<Real>(kShownLimit)));
    }
    std::string out;  // short texts stay in the string's own buffer
    out.push_back(negative ? '-' : ' ');
    const std::uint64_t unit = kIntegerPowersOfTen[static_cast<std::size_t>(shown.d)];
    AppendDigits(out, shown.scaled / unit, 1);
    if (shown.d > 0) {
        out.push_back('.');
        AppendDigits(out, shown.scaled % unit, shown.d);
    }
    return out;
}

Real RoundToDecimals(Real value, int decimals) {
    const Real magnitude = std::fabs(value);
    if (!std::isfinite(value) || value == 0 || magnitude >= static_cast<Real>(kShownLimit)) {
        return DecimalToReal(RealToDecimal(value, decimals));
    }
    ShownDigits shown;
    const int d = decimals < 0 ? 0 : (decimals > kMaxDecimals ? kMaxDecimals : decimals);
    if (magnitude < kPowersOfTen[static_cast<std::size_t>(kMaxDecimals - d)]) {
        // Below 10^(15-d) the decimals are never cut and no carry makes a
        // 17th digit: ShownDigitsOf's first try, without its checks.
        shown = {RoundHalfEven(magnitude * kPowersOfTen[static_cast<std::size_t>(d)]), d};
    } else {
        shown = ShownDigitsOf(magnitude, decimals);
    }
    if (shown.d < 0) {
        return DecimalToReal(RealToDecimal(value, decimals));
    }
    // Both are exact in a long double, so the quotient is the correctly
    // rounded value of the digits, as DecimalToReal gives it.
    const Real rounded = static_cast<Real>(shown.scaled) /
                         static_cast<Real>(kIntegerPowersOfTen[static_cast<std::size_t>(shown.d)]);
    return std::signbit(value) ? -rounded : rounded;
}

// The digits of a plain decimal text rounded as integers. The binary value
// and its scaled product each lie within 2^-64 of the exact decimal one, so
// with at most 15 significant digits the binary rounding falls on the same
// side unless the digits dropped are an exact tie ("…50"), which is left to
// RoundToDecimals, as are texts with an exponent and results that need the
// decimals cut.
ReadAndRounded DecimalToRealRounded(std::string_view text, int decimals) {
    constexpr int kFastSignificantDigits = 15;
    constexpr long long kLargestPower = static_cast<long long>(kIntegerPowersOfTen.size()) - 1;
    const ParsedDecimal parsed = ParseDecimal(text);
    const int d = decimals < 0 ? 0 : (decimals > kMaxDecimals ? kMaxDecimals : decimals);
    const DecimalDigits& digits = parsed.digits;
    const long long fraction = -digits.scale;
    if (std::isnan(parsed.value) || parsed.exponent || digits.significant == 0 ||
        digits.significant > kFastSignificantDigits || fraction < 0 ||
        fraction - d > kLargestPower || digits.significant + d - fraction > kMaxShownDigits) {
        return {parsed.value, RoundToDecimals(parsed.value, decimals)};
    }
    std::uint64_t scaled = digits.mantissa;
    if (fraction <= d) {
        scaled *= kIntegerPowersOfTen[static_cast<std::size_t>(d - fraction)];
    } else {
        const std::uint64_t unit = kIntegerPowersOfTen[static_cast<std::size_t>(fraction - d)];
        const std::uint64_t rest = scaled % unit;
        if (rest * 2 == unit) {
            return {parsed.value, RoundToDecimals(parsed.value, decimals)};
        }
        scaled = scaled / unit + (rest * 2 > unit ? 1 : 0);
    }
    // A carry may add a digit; an integer part of one digit (or none) and
    // the most decimals always fit.
    static_assert(1 + kMaxDecimals <= kMaxShownDigits);
    if (scaled >= kShownLimit) {
        return {parsed.value, RoundToDecimals(parsed.value, decimals)};
    }
    const Real rounded = static_cast<Real>(scaled) /
                         static_cast<Real>(kIntegerPowersOfTen[static_cast<std::size_t>(d)]);
    return {parsed.value, parsed.negative ? -rounded : rounded};
}

void ToUpperAscii(std::string& text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

void ToLowerAscii(std::string& text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
}

QString ToUpperAscii(QString text) {
    for (QChar& c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
            c = QChar(c.unicode() - u'a' + u'A');
        }
    }
    return text;
}

QString ToLowerAscii(QString text) {
    for (QChar& c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() - u'A' + u'a');
        }
    }
    return text;
}

std::string RightTrim(std::string_view text) {
    std::size_t length = text.size();
    while (length > 0 && static_cast<unsigned char>(text[length - 1]) < '!') {
        --length;
    }
    return std::string(text.substr(0, length));
}

bool TextEquals(std::string_view a, std::string_view b) {
    return !a.empty() && a == b;
}

int FindText(int start, std::string_view text, std::string_view pattern) {
    const std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from > text.size()) {
        return 0;
    }
    const std::size_t at = text.find(pattern, from);
    if (at == std::string_view::npos || at >= static_cast<std::size_t>(INT_MAX)) {
        return 0;
    }
    return static_cast<int>(at) + 1;
}

bool BeginsWith(std::string_view text, std::string_view pattern) {
    return text.substr(0, pattern.size()) == pattern;
}

}  // namespace volnar::text
