// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/station_text.h"

#include <gtest/gtest.h>

#include "support/qt_print.h"

namespace volnar {
namespace {

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

TEST(StationText, EncodesOrNamesTheFirstCharacterItCannotHold) {
    const struct {
        const char* name;
        QString text;
        QByteArray bytes = {};                 // when it can be sent
        std::optional<char32_t> refused = {};  // the first character it cannot hold
        QString reads = {};                    // what the bytes read as, when not `text`
    } cases[] = {
        // clang-format off
        {.name = "Umlaut", .text = QStringLiteral("Pumpe S\u00fcd"), .bytes = "Pumpe S\xfc" "d"},
        {.name = "Euro", .text = QStringLiteral("5 \u20ac \u2013 \u201cok\u201d"), .bytes = "5 \x80 \x96 \x93ok\x94"},
        {.name = "NoBreakSpace", .text = QStringLiteral("a\u00a0b"), .bytes = "a\xa0" "b"},
        {.name = "UndefinedByteReadsAsControl", .text = QString(QChar(0x81)), .bytes = "\x81"},
        {.name = "DecomposedLettersCompose", .text = QStringLiteral("Cafe\u0301 A\u030a \u212b"), .bytes = "Caf\xe9 \xc5 \xc5", .reads = QStringLiteral("Caf\u00e9 \u00c5 \u00c5")},
        {.name = "MarkWithoutComposedLetter", .text = QStringLiteral("x\u0301"), .refused = U'\u0301'},
        {.name = "Cyrillic", .text = QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"), .refused = U'\u041d'},
        {.name = "ControlThatIsEuroByte", .text = QString(QChar(0x80)), .refused = U'\u0080'},
        {.name = "Emoji", .text = QStringLiteral("ok \U0001F600"), .refused = U'\U0001F600'},
        {.name = "LoneSurrogate", .text = QString(QChar(0xD800)), .refused = char32_t{0xD800}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FirstUnencodable(c.text), c.refused);
        if (!c.refused) {
            EXPECT_EQ(StationBytes(c.text), c.bytes);
            EXPECT_EQ(StationText(c.bytes), c.reads.isEmpty() ? c.text : c.reads);
        }
    }
}

TEST(StationText, RefusesWithABoxNamingFieldAndReason) {
    const struct {
        const char* name;
        StationField field;
        QString text;
        QString contains = {};  // empty: accepted
    } cases[] = {
        // clang-format off
        {.name = "Fits", .field = {QStringLiteral("Relay Name"), 19, true}, .text = QString(19, u'\u00e9')},
        {.name = "DecomposedFitsAsComposed", .field = {QStringLiteral("Relay Name"), 19, true}, .text = QStringLiteral("e\u0301").repeated(19)},
        {.name = "DecomposedCountsComposed", .field = {QStringLiteral("Relay Name"), 19, true}, .text = QStringLiteral("e\u0301").repeated(20), .contains = QStringLiteral("it has 20")},
        {.name = "Cyrillic", .field = {QStringLiteral("Relay Name"), 19, true}, .text = QStringLiteral("\u041d\u0430\u0441\u043e\u0441 2"), .contains = QStringLiteral("\"\u041d\" (U+041D)")},
        {.name = "Bar", .field = {QStringLiteral("Station Name"), 48, true}, .text = QStringLiteral("a|b"), .contains = QStringLiteral("\"|\"")},
        {.name = "BarAllowed", .field = {QStringLiteral("Notes"), 0, false}, .text = QStringLiteral("a|b")},
        {.name = "TooLong", .field = {QStringLiteral("Amp Rating"), 6, false}, .text = QStringLiteral("1234567"), .contains = QStringLiteral("at most 6 characters")},
        {.name = "EmojiCountsAsOneCharacterNamed", .field = {QStringLiteral("Notes"), 0, false}, .text = QStringLiteral("\U0001F600"), .contains = QStringLiteral("U+1F600")},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto error = CheckStationText(c.field, c.text);
        if (c.contains.isEmpty()) {
            EXPECT_FALSE(error.has_value()) << qPrintable(error.value_or(QString()));
            continue;
        }
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->contains(QStringLiteral("\"%1\"").arg(c.field.name)))
            << qPrintable(*error);
        EXPECT_TRUE(error->contains(c.contains)) << qPrintable(*error);
    }
}

// What the station holds, what the edit gives back, what goes out.
TEST(StationText, UnchangedLinesGoBackByteForByte) {
    const struct {
        const char* name;
        QString station, edited, sent;
    } cases[] = {
        // clang-format off
        {.name = "CrLfKept", .station = QStringLiteral("a\r\nb"), .edited = QStringLiteral("a\nb"), .sent = QStringLiteral("a\r\nb")},
        {.name = "LoneCrKept", .station = QStringLiteral("a\rb\r\nc\nd"), .edited = QStringLiteral("a\u2029b\u2029c\u2029d"), .sent = QStringLiteral("a\rb\r\nc\nd")},
        {.name = "NoBreakSpaceKept", .station = QStringLiteral("a\u00a0b"), .edited = QStringLiteral("a\u00a0b"), .sent = QStringLiteral("a\u00a0b")},
        {.name = "ChangedWritesCrLf", .station = QStringLiteral("a\rb"), .edited = QStringLiteral("a\nb!"), .sent = QStringLiteral("a\r\nb!")},
        // clang-format on
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StationLines(c.edited, c.station), c.sent) << c.name;
    }
}

}  // namespace
}  // namespace volnar
