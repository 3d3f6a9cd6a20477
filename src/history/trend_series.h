#pragma once

#include <cstdint>
#include <vector>

#include "history/sample_history.h"

namespace volnar {

// What the trend plot can show of a sample: the eight channels, then the two
// temperatures.
inline constexpr int kTrendCelsius = HistorySample::kChannelCount;
inline constexpr int kTrendFahrenheit = HistorySample::kChannelCount + 1;
inline constexpr int kTrendSeriesCount = HistorySample::kChannelCount + 2;

float TrendValue(const HistorySample& sample, int series);

struct TrendPoint {
    double timeS;  // seconds since the epoch
    double value;  // NaN: the line breaks here (a lost answer)
};

// The points of one series between `fromMs` and `toMs` for a plot `buckets`
// pixels wide. Each bucket keeps its minimum and its maximum, in the order
// they came, so no extreme is ever dropped; a range that fits the buckets is
// returned whole. A gap inside a bucket becomes a NaN point, so a line never
// bridges a lost answer.
std::vector<TrendPoint> DecimateMinMax(const SampleHistory& history, int series,
                                       std::int64_t fromMs, std::int64_t toMs, int buckets);

// The first index whose sample is at or after `timeMs` (Size() when none).
std::size_t LowerBound(const SampleHistory& history, std::int64_t timeMs);

}  // namespace volnar
