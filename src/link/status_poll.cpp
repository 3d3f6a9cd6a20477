// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/status_poll.h"

#include "link/board_objects.h"

#include <algorithm>

namespace volnar {

qint64 StatusPoll::TryMs(const StationSettings& station) {
    constexpr qint64 kDefaultTimeoutMicroseconds = 1'000'000;  // net-snmp's
    return (station.timeoutMicroseconds > 0 ? station.timeoutMicroseconds
                                            : kDefaultTimeoutMicroseconds) /
           1000;
}

StationSettings StatusPoll::SentOnce(const StationSettings& station) {
    StationSettings once = station;
    once.timeoutMicroseconds = TryMs(station) * 1000 * (std::max(0, station.retries) + 1);
    once.retries = 0;
    return once;
}

BoardRequest StatusPoll::Request(const StationSettings& station, int requestId) {
    BoardRequest request;
    request.station = station;
    request.requestId = requestId;
    request.type = PduType::Get;
    request.oid = std::string(board::kStatusRecord);
    return request;
}

void StatusPoll::Sent(int requestId) {
    m_copies.clear();
    m_clock.start();
    m_copies.push_back({requestId, 0});
}

void StatusPoll::Resent(int requestId) {
    if (!m_copies.empty()) {
        m_copies.push_back({requestId, m_clock.elapsed()});
    }
}

std::optional<StatusPollEnding> StatusPoll::Answer(const BoardResponse& response) {
    const auto copy = std::find_if(m_copies.begin(), m_copies.end(),
                                   [&](const Copy& c) { return c.id == response.requestId; });
    if (response.requestId == 0 || copy == m_copies.end()) {
        return std::nullopt;
    }
    StatusPollEnding ending;
    ending.roundTripMs = m_clock.elapsed() - copy->sentMs;
    m_copies.clear();
    const bool record = response.errorStatus == 0 && response.hasBinding &&
                        response.syntax == kSyntaxOctetString &&
                        response.oid == board::kStatusRecord;
    ending.kind = record ? StatusPollEnding::Kind::Answered : StatusPollEnding::Kind::Refused;
    return ending;
}

std::optional<StatusPollEnding> StatusPoll::TimeOut(int requestId) {
    // Every copy waits as long as the first: the first one's time-out is
    // the poll's; the later copies' come after it has ended.
    if (m_copies.empty() || requestId == 0 || requestId != m_copies.front().id) {
        return std::nullopt;
    }
    m_copies.clear();
    return StatusPollEnding{};
}

}  // namespace volnar
