#include "core/station_text.h"

#include <gtest/gtest.h>

#include "support/param_name.h"
#include "support/qt_print.h"

namespace volnar {
namespace {

// Every byte reads as one character and goes back as the same byte.
TEST(StationText, EveryByteRoundTrips) {
    QByteArray all(256, '\0');
    for (int b = 0; b < 256; ++b) {
        all[b] = static_cast<char>(b);
    }
    const QString text = StationText(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(StationBytes(text), all);
    EXPECT_FALSE(FirstUnencodable(text).has_value());
}

struct EncodingCase {
    const char* name;
    QString text;
    QByteArray bytes = {};                 // when it can be sent
    std::optional<char32_t> refused = {};  // the first character it cannot hold
};

VOLNAR_PRINT_CASE_NAME(EncodingCase)

class StationEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(StationEncoding, EncodesOrNamesTheFirstCharacterItCannotHold) {
    const EncodingCase& c = GetParam();
    EXPECT_EQ(FirstUnencodable(c.text), c.refused);
    if (!c.refused) {
        EXPECT_EQ(StationBytes(c.text), c.bytes);
        EXPECT_EQ(StationText(c.bytes), c.text);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Windows1252, StationEncoding,
    ::testing::Values(
        EncodingCase{.name = "Umlaut", .text = QStringLiteral("Pumpe S\u00fcd"), .bytes = "Pumpe S\xfc" "d"},
        EncodingCase{.name = "Euro", .text = QStringLiteral("5 \u20ac \u2013 \u201cok\u201d"), .bytes = "5 \x80 \x96 \x93ok\x94"},
        EncodingCase{.name = "NoBreakSpace", .text = QStringLiteral("a\u00a0b"), .bytes = "a\xa0" "b"},
        EncodingCase{.name = "UndefinedByteReadsAsControl", .text = QString(QChar(0x81)), .bytes = "\x81"},
        EncodingCase{.name = "Cyrillic", .text = QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"), .refused = U'\u041d'},
        EncodingCase{.name = "ControlThatIsEuroByte", .text = QString(QChar(0x80)), .refused = U'\u0080'},
        EncodingCase{.name = "Emoji", .text = QStringLiteral("ok \U0001F600"), .refused = U'\U0001F600'},
        EncodingCase{.name = "LoneSurrogate", .text = QString(QChar(0xD800)), .refused = char32_t{0xD800}}),
    ::volnar::testing::ByCaseName{});
// clang-format on

struct CheckCase {
    const char* name;
    StationField field;
    QString text;
    QString contains = {};  // empty: accepted
};

VOLNAR_PRINT_CASE_NAME(CheckCase)

class StationTextCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(StationTextCheck, RefusesWithABoxNamingFieldAndReason) {
    const CheckCase& c = GetParam();
    const auto error = CheckStationText(c.field, c.text);
    if (c.contains.isEmpty()) {
        EXPECT_FALSE(error.has_value()) << qPrintable(error.value_or(QString()));
        return;
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains(QStringLiteral("\"%1\"").arg(c.field.name))) << qPrintable(*error);
    EXPECT_TRUE(error->contains(c.contains)) << qPrintable(*error);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Fields, StationTextCheck,
    ::testing::Values(
        CheckCase{.name = "Fits", .field = {QStringLiteral("Relay Name"), 19, true}, .text = QString(19, u'\u00e9')},
        CheckCase{.name = "Cyrillic", .field = {QStringLiteral("Relay Name"), 19, true}, .text = QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"), .contains = QStringLiteral("\"\u041d\" (U+041D)")},
        CheckCase{.name = "Bar", .field = {QStringLiteral("Station Name"), 48, true}, .text = QStringLiteral("a|b"), .contains = QStringLiteral("\"|\"")},
        CheckCase{.name = "BarAllowed", .field = {QStringLiteral("Notes"), 0, false}, .text = QStringLiteral("a|b")},
        CheckCase{.name = "TooLong", .field = {QStringLiteral("Amp Rating"), 6, false}, .text = QStringLiteral("1234567"), .contains = QStringLiteral("at most 6 characters")},
        CheckCase{.name = "EmojiCountsAsOneCharacterNamed", .field = {QStringLiteral("Notes"), 0, false}, .text = QStringLiteral("\U0001F600"), .contains = QStringLiteral("U+1F600")}),
    ::volnar::testing::ByCaseName{});
// clang-format on

struct LinesCase {
    const char* name;
    QString station;  // what the station holds
    QString edited;   // what the edit gives back
    QString sent;
};

VOLNAR_PRINT_CASE_NAME(LinesCase)

class MultiLineText : public ::testing::TestWithParam<LinesCase> {};

TEST_P(MultiLineText, UnchangedTextGoesBackByteForByte) {
    const LinesCase& c = GetParam();
    EXPECT_EQ(StationLines(c.edited, c.station, u"\r\n"), c.sent);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Lines, MultiLineText,
    ::testing::Values(
        LinesCase{.name = "CrLfKept", .station = QStringLiteral("a\r\nb"), .edited = QStringLiteral("a\nb"), .sent = QStringLiteral("a\r\nb")},
        LinesCase{.name = "LoneCrKept", .station = QStringLiteral("a\rb\r\nc\nd"), .edited = QStringLiteral("a\u2029b\u2029c\u2029d"), .sent = QStringLiteral("a\rb\r\nc\nd")},
        LinesCase{.name = "NoBreakSpaceKept", .station = QStringLiteral("a\u00a0b"), .edited = QStringLiteral("a\u00a0b"), .sent = QStringLiteral("a\u00a0b")},
        LinesCase{.name = "ChangedUsesTheLineBreak", .station = QStringLiteral("a\rb"), .edited = QStringLiteral("a\nb!"), .sent = QStringLiteral("a\r\nb!")}),
    ::volnar::testing::ByCaseName{});
// clang-format on

}  // namespace
}  // namespace volnar
