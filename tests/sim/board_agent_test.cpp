// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_agent.h"

namespace volnar::sim {
namespace {

const std::string kPrefix(kBoardPrefix);
const std::string kSysName = "1.3.6.1.2.1.1.5";

Oid O(const std::string& text) {
    const auto oid = OidFromText(text);
    EXPECT_TRUE(oid.has_value()) << text;
    return oid.value_or(Oid{});
}

// A board object by its suffix, "72.1".
Oid B(const std::string& suffix) {
    return O(kPrefix + "." + suffix);
}

AgentValue T(std::string text) {
    return AgentValue::Text(std::move(text));
}
AgentValue I(std::int64_t value) {
    return AgentValue::Integer(value);
}

class BoardAgentTest : public ::testing::Test {
protected:
    AgentResponse Send(PduKind kind, std::vector<AgentBinding> bindings) {
        return agent.Handle(AgentRequest{kind, std::move(bindings)}, 0);
    }
    AgentResponse Get(const Oid& oid) { return Send(PduKind::Get, {{oid, AgentValue{}}}); }
    AgentResponse GetNext(const Oid& oid) { return Send(PduKind::GetNext, {{oid, AgentValue{}}}); }
    AgentResponse Set(std::vector<AgentBinding> bindings) {
        return Send(PduKind::Set, std::move(bindings));
    }
    std::string GetText(const Oid& oid) {
        const AgentResponse response = Get(oid);
        return response.errorStatus == 0 ? response.bindings.at(0).value.bytes : "<error>";
    }

    StationModel model;
    BoardAgent agent{model};
};

TEST(OidText, ParsesAndPrintsDottedText) {
    EXPECT_EQ(OidToText(O(".1.3.6.1")), "1.3.6.1");
    EXPECT_EQ(OidToText(O("1.3.4294967295")), "1.3.4294967295");
    for (const char* bad : {"", ".", "1..3", "1.3.", "1.a", "1.3.4294967296", "-1"}) {
        EXPECT_FALSE(OidFromText(bad).has_value()) << bad;
    }
}

TEST_F(BoardAgentTest, GetNextVisitsEveryReadableObjectInIdentifierOrder) {
    model.AddGeneratedModems(1);
    model.AddGeneratedAlerts(1);
    model.AddGeneratedScripts(2);
    std::vector<std::string> visited;
    Oid current = O("1.3.6.1");
    for (int step = 0; step < 100; ++step) {
        const AgentResponse response = GetNext(current);
        if (response.errorStatus != 0) {
            EXPECT_EQ(response.errorStatus, kNoSuchName);
            EXPECT_EQ(response.errorIndex, 1);
            break;
        }
        ASSERT_EQ(response.bindings.size(), 1u);
        current = response.bindings[0].oid;
        visited.push_back(OidToText(current));
    }
    std::vector<std::string> expected = {kSysName};
    for (const char* suffix :
         {"60.1", "65.1", "66.1", "66.2", "66.3", "66.4", "66.5", "66.6", "66.7", "66.8", "72.1",
          "72.2", "76.1", "76.2", "76.3", "76.4", "77"}) {
        expected.push_back(kPrefix + "." + suffix);
    }
    EXPECT_EQ(visited, expected);
}

TEST_F(BoardAgentTest, GetNextContinuesBetweenAndBelowRowsAndPastEmptyTables) {
    model.AddGeneratedScripts(7);
    ASSERT_EQ(model.DeleteScript(5), kNoError);
    ASSERT_EQ(model.DeleteScript(6), kNoError);
    struct Case {
        Oid from;
        std::string next;  // empty: noSuchName, the request's binding echoed
    };
    const std::vector<Case> cases = {
        {.from = B("72"), .next = "72.1"},
        {.from = B("72.0"), .next = "72.1"},
        {.from = B("72.4"), .next = "72.7"},
        {.from = B("72.5"), .next = "72.7"},
        {.from = B("72.4.9"), .next = "72.7"},
        {.from = B("72.7"), .next = "76.1"},
        {.from = B("71.99"), .next = "72.1"},
        {.from = B("76.4"), .next = "77"},
        {.from = B("72.4294967295"), .next = "76.1"},
        {.from = B("66.8.1"), .next = "72.1"},
        {.from = B("60"), .next = "66.1"},
        {.from = B("65"), .next = "66.1"},
        {.from = B("77"), .next = ""},
        {.from = B("78.1"), .next = ""},
        {.from = O("2"), .next = ""},
    };
    for (const Case& c : cases) {
        const std::string from = OidToText(c.from);
        const AgentResponse response = GetNext(c.from);
        ASSERT_EQ(response.bindings.size(), 1u) << from;
        if (c.next.empty()) {
            EXPECT_EQ(response.errorStatus, kNoSuchName) << from;
            EXPECT_EQ(response.errorIndex, 1) << from;
            EXPECT_EQ(response.bindings[0].oid, c.from) << from;
        } else {
            ASSERT_EQ(response.errorStatus, 0) << from;
            EXPECT_EQ(OidToText(response.bindings[0].oid), kPrefix + "." + c.next) << from;
        }
    }
}

TEST_F(BoardAgentTest, GetOfWriteOnlyOrMissingObjectsIsNoSuchNameAtItsIndex) {
    model.AddGeneratedScripts(1);
    for (const std::string suffix :
         {"62",   "63",   "64", "67.1", "68.1", "69",   "70",   "71",   "73.1", "74.1",
          "75.1", "78.1", "72", "72.2", "66.9", "66.0", "76.5", "77.0", "60",   "65"}) {
        const AgentResponse response = Get(B(suffix));
        EXPECT_EQ(response.errorStatus, kNoSuchName) << suffix;
        EXPECT_EQ(response.errorIndex, 1) << suffix;
    }
    EXPECT_EQ(Get(O(kSysName + ".0")).errorStatus, kNoSuchName);
    EXPECT_EQ(GetText(B("72.1")), "1|relay|Script 1|Generated script 1|000801|");

    // Of several bindings, the error index names the failing one and the
    // bindings come back as they were sent.
    const AgentResponse response =
        Send(PduKind::Get, {{B("77"), {}}, {B("76.1"), {}}, {B("75.1"), {}}});
    EXPECT_EQ(response.errorStatus, kNoSuchName);
    EXPECT_EQ(response.errorIndex, 3);
    ASSERT_EQ(response.bindings.size(), 3u);
    EXPECT_EQ(response.bindings[0].value.type, AgentValue::Type::Null);
    EXPECT_EQ(OidToText(response.bindings[2].oid), kPrefix + ".75.1");
}

TEST_F(BoardAgentTest, SetEchoesItsBindingsAndSeveralAreAllOrNothing) {
    const AgentResponse echoed = Set({{B("74.2"), T("Blower")}, {B("75.2"), I(1)}});
    ASSERT_EQ(echoed.errorStatus, 0);
    ASSERT_EQ(echoed.bindings.size(), 2u);
    EXPECT_EQ(echoed.bindings[0].value.bytes, "Blower");
    EXPECT_EQ(echoed.bindings[1].value.integer, 1);
    EXPECT_TRUE(model.relay(2).on);

    const auto changes = model.changeCount();
    const AgentResponse refused = Set({{B("75.1"), I(1)},
                                       {B("74.3"), T("Heater 2")},
                                       {B("69"), T("0|relay|A|a|00|")},
                                       {B("75.3"), I(7)}});
    EXPECT_EQ(refused.errorStatus, kBadValue);
    EXPECT_EQ(refused.errorIndex, 4);
    EXPECT_FALSE(model.relay(1).on);
    EXPECT_EQ(model.relay(3).name, "Lamp");
    EXPECT_TRUE(model.scripts().empty());
    EXPECT_EQ(model.changeCount(), changes);
}

// Nothing a refused SET carries changes the station.
TEST_F(BoardAgentTest, WrongTypeOrValueIsBadValueAndReadOnlyIsNoSuchName) {
    AgentValue counter;
    counter.type = AgentValue::Type::Other;
    counter.asnType = 0x41;
    const struct {
        Oid oid;
        AgentValue value;
        int status;
    } cases[] = {
        {.oid = B("75.1"), .value = T("1"), .status = kBadValue},
        {.oid = B("73.1"), .value = T("5"), .status = kBadValue},
        {.oid = B("76.1"), .value = I(3), .status = kBadValue},
        {.oid = O(kSysName), .value = I(3), .status = kBadValue},
        {.oid = B("69"), .value = I(0), .status = kBadValue},
        {.oid = B("70"), .value = T("1"), .status = kBadValue},
        {.oid = B("75.1"), .value = counter, .status = kBadValue},
        {.oid = B("75.1"), .value = AgentValue{}, .status = kBadValue},
        {.oid = B("75.1"), .value = I(2), .status = kBadValue},  // 1 on, 0 off
        {.oid = B("75.1"), .value = I(-1), .status = kBadValue},
        {.oid = B("73.1"), .value = I(0), .status = kBadValue},  // 1 to 60 seconds
        {.oid = B("73.1"), .value = I(61), .status = kBadValue},
        {.oid = B("73.1"), .value = I(-5), .status = kBadValue},
        // Ids of rows that do not exist (the tables are empty).
        {.oid = B("70"), .value = I(0), .status = kBadValue},
        {.oid = B("70"), .value = I(2), .status = kBadValue},
        {.oid = B("71"), .value = I(-1), .status = kBadValue},
        {.oid = B("71"), .value = I(4294967297), .status = kBadValue},
        {.oid = B("63"), .value = I(2), .status = kBadValue},
        {.oid = B("64"), .value = I(2), .status = kBadValue},
        // Texts: within their byte limits, no "|" where they travel in a
        // field list, line breaks only in notes, a channel name not empty.
        {.oid = O(kSysName), .value = T("Hut|7"), .status = kBadValue},
        {.oid = O(kSysName), .value = T("Hut\n7"), .status = kBadValue},
        {.oid = O(kSysName), .value = T(std::string(256, 'h')), .status = kBadValue},
        {.oid = B("74.1"), .value = T(std::string(20, 'n')), .status = kBadValue},
        {.oid = B("74.1"), .value = T("a|b"), .status = kBadValue},
        {.oid = B("76.1"), .value = T(std::string(512, 'x')), .status = kBadValue},
        {.oid = B("67.1"), .value = T(""), .status = kBadValue},
        {.oid = B("77"), .value = T("x"), .status = kNoSuchName},
        {.oid = B("66.1"), .value = T("x"), .status = kNoSuchName},
        {.oid = B("72"), .value = T("x"), .status = kNoSuchName},
        {.oid = B("75.5"), .value = I(1), .status = kNoSuchName},
        {.oid = B("75"), .value = I(1), .status = kNoSuchName},
        {.oid = O(kSysName + ".0"), .value = T("x"), .status = kNoSuchName},
    };
    for (const auto& c : cases) {
        const std::string name =
            OidToText(c.oid) + " = " +
            (c.value.type == AgentValue::Type::OctetString ? c.value.bytes
                                                           : std::to_string(c.value.integer));
        const AgentResponse response = Set({{c.oid, c.value}});
        EXPECT_EQ(response.errorStatus, c.status) << name;
        EXPECT_EQ(response.errorIndex, 1) << name;
    }
    EXPECT_EQ(model.changeCount(), 0u);
}

// Every writable object reaches its own part of the station: after the SET,
// the object that reports that part shows the value.
TEST_F(BoardAgentTest, EachSetShowsInTheObjectThatReportsIt) {
    const std::string kSettings = "8|50|10|1|0|||||||||0|0|1.0|1|v|0|0|";
    const std::string kWestern = "Pumpe S\xfc \x80\xa0";  // Windows-1252
    const std::string kNineteen(19, '\xe9');              // the longest relay name
    const std::string kUtf8 = "Gr\xc3\xbcn";
    const std::string kNotes = "a\r\nb\rc\xa0";  // line breaks as sent
    const struct {
        Oid set;
        AgentValue value;
        Oid read;  // object read back
        std::size_t field;
        std::string shown;
    } cases[] = {
        {.set = O(kSysName), .value = T("Hut 9"), .read = B("77"), .field = 26, .shown = "Hut 9"},
        {.set = B("76.3"), .value = T("fuse"), .read = B("76.3"), .field = 0, .shown = "fuse"},
        {.set = B("67.8"), .value = T("Wind"), .read = B("66.8"), .field = 1, .shown = "Wind"},
        {.set = B("67.8"), .value = T("Wind"), .read = B("77"), .field = 14, .shown = "Wind"},
        {.set = B("68.8"), .value = T("mast"), .read = B("66.8"), .field = 2, .shown = "mast"},
        {.set = B("74.4"), .value = T("Pump 2"), .read = B("77"), .field = 22, .shown = "Pump 2"},
        {.set = B("75.4"), .value = I(1), .read = B("77"), .field = 23, .shown = "1"},
        {.set = B("73.2"), .value = I(5), .read = B("77"), .field = 19, .shown = "1"},
        {.set = B("78.8"), .value = T(kSettings), .read = B("66.8"), .field = 3, .shown = "50"},
        {.set = B("78.8"), .value = T(kSettings), .read = B("77"), .field = 59, .shown = "1"},
        // Texts are kept as the bytes sent, whatever their encoding.
        {.set = O(kSysName), .value = T(kWestern), .read = B("77"), .field = 26, .shown = kWestern},
        {.set = B("74.1"), .value = T(kNineteen), .read = B("77"), .field = 16, .shown = kNineteen},
        {.set = B("74.1"), .value = T(""), .read = B("77"), .field = 16, .shown = ""},
        {.set = B("67.1"), .value = T(kUtf8), .read = B("66.1"), .field = 1, .shown = kUtf8},
        {.set = B("76.1"), .value = T(kNotes), .read = B("76.1"), .field = 0, .shown = kNotes},
    };
    for (const auto& c : cases) {
        StationModel fresh;
        BoardAgent one{fresh};
        const std::string set = OidToText(c.set);
        ASSERT_EQ(one.Handle({PduKind::Set, {{c.set, c.value}}}, 0).errorStatus, 0) << set;
        const AgentResponse read = one.Handle({PduKind::Get, {{c.read, {}}}}, 0);
        ASSERT_EQ(read.errorStatus, 0) << set;
        const auto fields = SplitRecord(read.bindings.at(0).value.bytes);
        ASSERT_LT(c.field, fields.size()) << set;
        EXPECT_EQ(fields[c.field], c.shown) << set << " read from " << OidToText(c.read);
    }
}

}  // namespace
}  // namespace volnar::sim
