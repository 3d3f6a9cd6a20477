// SPDX-License-Identifier: GPL-3.0-or-later
#include "board_table.h"

#include "station_model.h"

namespace volnar::sim {

namespace {

using enum BoardObjectId;
using enum ObjectShape;
using enum ObjectAccess;
using enum ObjectSyntax;

}  // namespace

constexpr std::array<BoardObject, kBoardObjectCount> kBoardObjects = {{
    {SysName, "sysName", "1.3.6.1.2.1.1.5", Single, ReadWrite, Text},
    {ModemTable, "modem table", "1.3.6.1.4.1.32473.3.1.2.60", Table, Read, Text},
    {AlertRecord, "alert record", "1.3.6.1.4.1.32473.3.1.2.62", Single, Write, Text},
    {AlertExecute, "alert execute", "1.3.6.1.4.1.32473.3.1.2.63", Single, Write, Integer},
    {AlertDelete, "alert delete", "1.3.6.1.4.1.32473.3.1.2.64", Single, Write, Integer},
    {AlertTable, "alert table", "1.3.6.1.4.1.32473.3.1.2.65", Table, Read, Text},
    {ChannelRecord, "channel record", "1.3.6.1.4.1.32473.3.1.2.66", PerChannel, Read, Text},
    {ChannelName, "channel name", "1.3.6.1.4.1.32473.3.1.2.67", PerChannel, Write, Text},
    {ChannelNotes, "channel notes", "1.3.6.1.4.1.32473.3.1.2.68", PerChannel, Write, Text},
    {ScriptRecord, "script record", "1.3.6.1.4.1.32473.3.1.2.69", Single, Write, Text},
    {ScriptExecute, "script execute", "1.3.6.1.4.1.32473.3.1.2.70", Single, Write, Integer},
    {ScriptDelete, "script delete", "1.3.6.1.4.1.32473.3.1.2.71", Single, Write, Integer},
    {ScriptTable, "script table", "1.3.6.1.4.1.32473.3.1.2.72", Table, Read, Text},
    {RelayPulse, "relay pulse", "1.3.6.1.4.1.32473.3.1.2.73", PerRelay, Write, Integer},
    {RelayName, "relay name", "1.3.6.1.4.1.32473.3.1.2.74", PerRelay, Write, Text},
    {RelaySwitch, "relay switch", "1.3.6.1.4.1.32473.3.1.2.75", PerRelay, Write, Integer},
    {RelayNotes, "relay notes", "1.3.6.1.4.1.32473.3.1.2.76", PerRelay, ReadWrite, Text},
    {StatusRecord, "status record", "1.3.6.1.4.1.32473.3.1.2.77", Single, Read, Text},
    {ChannelSettings, "channel settings", "1.3.6.1.4.1.32473.3.1.2.78", PerChannel, Write, Text},
}};

// BoardObjectOf reads the table by position.
constexpr bool EveryObjectAtItsPosition() {
    for (std::size_t i = 0; i < kBoardObjectCount; ++i) {
        if (static_cast<std::size_t>(kBoardObjects[i].id) != i) {
            return false;
        }
    }
    return true;
}
static_assert(EveryObjectAtItsPosition());

const BoardObject& BoardObjectOf(BoardObjectId id) {
    return kBoardObjects.at(static_cast<std::size_t>(id));
}

int MemberCount(ObjectShape shape) {
    switch (shape) {
        case PerRelay:
            return kRelayCount;
        case PerChannel:
            return kChannelCount;
        default:
            return 0;
    }
}

}  // namespace volnar::sim
