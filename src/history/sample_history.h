#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/status_record.h"
#include "history/history_clock.h"

namespace volnar {

struct StatusRecord;

// Why a plotted line breaks after a sample.
enum class Gap : std::uint8_t {
    None,
    Lost,  // the station did not answer
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

// The history of one connection to one station: a ring of the latest
// samples, oldest first, in steady-clock order. Its storage grows with the samples up
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
    // bridges. Consecutive gaps share one.
    void AppendGap(ClockReading at, Gap why);
    // A new history (STOP, another station): empty, with a new generation.
    void Clear();

    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_capacity; }
    std::size_t AllocatedBytes() const { return m_samples.capacity() * sizeof(HistorySample); }
    // 0 is the oldest sample kept.
    const HistorySample& At(std::size_t index) const { return m_samples[SlotOf(index)]; }
    const HistorySample* Latest() const { return m_size == 0 ? nullptr : &At(m_size - 1); }
    // Counts the histories started; a plot that sees a new one says so.
    std::uint64_t Generation() const { return m_generation; }

    // Channel names and units as the station reported them with the last
    // sample (the plot picks channels by these names).
    std::array<QString, HistorySample::kChannelCount> names;
    std::array<QString, HistorySample::kChannelCount> units;

private:
    std::size_t SlotOf(std::size_t index) const {
        const std::size_t slot = m_first + index;  // no division: read per sample by the plot
        return slot >= m_capacity ? slot - m_capacity : slot;
    }

    std::vector<HistorySample> m_samples;
    std::size_t m_capacity;
    std::size_t m_first = 0;
    std::size_t m_size = 0;
    std::uint64_t m_generation = 1;
};

}  // namespace volnar
