// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/trend_marks.h"

#include <QDateTime>

#include "history/trend_series.h"

#include <algorithm>
#include <limits>

namespace volnar {
namespace {

// The band of the gap sample at `index`, before it is cut to a view.
OutageBand BandOfGap(const SampleHistory& history, std::size_t index) {
    const HistorySample& gap = history.At(index);
    OutageBand band{.fromMs = gap.steadyMs, .toMs = gap.steadyMs, .why = gap.gap, .open = false};
    // Gaps never follow each other (they join), so the neighbours answered.
    if (index > 0) {
        band.fromMs = history.At(index - 1).steadyMs;
    }
    if (index + 1 < history.Size()) {
        band.toMs = history.At(index + 1).steadyMs;
    } else {
        band.open = true;
        band.toMs = std::numeric_limits<std::int64_t>::max();
    }
    return band;
}

// Widened to `leastMs` about its middle, kept within [fromMs, toMs].
void Widen(OutageBand& band, std::int64_t fromMs, std::int64_t toMs, std::int64_t leastMs) {
    if (band.toMs - band.fromMs >= leastMs) {
        return;
    }
    const std::int64_t middle = band.fromMs + (band.toMs - band.fromMs) / 2;
    band.fromMs = std::max(fromMs, middle - leastMs / 2);
    band.toMs = std::min(toMs, band.fromMs + leastMs);
    band.fromMs = std::max(fromMs, band.toMs - leastMs);
}

}  // namespace

std::vector<OutageBand> OutageBands(const SampleHistory& history, std::int64_t fromMs,
                                    std::int64_t toMs, std::int64_t leastMs, std::size_t most) {
    std::vector<OutageBand> bands;
    if (toMs < fromMs || history.Size() == 0) {
        return bands;
    }
    const std::size_t low = LowerBound(history, fromMs);
    const std::size_t end = std::min(history.Size(), LowerBound(history, toMs + 1) + 1);
    for (std::size_t n = low == 0 ? 0 : low - 1; n < end; ++n) {
        if (!history.At(n).IsGap()) {
            continue;
        }
        OutageBand band = BandOfGap(history, n);
        if (band.toMs < fromMs || band.fromMs > toMs) {
            continue;
        }
        band.fromMs = std::max(band.fromMs, fromMs);
        band.toMs = std::min(band.toMs, toMs);
        Widen(band, fromMs, toMs, leastMs);
        if (!bands.empty() && band.fromMs - bands.back().toMs < leastMs) {
            OutageBand& before = bands.back();
            before.toMs = std::max(before.toMs, band.toMs);
            before.why = before.why == Gap::NotPolled ? Gap::NotPolled : band.why;
            before.open = band.open;
            continue;
        }
        bands.push_back(band);
    }
    if (bands.size() > most) {
        bands.erase(bands.begin(), bands.end() - static_cast<std::ptrdiff_t>(most));
    }
    return bands;
}

QString OutageText(const OutageBand& band) {
    const std::int64_t seconds = (band.toMs - band.fromMs) / 1000;
    return QStringLiteral("%1 %2:%3:%4")
        .arg(band.why == Gap::NotPolled ? QStringLiteral("not polled")
                                        : QStringLiteral("no answer"))
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

std::vector<TriggerLine> TriggerLines(const SampleHistory& history,
                                      const std::vector<int>& series) {
    std::vector<TriggerLine> lines;
    for (const int s : series) {
        if (s < 0 || s >= HistorySample::kChannelCount) {
            continue;
        }
        const ChannelTriggers& triggers = history.triggers[static_cast<std::size_t>(s)];
        for (const bool high : {true, false}) {
            if (const std::optional<double>& level = high ? triggers.high : triggers.low) {
                lines.push_back(
                    {.series = s,
                     .high = high,
                     .level = *level,
                     .text = QStringLiteral("%1 %2 %3")
                                 .arg(TrendSeriesName(history, s),
                                      high ? QStringLiteral("high") : QStringLiteral("low"))
                                 .arg(*level)});
            }
        }
    }
    return lines;
}

std::optional<TimeSpan> SteadySpanOfWall(const SampleHistory& history, std::int64_t fromWallMs,
                                         std::int64_t toWallMs, std::int64_t emptyOffsetMs) {
    if (toWallMs <= fromWallMs) {
        return std::nullopt;
    }
    // The stretches between clock settings: each labels its steady times by
    // the clocks of its first sample.
    struct Stretch {
        std::int64_t fromMs, toMs, offsetMs;
    };
    constexpr std::int64_t kEver = std::numeric_limits<std::int64_t>::max() / 4;
    std::vector<Stretch> stretches{
        {.fromMs = -kEver,
         .toMs = kEver,
         .offsetMs = history.Size() == 0 ? emptyOffsetMs : history.At(0).WallOffsetMs()}};
    for (std::size_t n = 1; n < history.Size(); ++n) {
        const HistorySample& sample = history.At(n);
        if (sample.clockStep) {
            stretches.back().toMs = sample.steadyMs;
            stretches.push_back(
                {.fromMs = sample.steadyMs, .toMs = kEver, .offsetMs = sample.WallOffsetMs()});
        }
    }
    if (history.Size() != 0) {
        // No later than the latest sample: a time typed twice over (the
        // clock set back) means the one already seen.
        stretches.back().toMs = history.Latest()->steadyMs + 1;
    }
    std::int64_t latestLabelMs = std::numeric_limits<std::int64_t>::min();
    for (const Stretch& s : stretches) {
        latestLabelMs = std::max(latestLabelMs, s.toMs - 1 + s.offsetMs);
    }
    const auto steadyOf = [&stretches, latestLabelMs](std::int64_t wallMs) {
        if (wallMs > latestLabelMs) {  // later than any label: the latest sample
            return stretches.back().toMs - 1;
        }
        std::int64_t best = 0;
        std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
        for (const Stretch& s : stretches) {  // the latest that holds it wins
            const std::int64_t steady = wallMs - s.offsetMs;
            const std::int64_t placed = std::clamp(steady, s.fromMs, s.toMs - 1);
            const std::int64_t distance = placed > steady ? placed - steady : steady - placed;
            if (distance <= bestDistance) {
                best = placed;
                bestDistance = distance;
            }
        }
        return best;
    };
    const TimeSpan span{.fromMs = steadyOf(fromWallMs), .toMs = steadyOf(toWallMs)};
    if (span.toMs <= span.fromMs) {
        return std::nullopt;
    }
    return span;
}

QString WallTimeText(std::int64_t wallMs, const QTimeZone& zone) {
    return QDateTime::fromMSecsSinceEpoch(wallMs, zone)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<std::int64_t> ParseWallTime(const QString& text, const QTimeZone& zone) {
    QString typed = text.trimmed();
    if (typed.size() > 10 && typed[10] == QLatin1Char('T')) {
        typed[10] = QLatin1Char(' ');
    }
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-dd HH:mm")}) {
        const QDateTime fields = QDateTime::fromString(typed, format);
        if (!fields.isValid()) {
            continue;
        }
        const QDateTime at(fields.date(), fields.time(), zone);
        // A time the zone skips (the hour a clock goes forward) is no time.
        if (!at.isValid() || at.time() != fields.time()) {
            return std::nullopt;
        }
        return at.toMSecsSinceEpoch();
    }
    return std::nullopt;
}

}  // namespace volnar
