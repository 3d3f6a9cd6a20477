// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QTimeZone>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "history/sample_history.h"
#include "history/trend_view.h"

// What the trend plot marks besides its lines, as plain code: the outages
// shaded, the channels' trigger levels, and the steady stretch of a range of
// wall times the operator typed. Times are the history's steady time
// (milliseconds) unless they say wall.
namespace volnar {

// A stretch without answers: from the last answer before it (its gap
// sample's time when there is none) to the first answer after it (`open`:
// none yet, so it reaches the end of the stretch asked for). `why` is
// NotPolled when polling stopped at any time within it.
struct OutageBand {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    Gap why = Gap::Lost;
    bool open = false;
};

// The outages that touch [fromMs, toMs], oldest first, cut to it. A band
// narrower than `leastMs` (a pixel of the plot) is widened to it about its
// middle, and bands nearer each other than `leastMs` are joined, so a lost
// answer stays visible in a day's view and a day costs at most one band a
// pixel. At most `most` are returned: the latest.
std::vector<OutageBand> OutageBands(const SampleHistory& history, std::int64_t fromMs,
                                    std::int64_t toMs, std::int64_t leastMs, std::size_t most);
// "no answer 0:10:00", "not polled 1:02:03": why and how long (within the
// stretch it was cut to).
QString OutageText(const OutageBand& band);

// A dashed line across the plot at a channel's enabled trigger level.
struct TriggerLine {
    int series = 0;  // the channel's series (0-7)
    bool high = true;
    double level = 0;
    QString text;  // "Battery (V) high 13.5"
};
// The lines of the channels among `series` whose triggers are known and
// enabled, in the order of `series`, high before low.
std::vector<TriggerLine> TriggerLines(const SampleHistory& history, const std::vector<int>& series);

// The steady stretch labelled [fromWallMs, toWallMs]: each end is the
// latest steady time up to the latest sample whose label (WallMsAt) is that
// wall time, so after the clock was set back the later of the two stretches
// that read alike is meant; a wall time no label reaches (later than the
// latest, or skipped by a clock set forward) is placed at the nearest one.
// Nothing when the range is empty or inverted.
std::optional<TimeSpan> SteadySpanOfWall(const SampleHistory& history, std::int64_t fromWallMs,
                                         std::int64_t toWallMs, std::int64_t emptyOffsetMs);

// A time as the range dialog shows it in `zone`: "2023-11-14 22:30:00".
QString WallTimeText(std::int64_t wallMs, const QTimeZone& zone);
// A time the operator typed, read in `zone`: "2023-11-14 22:30:00" or
// without its seconds, a "T" for the space allowed, spaces around ignored;
// nothing for any other text or a time the zone skips.
std::optional<std::int64_t> ParseWallTime(const QString& text, const QTimeZone& zone);

}  // namespace volnar
