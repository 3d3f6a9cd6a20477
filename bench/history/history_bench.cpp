// SPDX-License-Identifier: GPL-3.0-or-later
// Memory and append cost of a day of history (86,400 samples): filling it
// from empty, while its storage grows (fill_ns), and a second day through
// the full ring (append_ns, the cost of every sample from then on); the most
// the kept histories of several stations can take.
#include <chrono>
#include <cstdio>

#include "history/sample_history.h"

namespace {

// Appends `count` samples from sample `from` on, one lost answer in 97.
double AppendNs(volnar::SampleHistory& history, std::size_t from, std::size_t count) {
    constexpr std::int64_t kWallMs = 1'700'000'000'000;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t n = from; n < from + count; ++n) {
        volnar::HistorySample s;
        s.steadyMs = static_cast<std::int64_t>(n) * 1000;
        s.wallMs = kWallMs + s.steadyMs;
        s.readings.fill(static_cast<float>(n % 100));
        if (n % 97 == 0) {
            history.AppendGap({s.steadyMs, s.wallMs}, volnar::Gap::Lost);
        } else {
            history.Append(s);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds * 1e9 / static_cast<double>(count);
}

}  // namespace

int main() {
    using namespace volnar;
    SampleHistory history;
    const std::size_t day = history.Capacity();
    const double fillNs = AppendNs(history, 0, day);
    const double appendNs = AppendNs(history, day, day);
    std::printf("samples=%zu\n", history.Size());
    std::printf("history_bytes=%zu\n", history.AllocatedBytes());
    std::printf("kept_stations=%zu\n", StationHistories::kKeptStations);
    std::printf("kept_histories_bytes_max=%zu\n", StationHistories().MostBytes());
    std::printf("fill_ns=%.1f\n", fillNs);
    std::printf("append_ns=%.1f\n", appendNs);
    std::printf("bytes_per_sample=%zu\n", sizeof(HistorySample));
    return 0;
}
