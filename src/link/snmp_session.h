// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "link/datagram_check.h"
#include "link/snmp_transport.h"

class QTimer;
struct snmp_session;
struct snmp_pdu;

namespace volnar {

// SNMP version 1 over net-snmp's single-session API, serviced on the thread
// that made it (the GUI thread): each net-snmp session's socket by a
// SocketWatch (one epoll descriptor for every socket of the thread), its
// retransmissions and time-outs by a single-shot QTimer. One net-snmp session
// is kept per station settings; a session left behind by a settings change
// lives until its last request is answered or timed out.
//
// net-snmp matches version 1 answers by request id alone, so a request whose
// id is already in flight waits until that one is answered or timed out.
//
// Only Response PDUs from the station's own address and port, with its
// community, for a request in flight are delivered (CheckDatagram); anything
// else reaching the socket is dropped, counted and logged.
class SnmpSession final : public SnmpTransport {
    Q_OBJECT

public:
    explicit SnmpSession(QObject* parent = nullptr);
    ~SnmpSession() override;

    SendStatus Send(const BoardRequest& request) override;
    void Close() override;

    // Datagrams dropped because they were no answer of the station's (a
    // request or trap PDU, another sender, another community, an id not in
    // flight); each is logged in volnar.link and never delivered.
    int DroppedCount() const { return m_dropped; }
    // Dropped by every session of the program: the log shows the first
    // twenty of these, then every thousandth.
    static quint64 DroppedInAll();
    // UDP port of the current net-snmp session's socket, 0 when none is open
    // (for tests that send to the client's port).
    quint16 LocalPort() const;

    // Number of net-snmp sessions currently open (for tests).
    int OpenSessionCount() const { return static_cast<int>(m_channels.size()); }
    // Requests waiting for an answer to an earlier one with their id.
    int WaitingCount() const {
        int count = 0;
        for (const auto& entry : m_waiting) {
            count += static_cast<int>(entry.second.size());
        }
        return count;
    }

private:
    struct Channel;
    struct Event {
        bool timedOut = false;
        BoardResponse response;
    };

    static int OnNetSnmpEvent(int operation, ::snmp_session* session, int requestId,
                              ::snmp_pdu* pdu, void* magic);

    // The session for `station`'s settings; a `once` session (no resends) is
    // kept apart and never becomes the current one.
    Channel* ChannelFor(const StationSettings& station, bool once);
    SendStatus SendNow(const BoardRequest& request, const std::vector<std::uint32_t>& arcs);
    void ServiceRead(Channel* channel);
    void ServiceTimeout(Channel* channel);
    void ArmTimer(Channel* channel);
    void DeliverEvents();
    void Finish(int requestId);
    void SchedulePrune();
    void PruneChannels();
    void CloseChannel(Channel* channel);
    // `reason`: what net-snmp's counters say of an Unreadable datagram.
    void NoteDropped(DatagramVerdict verdict, const DatagramFacts& facts,
                     const QString& reason = {});

    std::vector<std::unique_ptr<Channel>> m_channels;
    Channel* m_current = nullptr;
    std::set<int> m_inFlight;
    std::map<int, std::deque<BoardRequest>> m_waiting;
    std::deque<Event> m_events;
    int m_dropped = 0;
    bool m_closed = false;
    bool m_pruneScheduled = false;

    Q_DISABLE_COPY_MOVE(SnmpSession)
};

}  // namespace volnar
