#include "snmp_client.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <mutex>

namespace volnar::testing {

namespace {

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        setenv("MIBS", "", 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    });
}

std::vector<oid> ParseOid(const std::string& text) {
    std::vector<oid> arcs;
    std::size_t start = text.empty() || text[0] != '.' ? 0 : 1;
    while (start < text.size()) {
        const std::size_t dot = text.find('.', start);
        arcs.push_back(std::strtoul(text.substr(start, dot - start).c_str(), nullptr, 10));
        if (dot == std::string::npos) {
            break;
        }
        start = dot + 1;
    }
    return arcs;
}

std::string OidText(const oid* name, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(name[i]);
    }
    return text;
}

bool StartsWithArcs(const std::string& oidText, const std::string& prefix) {
    return oidText.size() > prefix.size() && oidText.compare(0, prefix.size(), prefix) == 0 &&
           oidText[prefix.size()] == '.';
}

}  // namespace

SnmpClient::SnmpClient(std::uint16_t port, std::string community, int timeoutMs)
    : m_port(port), m_community(std::move(community)), m_timeoutMs(timeoutMs) {}

std::optional<SnmpReply> SnmpClient::Send(SnmpPdu pdu,
                                          const std::vector<SnmpBinding>& bindings) const {
    InitLibrary();
    netsnmp_session settings;
    snmp_sess_init(&settings);
    const std::string peer = "udp:127.0.0.1:" + std::to_string(m_port);
    settings.peername = const_cast<char*>(peer.c_str());
    settings.version = SNMP_VERSION_1;
    settings.community = reinterpret_cast<u_char*>(const_cast<char*>(m_community.data()));
    settings.community_len = m_community.size();
    settings.timeout = static_cast<long>(m_timeoutMs) * 1000;
    settings.retries = 0;
    void* session = snmp_sess_open(&settings);
    if (session == nullptr) {
        return std::nullopt;
    }
    const int command = pdu == SnmpPdu::Get       ? SNMP_MSG_GET
                        : pdu == SnmpPdu::GetNext ? SNMP_MSG_GETNEXT
                                                  : SNMP_MSG_SET;
    netsnmp_pdu* request = snmp_pdu_create(command);
    for (const SnmpBinding& binding : bindings) {
        const std::vector<oid> name = ParseOid(binding.oid);
        const SnmpValue& value = binding.value;
        if (value.type == ASN_INTEGER) {
            long integer = value.integer;
            snmp_pdu_add_variable(request, name.data(), name.size(), ASN_INTEGER, &integer,
                                  sizeof integer);
        } else if (value.type == ASN_OCTET_STR) {
            snmp_pdu_add_variable(request, name.data(), name.size(), ASN_OCTET_STR,
                                  value.text.data(), value.text.size());
        } else {
            snmp_add_null_var(request, name.data(), name.size());
        }
    }
    netsnmp_pdu* response = nullptr;
    const int status = snmp_sess_synch_response(session, request, &response);
    std::optional<SnmpReply> reply;
    if (status == STAT_SUCCESS && response != nullptr) {
        reply.emplace();
        reply->errorStatus = response->errstat;
        reply->errorIndex = response->errindex;
        for (netsnmp_variable_list* var = response->variables; var != nullptr;
             var = var->next_variable) {
            SnmpBinding binding;
            binding.oid = OidText(var->name, var->name_length);
            binding.value.type = var->type;
            if (var->type == ASN_INTEGER && var->val.integer != nullptr) {
                binding.value.integer = *var->val.integer;
            } else if (var->type == ASN_OCTET_STR && var->val.string != nullptr) {
                binding.value.text.assign(reinterpret_cast<const char*>(var->val.string),
                                          var->val_len);
            }
            reply->bindings.push_back(std::move(binding));
        }
    }
    if (response != nullptr) {
        snmp_free_pdu(response);
    }
    snmp_sess_close(session);
    return reply;
}

long SnmpClient::Set(const std::string& oid, SnmpValue value) const {
    const auto reply = Send(SnmpPdu::Set, {{oid, std::move(value)}});
    return reply ? reply->errorStatus : -1;
}

std::optional<std::string> SnmpClient::GetText(const std::string& oid) const {
    const auto reply = Send(SnmpPdu::Get, {{oid, {}}});
    if (!reply || reply->errorStatus != 0 || reply->bindings.size() != 1 ||
        reply->bindings[0].value.type != ASN_OCTET_STR) {
        return std::nullopt;
    }
    return reply->bindings[0].value.text;
}

std::vector<SnmpBinding> SnmpClient::Walk(const std::string& table) const {
    std::vector<SnmpBinding> rows;
    std::string current = table;
    // Bounded: a table never holds more rows than this in the tests.
    for (int step = 0; step < 100000; ++step) {
        const auto reply = Send(SnmpPdu::GetNext, {{current, {}}});
        if (!reply || reply->errorStatus != 0 || reply->bindings.size() != 1 ||
            !StartsWithArcs(reply->bindings[0].oid, table)) {
            break;
        }
        current = reply->bindings[0].oid;
        rows.push_back(reply->bindings[0]);
    }
    return rows;
}

std::vector<std::string> SplitFields(const std::string& record) {
    std::vector<std::string> fields;
    std::string text = record;
    if (!text.empty() && text.back() == '|') {
        text.pop_back();
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = text.find('|', start);
        fields.push_back(text.substr(start, bar - start));
        if (bar == std::string::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

}  // namespace volnar::testing
