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
    QByteArray bytes;                 // when it can be sent
    std::optional<char32_t> refused;  // the first character it cannot hold
};

void PrintTo(const EncodingCase& c, std::ostream* os) {
    *os << c.name;
}

class StationEncoding : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(StationEncoding, EncodesOrNamesTheFirstCharacterItCannotHold) {
    const EncodingCase& c = GetParam();
    EXPECT_EQ(FirstUnencodable(c.text), c.refused);
    if (!c.refused) {
        EXPECT_EQ(StationBytes(c.text), c.bytes);
        EXPECT_EQ(StationText(c.bytes), c.text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows1252, StationEncoding,
    ::testing::Values(
        EncodingCase{"Umlaut",
                     QStringLiteral("Pumpe S\u00fcd"),
                     "Pumpe S\xfc"
                     "d",
                     {}},
        EncodingCase{
            "Euro", QStringLiteral("5 \u20ac \u2013 \u201cok\u201d"), "5 \x80 \x96 \x93ok\x94", {}},
        EncodingCase{"NoBreakSpace",
                     QStringLiteral("a\u00a0b"),
                     "a\xa0"
                     "b",
                     {}},
        EncodingCase{"UndefinedByteReadsAsControl", QString(QChar(0x81)), "\x81", {}},
        EncodingCase{"Cyrillic", QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"), {}, U'\u041d'},
        EncodingCase{"ControlThatIsEuroByte", QString(QChar(0x80)), {}, U'\u0080'},
        EncodingCase{"Emoji", QStringLiteral("ok \U0001F600"), {}, U'\U0001F600'},
        EncodingCase{"LoneSurrogate", QString(QChar(0xD800)), {}, char32_t{0xD800}}),
    ::volnar::testing::ByCaseName{});

struct CheckCase {
    const char* name;
    StationField field;
    QString text;
    QString contains;  // empty: accepted
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

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

INSTANTIATE_TEST_SUITE_P(
    Fields, StationTextCheck,
    ::testing::Values(
        CheckCase{"Fits", {QStringLiteral("Relay Name"), 19, true}, QString(19, u'\u00e9'), {}},
        CheckCase{"Cyrillic",
                  {QStringLiteral("Relay Name"), 19, true},
                  QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"),
                  QStringLiteral("\"\u041d\" (U+041D)")},
        CheckCase{"Bar",
                  {QStringLiteral("Station Name"), 48, true},
                  QStringLiteral("a|b"),
                  QStringLiteral("\"|\"")},
        CheckCase{"BarAllowed", {QStringLiteral("Notes"), 0, false}, QStringLiteral("a|b"), {}},
        CheckCase{"TooLong",
                  {QStringLiteral("Amp Rating"), 6, false},
                  QStringLiteral("1234567"),
                  QStringLiteral("at most 6 characters")},
        CheckCase{"EmojiCountsAsOneCharacterNamed",
                  {QStringLiteral("Notes"), 0, false},
                  QStringLiteral("\U0001F600"),
                  QStringLiteral("U+1F600")}),
    ::volnar::testing::ByCaseName{});

struct LinesCase {
    const char* name;
    QString station;  // what the station holds
    QString edited;   // what the edit gives back
    QString sent;
};

void PrintTo(const LinesCase& c, std::ostream* os) {
    *os << c.name;
}

class MultiLineText : public ::testing::TestWithParam<LinesCase> {};

TEST_P(MultiLineText, UnchangedTextGoesBackByteForByte) {
    const LinesCase& c = GetParam();
    EXPECT_EQ(StationLines(c.edited, c.station, u"\r\n"), c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MultiLineText,
    ::testing::Values(LinesCase{"CrLfKept", QStringLiteral("a\r\nb"), QStringLiteral("a\nb"),
                                QStringLiteral("a\r\nb")},
                      LinesCase{"LoneCrKept", QStringLiteral("a\rb\r\nc\nd"),
                                QStringLiteral("a\u2029b\u2029c\u2029d"),
                                QStringLiteral("a\rb\r\nc\nd")},
                      LinesCase{"NoBreakSpaceKept", QStringLiteral("a\u00a0b"),
                                QStringLiteral("a\u00a0b"), QStringLiteral("a\u00a0b")},
                      LinesCase{"ChangedUsesTheLineBreak", QStringLiteral("a\rb"),
                                QStringLiteral("a\nb!"), QStringLiteral("a\r\nb!")}),
    ::volnar::testing::ByCaseName{});

}  // namespace
}  // namespace volnar
