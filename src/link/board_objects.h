// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <string_view>

// The station's objects as the client writes them: dotted text without a
// leading dot, all under the board prefix except sysName. Per-relay families
// are indexed by relay 1-4 and per-channel families by channel 1-8 (index 0 is
// unused so that kRelaySwitch[1] is relay 1).
namespace volnar::board {

inline constexpr std::string_view kPrefix = "1.3.6.1.4.1.32473.3.1.2";
inline constexpr std::string_view kSysName = "1.3.6.1.2.1.1.5";

inline constexpr std::string_view kModemTable = "1.3.6.1.4.1.32473.3.1.2.60";
inline constexpr std::string_view kAlertRecord = "1.3.6.1.4.1.32473.3.1.2.62";
inline constexpr std::string_view kAlertExecute = "1.3.6.1.4.1.32473.3.1.2.63";
inline constexpr std::string_view kAlertDelete = "1.3.6.1.4.1.32473.3.1.2.64";
inline constexpr std::string_view kAlertTable = "1.3.6.1.4.1.32473.3.1.2.65";
inline constexpr std::string_view kScriptRecord = "1.3.6.1.4.1.32473.3.1.2.69";
inline constexpr std::string_view kScriptExecute = "1.3.6.1.4.1.32473.3.1.2.70";
inline constexpr std::string_view kScriptDelete = "1.3.6.1.4.1.32473.3.1.2.71";
inline constexpr std::string_view kScriptTable = "1.3.6.1.4.1.32473.3.1.2.72";
inline constexpr std::string_view kStatusRecord = "1.3.6.1.4.1.32473.3.1.2.77";

inline constexpr int kRelayCount = 4;
inline constexpr int kChannelCount = 8;

using RelayObjects = std::array<std::string_view, kRelayCount + 1>;
using ChannelObjects = std::array<std::string_view, kChannelCount + 1>;

// .73.n: pulse relay n on, then off; INTEGER seconds 1-60.
inline constexpr RelayObjects kRelayPulse = {
    "", "1.3.6.1.4.1.32473.3.1.2.73.1", "1.3.6.1.4.1.32473.3.1.2.73.2",
    "1.3.6.1.4.1.32473.3.1.2.73.3", "1.3.6.1.4.1.32473.3.1.2.73.4"};
// .74.n: relay name, echoed in the answer.
inline constexpr RelayObjects kRelayName = {
    "", "1.3.6.1.4.1.32473.3.1.2.74.1", "1.3.6.1.4.1.32473.3.1.2.74.2",
    "1.3.6.1.4.1.32473.3.1.2.74.3", "1.3.6.1.4.1.32473.3.1.2.74.4"};
// .75.n: switch relay n, INTEGER 1 on, 0 off.
inline constexpr RelayObjects kRelaySwitch = {
    "", "1.3.6.1.4.1.32473.3.1.2.75.1", "1.3.6.1.4.1.32473.3.1.2.75.2",
    "1.3.6.1.4.1.32473.3.1.2.75.3", "1.3.6.1.4.1.32473.3.1.2.75.4"};
// .76.n: relay notes, read with GET and written with SET.
inline constexpr RelayObjects kRelayNotes = {
    "", "1.3.6.1.4.1.32473.3.1.2.76.1", "1.3.6.1.4.1.32473.3.1.2.76.2",
    "1.3.6.1.4.1.32473.3.1.2.76.3", "1.3.6.1.4.1.32473.3.1.2.76.4"};

// .66.n: the channel configuration record (19 fields).
inline constexpr ChannelObjects kChannelRecord = {"",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.1",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.2",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.3",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.4",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.5",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.6",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.7",
                                                  "1.3.6.1.4.1.32473.3.1.2.66.8"};
// .67.n: channel name.
inline constexpr ChannelObjects kChannelName = {"",
                                                "1.3.6.1.4.1.32473.3.1.2.67.1",
                                                "1.3.6.1.4.1.32473.3.1.2.67.2",
                                                "1.3.6.1.4.1.32473.3.1.2.67.3",
                                                "1.3.6.1.4.1.32473.3.1.2.67.4",
                                                "1.3.6.1.4.1.32473.3.1.2.67.5",
                                                "1.3.6.1.4.1.32473.3.1.2.67.6",
                                                "1.3.6.1.4.1.32473.3.1.2.67.7",
                                                "1.3.6.1.4.1.32473.3.1.2.67.8"};
// .68.n: channel notes.
inline constexpr ChannelObjects kChannelNotes = {"",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.1",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.2",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.3",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.4",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.5",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.6",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.7",
                                                 "1.3.6.1.4.1.32473.3.1.2.68.8"};
// .78.n: the 20-field trigger and display settings record.
inline constexpr ChannelObjects kChannelSettings = {"",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.1",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.2",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.3",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.4",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.5",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.6",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.7",
                                                    "1.3.6.1.4.1.32473.3.1.2.78.8"};

// True when oid is the object itself or lies under it, comparing whole arcs:
// ".72.5" is in ".72", ".720" is not.
constexpr bool IsWithin(std::string_view oid, std::string_view object) {
    if (oid.size() < object.size() || oid.substr(0, object.size()) != object) {
        return false;
    }
    return oid.size() == object.size() || oid[object.size()] == '.';
}

// True when oid lies strictly under the table object (a row, never the table
// object itself).
constexpr bool IsRowOf(std::string_view oid, std::string_view table) {
    return IsWithin(oid, table) && oid.size() > table.size();
}

// True when oid comes after `asked` in the order of object identifiers
// (arc by arc, numerically; a longer identifier after its own prefix): what
// a GETNEXT answer must be for a walk to advance. Texts that are not dotted
// decimal identifiers compare as never following.
constexpr bool Follows(std::string_view oid, std::string_view asked) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (true) {
        if (j >= asked.size()) {
            return i < oid.size();  // asked is a prefix: only a longer oid follows
        }
        if (i >= oid.size()) {
            return false;
        }
        // One arc of each: digits up to the next dot. Arcs are compared by
        // length first (no leading zeros in what the station sends), then
        // digit by digit.
        const std::size_t iEnd = std::min(oid.find('.', i), oid.size());
        const std::size_t jEnd = std::min(asked.find('.', j), asked.size());
        const std::string_view a = oid.substr(i, iEnd - i);
        const std::string_view b = asked.substr(j, jEnd - j);
        if (a.empty() || b.empty()) {
            return false;
        }
        if (a != b) {
            return a.size() != b.size() ? a.size() > b.size() : a > b;
        }
        i = iEnd + 1;
        j = jEnd + 1;
        if (iEnd == oid.size() && jEnd == asked.size()) {
            return false;  // equal
        }
        if (jEnd == asked.size()) {
            return true;  // oid continues under asked
        }
        if (iEnd == oid.size()) {
            return false;  // oid is a prefix of asked
        }
    }
}

// Index 1-4 (relay) or 1-8 (channel) of the family member equal to oid, 0 when
// none is.
template <std::size_t N>
constexpr int MemberIndex(const std::array<std::string_view, N>& family, std::string_view oid) {
    for (std::size_t i = 1; i < N; ++i) {
        if (family[i] == oid) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace volnar::board

// Every request takes its own id from the link's counter, so an answer can
// only ever match the request that asked: net-snmp resends a timed-out
// request with the same id, and the station answers every copy.
namespace volnar::routing {

// The first id after a session start.
inline constexpr int kFirstAutomaticId = 501;

}  // namespace volnar::routing
