#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board_agent.h"
#include "link/board_objects.h"

namespace volnar::sim {
namespace {

const std::string kPrefix(board::kPrefix);

Oid O(const std::string& text) {
    const auto oid = OidFromText(text);
    EXPECT_TRUE(oid.has_value()) << text;
    return oid.value_or(Oid{});
}

Oid B(const std::string& suffix) {
    return O(kPrefix + "." + suffix);
}

AgentRequest Request(PduKind kind, std::vector<AgentBinding> bindings) {
    return AgentRequest{kind, std::move(bindings)};
}

AgentBinding Null(const Oid& oid) {
    return {oid, AgentValue{}};
}

class BoardAgentTest : public ::testing::Test {
protected:
    AgentResponse Get(const Oid& oid) {
        return agent.Handle(Request(PduKind::Get, {Null(oid)}), 0);
    }
    AgentResponse GetNext(const Oid& oid) {
        return agent.Handle(Request(PduKind::GetNext, {Null(oid)}), 0);
    }
    AgentResponse Set(std::vector<AgentBinding> bindings) {
        return agent.Handle(Request(PduKind::Set, std::move(bindings)), 0);
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
    std::vector<std::string> expected = {"1.3.6.1.2.1.1.5", kPrefix + ".60.1", kPrefix + ".65.1"};
    for (int n = 1; n <= 8; ++n) {
        expected.push_back(kPrefix + ".66." + std::to_string(n));
    }
    expected.push_back(kPrefix + ".72.1");
    expected.push_back(kPrefix + ".72.2");
    for (int k = 1; k <= 4; ++k) {
        expected.push_back(kPrefix + ".76." + std::to_string(k));
    }
    expected.push_back(kPrefix + ".77");
    EXPECT_EQ(visited, expected);
}

TEST_F(BoardAgentTest, GetNextOnAnEmptyTableLeavesIt) {
    const AgentResponse scripts = GetNext(B("72"));
    ASSERT_EQ(scripts.errorStatus, 0);
    EXPECT_EQ(OidToText(scripts.bindings[0].oid), kPrefix + ".76.1");
    const AgentResponse modems = GetNext(B("60"));
    ASSERT_EQ(modems.errorStatus, 0);
    EXPECT_EQ(OidToText(modems.bindings[0].oid), kPrefix + ".66.1");
}

TEST_F(BoardAgentTest, GetNextContinuesFromIdentifiersBetweenAndBelowRows) {
    model.AddGeneratedScripts(7);
    ASSERT_EQ(model.DeleteScript(5), kNoError);
    ASSERT_EQ(model.DeleteScript(6), kNoError);
    struct Case {
        std::string from;
        std::string next;
    };
    const std::vector<Case> cases = {
        {"72", "72.1"},     {"72.0", "72.1"},   {"72.4", "72.7"},
        {"72.5", "72.7"},   {"72.4.9", "72.7"}, {"72.7", "76.1"},
        {"71.99", "72.1"},  {"76.4", "77"},     {"72.4294967295", "76.1"},
        {"66.8.1", "72.1"},
    };
    for (const Case& c : cases) {
        const AgentResponse response = GetNext(B(c.from));
        ASSERT_EQ(response.errorStatus, 0) << c.from;
        EXPECT_EQ(OidToText(response.bindings[0].oid), kPrefix + "." + c.next) << c.from;
    }
}

TEST_F(BoardAgentTest, GetNextPastTheLastObjectIsNoSuchName) {
    for (const std::string& from : {kPrefix + ".77", kPrefix + ".78.1", std::string("2")}) {
        const AgentResponse response = GetNext(O(from));
        EXPECT_EQ(response.errorStatus, kNoSuchName) << from;
        EXPECT_EQ(response.errorIndex, 1) << from;
        ASSERT_EQ(response.bindings.size(), 1u);
        EXPECT_EQ(OidToText(response.bindings[0].oid), from);
    }
}

TEST_F(BoardAgentTest, WriteOnlyAndMissingObjectsAreNoSuchNameOnGet) {
    model.AddGeneratedScripts(1);
    for (const std::string suffix :
         {"62",   "63",   "64", "67.1", "68.1", "69",   "70",   "71",   "73.1", "74.1",
          "75.1", "78.1", "72", "72.2", "66.9", "66.0", "76.5", "77.0", "60",   "65"}) {
        const AgentResponse response = Get(B(suffix));
        EXPECT_EQ(response.errorStatus, kNoSuchName) << suffix;
        EXPECT_EQ(response.errorIndex, 1) << suffix;
    }
    EXPECT_EQ(Get(O("1.3.6.1.2.1.1.5.0")).errorStatus, kNoSuchName);
}

TEST_F(BoardAgentTest, GetReadsRecordsAndRows) {
    model.AddGeneratedScripts(1);
    const AgentResponse row = Get(B("72.1"));
    ASSERT_EQ(row.errorStatus, 0);
    EXPECT_EQ(row.bindings[0].value.type, AgentValue::Type::OctetString);
    EXPECT_EQ(row.bindings[0].value.bytes, "1|relay|Script 1|Generated script 1|000801|");
    const AgentResponse name = Get(O("1.3.6.1.2.1.1.5"));
    ASSERT_EQ(name.errorStatus, 0);
    EXPECT_EQ(name.bindings[0].value.bytes, "VOLN-SIM");
}

TEST_F(BoardAgentTest, ErrorIndexNamesTheFailingBindingAndBindingsComeBackUnchanged) {
    const AgentResponse response =
        agent.Handle(Request(PduKind::Get, {Null(B("77")), Null(B("76.1")), Null(B("75.1"))}), 0);
    EXPECT_EQ(response.errorStatus, kNoSuchName);
    EXPECT_EQ(response.errorIndex, 3);
    ASSERT_EQ(response.bindings.size(), 3u);
    EXPECT_EQ(response.bindings[0].value.type, AgentValue::Type::Null);
    EXPECT_EQ(OidToText(response.bindings[2].oid), kPrefix + ".75.1");
}

TEST_F(BoardAgentTest, SetEchoesItsBindings) {
    const AgentResponse response =
        Set({{B("74.2"), AgentValue::Text("Blower")}, {B("75.2"), AgentValue::Integer(1)}});
    ASSERT_EQ(response.errorStatus, 0);
    ASSERT_EQ(response.bindings.size(), 2u);
    EXPECT_EQ(response.bindings[0].value.bytes, "Blower");
    EXPECT_EQ(response.bindings[1].value.integer, 1);
    EXPECT_EQ(model.relay(2).name, "Blower");
    EXPECT_TRUE(model.relay(2).on);
}

TEST_F(BoardAgentTest, SetOfSeveralBindingsIsAllOrNothing) {
    const AgentResponse response = Set({{B("75.1"), AgentValue::Integer(1)},
                                        {B("74.2"), AgentValue::Text("Blower")},
                                        {B("69"), AgentValue::Text("0|relay|A|a|00|")},
                                        {B("75.3"), AgentValue::Integer(7)}});
    EXPECT_EQ(response.errorStatus, kBadValue);
    EXPECT_EQ(response.errorIndex, 4);
    EXPECT_FALSE(model.relay(1).on);
    EXPECT_EQ(model.relay(2).name, "Fan");
    EXPECT_TRUE(model.scripts().empty());
    EXPECT_EQ(model.changeCount(), 0u);
}

TEST_F(BoardAgentTest, WrongTypeIsBadValueAndReadOnlyIsNoSuchName) {
    struct Case {
        Oid oid;
        AgentValue value;
        int status;
    };
    AgentValue counter;
    counter.type = AgentValue::Type::Other;
    counter.asnType = 0x41;
    const std::vector<Case> cases = {
        {B("75.1"), AgentValue::Text("1"), kBadValue},
        {B("73.1"), AgentValue::Text("5"), kBadValue},
        {B("76.1"), AgentValue::Integer(3), kBadValue},
        {O("1.3.6.1.2.1.1.5"), AgentValue::Integer(3), kBadValue},
        {B("69"), AgentValue::Integer(0), kBadValue},
        {B("70"), AgentValue::Text("1"), kBadValue},
        {B("75.1"), counter, kBadValue},
        {B("75.1"), AgentValue{}, kBadValue},
        {B("77"), AgentValue::Text("x"), kNoSuchName},
        {B("66.1"), AgentValue::Text("x"), kNoSuchName},
        {B("72"), AgentValue::Text("x"), kNoSuchName},
        {B("75.5"), AgentValue::Integer(1), kNoSuchName},
        {B("75"), AgentValue::Integer(1), kNoSuchName},
        {O("1.3.6.1.2.1.1.5.0"), AgentValue::Text("x"), kNoSuchName},
    };
    for (const Case& c : cases) {
        const AgentResponse response = Set({{c.oid, c.value}});
        EXPECT_EQ(response.errorStatus, c.status) << OidToText(c.oid);
        EXPECT_EQ(response.errorIndex, 1) << OidToText(c.oid);
    }
    EXPECT_EQ(model.changeCount(), 0u);
}

TEST_F(BoardAgentTest, ChangesShowInTheObjectsThatReportThem) {
    ASSERT_EQ(Set({{O("1.3.6.1.2.1.1.5"), AgentValue::Text("Hut 9")}}).errorStatus, 0);
    ASSERT_EQ(Set({{B("76.3"), AgentValue::Text("check fuse")}}).errorStatus, 0);
    ASSERT_EQ(Set({{B("67.8"), AgentValue::Text("Wind")}}).errorStatus, 0);
    ASSERT_EQ(Set({{B("68.8"), AgentValue::Text("mast")}}).errorStatus, 0);
    ASSERT_EQ(Set({{B("75.4"), AgentValue::Integer(1)}}).errorStatus, 0);
    ASSERT_EQ(
        Set({{B("78.8"), AgentValue::Text("8|50|10|1|0|||||||||0|0|1.0|1|v|0|0|")}}).errorStatus,
        0);

    EXPECT_EQ(Get(B("76.3")).bindings[0].value.bytes, "check fuse");
    const std::string record = Get(B("66.8")).bindings[0].value.bytes;
    const auto channel = SplitRecord(record);
    EXPECT_EQ(channel[1], "Wind");
    EXPECT_EQ(channel[2], "mast");
    EXPECT_EQ(channel[3], "50");
    const std::string status = Get(B("77")).bindings[0].value.bytes;
    const auto fields = SplitRecord(status);
    ASSERT_EQ(fields.size(), 60u);
    EXPECT_EQ(fields[14], "Wind");
    EXPECT_EQ(fields[23], "1");
    EXPECT_EQ(fields[26], "Hut 9");
    EXPECT_EQ(fields[59], "1");
}

TEST_F(BoardAgentTest, TableCommandsTakeIntegerIds) {
    ASSERT_EQ(Set({{B("69"), AgentValue::Text("0|relay|Pump|p|00|")}}).errorStatus, 0);
    ASSERT_EQ(Set({{B("62"), AgentValue::Text("0|SMS|D|P|M|T|-|-|-|-|-|-|-|-|")}}).errorStatus, 0);
    EXPECT_EQ(Set({{B("70"), AgentValue::Integer(2)}}).errorStatus, kBadValue);
    EXPECT_EQ(Set({{B("70"), AgentValue::Integer(1)}}).errorStatus, 0);
    EXPECT_TRUE(model.relay(1).on);
    EXPECT_EQ(Set({{B("63"), AgentValue::Integer(1)}}).errorStatus, 0);
    EXPECT_EQ(Set({{B("64"), AgentValue::Integer(1)}}).errorStatus, 0);
    EXPECT_EQ(Set({{B("64"), AgentValue::Integer(1)}}).errorStatus, kBadValue);
    EXPECT_EQ(Set({{B("71"), AgentValue::Integer(1)}}).errorStatus, 0);
    EXPECT_TRUE(model.scripts().empty());
    EXPECT_TRUE(model.alerts().empty());
}

}  // namespace
}  // namespace volnar::sim
