// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json.h"

// The simulated station's state and rules, free of any transport: tables of
// scripts, alerts and modems, relays, ADC channels, the station name and the
// moving readings. Every change returns an SNMP error status (0 when
// accepted) and changes nothing when it refuses. Time is passed in by the
// caller (seconds, any epoch), so relay pulses and script delays can be
// driven by a test clock.
namespace volnar::sim {

// SNMP v1 error statuses the model returns.
inline constexpr int kNoError = 0;
inline constexpr int kNoSuchName = 2;
inline constexpr int kBadValue = 3;
inline constexpr int kGenErr = 5;

inline constexpr int kRelayCount = 4;
inline constexpr int kChannelCount = 8;
// Largest number of rows a table takes; an add beyond it gets genErr.
inline constexpr std::size_t kMaxTableRows = 100000;

struct Script {
    std::uint32_t id = 0;
    std::string type;  // "relay" or "io"
    std::string name;
    std::string description;
    std::string commands;  // two-character codes, no separator
};

struct Alert {
    std::uint32_t id = 0;
    // Fields 2 to 14 of the record: type ("EMAIL" or "SMS") then twelve texts.
    std::vector<std::string> fields;
};

struct Modem {
    std::uint32_t id = 0;
    std::string name;
};

struct Relay {
    std::string name;
    std::string notes;
    bool on = false;
};

struct Channel {
    std::string name;
    std::string notes;
    std::string highValue = "0.0000";
    std::string lowValue = "0.0000";
    bool highEnabled = false;
    bool lowEnabled = false;
    // High alerts, high normal alerts, high scripts, high normal scripts, low
    // alerts, low normal alerts, low scripts, low normal scripts.
    std::array<std::string, 8> idLists;
    std::uint32_t highFlapSeconds = 0;
    std::uint32_t lowFlapSeconds = 0;
    std::string adjustment = "1.0000";
    int precision = 2;
    char mode = 'v';  // 'v' voltmeter, 'a' ammeter
    std::string ampRating = "0";
    std::string millivoltRating = "0";
};

// Something the station did on its own that the log should show (an alert
// sent, a relay switched by a script or a pulse).
struct ModelEvent {
    JsonValue::Object details;  // always holds "event"
};

struct ModelLoadResult;

class StationModel final {
public:
    StationModel();

    // Readings move one step per status record; the same seed gives the same
    // sequence of records (apart from the uptime text, which follows now).
    void SetSeed(std::uint64_t seed);
    // A relay whose hardware does not follow: its switch and pulse SETs are
    // answered as usual, its state never changes (0: none).
    void SetStuckRelay(int k) { m_stuckRelay = k; }
    // A faulty walk: GETNEXT of a row under this table answers that same row
    // (empty: none).
    void SetStalledWalk(std::vector<std::uint32_t> table) { m_stalledWalk = std::move(table); }
    const std::vector<std::uint32_t>& StalledWalk() const { return m_stalledWalk; }
    void SetStartTime(double now) { m_startTime = now; }

    // --- reading
    std::string StatusRecord(double now);
    std::string ChannelRecord(int channel) const;  // 1-8
    static std::string ScriptRow(const Script& script);
    static std::string AlertRow(const Alert& alert);
    static std::string ModemRow(const Modem& modem);

    const std::map<std::uint32_t, Script>& scripts() const { return m_scripts; }
    const std::map<std::uint32_t, Alert>& alerts() const { return m_alerts; }
    const std::map<std::uint32_t, Modem>& modems() const { return m_modems; }
    const Relay& relay(int k) const { return m_relays.at(static_cast<std::size_t>(k - 1)); }
    const Channel& channel(int n) const { return m_channels.at(static_cast<std::size_t>(n - 1)); }
    const std::string& stationName() const { return m_stationName; }

    // --- changes; each returns kNoError or the error status of the refusal
    int SetStationName(std::string_view name);
    int SetScriptRecord(std::string_view record);
    int ExecuteScript(std::int64_t id, double now);
    int DeleteScript(std::int64_t id);
    int SetAlertRecord(std::string_view record);
    int ExecuteAlert(std::int64_t id);
    int DeleteAlert(std::int64_t id);
    int SwitchRelay(int k, std::int64_t state);
    int PulseRelay(int k, std::int64_t seconds, double now);
    int SetRelayName(int k, std::string_view name);
    int SetRelayNotes(int k, std::string_view notes);
    int SetChannelName(int n, std::string_view name);
    int SetChannelNotes(int n, std::string_view notes);
    int SetChannelSettings(int n, std::string_view record);

    // Runs the pulses and script steps that are due at now.
    void Advance(double now);
    // When the next pulse end or script step is due, if any.
    std::optional<double> NextDueTime() const;
    std::vector<ModelEvent> TakeEvents();

    // Id the last add was given (0 before any), and the number of adds: the
    // two tables count their ids apart, so an id alone does not tell a new add.
    std::uint32_t lastAddedId() const { return m_lastAddedId; }
    std::uint64_t addCount() const { return m_addCount; }

    // Generated rows for benchmarks and demos, appended with fresh ids.
    void AddGeneratedScripts(int count);
    void AddGeneratedAlerts(int count);
    void AddGeneratedModems(int count);

    // Grows with every change that the state file keeps.
    std::uint64_t changeCount() const { return m_changeCount; }

    JsonValue ToJson() const;
    static ModelLoadResult FromJson(const JsonValue& json);

private:
    int m_stuckRelay = 0;
    std::vector<std::uint32_t> m_stalledWalk;
    struct ScriptRun {
        std::uint32_t scriptId = 0;
        std::string type;
        std::string commands;
        std::size_t next = 0;  // index of the next code pair
        double resumeAt = 0;
    };

    void Changed() { ++m_changeCount; }
    void SetRelay(int k, bool on, const char* cause);
    // Runs commands from run.next until a delay or the end; false when the
    // run has ended.
    bool ContinueRun(ScriptRun& run, double now);
    std::string ReadingText(int channel) const;

    // Loading a state file, one part at a time: each returns the error text,
    // empty when the part loaded (or is absent).
    std::string LoadRelays(const JsonValue& json);
    std::string LoadChannels(const JsonValue& json);
    bool LoadChannel(int n, const JsonValue& channel);
    std::string LoadScripts(const JsonValue& json);
    std::string LoadAlerts(const JsonValue& json);
    std::string LoadModems(const JsonValue& json);
    std::string LoadNextIds(const JsonValue& json);

    std::string m_stationName = "VOLN-SIM";
    std::array<Relay, kRelayCount> m_relays;
    std::array<Channel, kChannelCount> m_channels;
    std::map<std::uint32_t, Script> m_scripts;
    std::map<std::uint32_t, Alert> m_alerts;
    std::map<std::uint32_t, Modem> m_modems;
    std::uint32_t m_nextScriptId = 1;
    std::uint32_t m_nextAlertId = 1;
    std::uint32_t m_nextModemId = 1;
    std::uint32_t m_lastAddedId = 0;
    std::uint64_t m_addCount = 0;

    // Daughter-board relays and outputs and the I/O pins: switched by
    // scripts, not reported by any object.
    std::array<std::array<bool, 7>, 6> m_daughterBoards{};
    std::map<int, bool> m_ioPins;

    std::array<std::optional<double>, kRelayCount> m_pulseEnds;
    std::vector<ScriptRun> m_runs;
    std::vector<ModelEvent> m_events;

    std::mt19937_64 m_random;
    std::array<double, kChannelCount> m_levels{};  // share of the channel's range
    double m_temperature = 22.0;
    double m_startTime = 0;
    std::uint64_t m_changeCount = 0;
};

struct ModelLoadResult {
    std::optional<StationModel> model;
    std::string error;
};

// Command codes of the two command sets: the seconds a code waits for, or -1
// when it is an action of the set, nullopt when the set has no such code.
std::optional<int> RelayCodeDelay(std::string_view code);
std::optional<int> IoCodeDelay(std::string_view code);

// Splits a field list at "|"; one final "|" ends the last field instead of
// starting an empty one.
std::vector<std::string_view> SplitRecord(std::string_view record);

}  // namespace volnar::sim
