// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/station_record.h"
#include "core/station_text.h"

// Plain data exchanged between the board link and its SNMP transport.
namespace volnar {

// Request PDU types, numbered as on the wire.
enum class PduType : int { Get = 0xA0, GetNext = 0xA1, Set = 0xA3 };

// Value syntaxes, numbered as their BER tags.
inline constexpr int kSyntaxInteger = 2;
inline constexpr int kSyntaxOctetString = 4;
inline constexpr int kSyntaxNull = 5;

// Where one request goes: the station's address and its settings from the
// directory, already converted.
struct StationSettings {
    QString address;                 // canonical dotted IPv4 text
    quint16 port = 161;              // 1-65535
    QByteArray community;            // the station's password
    qint64 timeoutMicroseconds = 0;  // 0: the SNMP layer's default
    int retries = 0;

    friend bool operator==(const StationSettings&, const StationSettings&) = default;
};

// The value a request carries: NULL for GET and GETNEXT, an OCTET STRING or
// an INTEGER for SET.
struct RequestValue {
    int syntax = kSyntaxNull;
    QByteArray octets;         // kSyntaxOctetString
    std::int32_t integer = 0;  // kSyntaxInteger

    static RequestValue Null() { return {}; }
    static RequestValue Text(QByteArray bytes) { return {kSyntaxOctetString, std::move(bytes), 0}; }
    static RequestValue Integer(std::int32_t value) { return {kSyntaxInteger, {}, value}; }
};

// One request with exactly one variable binding.
struct BoardRequest {
    StationSettings station;
    int requestId = 0;
    PduType type = PduType::Get;
    std::string oid;  // dotted text without a leading dot
    RequestValue value;
    // A SET whose repeat would act again: the SNMP layer must never resend
    // it (its settings carry no retries), and keeps it apart from the
    // station's ordinary requests.
    bool once = false;
};

// One answer as the station sent it. Identifier and value are kept whole.
struct BoardResponse {
    int requestId = 0;
    int errorStatus = 0;
    int errorIndex = 0;
    bool hasBinding = true;  // false when the answer carried no binding at all
    std::string oid;         // first binding's identifier, dotted, no leading dot
    QByteArray value;        // first binding's value bytes (octet-string syntaxes)
    int syntax = kSyntaxNull;
};

// What a transport did with a request.
enum class SendStatus {
    Accepted,       // handed to the SNMP layer (possibly queued behind its id)
    SessionFailed,  // no session could be opened for the station
    BadIdentifier,  // the identifier text is not a dotted object identifier
    SendFailed,     // the SNMP layer refused or could not send the message
};

// Arcs of a dotted object identifier ("1.3.6.1"): 2 to 128 decimal arcs of at
// most 32 bits, single dots, no leading or trailing dot, nothing else.
std::optional<std::vector<std::uint32_t>> ParseDottedOid(std::string_view text);

// Dotted text of identifier arcs (of any unsigned type), no leading dot.
template <typename Arc>
std::string DottedOid(const Arc* arcs, std::size_t count) {
    std::string text;
    text.reserve(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.push_back('.');
        }
        text += std::to_string(arcs[i]);
    }
    return text;
}

// The canonical form of a dotted-quad IPv4 address ("127.0.0.1"): four
// decimal fields 0-255 of one to three digits; anything else (host names,
// fewer fields, signs, blanks) is rejected.
std::optional<QString> CanonicalIpv4(const QString& text);

// The SNMP settings of a directory row for the station at `address` (already
// canonical): one TIMEOUT unit is 0.64 s, and 0 (also an empty or NULL
// TIMEOUT) leaves the SNMP layer's default; other values are clamped to the
// ranges the station dialogs accept (TIMEOUT 1-100, RETRIES 0-10) and logged
// once. nullopt when PORT is not 1-65535.
std::optional<StationSettings> StationSettingsOf(const QString& address,
                                                 const StationRecord& record);

}  // namespace volnar
