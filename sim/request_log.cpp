// SPDX-License-Identifier: GPL-3.0-or-later
#include "request_log.h"

#include <cerrno>
#include <cstring>

#include "json.h"

namespace volnar::sim {

namespace {

JsonValue ValueJson(const AgentValue& value) {
    switch (value.type) {
        case AgentValue::Type::Integer:
            return JsonValue(value.integer);
        case AgentValue::Type::OctetString:
            return JsonValue(BytesAsText(value.bytes));
        case AgentValue::Type::Null:
        case AgentValue::Type::Other:
            break;
    }
    return JsonValue();
}

const char* TypeName(const AgentValue& value) {
    switch (value.type) {
        case AgentValue::Type::Null:
            return "NULL";
        case AgentValue::Type::Integer:
            return "INTEGER";
        case AgentValue::Type::OctetString:
            return "OCTET STRING";
        case AgentValue::Type::Other:
            break;
    }
    return "OTHER";
}

JsonValue Optional(const std::optional<int>& value) {
    return value ? JsonValue(*value) : JsonValue();
}

}  // namespace

std::string FormatLogEntry(const LogEntry& entry) {
    JsonValue::Object line;
    line["time"] = entry.time;
    line["request_id"] = JsonValue(static_cast<std::int64_t>(entry.requestId));
    line["pdu"] = entry.pdu;
    line["community"] = entry.community;
    line["oid"] =
        entry.bindings.empty() ? JsonValue("") : JsonValue(OidToText(entry.bindings[0].oid));
    line["value"] = entry.bindings.empty() ? JsonValue() : ValueJson(entry.bindings[0].value);
    line["error_status"] = Optional(entry.errorStatus);
    line["error_index"] = Optional(entry.errorIndex);
    JsonValue::Array bindings;
    for (const AgentBinding& binding : entry.bindings) {
        bindings.push_back(JsonValue::Object{{"oid", OidToText(binding.oid)},
                                             {"type", TypeName(binding.value)},
                                             {"value", ValueJson(binding.value)}});
    }
    line["bindings"] = std::move(bindings);
    if (!entry.note.empty()) {
        line["note"] = entry.note;
    }
    if (entry.duplicated) {
        line["duplicated"] = true;
    }
    if (entry.changed) {
        line["changed"] = *entry.changed;
    }
    if (entry.addedId) {
        line["added_id"] = JsonValue(*entry.addedId);
    }
    return JsonValue(std::move(line)).Serialize();
}

std::string FormatEvent(double time, const ModelEvent& event, std::optional<long> requestId) {
    JsonValue::Object line = event.details;
    line["time"] = time;
    if (requestId) {
        line["request_id"] = JsonValue(static_cast<std::int64_t>(*requestId));
    }
    return JsonValue(std::move(line)).Serialize();
}

RequestLog::~RequestLog() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool RequestLog::Open(const std::string& path, std::string* error) {
    m_file = std::fopen(path.c_str(), "a");
    if (m_file == nullptr) {
        if (error != nullptr) {
            *error = "cannot open log " + path + ": " + std::strerror(errno);
        }
        return false;
    }
    return true;
}

void RequestLog::Write(const std::string& line) {
    if (m_file == nullptr) {
        return;
    }
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

}  // namespace volnar::sim
