// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace volnar {

// How fresh a station's last status answer is, by its age on the monotonic
// clock. One rule for the main window, the fleet overview and the exporter:
// fresh within one poll period and the time-out, late within three periods
// and the time-out, silent after that or without any answer.
enum class Freshness { Fresh, Late, Silent };

constexpr Freshness FreshnessOfAge(std::optional<std::int64_t> ageMs, std::int64_t periodMs,
                                   std::int64_t timeoutMs) {
    if (!ageMs) {
        return Freshness::Silent;
    }
    if (*ageMs <= periodMs + timeoutMs) {
        return Freshness::Fresh;
    }
    return *ageMs <= 3 * periodMs + timeoutMs ? Freshness::Late : Freshness::Silent;
}

}  // namespace volnar
