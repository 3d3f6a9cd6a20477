// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>

#include <optional>
#include <vector>

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
//
// A poll may go out in several copies, each with an id of its own (the main
// window's link resends a poll itself, so that the answer tells which copy
// it answers): an answer to any copy ends the poll, timed from that copy;
// the first copy's time-out, the latest of the poll's, ends it as lost.
class StatusPoll final {
public:
    // The GET of the status record for `station` with `requestId`.
    static BoardRequest Request(const StationSettings& station, int requestId);
    // One try's time-out: the station's, or net-snmp's default of 1 s.
    static qint64 TryMs(const StationSettings& station);
    // The station's settings for a request its sender resends itself.
    static StationSettings SentOnce(const StationSettings& station);

    // A status request with this id went out: it is the one in flight.
    void Sent(int requestId);
    // Another copy of the poll in flight went out with this id.
    void Resent(int requestId);
    // Nothing is waited for any more (another station, a stop).
    void Forget() { m_copies.clear(); }
    // The id of the poll's first copy; 0 when none is in flight.
    int InFlightId() const { return m_copies.empty() ? 0 : m_copies.front().id; }

    // The ending this answer or time-out brings, when it is the in-flight
    // request's; nullopt for anything else (a late copy, another request).
    std::optional<StatusPollEnding> Answer(const BoardResponse& response);
    std::optional<StatusPollEnding> TimeOut(int requestId);

private:
    struct Copy {
        int id = 0;
        qint64 sentMs = 0;  // on m_clock
    };
    std::vector<Copy> m_copies;
    QElapsedTimer m_clock;  // started with the first copy
};

}  // namespace volnar
