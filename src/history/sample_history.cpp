#include "history/sample_history.h"

#include <cmath>
#include <limits>

#include "core/status_record.h"

namespace volnar {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

float Number(std::optional<double> value) {
    return value && std::isfinite(*value) ? static_cast<float>(*value) : kNoValue;
}

}  // namespace

HistorySample SampleOf(const StatusRecord& record, std::int64_t timeMs) {
    HistorySample sample;
    sample.timeMs = timeMs;
    for (int n = 1; n <= HistorySample::kChannelCount; ++n) {
        sample.readings[static_cast<std::size_t>(n - 1)] = Number(record.Channel(n).Value());
    }
    sample.celsius = Number(record.Celsius());
    sample.fahrenheit = Number(record.Fahrenheit());
    for (int r = 1; r <= HistorySample::kRelayCount; ++r) {
        if (const std::optional<bool> on = record.Relay(r).On()) {
            sample.relays |= static_cast<std::uint8_t>(1U << (r + 3));
            sample.relays |= static_cast<std::uint8_t>((*on ? 1U : 0U) << (r - 1));
        }
    }
    return sample;
}

SampleHistory::SampleHistory(std::size_t capacity) : m_samples(capacity == 0 ? 1 : capacity) {}

void SampleHistory::Append(const HistorySample& sample) {
    const std::size_t capacity = m_samples.size();
    if (m_size < capacity) {
        m_samples[(m_first + m_size) % capacity] = sample;
        ++m_size;
    } else {
        m_samples[m_first] = sample;
        m_first = (m_first + 1) % capacity;
    }
}

void SampleHistory::AppendGap(std::int64_t timeMs) {
    if (m_size != 0 && At(m_size - 1).gap) {
        return;
    }
    HistorySample gap;
    gap.timeMs = timeMs;
    gap.readings.fill(kNoValue);
    gap.celsius = kNoValue;
    gap.fahrenheit = kNoValue;
    gap.gap = true;
    Append(gap);
}

void SampleHistory::Clear() {
    m_first = 0;
    m_size = 0;
    ++m_generation;
    names = {};
    units = {};
}

}  // namespace volnar
