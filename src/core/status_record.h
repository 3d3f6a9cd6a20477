// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <string_view>

#include "core/text_rules.h"

// The station's polled status record decoded once: numbers where the station
// sends numbers, the unit decided once, relay states as on/off. Every reader
// (the panel's texts, the history and the trend plot, the CSV recording, the
// fleet rows, the exporter, the relay confirmation) reads this record; none
// parses a shown text back into a number.
namespace volnar {

inline constexpr int kChannelCount = 8;
inline constexpr int kRelayCount = 4;
inline constexpr int kStatusFieldCount = 60;

// What an ADC channel measures. The station writes "v" in a voltmeter's unit
// field; every other text, "V" and "v " included, is an ammeter behind a
// shunt, whose reading the client converts into amperes. The field is compared
// whole and as sent, as the panel has always done, so that what the panel
// converts, what it labels and what the history, CSV, fleet and exporter say
// agree.
enum class Unit { Volts, Amperes };
Unit UnitOfField(std::string_view field);
// "V" or "A".
QString UnitSymbol(Unit unit);

struct ChannelStatus {
    // The fields as the station sent them (station text bytes).
    std::string name;
    std::string reading;
    std::string unitField;
    std::string ampRating;
    std::string millivoltRating;
    std::string precision;

    Unit unit = Unit::Amperes;
    // The value in volts or amperes before it is rounded for display: a
    // voltmeter's reading, or an ammeter's current computed from the reading
    // rounded to its precision. NaN when it is not a number (shown "ERROR").
    text::Real value = 0;
    // The decimals it is shown with: the precision, 2 for an ammeter.
    int decimals = 0;
    // The value as the panel shows it (rounded to `decimals`); nullopt for
    // "ERROR". Computed once when the channel's fields change.
    std::optional<double> shown;

    // The settings fields as numbers, read when their field changes (a
    // station sends the same settings in every answer).
    int precisionDigits = text::DecimalToInt({});
    text::Real ampRatingValue = text::DecimalToReal({});
    text::Real millivoltRatingValue = text::DecimalToReal({});

    std::optional<double> Value() const { return shown; }
};

struct RelayStatus {
    std::string name;
    // The state as sent: 0 off, 1 on; any other number is no state.
    int state = 0;

    std::optional<bool> On() const;
};

struct StatusRecord {
    std::array<ChannelStatus, kChannelCount> channels;
    std::array<RelayStatus, kRelayCount> relays;
    std::string celsius;
    std::string fahrenheit;
    std::string stationName;
    std::string uptime;
    // The bytes from the first unit field on as last decoded: a station sends
    // the same settings in every answer, so equal bytes are not read again.
    std::string settingsBytes;

    std::optional<double> Celsius() const;
    std::optional<double> Fahrenheit() const;
    // The channel n (1-8) or relay r (1-4); callers keep to the range.
    const ChannelStatus& Channel(int n) const { return channels[static_cast<std::size_t>(n - 1)]; }
    const RelayStatus& Relay(int r) const { return relays[static_cast<std::size_t>(r - 1)]; }
};

// Where each field of the record is (0-based), for StatusChanges::fields.
namespace status_field {
constexpr int ChannelName(int n) {
    return 2 * n;
}  // n 0-7
constexpr int RelayName(int r) {
    return 16 + 2 * r;
}  // r 0-3
inline constexpr int kCelsius = 24;
inline constexpr int kFahrenheit = 25;
inline constexpr int kStationName = 26;
inline constexpr int kUptime = 27;
constexpr int Unit(int n) {
    return 28 + n;
}
constexpr int AmpRating(int n) {
    return 36 + n;
}
constexpr int MillivoltRating(int n) {
    return 44 + n;
}
}  // namespace status_field

// A channel's trigger levels, in the unit of its readings, as its settings
// record last read said: a level only for an enabled trigger.
struct ChannelTriggers {
    std::optional<double> high;
    std::optional<double> low;
};

// The levels of a channel's settings: the value texts and whether each
// trigger is enabled. A value that is no number of the station's form
// (DecimalToReal: "-12.5", "0.0000", "1e3") or out of range gives no level.
ChannelTriggers TriggersOf(std::string_view highValue, bool highEnabled, std::string_view lowValue,
                           bool lowEnabled);
// The same for the settings dialog's texts (the station's bytes as text).
ChannelTriggers TriggersOf(const QString& highValue, bool highEnabled, const QString& lowValue,
                           bool lowEnabled);

// What changed in a record compared with the one decoded before into the same
// object.
struct StatusChanges {
    bool any = false;
    std::array<bool, kChannelCount> channels{};  // a field of the channel or its value
    std::bitset<kStatusFieldCount> fields;       // each field whose bytes changed
};

// Decodes the 60 fields of `value` into `record`, reusing its storage (a
// steady station costs no allocation). A shorter record repeats its last field
// for the missing ones; fields past the 60th are ignored. `all` recomputes
// every channel's value even where no field changed.
StatusChanges DecodeStatusRecord(std::string_view value, StatusRecord& record, bool all = false);

// A channel's value as shown: " 12.35", "-0.500", "ERROR".
std::string ReadingText(const ChannelStatus& channel);

}  // namespace volnar
