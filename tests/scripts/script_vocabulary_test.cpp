// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts/script_vocabulary.h"

#include <gtest/gtest.h>

#include <QSet>

#include "support/param_name.h"
#include "support/qt_print.h"

namespace volnar::scripts {
namespace {

TEST(ScriptVocabulary, SetSizesAndOrder) {
    const auto& relay = CommandSet(ScriptKind::Relay);
    const auto& io = CommandSet(ScriptKind::Io);
    ASSERT_EQ(relay.size(), 119u);
    ASSERT_EQ(io.size(), 47u);
    EXPECT_EQ(relay.front(), (ScriptCommand{QStringLiteral("Relay 1 ON"), QStringLiteral("00")}));
    EXPECT_EQ(relay[34], (ScriptCommand{QStringLiteral("Delay 24 Hours"), QStringLiteral("0Y")}));
    EXPECT_EQ(relay[35], (ScriptCommand{QStringLiteral("RDB1.Relay 1 ON"), QStringLiteral("10")}));
    EXPECT_EQ(relay.back(),
              (ScriptCommand{QStringLiteral("RDB6.Output OFF"), QStringLiteral("6D")}));
    EXPECT_EQ(io.front(), (ScriptCommand{QStringLiteral("GXIO 1 HIGH"), QStringLiteral("00")}));
    EXPECT_EQ(io[14], (ScriptCommand{QStringLiteral("GXIO 25 HIGH"), QStringLiteral("0E")}));
    EXPECT_EQ(io.back(), (ScriptCommand{QStringLiteral("Delay 24 Hours"), QStringLiteral("0k")}));
}

TEST(ScriptVocabulary, TextsAndCodesAreUniqueWithinASetAndEveryCommandSurvivesEncodeThenDecode) {
    for (const ScriptKind kind : {ScriptKind::Relay, ScriptKind::Io}) {
        QSet<QString> texts;
        QSet<QString> codes;
        for (const ScriptCommand& c : CommandSet(kind)) {
            EXPECT_FALSE(texts.contains(c.text)) << c.text.toStdString();
            EXPECT_FALSE(codes.contains(c.code)) << c.code.toStdString();
            EXPECT_EQ(c.code.size(), 2);
            texts.insert(c.text);
            codes.insert(c.code);
        }
        const QStringList all = CommandTexts(kind);
        EXPECT_EQ(DecodeCommands(kind, EncodeCommands(kind, all)), all)
            << "every command both ways";
    }
}

TEST(ScriptVocabulary, WorkedExampleCodesBothWays) {
    const struct {
        ScriptKind kind;
        const char* text;
        const char* code;
    } cases[] = {
        {.kind = ScriptKind::Relay, .text = "RDB3.Relay 2 OFF", .code = "33"},
        {.kind = ScriptKind::Relay, .text = "RDB6.Output OFF", .code = "6D"},
        {.kind = ScriptKind::Relay, .text = "RDB1.Output ON", .code = "1C"},
        {.kind = ScriptKind::Relay, .text = "RDB2.Relay 6 OFF", .code = "2B"},
        {.kind = ScriptKind::Relay, .text = "Relay 4 OFF", .code = "07"},
        {.kind = ScriptKind::Relay, .text = "Delay 1 Second", .code = "08"},
        {.kind = ScriptKind::Relay, .text = "Delay 5 Seconds", .code = "0C"},
        {.kind = ScriptKind::Relay, .text = "Delay 30 Seconds", .code = "0J"},
        {.kind = ScriptKind::Relay, .text = "Delay 1 Minute", .code = "0K"},
        {.kind = ScriptKind::Relay, .text = "Delay 30 Minutes", .code = "0R"},
        {.kind = ScriptKind::Relay, .text = "Delay 1 Hour", .code = "0S"},
        {.kind = ScriptKind::Io, .text = "Delay 1 Second", .code = "0S"},
        {.kind = ScriptKind::Io, .text = "Delay 8 Seconds", .code = "0Z"},
        {.kind = ScriptKind::Io, .text = "Delay 9 Seconds", .code = "0a"},
        {.kind = ScriptKind::Io, .text = "Delay 30 Seconds", .code = "0d"},
        {.kind = ScriptKind::Io, .text = "Delay 1 Hour", .code = "0e"},
        {.kind = ScriptKind::Io, .text = "GXIO 7 LOW", .code = "0D"},
        {.kind = ScriptKind::Io, .text = "GXIO 25 LOW", .code = "0F"},
        {.kind = ScriptKind::Io, .text = "GXIO 31 LOW", .code = "0R"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CodeOfCommand(c.kind, QString::fromLatin1(c.text)), QString::fromLatin1(c.code))
            << c.text;
        EXPECT_EQ(CommandOfCode(c.kind, QString::fromLatin1(c.code)), QString::fromLatin1(c.text))
            << c.code;
    }
}

TEST(ScriptVocabulary, TheSetsDoNotShareWhatTheyDoNotHold) {
    EXPECT_FALSE(CodeOfCommand(ScriptKind::Io, QStringLiteral("Delay 1 Minute")));
    EXPECT_FALSE(CodeOfCommand(ScriptKind::Io, QStringLiteral("Relay 1 ON")));
    EXPECT_FALSE(CodeOfCommand(ScriptKind::Relay, QStringLiteral("GXIO 1 HIGH")));
    EXPECT_FALSE(CommandOfCode(ScriptKind::Io, QStringLiteral("10")));
    EXPECT_FALSE(CommandOfCode(ScriptKind::Relay, QStringLiteral("0Z")));
    EXPECT_FALSE(CommandOfCode(ScriptKind::Relay, QStringLiteral("1E")));
    EXPECT_FALSE(CodeOfCommand(ScriptKind::Relay, QStringLiteral("relay 1 on"))) << "exact text";
}

struct DecodeCase {
    const char* name;
    ScriptKind kind;
    const char* codes;
    QStringList texts;
};
VOLNAR_PRINT_CASE_NAME(DecodeCase)

class ScriptDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ScriptDecoding, Decode) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(DecodeCommands(c.kind, QString::fromLatin1(c.codes)), c.texts);
}

// clang-format off
const DecodeCase kDecodings[] = {
    {"Relay0001", ScriptKind::Relay, "0001", {"Relay 1 ON", "Relay 1 OFF"}},
    {"Io0001", ScriptKind::Io, "0001", {"GXIO 1 HIGH", "GXIO 1 LOW"}},
    {"UnknownPairListedAsItsCode", ScriptKind::Relay, "00ZZ01", {"Relay 1 ON", "Unknown command \"ZZ\"", "Relay 1 OFF"}},
    {"OddLastCharacterIgnored", ScriptKind::Relay, "000", {"Relay 1 ON"}},
    {"Empty", ScriptKind::Relay, "", {}},
    {"OneCharacter", ScriptKind::Io, "0", {}},
    {"SameCodeOtherMeaning", ScriptKind::Io, "0S", {"Delay 1 Second"}},
    {"SameCodeRelayMeaning", ScriptKind::Relay, "0S", {"Delay 1 Hour"}},
    {"PairsAreNotRealigned", ScriptKind::Relay, "X00", {"Unknown command \"X0\""}},
    {"Pump", ScriptKind::Relay, "000C01", {"Relay 1 ON", "Delay 5 Seconds", "Relay 1 OFF"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Cases, ScriptDecoding, ::testing::ValuesIn(kDecodings),
                         ::volnar::testing::ByCaseName{});

}  // namespace
}  // namespace volnar::scripts
