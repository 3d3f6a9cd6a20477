// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/status_record.h"

#include <algorithm>
#include <cmath>

namespace volnar {
namespace {

constexpr int kAmmeterDecimals = 2;

bool Keep(std::string& kept, std::string_view value) {
    if (kept == value) {
        return false;
    }
    kept.assign(value);
    return true;
}

std::optional<double> Number(text::Real value) {
    if (std::isnan(value)) {
        return std::nullopt;
    }
    return static_cast<double>(value);
}

// The voltmeter's reading, or the ammeter's current: the current through the
// shunt from the reading as rounded for display, whatever the precision.
void Convert(ChannelStatus& channel) {
    channel.unit = UnitOfField(channel.unitField);
    const int decimals = text::DecimalToInt(channel.precision);
    const text::Real reading = text::DecimalToReal(channel.reading);
    if (channel.unit == Unit::Volts) {
        channel.value = reading;
        channel.decimals = decimals;
        return;
    }
    channel.decimals = kAmmeterDecimals;
    const text::Real volts = text::RoundToDecimals(reading, decimals);
    const text::Real amps = text::DecimalToReal(channel.ampRating);
    const text::Real millivolts = text::DecimalToReal(channel.millivoltRating);
    if (std::isnan(volts) || std::isnan(amps) || std::isnan(millivolts) ||
        text::RealCompare(millivolts, 0) == text::kCompareEqual) {
        channel.value = std::nanl("");
        return;
    }
    channel.value =
        text::RealMultiply(text::RealDivide(amps, millivolts), text::RealMultiply(volts, 1000));
}

}  // namespace

Unit UnitOfField(std::string_view field) {
    return field == "v" ? Unit::Volts : Unit::Amperes;
}

QString UnitSymbol(Unit unit) {
    return unit == Unit::Volts ? QStringLiteral("V") : QStringLiteral("A");
}

std::optional<double> ChannelStatus::Value() const {
    if (std::isnan(value)) {
        return std::nullopt;
    }
    return static_cast<double>(text::RoundToDecimals(value, decimals));
}

std::optional<bool> RelayStatus::On() const {
    if (state == 0 || state == 1) {
        return state == 1;
    }
    return std::nullopt;
}

std::optional<double> StatusRecord::Celsius() const {
    return Number(text::DecimalToReal(celsius));
}

std::optional<double> StatusRecord::Fahrenheit() const {
    return Number(text::DecimalToReal(fahrenheit));
}

StatusChanges DecodeStatusRecord(std::string_view value, StatusRecord& record, bool all) {
    text::FieldReader reader(value);
    StatusChanges changes;
    auto& inputs = changes.channels;
    // Fields 1-16: name and reading of each channel.
    for (std::size_t n = 0; n < record.channels.size(); ++n) {
        changes.any |= Keep(record.channels[n].name, reader.Next());
        inputs[n] |= Keep(record.channels[n].reading, reader.Next());
    }
    // Fields 17-24: name and state of each relay.
    for (RelayStatus& relay : record.relays) {
        changes.any |= Keep(relay.name, reader.Next());
        const int state = text::DecimalToInt(reader.Next());
        changes.any |= state != relay.state;
        relay.state = state;
    }
    // Fields 25-28.
    changes.any |= Keep(record.celsius, reader.Next());
    changes.any |= Keep(record.fahrenheit, reader.Next());
    changes.any |= Keep(record.stationName, reader.Next());
    changes.any |= Keep(record.uptime, reader.Next());
    // Fields 29-60: unit, amp rating, millivolt rating and precision, each a
    // run of eight.
    const auto run = [&](std::string ChannelStatus::*field) {
        for (std::size_t n = 0; n < record.channels.size(); ++n) {
            inputs[n] |= Keep(record.channels[n].*field, reader.Next());
        }
    };
    run(&ChannelStatus::unitField);
    run(&ChannelStatus::ampRating);
    run(&ChannelStatus::millivoltRating);
    run(&ChannelStatus::precision);
    // A value depends only on its channel's five fields.
    for (std::size_t n = 0; n < record.channels.size(); ++n) {
        if (all || inputs[n]) {
            Convert(record.channels[n]);
            inputs[n] = true;
            changes.any = true;
        }
    }
    return changes;
}

std::string ReadingText(const ChannelStatus& channel) {
    return text::RealToDecimal(channel.value, channel.decimals);
}

}  // namespace volnar
