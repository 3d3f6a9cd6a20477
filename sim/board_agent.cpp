// SPDX-License-Identifier: GPL-3.0-or-later
#include "board_agent.h"

#include <algorithm>
#include <array>

#include "board_table.h"

namespace volnar::sim {

namespace {

// The table's identifiers, parsed once, by object.
const std::array<Oid, kBoardObjectCount>& ObjectOids() {
    static const auto oids = [] {
        std::array<Oid, kBoardObjectCount> parsed;
        for (std::size_t i = 0; i < kBoardObjects.size(); ++i) {
            parsed.at(i) = OidFromText(kBoardObjects.at(i).oid).value_or(Oid{});
        }
        return parsed;
    }();
    return oids;
}

const Oid& OidOf(BoardObjectId id) {
    return ObjectOids().at(static_cast<std::size_t>(id));
}

// An instance of a board object: the object itself, or one member of a
// family (1 and up).
struct Instance {
    const BoardObject* object = nullptr;
    int member = 0;
};

// The object or family member that oid names exactly; nullopt for anything
// else (a table row, an instance past the family, a deeper identifier).
std::optional<Instance> InstanceOf(const Oid& oid) {
    for (std::size_t i = 0; i < kBoardObjects.size(); ++i) {
        const BoardObject& object = kBoardObjects.at(i);
        const Oid& base = ObjectOids().at(i);
        const int count = MemberCount(object.shape);
        if (count == 0 && oid == base) {
            return Instance{&object, 0};
        }
        if (count > 0 && oid.size() == base.size() + 1 && OidWithin(oid, base) && oid.back() >= 1 &&
            oid.back() <= static_cast<std::uint32_t>(count)) {
            return Instance{&object, static_cast<int>(oid.back())};
        }
    }
    return std::nullopt;
}

bool Less(const Oid& a, const Oid& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

Oid Child(const Oid& parent, std::uint32_t arc) {
    Oid child = parent;
    child.push_back(arc);
    return child;
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
    // Readable objects in identifier order; everything else (commands,
    // records written with SET, names) is write-only and skipped.
    for (const BoardObject& object : kBoardObjects) {
        if (!IsReadable(object)) {
            continue;
        }
        const Oid& base = OidOf(object.id);
        if (auto next = NextIn(object, base, oid)) {
            return next;
        }
    }
    return std::nullopt;
}

std::optional<Oid> BoardAgent::NextIn(const BoardObject& object, const Oid& base,
                                      const Oid& oid) const {
    switch (object.id) {
        case BoardObjectId::ModemTable:
            return TableNext(base, m_model.modems(), oid);
        case BoardObjectId::AlertTable:
            return TableNext(base, m_model.alerts(), oid);
        case BoardObjectId::ScriptTable:
            return TableNext(base, m_model.scripts(), oid);
        default:
            break;
    }
    const int count = MemberCount(object.shape);
    for (int n = count == 0 ? 0 : 1; n <= count; ++n) {
        const Oid instance = n == 0 ? base : Child(base, static_cast<std::uint32_t>(n));
        if (Less(oid, instance)) {
            return instance;
        }
    }
    return std::nullopt;
}

std::optional<AgentValue> BoardAgent::Read(const Oid& oid, double now) {
    if (const auto instance = InstanceOf(oid); instance && IsReadable(*instance->object)) {
        switch (instance->object->id) {
            case BoardObjectId::SysName:
                return AgentValue::Text(m_model.stationName());
            case BoardObjectId::StatusRecord:
                return AgentValue::Text(m_model.StatusRecord(now));
            case BoardObjectId::ChannelRecord:
                return AgentValue::Text(m_model.ChannelRecord(instance->member));
            case BoardObjectId::RelayNotes:
                return AgentValue::Text(m_model.relay(instance->member).notes);
            default:
                return std::nullopt;
        }
    }
    if (const auto id = RowId(oid, OidOf(BoardObjectId::ScriptTable))) {
        const auto it = m_model.scripts().find(*id);
        if (it != m_model.scripts().end()) {
            return AgentValue::Text(StationModel::ScriptRow(it->second));
        }
    } else if (const auto alertId = RowId(oid, OidOf(BoardObjectId::AlertTable))) {
        const auto it = m_model.alerts().find(*alertId);
        if (it != m_model.alerts().end()) {
            return AgentValue::Text(StationModel::AlertRow(it->second));
        }
    } else if (const auto modemId = RowId(oid, OidOf(BoardObjectId::ModemTable))) {
        const auto it = m_model.modems().find(*modemId);
        if (it != m_model.modems().end()) {
            return AgentValue::Text(StationModel::ModemRow(it->second));
        }
    }
    return std::nullopt;
}

int BoardAgent::Write(StationModel& model, const AgentBinding& binding, double now) const {
    const auto instance = InstanceOf(binding.oid);
    // Unknown and read-only objects alike: a v1 agent answers noSuchName.
    if (!instance || !IsWritable(*instance->object)) {
        return kNoSuchName;
    }
    const AgentValue& value = binding.value;
    const bool text = instance->object->syntax == ObjectSyntax::Text;
    // A value of the wrong type is badValue, as a v1 agent maps wrongType.
    if (value.type != (text ? AgentValue::Type::OctetString : AgentValue::Type::Integer)) {
        return kBadValue;
    }
    const int n = instance->member;
    switch (instance->object->id) {
        case BoardObjectId::SysName:
            return model.SetStationName(value.bytes);
        case BoardObjectId::AlertRecord:
            return model.SetAlertRecord(value.bytes);
        case BoardObjectId::AlertExecute:
            return model.ExecuteAlert(value.integer);
        case BoardObjectId::AlertDelete:
            return model.DeleteAlert(value.integer);
        case BoardObjectId::ScriptRecord:
            return model.SetScriptRecord(value.bytes);
        case BoardObjectId::ScriptExecute:
            return model.ExecuteScript(value.integer, now);
        case BoardObjectId::ScriptDelete:
            return model.DeleteScript(value.integer);
        case BoardObjectId::ChannelName:
            return model.SetChannelName(n, value.bytes);
        case BoardObjectId::ChannelNotes:
            return model.SetChannelNotes(n, value.bytes);
        case BoardObjectId::RelayPulse:
            return model.PulseRelay(n, value.integer, now);
        case BoardObjectId::RelayName:
            return model.SetRelayName(n, value.bytes);
        case BoardObjectId::RelaySwitch:
            return model.SwitchRelay(n, value.integer);
        case BoardObjectId::RelayNotes:
            return model.SetRelayNotes(n, value.bytes);
        case BoardObjectId::ChannelSettings:
            return model.SetChannelSettings(n, value.bytes);
        default:
            return kNoSuchName;
    }
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
