#include "station_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace volnar::sim {

namespace {

constexpr std::string_view kIndexCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijk";

// Delays of the relay set (group "0", index 8 on) and of the I/O set (index
// 28 on), in seconds.
constexpr std::array<int, 27> kRelayDelays = {
    1,   2,   3,   4,   5,    6,    7,    8,    9,     10,    20,    30,    60,   120,
    180, 240, 300, 600, 1200, 1800, 3600, 7200, 10800, 14400, 18000, 36000, 86400};
constexpr std::array<int, 19> kIoDelays = {1,  2,  3,    4,    5,     6,     7,     8,     9,    10,
                                           20, 30, 3600, 7200, 10800, 14400, 18000, 36000, 86400};
// I/O pins in the order of their commands.
constexpr std::array<int, 14> kIoPins = {1, 2, 3, 4, 5, 6, 7, 25, 26, 27, 28, 29, 30, 31};

constexpr std::size_t kRelayNameLimit = 19;
constexpr std::size_t kRelayNotesLimit = 511;
constexpr std::size_t kChannelNameLimit = 19;
constexpr std::size_t kChannelNotesLimit = 511;
constexpr std::size_t kStationNameLimit = 255;
constexpr std::size_t kScriptNameLimit = 63;
constexpr std::size_t kScriptDescriptionLimit = 510;
constexpr std::size_t kScriptCommandsLimit = 512;
constexpr std::size_t kAlertFieldLimit = 511;
constexpr std::size_t kIdListLimit = 127;
constexpr std::size_t kNumberTextLimit = 11;
constexpr std::uint32_t kFlapLimit = 86400;

int IndexOf(char c) {
    const auto pos = kIndexCharacters.find(c);
    return pos == std::string_view::npos ? -1 : static_cast<int>(pos);
}

struct TextRules {
    std::size_t maxBytes;
    bool allowLineBreaks;
    bool allowBar;
    bool allowEmpty;
};

// Text that can be stored and served back: any bytes within its limit (the
// station keeps text as the bytes it was sent, one byte per character,
// whatever their encoding), no control characters except tab (and line
// breaks where allowed), and no "|" where the text travels inside a field
// list.
bool IsStorableText(std::string_view text, const TextRules& rules) {
    if (text.empty()) {
        return rules.allowEmpty;
    }
    if (text.size() > rules.maxBytes) {
        return false;
    }
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '|' && !rules.allowBar) {
            return false;
        }
        if ((c == '\r' || c == '\n') && rules.allowLineBreaks) {
            continue;
        }
        if ((u < 0x20 && c != '\t') || u == 0x7F) {
            return false;
        }
    }
    return true;
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Optional "-", digits with at most one ".", at least one digit.
bool IsDecimalText(std::string_view text) {
    if (text.empty() || text.size() > kNumberTextLimit) {
        return false;
    }
    std::size_t i = text[0] == '-' ? 1 : 0;
    bool point = false;
    bool digit = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.') {
            if (point) {
                return false;
            }
            point = true;
        } else if (text[i] >= '0' && text[i] <= '9') {
            digit = true;
        } else {
            return false;
        }
    }
    return digit;
}

// Ids each followed by ".", e.g. "3.12."; the empty list is "".
bool IsIdList(std::string_view text) {
    if (text.size() > kIdListLimit) {
        return false;
    }
    std::size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 10) {
                return false;
            }
        } else if (c == '.' && digits > 0) {
            digits = 0;
        } else {
            return false;
        }
    }
    return digits == 0;
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max) {
    if (!IsDigits(text) || text.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

bool IsValidCommandList(std::string_view type, std::string_view commands) {
    if (commands.empty() || commands.size() % 2 != 0 || commands.size() > kScriptCommandsLimit) {
        return false;
    }
    for (std::size_t i = 0; i < commands.size(); i += 2) {
        const auto code = commands.substr(i, 2);
        const auto delay = type == "relay" ? RelayCodeDelay(code) : IoCodeDelay(code);
        if (!delay) {
            return false;
        }
    }
    return true;
}

// Validates a script record's fields 2 to 5 into script (id left alone).
bool ParseScriptFields(const std::vector<std::string_view>& fields, Script& script) {
    if (fields.size() != 5) {
        return false;
    }
    const std::string type = LowerAscii(fields[1]);
    if (type != "relay" && type != "io") {
        return false;
    }
    if (!IsStorableText(fields[2], {kScriptNameLimit, false, false, false}) ||
        !IsStorableText(fields[3], {kScriptDescriptionLimit, true, false, true}) ||
        !IsValidCommandList(type, fields[4])) {
        return false;
    }
    script.type = type;
    script.name = std::string(fields[2]);
    script.description = std::string(fields[3]);
    script.commands = std::string(fields[4]);
    return true;
}

bool ParseAlertFields(const std::vector<std::string_view>& fields, Alert& alert) {
    if (fields.size() != 14) {
        return false;
    }
    const std::string type = UpperAscii(fields[1]);
    if (type != "EMAIL" && type != "SMS") {
        return false;
    }
    std::vector<std::string> stored{type};
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (!IsStorableText(fields[i], {kAlertFieldLimit, true, false, false})) {
            return false;
        }
        stored.emplace_back(fields[i]);
    }
    alert.fields = std::move(stored);
    return true;
}

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

}  // namespace

std::optional<int> RelayCodeDelay(std::string_view code) {
    if (code.size() != 2) {
        return std::nullopt;
    }
    const int index = IndexOf(code[1]);
    if (index < 0) {
        return std::nullopt;
    }
    if (code[0] == '0') {
        if (index < 8) {
            return -1;
        }
        if (index - 8 < static_cast<int>(kRelayDelays.size())) {
            return kRelayDelays.at(static_cast<std::size_t>(index - 8));
        }
        return std::nullopt;
    }
    if (code[0] >= '1' && code[0] <= '6' && index < 14) {
        return -1;
    }
    return std::nullopt;
}

std::optional<int> IoCodeDelay(std::string_view code) {
    if (code.size() != 2 || code[0] != '0') {
        return std::nullopt;
    }
    const int index = IndexOf(code[1]);
    if (index < 0) {
        return std::nullopt;
    }
    if (index < 28) {
        return -1;
    }
    return kIoDelays.at(static_cast<std::size_t>(index - 28));
}

std::vector<std::string_view> SplitRecord(std::string_view record) {
    std::vector<std::string_view> fields;
    if (!record.empty() && record.back() == '|') {
        record.remove_suffix(1);
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t bar = record.find('|', start);
        if (bar == std::string_view::npos) {
            fields.push_back(record.substr(start));
            return fields;
        }
        fields.push_back(record.substr(start, bar - start));
        start = bar + 1;
    }
}

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
    const auto fail = [&result](std::string what) {
        result.error = std::move(what);
        return result;
    };
    if (!json.IsObject()) {
        return fail("the state is not a JSON object");
    }
    StationModel model;
    // Every value goes through the same checks as an SNMP SET, so a state
    // file cannot hold what the station would refuse.
    if (const auto name = StringMember(json, "station_name")) {
        if (model.SetStationName(*name) != kNoError) {
            return fail("bad station_name");
        }
    }
    if (const JsonValue* relays = Member(json, "relays", JsonValue::Kind::Array)) {
        if (relays->AsArray().size() != kRelayCount) {
            return fail("relays must hold 4 entries");
        }
        for (int k = 1; k <= kRelayCount; ++k) {
            const JsonValue& r = relays->AsArray()[static_cast<std::size_t>(k - 1)];
            const auto name = StringMember(r, "name");
            const auto notes = StringMember(r, "notes");
            const JsonValue* on = Member(r, "on", JsonValue::Kind::Bool);
            if (!name || !notes || on == nullptr || model.SetRelayName(k, *name) != kNoError ||
                model.SetRelayNotes(k, *notes) != kNoError) {
                return fail("bad relay " + std::to_string(k));
            }
            model.m_relays.at(static_cast<std::size_t>(k - 1)).on = on->AsBool();
        }
    }
    if (const JsonValue* channels = Member(json, "channels", JsonValue::Kind::Array)) {
        if (channels->AsArray().size() != kChannelCount) {
            return fail("channels must hold 8 entries");
        }
        for (int n = 1; n <= kChannelCount; ++n) {
            const JsonValue& c = channels->AsArray()[static_cast<std::size_t>(n - 1)];
            const auto text = [&c](const char* key) { return StringMember(c, key); };
            const JsonValue* lists = Member(c, "id_lists", JsonValue::Kind::Array);
            const JsonValue* highOn = Member(c, "high_enabled", JsonValue::Kind::Bool);
            const JsonValue* lowOn = Member(c, "low_enabled", JsonValue::Kind::Bool);
            const JsonValue* highFlap = Member(c, "high_flap_seconds", JsonValue::Kind::Number);
            const JsonValue* lowFlap = Member(c, "low_flap_seconds", JsonValue::Kind::Number);
            const JsonValue* precision = Member(c, "precision", JsonValue::Kind::Number);
            const std::string bad = "bad channel " + std::to_string(n);
            if (!text("name") || !text("notes") || !text("high_value") || !text("low_value") ||
                !text("adjustment") || !text("mode") || !text("amp_rating") ||
                !text("millivolt_rating") || lists == nullptr || lists->AsArray().size() != 8 ||
                highOn == nullptr || lowOn == nullptr || highFlap == nullptr ||
                lowFlap == nullptr || precision == nullptr) {
                return fail(bad);
            }
            const auto number = [](const JsonValue* v) {
                const double d = v->AsNumber();
                return d >= 0 && d <= 1e9 ? std::to_string(static_cast<long long>(d)) : "x";
            };
            std::string record = std::to_string(n) + "|" + *text("high_value") + "|" +
                                 *text("low_value") + "|" + (highOn->AsBool() ? "1" : "0") + "|" +
                                 (lowOn->AsBool() ? "1" : "0") + "|";
            for (const JsonValue& list : lists->AsArray()) {
                const auto bytes = list.IsString() ? TextAsBytes(list.AsString()) : std::nullopt;
                if (!bytes) {
                    return fail(bad);
                }
                record += *bytes + "|";
            }
            record += number(highFlap) + "|" + number(lowFlap) + "|" + *text("adjustment") + "|" +
                      number(precision) + "|" + *text("mode") + "|" + *text("amp_rating") + "|" +
                      *text("millivolt_rating") + "|";
            if (model.SetChannelSettings(n, record) != kNoError ||
                model.SetChannelName(n, *text("name")) != kNoError ||
                model.SetChannelNotes(n, *text("notes")) != kNoError) {
                return fail(bad);
            }
        }
    }
    if (const JsonValue* scripts = Member(json, "scripts", JsonValue::Kind::Array)) {
        for (const JsonValue& s : scripts->AsArray()) {
            const auto id = IdMember(s, "id");
            const auto type = StringMember(s, "type");
            const auto name = StringMember(s, "name");
            const auto description = StringMember(s, "description");
            const auto commands = StringMember(s, "commands");
            Script script;
            if (!id || !type || !name || !description || !commands || model.m_scripts.count(*id) ||
                !ParseScriptFields({"", *type, *name, *description, *commands}, script)) {
                return fail("bad script entry");
            }
            script.id = *id;
            model.m_scripts[*id] = std::move(script);
            model.m_nextScriptId = std::max(model.m_nextScriptId, *id + 1);
        }
    }
    if (const JsonValue* alerts = Member(json, "alerts", JsonValue::Kind::Array)) {
        for (const JsonValue& a : alerts->AsArray()) {
            const auto id = IdMember(a, "id");
            const JsonValue* fields = Member(a, "fields", JsonValue::Kind::Array);
            if (!id || fields == nullptr || model.m_alerts.count(*id)) {
                return fail("bad alert entry");
            }
            std::vector<std::string> texts;
            for (const JsonValue& field : fields->AsArray()) {
                const auto bytes = field.IsString() ? TextAsBytes(field.AsString()) : std::nullopt;
                if (!bytes) {
                    return fail("bad alert entry");
                }
                texts.push_back(*bytes);
            }
            std::vector<std::string_view> parts{""};
            parts.insert(parts.end(), texts.begin(), texts.end());
            Alert alert;
            if (!ParseAlertFields(parts, alert)) {
                return fail("bad alert entry");
            }
            alert.id = *id;
            model.m_alerts[*id] = std::move(alert);
            model.m_nextAlertId = std::max(model.m_nextAlertId, *id + 1);
        }
    }
    if (const JsonValue* modems = Member(json, "modems", JsonValue::Kind::Array)) {
        for (const JsonValue& m : modems->AsArray()) {
            const auto id = IdMember(m, "id");
            const auto name = StringMember(m, "name");
            if (!id || !name || model.m_modems.count(*id) ||
                !IsStorableText(*name, {63, false, false, false})) {
                return fail("bad modem entry");
            }
            model.m_modems[*id] = Modem{*id, *name};
            model.m_nextModemId = std::max(model.m_nextModemId, *id + 1);
        }
    }
    if (const JsonValue* next = Member(json, "next_ids", JsonValue::Kind::Object)) {
        // Ids of deleted rows are not handed out again after a restart.
        if (const auto id = IdMember(*next, "script")) {
            model.m_nextScriptId = std::max(model.m_nextScriptId, *id);
        }
        if (const auto id = IdMember(*next, "alert")) {
            model.m_nextAlertId = std::max(model.m_nextAlertId, *id);
        }
        if (const auto id = IdMember(*next, "modem")) {
            model.m_nextModemId = std::max(model.m_nextModemId, *id);
        }
    }
    model.m_changeCount = 0;
    model.m_events.clear();
    result.model = std::move(model);
    return result;
}

}  // namespace volnar::sim
