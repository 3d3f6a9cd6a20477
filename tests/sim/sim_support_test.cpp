// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json.h"
#include "options.h"
#include "request_log.h"

namespace volnar::sim {
namespace {

TEST(Json, RoundTripsNestedValuesAndEscapesAndAnyBytes) {
    const std::string text =
        R"({"a":[1,2.5,-3,true,false,null],"b":{"c":"d\"e\\f\n\t\u00e9"},"e":"\ud83d\ude00"})";
    const auto parsed = ParseJson(text);
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& root = *parsed.value;
    ASSERT_TRUE(root.IsObject());
    EXPECT_EQ(root.Find("a")->AsArray().size(), 6u);
    EXPECT_DOUBLE_EQ(root.Find("a")->AsArray()[1].AsNumber(), 2.5);
    EXPECT_EQ(root.Find("b")->Find("c")->AsString(), "d\"e\\f\n\t\xc3\xa9");
    EXPECT_EQ(root.Find("e")->AsString(), "\xf0\x9f\x98\x80");  // a surrogate pair
    const auto again = ParseJson(root.Serialize());
    ASSERT_TRUE(again.value);
    EXPECT_EQ(again.value->Serialize(), root.Serialize());

    // Bytes that are not UTF-8 still give valid JSON, each byte as its
    // Latin-1 character.
    std::string out;
    AppendJsonString(out, std::string("a\xff\xc3(b\x01\x7f", 7));
    ASSERT_TRUE(ParseJson(out).value) << out;
    EXPECT_EQ(out, R"("a\u00ff\u00c3(b\u0001\u007f")");
}

TEST(Json, MalformedTextIsRefused) {
    const std::vector<std::string> texts = {
        "",
        "{",
        "[1,]",
        "{\"a\" 1}",
        "01",
        "1.",
        "\"abc",
        "\"\\x\"",
        "\"\\ud800\"",
        "tru",
        "[] []",
        "{\"a\":1,}",
        "\"a\x01\"",
        "\"\xff\"",
        "1e999",
        std::string(100, '[') + std::string(100, ']'),
    };
    for (const std::string& text : texts) {
        const auto parsed = ParseJson(text);
        EXPECT_FALSE(parsed.value.has_value()) << text;
        EXPECT_FALSE(parsed.error.empty()) << text;
    }
}

// Listen addresses outside 127.0.0.0/8 above all: nothing may reach another
// machine.
TEST(Options, BadValuesAreRefused) {
    for (const char* listen : {"127.0.0.1:0", "127.0.0.1:1161", "127.1.2.3:65535"}) {
        EXPECT_TRUE(ParseOptions({"--listen", listen}).options.has_value()) << listen;
    }
    const std::vector<std::vector<std::string>> commands = {
        {},
        {"--community", "x"},
        {"--listen", "0.0.0.0:0"},
        {"--listen", "10.10.10.10:161"},
        {"--listen", "192.168.1.1:1161"},
        {"--listen", "128.0.0.1:0"},
        {"--listen", "localhost:0"},
        {"--listen", "[::1]:0"},
        {"--listen", "::1:0"},
        {"--listen", "127.0.0.1"},
        {"--listen", "127.0.0.1:"},
        {"--listen", "127.0.0.1:65536"},
        {"--listen", "127.0.0.1:-1"},
        {"--listen", "127.0.0.01:0"},
        {"--listen", " 127.0.0.1:0"},
        {"--listen", "127.0.0.1:0", "--drop", "1.5"},
        {"--listen", "127.0.0.1:0", "--drop", "-0.1"},
        {"--listen", "127.0.0.1:0", "--drop", "half"},
        {"--listen", "127.0.0.1:0", "--delay", "5:"},
        {"--listen", "127.0.0.1:0", "--delay", "-5"},
        {"--listen", "127.0.0.1:0", "--stuck-relay", "5"},
        {"--listen", "127.0.0.1:0", "--stall-walk", "1.x"},
        {"--listen", "127.0.0.1:0", "--status-oid", "1..3"},
        {"--listen", "127.0.0.1:0", "--duplicate", "1.01"},
        {"--listen", "127.0.0.1:0", "--duplicate", "twice"},
        {"--listen", "127.0.0.1:0", "--fail", "1.3.6=0"},
        {"--listen", "127.0.0.1:0", "--fail", "1.3.6"},
        {"--listen", "127.0.0.1:0", "--fail", "1.x=2"},
        {"--listen", "127.0.0.1:0", "--fail", "1.3=bogus"},
        {"--listen", "127.0.0.1:0", "--scripts", "100001"},
        {"--listen", "127.0.0.1:0", "--seed"},
        {"--listen", "127.0.0.1:0", "--port", "5"},
        {"--listen", "127.0.0.1:0", "--stations", "0"},
        {"--listen", "127.0.0.1:0", "--stations", "50001"},
        {"--listen", "127.255.255.250:0", "--stations", "10"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--drop", "0.3@4"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--drop", "2@1"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--duplicate", "-1@2"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--delay", "5:@1"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--delay", "5@"},
    };
    for (const auto& args : commands) {
        const auto result = ParseOptions(args);
        EXPECT_FALSE(result.options.has_value()) << (args.empty() ? "" : args.back());
        EXPECT_FALSE(result.error.empty());
    }
}

// The error names what is wrong: an option the simulator does not have, or
// a known one without its value. --version needs nothing else.
TEST(Options, UnknownOptionsAreNamedAndVersionStandsAlone) {
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--listen", "127.0.0.1:0", "--bogus"}, "unknown option --bogus"},
        {{"--listen", "127.0.0.1:0", "--port", "5"}, "unknown option --port"},
        {{"--listen", "127.0.0.1:0", "--seed"}, "--seed needs a value"},
        {{"--listen", "127.0.0.1:0", "stray"}, "unknown argument stray"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseOptions(c.args).error, c.error) << c.args.back();
    }
    const auto version = ParseOptions({"--version"});
    ASSERT_TRUE(version.options.has_value());
    EXPECT_TRUE(version.options->version);
    EXPECT_FALSE(version.options->help);
}

TEST(Options, ManyStationsEachWithItsOwnAddressAndFaults) {
    const auto result =
        ParseOptions({"--listen", "127.0.1.253:1161", "--stations", "600", "--seed", "7", "--state",
                      "s.json", "--drop", "0.1", "--drop", "0.3@2", "--delay", "1500:20@3",
                      "--duplicate", "0.25", "--duplicate", "1@3"});
    ASSERT_TRUE(result.options) << result.error;
    struct Case {
        int k;
        std::string address;
        double drop;
        double duplicate = 0.25;
        int delay = 0;
        int jitter = 0;
        std::string state;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {.k = 1, .address = "127.0.1.253", .drop = 0.1, .state = "s.json"},
        {.k = 2, .address = "127.0.1.254", .drop = 0.3, .state = "s.json.2"},
        {.k = 3, .address = "127.0.2.1", .drop = 0.1, .duplicate = 1, .delay = 1500, .jitter = 20, .state = "s.json.3"},
        {.k = 600, .address = "127.0.4.90", .drop = 0.1, .state = "s.json.600"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const Options one = OptionsForStation(*result.options, c.k);
        EXPECT_EQ(one.listenAddress, c.address) << c.k;
        EXPECT_EQ(one.listenPort, 1161) << c.k;
        EXPECT_DOUBLE_EQ(one.dropRate, c.drop) << c.k;
        EXPECT_DOUBLE_EQ(one.duplicateRate, c.duplicate) << c.k;
        EXPECT_EQ(one.delayMs, c.delay) << c.k;
        EXPECT_EQ(one.jitterMs, c.jitter) << c.k;
        EXPECT_EQ(one.stateFile, c.state) << c.k;
        EXPECT_EQ(one.seed, 7u + static_cast<unsigned>(c.k - 1)) << c.k;
    }
}

// Request id, PDU, identifier and community are read back by the end-to-end
// tests; here what only this formatting shows.
TEST(RequestLogFormat, AnsweredAndUnansweredLines) {
    LogEntry entry;
    entry.time = 12.5;
    entry.requestId = 421;
    entry.pdu = "SET";
    entry.community = "public";
    entry.bindings = {{*OidFromText("1.3.6.1.4.1.32473.3.1.2.69"),
                       AgentValue::Text(std::string("0|relay|P\xff|n|00|"))},
                      {*OidFromText("1.3.6.1.4.1.32473.3.1.2.75.1"), AgentValue::Integer(1)}};
    entry.errorStatus = 3;
    entry.errorIndex = 1;
    const auto parsed = ParseJson(FormatLogEntry(entry));
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& line = *parsed.value;
    EXPECT_DOUBLE_EQ(line.Find("time")->AsNumber(), 12.5);
    // Each byte as its Latin-1 reading: the log shows exactly the bytes sent.
    EXPECT_EQ(line.Find("value")->AsString(), "0|relay|P\xc3\xbf|n|00|");
    EXPECT_EQ(TextAsBytes(line.Find("value")->AsString()), "0|relay|P\xff|n|00|");
    EXPECT_EQ(line.Find("error_status")->AsNumber(), 3);
    EXPECT_EQ(line.Find("error_index")->AsNumber(), 1);
    ASSERT_EQ(line.Find("bindings")->AsArray().size(), 2u);
    EXPECT_EQ(line.Find("bindings")->AsArray()[1].Find("value")->AsNumber(), 1);
    EXPECT_EQ(line.Find("note"), nullptr);

    entry.errorStatus.reset();
    entry.errorIndex.reset();
    entry.note = "dropped";
    const auto unanswered = ParseJson(FormatLogEntry(entry));
    ASSERT_TRUE(unanswered.value);
    EXPECT_TRUE(unanswered.value->Find("error_status")->IsNull());
    EXPECT_EQ(unanswered.value->Find("note")->AsString(), "dropped");
}

}  // namespace
}  // namespace volnar::sim
