// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/trend_series.h"

#include <QDateTime>
#include <QStringList>

#include "history/csv_recorder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace volnar {
namespace {

constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();

}  // namespace

float TrendValue(const HistorySample& sample, int series) {
    if (series >= 0 && series < HistorySample::kChannelCount) {
        return sample.readings[static_cast<std::size_t>(series)];
    }
    if (series == kTrendCelsius) {
        return sample.celsius;
    }
    if (series == kTrendFahrenheit) {
        return sample.fahrenheit;
    }
    return std::numeric_limits<float>::quiet_NaN();
}

QString TrendSeriesName(const SampleHistory& history, int series) {
    if (series == kTrendCelsius) {
        return QStringLiteral("°C");
    }
    if (series == kTrendFahrenheit) {
        return QStringLiteral("°F");
    }
    const auto n = static_cast<std::size_t>(series);
    if (series < 0 || series >= HistorySample::kChannelCount || history.names[n].isEmpty()) {
        return QStringLiteral("Channel %1").arg(series + 1);
    }
    return history.names[n] + QStringLiteral(" (") + history.units[n] + QLatin1Char(')');
}

CrosshairReading ReadCrosshair(const SampleHistory& history, std::int64_t steadyMs) {
    CrosshairReading reading;
    reading.index = Nearest(history, steadyMs);
    const HistorySample& sample = history.At(reading.index);
    reading.steadyMs = sample.steadyMs;
    reading.wallMs = sample.wallMs;
    reading.gap = sample.gap;
    for (int s = 0; s < kTrendSeriesCount; ++s) {
        reading.values[static_cast<std::size_t>(s)] =
            sample.IsGap() ? std::numeric_limits<float>::quiet_NaN() : TrendValue(sample, s);
    }
    return reading;
}

SeriesStats StatsOver(const SampleHistory& history, int series, std::int64_t fromMs,
                      std::int64_t toMs) {
    constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
    SeriesStats stats{.last = kNone, .min = kNone, .max = kNone, .count = 0};
    const std::size_t last = LowerBound(history, toMs + 1);
    for (std::size_t n = LowerBound(history, fromMs); n < last; ++n) {
        const HistorySample& sample = history.At(n);
        const float value = TrendValue(sample, series);
        if (sample.IsGap() || std::isnan(value)) {
            continue;
        }
        stats.min = stats.count == 0 ? value : std::min(stats.min, value);
        stats.max = stats.count == 0 ? value : std::max(stats.max, value);
        stats.last = value;
        ++stats.count;
    }
    return stats;
}

QByteArray TrendCsv(const SampleHistory& history, const std::vector<int>& series,
                    std::int64_t fromMs, std::int64_t toMs) {
    QStringList header{QStringLiteral("time (UTC)")};
    for (const int s : series) {
        header << TrendSeriesName(history, s);
    }
    header << QStringLiteral("gap");
    QByteArray csv = CsvLine(header);
    const std::size_t last = LowerBound(history, toMs + 1);
    for (std::size_t n = LowerBound(history, fromMs); n < last; ++n) {
        const HistorySample& sample = history.At(n);
        QStringList row{
            QDateTime::fromMSecsSinceEpoch(sample.wallMs).toUTC().toString(Qt::ISODateWithMs)};
        for (const int s : series) {
            const float value = TrendValue(sample, s);
            row << (sample.IsGap()      ? QString()
                    : std::isnan(value) ? QStringLiteral("ERROR")
                                        : QString::number(value, 'g', 7));
        }
        row << (sample.gap == Gap::Lost        ? QStringLiteral("no answer")
                : sample.gap == Gap::NotPolled ? QStringLiteral("not polled")
                                               : QString());
        csv += CsvLine(row);
    }
    return csv;
}

std::size_t LowerBound(const SampleHistory& history, std::int64_t steadyMs) {
    std::size_t low = 0;
    std::size_t high = history.Size();
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (history.At(mid).steadyMs < steadyMs) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

std::size_t Nearest(const SampleHistory& history, std::int64_t steadyMs) {
    const std::size_t index = LowerBound(history, steadyMs);
    if (index == history.Size() || (index > 0 && steadyMs - history.At(index - 1).steadyMs <
                                                     history.At(index).steadyMs - steadyMs)) {
        return index == 0 ? 0 : index - 1;
    }
    return index;
}

std::int64_t WallMsAt(const SampleHistory& history, std::int64_t steadyMs,
                      std::int64_t emptyOffsetMs) {
    if (history.Size() == 0) {
        return steadyMs + emptyOffsetMs;
    }
    const std::size_t after = LowerBound(history, steadyMs + 1);
    return steadyMs + history.At(after == 0 ? 0 : after - 1).WallOffsetMs();
}

std::vector<ClockStep> ClockSteps(const SampleHistory& history, std::int64_t fromMs,
                                  std::int64_t toMs, std::size_t most) {
    std::vector<ClockStep> steps;
    const std::size_t first = LowerBound(history, fromMs);
    for (std::size_t n = LowerBound(history, toMs + 1); n > first && steps.size() < most; --n) {
        const HistorySample& sample = history.At(n - 1);
        if (sample.clockStep) {
            const std::int64_t shift =
                n >= 2 ? sample.WallOffsetMs() - history.At(n - 2).WallOffsetMs() : 0;
            steps.push_back({sample.steadyMs, shift});
        }
    }
    std::reverse(steps.begin(), steps.end());
    return steps;
}

QString ClockStepText(std::int64_t shiftMs) {
    if (shiftMs == 0) {
        return QStringLiteral("clock set");
    }
    const std::int64_t seconds = (shiftMs < 0 ? -shiftMs : shiftMs) / 1000;
    return QStringLiteral("clock set %1 %2:%3:%4")
        .arg(shiftMs < 0 ? QStringLiteral("back") : QStringLiteral("forward"))
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::vector<TrendPoint> DecimateMinMax(const SampleHistory& history, int series,
                                       std::int64_t fromMs, std::int64_t toMs, int buckets) {
    std::vector<TrendPoint> points;
    if (toMs <= fromMs || buckets < 1) {
        return points;
    }
    const std::size_t first = LowerBound(history, fromMs);
    const std::size_t last = LowerBound(history, toMs + 1);
    const auto point = [&](std::size_t index) {
        const HistorySample& s = history.At(index);
        const float value = TrendValue(s, series);
        return TrendPoint{static_cast<double>(s.steadyMs) / 1000.0,
                          s.IsGap() || std::isnan(value) ? kBreak : static_cast<double>(value)};
    };
    if (last - first <= 2 * static_cast<std::size_t>(buckets)) {
        for (std::size_t n = first; n < last; ++n) {
            points.push_back(point(n));
        }
        return points;
    }
    points.reserve(4 * static_cast<std::size_t>(buckets));
    const double span = static_cast<double>(toMs - fromMs);
    std::size_t n = first;
    for (int bucket = 0; bucket < buckets && n < last; ++bucket) {
        const auto end = fromMs + static_cast<std::int64_t>(span * (bucket + 1) / buckets);
        std::size_t minAt = last;
        std::size_t maxAt = last;
        bool broken = false;
        std::int64_t breakMs = 0;
        for (; n < last && (history.At(n).steadyMs <= end || bucket == buckets - 1); ++n) {
            const TrendPoint p = point(n);
            if (std::isnan(p.value)) {
                if (!broken) {
                    breakMs = history.At(n).steadyMs;
                }
                broken = true;
                continue;
            }
            if (minAt == last || p.value < TrendValue(history.At(minAt), series)) {
                minAt = n;
            }
            if (maxAt == last || p.value > TrendValue(history.At(maxAt), series)) {
                maxAt = n;
            }
        }
        // The break goes where it happened among the bucket's extremes.
        const std::size_t a = std::min(minAt, maxAt);
        const std::size_t b = std::max(minAt, maxAt);
        const TrendPoint gap{static_cast<double>(breakMs) / 1000.0, kBreak};
        bool gapDone = !broken;
        const auto emitGapBefore = [&](std::size_t index) {
            if (!gapDone && (index == last || history.At(index).steadyMs > breakMs)) {
                points.push_back(gap);
                gapDone = true;
            }
        };
        if (a != last) {
            emitGapBefore(a);
            points.push_back(point(a));
        }
        if (b != last && b != a) {
            emitGapBefore(b);
            points.push_back(point(b));
        }
        emitGapBefore(last);
    }
    return points;
}

}  // namespace volnar
