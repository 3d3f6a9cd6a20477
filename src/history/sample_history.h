#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/status_record.h"

namespace volnar {

struct StatusRecord;

// One status answer as numbers, or a gap where an answer was lost. Kept
// small: a day of one sample a second is 86,400 of these.
struct HistorySample {
    static constexpr int kChannelCount = volnar::kChannelCount;
    static constexpr int kRelayCount = volnar::kRelayCount;

    std::int64_t timeMs = 0;  // milliseconds since the epoch, UTC
    // The eight readings in their units (volts or amperes); NaN when the
    // station's text is not a number ("ERROR") and in a gap.
    std::array<float, kChannelCount> readings{};
    float celsius = 0;
    float fahrenheit = 0;
    // Bit n: relay n+1 is ON; bit n+4: relay n+1 reported a state (0 or 1).
    std::uint8_t relays = 0;
    bool gap = false;

    bool RelayOn(int relay) const { return (relays >> (relay - 1)) & 1U; }
    bool RelayKnown(int relay) const { return (relays >> (relay + 3)) & 1U; }
};

// The sample of a status record.
HistorySample SampleOf(const StatusRecord& record, std::int64_t timeMs);

// The history of one connection to one station: a fixed-size ring of the
// latest samples, oldest first. Its storage is allocated once.
class SampleHistory final {
public:
    static constexpr std::size_t kDefaultCapacity = 86'400;  // 24 h at 1 s

    explicit SampleHistory(std::size_t capacity = kDefaultCapacity);

    void Append(const HistorySample& sample);
    // A lost answer: a gap that a plotted line never bridges. Consecutive
    // losses share one gap.
    void AppendGap(std::int64_t timeMs);
    // A new history (STOP, another station): empty, with a new generation.
    void Clear();

    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_samples.size(); }
    // 0 is the oldest sample kept.
    const HistorySample& At(std::size_t index) const {
        std::size_t slot = m_first + index;  // no division: read per sample by the plot
        if (slot >= m_samples.size()) {
            slot -= m_samples.size();
        }
        return m_samples[slot];
    }
    const HistorySample* Latest() const { return m_size == 0 ? nullptr : &At(m_size - 1); }
    // Counts the histories started; a plot that sees a new one says so.
    std::uint64_t Generation() const { return m_generation; }

    // Channel names and units as the station reported them with the last
    // sample (the plot picks channels by these names).
    std::array<QString, HistorySample::kChannelCount> names;
    std::array<QString, HistorySample::kChannelCount> units;

private:
    std::vector<HistorySample> m_samples;
    std::size_t m_first = 0;
    std::size_t m_size = 0;
    std::uint64_t m_generation = 1;
};

}  // namespace volnar
