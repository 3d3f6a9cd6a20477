// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_server.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "board_table.h"
#include "state_file.h"

namespace volnar::sim {

namespace {

const char* PduName(int command) {
    switch (command) {
        case SNMP_MSG_GET:
            return "GET";
        case SNMP_MSG_GETNEXT:
            return "GETNEXT";
        case SNMP_MSG_SET:
            return "SET";
        case SNMP_MSG_GETBULK:
            return "GETBULK";
        case SNMP_MSG_RESPONSE:
            return "RESPONSE";
        case SNMP_MSG_TRAP:
        case SNMP_MSG_TRAP2:
            return "TRAP";
        case SNMP_MSG_INFORM:
            return "INFORM";
        default:
            return "OTHER";
    }
}

AgentValue ValueOf(const netsnmp_variable_list* var) {
    AgentValue value;
    value.asnType = var->type;
    switch (var->type) {
        case ASN_NULL:
            value.type = AgentValue::Type::Null;
            break;
        case ASN_INTEGER:
            value.type = AgentValue::Type::Integer;
            value.integer = var->val.integer != nullptr ? *var->val.integer : 0;
            break;
        case ASN_OCTET_STR:
            value.type = AgentValue::Type::OctetString;
            if (var->val.string != nullptr) {
                value.bytes.assign(reinterpret_cast<const char*>(var->val.string), var->val_len);
            }
            break;
        default:
            value.type = AgentValue::Type::Other;
            break;
    }
    return value;
}

std::vector<AgentBinding> BindingsOf(const snmp_pdu* pdu) {
    std::vector<AgentBinding> bindings;
    for (const netsnmp_variable_list* var = pdu->variables; var != nullptr;
         var = var->next_variable) {
        AgentBinding binding;
        binding.oid.reserve(var->name_length);
        for (std::size_t i = 0; i < var->name_length; ++i) {
            binding.oid.push_back(static_cast<std::uint32_t>(var->name[i]));
        }
        binding.value = ValueOf(var);
        bindings.push_back(std::move(binding));
    }
    return bindings;
}

// A duplicating network delivers the copy shortly after the original.
constexpr double kDuplicateGapSeconds = 0.005;

const Oid& StatusRecordOid() {
    static const Oid oid =
        OidFromText(BoardObjectOf(BoardObjectId::StatusRecord).oid).value_or(Oid{});
    return oid;
}

// Largest payload of one UDP datagram over IPv4 (65535 less the IP and UDP
// headers), unless the transport allows less.
constexpr std::size_t kMaxDatagramBytes = 65507;

// The exact size of the message the answer encodes to, as net-snmp will
// build it; 0 when it cannot be built at all.
std::size_t EncodedSize(snmp_session* session, snmp_pdu* answer) {
    snmp_pdu* copy = snmp_clone_pdu(answer);
    if (copy == nullptr) {
        return 0;
    }
    std::size_t capacity = 4096;
    auto* buffer = static_cast<u_char*>(std::malloc(capacity));
    std::size_t offset = 0;
    std::size_t remaining = capacity;
    const int rc = buffer != nullptr ? snmp_build(&buffer, &remaining, &offset, session, copy) : -1;
    std::size_t size = 0;
    if (rc == 0) {
        // Reverse encoding (net-snmp's default) reports the length in
        // offset; forward encoding leaves what is left of the buffer.
        size = netsnmp_ds_get_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_REVERSE_ENCODE)
                   ? offset
                   : capacity - remaining;
    }
    std::free(buffer);
    snmp_free_pdu(copy);
    return size;
}

// The log entry of a received PDU, before it is answered.
LogEntry EntryOf(const snmp_pdu* pdu) {
    LogEntry entry;
    entry.time = WallNow();
    entry.requestId = pdu->reqid;
    entry.pdu = PduName(pdu->command);
    if (pdu->community != nullptr) {
        entry.community.assign(reinterpret_cast<const char*>(pdu->community), pdu->community_len);
    }
    entry.bindings = BindingsOf(pdu);
    return entry;
}

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

double MonotonicNow() {
    return Seconds(CLOCK_MONOTONIC);
}
double WallNow() {
    return Seconds(CLOCK_REALTIME);
}

StationServer::StationServer(const Options& options, StationModel& model, RequestLog* log)
    : m_options(options),
      m_model(model),
      m_agent(model),
      m_log(log),
      m_random(options.seed.value_or(static_cast<std::uint64_t>(WallNow() * 1e6)) ^
               0x9E3779B97F4A7C15ULL),
      m_savedChangeCount(model.changeCount()) {}

StationServer::~StationServer() {
    for (PendingAnswer& answer : m_pending) {
        snmp_free_pdu(answer.pdu);
    }
    if (m_session != nullptr) {
        snmp_close(m_session);
    }
}

bool StationServer::Open(std::string* error) {
    // One socket per station: thousands of them need more than the usual
    // soft limit of 1,024 descriptors; the hard limit is what may be had.
    static const bool raised = [] {
        rlimit limit{};
        if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) {
            return false;
        }
        limit.rlim_cur = limit.rlim_max;
        return setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }();
    static_cast<void>(raised);
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.callback = &StationServer::Receive;
    settings.callback_magic = this;
    const std::string endpoint =
        "udp:" + m_options.listenAddress + ":" + std::to_string(m_options.listenPort);
    netsnmp_transport* transport = netsnmp_tdomain_transport(endpoint.c_str(), 1, "udp");
    if (transport == nullptr) {
        *error = "cannot listen on " + m_options.listenAddress + ":" +
                 std::to_string(m_options.listenPort);
        return false;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (getsockname(transport->sock, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        netsnmp_transport_free(transport);
        *error = "cannot read the bound port";
        return false;
    }
    m_port = ntohs(bound.sin_port);
    // net-snmp hands a Response PDU only to the request it answers, and a
    // station has none: the post-parse hook sees every parsed PDU first, so
    // Responses are logged there.
    m_session = snmp_add_full(&settings, transport, nullptr, nullptr, &StationServer::AfterParse,
                              nullptr, nullptr, nullptr, nullptr);
    if (m_session == nullptr) {
        *error = "cannot open the SNMP session";
        return false;
    }
    m_sessp = snmp_sess_pointer(m_session);
    return m_sessp != nullptr;
}

int StationServer::Receive(int operation, snmp_session*, int, snmp_pdu* pdu, void* magic) {
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && magic != nullptr) {
        static_cast<StationServer*>(magic)->HandlePdu(pdu);
    }
    return 1;
}

int StationServer::AfterParse(snmp_session* session, snmp_pdu* pdu, int result) {
    if (result != SNMPERR_SUCCESS || pdu->command != SNMP_MSG_RESPONSE) {
        return 1;  // net-snmp goes on: a request reaches Receive, garbage is dropped
    }
    if (session != nullptr && session->callback_magic != nullptr) {
        static_cast<StationServer*>(session->callback_magic)->HandlePdu(pdu);
    }
    return 0;  // logged, and nothing more to do with it
}

void StationServer::HandlePdu(snmp_pdu* pdu) {
    LogEntry entry = EntryOf(pdu);
    AgentRequest request;
    if (const char* why = Refusal(pdu, entry, request)) {
        entry.note = why;
        if (m_log != nullptr) {
            m_log->Write(FormatLogEntry(entry));
        }
        return;
    }
    request.bindings = entry.bindings;

    // Every copy a client resends is carried out again, as by a real
    // station; the log tells from these what each SET did.
    const std::uint64_t changesBefore = m_model.changeCount();
    const std::uint64_t addsBefore = m_model.addCount();
    AgentResponse response = Respond(request);
    snmp_pdu* answer = AnswerOf(pdu, request, response);
    entry.errorStatus = response.errorStatus;
    entry.errorIndex = response.errorIndex;
    if (request.kind == PduKind::Set) {
        entry.changed = m_model.changeCount() != changesBefore;
        if (m_model.addCount() != addsBefore) {
            entry.addedId = m_model.lastAddedId();
        }
    }
    entry.duplicated = answer != nullptr && Chance(m_options.duplicateRate);
    if (m_log != nullptr) {
        m_log->Write(FormatLogEntry(entry));
    }
    if (answer != nullptr) {
        SendOrHold(answer, entry.duplicated);
    }
    AfterChange(entry.requestId);
}

bool StationServer::Chance(double rate) {
    return rate > 0 && std::generate_canonical<double, 53>(m_random) < rate;
}

AgentResponse StationServer::Respond(const AgentRequest& request) {
    if (auto injected = InjectedFailure(request)) {
        return std::move(*injected);
    }
    AgentResponse response = m_agent.Handle(request, MonotonicNow());
    if (request.kind == PduKind::Get && !m_options.statusOid.empty()) {
        // A faulty station: the status record comes back under another name.
        for (AgentBinding& binding : response.bindings) {
            if (binding.oid == StatusRecordOid()) {
                binding.oid = m_options.statusOid;
            }
        }
    }
    return response;
}

const char* StationServer::Refusal(const snmp_pdu* pdu, const LogEntry& entry,
                                   AgentRequest& request) {
    if (pdu->version != SNMP_VERSION_1) {
        return "not SNMP v1";
    }
    switch (pdu->command) {
        case SNMP_MSG_GET:
            request.kind = PduKind::Get;
            break;
        case SNMP_MSG_GETNEXT:
            request.kind = PduKind::GetNext;
            break;
        case SNMP_MSG_SET:
            request.kind = PduKind::Set;
            break;
        default:
            return "not a request";
    }
    if (entry.community != m_options.community) {
        return "wrong community";
    }
    if (Chance(m_options.dropRate)) {
        return "dropped";
    }
    return nullptr;
}

std::optional<AgentResponse> StationServer::InjectedFailure(const AgentRequest& request) const {
    for (std::size_t i = 0; i < request.bindings.size(); ++i) {
        const Oid& oid = request.bindings[i].oid;
        std::optional<Oid> next;
        if (request.kind == PduKind::GetNext) {
            next = m_agent.NextReadable(oid);
        }
        for (const FailRule& rule : m_options.failRules) {
            if (OidWithin(oid, rule.oid) || (next && OidWithin(*next, rule.oid))) {
                AgentResponse response;
                response.errorStatus = rule.status;
                response.errorIndex = static_cast<int>(i + 1);
                response.bindings = request.bindings;
                return response;
            }
        }
    }
    return std::nullopt;
}

snmp_pdu* StationServer::AnswerOf(snmp_pdu* pdu, const AgentRequest& request,
                                  AgentResponse& response) {
    snmp_pdu* answer = BuildAnswer(pdu, response);
    if (answer != nullptr && response.errorStatus == 0 && !FitsOneDatagram(answer)) {
        // Too big for one datagram: tooBig with the request's bindings, as
        // an agent answers when its reply does not fit.
        snmp_free_pdu(answer);
        response.errorStatus = SNMP_ERR_TOOBIG;
        response.errorIndex = 0;
        response.bindings = request.bindings;
        answer = BuildAnswer(pdu, response);
    }
    return answer;
}

void StationServer::SendOrHold(snmp_pdu* answer, bool twice) {
    // Cloned before sending: the library frees what it sent.
    snmp_pdu* copy = twice ? snmp_clone_pdu(answer) : nullptr;
    double due = MonotonicNow();
    if (m_options.delayMs <= 0 && m_options.jitterMs <= 0) {
        SendAnswer(answer);
    } else {
        std::uniform_int_distribution<int> jitter(-m_options.jitterMs, m_options.jitterMs);
        due += std::max(0, m_options.delayMs + jitter(m_random)) / 1000.0;
        Hold(due, answer);
    }
    if (copy != nullptr) {
        Hold(due + kDuplicateGapSeconds, copy);
    }
}

void StationServer::Hold(double due, snmp_pdu* answer) {
    PendingAnswer pending{due, answer};
    const auto at = std::upper_bound(
        m_pending.begin(), m_pending.end(), pending,
        [](const PendingAnswer& a, const PendingAnswer& b) { return a.due < b.due; });
    m_pending.insert(at, pending);
}

snmp_pdu* StationServer::BuildAnswer(snmp_pdu* request, const AgentResponse& response) {
    snmp_pdu* answer = snmp_clone_pdu(request);
    if (answer == nullptr) {
        return nullptr;
    }
    answer->command = SNMP_MSG_RESPONSE;
    answer->flags &= ~UCD_MSG_FLAG_EXPECT_RESPONSE;
    answer->errstat = response.errorStatus;
    answer->errindex = response.errorIndex;
    if (response.errorStatus != 0) {
        // An error answer carries the request's bindings unchanged.
        return answer;
    }
    snmp_free_varbind(answer->variables);
    answer->variables = nullptr;
    for (const AgentBinding& binding : response.bindings) {
        std::vector<oid> name(binding.oid.begin(), binding.oid.end());
        const AgentValue& value = binding.value;
        switch (value.type) {
            case AgentValue::Type::Integer: {
                long integer = static_cast<long>(value.integer);
                snmp_pdu_add_variable(answer, name.data(), name.size(), ASN_INTEGER, &integer,
                                      sizeof integer);
                break;
            }
            case AgentValue::Type::OctetString:
                snmp_pdu_add_variable(answer, name.data(), name.size(), ASN_OCTET_STR,
                                      value.bytes.data(), value.bytes.size());
                break;
            case AgentValue::Type::Null:
            case AgentValue::Type::Other:
                snmp_pdu_add_variable(answer, name.data(), name.size(), ASN_NULL, nullptr, 0);
                break;
        }
    }
    return answer;
}

bool StationServer::FitsOneDatagram(snmp_pdu* answer) const {
    std::size_t limit = kMaxDatagramBytes;
    if (const netsnmp_transport* transport = snmp_sess_transport(m_sessp)) {
        limit = std::min(limit, transport->msgMaxSize);
    }
    const std::size_t size = EncodedSize(m_session, answer);
    return size > 0 && size <= limit;
}

void StationServer::SendAnswer(snmp_pdu* answer) {
    if (snmp_send(m_session, answer) != 0) {
        return;  // the library owns and frees the PDU now
    }
    const int error = m_session->s_snmp_errno;
    std::fprintf(stderr, "volnar-station: cannot send an answer: %s\n", snmp_api_errstring(error));
    snmp_free_pdu(answer);
}

void StationServer::AfterChange(std::optional<long> requestId) {
    const std::vector<ModelEvent> events = m_model.TakeEvents();
    if (m_log != nullptr) {
        for (const ModelEvent& event : events) {
            m_log->Write(FormatEvent(WallNow(), event, requestId));
        }
    }
    SaveChanges();
}

// A change the station acknowledged counts as kept only when it is in the
// file: a failed save is counted, said once per run of failures, and tried
// again a second later until one succeeds.
void StationServer::SaveChanges() {
    if (!m_options.stateFile || m_model.changeCount() == m_savedChangeCount ||
        MonotonicNow() < m_nextSaveTry) {
        return;
    }
    std::string error;
    if (!SaveState(*m_options.stateFile, m_model, &error)) {
        ++m_failedSaves;
        if (m_failingSince++ == 0) {
            std::fprintf(stderr, "volnar-station: %s; trying again every second\n", error.c_str());
        }
        m_nextSaveTry = MonotonicNow() + 1.0;
        return;
    }
    if (m_failingSince > 0) {
        std::fprintf(stderr, "volnar-station: state saved after %d failed attempts\n",
                     m_failingSince);
    }
    m_failingSince = 0;
    m_savedChangeCount = m_model.changeCount();
}

double StationServer::Wait(double now) const {
    double wait = 1.0;
    if (const auto due = m_model.NextDueTime()) {
        wait = std::min(wait, *due - now);
    }
    if (!m_pending.empty()) {
        wait = std::min(wait, m_pending.front().due - now);
    }
    return wait;
}

void StationServer::Service(double now) {
    m_model.Advance(now);
    AfterChange();
    while (!m_pending.empty() && m_pending.front().due <= now) {
        snmp_pdu* answer = m_pending.front().pdu;
        m_pending.pop_front();
        SendAnswer(answer);
    }
}

int StationServer::Socket() const {
    const netsnmp_transport* transport = snmp_sess_transport(m_sessp);
    return transport != nullptr ? transport->sock : -1;
}

void StationServer::ReadOne() {
    const int socket = Socket();
    netsnmp_large_fd_set readable;
    netsnmp_large_fd_set_init(&readable, socket + 1);
    NETSNMP_LARGE_FD_SET(socket, &readable);
    snmp_sess_read2(m_sessp, &readable);
    netsnmp_large_fd_set_cleanup(&readable);
}

// Every station's socket in one epoll set: a datagram costs the same for one
// station or 50,000, where select() stopped at 1,024 descriptors and
// net-snmp's snmp_read() walks every session. Only the station that
// received is serviced at once; all of them when the earliest one is due
// (at least once a second).
void StationServer::RunAll(const std::vector<StationServer*>& servers,
                           const volatile std::sig_atomic_t& stop, int wakeFd) {
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    if (epoll < 0) {
        std::perror("volnar-station: epoll_create1");
        return;
    }
    const auto watch = [epoll](int fd, std::uint64_t key) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = key;
        return epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) == 0;
    };
    const std::uint64_t wakeKey = servers.size();
    bool watching = watch(wakeFd, wakeKey);
    for (std::size_t i = 0; i < servers.size() && watching; ++i) {
        watching = watch(servers[i]->Socket(), i);
    }
    if (!watching) {
        std::perror("volnar-station: epoll_ctl");
        close(epoll);
        return;
    }
    std::vector<epoll_event> ready(256);
    double allDue = 0;
    while (stop == 0) {
        double now = MonotonicNow();
        if (now >= allDue) {
            snmp_timeout();
            allDue = now + 1.0;
            for (StationServer* server : servers) {
                server->Service(now);
                allDue = std::min(allDue, now + server->Wait(now));
            }
        }
        const double wait = std::max(allDue - now, 0.0);
        const int count = epoll_wait(epoll, ready.data(), static_cast<int>(ready.size()),
                                     static_cast<int>(std::ceil(wait * 1000)));
        if (count < 0 && errno != EINTR) {
            std::perror("volnar-station: epoll_wait");
            break;
        }
        now = MonotonicNow();
        for (int i = 0; i < count; ++i) {
            const std::uint64_t key = ready[static_cast<std::size_t>(i)].data.u64;
            if (key == wakeKey) {
                close(epoll);
                return;
            }
            StationServer* server = servers[key];
            server->ReadOne();
            server->Service(now);
            allDue = std::min(allDue, now + server->Wait(now));
        }
    }
    close(epoll);
}

}  // namespace volnar::sim
