// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <limits>

#include "record_rules.h"
#include "station_model.h"

// The state a station starts from: generated rows for benchmarks and demos,
// and the state file's JSON.
namespace volnar::sim {

using namespace rules;

namespace {

const JsonValue* Member(const JsonValue& object, const char* key, JsonValue::Kind kind) {
    const JsonValue* value = object.Find(key);
    return value != nullptr && value->kind() == kind ? value : nullptr;
}

std::optional<std::string> StringMember(const JsonValue& object, const char* key) {
    const JsonValue* value = Member(object, key, JsonValue::Kind::String);
    if (value == nullptr) {
        return std::nullopt;
    }
    return TextAsBytes(value->AsString());  // station texts are kept as bytes
}

std::optional<std::uint32_t> IdMember(const JsonValue& object, const char* key) {
    const JsonValue* value = Member(object, key, JsonValue::Kind::Number);
    if (value == nullptr) {
        return std::nullopt;
    }
    const double number = value->AsNumber();
    if (number < 1 || number > std::numeric_limits<std::uint32_t>::max() ||
        number != static_cast<double>(static_cast<std::uint64_t>(number))) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(number);
}

// The members a state file may hold, and their kinds. A member of another
// kind is refused, never taken as missing: the simulator would start from
// its defaults and write them over the file at its next save (a "scripts"
// that is no array would lose every script).
struct StateMember {
    const char* key;
    JsonValue::Kind kind;
};
constexpr StateMember kStateMembers[] = {
    {"version", JsonValue::Kind::Number}, {"station_name", JsonValue::Kind::String},
    {"relays", JsonValue::Kind::Array},   {"channels", JsonValue::Kind::Array},
    {"scripts", JsonValue::Kind::Array},  {"alerts", JsonValue::Kind::Array},
    {"modems", JsonValue::Kind::Array},   {"next_ids", JsonValue::Kind::Object},
};

std::string WrongKind(const JsonValue& json) {
    for (const StateMember& member : kStateMembers) {
        const JsonValue* value = json.Find(member.key);
        if (value != nullptr && value->kind() != member.kind) {
            return std::string(member.key) + " is of the wrong JSON type";
        }
    }
    return {};
}

}  // namespace

void StationModel::AddGeneratedScripts(int count) {
    for (int i = 0; i < count && m_scripts.size() < kMaxTableRows; ++i) {
        Script script;
        script.id = m_nextScriptId++;
        const bool relayScript = script.id % 2 == 1;
        script.type = relayScript ? "relay" : "io";
        script.name = "Script " + std::to_string(script.id);
        script.description = "Generated script " + std::to_string(script.id);
        script.commands = relayScript ? "000801" : "000S01";
        m_scripts[script.id] = std::move(script);
    }
    Changed();
}

void StationModel::AddGeneratedAlerts(int count) {
    for (int i = 0; i < count && m_alerts.size() < kMaxTableRows; ++i) {
        Alert alert;
        alert.id = m_nextAlertId++;
        const std::string number = std::to_string(alert.id);
        if (alert.id % 2 == 1) {
            alert.fields = {"EMAIL",
                            "Alert " + number,
                            "Generated alert " + number,
                            "station@example.org",
                            "smtp.example.org",
                            "operator@example.org",
                            "Alert " + number,
                            "Generated alert text",
                            "-",
                            "-",
                            "-",
                            "-",
                            "-"};
        } else {
            alert.fields = {"SMS",
                            "Alert " + number,
                            "+15550100",
                            "Modem1",
                            "Generated alert text",
                            "-",
                            "-",
                            "-",
                            "-",
                            "-",
                            "-",
                            "-",
                            "-"};
        }
        m_alerts[alert.id] = std::move(alert);
    }
    Changed();
}

void StationModel::AddGeneratedModems(int count) {
    for (int i = 0; i < count && m_modems.size() < kMaxTableRows; ++i) {
        Modem modem;
        modem.id = m_nextModemId++;
        modem.name = "Modem" + std::to_string(modem.id);
        m_modems[modem.id] = std::move(modem);
    }
    Changed();
}

JsonValue StationModel::ToJson() const {
    JsonValue::Object root;
    root["version"] = 1;
    root["station_name"] = BytesAsText(m_stationName);
    JsonValue::Array relays;
    for (const Relay& r : m_relays) {
        relays.push_back(JsonValue::Object{
            {"name", BytesAsText(r.name)}, {"notes", BytesAsText(r.notes)}, {"on", r.on}});
    }
    root["relays"] = std::move(relays);
    JsonValue::Array channels;
    for (const Channel& c : m_channels) {
        JsonValue::Array lists;
        for (const std::string& list : c.idLists) {
            lists.emplace_back(BytesAsText(list));
        }
        channels.push_back(JsonValue::Object{
            {"name", BytesAsText(c.name)},
            {"notes", BytesAsText(c.notes)},
            {"high_value", BytesAsText(c.highValue)},
            {"low_value", BytesAsText(c.lowValue)},
            {"high_enabled", c.highEnabled},
            {"low_enabled", c.lowEnabled},
            {"id_lists", std::move(lists)},
            {"high_flap_seconds", JsonValue(c.highFlapSeconds)},
            {"low_flap_seconds", JsonValue(c.lowFlapSeconds)},
            {"adjustment", BytesAsText(c.adjustment)},
            {"precision", c.precision},
            {"mode", std::string(1, c.mode)},
            {"amp_rating", BytesAsText(c.ampRating)},
            {"millivolt_rating", BytesAsText(c.millivoltRating)},
        });
    }
    root["channels"] = std::move(channels);
    JsonValue::Array scripts;
    for (const auto& [id, s] : m_scripts) {
        scripts.push_back(JsonValue::Object{{"id", JsonValue(id)},
                                            {"type", BytesAsText(s.type)},
                                            {"name", BytesAsText(s.name)},
                                            {"description", BytesAsText(s.description)},
                                            {"commands", BytesAsText(s.commands)}});
    }
    root["scripts"] = std::move(scripts);
    JsonValue::Array alerts;
    for (const auto& [id, a] : m_alerts) {
        JsonValue::Array fields;
        for (const std::string& field : a.fields) {
            fields.emplace_back(BytesAsText(field));
        }
        alerts.push_back(JsonValue::Object{{"id", JsonValue(id)}, {"fields", std::move(fields)}});
    }
    root["alerts"] = std::move(alerts);
    JsonValue::Array modems;
    for (const auto& [id, m] : m_modems) {
        modems.push_back(JsonValue::Object{{"id", JsonValue(id)}, {"name", BytesAsText(m.name)}});
    }
    root["modems"] = std::move(modems);
    root["next_ids"] = JsonValue::Object{{"script", JsonValue(m_nextScriptId)},
                                         {"alert", JsonValue(m_nextAlertId)},
                                         {"modem", JsonValue(m_nextModemId)}};
    return root;
}

ModelLoadResult StationModel::FromJson(const JsonValue& json) {
    ModelLoadResult result;
    if (!json.IsObject()) {
        result.error = "the state is not a JSON object";
        return result;
    }
    result.error = WrongKind(json);
    if (!result.error.empty()) {
        return result;
    }
    StationModel model;
    // Every value goes through the same checks as an SNMP SET, so a state
    // file cannot hold what the station would refuse.
    if (const auto name = StringMember(json, "station_name")) {
        if (model.SetStationName(*name) != kNoError) {
            result.error = "bad station_name";
            return result;
        }
    }
    for (const auto load :
         {&StationModel::LoadRelays, &StationModel::LoadChannels, &StationModel::LoadScripts,
          &StationModel::LoadAlerts, &StationModel::LoadModems, &StationModel::LoadNextIds}) {
        result.error = (model.*load)(json);
        if (!result.error.empty()) {
            return result;
        }
    }
    model.m_changeCount = 0;
    model.m_events.clear();
    result.model = std::move(model);
    return result;
}

std::string StationModel::LoadRelays(const JsonValue& json) {
    const JsonValue* relays = Member(json, "relays", JsonValue::Kind::Array);
    if (relays == nullptr) {
        return {};
    }
    if (relays->AsArray().size() != kRelayCount) {
        return "relays must hold 4 entries";
    }
    for (int k = 1; k <= kRelayCount; ++k) {
        const JsonValue& r = relays->AsArray()[static_cast<std::size_t>(k - 1)];
        const auto name = StringMember(r, "name");
        const auto notes = StringMember(r, "notes");
        const JsonValue* on = Member(r, "on", JsonValue::Kind::Bool);
        if (!name || !notes || on == nullptr || SetRelayName(k, *name) != kNoError ||
            SetRelayNotes(k, *notes) != kNoError) {
            return "bad relay " + std::to_string(k);
        }
        m_relays.at(static_cast<std::size_t>(k - 1)).on = on->AsBool();
    }
    return {};
}

std::string StationModel::LoadChannels(const JsonValue& json) {
    const JsonValue* channels = Member(json, "channels", JsonValue::Kind::Array);
    if (channels == nullptr) {
        return {};
    }
    if (channels->AsArray().size() != kChannelCount) {
        return "channels must hold 8 entries";
    }
    for (int n = 1; n <= kChannelCount; ++n) {
        if (!LoadChannel(n, channels->AsArray()[static_cast<std::size_t>(n - 1)])) {
            return "bad channel " + std::to_string(n);
        }
    }
    return {};
}

bool StationModel::LoadChannel(int n, const JsonValue& c) {
    const auto text = [&c](const char* key) { return StringMember(c, key); };
    const JsonValue* lists = Member(c, "id_lists", JsonValue::Kind::Array);
    const JsonValue* highOn = Member(c, "high_enabled", JsonValue::Kind::Bool);
    const JsonValue* lowOn = Member(c, "low_enabled", JsonValue::Kind::Bool);
    const JsonValue* highFlap = Member(c, "high_flap_seconds", JsonValue::Kind::Number);
    const JsonValue* lowFlap = Member(c, "low_flap_seconds", JsonValue::Kind::Number);
    const JsonValue* precision = Member(c, "precision", JsonValue::Kind::Number);
    if (!text("name") || !text("notes") || !text("high_value") || !text("low_value") ||
        !text("adjustment") || !text("mode") || !text("amp_rating") || !text("millivolt_rating") ||
        lists == nullptr || lists->AsArray().size() != 8 || highOn == nullptr || lowOn == nullptr ||
        highFlap == nullptr || lowFlap == nullptr || precision == nullptr) {
        return false;
    }
    const auto number = [](const JsonValue* v) {
        const double d = v->AsNumber();
        return d >= 0 && d <= 1e9 ? std::to_string(static_cast<long long>(d)) : "x";
    };
    // The settings go in as the record a SET of them would carry.
    std::string record = std::to_string(n) + "|" + *text("high_value") + "|" + *text("low_value") +
                         "|" + (highOn->AsBool() ? "1" : "0") + "|" +
                         (lowOn->AsBool() ? "1" : "0") + "|";
    for (const JsonValue& list : lists->AsArray()) {
        const auto bytes = list.IsString() ? TextAsBytes(list.AsString()) : std::nullopt;
        if (!bytes) {
            return false;
        }
        record += *bytes + "|";
    }
    record += number(highFlap) + "|" + number(lowFlap) + "|" + *text("adjustment") + "|" +
              number(precision) + "|" + *text("mode") + "|" + *text("amp_rating") + "|" +
              *text("millivolt_rating") + "|";
    return SetChannelSettings(n, record) == kNoError &&
           SetChannelName(n, *text("name")) == kNoError &&
           SetChannelNotes(n, *text("notes")) == kNoError;
}

std::string StationModel::LoadScripts(const JsonValue& json) {
    const JsonValue* scripts = Member(json, "scripts", JsonValue::Kind::Array);
    if (scripts == nullptr) {
        return {};
    }
    for (const JsonValue& s : scripts->AsArray()) {
        const auto id = IdMember(s, "id");
        const auto type = StringMember(s, "type");
        const auto name = StringMember(s, "name");
        const auto description = StringMember(s, "description");
        const auto commands = StringMember(s, "commands");
        Script script;
        if (!id || !type || !name || !description || !commands || m_scripts.count(*id) ||
            !ParseScriptFields({"", *type, *name, *description, *commands}, script)) {
            return "bad script entry";
        }
        script.id = *id;
        m_scripts[*id] = std::move(script);
        m_nextScriptId = std::max(m_nextScriptId, *id + 1);
    }
    return {};
}

std::string StationModel::LoadAlerts(const JsonValue& json) {
    const JsonValue* alerts = Member(json, "alerts", JsonValue::Kind::Array);
    if (alerts == nullptr) {
        return {};
    }
    for (const JsonValue& a : alerts->AsArray()) {
        const auto id = IdMember(a, "id");
        const JsonValue* fields = Member(a, "fields", JsonValue::Kind::Array);
        if (!id || fields == nullptr || m_alerts.count(*id)) {
            return "bad alert entry";
        }
        std::vector<std::string> texts;
        for (const JsonValue& field : fields->AsArray()) {
            const auto bytes = field.IsString() ? TextAsBytes(field.AsString()) : std::nullopt;
            if (!bytes) {
                return "bad alert entry";
            }
            texts.push_back(*bytes);
        }
        std::vector<std::string_view> parts{""};
        parts.insert(parts.end(), texts.begin(), texts.end());
        Alert alert;
        if (!ParseAlertFields(parts, alert)) {
            return "bad alert entry";
        }
        alert.id = *id;
        m_alerts[*id] = std::move(alert);
        m_nextAlertId = std::max(m_nextAlertId, *id + 1);
    }
    return {};
}

std::string StationModel::LoadModems(const JsonValue& json) {
    const JsonValue* modems = Member(json, "modems", JsonValue::Kind::Array);
    if (modems == nullptr) {
        return {};
    }
    for (const JsonValue& m : modems->AsArray()) {
        const auto id = IdMember(m, "id");
        const auto name = StringMember(m, "name");
        if (!id || !name || m_modems.count(*id) ||
            !IsStorableText(*name, {kModemNameLimit, false, false, false})) {
            return "bad modem entry";
        }
        m_modems[*id] = Modem{*id, *name};
        m_nextModemId = std::max(m_nextModemId, *id + 1);
    }
    return {};
}

std::string StationModel::LoadNextIds(const JsonValue& json) {
    const JsonValue* next = Member(json, "next_ids", JsonValue::Kind::Object);
    if (next == nullptr) {
        return {};
    }
    // Ids of deleted rows are not handed out again after a restart; one
    // that does not read would be.
    for (const auto& [key, nextId] :
         {std::pair{"script", &m_nextScriptId}, std::pair{"alert", &m_nextAlertId},
          std::pair{"modem", &m_nextModemId}}) {
        if (next->Find(key) == nullptr) {
            continue;
        }
        const auto id = IdMember(*next, key);
        if (!id) {
            return std::string("bad next_ids ") + key;
        }
        *nextId = std::max(*nextId, *id);
    }
    return {};
}

}  // namespace volnar::sim
