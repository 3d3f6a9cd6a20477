// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <optional>

#include "link/board_request.h"

namespace volnar {

// How one status request ended.
struct StatusPollEnding {
    enum class Kind {
        Answered,  // the status record: `answer` holds it
        Refused,   // an error status, no binding, or not the status record
        Lost,      // no answer after the session's retries
    };
    Kind kind = Kind::Lost;
    qint64 roundTripMs = 0;  // Answered and Refused: from send to answer
};

// One station's status poll: the request for the status record, and which
// answer is its own. The main window's link and the fleet poll through it, so
// a status answer is checked and timed one way: only the answer or time-out
// of the request in flight counts, on a monotonic clock, and only an answer
// carrying the status record as an octet string with no error is Answered.
class StatusPoll final {
public:
    // The GET of the status record for `station` with `requestId`.
    static BoardRequest Request(const StationSettings& station, int requestId);

    // A status request with this id went out: it is the one in flight.
    void Sent(int requestId);
    // Nothing is waited for any more (another station, a stop).
    void Forget() { m_inFlight = 0; }
    int InFlightId() const { return m_inFlight; }

    // The ending this answer or time-out brings, when it is the in-flight
    // request's; nullopt for anything else (a late copy, another request).
    std::optional<StatusPollEnding> Answer(const BoardResponse& response);
    std::optional<StatusPollEnding> TimeOut(int requestId);

private:
    int m_inFlight = 0;
    QElapsedTimer m_sent;
};

}  // namespace volnar
