// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/status_poll.h"

#include "link/board_objects.h"

namespace volnar {

BoardRequest StatusPoll::Request(const StationSettings& station, int requestId) {
    BoardRequest request;
    request.station = station;
    request.requestId = requestId;
    request.type = PduType::Get;
    request.oid = std::string(board::kStatusRecord);
    return request;
}

void StatusPoll::Sent(int requestId) {
    m_inFlight = requestId;
    m_sent.start();
}

std::optional<StatusPollEnding> StatusPoll::Answer(const BoardResponse& response) {
    if (m_inFlight == 0 || response.requestId != m_inFlight) {
        return std::nullopt;
    }
    m_inFlight = 0;
    StatusPollEnding ending;
    ending.roundTripMs = m_sent.elapsed();
    const bool record = response.errorStatus == 0 && response.hasBinding &&
                        response.syntax == kSyntaxOctetString &&
                        response.oid == board::kStatusRecord;
    ending.kind = record ? StatusPollEnding::Kind::Answered : StatusPollEnding::Kind::Refused;
    return ending;
}

std::optional<StatusPollEnding> StatusPoll::TimeOut(int requestId) {
    if (m_inFlight == 0 || requestId != m_inFlight) {
        return std::nullopt;
    }
    m_inFlight = 0;
    return StatusPollEnding{};
}

}  // namespace volnar
