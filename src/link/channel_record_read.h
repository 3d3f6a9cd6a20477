// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

#include "link/board_request.h"

namespace volnar {

// A channel's record read on its own, outside any operation (the fleet reads
// the trigger levels this way): the GET, and the record out of the answer.
struct ChannelRecordRead {
    // The GET of channel `channel`'s record (1 to 8) for `station`.
    static BoardRequest Request(const StationSettings& station, int channel, int requestId);
    // The record's bytes when `response` answers the read of `channel` with
    // them: no error, a binding, an octet string of that channel's record.
    // nullopt for a refusal, another object or a channel out of range.
    static std::optional<std::string_view> Record(const BoardResponse& response, int channel);
};

}  // namespace volnar
