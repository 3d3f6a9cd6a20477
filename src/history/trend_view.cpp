// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/trend_view.h"

#include <algorithm>
#include <cmath>

namespace volnar {
namespace {

std::int64_t Within(std::int64_t value, std::int64_t low, std::int64_t high) {
    return std::min(std::max(value, low), high);
}

}  // namespace

std::int64_t TrendView::MsOfSeconds(double seconds) {
    constexpr double kLimit = 1000.0 * static_cast<double>(kLongestMs);
    if (std::isnan(seconds)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::clamp(seconds * 1000.0, -kLimit, kLimit));
}

void TrendView::Follow(std::int64_t spanMs) {
    m_spanMs = Within(spanMs, kShortestMs, kLongestMs);
    m_chosenSpanMs = m_spanMs;
    m_following = true;
}

void TrendView::Show(TimeSpan wanted, const SampleHistory& history) {
    wanted.fromMs = Within(wanted.fromMs, -kLongestMs * 1000, kLongestMs * 1000);
    wanted.toMs = Within(wanted.toMs, -kLongestMs * 1000, kLongestMs * 1000);
    std::int64_t longest = kLongestMs;
    std::int64_t oldest = 0;
    std::int64_t latest = 0;
    if (history.Size() != 0) {
        oldest = history.At(0).steadyMs;
        latest = history.LatestMs();
        longest = Within(std::max(latest - oldest, m_chosenSpanMs), kShortestMs, kLongestMs);
    }
    // A length beyond the limits keeps the middle of what was asked.
    const std::int64_t middle = wanted.fromMs + wanted.LengthMs() / 2;
    m_spanMs = Within(wanted.LengthMs(), kShortestMs, longest);
    m_toMs = middle + (m_spanMs - m_spanMs / 2);
    if (history.Size() != 0) {
        // Never past the latest sample; never before the oldest unless the
        // view is longer than the history.
        m_toMs = std::min(std::max(m_toMs, oldest + m_spanMs), latest);
    }
    // A view moved up to the latest sample follows again.
    m_following = history.Size() != 0 && m_toMs == latest;
}

void TrendView::Pan(int tenths, const SampleHistory& history) {
    const TimeSpan now = Shown(history, 0);
    const std::int64_t step = m_spanMs / 10 * tenths;
    Show({now.fromMs + step, now.toMs + step}, history);
}

void TrendView::Zoom(bool in, const SampleHistory& history) {
    const TimeSpan now = Shown(history, 0);
    const std::int64_t middle = now.fromMs + m_spanMs / 2;
    const std::int64_t half = in ? m_spanMs / 4 : m_spanMs;
    Show({middle - half, middle + half}, history);
}

TimeSpan TrendView::Shown(const SampleHistory& history, std::int64_t nowMs) const {
    std::int64_t to = m_toMs;
    if (m_following) {
        to = history.Size() != 0 ? history.LatestMs() : nowMs;
    }
    return {to - m_spanMs, to};
}

}  // namespace volnar
