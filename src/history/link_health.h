// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace volnar {

// How fresh the connected station's readouts are: the age of the last status
// answer, its round-trip time and the losses in a row since it came.
class LinkHealth final {
public:
    // Readouts are stale once the station is silent by the one freshness
    // rule (core/freshness.h): no answer for three poll periods. The main
    // window's poll adds no time-out of its own: a lost poll is sent again
    // at once, so the age grows by the period.

    explicit LinkHealth(int pollPeriodMs) : m_pollPeriodMs(pollPeriodMs) {}

    // A new connection: no answer yet, counted from `nowMs`.
    void Reset(std::int64_t nowMs);
    void OnAnswer(std::int64_t nowMs, int roundTripMs);
    void OnTimeOut() { ++m_lostInRow; }

    std::int64_t AgeMs(std::int64_t nowMs) const;
    bool IsStale(std::int64_t nowMs) const;
    int LostInRow() const { return m_lostInRow; }
    bool HasAnswer() const { return m_answered; }
    // " No answer for N s" while stale, otherwise empty.
    QString SilenceText(std::int64_t nowMs) const;
    // "Last answer 2 s ago, round trip 35 ms"; empty before the first answer.
    QString HealthText(std::int64_t nowMs) const;

private:
    int m_pollPeriodMs;
    std::int64_t m_sinceMs = 0;  // the last answer, or the reset
    int m_roundTripMs = 0;
    int m_lostInRow = 0;
    bool m_answered = false;
};

}  // namespace volnar
