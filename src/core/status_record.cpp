// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/status_record.h"

#include <algorithm>
#include <cmath>

namespace volnar {
namespace {

constexpr int kAmmeterDecimals = 2;

std::optional<double> Number(text::Real value) {
    if (std::isnan(value)) {
        return std::nullopt;
    }
    return static_cast<double>(value);
}

// The ammeter's current through the shunt from the reading as rounded for
// display, whatever the precision.
text::Real Current(const ChannelStatus& channel, text::Real volts) {
    const text::Real amps = channel.ampRatingValue;
    const text::Real millivolts = channel.millivoltRatingValue;
    if (std::isnan(volts) || std::isnan(amps) || std::isnan(millivolts) ||
        text::RealCompare(millivolts, 0) == text::kCompareEqual) {
        return std::nanl("");
    }
    return text::RealMultiply(text::RealDivide(amps, millivolts), text::RealMultiply(volts, 1000));
}

// The voltmeter's reading or the ammeter's current, and the value shown.
void Convert(ChannelStatus& channel) {
    const text::ReadAndRounded reading =
        text::DecimalToRealRounded(channel.reading, channel.precisionDigits);
    text::Real shown = reading.rounded;
    if (channel.unit == Unit::Volts) {
        channel.decimals = channel.precisionDigits;
        channel.value = reading.value;
    } else {
        channel.decimals = kAmmeterDecimals;
        channel.value = Current(channel, reading.rounded);
        shown = text::RoundToDecimals(channel.value, channel.decimals);
    }
    channel.shown = std::isnan(channel.value) ? std::nullopt : Number(shown);
}

std::optional<double> LevelOf(std::string_view value, bool enabled) {
    const text::Real level = enabled ? text::DecimalToReal(value) : std::nanl("");
    return std::isfinite(level) ? std::optional(static_cast<double>(level)) : std::nullopt;
}

// A value depends only on its channel's five fields.
void ConvertChanged(StatusRecord& record, StatusChanges& changes, bool all) {
    for (std::size_t n = 0; n < record.channels.size(); ++n) {
        if (all || changes.channels[n]) {
            Convert(record.channels[n]);
            changes.channels[n] = true;
            changes.any = true;
        }
    }
}

}  // namespace

ChannelTriggers TriggersOf(std::string_view highValue, bool highEnabled, std::string_view lowValue,
                           bool lowEnabled) {
    return {.high = LevelOf(highValue, highEnabled), .low = LevelOf(lowValue, lowEnabled)};
}

ChannelTriggers TriggersOf(const QString& highValue, bool highEnabled, const QString& lowValue,
                           bool lowEnabled) {
    const QByteArray high = highValue.toLatin1();
    const QByteArray low = lowValue.toLatin1();
    return TriggersOf(
        std::string_view(high.constData(), static_cast<std::size_t>(high.size())), highEnabled,
        std::string_view(low.constData(), static_cast<std::size_t>(low.size())), lowEnabled);
}

Unit UnitOfField(std::string_view field) {
    return field == "v" ? Unit::Volts : Unit::Amperes;
}

QString UnitSymbol(Unit unit) {
    return unit == Unit::Volts ? QStringLiteral("V") : QStringLiteral("A");
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
    std::size_t field = 0;
    const auto keep = [&](std::string& kept) {
        const bool changed = text::KeepBytes(kept, reader.Next());
        changes.fields[field++] = changed;
        return changed;
    };
    // Fields 1-16: name and reading of each channel.
    for (std::size_t n = 0; n < record.channels.size(); ++n) {
        changes.any |= keep(record.channels[n].name);
        inputs[n] |= keep(record.channels[n].reading);
    }
    // Fields 17-24: name and state of each relay.
    for (RelayStatus& relay : record.relays) {
        changes.any |= keep(relay.name);
        const int state = text::DecimalToInt(reader.Next());
        changes.fields[field++] = state != relay.state;
        changes.any |= state != relay.state;
        relay.state = state;
    }
    // Fields 25-28.
    changes.any |= keep(record.celsius);
    changes.any |= keep(record.fahrenheit);
    changes.any |= keep(record.stationName);
    changes.any |= keep(record.uptime);
    // Fields 29-60: unit, amp rating, millivolt rating and precision, each a
    // run of eight; each read as a number only when it changed. What is read
    // from here on depends only on the bytes from here on.
    const std::string_view settings = value.substr(std::min(reader.Cursor(), value.size()));
    if (settings == record.settingsBytes) {
        ConvertChanged(record, changes, all);
        return changes;
    }
    record.settingsBytes.assign(settings);
    const auto run = [&](std::string ChannelStatus::*bytes, auto read) {
        for (std::size_t n = 0; n < record.channels.size(); ++n) {
            ChannelStatus& channel = record.channels[n];
            if (keep(channel.*bytes)) {
                read(channel);
                inputs[n] = true;
            }
        }
    };
    run(&ChannelStatus::unitField, [](ChannelStatus& c) { c.unit = UnitOfField(c.unitField); });
    run(&ChannelStatus::ampRating,
        [](ChannelStatus& c) { c.ampRatingValue = text::DecimalToReal(c.ampRating); });
    run(&ChannelStatus::millivoltRating,
        [](ChannelStatus& c) { c.millivoltRatingValue = text::DecimalToReal(c.millivoltRating); });
    run(&ChannelStatus::precision,
        [](ChannelStatus& c) { c.precisionDigits = text::DecimalToInt(c.precision); });
    ConvertChanged(record, changes, all);
    return changes;
}

std::string ReadingText(const ChannelStatus& channel) {
    return text::RealToDecimal(channel.value, channel.decimals);
}

}  // namespace volnar
