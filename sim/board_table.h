// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// The board's objects as the station serves them: identifier, shape, access
// and value syntax. The simulator's own table, kept apart from the client's
// catalogue so that a wrong identifier on one side shows up as a failed
// request instead of being mirrored by the other.
namespace volnar::sim {

inline constexpr std::string_view kBoardPrefix = "1.3.6.1.4.1.32473.3.1.2";

enum class BoardObjectId {
    SysName,
    ModemTable,
    AlertRecord,
    AlertExecute,
    AlertDelete,
    AlertTable,
    ChannelRecord,
    ChannelName,
    ChannelNotes,
    ScriptRecord,
    ScriptExecute,
    ScriptDelete,
    ScriptTable,
    RelayPulse,
    RelayName,
    RelaySwitch,
    RelayNotes,
    StatusRecord,
    ChannelSettings,
};

// One value; a table whose rows (table.id, a field list each) are reached
// by GETNEXT; a family of one member per relay (.1 to .4) or per channel
// (.1 to .8).
enum class ObjectShape { Single, Table, PerRelay, PerChannel };
enum class ObjectAccess { Read, Write, ReadWrite };
// What a SET carries, or what a GET answers.
enum class ObjectSyntax { Integer, Text };

struct BoardObject {
    BoardObjectId id;
    std::string_view name;
    std::string_view oid;  // dotted, no leading dot; a family's members add ".n"
    ObjectShape shape;
    ObjectAccess access;
    ObjectSyntax syntax;
};

inline constexpr std::size_t kBoardObjectCount = 19;

// Every object, in identifier order (the order GETNEXT visits them).
extern const std::array<BoardObject, kBoardObjectCount> kBoardObjects;

const BoardObject& BoardObjectOf(BoardObjectId id);

// Members of a family (4 or 8), 0 for an object that is not one.
int MemberCount(ObjectShape shape);

inline bool IsReadable(const BoardObject& object) {
    return object.access != ObjectAccess::Write;
}
inline bool IsWritable(const BoardObject& object) {
    return object.access != ObjectAccess::Read;
}

}  // namespace volnar::sim
