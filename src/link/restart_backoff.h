// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>

namespace volnar {

// Restart delays of unattended polling that stopped (by time-outs or an
// error): 5 s, doubling up to 5 min.
class RestartBackoff final {
public:
    static constexpr int kFirstDelayMs = 5'000;
    static constexpr int kLongestDelayMs = 300'000;

    int NextDelayMs() {
        const int delay = m_nextMs;
        m_nextMs = std::min(kLongestDelayMs, m_nextMs * 2);
        return delay;
    }
    void Reset() { m_nextMs = kFirstDelayMs; }

private:
    int m_nextMs = kFirstDelayMs;
};

}  // namespace volnar
