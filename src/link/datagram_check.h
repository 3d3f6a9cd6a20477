// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <set>

// Which datagrams on a station session's socket are answers. SNMP version 1
// carries no authentication: anything can arrive on the client's port, and
// only what passes CheckDatagram is ever dispatched.
namespace volnar {

// The GetResponse PDU tag; every other PDU type is a request or a trap.
inline constexpr int kPduResponse = 0xA2;

// An IPv4 address and UDP port, both in host byte order.
struct Ipv4Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;

    friend bool operator==(const Ipv4Endpoint&, const Ipv4Endpoint&) = default;
};

// What a parsed datagram says about itself.
struct DatagramFacts {
    int command = 0;                     // PDU tag
    std::optional<Ipv4Endpoint> source;  // nullopt when the sender is not known
    QByteArray community;
    int requestId = 0;
};

// Who the session talks to.
struct StationPeer {
    Ipv4Endpoint endpoint;
    QByteArray community;
};

enum class DatagramVerdict {
    Answer,          // a Response from the station, for a request in flight
    NotAResponse,    // a request or trap PDU
    ForeignSource,   // from another address or port than the station's
    WrongCommunity,  // not the station's community
    NotInFlight,     // a request id this session is not waiting for
    Unreadable,      // refused by net-snmp itself: not a version 1 message,
                     // malformed, or a Response no request is waiting for
};

DatagramVerdict CheckDatagram(const DatagramFacts& facts, const StationPeer& station,
                              const std::set<int>& inFlight);

// Short name of a verdict for the log ("not a response", ...).
const char* DatagramVerdictName(DatagramVerdict verdict);

// The IPv4 endpoint of a dotted address text ("127.0.0.1") and port; nullopt
// for anything that is not four decimal octets.
std::optional<Ipv4Endpoint> ParseIpv4Endpoint(const QByteArray& address, std::uint16_t port);

}  // namespace volnar
