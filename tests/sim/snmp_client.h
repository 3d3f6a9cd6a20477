#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A small synchronous SNMP v1 client on the net-snmp library, independent of
// the simulator's own code, for checking what volnar-station answers. It only
// ever talks to 127.0.0.1.
namespace volnar::testing {

struct SnmpValue {
    int type = 5;  // ASN.1 tag: 2 INTEGER, 4 OCTET STRING, 5 NULL
    long integer = 0;
    std::string text;

    static SnmpValue Integer(long v) { return {2, v, {}}; }
    static SnmpValue Text(std::string v) { return {4, 0, std::move(v)}; }
};

struct SnmpBinding {
    std::string oid;  // dotted, no leading dot
    SnmpValue value;
};

struct SnmpReply {
    long errorStatus = 0;
    long errorIndex = 0;
    std::vector<SnmpBinding> bindings;
};

enum class SnmpPdu { Get, GetNext, Set };

class SnmpClient final {
public:
    SnmpClient(std::uint16_t port, std::string community, int timeoutMs = 2000);

    // nullopt when no answer came within the time-out (no retries).
    std::optional<SnmpReply> Send(SnmpPdu pdu, const std::vector<SnmpBinding>& bindings) const;

    // The error status of a SET of one binding, -1 when no answer came.
    long Set(const std::string& oid, SnmpValue value) const;

    // The OCTET STRING value of oid, or nullopt on any error.
    std::optional<std::string> GetText(const std::string& oid) const;

    // GETNEXT walk of the rows under table, in the order they come.
    std::vector<SnmpBinding> Walk(const std::string& table) const;

private:
    std::uint16_t m_port;
    std::string m_community;
    int m_timeoutMs;
};

// Fields of a "|"-separated record; a final "|" ends the last field.
std::vector<std::string> SplitFields(const std::string& record);

}  // namespace volnar::testing
