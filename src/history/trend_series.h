// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "history/sample_history.h"

// The trend plot's data, as plain code. Every time here is the history's
// steady time (milliseconds) unless it says wall: windows and orders never
// follow a wall clock that can be set back.
namespace volnar {

// What the trend plot can show of a sample: the eight channels, then the two
// temperatures.
inline constexpr int kTrendCelsius = HistorySample::kChannelCount;
inline constexpr int kTrendFahrenheit = HistorySample::kChannelCount + 1;
inline constexpr int kTrendSeriesCount = HistorySample::kChannelCount + 2;

float TrendValue(const HistorySample& sample, int series);
// "Battery (V)", "Channel 3" for a channel not named yet, "°C", "°F".
QString TrendSeriesName(const SampleHistory& history, int series);

// What the crosshair reads at `steadyMs`: the nearest sample's time, why it
// is a gap (if it is one) and every series' value (NaN in a gap or where
// the station answered an error).
struct CrosshairReading {
    std::size_t index = 0;
    std::int64_t steadyMs = 0;
    std::int64_t wallMs = 0;
    Gap gap = Gap::None;
    std::array<float, kTrendSeriesCount> values{};
};
// The history must not be empty.
CrosshairReading ReadCrosshair(const SampleHistory& history, std::int64_t steadyMs);

// One series over a stretch, for the legend: the latest value and the
// extremes, answered samples only (NaN when there is none).
struct SeriesStats {
    float last;
    float min;
    float max;
    std::size_t count;
};
SeriesStats StatsOver(const SampleHistory& history, int series, std::int64_t fromMs,
                      std::int64_t toMs);

struct TrendPoint {
    double timeS;  // steady time in seconds
    double value;  // NaN: the line breaks here (a gap)
};

// The points of one series between `fromMs` and `toMs` for a plot `buckets`
// pixels wide. Each bucket keeps its minimum and its maximum, in the order
// they came, so no extreme is ever dropped; a range that fits the buckets is
// returned whole. A gap inside a bucket becomes a NaN point, so a line never
// bridges missing answers.
std::vector<TrendPoint> DecimateMinMax(const SampleHistory& history, int series,
                                       std::int64_t fromMs, std::int64_t toMs, int buckets);

// The samples between `fromMs` and `toMs` of the `series` listed, as a CSV
// file written by the recording's rules (RFC 4180, UTF-8, CRLF, a name
// that looks like a formula neutralised): a header, then one row a sample
// with its time in ISO 8601 UTC and each value; a gap's values are empty and
// its last column says why.
QByteArray TrendCsv(const SampleHistory& history, const std::vector<int>& series,
                    std::int64_t fromMs, std::int64_t toMs);

// The first index whose sample is at or after `steadyMs` (Size() when none).
std::size_t LowerBound(const SampleHistory& history, std::int64_t steadyMs);
// The index of the sample nearest `steadyMs`; the history must not be empty.
std::size_t Nearest(const SampleHistory& history, std::int64_t steadyMs);

// The wall time at `steadyMs` by the clocks of the latest sample at or before
// it (of the first sample before them all); `emptyOffsetMs` is the wall
// clock's offset for an empty history.
std::int64_t WallMsAt(const SampleHistory& history, std::int64_t steadyMs,
                      std::int64_t emptyOffsetMs);

// A setting of the wall clock: the labels after it are `shiftMs` off those
// before it (negative: set back).
struct ClockStep {
    std::int64_t steadyMs;
    std::int64_t shiftMs;  // 0 when the sample before is no longer kept
};
// The latest `most` clock steps between `fromMs` and `toMs`, oldest first.
std::vector<ClockStep> ClockSteps(const SampleHistory& history, std::int64_t fromMs,
                                  std::int64_t toMs, std::size_t most);
// "clock set back 1:00:00", "clock set forward 0:02:30", "clock set".
QString ClockStepText(std::int64_t shiftMs);

}  // namespace volnar
