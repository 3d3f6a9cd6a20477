// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "link/datagram_check.h"

namespace volnar {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;  // 127.0.0.1

TEST(DatagramCheck, OnlyTheStationsResponseForARequestInFlightIsAnAnswer) {
    const StationPeer station{{kLoopback, 16100}, "s3cret"};
    const std::set<int> inFlight{501, 420};
    struct Case {
        const char* name;
        DatagramFacts facts;
        DatagramVerdict verdict;
    };
    const Ipv4Endpoint home{kLoopback, 16100};
    const Case cases[] = {
        // clang-format off
        {.name = "answer", .facts = {kPduResponse, home, "s3cret", 501}, .verdict = DatagramVerdict::Answer},
        {.name = "routing id", .facts = {kPduResponse, home, "s3cret", 420}, .verdict = DatagramVerdict::Answer},
        {.name = "GET", .facts = {0xA0, home, "s3cret", 501}, .verdict = DatagramVerdict::NotAResponse},
        {.name = "GETNEXT", .facts = {0xA1, home, "s3cret", 501}, .verdict = DatagramVerdict::NotAResponse},
        {.name = "SET", .facts = {0xA3, home, "s3cret", 501}, .verdict = DatagramVerdict::NotAResponse},
        {.name = "v1 trap", .facts = {0xA4, home, "s3cret", 0}, .verdict = DatagramVerdict::NotAResponse},
        {.name = "other address", .facts = {kPduResponse, Ipv4Endpoint{kLoopback + 1, 16100}, "s3cret", 501}, .verdict = DatagramVerdict::ForeignSource},
        {.name = "other port", .facts = {kPduResponse, Ipv4Endpoint{kLoopback, 16101}, "s3cret", 501}, .verdict = DatagramVerdict::ForeignSource},
        {.name = "unknown sender", .facts = {kPduResponse, std::nullopt, "s3cret", 501}, .verdict = DatagramVerdict::ForeignSource},
        {.name = "wrong community", .facts = {kPduResponse, home, "public", 501}, .verdict = DatagramVerdict::WrongCommunity},
        {.name = "community prefix", .facts = {kPduResponse, home, "s3cre", 501}, .verdict = DatagramVerdict::WrongCommunity},
        {.name = "community with NUL", .facts = {kPduResponse, home, QByteArray("s3cret\0", 7), 501}, .verdict = DatagramVerdict::WrongCommunity},
        {.name = "id not in flight", .facts = {kPduResponse, home, "s3cret", 502}, .verdict = DatagramVerdict::NotInFlight},
        // clang-format on
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckDatagram(c.facts, station, inFlight), c.verdict) << c.name;
    }
}

TEST(DatagramCheck, StationEndpointIsFourDecimalOctets) {
    struct Case {
        QByteArray text;
        std::optional<Ipv4Endpoint> endpoint;
    };
    const Case cases[] = {
        {.text = "127.0.0.1", .endpoint = Ipv4Endpoint{kLoopback, 161}},
        {.text = "10.20.30.40", .endpoint = Ipv4Endpoint{0x0A141E28, 161}},
        {.text = "127.1", .endpoint = std::nullopt},
        {.text = "localhost", .endpoint = std::nullopt},
        {.text = QByteArray("127.0.0.1\0x", 11), .endpoint = std::nullopt},
        {.text = "", .endpoint = std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseIpv4Endpoint(c.text, 161), c.endpoint) << c.text.constData();
    }
}

}  // namespace
}  // namespace volnar
