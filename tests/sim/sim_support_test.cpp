#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json.h"
#include "options.h"
#include "request_log.h"

namespace volnar::sim {
namespace {

TEST(Json, RoundTripsNestedValues) {
    const std::string text =
        R"({"a":[1,2.5,-3,true,false,null],"b":{"c":"d\"e\\f\n\t\u00e9"},"e":""})";
    const auto parsed = ParseJson(text);
    ASSERT_TRUE(parsed.value) << parsed.error;
    const JsonValue& root = *parsed.value;
    ASSERT_TRUE(root.IsObject());
    EXPECT_EQ(root.Find("a")->AsArray().size(), 6u);
    EXPECT_DOUBLE_EQ(root.Find("a")->AsArray()[1].AsNumber(), 2.5);
    EXPECT_EQ(root.Find("b")->Find("c")->AsString(), "d\"e\\f\n\t\xc3\xa9");
    const auto again = ParseJson(root.Serialize());
    ASSERT_TRUE(again.value);
    EXPECT_EQ(again.value->Serialize(), root.Serialize());
}

TEST(Json, SurrogatePairsBecomeUtf8) {
    const auto parsed = ParseJson(R"("\ud83d\ude00")");
    ASSERT_TRUE(parsed.value);
    EXPECT_EQ(parsed.value->AsString(), "\xf0\x9f\x98\x80");
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

TEST(Json, BytesThatAreNotUtf8StillGiveValidJson) {
    std::string out;
    AppendJsonString(out, std::string("a\xff\xc3(b\x01\x7f", 7));
    const auto parsed = ParseJson(out);
    ASSERT_TRUE(parsed.value) << out;
    EXPECT_EQ(out, R"("a\u00ff\u00c3(b\u0001\u007f")");
}

TEST(Options, ListenAcceptsOnlyLoopbackAddresses) {
    struct Case {
        std::string listen;
        bool accepted;
    };
    const std::vector<Case> cases = {
        {"127.0.0.1:0", true},      {"127.0.0.1:1161", true},   {"127.1.2.3:65535", true},
        {"0.0.0.0:0", false},       {"10.10.10.10:161", false}, {"192.168.1.1:1161", false},
        {"128.0.0.1:0", false},     {"localhost:0", false},     {"[::1]:0", false},
        {"::1:0", false},           {"127.0.0.1", false},       {"127.0.0.1:", false},
        {"127.0.0.1:65536", false}, {"127.0.0.1:-1", false},    {"127.0.0.01:0", false},
        {" 127.0.0.1:0", false},
    };
    for (const Case& c : cases) {
        const auto result = ParseOptions({"--listen", c.listen});
        EXPECT_EQ(result.options.has_value(), c.accepted) << c.listen;
        if (!c.accepted) {
            EXPECT_FALSE(result.error.empty()) << c.listen;
        }
    }
}

TEST(Options, ParsesEveryOption) {
    const auto result = ParseOptions({"--listen",      "127.0.0.1:1161",
                                      "--community",   "secret",
                                      "--state",       "s.json",
                                      "--seed",        "7",
                                      "--log",         "l.log",
                                      "--drop",        "0.25",
                                      "--delay",       "200:50",
                                      "--fail",        ".1.3.6.1.4.1.32473.3.1.2.75=genErr",
                                      "--fail",        "1.3.6.1.2.1.1.5=17",
                                      "--scripts",     "1000",
                                      "--alerts",      "3",
                                      "--modems",      "2",
                                      "--stuck-relay", "2",
                                      "--stall-walk",  "1.3.6.1.4.1.32473.3.1.2.72"});
    ASSERT_TRUE(result.options) << result.error;
    const Options& o = *result.options;
    EXPECT_EQ(o.listenAddress, "127.0.0.1");
    EXPECT_EQ(o.listenPort, 1161);
    EXPECT_EQ(o.community, "secret");
    EXPECT_EQ(o.stateFile, "s.json");
    EXPECT_EQ(o.seed, 7u);
    EXPECT_EQ(o.logFile, "l.log");
    EXPECT_DOUBLE_EQ(o.dropRate, 0.25);
    EXPECT_EQ(o.delayMs, 200);
    EXPECT_EQ(o.jitterMs, 50);
    ASSERT_EQ(o.failRules.size(), 2u);
    EXPECT_EQ(OidToText(o.failRules[0].oid), "1.3.6.1.4.1.32473.3.1.2.75");
    EXPECT_EQ(o.failRules[0].status, 5);
    EXPECT_EQ(o.failRules[1].status, 17);
    EXPECT_EQ(o.scripts, 1000);
    EXPECT_EQ(o.alerts, 3);
    EXPECT_EQ(o.modems, 2);
    EXPECT_EQ(o.stuckRelay, 2);
    EXPECT_EQ(OidToText(o.stalledWalk), "1.3.6.1.4.1.32473.3.1.2.72");
}

TEST(Options, BadValuesAreRefused) {
    const std::vector<std::vector<std::string>> commands = {
        {},
        {"--community", "x"},
        {"--listen", "127.0.0.1:0", "--drop", "1.5"},
        {"--listen", "127.0.0.1:0", "--drop", "-0.1"},
        {"--listen", "127.0.0.1:0", "--drop", "half"},
        {"--listen", "127.0.0.1:0", "--delay", "5:"},
        {"--listen", "127.0.0.1:0", "--delay", "-5"},
        {"--listen", "127.0.0.1:0", "--stuck-relay", "5"},
        {"--listen", "127.0.0.1:0", "--stall-walk", "1.x"},
        {"--listen", "127.0.0.1:0", "--fail", "1.3.6=0"},
        {"--listen", "127.0.0.1:0", "--fail", "1.3.6"},
        {"--listen", "127.0.0.1:0", "--fail", "1.x=2"},
        {"--listen", "127.0.0.1:0", "--fail", "1.3=bogus"},
        {"--listen", "127.0.0.1:0", "--scripts", "100001"},
        {"--listen", "127.0.0.1:0", "--seed"},
        {"--listen", "127.0.0.1:0", "--port", "5"},
        {"--listen", "127.0.0.1:0", "--stations", "0"},
        {"--listen", "127.0.0.1:0", "--stations", "1001"},
        {"--listen", "127.255.255.250:0", "--stations", "10"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--drop", "0.3@4"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--drop", "2@1"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--delay", "5:@1"},
        {"--listen", "127.0.1.1:0", "--stations", "3", "--delay", "5@"},
    };
    for (const auto& args : commands) {
        const auto result = ParseOptions(args);
        EXPECT_FALSE(result.options.has_value()) << (args.empty() ? "" : args.back());
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(Options, ManyStationsEachWithItsOwnAddressAndFaults) {
    const auto result =
        ParseOptions({"--listen", "127.0.1.253:1161", "--stations", "600", "--seed", "7", "--state",
                      "s.json", "--drop", "0.1", "--drop", "0.3@2", "--delay", "1500:20@3"});
    ASSERT_TRUE(result.options) << result.error;
    struct Case {
        int station;
        std::string address;
        double drop;
        int delayMs = 0;
        int jitterMs = 0;
        std::string stateFile;
    };
    const std::vector<Case> cases = {
        {.station = 1, .address = "127.0.1.253", .drop = 0.1, .stateFile = "s.json"},
        {.station = 2, .address = "127.0.1.254", .drop = 0.3, .stateFile = "s.json.2"},
        {.station = 3,
         .address = "127.0.2.1",
         .drop = 0.1,
         .delayMs = 1500,
         .jitterMs = 20,
         .stateFile = "s.json.3"},
        {.station = 600, .address = "127.0.4.90", .drop = 0.1, .stateFile = "s.json.600"},
    };
    for (const Case& c : cases) {
        const Options one = OptionsForStation(*result.options, c.station);
        EXPECT_EQ(one.listenAddress, c.address) << c.station;
        EXPECT_EQ(one.listenPort, 1161) << c.station;
        EXPECT_DOUBLE_EQ(one.dropRate, c.drop) << c.station;
        EXPECT_EQ(one.delayMs, c.delayMs) << c.station;
        EXPECT_EQ(one.jitterMs, c.jitterMs) << c.station;
        EXPECT_EQ(one.stateFile, c.stateFile) << c.station;
        EXPECT_EQ(one.seed, 7u + static_cast<unsigned>(c.station - 1)) << c.station;
    }
}

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
    EXPECT_EQ(line.Find("request_id")->AsNumber(), 421);
    EXPECT_EQ(line.Find("pdu")->AsString(), "SET");
    EXPECT_EQ(line.Find("oid")->AsString(), "1.3.6.1.4.1.32473.3.1.2.69");
    // Each byte as its Latin-1 reading: the log shows exactly the bytes sent.
    EXPECT_EQ(line.Find("value")->AsString(), "0|relay|P\xc3\xbf|n|00|");
    EXPECT_EQ(TextAsBytes(line.Find("value")->AsString()), "0|relay|P\xff|n|00|");
    EXPECT_EQ(line.Find("community")->AsString(), "public");
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
