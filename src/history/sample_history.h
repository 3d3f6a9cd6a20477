// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/status_record.h"
#include "history/history_clock.h"

namespace volnar {

struct StatusRecord;

// Why a plotted line breaks after a sample.
enum class Gap : std::uint8_t {
    None,
    Lost,       // the station did not answer
    NotPolled,  // polling stopped (STOP, an error, the unattended stop) or
                // another station was polled meanwhile
};

// One status answer as numbers, or a gap where answers are missing. Kept
// small: a day of one sample a second is 86,400 of these.
struct HistorySample {
    static constexpr int kChannelCount = volnar::kChannelCount;
    static constexpr int kRelayCount = volnar::kRelayCount;

    std::int64_t steadyMs = 0;  // orders and windows the history
    std::int64_t wallMs = 0;    // its label: milliseconds since the epoch, UTC
    // The eight readings in their units (volts or amperes); NaN when the
    // station's text is not a number ("ERROR") and in a gap.
    std::array<float, kChannelCount> readings{};
    float celsius = 0;
    float fahrenheit = 0;
    // Bit n: relay n+1 is ON; bit n+4: relay n+1 reported a state (0 or 1).
    std::uint8_t relays = 0;
    Gap gap = Gap::None;
    // The wall clock was set since the sample before: the labels jump here.
    bool clockStep = false;

    bool IsGap() const { return gap != Gap::None; }
    bool RelayOn(int relay) const { return (relays >> (relay - 1)) & 1U; }
    bool RelayKnown(int relay) const { return (relays >> (relay + 3)) & 1U; }
    // How far the wall clock is from the steady one at this sample.
    std::int64_t WallOffsetMs() const { return wallMs - steadyMs; }
};

// The sample of a status record.
HistorySample SampleOf(const StatusRecord& record, ClockReading at);

// The history of one station in this run: a ring of the latest samples,
// oldest first, in steady-clock order. Its storage grows with the samples up
// to the capacity and is never given back, so a full ring appends without
// allocating.
class SampleHistory final {
public:
    static constexpr std::size_t kDefaultCapacity = 86'400;  // 24 h at 1 s
    // A wall clock that moves more than this against the steady one between
    // two samples was set (NTP slews far less).
    static constexpr std::int64_t kClockStepMs = 1000;

    explicit SampleHistory(std::size_t capacity = kDefaultCapacity);

    // Appended after the latest sample even when its steady time is earlier
    // (no steady clock goes back; an injected one might); marks a clock step.
    void Append(const HistorySample& sample);
    // Answers are missing from `at` on: a gap that a plotted line never
    // bridges. Consecutive gaps share one, which says NotPolled when either
    // does.
    void AppendGap(ClockReading at, Gap why);

    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_capacity; }
    std::size_t AllocatedBytes() const { return m_samples.capacity() * sizeof(HistorySample); }
    // 0 is the oldest sample kept.
    const HistorySample& At(std::size_t index) const { return m_samples[SlotOf(index)]; }
    const HistorySample* Latest() const { return m_size == 0 ? nullptr : &At(m_size - 1); }
    // The latest steady time the history knows of: the latest sample's, or
    // while a gap is open the last loss or stop that kept it open, so that a
    // live view moves on through an outage. 0 when empty.
    std::int64_t LatestMs() const;

    // The station (its address) and its channels' names and units as it
    // reported them with the last sample (the plot picks channels by these).
    QString station;
    std::array<QString, HistorySample::kChannelCount> names;
    std::array<QString, HistorySample::kChannelCount> units;
    // The channels' trigger levels, from the station's channel records when
    // they were read (none before).
    std::array<ChannelTriggers, HistorySample::kChannelCount> triggers;

private:
    std::size_t SlotOf(std::size_t index) const {
        const std::size_t slot = m_first + index;  // no division: read per sample by the plot
        return slot >= m_capacity ? slot - m_capacity : slot;
    }

    std::vector<HistorySample> m_samples;
    std::size_t m_capacity;
    std::size_t m_first = 0;
    std::size_t m_size = 0;
    std::int64_t m_gapSeenMs = 0;  // the last AppendGap of the open gap
};

// The histories of the stations polled in this run, so that choosing a
// station again shows its history. At most `kept` are kept: polling one more
// drops the one polled least recently. Each holds at most `capacity`
// samples, so the whole costs at most kept × capacity × sizeof(HistorySample)
// (4 × 86,400 × 64 bytes, 22 MB).
class StationHistories final {
public:
    static constexpr std::size_t kKeptStations = 4;

    explicit StationHistories(std::size_t kept = kKeptStations,
                              std::size_t capacity = SampleHistory::kDefaultCapacity);

    // The history of `station`, made when it has none; it becomes the most
    // recently polled. The history returned by the call before is never
    // the one dropped.
    SampleHistory& Of(const QString& station);
    // The same for a station that has a history; nullptr otherwise.
    SampleHistory* Recall(const QString& station);
    std::size_t Count() const { return m_histories.size(); }
    std::size_t MostBytes() const { return m_kept * m_capacity * sizeof(HistorySample); }

private:
    std::size_t m_kept;
    std::size_t m_capacity;
    std::vector<std::unique_ptr<SampleHistory>> m_histories;  // the most recently polled first
};

}  // namespace volnar
