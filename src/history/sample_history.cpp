// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/sample_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/status_record.h"

namespace volnar {
namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
// The first allocation of a history; it doubles from there up to the
// capacity.
constexpr std::size_t kFirstAllocation = 1024;

float Number(std::optional<double> value) {
    return value && std::isfinite(*value) ? static_cast<float>(*value) : kNoValue;
}

}  // namespace

HistorySample SampleOf(const StatusRecord& record, ClockReading at) {
    HistorySample sample;
    sample.steadyMs = at.steadyMs;
    sample.wallMs = at.wallMs;
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

SampleHistory::SampleHistory(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(1, capacity)) {}

void SampleHistory::Append(const HistorySample& sample) {
    HistorySample* slot = nullptr;
    if (m_size < m_capacity) {
        // Not full yet: m_first is 0 and the samples are in order.
        if (m_samples.size() == m_samples.capacity()) {
            m_samples.reserve(std::min(m_capacity, std::max(kFirstAllocation, 2 * m_size)));
        }
        slot = &m_samples.emplace_back(sample);
        ++m_size;
    } else {
        slot = &m_samples[m_first];
        *slot = sample;
        m_first = m_first + 1 == m_capacity ? 0 : m_first + 1;
    }
    slot->clockStep = false;
    if (m_size > 1) {
        const HistorySample& before = At(m_size - 2);
        slot->steadyMs = std::max(slot->steadyMs, before.steadyMs);
        const std::int64_t shift = slot->WallOffsetMs() - before.WallOffsetMs();
        slot->clockStep = shift > kClockStepMs || shift < -kClockStepMs;
    }
}

void SampleHistory::AppendGap(ClockReading at, Gap why) {
    if (why == Gap::None) {
        return;
    }
    if (m_size != 0 && At(m_size - 1).IsGap()) {
        HistorySample& latest = m_samples[SlotOf(m_size - 1)];
        latest.gap = why == Gap::NotPolled ? Gap::NotPolled : latest.gap;
        m_gapSeenMs = std::max(m_gapSeenMs, at.steadyMs);
        return;
    }
    m_gapSeenMs = at.steadyMs;
    HistorySample gap;
    gap.steadyMs = at.steadyMs;
    gap.wallMs = at.wallMs;
    gap.readings.fill(kNoValue);
    gap.celsius = kNoValue;
    gap.fahrenheit = kNoValue;
    gap.gap = why;
    Append(gap);
}

std::int64_t SampleHistory::LatestMs() const {
    const HistorySample* latest = Latest();
    if (latest == nullptr) {
        return 0;
    }
    return latest->IsGap() ? std::max(latest->steadyMs, m_gapSeenMs) : latest->steadyMs;
}

StationHistories::StationHistories(std::size_t kept, std::size_t capacity)
    : m_kept(std::max<std::size_t>(2, kept)), m_capacity(capacity) {}

SampleHistory* StationHistories::Recall(const QString& station) {
    const auto found =
        std::find_if(m_histories.begin(), m_histories.end(),
                     [&station](const auto& history) { return history->station == station; });
    if (found == m_histories.end()) {
        return nullptr;
    }
    std::rotate(m_histories.begin(), found, found + 1);
    return m_histories.front().get();
}

SampleHistory& StationHistories::Of(const QString& station) {
    if (SampleHistory* kept = Recall(station)) {
        return *kept;
    }
    if (m_histories.size() >= m_kept) {
        m_histories.pop_back();
    }
    auto made = std::make_unique<SampleHistory>(m_capacity);
    made->station = station;
    m_histories.insert(m_histories.begin(), std::move(made));
    return *m_histories.front();
}

}  // namespace volnar
