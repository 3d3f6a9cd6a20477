// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/history_clock.h"

#include <time.h>

namespace volnar {
namespace {

std::int64_t Milliseconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace

ClockReading SystemClockReading() {
    return {.steadyMs = Milliseconds(CLOCK_BOOTTIME), .wallMs = Milliseconds(CLOCK_REALTIME)};
}

}  // namespace volnar
