// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/channel_record_read.h"

#include "core/status_record.h"
#include "link/board_objects.h"

namespace volnar {
namespace {

bool InRange(int channel) {
    return channel >= 1 && channel <= kChannelCount;
}

}  // namespace

BoardRequest ChannelRecordRead::Request(const StationSettings& station, int channel,
                                        int requestId) {
    BoardRequest request;
    request.station = station;
    request.requestId = requestId;
    request.type = PduType::Get;
    if (InRange(channel)) {
        request.oid = std::string(board::kChannelRecord[static_cast<std::size_t>(channel)]);
    }
    return request;
}

std::optional<std::string_view> ChannelRecordRead::Record(const BoardResponse& response,
                                                          int channel) {
    if (!InRange(channel) || response.errorStatus != 0 || !response.hasBinding ||
        response.syntax != kSyntaxOctetString ||
        response.oid != board::kChannelRecord[static_cast<std::size_t>(channel)]) {
        return std::nullopt;
    }
    return std::string_view(response.value.constData(),
                            static_cast<std::size_t>(response.value.size()));
}

}  // namespace volnar
