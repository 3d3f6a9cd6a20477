// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator keeps its own table of the board's objects so that it does
// not mirror the client's catalogue; here the two are held side by side.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "board_table.h"
#include "link/board_objects.h"

namespace volnar::sim {
namespace {

// The identifiers of a client family, members 1 and up (index 0 is unused).
template <std::size_t N>
std::vector<std::string> Family(const std::array<std::string_view, N>& family) {
    return {family.begin() + 1, family.end()};
}

// What the simulator's table gives for object: its identifier, or one per
// member of a family.
std::vector<std::string> Identifiers(const BoardObject& object) {
    const int count = MemberCount(object.shape);
    if (count == 0) {
        return {std::string(object.oid)};
    }
    std::vector<std::string> members;
    for (int n = 1; n <= count; ++n) {
        members.push_back(std::string(object.oid) + "." + std::to_string(n));
    }
    return members;
}

struct Pair {
    BoardObjectId id;
    std::vector<std::string> client;
};

TEST(BoardTable, EveryObjectHasTheClientsIdentifier) {
    using enum BoardObjectId;
    const std::vector<Pair> pairs = {
        {.id = SysName, .client = {std::string(board::kSysName)}},
        {.id = ModemTable, .client = {std::string(board::kModemTable)}},
        {.id = AlertRecord, .client = {std::string(board::kAlertRecord)}},
        {.id = AlertExecute, .client = {std::string(board::kAlertExecute)}},
        {.id = AlertDelete, .client = {std::string(board::kAlertDelete)}},
        {.id = AlertTable, .client = {std::string(board::kAlertTable)}},
        {.id = ChannelRecord, .client = Family(board::kChannelRecord)},
        {.id = ChannelName, .client = Family(board::kChannelName)},
        {.id = ChannelNotes, .client = Family(board::kChannelNotes)},
        {.id = ScriptRecord, .client = {std::string(board::kScriptRecord)}},
        {.id = ScriptExecute, .client = {std::string(board::kScriptExecute)}},
        {.id = ScriptDelete, .client = {std::string(board::kScriptDelete)}},
        {.id = ScriptTable, .client = {std::string(board::kScriptTable)}},
        {.id = RelayPulse, .client = Family(board::kRelayPulse)},
        {.id = RelayName, .client = Family(board::kRelayName)},
        {.id = RelaySwitch, .client = Family(board::kRelaySwitch)},
        {.id = RelayNotes, .client = Family(board::kRelayNotes)},
        {.id = StatusRecord, .client = {std::string(board::kStatusRecord)}},
        {.id = ChannelSettings, .client = Family(board::kChannelSettings)},
    };
    EXPECT_EQ(kBoardPrefix, board::kPrefix);
    std::set<BoardObjectId> compared;
    for (const Pair& pair : pairs) {
        const BoardObject& object = BoardObjectOf(pair.id);
        EXPECT_EQ(Identifiers(object), pair.client) << object.name;
        compared.insert(pair.id);
    }
    EXPECT_EQ(compared.size(), kBoardObjects.size()) << "an object of the table is not compared";
}

}  // namespace
}  // namespace volnar::sim
