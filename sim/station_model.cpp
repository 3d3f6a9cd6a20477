// SPDX-License-Identifier: GPL-3.0-or-later
#include "station_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "record_rules.h"

namespace volnar::sim {

using namespace rules;

namespace {

double UnitInterval(std::mt19937_64& random) {
    return static_cast<double>(random() >> 11) * (1.0 / 9007199254740992.0);
}

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

JsonValue::Object EventOf(const char* name) {
    JsonValue::Object details;
    details["event"] = name;
    return details;
}

}  // namespace

StationModel::StationModel() {
    static constexpr std::array<const char*, kRelayCount> kRelayNames = {"Pump", "Fan", "Lamp",
                                                                         "Heater"};
    static constexpr std::array<const char*, kChannelCount> kChannelNames = {
        "Sensor 1",    "Sensor 2",     "Sensor 3", "Battery 12V",
        "Battery 24V", "Load Current", "Bus 48V",  "Solar"};
    for (int k = 0; k < kRelayCount; ++k) {
        m_relays[static_cast<std::size_t>(k)].name = kRelayNames[static_cast<std::size_t>(k)];
    }
    for (int n = 0; n < kChannelCount; ++n) {
        m_channels[static_cast<std::size_t>(n)].name = kChannelNames[static_cast<std::size_t>(n)];
    }
    // Channel 6 measures a current through a 50 A / 50 mV shunt.
    Channel& load = m_channels[5];
    load.mode = 'a';
    load.ampRating = "50";
    load.millivoltRating = "50";
    load.precision = 4;
    SetSeed(1);
}

void StationModel::SetSeed(std::uint64_t seed) {
    m_random.seed(seed);
    for (double& level : m_levels) {
        level = 0.3 + 0.4 * UnitInterval(m_random);
    }
    m_temperature = 18.0 + 8.0 * UnitInterval(m_random);
}

std::string StationModel::ReadingText(int channel) const {
    const Channel& c = m_channels.at(static_cast<std::size_t>(channel - 1));
    const double level = m_levels.at(static_cast<std::size_t>(channel - 1));
    if (c.mode == 'a') {
        const double amps = std::atof(c.ampRating.c_str());
        const double millivolts = std::atof(c.millivoltRating.c_str());
        if (amps <= 0 || millivolts <= 0) {
            return "0.000000";
        }
        // The shunt's voltage at level × its rated current.
        return Format("%.6f", level * millivolts / 1000.0);
    }
    const double range = channel <= 3 ? 2.5 : channel <= 6 ? 30.0 : 60.0;
    return Format("%.4f", level * range);
}

std::string StationModel::StatusRecord(double now) {
    for (double& level : m_levels) {
        level = std::clamp(level + (UnitInterval(m_random) - 0.5) * 0.02, 0.05, 0.95);
    }
    m_temperature = std::clamp(m_temperature + (UnitInterval(m_random) - 0.5) * 0.2, 10.0, 40.0);

    std::string record;
    const auto add = [&record](std::string_view field) {
        record.append(field);
        record += '|';
    };
    for (int n = 1; n <= kChannelCount; ++n) {
        add(channel(n).name);
        add(ReadingText(n));
    }
    for (int k = 1; k <= kRelayCount; ++k) {
        add(relay(k).name);
        add(relay(k).on ? "1" : "0");
    }
    const double celsius = std::round(m_temperature * 10.0) / 10.0;
    add(Format("%.1f", celsius));
    add(Format("%.1f", celsius * 9.0 / 5.0 + 32.0));
    add(m_stationName);
    const auto uptime = static_cast<std::uint64_t>(std::max(0.0, now - m_startTime));
    char uptimeText[64];
    std::snprintf(uptimeText, sizeof uptimeText, "%llu days, %02u:%02u:%02u",
                  static_cast<unsigned long long>(uptime / 86400),
                  static_cast<unsigned>(uptime % 86400 / 3600),
                  static_cast<unsigned>(uptime % 3600 / 60), static_cast<unsigned>(uptime % 60));
    add(uptimeText);
    for (int n = 1; n <= kChannelCount; ++n) {
        add(channel(n).mode == 'a' ? "a" : "v");
    }
    for (int n = 1; n <= kChannelCount; ++n) {
        add(channel(n).ampRating);
    }
    for (int n = 1; n <= kChannelCount; ++n) {
        add(channel(n).millivoltRating);
    }
    for (int n = 1; n <= kChannelCount; ++n) {
        add(std::to_string(channel(n).precision));
    }
    return record;
}

std::string StationModel::ChannelRecord(int n) const {
    const Channel& c = channel(n);
    std::string record;
    const auto add = [&record](std::string_view field) {
        record.append(field);
        record += '|';
    };
    add(std::to_string(n));
    add(c.name);
    add(c.notes);
    add(c.highValue);
    add(c.lowValue);
    add(c.highEnabled ? "1" : "0");
    add(c.lowEnabled ? "1" : "0");
    for (const std::string& list : c.idLists) {
        add(list);
    }
    add(std::to_string(c.highFlapSeconds));
    add(std::to_string(c.lowFlapSeconds));
    add(c.adjustment);
    add(std::to_string(c.precision));
    return record;
}

std::string StationModel::ScriptRow(const Script& script) {
    return std::to_string(script.id) + "|" + script.type + "|" + script.name + "|" +
           script.description + "|" + script.commands + "|";
}

std::string StationModel::AlertRow(const Alert& alert) {
    std::string row = std::to_string(alert.id) + "|";
    for (const std::string& field : alert.fields) {
        row += field;
        row += '|';
    }
    return row;
}

std::string StationModel::ModemRow(const Modem& modem) {
    return std::to_string(modem.id) + "|" + modem.name + "|";
}

int StationModel::SetStationName(std::string_view name) {
    if (!IsStorableText(name, {kStationNameLimit, false, false, true})) {
        return kBadValue;
    }
    m_stationName = std::string(name);
    Changed();
    return kNoError;
}

int StationModel::SetScriptRecord(std::string_view record) {
    const auto fields = SplitRecord(record);
    if (fields.empty()) {
        return kBadValue;
    }
    const auto id = ParseUnsigned(fields[0], std::numeric_limits<std::uint32_t>::max());
    Script script;
    if (!id || !ParseScriptFields(fields, script)) {
        return kBadValue;
    }
    if (*id == 0) {
        if (m_scripts.size() >= kMaxTableRows || m_nextScriptId == 0) {
            return kGenErr;
        }
        script.id = m_nextScriptId++;
        m_lastAddedId = script.id;
        ++m_addCount;
    } else {
        if (m_scripts.count(*id) == 0) {
            return kBadValue;
        }
        script.id = *id;
    }
    m_scripts[script.id] = std::move(script);
    Changed();
    return kNoError;
}

int StationModel::ExecuteScript(std::int64_t id, double now) {
    if (id <= 0 || id > std::numeric_limits<std::uint32_t>::max()) {
        return kBadValue;
    }
    const auto it = m_scripts.find(static_cast<std::uint32_t>(id));
    if (it == m_scripts.end()) {
        return kBadValue;
    }
    auto event = EventOf("script_executed");
    event["id"] = JsonValue(it->second.id);
    event["type"] = it->second.type;
    event["name"] = BytesAsText(it->second.name);
    m_events.push_back({std::move(event)});
    ScriptRun run{it->second.id, it->second.type, it->second.commands, 0, now};
    if (ContinueRun(run, now)) {
        m_runs.push_back(std::move(run));
    }
    return kNoError;
}

bool StationModel::ContinueRun(ScriptRun& run, double now) {
    while (run.next * 2 + 1 < run.commands.size()) {
        const std::string code = run.commands.substr(run.next * 2, 2);
        ++run.next;
        const int index = IndexOf(code[1]);
        if (run.type == "relay") {
            const auto delay = RelayCodeDelay(code);
            if (!delay) {
                continue;
            }
            if (*delay > 0) {
                run.resumeAt = now + *delay;
                return true;
            }
            if (code[0] == '0') {
                SetRelay(index / 2 + 1, index % 2 == 0,
                         ("script " + std::to_string(run.scriptId)).c_str());
            } else {
                auto& board = m_daughterBoards.at(static_cast<std::size_t>(code[0] - '1'));
                board.at(static_cast<std::size_t>(std::min(index / 2, 6))) = index % 2 == 0;
                Changed();
            }
        } else {
            const auto delay = IoCodeDelay(code);
            if (!delay) {
                continue;
            }
            if (*delay > 0) {
                run.resumeAt = now + *delay;
                return true;
            }
            const int pin = kIoPins.at(static_cast<std::size_t>(index / 2));
            m_ioPins[pin] = index % 2 == 0;
            auto event = EventOf("io_pin_set");
            event["pin"] = pin;
            event["level"] = index % 2 == 0 ? "HIGH" : "LOW";
            event["script"] = JsonValue(run.scriptId);
            m_events.push_back({std::move(event)});
        }
    }
    auto event = EventOf("script_finished");
    event["id"] = JsonValue(run.scriptId);
    m_events.push_back({std::move(event)});
    return false;
}

int StationModel::DeleteScript(std::int64_t id) {
    if (id <= 0 || id > std::numeric_limits<std::uint32_t>::max() ||
        m_scripts.erase(static_cast<std::uint32_t>(id)) == 0) {
        return kBadValue;
    }
    Changed();
    return kNoError;
}

int StationModel::SetAlertRecord(std::string_view record) {
    const auto fields = SplitRecord(record);
    const auto id = ParseUnsigned(fields[0], std::numeric_limits<std::uint32_t>::max());
    Alert alert;
    if (!id || !ParseAlertFields(fields, alert)) {
        return kBadValue;
    }
    if (*id == 0) {
        if (m_alerts.size() >= kMaxTableRows || m_nextAlertId == 0) {
            return kGenErr;
        }
        alert.id = m_nextAlertId++;
        m_lastAddedId = alert.id;
        ++m_addCount;
    } else {
        if (m_alerts.count(*id) == 0) {
            return kBadValue;
        }
        alert.id = *id;
    }
    m_alerts[alert.id] = std::move(alert);
    Changed();
    return kNoError;
}

int StationModel::ExecuteAlert(std::int64_t id) {
    if (id <= 0 || id > std::numeric_limits<std::uint32_t>::max()) {
        return kBadValue;
    }
    const auto it = m_alerts.find(static_cast<std::uint32_t>(id));
    if (it == m_alerts.end()) {
        return kBadValue;
    }
    auto event = EventOf("alert_executed");
    event["id"] = JsonValue(it->second.id);
    event["type"] = it->second.fields.at(0);
    event["name"] = BytesAsText(it->second.fields.at(1));
    event["record"] = BytesAsText(AlertRow(it->second));
    m_events.push_back({std::move(event)});
    return kNoError;
}

int StationModel::DeleteAlert(std::int64_t id) {
    if (id <= 0 || id > std::numeric_limits<std::uint32_t>::max() ||
        m_alerts.erase(static_cast<std::uint32_t>(id)) == 0) {
        return kBadValue;
    }
    Changed();
    return kNoError;
}

void StationModel::SetRelay(int k, bool on, const char* cause) {
    auto& relay = m_relays.at(static_cast<std::size_t>(k - 1));
    // Any switching ends a pulse in progress; the pulse's own end is the
    // caller's business.
    m_pulseEnds.at(static_cast<std::size_t>(k - 1)).reset();
    if (k == m_stuckRelay) {
        on = relay.on;
    }
    if (relay.on != on) {
        relay.on = on;
        Changed();
    }
    auto event = EventOf("relay_switched");
    event["relay"] = k;
    event["state"] = on ? 1 : 0;
    event["cause"] = cause;
    m_events.push_back({std::move(event)});
}

int StationModel::SwitchRelay(int k, std::int64_t state) {
    if (k < 1 || k > kRelayCount || (state != 0 && state != 1)) {
        return kBadValue;
    }
    SetRelay(k, state == 1, "switch");
    return kNoError;
}

int StationModel::PulseRelay(int k, std::int64_t seconds, double now) {
    if (k < 1 || k > kRelayCount || seconds < 1 || seconds > 60) {
        return kBadValue;
    }
    SetRelay(k, true, "pulse");
    m_pulseEnds.at(static_cast<std::size_t>(k - 1)) = now + static_cast<double>(seconds);
    return kNoError;
}

int StationModel::SetRelayName(int k, std::string_view name) {
    if (k < 1 || k > kRelayCount || !IsStorableText(name, {kRelayNameLimit, false, false, true})) {
        return kBadValue;
    }
    m_relays.at(static_cast<std::size_t>(k - 1)).name = std::string(name);
    Changed();
    return kNoError;
}

int StationModel::SetRelayNotes(int k, std::string_view notes) {
    if (k < 1 || k > kRelayCount || !IsStorableText(notes, {kRelayNotesLimit, true, true, true})) {
        return kBadValue;
    }
    m_relays.at(static_cast<std::size_t>(k - 1)).notes = std::string(notes);
    Changed();
    return kNoError;
}

int StationModel::SetChannelName(int n, std::string_view name) {
    if (n < 1 || n > kChannelCount ||
        !IsStorableText(name, {kChannelNameLimit, false, false, false})) {
        return kBadValue;
    }
    m_channels.at(static_cast<std::size_t>(n - 1)).name = std::string(name);
    Changed();
    return kNoError;
}

int StationModel::SetChannelNotes(int n, std::string_view notes) {
    if (n < 1 || n > kChannelCount ||
        !IsStorableText(notes, {kChannelNotesLimit, true, false, true})) {
        return kBadValue;
    }
    m_channels.at(static_cast<std::size_t>(n - 1)).notes = std::string(notes);
    Changed();
    return kNoError;
}

int StationModel::SetChannelSettings(int n, std::string_view record) {
    if (n < 1 || n > kChannelCount) {
        return kBadValue;
    }
    const auto f = SplitRecord(record);
    if (f.size() != 20 || ParseUnsigned(f[0], kChannelCount) != static_cast<std::uint32_t>(n)) {
        return kBadValue;
    }
    Channel c = channel(n);
    const auto enabled = [](std::string_view text) -> std::optional<bool> {
        if (text == "0" || text == "1") {
            return text == "1";
        }
        return std::nullopt;
    };
    const auto highEnabled = enabled(f[3]);
    const auto lowEnabled = enabled(f[4]);
    if (!highEnabled || !lowEnabled) {
        return kBadValue;
    }
    // A trigger value must be a number while its trigger is on; a disabled
    // one may also be empty.
    const auto triggerValueOk = [](std::string_view text, bool on) {
        return IsDecimalText(text) || (!on && text.empty());
    };
    if (!triggerValueOk(f[1], *highEnabled) || !triggerValueOk(f[2], *lowEnabled)) {
        return kBadValue;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        if (!IsIdList(f[5 + i])) {
            return kBadValue;
        }
    }
    const auto highFlap = ParseUnsigned(f[13], kFlapLimit);
    const auto lowFlap = ParseUnsigned(f[14], kFlapLimit);
    if (!highFlap || !lowFlap || !IsDecimalText(f[15])) {
        return kBadValue;
    }
    if (f[16].size() != 1 || f[16][0] < '0' || f[16][0] > '6') {
        return kBadValue;
    }
    if (f[17] != "a" && f[17] != "v") {
        return kBadValue;
    }
    const bool ammeter = f[17] == "a";
    // An ammeter needs both ratings above zero (the panel divides by the
    // millivolt rating); a voltmeter carries whatever the disabled edits held.
    const auto ratingOk = [ammeter](std::string_view text) {
        if (text.empty()) {
            return !ammeter;
        }
        const auto value = ParseUnsigned(text, 999999);
        return value.has_value() && (!ammeter || *value > 0);
    };
    if (!ratingOk(f[18]) || !ratingOk(f[19])) {
        return kBadValue;
    }
    c.highValue = std::string(f[1]);
    c.lowValue = std::string(f[2]);
    c.highEnabled = *highEnabled;
    c.lowEnabled = *lowEnabled;
    for (std::size_t i = 0; i < 8; ++i) {
        c.idLists.at(i) = std::string(f[5 + i]);
    }
    c.highFlapSeconds = *highFlap;
    c.lowFlapSeconds = *lowFlap;
    c.adjustment = std::string(f[15]);
    c.precision = f[16][0] - '0';
    c.mode = ammeter ? 'a' : 'v';
    c.ampRating = f[18].empty() ? "0" : std::string(f[18]);
    c.millivoltRating = f[19].empty() ? "0" : std::string(f[19]);
    m_channels.at(static_cast<std::size_t>(n - 1)) = std::move(c);
    Changed();
    return kNoError;
}

void StationModel::Advance(double now) {
    while (true) {
        // The earliest due item first, so that overlapping pulses and script
        // steps happen in time order.
        int pulse = -1;
        double pulseAt = 0;
        for (int k = 0; k < kRelayCount; ++k) {
            const auto& end = m_pulseEnds.at(static_cast<std::size_t>(k));
            if (end && *end <= now && (pulse < 0 || *end < pulseAt)) {
                pulse = k;
                pulseAt = *end;
            }
        }
        std::size_t run = m_runs.size();
        for (std::size_t i = 0; i < m_runs.size(); ++i) {
            if (m_runs[i].resumeAt <= now &&
                (run == m_runs.size() || m_runs[i].resumeAt < m_runs[run].resumeAt)) {
                run = i;
            }
        }
        const bool runFirst = run < m_runs.size() && (pulse < 0 || m_runs[run].resumeAt < pulseAt);
        if (runFirst) {
            ScriptRun current = std::move(m_runs[run]);
            m_runs.erase(m_runs.begin() + static_cast<std::ptrdiff_t>(run));
            if (ContinueRun(current, current.resumeAt)) {
                m_runs.push_back(std::move(current));
            }
        } else if (pulse >= 0) {
            SetRelay(pulse + 1, false, "pulse end");
        } else {
            return;
        }
    }
}

std::optional<double> StationModel::NextDueTime() const {
    std::optional<double> next;
    for (const auto& end : m_pulseEnds) {
        if (end && (!next || *end < *next)) {
            next = end;
        }
    }
    for (const ScriptRun& run : m_runs) {
        if (!next || run.resumeAt < *next) {
            next = run.resumeAt;
        }
    }
    return next;
}

std::vector<ModelEvent> StationModel::TakeEvents() {
    std::vector<ModelEvent> events;
    events.swap(m_events);
    return events;
}

}  // namespace volnar::sim
