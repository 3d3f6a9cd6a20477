#include "scripts/script_vocabulary.h"

#include <gtest/gtest.h>

#include <QSet>

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

TEST(ScriptVocabulary, TextsAndCodesAreUniqueWithinASet) {
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
    }
}

struct CodeCase {
    ScriptKind kind;
    const char* text;
    const char* code;
};

class ScriptCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ScriptCodes, BothWays) {
    const CodeCase& c = GetParam();
    EXPECT_EQ(CodeOfCommand(c.kind, QString::fromLatin1(c.text)), QString::fromLatin1(c.code));
    EXPECT_EQ(CommandOfCode(c.kind, QString::fromLatin1(c.code)), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(WorkedExamples, ScriptCodes,
                         ::testing::Values(CodeCase{ScriptKind::Relay, "RDB3.Relay 2 OFF", "33"},
                                           CodeCase{ScriptKind::Relay, "RDB6.Output OFF", "6D"},
                                           CodeCase{ScriptKind::Relay, "RDB1.Output ON", "1C"},
                                           CodeCase{ScriptKind::Relay, "RDB2.Relay 6 OFF", "2B"},
                                           CodeCase{ScriptKind::Relay, "Relay 4 OFF", "07"},
                                           CodeCase{ScriptKind::Relay, "Delay 1 Second", "08"},
                                           CodeCase{ScriptKind::Relay, "Delay 5 Seconds", "0C"},
                                           CodeCase{ScriptKind::Relay, "Delay 30 Seconds", "0J"},
                                           CodeCase{ScriptKind::Relay, "Delay 1 Minute", "0K"},
                                           CodeCase{ScriptKind::Relay, "Delay 30 Minutes", "0R"},
                                           CodeCase{ScriptKind::Relay, "Delay 1 Hour", "0S"},
                                           CodeCase{ScriptKind::Io, "Delay 1 Second", "0S"},
                                           CodeCase{ScriptKind::Io, "Delay 8 Seconds", "0Z"},
                                           CodeCase{ScriptKind::Io, "Delay 9 Seconds", "0a"},
                                           CodeCase{ScriptKind::Io, "Delay 30 Seconds", "0d"},
                                           CodeCase{ScriptKind::Io, "Delay 1 Hour", "0e"},
                                           CodeCase{ScriptKind::Io, "GXIO 7 LOW", "0D"},
                                           CodeCase{ScriptKind::Io, "GXIO 25 LOW", "0F"},
                                           CodeCase{ScriptKind::Io, "GXIO 31 LOW", "0R"}));

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

class ScriptDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ScriptDecoding, Decode) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(DecodeCommands(c.kind, QString::fromLatin1(c.codes)), c.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScriptDecoding,
    ::testing::Values(
        DecodeCase{"Relay0001", ScriptKind::Relay, "0001", {"Relay 1 ON", "Relay 1 OFF"}},
        DecodeCase{"Io0001", ScriptKind::Io, "0001", {"GXIO 1 HIGH", "GXIO 1 LOW"}},
        DecodeCase{"UnknownPairListedAsItsCode",
                   ScriptKind::Relay,
                   "00ZZ01",
                   {"Relay 1 ON", "Unknown command \"ZZ\"", "Relay 1 OFF"}},
        DecodeCase{"OddLastCharacterIgnored", ScriptKind::Relay, "000", {"Relay 1 ON"}},
        DecodeCase{"Empty", ScriptKind::Relay, "", {}},
        DecodeCase{"OneCharacter", ScriptKind::Io, "0", {}},
        DecodeCase{"SameCodeOtherMeaning", ScriptKind::Io, "0S", {"Delay 1 Second"}},
        DecodeCase{"SameCodeRelayMeaning", ScriptKind::Relay, "0S", {"Delay 1 Hour"}},
        DecodeCase{"PairsAreNotRealigned", ScriptKind::Relay, "X00", {"Unknown command \"X0\""}},
        DecodeCase{
            "Pump", ScriptKind::Relay, "000C01", {"Relay 1 ON", "Delay 5 Seconds", "Relay 1 OFF"}}),
    [](const ::testing::TestParamInfo<DecodeCase>& param) {
        return std::string(param.param.name);
    });

TEST(ScriptVocabulary, EncodeTheWorkedExamples) {
    EXPECT_EQ(EncodeCommands(ScriptKind::Io,
                             {QStringLiteral("GXIO 25 HIGH"), QStringLiteral("Delay 8 Seconds"),
                              QStringLiteral("GXIO 25 LOW")}),
              QStringLiteral("0E0Z0F"));
    EXPECT_EQ(EncodeCommands(ScriptKind::Relay,
                             {QStringLiteral("Relay 1 ON"), QStringLiteral("Delay 5 Seconds"),
                              QStringLiteral("Relay 1 OFF")}),
              QStringLiteral("000C01"));
}

TEST(ScriptVocabulary, EveryCommandSurvivesEncodeThenDecode) {
    for (const ScriptKind kind : {ScriptKind::Relay, ScriptKind::Io}) {
        const QStringList all = CommandTexts(kind);
        EXPECT_EQ(DecodeCommands(kind, EncodeCommands(kind, all)), all);
    }
}

}  // namespace
}  // namespace volnar::scripts
