// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "history/sample_history.h"

namespace volnar {

// A stretch of steady time, in milliseconds.
struct TimeSpan {
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;

    std::int64_t LengthMs() const { return toMs - fromMs; }
};

// What stretch of a history the trend plot shows: the latest `span`
// (following new samples) or a stretch the operator moved to. Zoom and pan
// stop at sensible limits: no shorter than one sample period, no longer than
// the whole history (or the range button pressed last, when the history is
// shorter), never past either end of the history; no input, however large,
// overflows.
class TrendView final {
public:
    static constexpr std::int64_t kShortestMs = 1000;  // one sample at one poll a second
    // Beyond any history (a day of samples, or samples far apart); keeps
    // every sum of two times far from overflowing.
    static constexpr std::int64_t kLongestMs = 10LL * 366 * 24 * 3600 * 1000;

    explicit TrendView(std::int64_t spanMs = 5 * 60 * 1000) { Follow(spanMs); }

    // The latest `spanMs` from now on.
    void Follow(std::int64_t spanMs);
    // [fromMs, toMs] of `history`, kept within the limits; stops following
    // unless it ends at the latest sample.
    void Show(TimeSpan wanted, const SampleHistory& history);
    // Moves by `tenths` tenths of the view (negative: back in time).
    void Pan(int tenths, const SampleHistory& history);
    // Halves (in) or doubles (out) the view about its middle.
    void Zoom(bool in, const SampleHistory& history);

    // The stretch shown; `nowMs` is its end while following an empty history.
    TimeSpan Shown(const SampleHistory& history, std::int64_t nowMs) const;
    bool Following() const { return m_following; }
    std::int64_t SpanMs() const { return m_spanMs; }

    // Milliseconds of `seconds` (a plot coordinate) within ±kLongestMs × 1000.
    static std::int64_t MsOfSeconds(double seconds);

private:
    std::int64_t m_spanMs = 0;
    std::int64_t m_toMs = 0;
    std::int64_t m_chosenSpanMs = 0;  // the last Follow: zoom-out may reach it
    bool m_following = true;
};

}  // namespace volnar
