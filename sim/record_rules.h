// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "station_model.h"

// The station's rules for what it stores: text limits, number and id-list
// syntax, script and alert field lists. Shared by the SNMP changes and the
// state file, so that a state file cannot hold what a SET would refuse.
namespace volnar::sim::rules {

inline constexpr std::size_t kRelayNameLimit = 19;
inline constexpr std::size_t kRelayNotesLimit = 511;
inline constexpr std::size_t kChannelNameLimit = 19;
inline constexpr std::size_t kChannelNotesLimit = 511;
inline constexpr std::size_t kStationNameLimit = 255;
inline constexpr std::size_t kModemNameLimit = 63;
inline constexpr std::uint32_t kFlapLimit = 86400;

// I/O pins in the order of their commands.
inline constexpr std::array<int, 14> kIoPins = {1, 2, 3, 4, 5, 6, 7, 25, 26, 27, 28, 29, 30, 31};

// Position of a command code's second character in the code alphabet, -1
// when it is not one.
int IndexOf(char c);

struct TextRules {
    std::size_t maxBytes;
    bool allowLineBreaks;
    bool allowBar;
    bool allowEmpty;
};

// Text that can be stored and served back: any bytes within its limit (the
// station keeps text as the bytes it was sent, one byte per character,
// whatever their encoding), no control characters except tab (and line
// breaks where allowed), and no "|" where the text travels inside a field
// list.
bool IsStorableText(std::string_view text, const TextRules& rules);

// Optional "-", digits with at most one ".", at least one digit.
bool IsDecimalText(std::string_view text);

// Ids each followed by ".", e.g. "3.12."; the empty list is "".
bool IsIdList(std::string_view text);

std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max);

// Validates a script record's fields 2 to 5 into script (id left alone).
bool ParseScriptFields(const std::vector<std::string_view>& fields, Script& script);
// Validates an alert record's fields 2 to 14 into alert (id left alone).
bool ParseAlertFields(const std::vector<std::string_view>& fields, Alert& alert);

}  // namespace volnar::sim::rules
