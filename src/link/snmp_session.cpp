// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/snmp_session.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on

#include <netinet/in.h>
#include <sys/socket.h>

#include <QLoggingCategory>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "link/logging.h"
#include "link/socket_watch.h"

namespace volnar {

namespace {

// net-snmp is used without reading MIB modules, configuration or persistent
// files: identifiers are numeric, and every setting comes from the station
// directory. snmp_sess_init() performs only the library's internal set-up
// (transports, request-id seeds), never init_snmp().
void PrepareNetSnmp() {
    static std::once_flag once;
    std::call_once(once, [] {
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_LOAD_HOST_FILES, 1);
    });
}

// A descriptor set for net-snmp's select calls, kept for the thread: sized
// once for the highest descriptor seen, so thousands of sessions allocate
// nothing per call.
class FdSet final {
public:
    FdSet() { netsnmp_large_fd_set_init(&m_set, FD_SETSIZE); }
    ~FdSet() { netsnmp_large_fd_set_cleanup(&m_set); }
    netsnmp_large_fd_set* Cleared() {
        NETSNMP_LARGE_FD_ZERO(&m_set);
        return &m_set;
    }
    Q_DISABLE_COPY_MOVE(FdSet)

private:
    netsnmp_large_fd_set m_set{};
};

FdSet& ThreadFdSet() {
    thread_local FdSet set;
    return set;
}

// The UDP socket net-snmp opened for the session, -1 when it has none.
int SocketOf(void* sessp) {
    const netsnmp_transport* transport = snmp_sess_transport(sessp);
    return transport == nullptr ? -1 : transport->sock;
}

// Milliseconds until net-snmp's next resend or time-out of the session;
// nullopt when no request is pending.
std::optional<qint64> NextTimeoutMs(void* sessp) {
    int numfds = 0;
    int block = 1;
    timeval tv{0, 0};
    snmp_sess_select_info2(sessp, &numfds, ThreadFdSet().Cleared(), &tv, &block);
    if (block != 0) {
        return std::nullopt;
    }
    return static_cast<qint64>(tv.tv_sec) * 1000 + (tv.tv_usec + 999) / 1000;
}

// The sender of a datagram as net-snmp's UDP transport recorded it.
std::optional<Ipv4Endpoint> SourceOf(const netsnmp_pdu* pdu) {
    if (pdu->transport_data == nullptr ||
        pdu->transport_data_length < static_cast<int>(sizeof(netsnmp_indexed_addr_pair))) {
        return std::nullopt;
    }
    const auto* pair = static_cast<const netsnmp_indexed_addr_pair*>(pdu->transport_data);
    if (pair->remote_addr.sa.sa_family != AF_INET) {
        return std::nullopt;
    }
    return Ipv4Endpoint{ntohl(pair->remote_addr.sin.sin_addr.s_addr),
                        ntohs(pair->remote_addr.sin.sin_port)};
}

DatagramFacts FactsOf(const netsnmp_pdu* pdu) {
    DatagramFacts facts;
    facts.command = pdu->command;
    facts.source = SourceOf(pdu);
    if (pdu->community != nullptr) {
        facts.community = QByteArray(reinterpret_cast<const char*>(pdu->community),
                                     static_cast<qsizetype>(pdu->community_len));
    }
    facts.requestId = static_cast<int>(pdu->reqid);
    return facts;
}

QString EndpointText(const std::optional<Ipv4Endpoint>& endpoint) {
    if (!endpoint) {
        return QStringLiteral("unknown sender");
    }
    const std::uint32_t a = endpoint->address;
    return QStringLiteral("%1.%2.%3.%4:%5")
        .arg(a >> 24)
        .arg(a >> 16 & 0xFF)
        .arg(a >> 8 & 0xFF)
        .arg(a & 0xFF)
        .arg(endpoint->port);
}

// Why net-snmp took a datagram without calling back: its count of answers
// for no request, or the error of the read (a parse error, another version).
QString RefusalReason(void* sessp, int readResult, u_int unmatchedBefore) {
    if (snmp_get_statistic(STAT_SNMPUNKNOWNPDUHANDLERS) != unmatchedBefore) {
        // Late after its time-out, a second copy, or for a request of
        // another program that had this port before.
        return QStringLiteral("a response no request waits for");
    }
    if (readResult < 0) {
        int systemError = 0;
        int snmpError = 0;
        char* text = nullptr;
        snmp_sess_error(sessp, &systemError, &snmpError, &text);
        const QString reason = QString::fromLocal8Bit(text);
        std::free(text);
        return reason;
    }
    return QStringLiteral("nothing read");
}

// The sender of the datagram waiting on `socket`, read without taking it.
std::optional<Ipv4Endpoint> PeekSender(int socket) {
    sockaddr_in from{};
    socklen_t length = sizeof(from);
    char byte = 0;
    if (recvfrom(socket, &byte, sizeof byte, MSG_PEEK | MSG_DONTWAIT,
                 reinterpret_cast<sockaddr*>(&from), &length) < 0 ||
        from.sin_family != AF_INET) {
        return std::nullopt;
    }
    return Ipv4Endpoint{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
}

std::atomic<quint64> g_droppedInAll{0};

bool IsOctetSyntax(int type) {
    return type == ASN_OCTET_STR || type == ASN_OPAQUE || type == ASN_IPADDRESS;
}

}  // namespace

struct SnmpSession::Channel {
    SnmpSession* owner = nullptr;
    StationSettings settings;
    StationPeer peer;
    void* sessp = nullptr;
    int socket = -1;
    std::unique_ptr<SocketWatch> watch;
    std::unique_ptr<QTimer> timer;
    std::set<int> inFlight;
    bool closing = false;
    bool once = false;  // for SETs that are never resent
};

SnmpSession::SnmpSession(QObject* parent) : SnmpTransport(parent) {
    PrepareNetSnmp();
}

SnmpSession::~SnmpSession() {
    m_closed = true;
    while (!m_channels.empty()) {
        CloseChannel(m_channels.back().get());
    }
}

SendStatus SnmpSession::Send(const BoardRequest& request) {
    if (m_closed) {
        return SendStatus::SessionFailed;
    }
    const auto arcs = ParseDottedOid(request.oid);
    if (!arcs) {
        return SendStatus::BadIdentifier;
    }
    if (m_inFlight.count(request.requestId) > 0) {
        // Answers are matched by request id alone: wait for the first one.
        m_waiting[request.requestId].push_back(request);
        return SendStatus::Accepted;
    }
    return SendNow(request, *arcs);
}

SendStatus SnmpSession::SendNow(const BoardRequest& request,
                                const std::vector<std::uint32_t>& arcs) {
    Channel* channel = ChannelFor(request.station, request.once);
    if (channel == nullptr) {
        return SendStatus::SessionFailed;
    }
    netsnmp_pdu* pdu = snmp_pdu_create(static_cast<int>(request.type));
    if (pdu == nullptr) {
        return SendStatus::SendFailed;
    }
    // snmp_pdu_create drew an id of its own; the station must see ours, and
    // net-snmp matches the answer by it.
    pdu->reqid = request.requestId;
    std::vector<oid> name(arcs.begin(), arcs.end());
    netsnmp_variable_list* added = nullptr;
    static const u_char kEmpty[1] = {0};
    switch (request.value.syntax) {
        case kSyntaxOctetString: {
            const QByteArray& bytes = request.value.octets;
            added = snmp_pdu_add_variable(
                pdu, name.data(), name.size(), ASN_OCTET_STR,
                bytes.isEmpty() ? kEmpty : reinterpret_cast<const u_char*>(bytes.constData()),
                static_cast<size_t>(bytes.size()));
            break;
        }
        case kSyntaxInteger: {
            const long value = request.value.integer;
            added = snmp_pdu_add_variable(pdu, name.data(), name.size(), ASN_INTEGER, &value,
                                          sizeof(value));
            break;
        }
        default:
            added = snmp_add_null_var(pdu, name.data(), name.size());
            break;
    }
    if (added == nullptr) {
        snmp_free_pdu(pdu);
        return SendStatus::SendFailed;
    }
    if (snmp_sess_async_send(channel->sessp, pdu, nullptr, nullptr) == 0) {
        snmp_free_pdu(pdu);
        return SendStatus::SendFailed;
    }
    channel->inFlight.insert(request.requestId);
    m_inFlight.insert(request.requestId);
    ArmTimer(channel);
    return SendStatus::Accepted;
}

SnmpSession::Channel* SnmpSession::ChannelFor(const StationSettings& station, bool once) {
    if (!once && m_current != nullptr && m_current->settings == station) {
        return m_current;
    }
    for (const auto& channel : m_channels) {
        if (channel->settings == station && channel->once == once && !channel->closing) {
            if (!once) {
                m_current = channel.get();
                SchedulePrune();
            }
            return channel.get();
        }
    }

    const std::optional<Ipv4Endpoint> endpoint =
        ParseIpv4Endpoint(station.address.toLatin1(), station.port);
    if (!endpoint) {
        qCWarning(lcLinkSession) << "not an IPv4 address:" << station.address;
        return nullptr;
    }
    auto channel = std::make_unique<Channel>();
    channel->owner = this;
    channel->settings = station;
    channel->once = once;
    channel->peer = StationPeer{*endpoint, station.community};

    netsnmp_session session;
    snmp_sess_init(&session);
    QByteArray peer = "udp:" + station.address.toLatin1() + ':' + QByteArray::number(station.port);
    QByteArray community = station.community;
    session.version = SNMP_VERSION_1;
    session.peername = peer.data();
    session.community = reinterpret_cast<u_char*>(community.data());
    session.community_len = static_cast<size_t>(community.size());
    // No time-out of its own (an empty, NULL or "0" TIMEOUT) means net-snmp's
    // default; 0 would time every request out at once.
    session.timeout = station.timeoutMicroseconds > 0
                          ? static_cast<long>(station.timeoutMicroseconds)
                          : static_cast<long>(SNMP_DEFAULT_TIMEOUT);
    session.retries = std::max(0, station.retries);
    session.callback = &SnmpSession::OnNetSnmpEvent;
    session.callback_magic = channel.get();
    channel->sessp = snmp_sess_open(&session);
    if (channel->sessp == nullptr) {
        qCWarning(lcLinkSession) << "cannot open a session for" << station.address;
        return nullptr;
    }
    Channel* raw = channel.get();
    channel->socket = SocketOf(channel->sessp);
    channel->watch = SocketWatch::Start(channel->socket, [this, raw] { ServiceRead(raw); });
    if (!channel->watch) {
        snmp_sess_close(channel->sessp);
        return nullptr;
    }
    channel->timer = std::make_unique<QTimer>();
    channel->timer->setSingleShot(true);
    connect(channel->timer.get(), &QTimer::timeout, this, [this, raw] { ServiceTimeout(raw); });
    m_channels.push_back(std::move(channel));
    if (!once) {
        m_current = raw;
        SchedulePrune();
    }
    return raw;
}

int SnmpSession::OnNetSnmpEvent(int operation, netsnmp_session* /*session*/, int requestId,
                                netsnmp_pdu* pdu, void* magic) {
    auto* channel = static_cast<Channel*>(magic);
    if (channel == nullptr || channel->closing) {
        return 1;
    }
    // Called from inside snmp_sess_read/snmp_sess_timeout: only collect here;
    // the signals go out once net-snmp has returned.
    Event event;
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && pdu != nullptr) {
        const DatagramFacts facts = FactsOf(pdu);
        const DatagramVerdict verdict = CheckDatagram(facts, channel->peer, channel->inFlight);
        if (verdict != DatagramVerdict::Answer) {
            channel->owner->NoteDropped(verdict, facts);
            // 0 keeps net-snmp's own request alive, so the station's real
            // answer (or the time-out) still comes.
            return 0;
        }
        BoardResponse& r = event.response;
        r.requestId = static_cast<int>(pdu->reqid);
        r.errorStatus = static_cast<int>(pdu->errstat);
        r.errorIndex = static_cast<int>(pdu->errindex);
        const netsnmp_variable_list* vb = pdu->variables;
        r.hasBinding = vb != nullptr;
        if (vb != nullptr) {
            r.oid = DottedOid(vb->name, vb->name_length);
            r.syntax = vb->type;
            if (IsOctetSyntax(vb->type) && vb->val.string != nullptr) {
                r.value = QByteArray(reinterpret_cast<const char*>(vb->val.string),
                                     static_cast<qsizetype>(vb->val_len));
            }
        }
    } else if (operation == NETSNMP_CALLBACK_OP_TIMED_OUT) {
        event.timedOut = true;
        event.response.requestId = requestId;
    } else {
        return 1;
    }
    channel->inFlight.erase(event.response.requestId);
    channel->owner->m_events.push_back(std::move(event));
    return 1;
}

void SnmpSession::NoteDropped(DatagramVerdict verdict, const DatagramFacts& facts,
                              const QString& reason) {
    ++m_dropped;
    // A flood must not flood the log as well, however many sessions share it
    // (the fleet has one per station): the program's first drops are logged
    // one by one, then every thousandth with the running counts.
    const quint64 all = ++g_droppedInAll;
    if (all > 20 && all % 1000 != 0) {
        return;
    }
    QString text =
        QStringLiteral("dropped datagram (%1)").arg(QLatin1String(DatagramVerdictName(verdict)));
    if (verdict != DatagramVerdict::Unreadable) {
        text += QStringLiteral(": PDU 0x%1, request id %2, from %3")
                    .arg(facts.command, 2, 16, QLatin1Char('0'))
                    .arg(facts.requestId)
                    .arg(EndpointText(facts.source));
    } else if (!reason.isEmpty()) {
        text += QStringLiteral(": ") + reason;
    }
    qCWarning(lcLinkSession).noquote()
        << text + QStringLiteral("; %1 so far, %2 by all sessions").arg(m_dropped).arg(all);
}

quint64 SnmpSession::DroppedInAll() {
    return g_droppedInAll;
}

quint16 SnmpSession::LocalPort() const {
    if (m_current == nullptr || !m_current->watch) {
        return 0;
    }
    sockaddr_in local{};
    socklen_t length = sizeof(local);
    if (getsockname(m_current->socket, reinterpret_cast<sockaddr*>(&local), &length) != 0 ||
        local.sin_family != AF_INET) {
        return 0;
    }
    return ntohs(local.sin_port);
}

void SnmpSession::ServiceRead(Channel* channel) {
    if (m_closed || channel->closing) {
        return;
    }
    netsnmp_large_fd_set* fds = ThreadFdSet().Cleared();
    NETSNMP_LARGE_FD_SET(channel->socket, fds);
    const std::size_t eventsBefore = m_events.size();
    const int droppedBefore = m_dropped;
    const u_int unmatched = snmp_get_statistic(STAT_SNMPUNKNOWNPDUHANDLERS);
    // Who sent it, for the log of a datagram net-snmp will not show us.
    const std::optional<Ipv4Endpoint> sender = PeekSender(channel->socket);
    const int result = snmp_sess_read2(channel->sessp, fds);
    // One datagram per read: when it reached neither the events nor the
    // check, net-snmp refused it before calling back.
    if (m_events.size() == eventsBefore && m_dropped == droppedBefore) {
        QString reason = RefusalReason(channel->sessp, result, unmatched);
        if (sender) {
            reason += QStringLiteral(", from ") + EndpointText(sender) +
                      (*sender == channel->peer.endpoint ? QString()
                                                         : QStringLiteral(" (not the station)"));
        }
        NoteDropped(DatagramVerdict::Unreadable, DatagramFacts{}, reason);
    }
    ArmTimer(channel);
    DeliverEvents();
}

void SnmpSession::ServiceTimeout(Channel* channel) {
    if (m_closed || channel->closing) {
        return;
    }
    snmp_sess_timeout(channel->sessp);
    ArmTimer(channel);
    DeliverEvents();
}

void SnmpSession::ArmTimer(Channel* channel) {
    const std::optional<qint64> delayMs = NextTimeoutMs(channel->sessp);
    if (!delayMs) {
        channel->timer->stop();
        return;
    }
    channel->timer->start(static_cast<int>(std::clamp<qint64>(*delayMs, 0, INT_MAX)));
}

void SnmpSession::DeliverEvents() {
    while (!m_events.empty() && !m_closed) {
        Event event = std::move(m_events.front());
        m_events.pop_front();
        const int id = event.response.requestId;
        m_inFlight.erase(id);
        if (event.timedOut) {
            Q_EMIT TimedOut(id);
        } else {
            Q_EMIT ResponseReceived(event.response);
        }
        if (!m_closed) {
            Finish(id);
        }
    }
    SchedulePrune();
}

void SnmpSession::Finish(int requestId) {
    auto it = m_waiting.find(requestId);
    if (it == m_waiting.end() || m_inFlight.count(requestId) > 0) {
        return;
    }
    BoardRequest next = std::move(it->second.front());
    it->second.pop_front();
    if (it->second.empty()) {
        m_waiting.erase(it);
    }
    const auto arcs = ParseDottedOid(next.oid);  // checked when it was queued
    const SendStatus status = arcs ? SendNow(next, *arcs) : SendStatus::BadIdentifier;
    if (status != SendStatus::Accepted) {
        Q_EMIT DeferredSendFailed(status);
    }
}

void SnmpSession::SchedulePrune() {
    if (m_pruneScheduled || m_closed) {
        return;
    }
    m_pruneScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pruneScheduled = false;
        PruneChannels();
    });
}

void SnmpSession::PruneChannels() {
    if (m_closed) {
        return;
    }
    // SETs that must not be resent go out on a session of their own with no
    // retries, kept beside the current station's ordinary session.
    auto twinOfCurrent = [this](const Channel* channel) {
        return channel->once && m_current != nullptr &&
               channel->settings.address == m_current->settings.address &&
               channel->settings.port == m_current->settings.port &&
               channel->settings.community == m_current->settings.community;
    };
    for (std::size_t i = 0; i < m_channels.size();) {
        Channel* channel = m_channels[i].get();
        if (channel != m_current && channel->inFlight.empty() && !twinOfCurrent(channel)) {
            CloseChannel(channel);
        } else {
            ++i;
        }
    }
}

void SnmpSession::CloseChannel(Channel* channel) {
    channel->closing = true;
    channel->watch.reset();
    channel->timer.reset();
    snmp_sess_close(channel->sessp);
    if (m_current == channel) {
        m_current = nullptr;
    }
    auto it = std::find_if(m_channels.begin(), m_channels.end(),
                           [channel](const auto& c) { return c.get() == channel; });
    if (it != m_channels.end()) {
        m_channels.erase(it);
    }
}

void SnmpSession::Close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_events.clear();
    m_waiting.clear();
    m_inFlight.clear();
    // Stop servicing now; the net-snmp sessions are closed when this object
    // is destroyed, never from inside their own callbacks.
    for (const auto& channel : m_channels) {
        channel->closing = true;
        channel->watch.reset();
        if (channel->timer) {
            channel->timer->stop();
        }
    }
}

}  // namespace volnar
