// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csignal>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "board_agent.h"
#include "options.h"
#include "request_log.h"
#include "station_model.h"

struct snmp_session;
struct snmp_pdu;

namespace volnar::sim {

// The SNMP side of the simulator: a net-snmp server session on a loopback
// UDP port whose callback receives every PDU and answers it itself (community
// check, drop, duplicate, delay and fail injection, the request log), with the
// station's objects served by BoardAgent.
class StationServer final {
public:
    StationServer(const Options& options, StationModel& model, RequestLog* log);
    ~StationServer();
    StationServer(const StationServer&) = delete;
    StationServer& operator=(const StationServer&) = delete;

    // Binds the port; afterwards port() is the real port.
    bool Open(std::string* error);
    std::uint16_t port() const { return m_port; }
    // State saves that failed during the run. A change is saved only once a
    // save succeeded; a failed one is tried again a second later.
    int failedSaves() const { return m_failedSaves; }

    // Serves every server (all share net-snmp's session list) until stop
    // becomes non-zero; wakeFd becomes readable when a signal arrives.
    // Any number of them: their sockets are watched with epoll.
    static void RunAll(const std::vector<StationServer*>& servers,
                       const volatile std::sig_atomic_t& stop, int wakeFd);

private:
    struct PendingAnswer {
        double due = 0;
        snmp_pdu* pdu = nullptr;
    };

    int Socket() const;
    // Reads the datagram waiting on this station's socket.
    void ReadOne();
    static int Receive(int operation, snmp_session* session, int requestId, snmp_pdu* pdu,
                       void* magic);
    static int AfterParse(snmp_session* session, snmp_pdu* pdu, int result);
    void HandlePdu(snmp_pdu* pdu);
    // Why pdu goes unanswered (not v1, not a request, wrong community,
    // dropped), nullptr when it is to be answered; sets the request's kind.
    const char* Refusal(const snmp_pdu* pdu, const LogEntry& entry, AgentRequest& request);
    // True with probability rate, drawn from the seeded generator (no draw
    // at all for rate 0, so the other draws stay as they were).
    bool Chance(double rate);
    // The model's answer, or the fault the options inject instead.
    AgentResponse Respond(const AgentRequest& request);
    // The error a --fail rule answers request with, if one applies.
    std::optional<AgentResponse> InjectedFailure(const AgentRequest& request) const;
    // The answer PDU; tooBig (and response changed to it) when it would not
    // fit one datagram.
    snmp_pdu* AnswerOf(snmp_pdu* pdu, const AgentRequest& request, AgentResponse& response);
    // Sends the answer now, or holds it for its --delay; twice: a copy
    // follows it a moment later.
    void SendOrHold(snmp_pdu* answer, bool twice);
    void Hold(double due, snmp_pdu* answer);
    snmp_pdu* BuildAnswer(snmp_pdu* request, const AgentResponse& response);
    // Whether the encoded answer fits the largest datagram the transport sends.
    bool FitsOneDatagram(snmp_pdu* answer) const;
    void SendAnswer(snmp_pdu* answer);
    // Logs the model's events (caused by request requestId, if given) and
    // saves the state when it changed.
    void AfterChange(std::optional<long> requestId = std::nullopt);
    void SaveChanges();
    // The seconds until this station has something to do.
    double Wait(double now) const;
    // Advances the model and sends the answers that are due.
    void Service(double now);

    const Options& m_options;
    StationModel& m_model;
    BoardAgent m_agent;
    RequestLog* m_log;
    snmp_session* m_session = nullptr;
    void* m_sessp = nullptr;  // m_session in net-snmp's list, found once
    std::uint16_t m_port = 0;
    std::deque<PendingAnswer> m_pending;  // in due order: delays are drawn per answer
    std::mt19937_64 m_random;
    std::uint64_t m_savedChangeCount = 0;
    int m_failedSaves = 0;
    int m_failingSince = 0;    // failed saves in a row, logged at the first
    double m_nextSaveTry = 0;  // monotonic; after a failed save
};

// Seconds on the monotonic clock (scheduling) and on the wall clock (log).
double MonotonicNow();
double WallNow();

}  // namespace volnar::sim
