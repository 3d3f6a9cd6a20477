// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/status_panel.h"

#include "core/station_text.h"

#include "core/text_rules.h"

#include <cmath>

namespace volnar {
namespace {

constexpr std::string_view kIdleValue = " ";
constexpr std::string_view kIdleRelayState = "==========";
constexpr std::string_view kIdleRelayName = "Relay";
constexpr std::string_view kIdleUnit = "-";
constexpr std::string_view kRelayOff = "OFF";
constexpr std::string_view kRelayOn = "ON";

const QString& EmptyText() {
    static const QString empty;
    return empty;
}

bool InRange(int number, int count) {
    return number >= 1 && number <= count;
}

}  // namespace

bool StatusPanel::Text::Set(std::string_view value) {
    if (!text::KeepBytes(bytes, value)) {
        return false;
    }
    stale = true;
    return true;
}

const QString& StatusPanel::Text::Shown() const {
    if (stale) {
        text = StationText(bytes);
        stale = false;
    }
    return text;
}

StatusPanel::StatusPanel(QObject* parent) : QObject(parent) {
    SetIdleLook();
}

StatusPanel::~StatusPanel() = default;

void StatusPanel::ShowStatusRecord(std::string_view value) {
    std::array<int, kRelayCount> states{};
    for (std::size_t r = 0; r < states.size(); ++r) {
        states[r] = m_record.relays[r].state;
    }
    const bool all = m_valuesStale;
    const StatusChanges changes = DecodeStatusRecord(value, m_record, all);
    // A text is set again only where its field changed (or the idle look
    // shows instead of it).
    const auto set = [&](Text& text, int field, const std::string& bytes) {
        return (all || changes.fields[static_cast<std::size_t>(field)]) && text.Set(bytes);
    };
    bool changed = false;
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        const ChannelStatus& channel = m_record.channels[n];
        AdcInput& input = m_adc[n];
        const int i = static_cast<int>(n);
        changed |= set(input.name, status_field::ChannelName(i), channel.name);
        changed |= set(input.unit, status_field::Unit(i), channel.unitField);
        changed |= set(input.ampRating, status_field::AmpRating(i), channel.ampRating);
        changed |=
            set(input.millivoltRating, status_field::MillivoltRating(i), channel.millivoltRating);
        // The value text depends only on the channel's fields: an unchanged
        // channel keeps its text, and a changed one is formatted when shown.
        if (changes.channels[n]) {
            const ValueKey key = KeyOf(channel);
            if (!(key == input.shown) || input.value.bytes == kIdleValue) {
                input.shown = key;
                input.value.Set({});
                changed = true;
            }
        }
    }
    // A relay state other than 0 or 1 leaves the shown text as it was.
    for (std::size_t r = 0; r < m_relays.size(); ++r) {
        const RelayStatus& relay = m_record.relays[r];
        changed |= relay.state != states[r];  // kept even when not shown
        changed |= set(m_relays[r].name, status_field::RelayName(static_cast<int>(r)), relay.name);
        if (const std::optional<bool> on = relay.On()) {
            changed |= m_relays[r].stateText.Set(*on ? kRelayOn : kRelayOff);
        }
    }
    changed |= set(m_celsius, status_field::kCelsius, m_record.celsius);
    changed |= set(m_fahrenheit, status_field::kFahrenheit, m_record.fahrenheit);
    changed |= set(m_stationName, status_field::kStationName, m_record.stationName);
    changed |= set(m_uptime, status_field::kUptime, m_record.uptime);
    m_valuesStale = false;

    if (changed) {
        Q_EMIT Changed();
    }
}

void StatusPanel::ResetReadouts() {
    if (SetIdleLook()) {
        Q_EMIT Changed();
    }
}

bool StatusPanel::SetIdleLook() {
    bool changed = false;
    char name[] = "Voltmeter 1";
    for (AdcInput& input : m_adc) {
        changed |= input.name.Set(name);
        changed |= input.value.Set(kIdleValue);
        changed |= input.unit.Set(kIdleUnit);
        ++name[sizeof name - 2];
    }
    for (Relay& relay : m_relays) {
        changed |= relay.name.Set(kIdleRelayName);
        changed |= relay.stateText.Set(kIdleRelayState);
    }
    changed |= m_celsius.Set(kIdleValue);
    changed |= m_fahrenheit.Set(kIdleValue);
    changed |= m_stationName.Set(kIdleValue);
    changed |= m_uptime.Set(kIdleValue);
    m_valuesStale = true;
    return changed;
}

const QString& StatusPanel::AdcName(int input) const {
    return InRange(input, kAdcInputCount) ? m_adc[static_cast<std::size_t>(input - 1)].name.Shown()
                                          : EmptyText();
}

const QString& StatusPanel::AdcValue(int input) const {
    return InRange(input, kAdcInputCount) ? ValueText(static_cast<std::size_t>(input - 1))
                                          : EmptyText();
}

const QString& StatusPanel::ValueText(std::size_t n) const {
    const AdcInput& input = m_adc[n];
    if (input.value.bytes.empty()) {
        // Formatted once per change, when a reader first asks.
        input.value.Set(ReadingText(m_record.channels[n]));
    }
    return input.value.Shown();
}

// Rounded as the text shows it; the sign of a negative value that rounds
// to zero shows too ("-0.00").
StatusPanel::ValueKey StatusPanel::KeyOf(const ChannelStatus& channel) {
    const std::optional<double>& shown = channel.shown;
    ValueKey key;
    key.number = shown.has_value();
    key.rounded = shown ? static_cast<text::Real>(*shown) : 0;
    key.decimals = channel.decimals;
    key.negative = channel.value < 0;
    return key;
}

const QString& StatusPanel::AdcUnit(int input) const {
    return InRange(input, kAdcInputCount) ? m_adc[static_cast<std::size_t>(input - 1)].unit.Shown()
                                          : EmptyText();
}

const QString& StatusPanel::RelayName(int relay) const {
    return InRange(relay, kRelayCount) ? m_relays[static_cast<std::size_t>(relay - 1)].name.Shown()
                                       : EmptyText();
}

const QString& StatusPanel::RelayStateText(int relay) const {
    return InRange(relay, kRelayCount)
               ? m_relays[static_cast<std::size_t>(relay - 1)].stateText.Shown()
               : EmptyText();
}

int StatusPanel::RelayState(int relay) const {
    return InRange(relay, kRelayCount) ? m_record.Relay(relay).state : 0;
}

const QString& StatusPanel::ShuntAmpRating(int input) const {
    return InRange(input, kAdcInputCount)
               ? m_adc[static_cast<std::size_t>(input - 1)].ampRating.Shown()
               : EmptyText();
}

const QString& StatusPanel::ShuntMillivoltRating(int input) const {
    return InRange(input, kAdcInputCount)
               ? m_adc[static_cast<std::size_t>(input - 1)].millivoltRating.Shown()
               : EmptyText();
}

}  // namespace volnar
