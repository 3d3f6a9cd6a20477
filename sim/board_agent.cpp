#include "board_agent.h"

#include <algorithm>
#include <array>

#include "link/board_objects.h"

namespace volnar::sim {

namespace {

Oid Parse(std::string_view text) {
    return OidFromText(text).value_or(Oid{});
}

struct KnownObjects {
    Oid sysName = Parse(board::kSysName);
    Oid prefix = Parse(board::kPrefix);
    Oid modemTable = Parse(board::kModemTable);
    Oid alertRecord = Parse(board::kAlertRecord);
    Oid alertExecute = Parse(board::kAlertExecute);
    Oid alertDelete = Parse(board::kAlertDelete);
    Oid alertTable = Parse(board::kAlertTable);
    Oid scriptRecord = Parse(board::kScriptRecord);
    Oid scriptExecute = Parse(board::kScriptExecute);
    Oid scriptDelete = Parse(board::kScriptDelete);
    Oid scriptTable = Parse(board::kScriptTable);
    Oid statusRecord = Parse(board::kStatusRecord);
};

const KnownObjects& Known() {
    static const KnownObjects known;
    return known;
}

bool Less(const Oid& a, const Oid& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

Oid Child(const Oid& parent, std::uint32_t arc) {
    Oid child = parent;
    child.push_back(arc);
    return child;
}

// The member number (1..count) when oid is prefix.object.member, else 0.
int Member(const Oid& oid, std::uint32_t object, int count) {
    const Oid& prefix = Known().prefix;
    if (oid.size() != prefix.size() + 2 || !OidWithin(oid, prefix) ||
        oid[prefix.size()] != object) {
        return 0;
    }
    const std::uint32_t member = oid.back();
    return member >= 1 && member <= static_cast<std::uint32_t>(count) ? static_cast<int>(member)
                                                                      : 0;
}

// The first row identifier of table (rows keyed by id) that follows oid.
template <typename Rows>
std::optional<Oid> TableNext(const Oid& table, const Rows& rows, const Oid& oid) {
    typename Rows::const_iterator it;
    if (OidWithin(oid, table)) {
        if (oid.size() == table.size()) {
            it = rows.begin();
        } else {
            // table.x and anything under it come before table.(x+1).
            it = rows.upper_bound(oid[table.size()]);
        }
    } else if (Less(oid, table)) {
        it = rows.begin();
    } else {
        return std::nullopt;
    }
    if (it == rows.end()) {
        return std::nullopt;
    }
    return Child(table, it->first);
}

// The row id when oid is exactly table.id, nullopt otherwise.
std::optional<std::uint32_t> RowId(const Oid& oid, const Oid& table) {
    if (oid.size() != table.size() + 1 || !OidWithin(oid, table)) {
        return std::nullopt;
    }
    return oid.back();
}

}  // namespace

std::string OidToText(const Oid& oid) {
    std::string text;
    for (std::size_t i = 0; i < oid.size(); ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(oid[i]);
    }
    return text;
}

std::optional<Oid> OidFromText(std::string_view text) {
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    Oid oid;
    std::uint64_t arc = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            arc = arc * 10 + static_cast<std::uint64_t>(c - '0');
            if (++digits > 10 || arc > 0xFFFFFFFFULL) {
                return std::nullopt;
            }
        } else if (c == '.' && digits > 0) {
            oid.push_back(static_cast<std::uint32_t>(arc));
            arc = 0;
            digits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || oid.size() >= 128) {
        return std::nullopt;
    }
    oid.push_back(static_cast<std::uint32_t>(arc));
    return oid;
}

bool OidWithin(const Oid& oid, const Oid& prefix) {
    return oid.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

std::optional<Oid> BoardAgent::NextReadable(const Oid& oid) const {
    if (const Oid& stalled = m_model.StalledWalk();
        !stalled.empty() && oid.size() > stalled.size() && OidWithin(oid, stalled)) {
        return oid;  // a faulty station: the walk does not advance
    }
    const KnownObjects& k = Known();
    const auto scalar = [&oid](const Oid& instance) -> std::optional<Oid> {
        if (Less(oid, instance)) {
            return instance;
        }
        return std::nullopt;
    };
    // Readable objects in identifier order; everything else (commands,
    // records written with SET, names) is write-only and skipped.
    if (auto next = scalar(k.sysName)) {
        return next;
    }
    if (auto next = TableNext(k.modemTable, m_model.modems(), oid)) {
        return next;
    }
    if (auto next = TableNext(k.alertTable, m_model.alerts(), oid)) {
        return next;
    }
    const Oid channels = Child(k.prefix, 66);
    for (std::uint32_t n = 1; n <= kChannelCount; ++n) {
        if (auto next = scalar(Child(channels, n))) {
            return next;
        }
    }
    if (auto next = TableNext(k.scriptTable, m_model.scripts(), oid)) {
        return next;
    }
    const Oid notes = Child(k.prefix, 76);
    for (std::uint32_t r = 1; r <= kRelayCount; ++r) {
        if (auto next = scalar(Child(notes, r))) {
            return next;
        }
    }
    return scalar(k.statusRecord);
}

std::optional<AgentValue> BoardAgent::Read(const Oid& oid, double now) {
    const KnownObjects& k = Known();
    if (oid == k.sysName) {
        return AgentValue::Text(m_model.stationName());
    }
    if (oid == k.statusRecord) {
        return AgentValue::Text(m_model.StatusRecord(now));
    }
    if (const int n = Member(oid, 66, kChannelCount)) {
        return AgentValue::Text(m_model.ChannelRecord(n));
    }
    if (const int r = Member(oid, 76, kRelayCount)) {
        return AgentValue::Text(m_model.relay(r).notes);
    }
    if (const auto id = RowId(oid, k.scriptTable)) {
        const auto it = m_model.scripts().find(*id);
        if (it != m_model.scripts().end()) {
            return AgentValue::Text(StationModel::ScriptRow(it->second));
        }
    } else if (const auto alertId = RowId(oid, k.alertTable)) {
        const auto it = m_model.alerts().find(*alertId);
        if (it != m_model.alerts().end()) {
            return AgentValue::Text(StationModel::AlertRow(it->second));
        }
    } else if (const auto modemId = RowId(oid, k.modemTable)) {
        const auto it = m_model.modems().find(*modemId);
        if (it != m_model.modems().end()) {
            return AgentValue::Text(StationModel::ModemRow(it->second));
        }
    }
    return std::nullopt;
}

int BoardAgent::Write(StationModel& model, const AgentBinding& binding, double now) const {
    const KnownObjects& k = Known();
    const Oid& oid = binding.oid;
    const AgentValue& value = binding.value;
    const bool isText = value.type == AgentValue::Type::OctetString;
    const bool isInteger = value.type == AgentValue::Type::Integer;
    // A value of the wrong type is badValue, as a v1 agent maps wrongType.
    const auto text = [&](auto&& apply) { return isText ? apply(value.bytes) : kBadValue; };
    const auto integer = [&](auto&& apply) { return isInteger ? apply(value.integer) : kBadValue; };

    if (oid == k.sysName) {
        return text([&](const std::string& v) { return model.SetStationName(v); });
    }
    if (oid == k.alertRecord) {
        return text([&](const std::string& v) { return model.SetAlertRecord(v); });
    }
    if (oid == k.alertExecute) {
        return integer([&](std::int64_t v) { return model.ExecuteAlert(v); });
    }
    if (oid == k.alertDelete) {
        return integer([&](std::int64_t v) { return model.DeleteAlert(v); });
    }
    if (oid == k.scriptRecord) {
        return text([&](const std::string& v) { return model.SetScriptRecord(v); });
    }
    if (oid == k.scriptExecute) {
        return integer([&](std::int64_t v) { return model.ExecuteScript(v, now); });
    }
    if (oid == k.scriptDelete) {
        return integer([&](std::int64_t v) { return model.DeleteScript(v); });
    }
    if (const int n = Member(oid, 67, kChannelCount)) {
        return text([&](const std::string& v) { return model.SetChannelName(n, v); });
    }
    if (const int n = Member(oid, 68, kChannelCount)) {
        return text([&](const std::string& v) { return model.SetChannelNotes(n, v); });
    }
    if (const int r = Member(oid, 73, kRelayCount)) {
        return integer([&](std::int64_t v) { return model.PulseRelay(r, v, now); });
    }
    if (const int r = Member(oid, 74, kRelayCount)) {
        return text([&](const std::string& v) { return model.SetRelayName(r, v); });
    }
    if (const int r = Member(oid, 75, kRelayCount)) {
        return integer([&](std::int64_t v) { return model.SwitchRelay(r, v); });
    }
    if (const int r = Member(oid, 76, kRelayCount)) {
        return text([&](const std::string& v) { return model.SetRelayNotes(r, v); });
    }
    if (const int n = Member(oid, 78, kChannelCount)) {
        return text([&](const std::string& v) { return model.SetChannelSettings(n, v); });
    }
    // Unknown and read-only objects alike: a v1 agent answers noSuchName.
    return kNoSuchName;
}

AgentResponse BoardAgent::Handle(const AgentRequest& request, double now) {
    AgentResponse response;
    const auto fail = [&](int status, std::size_t index) {
        AgentResponse error;
        error.errorStatus = status;
        error.errorIndex = static_cast<int>(index + 1);
        error.bindings = request.bindings;
        return error;
    };
    switch (request.kind) {
        case PduKind::Get:
            for (std::size_t i = 0; i < request.bindings.size(); ++i) {
                auto value = Read(request.bindings[i].oid, now);
                if (!value) {
                    return fail(kNoSuchName, i);
                }
                response.bindings.push_back({request.bindings[i].oid, std::move(*value)});
            }
            return response;
        case PduKind::GetNext:
            for (std::size_t i = 0; i < request.bindings.size(); ++i) {
                const auto next = NextReadable(request.bindings[i].oid);
                if (!next) {
                    return fail(kNoSuchName, i);
                }
                auto value = Read(*next, now);
                if (!value) {
                    return fail(kGenErr, i);
                }
                response.bindings.push_back({*next, std::move(*value)});
            }
            return response;
        case PduKind::Set: {
            if (request.bindings.size() == 1) {
                // A single change validates before it touches anything.
                const int status = Write(m_model, request.bindings[0], now);
                if (status != kNoError) {
                    return fail(status, 0);
                }
            } else {
                // Several bindings: apply them to a copy and keep it only when
                // every one was accepted.
                StationModel trial = m_model;
                for (std::size_t i = 0; i < request.bindings.size(); ++i) {
                    const int status = Write(trial, request.bindings[i], now);
                    if (status != kNoError) {
                        return fail(status, i);
                    }
                }
                m_model = std::move(trial);
            }
            response.bindings = request.bindings;
            return response;
        }
    }
    return response;
}

}  // namespace volnar::sim
