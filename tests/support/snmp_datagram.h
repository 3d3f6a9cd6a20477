// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

// Hand-encoded SNMP version 1 messages and a UDP sender bound to a chosen
// loopback address, for sending what a station never would: requests, traps
// and answers from strangers. Independent of net-snmp and of the client.
namespace volnar::testing {

namespace ber {

inline std::string Length(std::size_t n) {
    std::string out;
    if (n < 0x80) {
        out.push_back(static_cast<char>(n));
        return out;
    }
    std::string digits;
    for (; n > 0; n >>= 8) {
        digits.insert(digits.begin(), static_cast<char>(n & 0xFF));
    }
    out.push_back(static_cast<char>(0x80 | digits.size()));
    return out + digits;
}

inline std::string Tlv(int tag, const std::string& content) {
    return std::string(1, static_cast<char>(tag)) + Length(content.size()) + content;
}

inline std::string Integer(std::int64_t value, int tag = 0x02) {
    std::string bytes;
    for (int i = 7; i >= 0; --i) {
        bytes.push_back(static_cast<char>(static_cast<std::uint64_t>(value) >> (8 * i) & 0xFF));
    }
    // Minimal two's complement: drop leading bytes that only repeat the sign.
    while (bytes.size() > 1 &&
           ((bytes[0] == 0 && !(bytes[1] & 0x80)) ||
            (static_cast<unsigned char>(bytes[0]) == 0xFF && (bytes[1] & 0x80)))) {
        bytes.erase(bytes.begin());
    }
    return Tlv(tag, bytes);
}

// Dotted text without a leading dot, at least two arcs.
inline std::string Oid(const std::vector<std::uint32_t>& arcs) {
    std::string content;
    auto put = [&content](std::uint64_t arc) {
        std::string chunk(1, static_cast<char>(arc & 0x7F));
        for (arc >>= 7; arc > 0; arc >>= 7) {
            chunk.insert(chunk.begin(), static_cast<char>(0x80 | (arc & 0x7F)));
        }
        content += chunk;
    };
    put(arcs.size() >= 2 ? 40ULL * arcs[0] + arcs[1] : 0);
    for (std::size_t i = 2; i < arcs.size(); ++i) {
        put(arcs[i]);
    }
    return Tlv(0x06, content);
}

inline std::vector<std::uint32_t> Arcs(const std::string& dotted) {
    std::vector<std::uint32_t> arcs;
    std::uint64_t arc = 0;
    for (char c : dotted + ".") {
        if (c == '.') {
            arcs.push_back(static_cast<std::uint32_t>(arc));
            arc = 0;
        } else {
            arc = arc * 10 + static_cast<unsigned>(c - '0');
        }
    }
    return arcs;
}

}  // namespace ber

inline constexpr int kGet = 0xA0, kGetNext = 0xA1, kResponse = 0xA2, kSet = 0xA3, kTrap = 0xA4;

// A version 1 message with one binding whose value is the encoded TLV `value`
// (an OCTET STRING of `text` when empty). Traps carry the v1 trap header.
inline std::string V1Message(int pdu, const std::string& community, std::int64_t requestId,
                             const std::string& oid, const std::string& text,
                             std::int64_t errorStatus = 0, std::string value = {}) {
    if (value.empty()) {
        value = ber::Tlv(0x04, text);
    }
    const std::string bindings = ber::Tlv(0x30, ber::Tlv(0x30, ber::Oid(ber::Arcs(oid)) + value));
    std::string body;
    if (pdu == kTrap) {
        body = ber::Oid(ber::Arcs(oid)) + ber::Tlv(0x40, std::string("\x7F\0\0\x02", 4)) +
               ber::Integer(6) + ber::Integer(requestId) + ber::Integer(1234, 0x43) + bindings;
    } else {
        body = ber::Integer(requestId) + ber::Integer(errorStatus) + ber::Integer(0) + bindings;
    }
    return ber::Tlv(0x30, ber::Integer(0) + ber::Tlv(0x04, community) + ber::Tlv(pdu, body));
}

// A UDP socket bound to `address` (a loopback address) and a free port.
class LoopbackSender final {
public:
    explicit LoopbackSender(const char* address = "127.0.0.1", std::uint16_t port = 0) {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        inet_pton(AF_INET, address, &local.sin_addr);
        if (m_fd >= 0 && (ntohl(local.sin_addr.s_addr) >> 24) == 127 &&
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0) {
            socklen_t length = sizeof(local);
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
            m_port = ntohs(local.sin_port);
        }
    }
    ~LoopbackSender() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    LoopbackSender(const LoopbackSender&) = delete;
    LoopbackSender& operator=(const LoopbackSender&) = delete;

    bool Ok() const { return m_port != 0; }
    int Socket() const { return m_fd; }
    std::uint16_t Port() const { return m_port; }

    // Sends to 127.0.0.1:port only.
    bool SendTo(std::uint16_t port, const std::string& bytes) const {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                        sizeof(to)) == static_cast<ssize_t>(bytes.size());
    }

private:
    int m_fd = -1;
    std::uint16_t m_port = 0;
};

}  // namespace volnar::testing
