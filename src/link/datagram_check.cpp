// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/datagram_check.h"

#include <arpa/inet.h>

namespace volnar {

DatagramVerdict CheckDatagram(const DatagramFacts& facts, const StationPeer& station,
                              const std::set<int>& inFlight) {
    if (facts.command != kPduResponse) {
        return DatagramVerdict::NotAResponse;
    }
    if (!facts.source || *facts.source != station.endpoint) {
        return DatagramVerdict::ForeignSource;
    }
    if (facts.community != station.community) {
        return DatagramVerdict::WrongCommunity;
    }
    if (inFlight.count(facts.requestId) == 0) {
        return DatagramVerdict::NotInFlight;
    }
    return DatagramVerdict::Answer;
}

const char* DatagramVerdictName(DatagramVerdict verdict) {
    switch (verdict) {
        case DatagramVerdict::Answer:
            return "answer";
        case DatagramVerdict::NotAResponse:
            return "not a response";
        case DatagramVerdict::ForeignSource:
            return "not from the station";
        case DatagramVerdict::WrongCommunity:
            return "wrong community";
        case DatagramVerdict::NotInFlight:
            return "no such request in flight";
        case DatagramVerdict::Unreadable:
            return "unreadable or unmatched";
    }
    return "?";
}

std::optional<Ipv4Endpoint> ParseIpv4Endpoint(const QByteArray& address, std::uint16_t port) {
    if (address.contains('\0')) {
        return std::nullopt;
    }
    in_addr parsed{};
    // inet_pton takes exactly four decimal octets, no shorthand forms.
    if (inet_pton(AF_INET, address.constData(), &parsed) != 1) {
        return std::nullopt;
    }
    return Ipv4Endpoint{ntohl(parsed.s_addr), port};
}

}  // namespace volnar
