// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "board_agent.h"
#include "station_model.h"

namespace volnar::sim {

// One request as the log shows it.
struct LogEntry {
    double time = 0;  // seconds since the Unix epoch
    long requestId = 0;
    std::string pdu;  // "GET", "GETNEXT", "SET", or the name of another PDU type
    std::string community;
    std::vector<AgentBinding> bindings;
    std::optional<int> errorStatus;  // empty when the request went unanswered
    std::optional<int> errorIndex;
    std::string note;         // why it went unanswered, when it did
    bool duplicated = false;  // its answer went out twice (--duplicate)
    // For a SET the model handled: whether the state the file keeps changed,
    // and the id of the (last) row it added, if any.
    std::optional<bool> changed;
    std::optional<std::uint32_t> addedId;
};

// One JSON object: time, request_id, pdu, oid and value (of the first
// binding), community, error_status, error_index, bindings, and note when
// the request was not answered; duplicated, changed and added_id when they
// apply.
std::string FormatLogEntry(const LogEntry& entry);
// An event line; requestId names the request that caused it, none for what
// the station does later on its own (a pulse's end, a script's later steps).
std::string FormatEvent(double time, const ModelEvent& event,
                        std::optional<long> requestId = std::nullopt);

// Appends lines to the log file, flushed one by one so that a test can read
// them while the simulator runs.
class RequestLog final {
public:
    RequestLog() = default;
    ~RequestLog();
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    bool Open(const std::string& path, std::string* error);
    void Write(const std::string& line);

private:
    std::FILE* m_file = nullptr;
};

}  // namespace volnar::sim
