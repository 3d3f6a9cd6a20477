// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <locale.h>
#include <stdlib.h>

#include "core/text_rules.h"

namespace volnar::text {
namespace {

constexpr Real kInf = std::numeric_limits<Real>::infinity();
constexpr Real kNaN = std::numeric_limits<Real>::quiet_NaN();

TEST(RealToDecimal, FormatsByTheRules) {
    const struct {
        Real value;
        int decimals;
        std::string_view expected;
    } cases[] = {
        {12.3456L, 2, " 12.35"},
        {-0.5L, 3, "-0.500"},
        {0.0L, 0, " 0"},
        {0.0L, 15, " 0"},
        {-0.0L, 3, " 0"},
        {7.5L, 0, " 8"},
        {6.5L, 0, " 6"},
        {-12345.5L, 0, "-12346"},
        {0.5L, 0, " 0"},
        {0.75L, 0, " 1"},
        {0.4999L, 0, " 0"},
        {4503599627370496.5L, 0, " 4503599627370496"},  // 2^52 + 1/2: tie to even
        {4503599627370497.5L, 0, " 4503599627370498"},
        {1e-4950L, 0, " 0"},   // subnormal
        {0.125L, 2, " 0.12"},  // exact binary tie: to even
        {0.375L, 2, " 0.38"},
        {1.5L, 20, " 1.500000000000000"},  // capped at 15
        {1.5L, INT_MAX, " 1.500000000000000"},
        {1.5L, -1, " 2"},  // negative counts as 0
        {1.5L, INT_MIN, " 2"},
        {0.25L, 1, " 0.2"},
        {0.999L, 2, " 1.00"},
        {9.996L, 2, " 10.00"},
        {42.0L, 3, " 42.000"},
        {-0.001L, 2, "-0.00"},  // a negative reading keeps its sign
        {-1e-300L, 15, "-0.000000000000000"},
        {1e-300L, 2, " 0.00"},
        {LDBL_TRUE_MIN, 15, " 0.000000000000000"},
        {0.000123456789L, 15, " 0.000123456789000"},
        // At most 16 significant digits: d is lowered for big integer parts.
        {1234567890123.456L, 5, " 1234567890123.456"},
        {123456789012345.678L, 4, " 123456789012345.7"},
        {1e15L, 15, " 1000000000000000"},
        {9999999999999999.0L, 2, " 9999999999999999"},
        {-9999999999999999.0L, 0, "-9999999999999999"},
        // A carry into a 17th digit lowers d once more.
        {999999999999999.96875L, 1, " 1000000000000000"},
        // A carry to 1e16 itself switches to the scientific form.
        {9999999999999999.5L, 0, " 1.000000000000000E+0016"},
        {1e16L, 2, " 1.000000000000000E+0016"},
        {-1e16L, 0, "-1.000000000000000E+0016"},
        {123456789012345678.0L, 3, " 1.234567890123457E+0017"},
        {1e300L, 2, " 1.000000000000000E+0300"},
        {LDBL_MAX, 2, " 1.189731495357232E+4932"},
        {-LDBL_MAX, 2, "-1.189731495357232E+4932"},
        {kNaN, 2, "ERROR"},
        {-kNaN, 2, "ERROR"},
        {kInf, 2, "+INFINITY"},
        {-kInf, 2, "-INFINITY"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RealToDecimal(c.value, c.decimals), c.expected)
            << static_cast<double>(c.value) << " d=" << c.decimals;
        // The shown value as a number, without the text: the same bits
        // (NaN for "ERROR" and the infinities, whose texts read as no number).
        const Real viaText = DecimalToReal(c.expected);
        const Real rounded = RoundToDecimals(c.value, c.decimals);
        EXPECT_TRUE(std::isnan(viaText) ? std::isnan(rounded)
                                        : std::memcmp(&viaText, &rounded, 10) == 0)
            << static_cast<double>(c.value) << " d=" << c.decimals;
    }
}

TEST(RealToDecimal, RoundsTheScaledBinaryValueNotItsDecimalExpansion) {
    // 2.675 is stored slightly below 2.675, but its product with 100 rounds to
    // exactly 267.5 in 64-bit mantissa arithmetic; the tie then goes to even.
    // A printf-style formatter (exact binary value) would answer 2.67.
    const Real value = DecimalToReal("2.675");
    char exact[64];
    std::snprintf(exact, sizeof exact, "%.22Lf", value);
    ASSERT_TRUE(BeginsWith(std::string(exact).substr(2), "67499999")) << exact;
    ASSERT_EQ(value * 100, 267.5L);
    EXPECT_EQ(RealToDecimal(value, 2), " 2.68");
}

TEST(RealToDecimal, IgnoresTheProcessLocale) {
    // Qt sets the process locale from the environment; output must not change.
    const char* const previous = setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "C.UTF-8"}) {
        if (setlocale(LC_NUMERIC, name) == nullptr) {
            continue;
        }
        EXPECT_EQ(RealToDecimal(1.5e20L, 2), " 1.500000000000000E+0020") << name;
        EXPECT_EQ(RealToDecimal(DecimalToReal("1.25e-1"), 2), " 0.12") << name;
        EXPECT_EQ(DecimalToReal("1.5e40"), 15e39L) << name;
    }
    setlocale(LC_NUMERIC, saved.c_str());
}

// The rest of the syntax: DecimalToReal.IsCorrectlyRounded.
TEST(DecimalToReal, AcceptsTheNumberSyntax) {
    EXPECT_EQ(DecimalToReal("  +1.5e2"), 150.0L);
    EXPECT_TRUE(std::signbit(DecimalToReal("-0")));
    EXPECT_FALSE(std::signbit(DecimalToReal("0")));
}

TEST(DecimalToReal, RejectsEverythingElse) {
    const std::string_view cases[] = {
        "12a", "1.2.3", ".", "", " ", "+", "-", "+.", "e5", "1e", "1e+", "1e5x", "1 ", "\t1", "1,5",
        "0x10", "inf", "nan", "++1", "+-1", "1e1.5", "1ee5", "1e--5",
        // 20 significant digits, trailing zeros counted
        "12345678901234567890", "1.0000000000000000000", "10000000000000000000",
        "0.12345678901234567890", std::string_view("1\0", 2)  // an embedded NUL byte
    };
    for (const auto& text : cases) {
        EXPECT_TRUE(std::isnan(DecimalToReal(text))) << '"' << text << '"';
    }
}

// Reading and rounding at once gives the very bits of the two steps, for
// plain decimals of every length (ties "…5" and "…50" included), with signs,
// leading zeros, exponents and texts that are no number.
TEST(DecimalToRealRounded, GivesTheBitsOfRoundToDecimalsOfDecimalToReal) {
    std::mt19937 random(20261207);
    const auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) {
            text.push_back(static_cast<char>('0' + random() % 10));
        }
        return text;
    };
    std::vector<std::string> texts = {"2.675",   "0.125",  "-0.0001",
                                      "0",       "-0",     "0.000",
                                      "12.3450", "9.9995", "99999999999999.95",
                                      "1e3",     "1.5E-2", " 7.25",
                                      "+3.5",    "ERROR",  "",
                                      ".",       "5.",     ".5",
                                      "1.2.3",   "4 "};
    for (int k = 0; k < 100000; ++k) {
        std::string text = random() % 4 == 0 ? "-" : "";
        text += digits(static_cast<int>(random() % 12));
        if (random() % 8 != 0) {
            text += '.' + digits(static_cast<int>(random() % 21));
        }
        if (random() % 3 == 0) {
            text += '5';  // a tie when the decimals end before it
            text += std::string(random() % 3, '0');
        }
        texts.push_back(text);
    }
    const auto same = [](Real a, Real b) {
        return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, 10) == 0;
    };
    for (const std::string& text : texts) {
        const int decimals = static_cast<int>(random() % 19) - 1;
        const Real value = DecimalToReal(text);
        const ReadAndRounded both = DecimalToRealRounded(text, decimals);
        ASSERT_TRUE(same(both.value, value)) << text;
        ASSERT_TRUE(same(both.rounded, RoundToDecimals(value, decimals)))
            << text << " d=" << decimals;
        // Rounding a number is rounding its text, also for the binary
        // values an ammeter's current is computed as.
        for (const Real number : {value, value * 1.7L, value / 3}) {
            ASSERT_TRUE(same(RoundToDecimals(number, decimals),
                             DecimalToReal(RealToDecimal(number, decimals))))
                << text << " d=" << decimals;
        }
    }
}

TEST(DecimalToReal, IsCorrectlyRounded) {
    // The C library's strtold rounds correctly; every text must agree with it.
    const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    ASSERT_NE(c, static_cast<locale_t>(nullptr));
    // clang-format off
    const char* const texts[] = {
        "0.1", "0.2", "0.3", "2.675", "12.3456", "0.0125", "9007199254740993",
        "1844674407370955161e-10", "1234567890123456789e27", "1234567890123456789e-27",
        "1234567890123456789e28", "1234567890123456789e-28", "3.14159265358979323",
        "1e-27", "1e27", "1e28", "1e-28", "4.9e-324", "1.7976931348623157e308",
        "9999999999999999999e-4951", "0.0000000000000000000000000000001",
        // the number syntax: lone point, exponent forms, leading zeros,
        // 19 significant digits, overflow to infinity, underflow, subnormal
        ".5", "5.", "1E3", "1e+3", "1e-3", "007", "0", "0.000", "1234567890123456789",
        "0001234567890123456789", "0.0001234567890123456789", ".1234567890123456789",
        "1.234567890123456789e-10", "1e4932", "1e5000", "1e-5000", "1e-4950",
        "0e999999999999999999999999", "1e99999999999999999999999"};
    // clang-format on
    for (const char* text : texts) {
        const Real expected = strtold_l(text, nullptr, c);
        EXPECT_EQ(DecimalToReal(text), expected) << text;
        EXPECT_EQ(DecimalToReal(std::string("-") + text), -expected) << text;
    }
    freelocale(c);
}

TEST(DecimalToReal, LongTextsOfZerosKeepTheirScale) {
    std::string text = "0." + std::string(100000, '0') + "1e100001";
    EXPECT_EQ(DecimalToReal(text), 1.0L);
    text = std::string(100000, '0') + "25";
    EXPECT_EQ(DecimalToReal(text), 25.0L);
}

TEST(DecimalToInt, AccumulatesDigitsAndWraps) {
    const std::pair<std::string_view, std::int32_t> cases[] = {
        {"0", 0},
        {"123", 123},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN},
        {"4294967295", -1},
        {"4294967296", 0},
        {"99999999999", 1215752191},  // 99999999999 mod 2^32
        {"12a", 12},                  // stops at the first non-digit
        {"1.5", 1},
        {"-5", 0},
        {" 5", 0},
        {"", 0},
        {"\xff\x35", 0},  // byte FF, then 5
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(DecimalToInt(text), expected) << text;
    }
    EXPECT_EQ(DecimalToInt(std::string(100000, '9')), -1);  // 10^100000 - 1 mod 2^32
}

TEST(RealCompare, ReportsOrderAndNotANumber) {
    const struct {
        Real a, b;
        int expected;
    } cases[] = {
        {1, 1, kCompareEqual},
        {2, 1, kCompareGreater},
        {1, 2, kCompareSmaller},
        {0.0L, -0.0L, kCompareEqual},
        {kNaN, 1, kCompareNotANumber},
        {1, kNaN, kCompareNotANumber},
        {kNaN, kNaN, kCompareNotANumber},
        {kInf, LDBL_MAX, kCompareGreater},
        {-kInf, -kInf, kCompareEqual},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RealCompare(c.a, c.b), c.expected)
            << static_cast<double>(c.a) << " vs " << static_cast<double>(c.b);
    }
}

TEST(CaseChange, TouchesOnlyAsciiLetters) {
    std::string text = "aZ09 @[`{\xe9\xc9|mixed";
    ToUpperAscii(text);
    EXPECT_EQ(text, "AZ09 @[`{\xe9\xc9|MIXED");
    ToLowerAscii(text);
    EXPECT_EQ(text, "az09 @[`{\xe9\xc9|mixed");
}

TEST(RightTrim, CutsAfterTheLastVisibleByte) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"10.10.10.10  ", "10.10.10.10"},
        {"   ", ""},
        {"", ""},
        {"  a  ", "  a"},
        {"a\t\r\n\x01", "a"},
        {"!", "!"},
        {"a\x7f", "a\x7f"},
        {"a\x80", "a\x80"},
        {"a\xff ", "a\xff"},
        {std::string_view("a\0\0", 3), "a"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(RightTrim(text), expected) << '"' << text << '"';
    }
}

TEST(FindText, FindsFromTheStartPosition) {
    const struct {
        int start;
        std::string_view text, pattern;
        int expected;
    } cases[] = {
        {1, "hello", "ll", 3},
        {3, "hello", "ll", 3},
        {4, "hello", "ll", 0},
        {0, "hello", "he", 1},
        {-5, "hello", "he", 1},
        {INT_MIN, "hello", "o", 5},
        {2, "aaa", "aa", 2},
        {1, "hello", "hello!", 0},
        {1, "", "x", 0},
        {6, "hello", "", 6},
        {7, "hello", "", 0},
        {INT_MAX, "hello", "o", 0},
        {1, "1.3.6.1.4.1.32473.3.1.2.77", "32473", 13},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindText(c.start, c.text, c.pattern), c.expected)
            << c.start << " '" << c.text << "' '" << c.pattern << "'";
    }
}

TEST(TextEqualsAndBeginsWith, CompareWholeBytes) {
    EXPECT_FALSE(TextEquals("", "")) << "an empty text equals nothing";
    EXPECT_TRUE(TextEquals("YES", "YES"));
    EXPECT_FALSE(TextEquals("YES", "yes"));
    EXPECT_FALSE(TextEquals("YES", "YE"));
    EXPECT_TRUE(BeginsWith("1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.5"));
    EXPECT_FALSE(BeginsWith("1.3.6", "1.3.6.1"));
    EXPECT_FALSE(BeginsWith("abc", "bc"));
    EXPECT_TRUE(BeginsWith("", ""));
}

std::vector<std::string> ReadFields(std::string_view value, int count) {
    FieldReader reader(value);
    std::vector<std::string> fields;
    for (int i = 0; i < count; ++i) {
        fields.emplace_back(reader.Next());
    }
    return fields;
}

TEST(FieldReader, ReadsLeftToRightRepeatsTheLastFieldAndKeepsLongFieldsWhole) {
    using Fields = std::vector<std::string>;
    EXPECT_EQ(ReadFields("a|b|c", 4), (Fields{"a", "b", "c", "c"}));
    EXPECT_EQ(ReadFields("a||c", 3), (Fields{"a", "", "c"}));
    EXPECT_EQ(ReadFields("", 2), (Fields{"", ""}));
    EXPECT_EQ(ReadFields("|", 3), (Fields{"", "", ""}));
    EXPECT_EQ(ReadFields("a|b|", 4), (Fields{"a", "b", "", ""}));
    EXPECT_EQ(ReadFields("abc", 2), (Fields{"abc", "abc"}));
    EXPECT_EQ(ReadFields(std::string_view("a\0b|c", 5), 2), (Fields{std::string("a\0b", 3), "c"}));
    // A long field is kept whole and the cursor moves past it.
    const std::string big(100000, 'x');
    const std::string value = "a|" + big + "|z";
    FieldReader reader(value);
    EXPECT_EQ(reader.Cursor(), 0U);
    EXPECT_EQ(reader.Next(), "a");
    EXPECT_EQ(reader.Cursor(), 2U);
    EXPECT_EQ(reader.Next(), big);
    EXPECT_EQ(reader.Cursor(), big.size() + 3);
    EXPECT_EQ(reader.Next(), "z");
    EXPECT_EQ(reader.Cursor(), big.size() + 3);
    EXPECT_EQ(reader.Next(), "z");
}

// The word-at-a-time search and comparison against plain byte loops: a bar
// and a differing byte at every offset of a word, beside bytes one off '|'
// or with the high bit set, which a sloppy word trick takes for a bar.
TEST(FieldReaderAndKeepBytes, AgreeWithAByteLoopAtEveryOffset) {
    const std::string alphabet = std::string(
        "|{}\xfc\xfd\xff\x00"
        "a ",
        9);
    std::mt19937 random(7);
    for (int round = 0; round < 20000; ++round) {
        std::string value(static_cast<std::size_t>(random() % 40), 'x');
        for (char& c : value) {
            c = alphabet[random() % alphabet.size()];
        }
        std::vector<std::string> expected;
        std::size_t start = 0;
        for (std::size_t bar; (bar = value.find('|', start)) != std::string::npos;
             start = bar + 1) {
            expected.emplace_back(value.substr(start, bar - start));
        }
        expected.emplace_back(value.substr(start));
        ASSERT_EQ(ReadFields(value, static_cast<int>(expected.size())), expected)
            << testing::PrintToString(value);

        std::string kept = value;
        std::string other = value;
        if (!other.empty()) {
            other[random() % other.size()] ^= static_cast<char>(1 << (random() % 8));
        }
        EXPECT_EQ(KeepBytes(kept, other), other != value) << testing::PrintToString(value);
        EXPECT_EQ(kept, other);
        EXPECT_FALSE(KeepBytes(kept, other));
    }
}

}  // namespace
}  // namespace volnar::text
