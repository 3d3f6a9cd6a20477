// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/link_health.h"

#include "core/freshness.h"

#include <algorithm>

namespace volnar {

void LinkHealth::Reset(std::int64_t nowMs) {
    m_sinceMs = nowMs;
    m_roundTripMs = 0;
    m_lostInRow = 0;
    m_answered = false;
}

void LinkHealth::OnAnswer(std::int64_t nowMs, int roundTripMs) {
    m_sinceMs = nowMs;
    m_roundTripMs = std::max(0, roundTripMs);
    m_lostInRow = 0;
    m_answered = true;
}

std::int64_t LinkHealth::AgeMs(std::int64_t nowMs) const {
    return std::max<std::int64_t>(0, nowMs - m_sinceMs);
}

bool LinkHealth::IsStale(std::int64_t nowMs) const {
    return FreshnessOfAge(AgeMs(nowMs), m_pollPeriodMs, 0) == Freshness::Silent;
}

QString LinkHealth::SilenceText(std::int64_t nowMs) const {
    if (!IsStale(nowMs)) {
        return {};
    }
    return QStringLiteral(" No answer for %1 s").arg(AgeMs(nowMs) / 1000);
}

QString LinkHealth::HealthText(std::int64_t nowMs) const {
    if (!m_answered) {
        return {};
    }
    return QStringLiteral("Last answer %1 s ago, round trip %2 ms")
        .arg(AgeMs(nowMs) / 1000)
        .arg(m_roundTripMs);
}

}  // namespace volnar
