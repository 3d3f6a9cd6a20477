#include "core/status_panel.h"

#include "core/station_text.h"

#include <cmath>

#include "core/text_rules.h"

namespace volnar {
namespace {

constexpr std::string_view kIdleValue = " ";
constexpr std::string_view kIdleRelayState = "==========";
constexpr std::string_view kIdleRelayName = "Relay";
constexpr std::string_view kIdleUnit = "-";
constexpr std::string_view kVoltmeterUnit = "v";
constexpr std::string_view kRelayOff = "OFF";
constexpr std::string_view kRelayOn = "ON";
constexpr std::string_view kError = "ERROR";
constexpr int kAmmeterDecimals = 2;

const QString& EmptyText() {
    static const QString empty;
    return empty;
}

bool InRange(int number, int count) {
    return number >= 1 && number <= count;
}

bool Keep(std::string& kept, std::string_view value) {
    if (kept == value) {
        return false;
    }
    kept.assign(value);
    return true;
}

}  // namespace

bool StatusPanel::Text::Set(std::string_view value) {
    if (!Keep(bytes, value)) {
        return false;
    }
    text = StationText(value);
    return true;
}

StatusPanel::StatusPanel(QObject* parent) : QObject(parent) {
    SetIdleLook();
}

StatusPanel::~StatusPanel() = default;

void StatusPanel::ShowStatusRecord(std::string_view value) {
    if (!m_valuesStale && value == m_lastRecord) {
        return;
    }
    m_lastRecord.assign(value);
    text::FieldReader reader(value);
    bool changed = false;
    std::array<bool, kAdcInputCount> inputChanged{};

    // Fields 1-16: name and reading of each ADC input.
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        changed |= m_adc[n].name.Set(reader.Next());
        inputChanged[n] |= Keep(m_adc[n].reading, reader.Next());
    }
    // Fields 17-24: name and state of each relay. A state other than 0 or 1
    // leaves the shown text as it was; the number is kept regardless.
    for (Relay& relay : m_relays) {
        changed |= relay.name.Set(reader.Next());
        const int state = text::DecimalToInt(reader.Next());
        if (state != relay.state) {
            relay.state = state;
            changed = true;
        }
        if (state == 0) {
            changed |= relay.stateText.Set(kRelayOff);
        } else if (state == 1) {
            changed |= relay.stateText.Set(kRelayOn);
        }
    }
    // Fields 25-28.
    changed |= m_celsius.Set(reader.Next());
    changed |= m_fahrenheit.Set(reader.Next());
    changed |= m_stationName.Set(reader.Next());
    changed |= m_uptime.Set(reader.Next());
    // Fields 29-60: unit, amp rating, millivolt rating and precision, each a
    // run of eight.
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        const bool shownChanged = m_adc[n].unit.Set(reader.Next());
        inputChanged[n] |= shownChanged;
        changed |= shownChanged;
    }
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        const bool shownChanged = m_adc[n].ampRating.Set(reader.Next());
        inputChanged[n] |= shownChanged;
        changed |= shownChanged;
    }
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        const bool shownChanged = m_adc[n].millivoltRating.Set(reader.Next());
        inputChanged[n] |= shownChanged;
        changed |= shownChanged;
    }
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        inputChanged[n] |= Keep(m_adc[n].precision, reader.Next());
    }

    // The value text depends only on the five inputs above, so an input whose
    // texts did not change keeps its value text.
    for (std::size_t n = 0; n < m_adc.size(); ++n) {
        if (m_valuesStale || inputChanged[n]) {
            changed |= ConvertReading(m_adc[n]);
        }
    }
    m_valuesStale = false;

    if (changed) {
        Q_EMIT Changed();
    }
}

bool StatusPanel::ConvertReading(AdcInput& input) {
    const int decimals = text::DecimalToInt(input.precision);
    const std::string readingText =
        text::RealToDecimal(text::DecimalToReal(input.reading), decimals);
    if (input.unit.bytes == kVoltmeterUnit) {
        return input.value.Set(readingText);
    }
    // Ammeter: the current through the shunt from the reading as rounded for
    // display, whatever the precision, at two decimals.
    const text::Real volts = text::DecimalToReal(readingText);
    const text::Real amps = text::DecimalToReal(input.ampRating.bytes);
    const text::Real millivolts = text::DecimalToReal(input.millivoltRating.bytes);
    if (std::isnan(volts) || std::isnan(amps) || std::isnan(millivolts) ||
        text::RealCompare(millivolts, 0) == text::kCompareEqual) {
        return input.value.Set(kError);
    }
    const text::Real current =
        text::RealMultiply(text::RealDivide(amps, millivolts), text::RealMultiply(volts, 1000));
    return input.value.Set(text::RealToDecimal(current, kAmmeterDecimals));
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
    return InRange(input, kAdcInputCount) ? m_adc[static_cast<std::size_t>(input - 1)].name.text
                                          : EmptyText();
}

const QString& StatusPanel::AdcValue(int input) const {
    return InRange(input, kAdcInputCount) ? m_adc[static_cast<std::size_t>(input - 1)].value.text
                                          : EmptyText();
}

const QString& StatusPanel::AdcUnit(int input) const {
    return InRange(input, kAdcInputCount) ? m_adc[static_cast<std::size_t>(input - 1)].unit.text
                                          : EmptyText();
}

const QString& StatusPanel::RelayName(int relay) const {
    return InRange(relay, kRelayCount) ? m_relays[static_cast<std::size_t>(relay - 1)].name.text
                                       : EmptyText();
}

const QString& StatusPanel::RelayStateText(int relay) const {
    return InRange(relay, kRelayCount)
               ? m_relays[static_cast<std::size_t>(relay - 1)].stateText.text
               : EmptyText();
}

int StatusPanel::RelayState(int relay) const {
    return InRange(relay, kRelayCount) ? m_relays[static_cast<std::size_t>(relay - 1)].state : 0;
}

const QString& StatusPanel::ShuntAmpRating(int input) const {
    return InRange(input, kAdcInputCount)
               ? m_adc[static_cast<std::size_t>(input - 1)].ampRating.text
               : EmptyText();
}

const QString& StatusPanel::ShuntMillivoltRating(int input) const {
    return InRange(input, kAdcInputCount)
               ? m_adc[static_cast<std::size_t>(input - 1)].millivoltRating.text
               : EmptyText();
}

}  // namespace volnar
