// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "board_table.h"
#include "station_model.h"

// The station's objects as an SNMP v1 agent shows them, over a StationModel
// and without any transport: identifier order, GET/GETNEXT/SET rules, error
// status and index, all-or-nothing SETs. The SNMP server turns PDUs into
// AgentRequests and AgentResponses back into PDUs.
namespace volnar::sim {

using Oid = std::vector<std::uint32_t>;

// Dotted text without a leading dot; a leading dot is accepted on parsing.
std::string OidToText(const Oid& oid);
std::optional<Oid> OidFromText(std::string_view text);
// True when oid equals prefix or lies under it.
bool OidWithin(const Oid& oid, const Oid& prefix);

struct AgentValue {
    enum class Type { Null, Integer, OctetString, Other };
    Type type = Type::Null;
    std::int64_t integer = 0;
    std::string bytes;
    int asnType = 5;  // the BER tag as received, for the log

    static AgentValue Integer(std::int64_t v) { return {Type::Integer, v, {}, 2}; }
    static AgentValue Text(std::string v) { return {Type::OctetString, 0, std::move(v), 4}; }
};

struct AgentBinding {
    Oid oid;
    AgentValue value;
};

enum class PduKind { Get, GetNext, Set };

struct AgentRequest {
    PduKind kind = PduKind::Get;
    std::vector<AgentBinding> bindings;
};

struct AgentResponse {
    int errorStatus = 0;
    int errorIndex = 0;  // 1-based, 0 when no error
    std::vector<AgentBinding> bindings;
};

class BoardAgent final {
public:
    explicit BoardAgent(StationModel& model) : m_model(model) {}

    // now is handed to the model for uptime, pulses and scripts.
    AgentResponse Handle(const AgentRequest& request, double now);

    // The identifier GETNEXT would answer for oid, nullopt past the last
    // readable object.
    std::optional<Oid> NextReadable(const Oid& oid) const;

private:
    // Value of a readable instance, nullopt when oid is none.
    std::optional<AgentValue> Read(const Oid& oid, double now);
    // The first instance of object (at base) that follows oid.
    std::optional<Oid> NextIn(const BoardObject& object, const Oid& base, const Oid& oid) const;
    int Write(StationModel& model, const AgentBinding& binding, double now) const;

    StationModel& m_model;
};

}  // namespace volnar::sim
