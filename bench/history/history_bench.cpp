// Memory and append cost of a full day of history (86,400 samples).
#include <chrono>
#include <cstdio>

#include "history/sample_history.h"

int main() {
    using namespace volnar;
    SampleHistory history;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t n = 0; n < 2 * history.Capacity(); ++n) {
        HistorySample s;
        s.timeMs = static_cast<std::int64_t>(n) * 1000;
        s.readings.fill(static_cast<float>(n % 100));
        if (n % 97 == 0) {
            history.AppendGap(s.timeMs);
        } else {
            history.Append(s);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("samples=%zu\n", history.Size());
    std::printf("history_bytes=%zu\n", history.Capacity() * sizeof(HistorySample));
    std::printf("append_ns=%.1f\n", seconds * 1e9 / static_cast<double>(2 * history.Capacity()));
    std::printf("bytes_per_sample=%zu\n", sizeof(HistorySample));
    return 0;
}
