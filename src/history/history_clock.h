// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

namespace volnar {

// One reading of the two clocks a history needs: a steady one that orders
// and windows the samples (it never steps), and the wall clock that labels
// them (it may be set back or forward at any time).
struct ClockReading {
    std::int64_t steadyMs = 0;
    std::int64_t wallMs = 0;  // milliseconds since the epoch, UTC
};

// Where readings come from; tests give one they can step.
using HistoryClock = std::function<ClockReading()>;

// CLOCK_BOOTTIME and CLOCK_REALTIME. The boot clock is steady and goes on
// while the machine is suspended, so a suspend shows as a stretch without
// samples rather than as a step of the wall clock.
ClockReading SystemClockReading();

}  // namespace volnar
